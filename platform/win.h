// The one place the system gets its Windows declarations from. A Windows
// build takes the SDK's; the Linux build takes the stand-in's subset, which
// declares exactly what the simulated server implements.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include "platform/win/aclapi.h"
#include "platform/win/ahadmin.h"
#include "platform/win/errors.h"
#include "platform/win/fileapi.h"
#include "platform/win/iadmw.h"
#include "platform/win/libloaderapi.h"
#include "platform/win/localalloc.h"
#include "platform/win/objbase.h"
#include "platform/win/oleauto.h"
#include "platform/win/processenv.h"
#include "platform/win/processthreadsapi.h"
#include "platform/win/profileapi.h"
#include "platform/win/sddl.h"
#include "platform/win/shellapi.h"
#include "platform/win/shlobj.h"
#include "platform/win/shobjidl.h"
#include "platform/win/shortpath.h"
#include "platform/win/stringapi.h"
#include "platform/win/symlink.h"
#include "platform/win/synchapi.h"
#include "platform/win/sysinfoapi.h"
#include "platform/win/types.h"
#include "platform/win/windef.h"
#include "platform/win/winreg.h"
#include "platform/win/winsecurity.h"
#include "platform/win/winsvc.h"
#endif
