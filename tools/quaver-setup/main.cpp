#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "tools/quaver-setup/QuaverSetup.h"
#ifdef QUAVER_SETUP_WINDOW
#include "tools/quaver-setup/WindowMode.h"
#endif

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
#ifdef QUAVER_SETUP_WINDOW
  if (quaver_setup::WantsWindow(args)) return quaver_setup::RunWindow(argc, argv, args, std::cerr);
#endif
  // Without a window to show, the same choices run unattended.
  if (std::find(args.begin(), args.end(), "--unattended") == args.end()) {
    args.insert(args.begin(), "--unattended");
  }
  return quaver_setup::Run(args, std::cout, std::cerr);
}
