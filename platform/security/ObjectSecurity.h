// What the rest of the stand-in tells the security part about objects it
// creates and deletes, so that security.sddl follows the image:
//
// - a function that creates a file, folder or registry key with security
//   attributes (CreateDirectoryW, CreateFileW, RegCreateKeyExW) records the
//   descriptor they carry as the new object's own;
// - a function that deletes one forgets what was recorded for it, so that a
//   new object of the same name starts afresh.
//
// Names are full names: the full Windows path for files and folders, the
// security functions' form for keys ("MACHINE\SOFTWARE\x",
// machine::registry::ObjectName). Callers may hold the machine's lock.
#pragma once

#include <string>
#include <string_view>

#include "platform/security/SecurityStore.h"
#include "platform/win.h"

namespace winsec {

// Null attributes or a null descriptor record nothing: the object inherits
// from its parent. Returns ERROR_SUCCESS, ERROR_INVALID_SECURITY_DESCR for
// a malformed descriptor or ERROR_INVALID_NAME for a name holding a line
// break (then nothing is recorded), or kStoreFault (StoreFaults.h) when
// security.sddl cannot be read or written.
DWORD RecordNewObjectSecurity(ObjectKind kind, std::u16string_view fullName,
                              const SECURITY_ATTRIBUTES* attributes);

// Also forgets what was recorded for objects below a deleted folder or key.
// Returns ERROR_SUCCESS or kStoreFault.
DWORD ForgetObjectSecurity(ObjectKind kind, std::u16string_view fullName);

}  // namespace winsec
