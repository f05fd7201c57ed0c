// Class registrations in the simulated registry, as an installer writes
// them under HKEY_LOCAL_MACHINE\Software\Classes. CoCreateInstance offers a
// class only when its registration is there. Need a selected machine image.
#pragma once

#include <string>

#include "platform/win.h"

namespace com {

// A class served by a Windows service (an AppID with LocalService), as the
// IIS Admin service serves the metabase.
LSTATUS RegisterServiceClass(REFCLSID clsid, const std::u16string& description,
                             const std::u16string& serviceName);
// A class served by a DLL in the calling process.
LSTATUS RegisterInprocClass(REFCLSID clsid, const std::u16string& description,
                            const std::u16string& dllPath, const std::u16string& threadingModel);
// Removes the class key (and the AppID key of a service class).
LSTATUS UnregisterClass(REFCLSID clsid);

}  // namespace com
