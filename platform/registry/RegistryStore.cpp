#include "platform/registry/RegistryStore.h"

#include <atomic>

#include "platform/machine.h"
#include "platform/text.h"

namespace machine::registry {

namespace {

const HiveInfo kHives[kHiveCount] = {
    {Hive::LocalMachine, "HKLM.reg", u"HKEY_LOCAL_MACHINE", u"HKLM", u"MACHINE"},
    {Hive::CurrentUser, "HKCU.reg", u"HKEY_CURRENT_USER", u"HKCU", u"CURRENT_USER"},
    {Hive::Users, "HKU.reg", u"HKEY_USERS", u"HKU", u"USERS"},
};

// HKEY_CLASSES_ROOT is this key of HKEY_LOCAL_MACHINE.
const std::u16string_view kClassesPath[] = {u"SOFTWARE", u"Classes"};
const std::u16string_view kFixedKeys[] = {u"SOFTWARE", u"SYSTEM"};

std::atomic<uint64_t> nextStoreId{1};

std::u16string_view FirstName(std::u16string_view path, std::u16string_view& rest) {
  size_t slash = path.find(u'\\');
  if (slash == std::u16string_view::npos) {
    rest = {};
    return path;
  }
  rest = path.substr(slash + 1);
  if (rest.empty()) rest = {};
  return path.substr(0, slash);
}

bool ToClasses(std::u16string_view rest, KeyPath& result) {
  result.hive = Hive::LocalMachine;
  if (!SplitKeyPath(rest, result.names)) return false;
  result.names.insert(result.names.begin(), std::begin(kClassesPath), std::end(kClassesPath));
  return true;
}

std::u16string JoinNames(std::u16string prefix, const std::vector<std::u16string>& names) {
  for (const auto& name : names) prefix += u"\\" + name;
  return prefix;
}

// Creates the key (or deletes it with its subtree) and applies its values.
void ApplyKey(RegNode& root, const KeyPath& path, const RegFileKey& key) {
  RegNode* node = &root;
  size_t depth = key.remove ? path.names.size() - 1 : path.names.size();
  for (size_t i = 0; i < depth && node; ++i) {
    node = key.remove ? node->Child(path.names[i]).get() : node->AddChild(path.names[i]).get();
  }
  if (key.remove) {
    if (node) node->RemoveChild(path.names.back());
    return;
  }
  for (const RegFileValue& value : key.values) {
    if (value.remove) {
      node->RemoveValue(value.name);
    } else {
      node->SetValue(value.name, value.type, value.data);
    }
  }
}

}  // namespace

const HiveInfo& InfoOf(Hive hive) { return kHives[static_cast<size_t>(hive)]; }

bool ParseRootedPath(std::u16string_view path, KeyPath& result) {
  std::u16string_view rest;
  std::u16string_view root = FirstName(path, rest);
  if (EqualNoCase(root, u"HKEY_CLASSES_ROOT") || EqualNoCase(root, u"HKCR")) {
    return ToClasses(rest, result);
  }
  for (const HiveInfo& info : kHives) {
    if (EqualNoCase(root, info.rootName) || EqualNoCase(root, info.shortName)) {
      result.hive = info.hive;
      return SplitKeyPath(rest, result.names);
    }
  }
  return false;
}

bool ParseObjectName(std::u16string_view objectName, KeyPath& result) {
  std::u16string_view rest;
  std::u16string_view root = FirstName(objectName, rest);
  if (EqualNoCase(root, u"CLASSES_ROOT")) return ToClasses(rest, result);
  for (const HiveInfo& info : kHives) {
    if (EqualNoCase(root, info.objectName)) {
      result.hive = info.hive;
      return SplitKeyPath(rest, result.names);
    }
  }
  return false;
}

std::u16string ObjectName(const KeyPath& path) {
  return JoinNames(std::u16string(InfoOf(path.hive).objectName), path.names);
}

std::u16string RootedName(const KeyPath& path) {
  return JoinNames(std::u16string(InfoOf(path.hive).rootName), path.names);
}

bool IsFixedLevel(const KeyPath& parent) {
  return parent.hive == Hive::LocalMachine && parent.names.empty();
}

bool CannotBeDeleted(const KeyPath& path) {
  if (path.names.empty()) return true;
  KeyPath parent = path;
  parent.names.pop_back();
  bool classesRoot = path.hive == Hive::LocalMachine && path.names.size() == 2 &&
                     EqualNoCase(path.names[0], kClassesPath[0]) &&
                     EqualNoCase(path.names[1], kClassesPath[1]);
  return IsFixedLevel(parent) || classesRoot;
}

// ---- Hive files ---------------------------------------------------------------

namespace {

// Applies the keys of a hive file or journal to root; keys are refused when
// they lie outside the hive or deeper than Windows allows.
void ApplyHiveKeys(RegNode& root, Hive hive, const RegFile& parsed,
                   const std::string& fileNameForErrors) {
  for (const RegFileKey& key : parsed.keys) {
    auto fail = [&](const std::string& message) {
      throw MachineError(fileNameForErrors + ":" + std::to_string(key.line) + ": " + message);
    };
    KeyPath path;
    if (!ParseRootedPath(key.path, path) || path.hive != hive ||
        (key.remove && path.names.empty())) {
      fail("key outside " + ToUtf8(InfoOf(hive).rootName));
    }
    if (path.names.size() > kMaxKeyDepth) fail(kTooDeepText);
    ApplyKey(root, path, key);
  }
}

std::shared_ptr<RegNode> EmptyHive(Hive hive) {
  return std::make_shared<RegNode>(std::u16string(InfoOf(hive).rootName));
}

void AddFixedKeys(RegNode& root, Hive hive) {
  if (hive == Hive::LocalMachine) {
    for (auto name : kFixedKeys) root.AddChild(name);
  }
}

}  // namespace

std::shared_ptr<RegNode> ReadHive(Hive hive, std::string_view bytes,
                                  const std::string& fileNameForErrors) {
  auto root = EmptyHive(hive);
  ApplyHiveKeys(*root, hive, ParseRegFile(bytes, fileNameForErrors), fileNameForErrors);
  AddFixedKeys(*root, hive);
  return root;
}

std::u16string HiveFileText(const RegNode& root, Hive hive) {
  std::u16string text(kRegFileHeader);
  text += u"\n\n";
  std::u16string rootName(InfoOf(hive).rootName);
  if (!root.Values().empty()) {
    text += u"[" + rootName + u"]\n";
    for (const RegValue& value : root.Values()) text += ValueLine(value, u"\n") + u"\n";
    text += u"\n";
  }
  for (const auto& child : root.Children()) {
    AppendKeyText(*child, rootName + u"\\" + child->Name(), u"\n", text);
  }
  return text;
}

// ---- Store ------------------------------------------------------------------

Store::Store(std::filesystem::path root) : root_(std::move(root)), id_(nextStoreId++) {
  for (const HiveInfo& info : kHives)
    hives_[Index(info.hive)].file = JournaledFile(FileOf(info.hive));
}

Store* Store::Current() {
  static std::unique_ptr<Store> current;
  Machine* machine = CurrentMachine();
  if (!machine) return nullptr;
  if (!current || current->root_ != machine->Root()) current.reset(new Store(machine->Root()));
  return current.get();
}

std::filesystem::path Store::FileOf(Hive hive) const {
  return root_ / "registry" / InfoOf(hive).fileName;
}

RegNode& Store::Root(Hive hive) {
  HiveState& state = hives_[Index(hive)];
  if (!state.loaded) state.file.Forget();
  try {
    JournaledFile::Changes changes = state.file.Refresh();
    if (changes.whole) {
      Load(hive, changes);
    } else {
      // What another process appended, applied to the nodes in place.
      ApplyRecords(*state.root, hive, changes.records);
    }
  } catch (...) {
    Invalidate(hive);
    throw;
  }
  return *state.root;
}

void Store::Invalidate(Hive hive) {
  hives_[Index(hive)].loaded = false;
  hives_[Index(hive)].file.Forget();
}

void Store::ApplyText(RegNode& root, Hive hive, std::string_view text,
                      const std::string& fileName) {
  ApplyHiveKeys(root, hive, ParseRegFile(text, fileName), fileName);
}

void Store::ApplyRecords(RegNode& root, Hive hive, const std::vector<std::string>& records) {
  if (records.empty()) return;
  std::string text = ToUtf8(kRegFileHeader) + "\n\n";
  for (const std::string& record : records) text += record;
  ApplyText(root, hive, text, hives_[Index(hive)].file.Journal().string());
}

void Store::Load(Hive hive, const JournaledFile::Changes& changes) {
  HiveState& state = hives_[Index(hive)];
  auto root = EmptyHive(hive);
  if (!changes.base.empty()) ApplyText(*root, hive, changes.base, FileOf(hive).string());
  ApplyRecords(*root, hive, changes.records);
  AddFixedKeys(*root, hive);
  state.root = root;
  state.loaded = true;
  ++state.generation;
}

std::shared_ptr<RegNode> Store::Find(const KeyPath& path) {
  Root(path.hive);
  std::shared_ptr<RegNode> node = hives_[Index(path.hive)].root;
  for (size_t i = 0; node && i < path.names.size(); ++i) node = node->Child(path.names[i]);
  return node;
}

std::u16string Store::HiveText(Hive hive) { return HiveFileText(Root(hive), hive); }

void Store::Save(Hive hive, std::u16string_view change) {
  hives_[Index(hive)].file.Append(ToUtf8(change), [&] { return ToUtf8(HiveText(hive)); });
}

void Store::Fold(Hive hive) {
  Root(hive);
  hives_[Index(hive)].file.Fold([&] { return ToUtf8(HiveText(hive)); });
}

void Store::FoldJournals(const std::filesystem::path& machineRoot) {
  Store* current = Current();
  std::unique_ptr<Store> other;
  if (!current || current->root_ != machineRoot) {
    other.reset(new Store(machineRoot));
    current = other.get();
  }
  for (const HiveInfo& info : kHives) {
    // A hive without a journal is left as it is, even when malformed.
    if (InspectFile(current->hives_[Index(info.hive)].file.Journal()).exists) {
      current->Fold(info.hive);
    }
  }
}

// ---- HiveChange -------------------------------------------------------------

void HiveChange::Section(const std::vector<std::u16string>& names, bool remove) {
  text_ += KeyLine(RootedName(KeyPath{hive_, names}), remove);
  text_ += u"\n";
}

void HiveChange::CreateKey(const std::vector<std::u16string>& names) { Section(names, false); }

void HiveChange::DeleteKey(const std::vector<std::u16string>& names) { Section(names, true); }

void HiveChange::SetValue(const std::vector<std::u16string>& names, const RegValue& value) {
  Section(names, false);
  text_ += ValueLine(value, u"\n") + u"\n";
}

void HiveChange::DeleteValue(const std::vector<std::u16string>& names, std::u16string_view name) {
  Section(names, false);
  text_ += ValueRemovalLine(name) + u"\n";
}

void HiveChange::Add(const KeyPath& path, const RegFileKey& key) {
  Section(path.names, key.remove);
  for (const RegFileValue& value : key.values) {
    text_ += value.remove ? ValueRemovalLine(value.name)
                          : ValueLine(RegValue{value.name, value.type, value.data}, u"\n");
    text_ += u"\n";
  }
}

std::u16string Store::Export(const KeyPath& path, const std::u16string& shownPath,
                             std::u16string_view newline) {
  std::shared_ptr<RegNode> node = Find(path);
  std::u16string text(kRegFileHeader);
  text += newline;
  text += newline;
  if (node) AppendKeyText(*node, shownPath, newline, text);
  return text;
}

// ---- Import -----------------------------------------------------------------

namespace {

struct PlannedKey {
  KeyPath path;
  const RegFileKey* key;
};

std::vector<PlannedKey> Plan(const RegFile& file, const std::string& fileName) {
  std::vector<PlannedKey> plan;
  for (const RegFileKey& key : file.keys) {
    auto fail = [&](const std::string& message) {
      throw MachineError(fileName + ":" + std::to_string(key.line) + ": " + message);
    };
    KeyPath path;
    if (!ParseRootedPath(key.path, path)) fail("unknown root key or empty key name");
    if (path.names.size() > kMaxKeyDepth) fail(kTooDeepText);
    for (const auto& name : path.names) {
      if (name.size() > kMaxKeyNameLength) fail("key name longer than 255 characters");
    }
    for (const auto& value : key.values) {
      if (value.name.size() > kMaxValueNameLength) fail("value name longer than 16383 characters");
    }
    if (key.remove && CannotBeDeleted(path)) fail("this key cannot be deleted");
    if (IsFixedLevel(path) && !key.values.empty())
      fail("HKEY_LOCAL_MACHINE itself holds no values");
    plan.push_back(PlannedKey{path, &key});
  }
  return plan;
}

}  // namespace

void Store::Apply(const RegFile& file, const std::string& fileNameForErrors) {
  std::vector<PlannedKey> plan = Plan(file, fileNameForErrors);
  // New keys directly below HKEY_LOCAL_MACHINE are refused before anything changes.
  for (const PlannedKey& item : plan) {
    if (item.path.hive == Hive::LocalMachine && !item.path.names.empty() &&
        !Root(Hive::LocalMachine).Child(item.path.names[0])) {
      throw MachineError(fileNameForErrors + ":" + std::to_string(item.key->line) +
                         ": no new keys can be made directly below HKEY_LOCAL_MACHINE");
    }
  }
  std::vector<HiveChange> changes;
  for (const HiveInfo& info : kHives) changes.emplace_back(info.hive);
  for (const PlannedKey& item : plan) {
    ApplyKey(Root(item.path.hive), item.path, *item.key);
    changes[Index(item.path.hive)].Add(item.path, *item.key);
  }
  for (const HiveInfo& info : kHives) {
    const std::u16string& text = changes[Index(info.hive)].Text();
    if (text.empty()) continue;
    try {
      Save(info.hive, text);
    } catch (...) {
      Invalidate(info.hive);
      throw;
    }
  }
}

}  // namespace machine::registry
