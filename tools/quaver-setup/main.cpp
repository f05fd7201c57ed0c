#include <iostream>
#include <string>
#include <vector>

#include "tools/quaver-setup/QuaverSetup.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return quaver_setup::Run(args, std::cout, std::cerr);
}
