// Starting programs and opening documents through the shell (shellapi.h),
// with the show commands of winuser.h it takes.
//
// The stand-in starts nothing: each call is appended to the image's
// shell.log (platform/shell/ShellLog.h) and answers as Windows does for the
// file named: a value above 32 when it exists, SE_ERR_FNF (2) when it does
// not. A relative file is looked for in lpDirectory, or in the current
// directory without one.
// Deviation: the search path and file associations are not consulted.
#pragma once

#include "platform/win/types.h"
#include "platform/win/windef.h"
#include "platform/win/winuser.h"

#define SE_ERR_FNF 2
#define SE_ERR_PNF 3
#define SE_ERR_ACCESSDENIED 5
#define SE_ERR_OOM 8
#define SE_ERR_NOASSOC 31

HINSTANCE WINAPI ShellExecuteW(HWND hwnd, LPCWSTR lpOperation, LPCWSTR lpFile, LPCWSTR lpParameters,
                               LPCWSTR lpDirectory, int nShowCmd);
