// Runs quaver-machine's commands in this process against images made by its
// own create hooks, so tool tests see exactly what a person would.
#pragma once

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/TempMachine.h"
#include "tools/quaver-machine/ToolInternals.h"

namespace quaver::test {

class CreatedImage : public TempMachine {
 public:
  explicit CreatedImage(const std::string& version) {
    quaver_machine::RunCreateHooks({Root(), version});
  }
};

// Runs the tool's command line in this process and returns what it printed.
inline std::string RunTool(const std::vector<std::string>& words) {
  CLI::App app;
  app.add_subcommand("create");  // the command groups extend it
  quaver_machine::AddRegisteredCommands(app);
  std::vector<const char*> argv{"quaver-machine"};
  for (const auto& word : words) argv.push_back(word.c_str());
  std::ostringstream out;
  std::streambuf* saved = std::cout.rdbuf(out.rdbuf());
  try {
    app.parse(static_cast<int>(argv.size()), argv.data());
  } catch (...) {
    std::cout.rdbuf(saved);
    throw;
  }
  std::cout.rdbuf(saved);
  return out.str();
}

}  // namespace quaver::test
