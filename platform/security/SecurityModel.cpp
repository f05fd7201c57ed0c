#include "platform/security/SecurityModel.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace winsec {

// ---- SIDs ---------------------------------------------------------------------

namespace {

constexpr size_t kSidHeader = 8;

size_t SidSize(BYTE subAuthorityCount) { return kSidHeader + 4u * subAuthorityCount; }

uint64_t AuthorityOf(const SidBytes& sid) {
  uint64_t value = 0;
  for (int i = 2; i < 8; ++i) value = (value << 8) | sid[i];
  return value;
}

DWORD SubAuthorityOf(const SidBytes& sid, size_t index) {
  DWORD value;
  std::memcpy(&value, sid.data() + kSidHeader + 4 * index, 4);
  return value;
}

bool ParseNumber(std::string_view text, uint64_t limit, uint64_t& value) {
  if (text.empty()) return false;
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  value = 0;
  for (char c : text) {
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return false;
    }
    if (value > (limit - static_cast<uint64_t>(digit)) / static_cast<uint64_t>(base)) return false;
    value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
  }
  return true;
}

}  // namespace

bool IsValidSidPointer(const void* sid) {
  if (sid == nullptr) return false;
  const auto* header = static_cast<const BYTE*>(sid);
  return header[0] == SID_REVISION && header[1] <= SID_MAX_SUB_AUTHORITIES;
}

SidBytes SidFromPointer(const void* sid) {
  if (!IsValidSidPointer(sid)) return {};
  const auto* bytes = static_cast<const BYTE*>(sid);
  return SidBytes(bytes, bytes + SidSize(bytes[1]));
}

SidBytes MakeSid(uint64_t authority, std::initializer_list<DWORD> subAuthorities) {
  SidBytes sid(SidSize(static_cast<BYTE>(subAuthorities.size())));
  sid[0] = SID_REVISION;
  sid[1] = static_cast<BYTE>(subAuthorities.size());
  for (int i = 7; i >= 2; --i) {
    sid[i] = static_cast<BYTE>(authority & 0xFF);
    authority >>= 8;
  }
  size_t offset = kSidHeader;
  for (DWORD sub : subAuthorities) {
    std::memcpy(sid.data() + offset, &sub, 4);
    offset += 4;
  }
  return sid;
}

std::string SidToString(const SidBytes& sid) {
  if (sid.size() < kSidHeader) return {};
  std::string text = "S-" + std::to_string(sid[0]) + "-";
  uint64_t authority = AuthorityOf(sid);
  if (authority >> 32) {
    char buffer[20];
    std::snprintf(buffer, sizeof buffer, "0x%012llX", static_cast<unsigned long long>(authority));
    text += buffer;
  } else {
    text += std::to_string(authority);
  }
  for (size_t i = 0; i < sid[1]; ++i) text += "-" + std::to_string(SubAuthorityOf(sid, i));
  return text;
}

std::optional<SidBytes> SidFromString(std::string_view text) {
  if (text.size() < 4 || (text[0] != 'S' && text[0] != 's') || text[1] != '-') return std::nullopt;
  text.remove_prefix(2);
  std::vector<std::string_view> parts;
  while (true) {
    size_t dash = text.find('-');
    parts.push_back(text.substr(0, dash));
    if (dash == std::string_view::npos) break;
    text.remove_prefix(dash + 1);
  }
  uint64_t revision = 0;
  uint64_t authority = 0;
  if (parts.size() < 2 || parts.size() - 2 > SID_MAX_SUB_AUTHORITIES) return std::nullopt;
  if (!ParseNumber(parts[0], 0xFF, revision) || revision != SID_REVISION) return std::nullopt;
  if (!ParseNumber(parts[1], 0xFFFFFFFFFFFFull, authority)) return std::nullopt;
  SidBytes sid = MakeSid(authority, {});
  for (size_t i = 2; i < parts.size(); ++i) {
    uint64_t sub = 0;
    if (!ParseNumber(parts[i], 0xFFFFFFFFu, sub)) return std::nullopt;
    DWORD value = static_cast<DWORD>(sub);
    const auto* bytes = reinterpret_cast<const BYTE*>(&value);
    sid.insert(sid.end(), bytes, bytes + 4);
    ++sid[1];
  }
  return sid;
}

const SidBytes& EveryoneSid() {
  static const SidBytes sid = MakeSid(1, {SECURITY_WORLD_RID});
  return sid;
}

const SidBytes& AdministratorsSid() {
  static const SidBytes sid = MakeSid(5, {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS});
  return sid;
}

const SidBytes& SystemSid() {
  static const SidBytes sid = MakeSid(5, {SECURITY_LOCAL_SYSTEM_RID});
  return sid;
}

bool IsLogonSessionGroup(const SidBytes& sid) {
  if (sid.size() < kSidHeader + 4) return false;
  const uint64_t authority = AuthorityOf(sid);
  const DWORD first = SubAuthorityOf(sid, 0);
  if (authority == 2) return sid[1] == 1 && first <= 1;  // LOCAL, CONSOLE LOGON
  if (authority != 5) return false;
  if (sid[1] == 1) {
    switch (first) {
      case SECURITY_DIALUP_RID:
      case SECURITY_NETWORK_RID:
      case SECURITY_BATCH_RID:
      case SECURITY_INTERACTIVE_RID:
      case SECURITY_SERVICE_RID:
      case SECURITY_AUTHENTICATED_USER_RID:
      case SECURITY_TERMINAL_SERVER_RID:
      case SECURITY_REMOTE_LOGON_RID:
      case SECURITY_THIS_ORGANIZATION_RID:
      case SECURITY_OTHER_ORGANIZATION_RID:
        return true;
      default:
        return false;
    }
  }
  return first == SECURITY_LOGON_IDS_RID || first == SECURITY_PACKAGE_BASE_RID;
}

// ---- ACLs ---------------------------------------------------------------------

namespace {

constexpr size_t kAceFixedPart = 8;  // header and mask; the SID follows

bool IsModelledAceType(BYTE type) {
  return type == ACCESS_ALLOWED_ACE_TYPE || type == ACCESS_DENIED_ACE_TYPE ||
         type == SYSTEM_AUDIT_ACE_TYPE;
}

}  // namespace

bool ReadAcl(const ACL* acl, std::vector<Ace>& aces) {
  if (acl == nullptr) return false;
  if (acl->AclRevision < MIN_ACL_REVISION || acl->AclRevision > MAX_ACL_REVISION) return false;
  if (acl->AclSize < sizeof(ACL)) return false;
  const auto* base = reinterpret_cast<const BYTE*>(acl);
  size_t offset = sizeof(ACL);
  std::vector<Ace> read;
  for (WORD i = 0; i < acl->AceCount; ++i) {
    if (offset + sizeof(ACE_HEADER) > acl->AclSize) return false;
    ACE_HEADER header;
    std::memcpy(&header, base + offset, sizeof header);
    if (header.AceSize < kAceFixedPart + kSidHeader || offset + header.AceSize > acl->AclSize)
      return false;
    if (!IsModelledAceType(header.AceType)) return false;
    const BYTE* sid = base + offset + kAceFixedPart;
    if (!IsValidSidPointer(sid) || kAceFixedPart + SidSize(sid[1]) > header.AceSize) return false;
    Ace ace;
    ace.type = header.AceType;
    ace.flags = header.AceFlags;
    std::memcpy(&ace.mask, base + offset + sizeof(ACE_HEADER), 4);
    ace.sid = SidFromPointer(sid);
    read.push_back(std::move(ace));
    offset += header.AceSize;
  }
  aces = std::move(read);
  return true;
}

size_t AclByteSize(const std::vector<Ace>& aces) {
  size_t size = sizeof(ACL);
  for (const Ace& ace : aces) size += kAceFixedPart + ace.sid.size();
  return size;
}

void WriteAcl(const std::vector<Ace>& aces, void* out) {
  auto* base = static_cast<BYTE*>(out);
  ACL header{};
  header.AclRevision = ACL_REVISION;
  header.AclSize = static_cast<WORD>(AclByteSize(aces));
  header.AceCount = static_cast<WORD>(aces.size());
  std::memcpy(base, &header, sizeof header);
  size_t offset = sizeof(ACL);
  for (const Ace& ace : aces) {
    ACE_HEADER aceHeader;
    aceHeader.AceType = ace.type;
    aceHeader.AceFlags = ace.flags;
    aceHeader.AceSize = static_cast<WORD>(kAceFixedPart + ace.sid.size());
    std::memcpy(base + offset, &aceHeader, sizeof aceHeader);
    std::memcpy(base + offset + sizeof aceHeader, &ace.mask, 4);
    std::memcpy(base + offset + kAceFixedPart, ace.sid.data(), ace.sid.size());
    offset += aceHeader.AceSize;
  }
}

bool AclFits(const std::vector<Ace>& aces) { return AclByteSize(aces) <= kMaxAclSize; }

PACL AllocateAcl(const std::vector<Ace>& aces) {
  size_t size = AclByteSize(aces);
  if (size > kMaxAclSize) return nullptr;
  auto* acl = static_cast<PACL>(LocalAlloc(LPTR, size));
  if (acl != nullptr) WriteAcl(aces, acl);
  return acl;
}

// ---- Rights -------------------------------------------------------------------

const GENERIC_MAPPING& FileGenericMapping() {
  static const GENERIC_MAPPING mapping = {FILE_GENERIC_READ, FILE_GENERIC_WRITE,
                                          FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS};
  return mapping;
}

const GENERIC_MAPPING& KeyGenericMapping() {
  static const GENERIC_MAPPING mapping = {KEY_READ, KEY_WRITE, KEY_EXECUTE, KEY_ALL_ACCESS};
  return mapping;
}

namespace {

constexpr ACCESS_MASK kGenericRights = GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL;

}  // namespace

ACCESS_MASK MapGenericRights(ACCESS_MASK mask, const GENERIC_MAPPING& mapping) {
  ACCESS_MASK mapped = mask & ~kGenericRights;
  if (mask & GENERIC_READ) mapped |= mapping.GenericRead;
  if (mask & GENERIC_WRITE) mapped |= mapping.GenericWrite;
  if (mask & GENERIC_EXECUTE) mapped |= mapping.GenericExecute;
  if (mask & GENERIC_ALL) mapped |= mapping.GenericAll;
  return mapped;
}

ACCESS_MASK MapGenericToFileRights(ACCESS_MASK mask) {
  return MapGenericRights(mask, FileGenericMapping());
}

namespace {

bool IsExplicitFor(const Ace& ace, const SidBytes& trustee) {
  return !ace.Inherited() && ace.sid == trustee;
}

// Removes the trustee's explicit entries of `type` with exactly `flags` and
// returns the rights they held.
ACCESS_MASK TakeMatching(std::vector<Ace>& aces, BYTE type, BYTE flags, const SidBytes& trustee) {
  ACCESS_MASK taken = 0;
  auto end = std::remove_if(aces.begin(), aces.end(), [&](const Ace& ace) {
    if (!IsExplicitFor(ace, trustee) || ace.type != type || ace.flags != flags) return false;
    taken |= ace.mask;
    return true;
  });
  aces.erase(end, aces.end());
  return taken;
}

// Takes `rights` away from the trustee's explicit entries of `type`; entries
// left without rights disappear.
void StripRights(std::vector<Ace>& aces, BYTE type, ACCESS_MASK rights, const SidBytes& trustee) {
  for (Ace& ace : aces) {
    if (IsExplicitFor(ace, trustee) && ace.type == type) ace.mask &= ~rights;
  }
  aces.erase(std::remove_if(aces.begin(), aces.end(),
                            [&](const Ace& ace) {
                              return IsExplicitFor(ace, trustee) && ace.type == type &&
                                     ace.mask == 0;
                            }),
             aces.end());
}

void RemoveAllFor(std::vector<Ace>& aces, const SidBytes& trustee) {
  aces.erase(std::remove_if(aces.begin(), aces.end(),
                            [&](const Ace& ace) { return IsExplicitFor(ace, trustee); }),
             aces.end());
}

// New allowed entries go before the existing allowed ones, after the
// explicit denials.
size_t AllowPosition(const std::vector<Ace>& aces) {
  size_t i = 0;
  while (i < aces.size() && !aces[i].Inherited() && aces[i].type == ACCESS_DENIED_ACE_TYPE) ++i;
  return i;
}

void Insert(std::vector<Ace>& aces, size_t position, BYTE type, BYTE flags, ACCESS_MASK mask,
            const SidBytes& trustee) {
  if (mask == 0) return;
  Ace ace;
  ace.type = type;
  ace.flags = flags;
  ace.mask = mask;
  ace.sid = trustee;
  aces.insert(aces.begin() + static_cast<std::ptrdiff_t>(position), std::move(ace));
}

}  // namespace

bool MergeExplicitEntry(std::vector<Ace>& aces, DWORD accessMode, ACCESS_MASK rights,
                        DWORD inheritance, const SidBytes& trustee) {
  // Only the inheritance bits become ACE flags; an explicit entry is never
  // marked inherited, and higher bits (which some callers use for their own
  // purposes) are dropped.
  BYTE flags = static_cast<BYTE>(inheritance & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE |
                                                NO_PROPAGATE_INHERIT_ACE | INHERIT_ONLY_ACE));
  switch (accessMode) {
    case NOT_USED_ACCESS:
      return true;
    case GRANT_ACCESS: {
      ACCESS_MASK combined = rights | TakeMatching(aces, ACCESS_ALLOWED_ACE_TYPE, flags, trustee);
      StripRights(aces, ACCESS_DENIED_ACE_TYPE, rights, trustee);
      Insert(aces, AllowPosition(aces), ACCESS_ALLOWED_ACE_TYPE, flags, combined, trustee);
      return true;
    }
    case SET_ACCESS:
      RemoveAllFor(aces, trustee);
      Insert(aces, AllowPosition(aces), ACCESS_ALLOWED_ACE_TYPE, flags, rights, trustee);
      return true;
    case DENY_ACCESS: {
      ACCESS_MASK combined = rights | TakeMatching(aces, ACCESS_DENIED_ACE_TYPE, flags, trustee);
      StripRights(aces, ACCESS_ALLOWED_ACE_TYPE, rights, trustee);
      Insert(aces, 0, ACCESS_DENIED_ACE_TYPE, flags, combined, trustee);
      return true;
    }
    case REVOKE_ACCESS:
      RemoveAllFor(aces, trustee);
      return true;
    case SET_AUDIT_SUCCESS:
    case SET_AUDIT_FAILURE: {
      BYTE auditFlags = flags | (accessMode == SET_AUDIT_SUCCESS ? SUCCESSFUL_ACCESS_ACE_FLAG
                                                                 : FAILED_ACCESS_ACE_FLAG);
      ACCESS_MASK combined =
          rights | TakeMatching(aces, SYSTEM_AUDIT_ACE_TYPE, auditFlags, trustee);
      Insert(aces, 0, SYSTEM_AUDIT_ACE_TYPE, auditFlags, combined, trustee);
      return true;
    }
    default:
      return false;
  }
}

ACCESS_MASK EffectiveRights(const std::vector<Ace>& aces, const std::vector<SidBytes>& sids) {
  ACCESS_MASK denied = 0;
  ACCESS_MASK granted = 0;
  for (const Ace& ace : aces) {
    if (ace.InheritOnly()) continue;
    if (std::find(sids.begin(), sids.end(), ace.sid) == sids.end()) continue;
    if (ace.type == ACCESS_DENIED_ACE_TYPE) denied |= MapGenericToFileRights(ace.mask);
    if (ace.type == ACCESS_ALLOWED_ACE_TYPE) granted |= MapGenericToFileRights(ace.mask);
  }
  return granted & ~denied;
}

namespace {

constexpr BYTE kInheritanceFlags = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;

// How a parent's entry reaches a child: whether it applies to the child, and
// the inheritance flags with which the child passes it on (0: not at all).
struct Reach {
  bool applies = false;
  BYTE passOn = 0;
};

Reach ReachOf(BYTE flags, bool childIsContainer) {
  const bool noPropagate = (flags & NO_PROPAGATE_INHERIT_ACE) != 0;
  Reach reach;
  if (!childIsContainer) {
    reach.applies = (flags & OBJECT_INHERIT_ACE) != 0;
  } else if (flags & CONTAINER_INHERIT_ACE) {
    reach.applies = true;
    if (!noPropagate) reach.passOn = flags & kInheritanceFlags;
  } else if ((flags & OBJECT_INHERIT_ACE) && !noPropagate) {
    reach.passOn = OBJECT_INHERIT_ACE;  // through the folder to its files only
  }
  return reach;
}

const SidBytes& CreatorOwnerSid() {
  static const SidBytes sid = MakeSid(3, {SECURITY_CREATOR_OWNER_RID});
  return sid;
}

const SidBytes& CreatorGroupSid() {
  static const SidBytes sid = MakeSid(3, {SECURITY_CREATOR_GROUP_RID});
  return sid;
}

// The entry as it applies to the child: specific rights, real SIDs.
Ace Applied(const Ace& ace, const InheritingObject& child) {
  Ace applied = ace;
  applied.mask = MapGenericRights(ace.mask, *child.mapping);
  if (ace.sid == CreatorOwnerSid()) applied.sid = child.owner;
  if (ace.sid == CreatorGroupSid()) applied.sid = child.group;
  return applied;
}

}  // namespace

bool IsCreatorSid(const SidBytes& sid) {
  return sid == CreatorOwnerSid() || sid == CreatorGroupSid();
}

std::vector<Ace> InheritedEntries(const std::vector<Ace>& parentAces,
                                  const InheritingObject& child) {
  constexpr BYTE kAuditFlags = SUCCESSFUL_ACCESS_ACE_FLAG | FAILED_ACCESS_ACE_FLAG;
  std::vector<Ace> inherited;
  auto add = [&](Ace ace, BYTE flags, BYTE originalFlags) {
    ace.flags = static_cast<BYTE>(flags | INHERITED_ACE | (originalFlags & kAuditFlags));
    inherited.push_back(std::move(ace));
  };
  for (const Ace& ace : parentAces) {
    const Reach reach = ReachOf(ace.flags, child.isContainer);
    const bool generic = (ace.mask & kGenericRights) != 0 || IsCreatorSid(ace.sid);
    if (reach.applies && reach.passOn != 0 && !generic) {
      add(ace, reach.passOn, ace.flags);  // one entry serves both
      continue;
    }
    if (reach.applies) add(Applied(ace, child), 0, ace.flags);
    if (reach.passOn != 0) add(ace, reach.passOn | INHERIT_ONLY_ACE, ace.flags);
  }
  return inherited;
}

}  // namespace winsec
