// `cvsp run`: runs a package on a machine image with the engine the setup
// uses, printing the engine's log as it goes; rolls back when it fails and
// can write the uninstall package. Registered by Cvsp.cpp.
#pragma once

#include <CLI/CLI.hpp>
#include <ostream>
#include <string>
#include <vector>

namespace cvsp {

struct RunOptions {
  std::string package;     // host path of the package file
  std::string machineDir;  // the image to run on
  std::string productDir;  // Windows path, the engine's base path
  std::string mode;        // "isapi", "pipeline" or empty: the product key decides
  std::vector<std::string> sites;  // empty: every website of the server
  bool whatIf = false;
  std::string uninstallFile;  // host path; empty: none written
};

// Adds the subcommand "run" to `app`, filling `options`.
CLI::App* AddRunCommand(CLI::App& app, RunOptions& options);

// 0 when the package ran, 1 when it failed (after the roll-back; the
// engine's "<title>: <text>" on `err`).
int RunPackage(const RunOptions& options, std::ostream& out, std::ostream& err);

}  // namespace cvsp
