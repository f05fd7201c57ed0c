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

void RecordKeySecurity(const std::u16string& objectName, const SECURITY_ATTRIBUTES* attributes) {
  winsec::RecordNewObjectSecurity(winsec::ObjectKind::RegistryKey, objectName, attributes);
}

void ForgetKeySecurity(const std::u16string& objectName) {
  winsec::ForgetObjectSecurity(winsec::ObjectKind::RegistryKey, objectName);
}

}  // namespace machine::registry
