// The framework of quaver-machine, the tool that creates and inspects
// machine images. The tool is a set of command groups, each in its own
// source file of this folder, registering itself at start-up:
//
//   // RegistryCommands.cpp
//   #include "tools/quaver-machine/Tool.h"
//   namespace {
//   void AddRegistryCommands(CLI::App& app) {
//     auto* reg = app.add_subcommand("reg", "Query and change the registry");
//     ...  // callbacks call quaver_machine::UseMachine() first
//   }
//   const bool registered = quaver_machine::RegisterCommands("reg", AddRegistryCommands);
//   }  // namespace
//
// `create DIR` builds the base image and then runs the create hooks
// (registry, services, accounts ...) with the new image selected; they add
// what the requested IIS version needs.
//
// Failures: throw CommandError (or let a machine::MachineError through); the
// tool prints "quaver-machine: <text>" to stderr and exits with 1. A command
// that imitates a Windows tool throws ToolFailure with that tool's own words
// ("ERROR: ..."), printed as they stand. Exit status, for every command: 0
// done, 1 failed, 2 usage error (unknown command, option or parameter).
#pragma once

#include <CLI/CLI.hpp>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "platform/machine.h"
#include "platform/win/types.h"

namespace quaver_machine {

class CommandError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class ToolFailure : public CommandError {
 public:
  static const int kFailed = 1;
  static const int kUsage = 2;
  explicit ToolFailure(const std::string& text, int status = kFailed)
      : CommandError(text), status_(status) {}
  int Status() const { return status_; }

 private:
  int status_;
};

using AddCommands = void (*)(CLI::App& app);
// Adds a group of subcommands to the tool; groups are added in name order.
bool RegisterCommands(const char* group, AddCommands add);

struct CreateRequest {
  std::filesystem::path root;
  std::string iisVersion;  // "6", "7", "7.5", "8.5", "10", or empty: no IIS
};
using CreateHook = void (*)(const CreateRequest& request);
// Runs after the base image of `create` exists, with it selected; hooks run
// in name order.
bool RegisterCreateHook(const char* name, CreateHook hook);

// Selects the image named by --machine or QUAVER_MACHINE for this run.
// Throws when there is none (the text tells how to name one).
machine::Machine& UseMachine();

// A command-line argument (UTF-8) as a Windows path or name.
std::u16string WindowsArgument(const std::string& argument);

// The English system text of a Windows error code, as FormatMessage gives it.
std::string WindowsErrorText(DWORD error);
// "/?" or "-?": how Windows' tools are asked for their usage.
bool IsHelpWord(const std::string& word);

// Whether `bytes` is well-formed XML nested within machine::kXmlNestingBound;
// if not, the 1-based line of the fault and what is wrong there.
bool FindXmlFault(const std::string& bytes, size_t& line, std::string& description);

// "0x8007000D (The data is invalid.)": an HRESULT as Windows tools show it.
std::string HresultText(HRESULT hr);
// Throws CommandError "<what>: <text of error>".
[[noreturn]] void FailWithWindowsError(const std::string& what, DWORD error);

}  // namespace quaver_machine
