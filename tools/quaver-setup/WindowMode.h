// quaver-setup with the wizard's window: chosen when the command line does
// not ask for --unattended and a display is available.
//
//   quaver-setup --machine DIR [--media DIR]
//
// The setup media is mounted as in an unattended run; the wizard asks for
// everything else.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace quaver_setup {

bool WantsWindow(const std::vector<std::string>& args);
// Exit status 0 when the wizard ran (its outcome is on its finish page),
// kFailed or kUsageError when it could not start.
int RunWindow(int argc, char** argv, const std::vector<std::string>& args, std::ostream& err);

}  // namespace quaver_setup
