// The shell's COM classes as every Windows server registers them. A new
// image gets them from `quaver-machine create`; tests that build an image
// by hand call RegisterShellClasses themselves. Needs a selected image.
#pragma once

#include "platform/win.h"

namespace shell {

// CLSID_ShellLink, served in process by shell32.dll.
LSTATUS RegisterShellClasses();

}  // namespace shell
