// What Main.cpp needs from Tool.cpp beyond the public framework.
#pragma once

#include <ostream>

#include "tools/quaver-machine/Tool.h"

namespace quaver_machine {

void AddRegisteredCommands(CLI::App& app);
bool HasCreateHooks();
void RunCreateHooks(const CreateRequest& request);
// The server `create` made, for its user; the new image is selected.
void PrintCreateSummary(const CreateRequest& request, std::ostream& out);
std::string& MachineOption();  // --machine DIR (or QUAVER_MACHINE)

}  // namespace quaver_machine
