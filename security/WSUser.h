// One security principal (user, group or well-known account): its SID with
// the account and domain names Windows reports for it. Every operation
// returns a boolean and leaves a readable English text of the last failure.
#pragma once

#include <cstdint>

#include "core/CSPString.h"
#include "platform/win.h"

class WSUser {
 public:
  // The ids SetStandardUser accepts.
  enum StandardUser : int32_t {
    Administrators = 1,  // S-1-5-32-544
    LocalSystem = 2,     // S-1-5-18
    Everyone = 3,        // S-1-1-0
    Service = 4,         // S-1-5-6
    NetworkService = 5,  // S-1-5-20
    Users = 6,           // S-1-5-32-545
  };

  WSUser();
  // Copies every field and takes a copy of the SID; throws CSPException
  // (code 0, the last error text) when the SID cannot be copied.
  WSUser(const WSUser& other);
  WSUser& operator=(const WSUser& other);
  virtual ~WSUser();

  bool SetStandardUser(int32_t id);
  // "DOMAIN\name" or "name". The part before the backslash names the system
  // on which Windows looks the account up.
  bool SetName(const CSPString& text);
  bool SetName(const char* text);
  bool SetName(const CSPWString& text);
  bool SetName(const char16_t* text);
  // A SID Windows cannot name is held with empty names, and succeeds.
  bool SetSid(PSID psid);
  // Frees the SID; the names are emptied (keeping their storage); the last
  // error text stays.
  void Reset();

  // Two principals without SID are equal; otherwise the SIDs decide.
  bool operator==(const WSUser& other) const;
  bool operator!=(const WSUser& other) const { return !(*this == other); }

  PSID GetSid() const { return sid; }
  const CSPWString& GetName() const { return name; }
  const CSPWString& GetDomain() const { return domain; }
  int32_t GetSidType() const { return sidType; }
  const CSPString& GetLastErrorText() const { return lastError; }

 private:
  bool Copy(const WSUser& other);
  bool LookupSid();
  bool SetNameWide(const CSPWString& text);
  bool TakeHeapCopy(PSID source);

  CSPWString domain;
  CSPWString name;
  int32_t standardId = 0;
  PSID sid = nullptr;
  bool sidOnHeap = false;
  CSPString lastError;
  int32_t sidType = 0;
};
