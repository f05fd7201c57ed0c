// ACL functions: the low-level ones that edit an ACL in place, and the
// explicit-entry functions of aclapi.h.
#include <algorithm>
#include <cstring>
#include <mutex>

#include "platform/machine.h"
#include "platform/security/Accounts.h"
#include "platform/security/FaultInjection.h"
#include "platform/security/SecurityModel.h"
#include "platform/security/StoreFaults.h"
#include "platform/win.h"
#include "platform/win/aclobjects.h"

using winsec::Ace;
using winsec::SidBytes;

namespace {

bool Fail(DWORD error) {
  SetLastError(error);
  return false;
}

// Rewrites an ACL in place, keeping the size it was initialised with.
bool StoreInPlace(PACL acl, const std::vector<Ace>& aces) {
  if (winsec::AclByteSize(aces) > acl->AclSize) return Fail(ERROR_ALLOTTED_SPACE_EXCEEDED);
  WORD capacity = acl->AclSize;
  BYTE revision = acl->AclRevision;
  winsec::WriteAcl(aces, acl);
  acl->AclSize = capacity;
  acl->AclRevision = revision;
  return true;
}

BOOL AddAceOfType(PACL pAcl, DWORD dwAceRevision, BYTE type, DWORD flags, DWORD mask, PSID pSid) {
  std::vector<Ace> aces;
  if (dwAceRevision < MIN_ACL_REVISION || dwAceRevision > MAX_ACL_REVISION)
    return Fail(ERROR_REVISION_MISMATCH);
  if (!winsec::ReadAcl(pAcl, aces)) return Fail(ERROR_INVALID_ACL);
  if (!IsValidSid(pSid)) return FALSE;
  if (flags & ~static_cast<DWORD>(VALID_INHERIT_FLAGS)) return Fail(ERROR_INVALID_PARAMETER);
  Ace ace;
  ace.type = type;
  ace.flags = static_cast<BYTE>(flags);
  ace.mask = mask;
  ace.sid = winsec::SidFromPointer(pSid);
  aces.push_back(std::move(ace));
  return StoreInPlace(pAcl, aces);
}

// Walks to the entry's bytes; the ACL has been validated.
LPVOID AceAddress(PACL acl, DWORD index) {
  auto* base = reinterpret_cast<BYTE*>(acl);
  size_t offset = sizeof(ACL);
  for (DWORD i = 0; i < index; ++i) {
    ACE_HEADER header;
    std::memcpy(&header, base + offset, sizeof header);
    offset += header.AceSize;
  }
  return base + offset;
}

// The SID of an account name; "CURRENT_USER" is the process's user, which
// here is always the image's built-in Administrator. Returns an error code.
DWORD SidOfName(const char16_t* name, SidBytes& sid) {
  if (name == nullptr) return ERROR_INVALID_PARAMETER;
  std::u16string_view account(name);
  if (account == u"CURRENT_USER") account = u"Administrator";
  return winsec::WithAccounts([&](const machine::IniFile&, const winsec::AccountDatabase& db) {
    const winsec::Account* found = db.FindByName(account);
    if (found == nullptr) return DWORD{ERROR_NONE_MAPPED};
    sid = found->sid;
    return DWORD{ERROR_SUCCESS};
  });
}

DWORD SidOfPointer(const void* pointer, SidBytes& sid) {
  if (pointer == nullptr) return ERROR_INVALID_PARAMETER;
  if (!winsec::IsValidSidPointer(pointer)) return ERROR_INVALID_SID;
  sid = winsec::SidFromPointer(pointer);
  return ERROR_SUCCESS;
}

// Entries naming object types become object entries on Windows; the
// stand-in's lists hold no object entries, so it refuses them rather than
// drop the types and widen the entry.
constexpr DWORD kObjectTypes = ACE_OBJECT_TYPE_PRESENT | ACE_INHERITED_OBJECT_TYPE_PRESENT;

// The SID a trustee stands for. Returns an error code.
DWORD TrusteeSid(const TRUSTEE_W* trustee, SidBytes& sid) {
  if (trustee == nullptr || trustee->ptstrName == nullptr) return ERROR_INVALID_PARAMETER;
  if (trustee->pMultipleTrustee != nullptr ||
      trustee->MultipleTrusteeOperation != NO_MULTIPLE_TRUSTEE)
    return ERROR_NOT_SUPPORTED;  // impersonation trustees are not modelled
  switch (trustee->TrusteeForm) {
    case TRUSTEE_IS_SID:
      return SidOfPointer(trustee->ptstrName, sid);
    case TRUSTEE_IS_NAME:
      return SidOfName(trustee->ptstrName, sid);
    case TRUSTEE_IS_OBJECTS_AND_SID: {
      const auto* objects = reinterpret_cast<const OBJECTS_AND_SID*>(trustee->ptstrName);
      if (objects->ObjectsPresent & kObjectTypes) return ERROR_NOT_SUPPORTED;
      return SidOfPointer(objects->pSid, sid);
    }
    case TRUSTEE_IS_OBJECTS_AND_NAME: {
      const auto* objects = reinterpret_cast<const OBJECTS_AND_NAME_W*>(trustee->ptstrName);
      if (objects->ObjectsPresent & kObjectTypes) return ERROR_NOT_SUPPORTED;
      return SidOfName(objects->ptstrName, sid);
    }
    default:
      return ERROR_INVALID_PARAMETER;  // TRUSTEE_BAD_FORM among them
  }
}

// The trustee and the groups it belongs to by its account. Groups a token
// only gets from how it logged on (Authenticated Users, SERVICE, ...) are
// not memberships, and GetEffectiveRightsFromAcl does not count them.
DWORD MembershipSids(const SidBytes& trustee, std::vector<SidBytes>& sids) {
  return winsec::WithAccounts([&](const machine::IniFile&, const winsec::AccountDatabase& db) {
    sids = db.TokenSids(trustee);
    sids.erase(std::remove_if(sids.begin() + 1, sids.end(), winsec::IsLogonSessionGroup),
               sids.end());
    return DWORD{ERROR_SUCCESS};
  });
}

}  // namespace

BOOL WINAPI InitializeAcl(PACL pAcl, DWORD nAclLength, DWORD dwAclRevision) {
  if (pAcl == nullptr || nAclLength > winsec::kMaxAclSize + 3 || dwAclRevision < MIN_ACL_REVISION ||
      dwAclRevision > MAX_ACL_REVISION)
    return Fail(ERROR_INVALID_PARAMETER);
  if (nAclLength < sizeof(ACL)) return Fail(ERROR_INSUFFICIENT_BUFFER);
  pAcl->AclRevision = static_cast<BYTE>(dwAclRevision);
  pAcl->Sbz1 = 0;
  pAcl->AclSize = static_cast<WORD>(nAclLength & ~3u);
  pAcl->AceCount = 0;
  pAcl->Sbz2 = 0;
  return TRUE;
}

BOOL WINAPI IsValidAcl(PACL pAcl) {
  std::vector<Ace> aces;
  if (!winsec::ReadAcl(pAcl, aces)) return Fail(ERROR_INVALID_ACL);
  return TRUE;
}

BOOL WINAPI GetAclInformation(PACL pAcl, LPVOID pAclInformation, DWORD nAclInformationLength,
                              ACL_INFORMATION_CLASS dwAclInformationClass) {
  std::vector<Ace> aces;
  if (!winsec::ReadAcl(pAcl, aces)) return Fail(ERROR_INVALID_ACL);
  if (pAclInformation == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  if (dwAclInformationClass == AclRevisionInformation) {
    if (nAclInformationLength < sizeof(ACL_REVISION_INFORMATION))
      return Fail(ERROR_INSUFFICIENT_BUFFER);
    static_cast<PACL_REVISION_INFORMATION>(pAclInformation)->AclRevision = pAcl->AclRevision;
    return TRUE;
  }
  if (dwAclInformationClass == AclSizeInformation) {
    if (nAclInformationLength < sizeof(ACL_SIZE_INFORMATION))
      return Fail(ERROR_INSUFFICIENT_BUFFER);
    auto* info = static_cast<PACL_SIZE_INFORMATION>(pAclInformation);
    info->AceCount = static_cast<DWORD>(aces.size());
    info->AclBytesInUse = static_cast<DWORD>(winsec::AclByteSize(aces));
    info->AclBytesFree = pAcl->AclSize - info->AclBytesInUse;
    return TRUE;
  }
  return Fail(ERROR_INVALID_PARAMETER);
}

BOOL WINAPI GetAce(PACL pAcl, DWORD dwAceIndex, LPVOID* pAce) {
  std::vector<Ace> aces;
  if (!winsec::ReadAcl(pAcl, aces)) return Fail(ERROR_INVALID_ACL);
  if (pAce == nullptr || dwAceIndex >= aces.size()) return Fail(ERROR_INVALID_PARAMETER);
  *pAce = AceAddress(pAcl, dwAceIndex);
  return TRUE;
}

BOOL WINAPI DeleteAce(PACL pAcl, DWORD dwAceIndex) {
  std::vector<Ace> aces;
  if (!winsec::ReadAcl(pAcl, aces)) return Fail(ERROR_INVALID_ACL);
  if (dwAceIndex >= aces.size()) return Fail(ERROR_INVALID_PARAMETER);
  aces.erase(aces.begin() + dwAceIndex);
  return StoreInPlace(pAcl, aces);
}

BOOL WINAPI AddAccessAllowedAce(PACL pAcl, DWORD dwAceRevision, DWORD AccessMask, PSID pSid) {
  return AddAceOfType(pAcl, dwAceRevision, ACCESS_ALLOWED_ACE_TYPE, 0, AccessMask, pSid);
}

BOOL WINAPI AddAccessAllowedAceEx(PACL pAcl, DWORD dwAceRevision, DWORD AceFlags, DWORD AccessMask,
                                  PSID pSid) {
  return AddAceOfType(pAcl, dwAceRevision, ACCESS_ALLOWED_ACE_TYPE, AceFlags, AccessMask, pSid);
}

BOOL WINAPI AddAccessDeniedAce(PACL pAcl, DWORD dwAceRevision, DWORD AccessMask, PSID pSid) {
  return AddAceOfType(pAcl, dwAceRevision, ACCESS_DENIED_ACE_TYPE, 0, AccessMask, pSid);
}

BOOL WINAPI AddAccessDeniedAceEx(PACL pAcl, DWORD dwAceRevision, DWORD AceFlags, DWORD AccessMask,
                                 PSID pSid) {
  return AddAceOfType(pAcl, dwAceRevision, ACCESS_DENIED_ACE_TYPE, AceFlags, AccessMask, pSid);
}

void WINAPI MapGenericMask(PDWORD AccessMask, PGENERIC_MAPPING GenericMapping) {
  DWORD mask = *AccessMask;
  if (mask & GENERIC_READ) mask |= GenericMapping->GenericRead;
  if (mask & GENERIC_WRITE) mask |= GenericMapping->GenericWrite;
  if (mask & GENERIC_EXECUTE) mask |= GenericMapping->GenericExecute;
  if (mask & GENERIC_ALL) mask |= GenericMapping->GenericAll;
  *AccessMask = mask & ~(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL);
}

DWORD WINAPI SetEntriesInAclW(ULONG cCountOfExplicitEntries,
                              PEXPLICIT_ACCESS_W pListOfExplicitEntries, PACL OldAcl,
                              PACL* NewAcl) {
  DWORD injected;
  if (winsec::InjectedFailure(winsec::Injectable::SetEntriesInAclW, injected)) return injected;
  if (NewAcl == nullptr || (cCountOfExplicitEntries > 0 && pListOfExplicitEntries == nullptr))
    return ERROR_INVALID_PARAMETER;
  // Nothing to merge into nothing: Windows hands back no list at all.
  if (cCountOfExplicitEntries == 0 && OldAcl == nullptr) {
    *NewAcl = nullptr;
    return ERROR_SUCCESS;
  }
  std::vector<Ace> aces;
  if (OldAcl != nullptr && !winsec::ReadAcl(OldAcl, aces)) return ERROR_INVALID_ACL;
  for (ULONG i = 0; i < cCountOfExplicitEntries; ++i) {
    const EXPLICIT_ACCESS_W& entry = pListOfExplicitEntries[i];
    if (entry.grfAccessMode == NOT_USED_ACCESS) continue;
    SidBytes sid;
    DWORD error = TrusteeSid(&entry.Trustee, sid);
    if (error != ERROR_SUCCESS) return error;
    if (!winsec::MergeExplicitEntry(aces, entry.grfAccessMode, entry.grfAccessPermissions,
                                    entry.grfInheritance, sid))
      return ERROR_INVALID_PARAMETER;
  }
  if (!winsec::AclFits(aces)) return ERROR_ALLOTTED_SPACE_EXCEEDED;
  PACL acl = winsec::AllocateAcl(aces);
  if (acl == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
  *NewAcl = acl;
  return ERROR_SUCCESS;
}

void WINAPI BuildTrusteeWithSidW(PTRUSTEE_W pTrustee, PSID pSid) {
  pTrustee->pMultipleTrustee = nullptr;
  pTrustee->MultipleTrusteeOperation = NO_MULTIPLE_TRUSTEE;
  pTrustee->TrusteeForm = TRUSTEE_IS_SID;
  pTrustee->TrusteeType = TRUSTEE_IS_UNKNOWN;
  pTrustee->ptstrName = static_cast<LPWSTR>(pSid);
}

void WINAPI BuildTrusteeWithNameW(PTRUSTEE_W pTrustee, LPWSTR pName) {
  pTrustee->pMultipleTrustee = nullptr;
  pTrustee->MultipleTrusteeOperation = NO_MULTIPLE_TRUSTEE;
  pTrustee->TrusteeForm = TRUSTEE_IS_NAME;
  pTrustee->TrusteeType = TRUSTEE_IS_UNKNOWN;
  pTrustee->ptstrName = pName;
}

DWORD WINAPI GetEffectiveRightsFromAclW(PACL pacl, PTRUSTEE_W pTrustee,
                                        PACCESS_MASK pAccessRights) {
  DWORD injected;
  if (winsec::InjectedFailure(winsec::Injectable::GetEffectiveRightsFromAclW, injected))
    return injected;
  if (pAccessRights == nullptr) return ERROR_INVALID_PARAMETER;
  SidBytes sid;
  DWORD error = TrusteeSid(pTrustee, sid);
  if (error != ERROR_SUCCESS) return error;
  if (pacl == nullptr) {
    // A null DACL lets everyone do everything; the stand-in reports the full
    // file rights, the mapping it uses for every object.
    *pAccessRights = FILE_ALL_ACCESS;
    return ERROR_SUCCESS;
  }
  std::vector<Ace> aces;
  if (!winsec::ReadAcl(pacl, aces)) return ERROR_INVALID_ACL;
  // Windows refuses a list that holds an inherited denial.
  for (const Ace& ace : aces) {
    if (ace.type == ACCESS_DENIED_ACE_TYPE && ace.Inherited()) return ERROR_INVALID_ACL;
  }
  std::vector<SidBytes> sids;
  error = MembershipSids(sid, sids);
  if (error != ERROR_SUCCESS) return error;
  *pAccessRights = winsec::EffectiveRights(aces, sids);
  return ERROR_SUCCESS;
}
