// "SARO": grants a principal access to a file, folder or registry key by
// adding an entry to the object's access list.
#include "package/UpdateComponent.h"
#include "security/WSAccessList.h"
#include "security/WSUser.h"

bool UpdateComponent::RunSetAccessRights() {
  CSPWString path = ResolveDirectory("PATH", false);
  logText = CSPString("SET ACCESS RIGHTS TO OBJECT: ") + path;
  WSUser principal;
  const CSPString& userType = Text("USER_TYPE");
  if (userType.CompareNoCase("STANDARD") == 0) {
    uint32_t id = Number("STANDARD_USER");
    if (!principal.SetStandardUser(static_cast<int32_t>(id))) {
      return Fail(CSPString("Cannot resolve standard user with id \"") + CSPString(id) + "\"");
    }
  } else if (userType.CompareNoCase("NAMED") == 0) {
    if (!principal.SetName(Text("NAMED_USER"))) {
      return Fail(CSPString("Cannot resolve user \"") + Text("NAMED_USER") + "\"");
    }
  }
  const int32_t objectType = static_cast<int32_t>(Number("OBJECT_TYPE"));
  const uint32_t inheritance = Number("INHERITANCE");
  WSAccessList access;
  if (!access.LoadFromObject(path, objectType, WSAccessList::Dacl)) {
    return Fail("Cannot retrieve access rights (DACL) from object");
  }
  if (!access.AddAccess(principal, static_cast<int32_t>(Number("ACCESS_MODE")),
                        Number("PERMISSIONS"), inheritance)) {
    return Fail("Cannot add permisions to DACL");
  }
  // The upper half of "INHERITANCE" selects the protection of the list.
  if (!access.SaveToObject(path, objectType, WSAccessList::Dacl,
                           static_cast<int32_t>(inheritance >> 16))) {
    return Fail("Cannot set access rights to object DACL");
  }
  return true;
}
