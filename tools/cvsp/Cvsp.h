// The cvsp command line: build, dump, info and check of installation
// packages. Kept apart from main() so that tests can run it in-process.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace cvsp {

// Runs one command line (without the program name). Returns the exit
// status: 0 done, 1 failed or the installer would refuse the package (the
// reason on `err`), 2 usage error, 3 check found only warnings.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace cvsp
