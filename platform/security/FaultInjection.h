// Failures on demand, for tests of what callers do when Windows refuses a
// security call that the simulated server would otherwise always grant
// (running out of memory, a lookup that fails the second time, ...).
// Never armed outside tests.
#pragma once

#include "platform/win/types.h"

namespace winsec {

enum class Injectable {
  LocalAlloc,
  AllocateAndInitializeSid,
  CopySid,
  LookupAccountNameW,
  LookupAccountSidW,
  SetEntriesInAclW,
  GetEffectiveRightsFromAclW,
  InitializeSecurityDescriptor,
  SetSecurityDescriptorDacl,
  SetSecurityDescriptorSacl,
  SetSecurityDescriptorOwner,
  SetSecurityDescriptorGroup,
};

// The nth next call (1: the very next) of the function fails with `error`.
// One armed failure per function; arming again replaces it.
void FailCall(Injectable function, DWORD error, unsigned nth = 1);
void ClearInjectedFailures();

// Called by the functions themselves: true when this call is to fail.
bool InjectedFailure(Injectable function, DWORD& error);

}  // namespace winsec
