// GetAdminSection, shared by the admin managers and the configuration file:
// the section of that name as it reads at the configuration path.
#pragma once

#include <memory>

#include "platform/apphost/ConfigStore.h"
#include "platform/win.h"

namespace apphost {

// E_INVALIDARG for a missing name or a malformed path; ERROR_NOT_SUPPORTED
// for a path outside MACHINE/WEBROOT/APPHOST; the file's load errors;
// ERROR_PATH_NOT_FOUND for a section the file does not declare.
HRESULT OpenAdminSection(const std::shared_ptr<ConfigStore>& store, BSTR sectionName, BSTR path,
                         IAppHostElement** section);

}  // namespace apphost
