// Get/SetNamedSecurityInfo over the image's files, folders and registry
// keys, and the hooks through which object creation and deletion reach
// security.sddl.
//
// Deviations: only SE_FILE_OBJECT and SE_REGISTRY_KEY (with its WOW64
// variants, the same single view) are modelled, other object types give
// ERROR_NOT_SUPPORTED; the process runs as an administrator holding every
// privilege, so reading and writing any list (the audit list included) is
// allowed; a registry object name must be of the local machine.
#include <mutex>

#include "platform/machine.h"
#include "platform/paths.h"
#include "platform/registry/RegistryObjects.h"
#include "platform/registry/RegistryStore.h"
#include "platform/security/AccessListFile.h"
#include "platform/security/Descriptor.h"
#include "platform/security/ObjectSecurity.h"
#include "platform/security/SecurityStore.h"
#include "platform/security/StoreFaults.h"
#include "platform/text.h"
#include "platform/win.h"

using winsec::AclPart;
using winsec::ObjectKind;
using winsec::SecurityRecord;
using winsec::SecurityStore;

namespace {

struct ObjectRef {
  ObjectKind kind = ObjectKind::File;
  std::u16string name;
  bool isContainer = false;
};

bool IsRegistryType(SE_OBJECT_TYPE type) {
  return type == SE_REGISTRY_KEY || type == SE_REGISTRY_WOW64_32KEY ||
         type == SE_REGISTRY_WOW64_64KEY;
}

// Finds the object; the caller holds the machine's lock. Returns an error
// code: ERROR_FILE_NOT_FOUND when the object does not exist.
DWORD ResolveObject(LPCWSTR name, SE_OBJECT_TYPE type, ObjectRef& ref) {
  // security.sddl keeps one object a line.
  if (std::u16string_view(name).find_first_of(u"\r\n") != std::u16string_view::npos)
    return ERROR_INVALID_NAME;
  if (type == SE_FILE_OBJECT) {
    machine::ResolvedPath resolved;
    DWORD error = machine::ResolveWindowsPath(name, resolved);
    if (error != ERROR_SUCCESS) return error;
    if (!resolved.exists) return ERROR_FILE_NOT_FOUND;
    ref.kind = ObjectKind::File;
    ref.name = resolved.windows;
    ref.isContainer = resolved.isDirectory || resolved.isRoot;
    return ERROR_SUCCESS;
  }
  if (IsRegistryType(type)) {
    machine::registry::KeyPath path;
    if (!machine::registry::ParseObjectName(name, path)) return ERROR_INVALID_PARAMETER;
    if (!machine::registry::KeyExists(name)) return ERROR_FILE_NOT_FOUND;
    ref.kind = ObjectKind::RegistryKey;
    ref.name = machine::registry::ObjectName(path);
    ref.isContainer = true;
    return ERROR_SUCCESS;
  }
  return ERROR_NOT_SUPPORTED;
}

// The list as it will be stored: under protection the inherited entries
// become the object's own, otherwise they are dropped and worked out again
// from the parent.
DWORD NewListPart(PACL acl, bool isProtected, AclPart& part) {
  if (acl == nullptr) {
    part = AclPart::Null();
    part.isProtected = isProtected;
    return ERROR_SUCCESS;
  }
  std::vector<winsec::Ace> aces;
  if (!winsec::ReadAcl(acl, aces)) return ERROR_INVALID_ACL;
  std::vector<winsec::Ace> kept;
  for (winsec::Ace& ace : aces) {
    if (isProtected) {
      ace.flags &= static_cast<BYTE>(~INHERITED_ACE);
      kept.push_back(std::move(ace));
    } else if (!ace.Inherited()) {
      kept.push_back(std::move(ace));
    }
  }
  part = AclPart::Of(std::move(kept), isProtected);
  return ERROR_SUCCESS;
}

// The protection a write leaves: what the flags ask for, or what the
// object has now.
bool NewProtection(SECURITY_INFORMATION info, SECURITY_INFORMATION protectedFlag,
                   SECURITY_INFORMATION unprotectedFlag, bool current) {
  if (info & protectedFlag) return true;
  if (info & unprotectedFlag) return false;
  return current;
}

DWORD CheckSetArguments(LPCWSTR name, SECURITY_INFORMATION info, PSID owner, PSID group) {
  if (name == nullptr) return ERROR_INVALID_PARAMETER;
  if ((info & PROTECTED_DACL_SECURITY_INFORMATION) &&
      (info & UNPROTECTED_DACL_SECURITY_INFORMATION))
    return ERROR_INVALID_PARAMETER;
  if ((info & PROTECTED_SACL_SECURITY_INFORMATION) &&
      (info & UNPROTECTED_SACL_SECURITY_INFORMATION))
    return ERROR_INVALID_PARAMETER;
  if ((info & OWNER_SECURITY_INFORMATION) && !winsec::IsValidSidPointer(owner))
    return owner ? ERROR_INVALID_OWNER : ERROR_INVALID_PARAMETER;
  if ((info & GROUP_SECURITY_INFORMATION) && !winsec::IsValidSidPointer(group))
    return group ? ERROR_INVALID_SID : ERROR_INVALID_PARAMETER;
  return ERROR_SUCCESS;
}

DWORD ApplySet(const ObjectRef& ref, SECURITY_INFORMATION info, PSID owner, PSID group, PACL dacl,
               PACL sacl, const machine::Machine& image) {
  winsec::AccessListFile& file = winsec::AccessListFile::Of(image);
  const SecurityStore& store = file.Read();
  SecurityRecord current = store.Effective(ref.kind, ref.name, ref.isContainer);
  SecurityRecord changed =
      store.Find(ref.kind, ref.name) ? *store.Find(ref.kind, ref.name) : SecurityRecord();
  if (info & OWNER_SECURITY_INFORMATION) changed.owner = winsec::SidFromPointer(owner);
  if (info & GROUP_SECURITY_INFORMATION) changed.group = winsec::SidFromPointer(group);
  if (info & DACL_SECURITY_INFORMATION) {
    bool isProtected =
        NewProtection(info, PROTECTED_DACL_SECURITY_INFORMATION,
                      UNPROTECTED_DACL_SECURITY_INFORMATION, current.dacl.isProtected);
    DWORD error = NewListPart(dacl, isProtected, changed.dacl);
    if (error != ERROR_SUCCESS) return error;
  }
  if (info & SACL_SECURITY_INFORMATION) {
    bool isProtected =
        NewProtection(info, PROTECTED_SACL_SECURITY_INFORMATION,
                      UNPROTECTED_SACL_SECURITY_INFORMATION, current.sacl.isProtected);
    DWORD error = NewListPart(sacl, isProtected, changed.sacl);
    if (error != ERROR_SUCCESS) return error;
  }
  file.Set(ref.kind, ref.name, std::move(changed));
  return ERROR_SUCCESS;
}

void SetOut(PSID* out, PSID value) {
  if (out != nullptr) *out = value;
}

}  // namespace

DWORD WINAPI GetNamedSecurityInfoW(LPCWSTR pObjectName, SE_OBJECT_TYPE ObjectType,
                                   SECURITY_INFORMATION SecurityInfo, PSID* ppsidOwner,
                                   PSID* ppsidGroup, PACL* ppDacl, PACL* ppSacl,
                                   PSECURITY_DESCRIPTOR* ppSecurityDescriptor) {
  if (pObjectName == nullptr || ppSecurityDescriptor == nullptr) return ERROR_INVALID_PARAMETER;
  machine::Machine& image = machine::RequireMachine();
  std::lock_guard<machine::ImageLock> lock(image.Lock());
  SecurityRecord effective;
  DWORD error = winsec::GuardStore([&]() -> DWORD {
    ObjectRef ref;
    if (const DWORD resolved = ResolveObject(pObjectName, ObjectType, ref)) return resolved;
    effective =
        winsec::AccessListFile::Of(image).Read().Effective(ref.kind, ref.name, ref.isContainer);
    return ERROR_SUCCESS;
  });
  if (error != ERROR_SUCCESS) return error;
  PSECURITY_DESCRIPTOR descriptor = winsec::AllocateSelfRelative(effective, SecurityInfo);
  if (descriptor == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  PSID sid = nullptr;
  GetSecurityDescriptorOwner(descriptor, &sid, &defaulted);
  SetOut(ppsidOwner, sid);
  GetSecurityDescriptorGroup(descriptor, &sid, &defaulted);
  SetOut(ppsidGroup, sid);
  if (ppDacl != nullptr) {
    *ppDacl = nullptr;
    GetSecurityDescriptorDacl(descriptor, &present, ppDacl, &defaulted);
  }
  if (ppSacl != nullptr) {
    *ppSacl = nullptr;
    GetSecurityDescriptorSacl(descriptor, &present, ppSacl, &defaulted);
  }
  *ppSecurityDescriptor = descriptor;
  return ERROR_SUCCESS;
}

DWORD WINAPI GetNamedSecurityInfoA(LPCSTR pObjectName, SE_OBJECT_TYPE ObjectType,
                                   SECURITY_INFORMATION SecurityInfo, PSID* ppsidOwner,
                                   PSID* ppsidGroup, PACL* ppDacl, PACL* ppSacl,
                                   PSECURITY_DESCRIPTOR* ppSecurityDescriptor) {
  if (pObjectName == nullptr) return ERROR_INVALID_PARAMETER;
  std::u16string wide = machine::FromAnsi(pObjectName);
  return GetNamedSecurityInfoW(wide.c_str(), ObjectType, SecurityInfo, ppsidOwner, ppsidGroup,
                               ppDacl, ppSacl, ppSecurityDescriptor);
}

DWORD WINAPI SetNamedSecurityInfoW(LPWSTR pObjectName, SE_OBJECT_TYPE ObjectType,
                                   SECURITY_INFORMATION SecurityInfo, PSID psidOwner,
                                   PSID psidGroup, PACL pDacl, PACL pSacl) {
  DWORD error = CheckSetArguments(pObjectName, SecurityInfo, psidOwner, psidGroup);
  if (error != ERROR_SUCCESS) return error;
  machine::Machine& image = machine::RequireMachine();
  std::lock_guard<machine::ImageLock> lock(image.Lock());
  return winsec::GuardStore([&]() -> DWORD {
    ObjectRef ref;
    if (const DWORD resolved = ResolveObject(pObjectName, ObjectType, ref)) return resolved;
    return ApplySet(ref, SecurityInfo, psidOwner, psidGroup, pDacl, pSacl, image);
  });
}

DWORD WINAPI SetNamedSecurityInfoA(LPSTR pObjectName, SE_OBJECT_TYPE ObjectType,
                                   SECURITY_INFORMATION SecurityInfo, PSID psidOwner,
                                   PSID psidGroup, PACL pDacl, PACL pSacl) {
  if (pObjectName == nullptr) return ERROR_INVALID_PARAMETER;
  std::u16string wide = machine::FromAnsi(pObjectName);
  return SetNamedSecurityInfoW(wide.data(), ObjectType, SecurityInfo, psidOwner, psidGroup, pDacl,
                               pSacl);
}

namespace winsec {

DWORD RecordNewObjectSecurity(ObjectKind kind, std::u16string_view fullName,
                              const SECURITY_ATTRIBUTES* attributes) {
  if (fullName.find_first_of(u"\r\n") != std::u16string_view::npos) return ERROR_INVALID_NAME;
  machine::Machine& image = machine::RequireMachine();
  std::lock_guard<machine::ImageLock> lock(image.Lock());
  SecurityRecord given;
  bool hasDescriptor = attributes != nullptr && attributes->lpSecurityDescriptor != nullptr;
  if (hasDescriptor && !ReadDescriptor(attributes->lpSecurityDescriptor, given))
    return ERROR_INVALID_SECURITY_DESCR;
  for (AclPart* part : {&given.dacl, &given.sacl}) {
    if (!part->present || part->isNull || part->isProtected) continue;
    std::vector<Ace> own;
    for (const Ace& ace : part->aces) {
      if (!ace.Inherited()) own.push_back(ace);
    }
    part->aces = std::move(own);
  }
  return GuardStore([&]() -> DWORD {
    AccessListFile& file = AccessListFile::Of(image);
    file.Read();
    if (hasDescriptor) {
      file.Set(kind, fullName, std::move(given));
    } else {
      file.Remove(kind, fullName);
    }
    return ERROR_SUCCESS;
  });
}

DWORD ForgetObjectSecurity(ObjectKind kind, std::u16string_view fullName) {
  machine::Machine& image = machine::RequireMachine();
  std::lock_guard<machine::ImageLock> lock(image.Lock());
  return GuardStore([&]() -> DWORD {
    AccessListFile& file = AccessListFile::Of(image);
    file.Read();
    file.RemoveWithDescendants(kind, fullName);
    return ERROR_SUCCESS;
  });
}

}  // namespace winsec
