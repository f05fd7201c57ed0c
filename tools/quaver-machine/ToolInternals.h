// What Main.cpp needs from Tool.cpp beyond the public framework.
#pragma once

#include "tools/quaver-machine/Tool.h"

namespace quaver_machine {

void AddRegisteredCommands(CLI::App& app);
bool HasCreateHooks();
void RunCreateHooks(const CreateRequest& request);
std::string& MachineOption();  // --machine DIR (or QUAVER_MACHINE)

}  // namespace quaver_machine
