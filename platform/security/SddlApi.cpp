// Text forms of SIDs and descriptors (sddl.h).
#include <cstring>

#include "platform/security/Descriptor.h"
#include "platform/security/Sddl.h"
#include "platform/text.h"
#include "platform/win.h"

namespace {

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

// A LocalAlloc copy of the text, zero-terminated.
LPWSTR LocalText(const std::string& ascii, PULONG length) {
  std::u16string text = machine::FromUtf8(ascii);
  auto* copy = static_cast<LPWSTR>(LocalAlloc(LMEM_FIXED, (text.size() + 1) * sizeof(char16_t)));
  if (copy == nullptr) return nullptr;
  std::memcpy(copy, text.c_str(), (text.size() + 1) * sizeof(char16_t));
  if (length != nullptr) *length = static_cast<ULONG>(text.size() + 1);
  return copy;
}

}  // namespace

BOOL WINAPI ConvertSidToStringSidW(PSID Sid, LPWSTR* StringSid) {
  if (StringSid == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  if (!IsValidSid(Sid)) return FALSE;
  LPWSTR text = LocalText(winsec::SidToString(winsec::SidFromPointer(Sid)), nullptr);
  if (text == nullptr) return Fail(ERROR_NOT_ENOUGH_MEMORY);
  *StringSid = text;
  return TRUE;
}

BOOL WINAPI ConvertStringSidToSidW(LPCWSTR StringSid, PSID* Sid) {
  if (StringSid == nullptr || Sid == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  std::optional<winsec::SidBytes> sid = winsec::ParseSidToken(machine::ToUtf8(StringSid));
  if (!sid) return Fail(ERROR_INVALID_SID);
  void* block = LocalAlloc(LMEM_FIXED, sid->size());
  if (block == nullptr) return Fail(ERROR_NOT_ENOUGH_MEMORY);
  std::memcpy(block, sid->data(), sid->size());
  *Sid = block;
  return TRUE;
}

BOOL WINAPI ConvertSecurityDescriptorToStringSecurityDescriptorW(
    PSECURITY_DESCRIPTOR SecurityDescriptor, DWORD RequestedStringSDRevision,
    SECURITY_INFORMATION SecurityInformation, LPWSTR* StringSecurityDescriptor,
    PULONG StringSecurityDescriptorLen) {
  if (StringSecurityDescriptor == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  if (RequestedStringSDRevision != SDDL_REVISION_1) return Fail(ERROR_UNKNOWN_REVISION);
  winsec::SecurityRecord record;
  if (!winsec::ReadDescriptor(SecurityDescriptor, record))
    return Fail(ERROR_INVALID_SECURITY_DESCR);
  if (!(SecurityInformation & OWNER_SECURITY_INFORMATION)) record.owner.reset();
  if (!(SecurityInformation & GROUP_SECURITY_INFORMATION)) record.group.reset();
  if (!(SecurityInformation & DACL_SECURITY_INFORMATION)) record.dacl = winsec::AclPart();
  if (!(SecurityInformation & SACL_SECURITY_INFORMATION)) record.sacl = winsec::AclPart();
  LPWSTR text =
      LocalText(winsec::FormatSddl(record, winsec::RightsStyle::Any), StringSecurityDescriptorLen);
  if (text == nullptr) return Fail(ERROR_NOT_ENOUGH_MEMORY);
  *StringSecurityDescriptor = text;
  return TRUE;
}

BOOL WINAPI ConvertStringSecurityDescriptorToSecurityDescriptorW(
    LPCWSTR StringSecurityDescriptor, DWORD StringSDRevision,
    PSECURITY_DESCRIPTOR* SecurityDescriptor, PULONG SecurityDescriptorSize) {
  if (StringSecurityDescriptor == nullptr || SecurityDescriptor == nullptr)
    return Fail(ERROR_INVALID_PARAMETER);
  if (StringSDRevision != SDDL_REVISION_1) return Fail(ERROR_UNKNOWN_REVISION);
  winsec::SecurityRecord record;
  std::string error;
  if (!winsec::ParseSddl(machine::ToUtf8(StringSecurityDescriptor), record, error))
    return Fail(ERROR_INVALID_PARAMETER);
  DWORD size = 0;
  constexpr SECURITY_INFORMATION kAll = OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION |
                                        DACL_SECURITY_INFORMATION | SACL_SECURITY_INFORMATION;
  PSECURITY_DESCRIPTOR descriptor = winsec::AllocateSelfRelative(record, kAll, &size);
  if (descriptor == nullptr) return Fail(ERROR_NOT_ENOUGH_MEMORY);
  *SecurityDescriptor = descriptor;
  if (SecurityDescriptorSize != nullptr) *SecurityDescriptorSize = size;
  return TRUE;
}
