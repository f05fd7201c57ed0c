// One entry to merge into an access list: a principal, how its rights are
// merged (the Windows ACCESS_MODE: 1 grant, 2 set, 3 deny, 4 revoke), the
// access mask and the inheritance flags (3: files and sub-folders inherit).
#pragma once

#include <cstdint>

#include "security/WSUser.h"

class WSAccessEntry {
 public:
  WSAccessEntry() = default;
  WSAccessEntry(const WSUser& user, int32_t accessMode, uint32_t permissions, uint32_t inheritance);
  // Copying copies the principal, which throws CSPException when its SID
  // cannot be copied.
  WSAccessEntry(const WSAccessEntry& other) = default;
  WSAccessEntry& operator=(const WSAccessEntry& other) = default;
  virtual ~WSAccessEntry() = default;

  WSUser user;
  int32_t accessMode = 0;
  uint32_t permissions = 0;
  uint32_t inheritance = 0;
};
