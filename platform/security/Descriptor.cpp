// Security descriptor functions (securitybaseapi.h) and the conversions
// between descriptors and SecurityRecord.
#include "platform/security/Descriptor.h"

#include <cstring>

#include "platform/security/FaultInjection.h"
#include "platform/win.h"

namespace {

constexpr SECURITY_DESCRIPTOR_CONTROL kSettableControl =
    SE_DACL_AUTO_INHERIT_REQ | SE_SACL_AUTO_INHERIT_REQ | SE_DACL_AUTO_INHERITED |
    SE_SACL_AUTO_INHERITED | SE_DACL_PROTECTED | SE_SACL_PROTECTED;

bool Fail(DWORD error) {
  SetLastError(error);
  return false;
}

// The parts of a descriptor, wherever they live.
struct Parts {
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  const BYTE* owner = nullptr;
  const BYTE* group = nullptr;
  const ACL* sacl = nullptr;
  const ACL* dacl = nullptr;
};

bool PartsOf(const void* descriptor, Parts& parts) {
  if (descriptor == nullptr) return false;
  const auto* header = static_cast<const BYTE*>(descriptor);
  if (header[0] != SECURITY_DESCRIPTOR_REVISION) return false;
  std::memcpy(&parts.control, header + 2, sizeof parts.control);
  if (parts.control & SE_SELF_RELATIVE) {
    SECURITY_DESCRIPTOR_RELATIVE relative;
    std::memcpy(&relative, descriptor, sizeof relative);
    parts.owner = relative.Owner ? header + relative.Owner : nullptr;
    parts.group = relative.Group ? header + relative.Group : nullptr;
    parts.sacl = relative.Sacl ? reinterpret_cast<const ACL*>(header + relative.Sacl) : nullptr;
    parts.dacl = relative.Dacl ? reinterpret_cast<const ACL*>(header + relative.Dacl) : nullptr;
  } else {
    const auto* absolute = static_cast<const SECURITY_DESCRIPTOR*>(descriptor);
    parts.owner = static_cast<const BYTE*>(absolute->Owner);
    parts.group = static_cast<const BYTE*>(absolute->Group);
    parts.sacl = absolute->Sacl;
    parts.dacl = absolute->Dacl;
  }
  return true;
}

bool ReadAclPart(bool present, const ACL* acl, bool isProtected, winsec::AclPart& part) {
  part = winsec::AclPart();
  if (!present) return true;
  if (acl == nullptr) {
    part = winsec::AclPart::Null();
  } else {
    std::vector<winsec::Ace> aces;
    if (!winsec::ReadAcl(acl, aces)) return false;
    part = winsec::AclPart::Of(std::move(aces));
  }
  part.isProtected = isProtected;
  return true;
}

// A self-relative block from the parts' bytes; an empty ACL part with its
// present bit set is a null list.
struct RawParts {
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  std::vector<BYTE> owner, group, sacl, dacl;

  size_t Size() const {
    return sizeof(SECURITY_DESCRIPTOR_RELATIVE) + owner.size() + group.size() + sacl.size() +
           dacl.size();
  }
  void WriteTo(void* out) const {
    auto* base = static_cast<BYTE*>(out);
    SECURITY_DESCRIPTOR_RELATIVE header{};
    header.Revision = SECURITY_DESCRIPTOR_REVISION;
    header.Control = static_cast<SECURITY_DESCRIPTOR_CONTROL>(control | SE_SELF_RELATIVE);
    DWORD offset = sizeof header;
    auto place = [&](const std::vector<BYTE>& bytes, DWORD& field) {
      if (bytes.empty()) return;
      field = offset;
      std::memcpy(base + offset, bytes.data(), bytes.size());
      offset += static_cast<DWORD>(bytes.size());
    };
    place(owner, header.Owner);
    place(group, header.Group);
    place(sacl, header.Sacl);
    place(dacl, header.Dacl);
    std::memcpy(base, &header, sizeof header);
  }
};

std::vector<BYTE> SidBytesAt(const BYTE* sid) {
  return sid ? winsec::SidFromPointer(sid) : std::vector<BYTE>{};
}

std::vector<BYTE> AclBytesAt(const ACL* acl) {
  if (acl == nullptr) return {};
  const auto* bytes = reinterpret_cast<const BYTE*>(acl);
  return std::vector<BYTE>(bytes, bytes + acl->AclSize);
}

std::vector<BYTE> AclBytesOf(const winsec::AclPart& part) {
  if (!part.present || part.isNull) return {};
  std::vector<BYTE> bytes(winsec::AclByteSize(part.aces));
  winsec::WriteAcl(part.aces, bytes.data());
  return bytes;
}

SECURITY_DESCRIPTOR* Absolute(PSECURITY_DESCRIPTOR descriptor) {
  auto* absolute = static_cast<SECURITY_DESCRIPTOR*>(descriptor);
  if (absolute == nullptr || absolute->Revision != SECURITY_DESCRIPTOR_REVISION ||
      (absolute->Control & SE_SELF_RELATIVE)) {
    SetLastError(ERROR_INVALID_SECURITY_DESCR);
    return nullptr;
  }
  return absolute;
}

void SetBit(SECURITY_DESCRIPTOR_CONTROL& control, SECURITY_DESCRIPTOR_CONTROL bit, bool on) {
  control = static_cast<SECURITY_DESCRIPTOR_CONTROL>(on ? (control | bit) : (control & ~bit));
}

}  // namespace

namespace winsec {

bool ReadDescriptor(const void* descriptor, SecurityRecord& record) {
  Parts parts;
  if (!PartsOf(descriptor, parts)) return false;
  SecurityRecord read;
  if (parts.owner) {
    if (!IsValidSidPointer(parts.owner)) return false;
    read.owner = SidFromPointer(parts.owner);
  }
  if (parts.group) {
    if (!IsValidSidPointer(parts.group)) return false;
    read.group = SidFromPointer(parts.group);
  }
  if (!ReadAclPart(parts.control & SE_DACL_PRESENT, parts.dacl, parts.control & SE_DACL_PROTECTED,
                   read.dacl) ||
      !ReadAclPart(parts.control & SE_SACL_PRESENT, parts.sacl, parts.control & SE_SACL_PROTECTED,
                   read.sacl))
    return false;
  record = std::move(read);
  return true;
}

PSECURITY_DESCRIPTOR AllocateSelfRelative(const SecurityRecord& record, SECURITY_INFORMATION which,
                                          DWORD* size) {
  RawParts raw;
  if ((which & OWNER_SECURITY_INFORMATION) && record.owner) raw.owner = *record.owner;
  if ((which & GROUP_SECURITY_INFORMATION) && record.group) raw.group = *record.group;
  if ((which & DACL_SECURITY_INFORMATION) && record.dacl.present) {
    if (!AclFits(record.dacl.aces)) return nullptr;
    raw.dacl = AclBytesOf(record.dacl);
    raw.control |= SE_DACL_PRESENT;
    if (record.dacl.isProtected) raw.control |= SE_DACL_PROTECTED;
  }
  if ((which & SACL_SECURITY_INFORMATION) && record.sacl.present) {
    if (!AclFits(record.sacl.aces)) return nullptr;
    raw.sacl = AclBytesOf(record.sacl);
    raw.control |= SE_SACL_PRESENT;
    if (record.sacl.isProtected) raw.control |= SE_SACL_PROTECTED;
  }
  void* block = LocalAlloc(LPTR, raw.Size());
  if (block == nullptr) return nullptr;
  raw.WriteTo(block);
  if (size != nullptr) *size = static_cast<DWORD>(raw.Size());
  return block;
}

}  // namespace winsec

BOOL WINAPI InitializeSecurityDescriptor(PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                         DWORD dwRevision) {
  DWORD injected;
  if (winsec::InjectedFailure(winsec::Injectable::InitializeSecurityDescriptor, injected))
    return Fail(injected);
  if (pSecurityDescriptor == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  if (dwRevision != SECURITY_DESCRIPTOR_REVISION) return Fail(ERROR_UNKNOWN_REVISION);
  auto* descriptor = static_cast<SECURITY_DESCRIPTOR*>(pSecurityDescriptor);
  *descriptor = SECURITY_DESCRIPTOR{};
  descriptor->Revision = SECURITY_DESCRIPTOR_REVISION;
  return TRUE;
}

BOOL WINAPI IsValidSecurityDescriptor(PSECURITY_DESCRIPTOR pSecurityDescriptor) {
  winsec::SecurityRecord record;
  if (!winsec::ReadDescriptor(pSecurityDescriptor, record))
    return Fail(ERROR_INVALID_SECURITY_DESCR);
  return TRUE;
}

DWORD WINAPI GetSecurityDescriptorLength(PSECURITY_DESCRIPTOR pSecurityDescriptor) {
  Parts parts;
  if (!PartsOf(pSecurityDescriptor, parts)) return 0;
  size_t size = (parts.control & SE_SELF_RELATIVE) ? sizeof(SECURITY_DESCRIPTOR_RELATIVE)
                                                   : sizeof(SECURITY_DESCRIPTOR);
  size += SidBytesAt(parts.owner).size() + SidBytesAt(parts.group).size();
  if (parts.sacl) size += parts.sacl->AclSize;
  if (parts.dacl) size += parts.dacl->AclSize;
  return static_cast<DWORD>(size);
}

BOOL WINAPI GetSecurityDescriptorControl(PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                         PSECURITY_DESCRIPTOR_CONTROL pControl,
                                         LPDWORD lpdwRevision) {
  Parts parts;
  if (pControl == nullptr || lpdwRevision == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  if (!PartsOf(pSecurityDescriptor, parts)) return Fail(ERROR_INVALID_SECURITY_DESCR);
  *pControl = parts.control;
  *lpdwRevision = SECURITY_DESCRIPTOR_REVISION;
  return TRUE;
}

BOOL WINAPI SetSecurityDescriptorControl(PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                         SECURITY_DESCRIPTOR_CONTROL ControlBitsOfInterest,
                                         SECURITY_DESCRIPTOR_CONTROL ControlBitsToSet) {
  if ((ControlBitsOfInterest | ControlBitsToSet) & ~kSettableControl)
    return Fail(ERROR_INVALID_PARAMETER);
  Parts parts;
  if (!PartsOf(pSecurityDescriptor, parts)) return Fail(ERROR_INVALID_SECURITY_DESCR);
  // The control word sits at the same place in both formats.
  auto control = static_cast<SECURITY_DESCRIPTOR_CONTROL>(
      (parts.control & ~ControlBitsOfInterest) | (ControlBitsToSet & ControlBitsOfInterest));
  std::memcpy(static_cast<BYTE*>(pSecurityDescriptor) + 2, &control, sizeof control);
  return TRUE;
}

BOOL WINAPI SetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR pSecurityDescriptor, BOOL bDaclPresent,
                                      PACL pDacl, BOOL bDaclDefaulted) {
  DWORD injected;
  if (winsec::InjectedFailure(winsec::Injectable::SetSecurityDescriptorDacl, injected))
    return Fail(injected);
  SECURITY_DESCRIPTOR* descriptor = Absolute(pSecurityDescriptor);
  if (descriptor == nullptr) return FALSE;
  SetBit(descriptor->Control, SE_DACL_PRESENT, bDaclPresent);
  descriptor->Dacl = bDaclPresent ? pDacl : nullptr;
  SetBit(descriptor->Control, SE_DACL_DEFAULTED, bDaclPresent && bDaclDefaulted);
  return TRUE;
}

BOOL WINAPI SetSecurityDescriptorSacl(PSECURITY_DESCRIPTOR pSecurityDescriptor, BOOL bSaclPresent,
                                      PACL pSacl, BOOL bSaclDefaulted) {
  DWORD injected;
  if (winsec::InjectedFailure(winsec::Injectable::SetSecurityDescriptorSacl, injected))
    return Fail(injected);
  SECURITY_DESCRIPTOR* descriptor = Absolute(pSecurityDescriptor);
  if (descriptor == nullptr) return FALSE;
  SetBit(descriptor->Control, SE_SACL_PRESENT, bSaclPresent);
  descriptor->Sacl = bSaclPresent ? pSacl : nullptr;
  SetBit(descriptor->Control, SE_SACL_DEFAULTED, bSaclPresent && bSaclDefaulted);
  return TRUE;
}

BOOL WINAPI SetSecurityDescriptorOwner(PSECURITY_DESCRIPTOR pSecurityDescriptor, PSID pOwner,
                                       BOOL bOwnerDefaulted) {
  DWORD injected;
  if (winsec::InjectedFailure(winsec::Injectable::SetSecurityDescriptorOwner, injected))
    return Fail(injected);
  SECURITY_DESCRIPTOR* descriptor = Absolute(pSecurityDescriptor);
  if (descriptor == nullptr) return FALSE;
  descriptor->Owner = pOwner;
  SetBit(descriptor->Control, SE_OWNER_DEFAULTED, bOwnerDefaulted);
  return TRUE;
}

BOOL WINAPI SetSecurityDescriptorGroup(PSECURITY_DESCRIPTOR pSecurityDescriptor, PSID pGroup,
                                       BOOL bGroupDefaulted) {
  DWORD injected;
  if (winsec::InjectedFailure(winsec::Injectable::SetSecurityDescriptorGroup, injected))
    return Fail(injected);
  SECURITY_DESCRIPTOR* descriptor = Absolute(pSecurityDescriptor);
  if (descriptor == nullptr) return FALSE;
  descriptor->Group = pGroup;
  SetBit(descriptor->Control, SE_GROUP_DEFAULTED, bGroupDefaulted);
  return TRUE;
}

BOOL WINAPI GetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                      LPBOOL lpbDaclPresent, PACL* pDacl, LPBOOL lpbDaclDefaulted) {
  Parts parts;
  if (lpbDaclPresent == nullptr || pDacl == nullptr || lpbDaclDefaulted == nullptr)
    return Fail(ERROR_INVALID_PARAMETER);
  if (!PartsOf(pSecurityDescriptor, parts)) return Fail(ERROR_INVALID_SECURITY_DESCR);
  *lpbDaclPresent = (parts.control & SE_DACL_PRESENT) ? TRUE : FALSE;
  if (*lpbDaclPresent) {
    *pDacl = const_cast<PACL>(parts.dacl);
    *lpbDaclDefaulted = (parts.control & SE_DACL_DEFAULTED) ? TRUE : FALSE;
  }
  return TRUE;
}

BOOL WINAPI GetSecurityDescriptorSacl(PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                      LPBOOL lpbSaclPresent, PACL* pSacl, LPBOOL lpbSaclDefaulted) {
  Parts parts;
  if (lpbSaclPresent == nullptr || pSacl == nullptr || lpbSaclDefaulted == nullptr)
    return Fail(ERROR_INVALID_PARAMETER);
  if (!PartsOf(pSecurityDescriptor, parts)) return Fail(ERROR_INVALID_SECURITY_DESCR);
  *lpbSaclPresent = (parts.control & SE_SACL_PRESENT) ? TRUE : FALSE;
  if (*lpbSaclPresent) {
    *pSacl = const_cast<PACL>(parts.sacl);
    *lpbSaclDefaulted = (parts.control & SE_SACL_DEFAULTED) ? TRUE : FALSE;
  }
  return TRUE;
}

BOOL WINAPI GetSecurityDescriptorOwner(PSECURITY_DESCRIPTOR pSecurityDescriptor, PSID* pOwner,
                                       LPBOOL lpbOwnerDefaulted) {
  Parts parts;
  if (pOwner == nullptr || lpbOwnerDefaulted == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  if (!PartsOf(pSecurityDescriptor, parts)) return Fail(ERROR_INVALID_SECURITY_DESCR);
  *pOwner = const_cast<BYTE*>(parts.owner);
  *lpbOwnerDefaulted = (parts.control & SE_OWNER_DEFAULTED) ? TRUE : FALSE;
  return TRUE;
}

BOOL WINAPI GetSecurityDescriptorGroup(PSECURITY_DESCRIPTOR pSecurityDescriptor, PSID* pGroup,
                                       LPBOOL lpbGroupDefaulted) {
  Parts parts;
  if (pGroup == nullptr || lpbGroupDefaulted == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  if (!PartsOf(pSecurityDescriptor, parts)) return Fail(ERROR_INVALID_SECURITY_DESCR);
  *pGroup = const_cast<BYTE*>(parts.group);
  *lpbGroupDefaulted = (parts.control & SE_GROUP_DEFAULTED) ? TRUE : FALSE;
  return TRUE;
}

BOOL WINAPI MakeSelfRelativeSD(PSECURITY_DESCRIPTOR pAbsoluteSecurityDescriptor,
                               PSECURITY_DESCRIPTOR pSelfRelativeSecurityDescriptor,
                               LPDWORD lpdwBufferLength) {
  Parts parts;
  if (lpdwBufferLength == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  if (!PartsOf(pAbsoluteSecurityDescriptor, parts)) return Fail(ERROR_INVALID_SECURITY_DESCR);
  if (parts.control & SE_SELF_RELATIVE) return Fail(ERROR_BAD_DESCRIPTOR_FORMAT);
  RawParts raw;
  raw.control = parts.control;
  raw.owner = SidBytesAt(parts.owner);
  raw.group = SidBytesAt(parts.group);
  raw.sacl = AclBytesAt(parts.sacl);
  raw.dacl = AclBytesAt(parts.dacl);
  if (*lpdwBufferLength < raw.Size() || pSelfRelativeSecurityDescriptor == nullptr) {
    *lpdwBufferLength = static_cast<DWORD>(raw.Size());
    return Fail(ERROR_INSUFFICIENT_BUFFER);
  }
  raw.WriteTo(pSelfRelativeSecurityDescriptor);
  *lpdwBufferLength = static_cast<DWORD>(raw.Size());
  return TRUE;
}
