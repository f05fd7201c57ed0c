#include "platform/registry/KeySecurity.h"

#include "platform/security/ObjectSecurity.h"
#include "platform/win.h"

namespace machine::registry {

bool IsUsableKeySecurity(PSECURITY_DESCRIPTOR descriptor) {
  DWORD lastError = GetLastError();
  bool valid = IsValidSecurityDescriptor(descriptor) != FALSE;
  SetLastError(lastError);
  return valid;
}

DWORD RecordKeySecurity(const std::u16string& objectName, const SECURITY_ATTRIBUTES* attributes) {
  return winsec::RecordNewObjectSecurity(winsec::ObjectKind::RegistryKey, objectName, attributes);
}

void ForgetKeySecurity(const std::u16string& objectName) {
  // The key is gone whatever happens here; a record left behind is replaced
  // when a new key takes the name.
  static_cast<void>(winsec::ForgetObjectSecurity(winsec::ObjectKind::RegistryKey, objectName));
}

}  // namespace machine::registry
