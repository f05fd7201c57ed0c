// appcmd list config: configuration sections as a path sees them, printed
// as XML with only the attributes the file sets, the way appcmd shows them.
#pragma once

#include <ostream>
#include <string>

#include "tools/quaver-machine/AppHostReader.h"

namespace quaver_machine {

// `location` "" is the server level; `section` empty prints every section
// that holds something there. A short section name ("handlers") stands for
// the declared section it ends.
void PrintConfig(const AppHostReader& reader, const std::string& location,
                 const std::string& section, std::ostream& out);

}  // namespace quaver_machine
