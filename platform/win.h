// The one place the system gets its Windows declarations from. The Windows
// build takes the SDK's (with UNICODE and NOMINMAX, set by the build); the
// Linux build takes the stand-in's subset, which declares exactly what the
// simulated server implements. Both take the application-host interfaces,
// which the SDK's headers of the Windows build lack, and the text-pointer
// helpers of the API boundary.
#pragma once

#ifdef _WIN32
#include <windows.h>
// After windows.h, which they build on.
#include <aclapi.h>
#include <commctrl.h>
#include <iadmw.h>
#include <iiscnfg.h>
#include <mdmsg.h>
#include <objbase.h>
#include <oleauto.h>
#include <prsht.h>
#include <sddl.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>
#else
#include "platform/win/aclapi.h"
#include "platform/win/commctrl.h"
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
#include "platform/win/prsht.h"
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
#include "platform/win/winuser.h"
#endif

#include "platform/sdk/ahadmin.h"
#include "platform/wcstr.h"
