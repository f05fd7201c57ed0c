// shell.log of the image: what the setup asked the shell to start. One line
// per ShellExecuteW call, UTF-8, fields separated by tabs:
//
//   verb=open<TAB>file=C:\x\y.exe<TAB>parameters=<TAB>directory=<TAB>show=5<TAB>result=42
//
// Values are written as given (a null string as empty); '%', tab, CR and LF
// in them are written as %25, %09, %0D and %0A. `result` is the value the
// call answered.
#pragma once

#include <string>
#include <vector>

namespace shell {

struct ShellRequest {
  std::u16string verb;
  std::u16string file;
  std::u16string parameters;
  std::u16string directory;
  int showCommand = 0;
  long result = 0;
};

// Appends to shell.log of the selected image (replaced atomically). Throws
// machine::MachineError without a selected image or when the log cannot be
// written.
void AppendShellRequest(const ShellRequest& request);
// Every request in shell.log of the selected image, oldest first; none when
// there is no log yet. Throws machine::MachineError for a malformed line.
std::vector<ShellRequest> ReadShellLog();

}  // namespace shell
