// The security stand-in's own model of SIDs, ACEs and access lists, and the
// conversions between it and Windows' binary records. The Windows functions
// validate their arguments, convert them into this model, work on it and
// convert back; nothing here sets the last error.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win.h"

namespace winsec {

// A SID in Windows' binary layout (8 header bytes, 4 per sub-authority).
using SidBytes = std::vector<BYTE>;

struct Ace {
  BYTE type = ACCESS_ALLOWED_ACE_TYPE;
  BYTE flags = 0;
  ACCESS_MASK mask = 0;
  SidBytes sid;

  bool Inherited() const { return (flags & INHERITED_ACE) != 0; }
  bool InheritOnly() const { return (flags & INHERIT_ONLY_ACE) != 0; }
  bool operator==(const Ace& other) const {
    return type == other.type && flags == other.flags && mask == other.mask && sid == other.sid;
  }
};

// One access list of a descriptor: absent, null (no list at all: everyone
// has every right) or a list of entries.
struct AclPart {
  bool present = false;
  bool isNull = false;
  bool isProtected = false;
  std::vector<Ace> aces;

  static AclPart Null() {
    AclPart part;
    part.present = true;
    part.isNull = true;
    return part;
  }
  static AclPart Of(std::vector<Ace> aces, bool isProtected = false) {
    AclPart part;
    part.present = true;
    part.isProtected = isProtected;
    part.aces = std::move(aces);
    return part;
  }
};

struct SecurityRecord {
  std::optional<SidBytes> owner;
  std::optional<SidBytes> group;
  AclPart dacl;
  AclPart sacl;
};

// ---- SIDs ---------------------------------------------------------------------

// Checks the header of a SID in memory; does not read past what the header
// announces.
bool IsValidSidPointer(const void* sid);
// The SID's bytes; empty for an invalid SID.
SidBytes SidFromPointer(const void* sid);
SidBytes MakeSid(uint64_t authority, std::initializer_list<DWORD> subAuthorities);
// "S-1-5-32-544". The authority is written in decimal below 2^32 and in
// hexadecimal (0x...) above, as Windows does.
std::string SidToString(const SidBytes& sid);
std::optional<SidBytes> SidFromString(std::string_view text);

// Well-known SIDs the stand-in needs by itself.
const SidBytes& EveryoneSid();
const SidBytes& AdministratorsSid();
const SidBytes& SystemSid();
// The groups a token receives from how it logged on (INTERACTIVE, NETWORK,
// SERVICE, Authenticated Users, LOCAL, a logon session, ...) rather than
// from the account's memberships.
bool IsLogonSessionGroup(const SidBytes& sid);

// ---- ACLs ---------------------------------------------------------------------

// Reads a Windows ACL; false when its header or one of its entries is
// malformed (sizes outside the block, an invalid SID, an unknown revision).
// Entries of types the stand-in does not model are refused too.
bool ReadAcl(const ACL* acl, std::vector<Ace>& aces);
// Byte size of the Windows ACL holding these entries.
size_t AclByteSize(const std::vector<Ace>& aces);
// Writes the entries as a Windows ACL into `out`, which holds AclByteSize bytes.
void WriteAcl(const std::vector<Ace>& aces, void* out);
// An ACL's size is a 16-bit field; Windows keeps it a multiple of 4.
constexpr size_t kMaxAclSize = 0xFFFC;
bool AclFits(const std::vector<Ace>& aces);
// A LocalAlloc block holding the ACL; null when memory runs out or the
// entries do not fit.
PACL AllocateAcl(const std::vector<Ace>& aces);

// ---- Rights -------------------------------------------------------------------

// How generic rights become specific ones for files and folders
// (FILE_GENERIC_READ, ...) and for registry keys (KEY_READ, ...).
const GENERIC_MAPPING& FileGenericMapping();
const GENERIC_MAPPING& KeyGenericMapping();
ACCESS_MASK MapGenericRights(ACCESS_MASK mask, const GENERIC_MAPPING& mapping);
// Generic rights mapped to the file rights.
ACCESS_MASK MapGenericToFileRights(ACCESS_MASK mask);

// How SetEntriesInAcl merges one explicit entry into a list of entries.
// Returns false for an access mode it does not know.
bool MergeExplicitEntry(std::vector<Ace>& aces, DWORD accessMode, ACCESS_MASK rights,
                        DWORD inheritance, const SidBytes& trustee);

// The rights a list grants to any of `sids`: entries that only pass on to
// children are skipped, generic rights are mapped to file rights, and a
// right denied by any matching entry is never granted.
ACCESS_MASK EffectiveRights(const std::vector<Ace>& aces, const std::vector<SidBytes>& sids);

// CREATOR OWNER and CREATOR GROUP.
bool IsCreatorSid(const SidBytes& sid);

// What inheritance needs to know of the object that receives the entries.
struct InheritingObject {
  bool isContainer = false;
  const GENERIC_MAPPING* mapping = nullptr;  // the object kind's generic rights
  SidBytes owner;                            // stands in for CREATOR OWNER
  SidBytes group;                            // stands in for CREATOR GROUP
};

// The entries a child object receives from its parent's list, as Windows
// works them out: an entry that applies to the child has its generic rights
// mapped and a creator SID replaced by the child's owner or group; a
// container that also passes such an entry on receives it twice, mapped and
// applying, and unchanged and inherit-only.
std::vector<Ace> InheritedEntries(const std::vector<Ace>& parentAces,
                                  const InheritingObject& child);

}  // namespace winsec
