// GetShortPathNameW (fileapi.h in the SDK), kept apart because the
// stand-in's 8.3 names are generated rather than stored.
//
// Deviations of the stand-in, all in what callers may observe:
// - Short names are generated when asked for: a component that already is
//   a valid 8.3 name is its own short name; any other becomes the first six
//   usable characters, "~" and a number, and up to three extension
//   characters, upper-cased. Siblings that would share a short name are
//   numbered in name order, where Windows numbers them in creation order.
// - A relative path is answered in its full form.
#pragma once

#include "platform/win/types.h"

// The short form of an existing file or folder. Returns its length without
// the terminator; the size needed with the terminator when the buffer is too
// small; 0 on failure (ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND,
// ERROR_INVALID_PARAMETER, ...).
DWORD WINAPI GetShortPathNameW(LPCWSTR lpszLongPath, LPWSTR lpszShortPath, DWORD cchBuffer);
