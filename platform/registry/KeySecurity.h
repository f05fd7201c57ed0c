// Access lists of registry keys. The registry itself stores none: the
// security stand-in keeps every access list of the image (security.sddl).
// These pass it the keys RegCreateKeyEx makes with security attributes and
// the keys that are deleted.
#pragma once

#include <string>

#include "platform/win/types.h"
#include "platform/win/winsecurity.h"

namespace machine::registry {

// False for a descriptor RegCreateKeyEx must refuse. Leaves the last error
// as it was.
bool IsUsableKeySecurity(PSECURITY_DESCRIPTOR descriptor);
// Records the attributes' descriptor as the key's own; the key has this
// security name ("MACHINE\SOFTWARE\..."). Returns an error code when the
// descriptor or the access lists cannot be written.
DWORD RecordKeySecurity(const std::u16string& objectName, const SECURITY_ATTRIBUTES* attributes);
// Forgets what was recorded for the key and the keys below it.
void ForgetKeySecurity(const std::u16string& objectName);

}  // namespace machine::registry
