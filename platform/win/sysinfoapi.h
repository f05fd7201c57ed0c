// The system's folders (sysinfoapi.h): the image's [folders] WINDOWS and
// SYSTEM of machine.ini, as the special folders give them.
#pragma once

#include "platform/win/types.h"

// The length without the terminator when the path fits in uSize characters;
// otherwise the size needed with the terminator, and nothing is written.
// 0 with ERROR_PATH_NOT_FOUND when the image names no such folder.
UINT WINAPI GetSystemDirectoryW(LPWSTR lpBuffer, UINT uSize);
UINT WINAPI GetWindowsDirectoryW(LPWSTR lpBuffer, UINT uSize);
