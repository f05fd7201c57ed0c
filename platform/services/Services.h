// What the service stand-in offers beyond the Windows functions, for tools.
// The format of services.ini is described in ServiceRecord.h.
#pragma once

#include <string>
#include <vector>

namespace machine::services {

// The text of the last malformed setting met in services.ini (the Windows
// functions reported ERROR_INVALID_DATA for it).
std::string LastServicesError();

// The services of the selected machine in file order. Throws MachineError
// without a selected machine or for a malformed services.ini.
std::vector<std::string> ServiceNames();

}  // namespace machine::services
