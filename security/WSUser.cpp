#include "security/WSUser.h"

#include "core/CSPException.h"

namespace {

constexpr char kOutOfMemory[] = "Out of memory";
constexpr char kCopyFailed[] = "A system error occured while copying user security identifier";

struct StandardSid {
  int32_t id;
  SID_IDENTIFIER_AUTHORITY authority;
  BYTE count;
  DWORD sub0;
  DWORD sub1;
};

const StandardSid kStandardSids[] = {
    {WSUser::Administrators, SECURITY_NT_AUTHORITY, 2, SECURITY_BUILTIN_DOMAIN_RID,
     DOMAIN_ALIAS_RID_ADMINS},
    {WSUser::LocalSystem, SECURITY_NT_AUTHORITY, 1, SECURITY_LOCAL_SYSTEM_RID, 0},
    {WSUser::Everyone, SECURITY_WORLD_SID_AUTHORITY, 1, SECURITY_WORLD_RID, 0},
    {WSUser::Service, SECURITY_NT_AUTHORITY, 1, SECURITY_SERVICE_RID, 0},
    {WSUser::NetworkService, SECURITY_NT_AUTHORITY, 1, SECURITY_NETWORK_SERVICE_RID, 0},
    {WSUser::Users, SECURITY_NT_AUTHORITY, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_USERS},
};

const StandardSid* FindStandardSid(int32_t id) {
  for (const StandardSid& entry : kStandardSids) {
    if (entry.id == id) return &entry;
  }
  return nullptr;
}

// Text buffers for the lookups; freed on every path.
class WideBuffer {
 public:
  explicit WideBuffer(DWORD count)
      : data_(static_cast<char16_t*>(
            LocalAlloc(LMEM_FIXED, (count ? count : 1) * sizeof(char16_t)))) {}
  ~WideBuffer() { LocalFree(data_); }
  WideBuffer(const WideBuffer&) = delete;
  WideBuffer& operator=(const WideBuffer&) = delete;
  char16_t* Get() const { return data_; }

 private:
  char16_t* data_;
};

// Frees a SID by the means that created it.
void ReleaseSid(PSID sid, bool onHeap) {
  if (sid == nullptr) return;
  if (onHeap) {
    LocalFree(sid);
  } else {
    FreeSid(sid);
  }
}

CSPWString Exactly(const char16_t* text, DWORD count) {
  CSPWString result;
  result.Append(text, count);
  return result;
}

}  // namespace

WSUser::WSUser() = default;

WSUser::WSUser(const WSUser& other) : WSUser() {
  if (!Copy(other)) throw CSPException(lastError, 0);
}

WSUser& WSUser::operator=(const WSUser& other) {
  if (this != &other && !Copy(other)) throw CSPException(lastError, 0);
  return *this;
}

WSUser::~WSUser() { Reset(); }

void WSUser::Reset() {
  ReleaseSid(sid, sidOnHeap);
  sid = nullptr;
  sidOnHeap = false;
  domain.Clear();
  name.Clear();
  standardId = 0;
  sidType = 0;
}

bool WSUser::Copy(const WSUser& other) {
  Reset();
  lastError = other.lastError;
  standardId = other.standardId;
  sidType = other.sidType;
  name = other.name;
  domain = other.domain;
  return other.sid == nullptr || TakeHeapCopy(other.sid);
}

// Holds a heap copy of the SID; on failure the object is left empty.
bool WSUser::TakeHeapCopy(PSID source) {
  DWORD length = GetLengthSid(source);
  if (length == 0) {
    Reset();
    lastError = kCopyFailed;
    return false;
  }
  sid = LocalAlloc(LMEM_FIXED, length);
  if (sid == nullptr) {
    Reset();
    lastError = kOutOfMemory;
    return false;
  }
  sidOnHeap = true;
  if (!CopySid(length, sid, source)) {
    Reset();
    lastError = kCopyFailed;
    return false;
  }
  return true;
}

bool WSUser::SetStandardUser(int32_t id) {
  Reset();
  standardId = id;
  const StandardSid* entry = FindStandardSid(id);
  if (entry == nullptr) {
    Reset();
    lastError = "Invalid or unsupported standard user id was specified";
    return false;
  }
  SID_IDENTIFIER_AUTHORITY authority = entry->authority;
  if (!AllocateAndInitializeSid(&authority, entry->count, entry->sub0, entry->sub1, 0, 0, 0, 0, 0,
                                0, &sid)) {
    sid = nullptr;
    Reset();
    lastError = "A system error occured while retrieving security identifier for standard user";
    return false;
  }
  sidOnHeap = false;
  return LookupSid();
}

bool WSUser::SetName(const CSPString& text) { return SetNameWide(CSPWString(text)); }

bool WSUser::SetName(const char* text) { return SetNameWide(CSPWString(text)); }

// A copy, because the text may be this object's own name or domain, which
// the setter empties before it splits the text.
bool WSUser::SetName(const CSPWString& text) { return SetNameWide(CSPWString(text)); }

bool WSUser::SetName(const char16_t* text) { return SetNameWide(CSPWString(text)); }

bool WSUser::SetNameWide(const CSPWString& text) {
  Reset();
  uint32_t slash = text.Find(u"\\");
  if (slash == CSPWString::kNotFound) {
    name = text;
  } else {
    domain = text.Mid(0, slash);
    name = text.Mid(slash + 1, text.GetLength() - slash - 1);
  }
  DWORD sidSize = 0;
  DWORD domainSize = 0;
  SID_NAME_USE use = SidTypeUnknown;
  LookupAccountNameW(as_wcstr(domain), as_wcstr(name), nullptr, &sidSize, nullptr, &domainSize,
                     &use);
  if (sidSize == 0) {
    lastError = CSPString("User '") + name + "' does not exist";
    Reset();
    return false;
  }
  sid = LocalAlloc(LMEM_FIXED, sidSize);
  if (sid == nullptr) {
    Reset();
    lastError = kOutOfMemory;
    return false;
  }
  sidOnHeap = true;
  WideBuffer domainBuffer(domainSize);
  if (domainBuffer.Get() == nullptr) {
    Reset();
    lastError = kOutOfMemory;
    return false;
  }
  if (!LookupAccountNameW(as_wcstr(domain), as_wcstr(name), sid, &sidSize,
                          as_wcstr(domainBuffer.Get()), &domainSize, &use)) {
    lastError =
        CSPString("A system error occured while retrieving security identifier for user '") + name +
        "'";
    Reset();
    return false;
  }
  sidType = use;
  domain = domainBuffer.Get();
  return true;
}

bool WSUser::SetSid(PSID psid) {
  // A principal may be set from its own SID: that block is released only
  // after it has been copied.
  PSID own = nullptr;
  bool ownOnHeap = false;
  if (psid != nullptr && psid == sid) {
    own = sid;
    ownOnHeap = sidOnHeap;
    sid = nullptr;
  }
  Reset();
  bool result = psid == nullptr || (TakeHeapCopy(psid) && LookupSid());
  ReleaseSid(own, ownOnHeap);
  return result;
}

bool WSUser::LookupSid() {
  DWORD nameSize = 0;
  DWORD domainSize = 0;
  SID_NAME_USE use = SidTypeUnknown;
  LookupAccountSidW(as_wcstr(domain), sid, nullptr, &nameSize, nullptr, &domainSize, &use);
  if (nameSize == 0) {
    if (GetLastError() == ERROR_NONE_MAPPED) {
      domain.Clear();
      name.Clear();
      lastError = "No user name is found for the given security identifier";
      return true;
    }
    Reset();
    lastError = "The user security identifier specified does not exist";
    return false;
  }
  WideBuffer nameBuffer(nameSize);
  WideBuffer domainBuffer(domainSize);
  if (nameBuffer.Get() == nullptr || domainBuffer.Get() == nullptr) {
    Reset();
    lastError = kOutOfMemory;
    return false;
  }
  if (!LookupAccountSidW(as_wcstr(domain), sid, as_wcstr(nameBuffer.Get()), &nameSize,
                         as_wcstr(domainBuffer.Get()), &domainSize, &use)) {
    Reset();
    lastError = "A system error occured while retrieving user name from security identifier";
    return false;
  }
  sidType = use;
  name = Exactly(nameBuffer.Get(), nameSize);
  domain = Exactly(domainBuffer.Get(), domainSize);
  return true;
}

bool WSUser::operator==(const WSUser& other) const {
  if (sid == nullptr || other.sid == nullptr) return sid == other.sid;
  return EqualSid(sid, other.sid) != FALSE;
}
