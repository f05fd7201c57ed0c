#include "platform/security/SecurityStore.h"

#include <algorithm>
#include <cstring>

#include "platform/security/Sddl.h"
#include "platform/text.h"
#include "platform/text/Utf.h"

namespace winsec {

namespace {

const char kHeader[] =
    "# Access lists of the simulated server, one object a line:\n"
    "#   file|key <full name> <security descriptor in SDDL>\n"
    "# Only what was set on the object itself is kept; inherited entries are\n"
    "# worked out from the parent when the object is read.\n";

// Journal lines that remove an object's line; object lines start with the
// kind, so neither can be taken for the other.
constexpr char kRemove[] = "remove ";
constexpr char kRemoveBelow[] = "remove-tree ";

const char* KindName(ObjectKind kind) { return kind == ObjectKind::File ? "file" : "key"; }

bool IsEmpty(const SecurityRecord& record) {
  return !record.owner && !record.group && !record.dacl.present && !record.sacl.present;
}

[[noreturn]] void Malformed(const std::string& file, size_t line, const std::string& why) {
  throw machine::MachineError(file + ":" + std::to_string(line) + ": " + why);
}

// Names match without regard to case: the index holds them upper-cased,
// behind their kind.
std::u16string IndexKey(ObjectKind kind, std::u16string_view name) {
  return (kind == ObjectKind::File ? u"f" : u"k") + machine::UpperCase(name);
}

AclPart ParsedDefault(const char* sddl) {
  SecurityRecord record;
  std::string error;
  ParseSddl(sddl, record, error);
  return record.dacl;
}

// The length of the name one level up, which is always a beginning of the
// name (C:\a\b -> C:\a, C:\a -> C:\); nullopt for a root.
std::optional<size_t> ParentLength(ObjectKind kind, std::u16string_view name) {
  if (kind == ObjectKind::File) {
    if (name.size() <= 3 && name.size() >= 2 && name[1] == u':') return std::nullopt;
    if (name.substr(0, 2) == u"\\\\") {
      size_t server = name.find(u'\\', 2);
      size_t share = server == std::u16string_view::npos ? server : name.find(u'\\', server + 1);
      if (share == std::u16string_view::npos) return std::nullopt;
    }
  }
  size_t slash = name.rfind(u'\\');
  if (slash == std::u16string_view::npos || slash == 0) return std::nullopt;
  // A drive's root keeps its backslash: C:\a -> C:\.
  if (kind == ObjectKind::File && slash == 2 && name[1] == u':') return 3;
  return slash;
}

}  // namespace

AclPart RootDefaultDacl(ObjectKind kind) {
  static const AclPart files =
      ParsedDefault("D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICIIO;GA;;;CO)(A;OICI;0x1200a9;;;BU)");
  static const AclPart keys =
      ParsedDefault("D:P(A;CI;KA;;;BA)(A;CI;KA;;;SY)(A;CIIO;GA;;;CO)(A;CI;KR;;;BU)");
  return kind == ObjectKind::File ? files : keys;
}

SecurityStore SecurityStore::Parse(std::string_view text, const std::string& fileNameForErrors) {
  SecurityStore store;
  size_t lineNumber = 0;
  while (!text.empty()) {
    size_t newline = text.find('\n');
    std::string_view line = text.substr(0, newline);
    text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.find_first_not_of(" \t") == std::string_view::npos || line[0] == '#') continue;
    size_t firstSpace = line.find(' ');
    size_t lastSpace = line.rfind(' ');
    if (firstSpace == std::string_view::npos || lastSpace <= firstSpace + 1)
      Malformed(fileNameForErrors, lineNumber, "expected \"file|key <name> <SDDL>\"");
    std::string_view kindText = line.substr(0, firstSpace);
    if (kindText != "file" && kindText != "key")
      Malformed(fileNameForErrors, lineNumber,
                "unknown object kind '" + std::string(kindText) + "'");
    ObjectKind kind = kindText == "file" ? ObjectKind::File : ObjectKind::RegistryKey;
    std::u16string name;
    // A replaced byte would change the name when the file is next written.
    if (!machine::text::DecodeUtf8(line.substr(firstSpace + 1, lastSpace - firstSpace - 1), name))
      Malformed(fileNameForErrors, lineNumber, "the name is not valid UTF-8");
    if (!store.index_.emplace(IndexKey(kind, name), store.entries_.size()).second)
      Malformed(fileNameForErrors, lineNumber, "the object appears twice");
    SecurityRecord record;
    std::string error;
    if (!ParseSddl(line.substr(lastSpace + 1), record, error))
      Malformed(fileNameForErrors, lineNumber, error);
    store.entries_.push_back({kind, std::move(name), std::move(record)});
  }
  return store;
}

std::string SecurityStore::Serialize() const {
  std::vector<const Entry*> sorted;
  for (const Entry& entry : entries_) {
    if (!IsEmpty(entry.record)) sorted.push_back(&entry);
  }
  std::sort(sorted.begin(), sorted.end(), [](const Entry* a, const Entry* b) {
    if (a->kind != b->kind) return a->kind < b->kind;
    return machine::CompareNoCase(a->name, b->name) < 0;
  });
  std::string text = kHeader;
  for (const Entry* entry : sorted) text += Line(entry->kind, entry->name, entry->record) + "\n";
  return text;
}

std::string SecurityStore::Line(ObjectKind kind, std::u16string_view name,
                                const SecurityRecord& record) {
  RightsStyle style = kind == ObjectKind::File ? RightsStyle::File : RightsStyle::Key;
  return std::string(KindName(kind)) + " " + machine::ToUtf8(name) + " " +
         FormatSddl(record, style);
}

std::string SecurityStore::RemovalLine(ObjectKind kind, std::u16string_view name, bool below) {
  return std::string(below ? kRemoveBelow : kRemove) + KindName(kind) + " " + machine::ToUtf8(name);
}

void SecurityStore::ApplyJournal(std::string_view lines, const std::string& fileNameForErrors) {
  size_t lineNumber = 0;
  while (!lines.empty()) {
    const size_t newline = lines.find('\n');
    std::string_view line = lines.substr(0, newline);
    lines.remove_prefix(newline == std::string_view::npos ? lines.size() : newline + 1);
    ++lineNumber;
    const bool below = line.rfind(kRemoveBelow, 0) == 0;
    if (below || line.rfind(kRemove, 0) == 0) {
      line.remove_prefix(below ? std::strlen(kRemoveBelow) : std::strlen(kRemove));
      const size_t space = line.find(' ');
      const std::string_view kindText = line.substr(0, space);
      if (space == std::string_view::npos || (kindText != "file" && kindText != "key"))
        Malformed(fileNameForErrors, lineNumber, "expected \"remove file|key <name>\"");
      const ObjectKind kind = kindText == "file" ? ObjectKind::File : ObjectKind::RegistryKey;
      const std::u16string name = machine::FromUtf8(line.substr(space + 1));
      below ? RemoveWithDescendants(kind, name) : Remove(kind, name);
      continue;
    }
    // An object's line, read by the file's own rules.
    SecurityStore one = Parse(line, fileNameForErrors + ":" + std::to_string(lineNumber));
    for (Entry& entry : one.entries_) Edit(entry.kind, entry.name) = std::move(entry.record);
  }
}

const SecurityRecord* SecurityStore::FindKey(std::u16string_view key) const {
  const auto it = index_.find(key);
  return it == index_.end() ? nullptr : &entries_[it->second].record;
}

SecurityStore::Entry* SecurityStore::FindEntry(ObjectKind kind, std::u16string_view name) {
  const auto it = index_.find(IndexKey(kind, name));
  return it == index_.end() ? nullptr : &entries_[it->second];
}

const SecurityStore::Entry* SecurityStore::FindEntry(ObjectKind kind,
                                                     std::u16string_view name) const {
  return const_cast<SecurityStore*>(this)->FindEntry(kind, name);
}

const SecurityRecord* SecurityStore::Find(ObjectKind kind, std::u16string_view name) const {
  const Entry* entry = FindEntry(kind, name);
  return entry ? &entry->record : nullptr;
}

SecurityRecord& SecurityStore::Edit(ObjectKind kind, std::u16string_view name) {
  if (Entry* entry = FindEntry(kind, name)) return entry->record;
  index_.emplace(IndexKey(kind, name), entries_.size());
  entries_.push_back({kind, std::u16string(name), SecurityRecord()});
  return entries_.back().record;
}

bool SecurityStore::Remove(ObjectKind kind, std::u16string_view name) {
  const auto it = index_.find(IndexKey(kind, name));
  if (it == index_.end()) return false;
  RemoveAt(it);
  return true;
}

void SecurityStore::RemoveAt(Index::iterator it) {
  // The last entry takes the place of the removed one.
  const size_t at = it->second;
  index_.erase(it);
  if (at + 1 != entries_.size()) {
    entries_[at] = std::move(entries_.back());
    index_[IndexKey(entries_[at].kind, entries_[at].name)] = at;
  }
  entries_.pop_back();
}

bool SecurityStore::RemoveWithDescendants(ObjectKind kind, std::u16string_view name) {
  std::u16string prefix = IndexKey(kind, name);
  if (prefix.back() != u'\\') prefix += u'\\';
  bool removed = Remove(kind, name);
  // RemoveAt erases only the entry it is given, so the run can be walked
  // while it is removed.
  for (auto it = index_.lower_bound(prefix);
       it != index_.end() && it->first.compare(0, prefix.size(), prefix) == 0;) {
    RemoveAt(it++);
    removed = true;
  }
  return removed;
}

// Inheritance runs down from the nearest level that takes nothing from above
// (a protected or null list, or a root). The walk up to it is a loop, not a
// recursion, since a name may be thousands of levels deep, and looks each
// level up by a beginning of the object's own key.
AclPart SecurityStore::EffectiveList(ObjectKind kind, std::u16string_view name, bool isContainer,
                                     AclPart SecurityRecord::*list) const {
  const std::u16string key = IndexKey(kind, name);
  std::vector<const SecurityRecord*> below;  // the levels under the top, the object first
  AclPart passed;
  for (size_t length = name.size();;) {
    const SecurityRecord* record = FindKey(std::u16string_view(key).substr(0, 1 + length));
    const AclPart* stored = record && (record->*list).present ? &(record->*list) : nullptr;
    if (stored && (stored->isNull || stored->isProtected)) {
      passed = *stored;
      break;
    }
    const std::optional<size_t> parent = ParentLength(kind, name.substr(0, length));
    if (!parent) {
      if (stored) {
        passed = *stored;
      } else if (list == &SecurityRecord::dacl) {
        passed = RootDefaultDacl(kind);
      }
      break;
    }
    below.push_back(record);
    length = *parent;
  }
  for (size_t level = below.size(); level-- > 0;) {
    passed = Inherited(kind, below[level], level == 0 ? isContainer : true, passed, list);
  }
  return passed;
}

// One level's list: its own entries and what its parent passes on.
AclPart SecurityStore::Inherited(ObjectKind kind, const SecurityRecord* record, bool isContainer,
                                 const AclPart& fromParent, AclPart SecurityRecord::*list) {
  const AclPart* stored = record && (record->*list).present ? &(record->*list) : nullptr;
  if (!fromParent.present || fromParent.isNull) return stored ? *stored : fromParent;
  std::vector<Ace> aces;
  if (stored) {
    for (const Ace& ace : stored->aces) {
      if (!ace.Inherited()) aces.push_back(ace);
    }
  }
  InheritingObject child;
  child.isContainer = isContainer;
  child.mapping = kind == ObjectKind::File ? &FileGenericMapping() : &KeyGenericMapping();
  child.owner = OwnerOf(record);
  child.group = GroupOf(record);
  for (Ace& ace : InheritedEntries(fromParent.aces, child)) aces.push_back(std::move(ace));
  return AclPart::Of(std::move(aces));
}

SidBytes SecurityStore::OwnerOf(const SecurityRecord* record) {
  return record && record->owner ? *record->owner : AdministratorsSid();
}

SidBytes SecurityStore::GroupOf(const SecurityRecord* record) {
  return record && record->group ? *record->group : SystemSid();
}

SecurityRecord SecurityStore::Effective(ObjectKind kind, std::u16string_view name,
                                        bool isContainer) const {
  SecurityRecord effective;
  const SecurityRecord* record = Find(kind, name);
  effective.owner = OwnerOf(record);
  effective.group = GroupOf(record);
  effective.dacl = EffectiveList(kind, name, isContainer, &SecurityRecord::dacl);
  effective.sacl = EffectiveList(kind, name, isContainer, &SecurityRecord::sacl);
  return effective;
}

}  // namespace winsec
