// Reading initialization files (winbase.h): GetPrivateProfileStringA/W.
//
// As Windows documents and does: section and key names match without
// regard to case; names and values lose surrounding blanks, and a value in
// matching single or double quotes loses the quotes; ';' starts a comment
// line (text after a value is kept as part of it); the first section of a
// name, and the first key of a name in it, count. A file name without a
// folder is looked for in the Windows folder. A file that starts with a
// UTF-16LE byte order mark is Unicode, any other is in the ANSI code page
// (Windows-1252).
//
// Results: with both names given, the value (or the default, NULL meaning
// "" and losing trailing blanks) cut to nSize - 1 characters and
// terminated; the return value is the count copied. With lpAppName NULL
// the section names, with lpKeyName NULL the key names of the section, each
// terminated and the list ending in a second terminator; when that does not
// fit, the last name is cut and followed by two terminators and the return
// value is nSize - 2. A missing file, section or key leaves
// ERROR_FILE_NOT_FOUND as the last error.
#pragma once

#include "platform/win/types.h"

DWORD WINAPI GetPrivateProfileStringW(LPCWSTR lpAppName, LPCWSTR lpKeyName, LPCWSTR lpDefault,
                                      LPWSTR lpReturnedString, DWORD nSize, LPCWSTR lpFileName);
DWORD WINAPI GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault,
                                      LPSTR lpReturnedString, DWORD nSize, LPCSTR lpFileName);
