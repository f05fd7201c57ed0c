// The special folders of the selected image, for the stand-in's own parts
// (the shell functions, the module loader). Code outside platform/ asks
// SHGetFolderPathW.
#pragma once

#include <string>

#include "platform/win.h"

namespace shell {

// The Windows path [folders] of machine.ini gives the CSIDL (flags masked
// off), as written there. S_OK; E_INVALIDARG when the image lists no such
// folder; E_FAIL without a selected image.
HRESULT SpecialFolderPath(int csidl, std::u16string& path);

}  // namespace shell
