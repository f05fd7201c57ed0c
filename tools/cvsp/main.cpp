#include <iostream>

#include "tools/cvsp/Cvsp.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return cvsp::Run(args, std::cout, std::cerr);
}
