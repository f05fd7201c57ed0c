// Loading modules and finding their exports (libloaderapi.h).
//
// Deviation: the stand-in has no executable images. It offers the system
// modules whose exports it implements ("kernel32.dll" with
// CreateSymbolicLinkW); any other module fails with ERROR_MOD_NOT_FOUND, as a
// DLL missing from the server would.
#pragma once

#include "platform/win/types.h"
#include "platform/win/windef.h"

// A module name without an extension gets ".dll", as LoadLibraryW adds it;
// a name ending in '.' means "no extension". Names compare without regard
// to case, and a path to the module in the system folder is accepted too.
// Each successful call counts one reference that FreeLibrary gives back.
HMODULE WINAPI LoadLibraryW(LPCWSTR lpLibFileName);
HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName);
// The export by name, or by ordinal when the high bits of the pointer are
// zero (ordinals are not offered: ERROR_PROC_NOT_FOUND). Names compare with
// regard to case, as on Windows. Cast the result to the function's type.
FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName);
// Errors: ERROR_MOD_NOT_FOUND for a handle that does not name a loaded
// module (released as often as it was loaded).
BOOL WINAPI FreeLibrary(HMODULE hLibModule);
