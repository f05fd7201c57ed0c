// Symbolic links (winbase.h).
//
// A link is a host symbolic link inside the image whose target, taken
// relative to the link's folder as on Windows, is stored as a host path
// relative to that folder: the image can be moved and the link never
// leaves it.
//
// Deviations: the target must exist when the link is made (the stand-in
// refuses links that lead nowhere, platform/paths.h), otherwise
// ERROR_FILE_NOT_FOUND or ERROR_PATH_NOT_FOUND; the link is a file or a
// folder after its target, whatever SYMBOLIC_LINK_FLAG_DIRECTORY says; the
// process always holds the privilege to create links.
#pragma once

#include "platform/win/types.h"

typedef BYTE BOOLEAN;

#define SYMBOLIC_LINK_FLAG_DIRECTORY 0x1u
#define SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE 0x2u

// Non-zero on success. Errors: ERROR_INVALID_PARAMETER (null names, unknown
// flags), ERROR_ALREADY_EXISTS (something exists at the link's name), the
// path errors of either name.
BOOLEAN WINAPI CreateSymbolicLinkW(LPCWSTR lpSymlinkFileName, LPCWSTR lpTargetFileName,
                                   DWORD dwFlags);
