// The shell link object (CLSID_ShellLink, platform/win/shobjidl.h): one
// shortcut's settings, read from and written to .lnk files in the image
// through IPersistFile.
#pragma once

#include <string>
#include <string_view>

#include "platform/win.h"
#include "platform/win/shobjidl.h"

namespace shell {

// The class creator the COM runtime calls for CLSID_ShellLink.
HRESULT CreateShellLink(REFIID riid, void** ppv);

// The path of `target` relative to the folder of `linkFile` (both full
// Windows paths), as a shortcut stores it: ".\x.exe", "..\..\x\y.exe";
// empty when they are on different drives or shares.
std::u16string RelativeLinkPath(std::u16string_view linkFile, std::u16string_view target);

}  // namespace shell
