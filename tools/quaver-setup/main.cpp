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
  return quaver_setup::Run(args, std::cout, std::cerr);
}
