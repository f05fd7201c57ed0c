// security.sddl of a machine image: the access lists set on its files,
// folders and registry keys, one object a line:
//
//   file C:\inetpub\wwwroot D:P(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;S-1-5-32-568)
//   key MACHINE\SOFTWARE\Corvane\Quaver D:P(A;CI;GA;;;BA)
//
// The first word is the kind ("file" or "key"), the last word the security
// descriptor in SDDL (Sddl.h, which never holds a space), and everything
// between them, exactly, the object's full name: a full Windows path, or a
// registry key in the security functions' form (MACHINE\..., USERS\...,
// CURRENT_USER\...; CLASSES_ROOT\... is kept as MACHINE\SOFTWARE\Classes\...).
// Names match without regard to case. Lines starting with '#' and blank
// lines are ignored; the file is written sorted, with a header comment.
//
// A line holds what was set on the object itself: owner, group, and for each
// list its explicit entries and whether it is protected. Inherited entries
// are not stored; they are worked out when the object is read, from the
// parent's list as it is at that moment, so changing a folder's list
// reaches everything below it at once, as Windows' propagation does.
//
// What an object shows (Effective):
// - owner BUILTIN\Administrators and group SYSTEM unless its line sets them;
// - a protected or null list as stored;
// - otherwise its explicit entries followed by what its parent passes on
//   (Windows' inheritance rules, SecurityModel.h: generic rights mapped
//   for the object's kind, CREATOR OWNER and CREATOR GROUP becoming the
//   object's owner and group where an entry applies to it); under
//   a null list the object has a null list too unless it has entries of
//   its own;
// - a drive or share root, and a registry root (MACHINE, USERS,
//   CURRENT_USER), without a line has the protected default list of a fresh
//   server: for files Administrators and SYSTEM full control, CREATOR OWNER
//   full control on what is created below, Users read and execute; for keys
//   Administrators and SYSTEM full control, CREATOR OWNER full control on
//   subkeys, Users read;
// - the system (audit) list is absent unless set.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/machine.h"
#include "platform/security/SecurityModel.h"

namespace winsec {

enum class ObjectKind { File, RegistryKey };

class SecurityStore {
 public:
  // security.sddl's text (AccessListFile.h reads and writes the file).
  // Throws MachineError naming the file and line of a malformed line.
  static SecurityStore Parse(std::string_view text, const std::string& fileNameForErrors);
  std::string Serialize() const;

  // The object's line as the file holds it.
  static std::string Line(ObjectKind kind, std::u16string_view name, const SecurityRecord& record);
  // The journal's line (AccessListFile.h) that removes the object's line,
  // and with `below` the lines of everything below it too.
  static std::string RemovalLine(ObjectKind kind, std::u16string_view name, bool below);
  // Applies journal lines: object lines replace what the object had,
  // removal lines remove. Throws MachineError naming fileNameForErrors.
  void ApplyJournal(std::string_view lines, const std::string& fileNameForErrors);

  const SecurityRecord* Find(ObjectKind kind, std::u16string_view name) const;
  // The object's line, added empty when there is none.
  SecurityRecord& Edit(ObjectKind kind, std::u16string_view name);
  bool Remove(ObjectKind kind, std::u16string_view name);
  // Also removes the lines of everything below the object.
  bool RemoveWithDescendants(ObjectKind kind, std::u16string_view name);

  // What the object shows, after defaults and inheritance.
  SecurityRecord Effective(ObjectKind kind, std::u16string_view name, bool isContainer) const;

 private:
  using Index = std::map<std::u16string, size_t, std::less<>>;
  struct Entry {
    ObjectKind kind;
    std::u16string name;
    SecurityRecord record;
  };
  Entry* FindEntry(ObjectKind kind, std::u16string_view name);
  const Entry* FindEntry(ObjectKind kind, std::u16string_view name) const;
  void RemoveAt(Index::iterator it);
  // By IndexKey, which may be a view of a longer key's beginning.
  const SecurityRecord* FindKey(std::u16string_view key) const;
  AclPart EffectiveList(ObjectKind kind, std::u16string_view name, bool isContainer,
                        AclPart SecurityRecord::*list) const;
  static AclPart Inherited(ObjectKind kind, const SecurityRecord* record, bool isContainer,
                           const AclPart& fromParent, AclPart SecurityRecord::*list);
  // The owner and group an object shows, its line's or the defaults.
  static SidBytes OwnerOf(const SecurityRecord* record);
  static SidBytes GroupOf(const SecurityRecord* record);

  std::vector<Entry> entries_;  // in no particular order: Serialize sorts
  // IndexKey -> entry. Ordered, so that everything below an object is one
  // run of keys and removing a tree costs what it removes.
  Index index_;
};

// The protected default list of a root without a line.
AclPart RootDefaultDacl(ObjectKind kind);

}  // namespace winsec
