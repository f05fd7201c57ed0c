#include "security/WSSecurityDescriptor.h"

#include "core/CSPException.h"

namespace {

// Copies through the assignment operators, whose failure text is left on
// the target.
template <class T>
bool CopyInto(T& target, const T& source, CSPString& lastError) {
  try {
    target = source;
    return true;
  } catch (const CSPException&) {
    lastError = target.GetLastErrorText();
    return false;
  }
}

}  // namespace

WSSecurityDescriptor::WSSecurityDescriptor() { Rebuild(); }

WSSecurityDescriptor::~WSSecurityDescriptor() { Reset(); }

void WSSecurityDescriptor::Reset() {
  dacl.Reset();
  sacl.Reset();
  group.Reset();
  owner.Reset();
  // The record must not keep pointing at what was just released.
  InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
}

bool WSSecurityDescriptor::SetDacl(const WSAccessList& list) {
  return Changed(CopyInto(dacl, list, lastError));
}

bool WSSecurityDescriptor::SetSacl(const WSAccessList& list) {
  return Changed(CopyInto(sacl, list, lastError));
}

bool WSSecurityDescriptor::SetOwner(const WSUser& user) {
  return Changed(CopyInto(owner, user, lastError));
}

bool WSSecurityDescriptor::SetGroup(const WSUser& user) {
  return Changed(CopyInto(group, user, lastError));
}

// The record is rebuilt also after a failed copy, which has emptied the
// part the record pointed to; the copy's failure text is what is reported.
bool WSSecurityDescriptor::Changed(bool copied) {
  CSPString copyError = lastError;
  bool rebuilt = Rebuild();
  if (!copied) {
    lastError = copyError;
    return false;
  }
  return rebuilt;
}

bool WSSecurityDescriptor::Rebuild() {
  if (!InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION)) {
    lastError = "A system error occurred while initilizing security descriptor";
    return false;
  }
  if (dacl.GetAcl() != nullptr &&
      !SetSecurityDescriptorDacl(&descriptor, TRUE, dacl.GetAcl(), FALSE)) {
    lastError =
        "A system error occurred while setting discretionary access control list for security "
        "descriptor";
    return false;
  }
  if (sacl.GetAcl() != nullptr &&
      !SetSecurityDescriptorSacl(&descriptor, TRUE, sacl.GetAcl(), FALSE)) {
    lastError =
        "A system error occurred while setting system access control list for security "
        "descriptor";
    return false;
  }
  if (owner.GetSid() != nullptr && !SetSecurityDescriptorOwner(&descriptor, owner.GetSid(), TRUE)) {
    lastError = "A system error occurred while setting owner for security descriptor";
    return false;
  }
  if (group.GetSid() != nullptr && !SetSecurityDescriptorGroup(&descriptor, group.GetSid(), TRUE)) {
    lastError = "A system error occurred while setting group for security descriptor";
    return false;
  }
  return true;
}
