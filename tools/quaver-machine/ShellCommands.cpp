// The shell of a new image: the COM classes every Windows server registers
// (the shell link object that makes shortcuts).
#include "platform/shell/ShellRegistration.h"
#include "tools/quaver-machine/Tool.h"

namespace {

void RegisterShell(const quaver_machine::CreateRequest&) {
  if (const LSTATUS status = shell::RegisterShellClasses(); status != ERROR_SUCCESS) {
    quaver_machine::FailWithWindowsError("cannot register the shell link class", status);
  }
}

// Runs after "registry-and-services", which writes the registry it adds to.
const bool hooked = quaver_machine::RegisterCreateHook("shell", RegisterShell);

}  // namespace
