// An absolute security descriptor built from copies of access lists and
// principals, for the SECURITY_ATTRIBUTES of calls that create objects. The
// record points into the object's own copies: it stays valid while the
// object lives and is rebuilt after every change.
#pragma once

#include "core/CSPString.h"
#include "platform/win.h"
#include "security/WSAccessList.h"
#include "security/WSUser.h"

class WSSecurityDescriptor {
 public:
  WSSecurityDescriptor();
  // The record points into this object; a copy would point into the source.
  WSSecurityDescriptor(const WSSecurityDescriptor&) = delete;
  WSSecurityDescriptor& operator=(const WSSecurityDescriptor&) = delete;
  virtual ~WSSecurityDescriptor();

  // Releases both lists and both principals.
  void Reset();

  bool SetDacl(const WSAccessList& list);
  bool SetSacl(const WSAccessList& list);
  bool SetOwner(const WSUser& user);
  bool SetGroup(const WSUser& user);

  PSECURITY_DESCRIPTOR GetDescriptor() { return &descriptor; }
  const CSPString& GetLastErrorText() const { return lastError; }
  const WSAccessList& GetDacl() const { return dacl; }
  const WSAccessList& GetSacl() const { return sacl; }
  const WSUser& GetOwner() const { return owner; }
  const WSUser& GetGroup() const { return group; }

 private:
  bool Changed(bool copied);
  bool Rebuild();

  SECURITY_DESCRIPTOR descriptor{};
  WSAccessList dacl;
  WSAccessList sacl;
  WSUser group;
  WSUser owner;
  CSPString lastError;
};
