// What the service stand-in offers beyond the Windows functions, for tools.
// The format of services.ini is described in ServiceRecord.h.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/machine.h"

namespace machine::services {

// The text of the last malformed setting met in services.ini (the Windows
// functions reported ERROR_INVALID_DATA for it).
std::string LastServicesError();

// The services of the selected machine in file order. Throws MachineError
// without a selected machine or for a malformed services.ini.
std::vector<std::string> ServiceNames();

// services.ini of the selected machine as it stands, with the changes its
// journal holds. Throws MachineError as ServiceNames does.
IniFile ReadServices();

// Adds a service with these settings unless there is one of that name;
// returns whether it did. Throws MachineError as ServiceNames does and for
// a name or setting the file cannot hold.
bool AddService(const std::string& name,
                const std::vector<std::pair<std::string, std::string>>& settings);

}  // namespace machine::services
