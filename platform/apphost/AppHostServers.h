// The application-host classes as COM servers of the simulated machine:
// CLSID_AppHostWritableAdminManager and CLSID_AppHostAdminManager.
#pragma once

#include "platform/com/ComClassTable.h"
#include "platform/win.h"

namespace apphost {

HRESULT CreateAdminManager(REFIID riid, void** ppv);
HRESULT CreateWritableAdminManager(REFIID riid, void** ppv);

// Registers both classes with the table (the registry decides whether a
// machine offers them).
void RegisterServers(com::ComClassTable& table);

}  // namespace apphost
