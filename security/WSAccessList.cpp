#include "security/WSAccessList.h"

#include "core/CSPException.h"

namespace {

constexpr char kUnknownObjectType[] = "Unknown object type";
constexpr char kInvalidListKind[] = "Invalid access control list type specified";

CSPString Quoted(const CSPString& name) { return CSPString("\"") + name + "\""; }

}  // namespace

WSAccessList::WSAccessList() = default;

WSAccessList::WSAccessList(const WSAccessList& other) : WSAccessList() {
  if (!SetAcl(other.acl)) throw CSPException(lastError, 0);
}

WSAccessList& WSAccessList::operator=(const WSAccessList& other) {
  if (this != &other && !SetAcl(other.acl)) throw CSPException(lastError, 0);
  return *this;
}

WSAccessList::~WSAccessList() { Reset(); }

void WSAccessList::Reset() {
  if (acl != nullptr) LocalFree(acl);
  acl = nullptr;
}

bool WSAccessList::SetAcl(PACL source) {
  // The copy is taken before the old list goes, so that a list can be set
  // from its own ACL.
  PACL copy = nullptr;
  DWORD error = source ? SetEntriesInAclW(0, nullptr, source, &copy) : ERROR_SUCCESS;
  Reset();
  if (error != ERROR_SUCCESS) {
    lastError = "A system error occured while copying access control list";
    return false;
  }
  acl = copy;
  return true;
}

bool WSAccessList::AddAccess(const WSUser& user, int32_t accessMode, uint32_t permissions,
                             uint32_t inheritance) {
  EXPLICIT_ACCESS_W entry{};
  entry.grfAccessPermissions = permissions;
  entry.grfAccessMode = static_cast<ACCESS_MODE>(accessMode);
  entry.grfInheritance = inheritance;
  BuildTrusteeWithSidW(&entry.Trustee, user.GetSid());
  PACL merged = nullptr;
  if (SetEntriesInAclW(1, &entry, acl, &merged) != ERROR_SUCCESS) {
    lastError = "A system error occurred while adding access rights to access control list";
    return false;
  }
  Reset();
  acl = merged;
  return true;
}

bool WSAccessList::AddAccess(const WSAccessEntry& entry) {
  return AddAccess(entry.user, entry.accessMode, entry.permissions, entry.inheritance);
}

bool WSAccessList::GetEffectiveRights(WSAccessEntry& entry) {
  TRUSTEE_W trustee;
  BuildTrusteeWithSidW(&trustee, entry.user.GetSid());
  ACCESS_MASK rights = 0;
  if (GetEffectiveRightsFromAclW(acl, &trustee, &rights) != ERROR_SUCCESS) {
    lastError = CSPString("A system error occurred while retrieving access rights for user ") +
                Quoted(CSPString(entry.user.GetName()));
    return false;
  }
  entry.permissions = rights;
  return true;
}

bool WSAccessList::MapObjectType(int32_t objectType, SE_OBJECT_TYPE& type) {
  static const SE_OBJECT_TYPE kTypes[] = {SE_FILE_OBJECT,  SE_REGISTRY_KEY, SE_SERVICE,
                                          SE_PRINTER,      SE_LMSHARE,      SE_KERNEL_OBJECT,
                                          SE_WINDOW_OBJECT};
  if (objectType < FileObject || objectType > WindowObject) {
    lastError = kUnknownObjectType;
    return false;
  }
  type = kTypes[objectType - 1];
  return true;
}

bool WSAccessList::LoadFromObject(const CSPString& name, int32_t objectType, int32_t listKind) {
  return Load(name, name.GetString(), nullptr, objectType, listKind);
}

bool WSAccessList::LoadFromObject(const CSPWString& name, int32_t objectType, int32_t listKind) {
  return Load(CSPString(name), nullptr, name.GetString(), objectType, listKind);
}

bool WSAccessList::LoadFromObject(const char* name, int32_t objectType, int32_t listKind) {
  return Load(CSPString(name), name, nullptr, objectType, listKind);
}

bool WSAccessList::LoadFromObject(const char16_t* name, int32_t objectType, int32_t listKind) {
  return Load(CSPString(name), nullptr, name, objectType, listKind);
}

bool WSAccessList::Load(const CSPString& shownName, const char* narrowName,
                        const char16_t* wideName, int32_t objectType, int32_t listKind) {
  Reset();
  SE_OBJECT_TYPE type;
  if (!MapObjectType(objectType, type)) return false;
  if (listKind != Dacl && listKind != Sacl) {
    lastError = kInvalidListKind;
    return false;
  }
  SECURITY_INFORMATION info =
      listKind == Dacl ? DACL_SECURITY_INFORMATION : SACL_SECURITY_INFORMATION;
  PACL dacl = nullptr;
  PACL sacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  PACL* wanted = listKind == Dacl ? &dacl : &sacl;
  DWORD error = wideName ? GetNamedSecurityInfoW(as_wcstr(wideName), type, info, nullptr, nullptr,
                                                 listKind == Dacl ? wanted : nullptr,
                                                 listKind == Sacl ? wanted : nullptr, &descriptor)
                : narrowName
                    ? GetNamedSecurityInfoA(narrowName, type, info, nullptr, nullptr,
                                            listKind == Dacl ? wanted : nullptr,
                                            listKind == Sacl ? wanted : nullptr, &descriptor)
                    : ERROR_INVALID_PARAMETER;
  if (error != ERROR_SUCCESS || descriptor == nullptr) {
    lastError = CSPString("Cannot retrieve security information for object ") + Quoted(shownName);
    return false;
  }
  bool copied = SetAcl(*wanted);
  LocalFree(descriptor);
  return copied;
}

bool WSAccessList::SaveToObject(const CSPString& name, int32_t objectType, int32_t listKind,
                                int32_t protection) {
  return Save(name, name.GetString(), nullptr, objectType, listKind, protection);
}

bool WSAccessList::SaveToObject(const CSPWString& name, int32_t objectType, int32_t listKind,
                                int32_t protection) {
  return Save(CSPString(name), nullptr, name.GetString(), objectType, listKind, protection);
}

bool WSAccessList::SaveToObject(const char* name, int32_t objectType, int32_t listKind,
                                int32_t protection) {
  return Save(CSPString(name), name, nullptr, objectType, listKind, protection);
}

bool WSAccessList::SaveToObject(const char16_t* name, int32_t objectType, int32_t listKind,
                                int32_t protection) {
  return Save(CSPString(name), nullptr, name, objectType, listKind, protection);
}

bool WSAccessList::Save(const CSPString& shownName, const char* narrowName,
                        const char16_t* wideName, int32_t objectType, int32_t listKind,
                        int32_t protection) {
  SE_OBJECT_TYPE type;
  if (!MapObjectType(objectType, type)) return false;
  SECURITY_INFORMATION info;
  if (listKind == Dacl) {
    info = DACL_SECURITY_INFORMATION |
           (protection == Unprotected ? UNPROTECTED_DACL_SECURITY_INFORMATION : 0) |
           (protection == Protected ? PROTECTED_DACL_SECURITY_INFORMATION : 0);
  } else if (listKind == Sacl) {
    info = SACL_SECURITY_INFORMATION |
           (protection == Unprotected ? UNPROTECTED_SACL_SECURITY_INFORMATION : 0) |
           (protection == Protected ? PROTECTED_SACL_SECURITY_INFORMATION : 0);
  } else {
    lastError = kInvalidListKind;
    return false;
  }
  PACL dacl = listKind == Dacl ? acl : nullptr;
  PACL sacl = listKind == Sacl ? acl : nullptr;
  DWORD error;
  // The functions take the name as a writable pointer without writing it.
  if (wideName) {
    CSPWString copy(wideName);
    error = SetNamedSecurityInfoW(as_wcstr(const_cast<char16_t*>(copy.GetString())), type, info,
                                  nullptr, nullptr, dacl, sacl);
  } else if (narrowName) {
    CSPString copy(narrowName);
    error = SetNamedSecurityInfoA(const_cast<char*>(copy.GetString()), type, info, nullptr, nullptr,
                                  dacl, sacl);
  } else {
    error = ERROR_INVALID_PARAMETER;
  }
  if (error != ERROR_SUCCESS) {
    lastError = CSPString("Cannot set security information for object ") + Quoted(shownName);
  }
  return true;
}
