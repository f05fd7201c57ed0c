// The W functions of the registry. Each checks its arguments, takes the
// machine's lock, resolves the handle and works on the selected image's
// store; store failures become registry error codes here and nowhere else.
#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <new>

#include "platform/machine.h"
#include "platform/registry/KeySecurity.h"
#include "platform/registry/RegistryHandles.h"
#include "platform/registry/RegistryObjects.h"
#include "platform/registry/RegistryStore.h"
#include "platform/text.h"
#include "platform/win.h"

namespace machine::registry {

namespace {

// Stand-in rule: without a selected image there is no registry at all.
constexpr LSTATUS kNoMachine = ERROR_PATH_NOT_FOUND;

struct OpenKey {
  uint64_t store = 0;
  KeyPath path;
  std::shared_ptr<RegNode> node;
  uint64_t generation = 0;
  REGSAM access = 0;
};

class HandleTable {
 public:
  HKEY Add(OpenKey key) {
    std::lock_guard<std::mutex> lock(mutex_);
    next_ += 4;
    keys_[next_] = std::move(key);
    return reinterpret_cast<HKEY>(next_);
  }
  bool Get(HKEY handle, OpenKey& key) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = keys_.find(reinterpret_cast<uintptr_t>(handle));
    if (found == keys_.end()) return false;
    key = found->second;
    return true;
  }
  void Update(HKEY handle, const OpenKey& key) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = keys_.find(reinterpret_cast<uintptr_t>(handle));
    if (found != keys_.end()) found->second = key;
  }
  bool Remove(HKEY handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    return keys_.erase(reinterpret_cast<uintptr_t>(handle)) != 0;
  }

 private:
  std::mutex mutex_;
  std::map<uintptr_t, OpenKey> keys_;
  uintptr_t next_ = 0x1000;
};

HandleTable& Handles() {
  static HandleTable table;
  return table;
}

std::string& LastError() {
  thread_local std::string text;
  return text;
}

// A key resolved for the duration of one call.
struct Target {
  Store* store = nullptr;
  KeyPath path;
  std::shared_ptr<RegNode> node;
  REGSAM access = 0;
};

bool PredefinedPath(HKEY key, KeyPath& path) {
  path.names.clear();
  if (key == HKEY_LOCAL_MACHINE) {
    path.hive = Hive::LocalMachine;
  } else if (key == HKEY_CURRENT_USER) {
    path.hive = Hive::CurrentUser;
  } else if (key == HKEY_USERS) {
    path.hive = Hive::Users;
  } else if (key == HKEY_CLASSES_ROOT) {
    path.hive = Hive::LocalMachine;
    path.names = {u"SOFTWARE", u"Classes"};
  } else {
    return false;
  }
  return true;
}

bool IsPredefined(HKEY key) {
  auto value = reinterpret_cast<uintptr_t>(key);
  auto predefined = reinterpret_cast<uintptr_t>(HKEY_CLASSES_ROOT);
  return value >= predefined && value <= predefined + 0x60;
}

LSTATUS ResolvePredefined(Store& store, HKEY key, Target& target) {
  if (!PredefinedPath(key, target.path)) return ERROR_INVALID_HANDLE;
  RegNode* node = &store.Root(target.path.hive);
  // HKEY_CLASSES_ROOT exists on every Windows; its key is made on first use.
  for (const auto& name : target.path.names) node = node->AddChild(name).get();
  target.node = store.Find(target.path);
  target.access = KEY_ALL_ACCESS;
  return ERROR_SUCCESS;
}

LSTATUS Resolve(HKEY key, Target& target) {
  target.store = Store::Current();
  if (!target.store) return kNoMachine;
  if (IsPredefined(key)) return ResolvePredefined(*target.store, key, target);
  OpenKey open;
  if (!Handles().Get(key, open) || open.store != target.store->Id()) return ERROR_INVALID_HANDLE;
  target.store->Root(open.path.hive);
  if (open.generation != target.store->Generation(open.path.hive)) {
    // The hive was read again: find the key anew by its names.
    open.node = target.store->Find(open.path);
    open.generation = target.store->Generation(open.path.hive);
    if (!open.node) return ERROR_KEY_DELETED;
    Handles().Update(key, open);
  }
  if (open.node->Deleted()) return ERROR_KEY_DELETED;
  target.path = open.path;
  target.node = open.node;
  target.access = open.access;
  return ERROR_SUCCESS;
}

REGSAM Granted(REGSAM desired) {
  if (desired & MAXIMUM_ALLOWED) return KEY_ALL_ACCESS;
  REGSAM granted = desired & ~(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL |
                               KEY_WOW64_32KEY | KEY_WOW64_64KEY);
  if (desired & GENERIC_READ) granted |= KEY_READ;
  if (desired & GENERIC_WRITE) granted |= KEY_WRITE;
  if (desired & GENERIC_EXECUTE) granted |= KEY_EXECUTE;
  if (desired & GENERIC_ALL) granted |= KEY_ALL_ACCESS;
  return granted;
}

HKEY NewHandle(const Target& parent, KeyPath path, std::shared_ptr<RegNode> node, REGSAM desired) {
  OpenKey open;
  open.store = parent.store->Id();
  open.generation = parent.store->Generation(path.hive);
  open.path = std::move(path);
  open.node = std::move(node);
  open.access = Granted(desired);
  return Handles().Add(std::move(open));
}

// Runs a registry operation under the machine's lock; the store's failures
// become error codes: a malformed hive ERROR_BADDB, a failed write
// ERROR_CANTWRITE (raised by Persist).
template <typename Body>
LSTATUS Guarded(Body body) {
  Machine* machine = CurrentMachine();
  if (!machine) return kNoMachine;
  std::lock_guard<machine::ImageLock> lock(machine->Lock());
  try {
    return body();
  } catch (const MachineError& error) {
    LastError() = error.what();
    return ERROR_BADDB;
  } catch (const std::bad_alloc&) {
    return ERROR_OUTOFMEMORY;
  }
}

LSTATUS Persist(Store& store, const HiveChange& change) {
  const Hive hive = change.HiveOf();
  try {
    store.Save(hive, change.Text());
    return ERROR_SUCCESS;
  } catch (const MachineError& error) {
    LastError() = error.what();
    // The change stays in memory only until the hive is read again.
    store.Invalidate(hive);
    return ERROR_CANTWRITE;
  }
}

bool Has(const Target& target, REGSAM right) { return (target.access & right) == right; }

LSTATUS SplitSubKey(LPCWSTR subKey, std::vector<std::u16string>& names) {
  std::u16string_view text = subKey ? std::u16string_view(subKey) : std::u16string_view();
  // Windows documents the leading backslash for RegCreateKeyEx; the stand-in
  // refuses it the same way everywhere.
  if (!text.empty() && text[0] == u'\\') return ERROR_BAD_PATHNAME;
  // Windows accepts any number of separators after the last name.
  while (text.size() > 1 && text.back() == u'\\' && text[text.size() - 2] == u'\\') {
    text.remove_suffix(1);
  }
  return SplitKeyPath(text, names) ? ERROR_SUCCESS : ERROR_BAD_PATHNAME;
}

// Names Windows would store but a hive file line could not carry.
bool IsStorableKeyName(const std::u16string& name) {
  return name.size() <= kMaxKeyNameLength && name.find_first_of(u"\r\n") == std::u16string::npos;
}

std::u16string_view ValueName(LPCWSTR name) {
  return name ? std::u16string_view(name) : std::u16string_view();
}

}  // namespace

bool IsStringType(DWORD type) {
  return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

LSTATUS CopyValueOut(DWORD type, const std::vector<uint8_t>& data, LPDWORD lpType, LPBYTE lpData,
                     LPDWORD lpcbData) {
  if (lpType) *lpType = type;
  DWORD size = static_cast<DWORD>(data.size());
  if (!lpData) {
    if (lpcbData) *lpcbData = size;
    return ERROR_SUCCESS;
  }
  if (*lpcbData < size) {
    *lpcbData = size;
    return ERROR_MORE_DATA;
  }
  if (size) std::memcpy(lpData, data.data(), size);
  *lpcbData = size;
  return ERROR_SUCCESS;
}

LSTATUS QueryValueData(HKEY key, std::u16string_view name, DWORD& type,
                       std::vector<uint8_t>& data) {
  return Guarded([&]() -> LSTATUS {
    Target target;
    if (LSTATUS status = Resolve(key, target)) return status;
    if (!Has(target, KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    const RegValue* value = target.node->Value(name);
    if (!value) return ERROR_FILE_NOT_FOUND;
    type = value->type;
    data = value->data;
    return ERROR_SUCCESS;
  });
}

bool KeyExists(std::u16string_view objectName) {
  KeyPath path;
  if (!ParseObjectName(objectName, path)) return false;
  Machine* machine = CurrentMachine();
  if (!machine) return false;
  std::lock_guard<machine::ImageLock> lock(machine->Lock());
  // A hive that cannot be read is reported as such (its MachineError goes
  // on), never as a missing key.
  Store* store = Store::Current();
  return store && store->Find(path);
}

std::string LastStoreError() { return LastError(); }

}  // namespace machine::registry

using namespace machine::registry;

// Stand-in deviations: a failed call leaves *phkResult as it was (Windows
// may clear it); ulOptions is not checked; a leading backslash is refused
// below HKEY_CLASSES_ROOT too, where some Windows versions skip it.
LSTATUS WINAPI RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, REGSAM samDesired,
                             PHKEY phkResult) {
  if (!phkResult) return ERROR_INVALID_PARAMETER;
  return Guarded([&]() -> LSTATUS {
    Target parent;
    if (LSTATUS status = Resolve(hKey, parent)) return status;
    std::vector<std::u16string> names;
    if (LSTATUS status = SplitSubKey(lpSubKey, names)) return status;
    if (names.empty() && IsPredefined(hKey)) {
      *phkResult = hKey;
      return ERROR_SUCCESS;
    }
    std::shared_ptr<RegNode> node = parent.node;
    for (size_t i = 0; node && i < names.size(); ++i) node = node->Child(names[i]);
    if (!node) return ERROR_FILE_NOT_FOUND;
    KeyPath path{parent.path.hive, node->PathFromRoot()};
    *phkResult = NewHandle(parent, std::move(path), node, samDesired);
    return ERROR_SUCCESS;
  });
}

namespace {

struct Creation {
  std::shared_ptr<RegNode> node;
  std::vector<std::u16string> createdObjects;  // security names of the new keys
  std::vector<std::u16string> deepestCreated;  // names from the root; its parents were made too
};

LSTATUS CreatePath(Target& parent, const std::vector<std::u16string>& names, bool isVolatile,
                   Creation& result) {
  std::shared_ptr<RegNode> node = parent.node;
  KeyPath path{parent.path.hive, node->PathFromRoot()};
  // Every name is checked before the first key is made: a refused path
  // leaves no keys behind.
  for (const auto& name : names) {
    if (!IsStorableKeyName(name)) return ERROR_INVALID_PARAMETER;
  }
  // Windows documents the depth of a tree (512 levels) but not the error
  // for a key beyond it; the stand-in answers as for other keys it cannot
  // store.
  if (path.names.size() + names.size() > kMaxKeyDepth) return ERROR_INVALID_PARAMETER;
  for (const auto& name : names) {
    std::shared_ptr<RegNode> child = node->Child(name);
    if (!child) {
      if (IsFixedLevel(path)) return ERROR_ACCESS_DENIED;
      if (node->Volatile() && !isVolatile) return ERROR_CHILD_MUST_BE_VOLATILE;
      child = node->AddChild(name);
      child->SetVolatile(isVolatile);
      path.names.push_back(child->Name());
      result.createdObjects.push_back(ObjectName(path));
      result.deepestCreated = path.names;
    } else {
      path.names.push_back(child->Name());
    }
    node = child;
  }
  result.node = node;
  return ERROR_SUCCESS;
}

// Records the attributes' descriptor for every key the creation made. When
// one cannot be recorded, the keys are taken out of the tree again (they
// were not stored yet) and what was recorded is forgotten.
LSTATUS RecordCreatedSecurity(const Creation& creation, const SECURITY_ATTRIBUTES* attributes) {
  for (const auto& object : creation.createdObjects) {
    const LSTATUS recorded = RecordKeySecurity(object, attributes);
    if (recorded == ERROR_SUCCESS) continue;
    RegNode* first = creation.node.get();
    for (size_t i = 1; i < creation.createdObjects.size(); ++i) first = first->Parent();
    const std::u16string name = first->Name();
    first->Parent()->RemoveChild(name);
    ForgetKeySecurity(creation.createdObjects.front());
    return recorded;
  }
  return ERROR_SUCCESS;
}

}  // namespace

LSTATUS WINAPI RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, LPWSTR, DWORD dwOptions,
                               REGSAM samDesired, const LPSECURITY_ATTRIBUTES lpSecurityAttributes,
                               PHKEY phkResult, LPDWORD lpdwDisposition) {
  // Windows documents that the subkey cannot be null, and refuses options
  // it does not define.
  constexpr DWORD kDefinedOptions = REG_OPTION_VOLATILE | REG_OPTION_CREATE_LINK |
                                    REG_OPTION_BACKUP_RESTORE | REG_OPTION_OPEN_LINK;
  if (!phkResult || !lpSubKey || (dwOptions & ~kDefinedOptions)) return ERROR_INVALID_PARAMETER;
  // Symbolic links between keys are not modelled.
  if (dwOptions & REG_OPTION_CREATE_LINK) return ERROR_NOT_SUPPORTED;
  PSECURITY_DESCRIPTOR descriptor =
      lpSecurityAttributes ? lpSecurityAttributes->lpSecurityDescriptor : nullptr;
  if (descriptor && !IsUsableKeySecurity(descriptor)) return ERROR_INVALID_SECURITY_DESCR;
  return Guarded([&]() -> LSTATUS {
    Target parent;
    if (LSTATUS status = Resolve(hKey, parent)) return status;
    std::vector<std::u16string> names;
    if (LSTATUS status = SplitSubKey(lpSubKey, names)) return status;
    Creation creation;
    LSTATUS status = CreatePath(parent, names, (dwOptions & REG_OPTION_VOLATILE) != 0, creation);
    bool created = !creation.createdObjects.empty();
    // The new keys' access lists are recorded before the keys are stored: a
    // list that cannot be recorded leaves no key without it.
    const bool secured = status == ERROR_SUCCESS && descriptor != nullptr;
    if (secured) {
      if (LSTATUS recorded = RecordCreatedSecurity(creation, lpSecurityAttributes)) return recorded;
    }
    if (created && !(dwOptions & REG_OPTION_VOLATILE)) {
      HiveChange change(parent.path.hive);
      change.CreateKey(creation.deepestCreated);
      LSTATUS saved = Persist(*parent.store, change);
      if (saved) {
        if (secured) ForgetKeySecurity(creation.createdObjects.front());
        return saved;
      }
    }
    if (status) return status;
    KeyPath path{parent.path.hive, creation.node->PathFromRoot()};
    *phkResult = NewHandle(parent, std::move(path), creation.node, samDesired);
    if (lpdwDisposition) *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
  });
}

LSTATUS WINAPI RegCloseKey(HKEY hKey) {
  if (IsPredefined(hKey)) return ERROR_SUCCESS;
  return Handles().Remove(hKey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LSTATUS WINAPI RegFlushKey(HKEY hKey) {
  // Every change is on disk already; only the handle is checked.
  return Guarded([&]() -> LSTATUS {
    Target target;
    return Resolve(hKey, target);
  });
}

LSTATUS WINAPI RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                                LPBYTE lpData, LPDWORD lpcbData) {
  if (lpReserved || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
  DWORD type = 0;
  std::vector<uint8_t> data;
  LSTATUS status = QueryValueData(hKey, ValueName(lpValueName), type, data);
  // Asked only for the size of a missing value, Windows reports none.
  if (status == ERROR_FILE_NOT_FOUND && !lpData && lpcbData) *lpcbData = 0;
  if (status) return status;
  return CopyValueOut(type, data, lpType, lpData, lpcbData);
}

LSTATUS WINAPI RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD, DWORD dwType,
                              const BYTE* lpData, DWORD cbData) {
  // Windows faults reading the missing data and reports it so.
  if (!lpData && cbData) return ERROR_NOACCESS;
  std::u16string_view name = ValueName(lpValueName);
  if (name.size() > kMaxValueNameLength) return ERROR_INVALID_PARAMETER;
  return Guarded([&]() -> LSTATUS {
    Target target;
    if (LSTATUS status = Resolve(hKey, target)) return status;
    if (!Has(target, KEY_SET_VALUE) || IsFixedLevel(target.path)) return ERROR_ACCESS_DENIED;
    target.node->SetValue(name, dwType, std::vector<uint8_t>(lpData, lpData + cbData));
    if (target.node->Volatile()) return ERROR_SUCCESS;
    HiveChange change(target.path.hive);
    change.SetValue(target.path.names, *target.node->Value(name));
    return Persist(*target.store, change);
  });
}

LSTATUS WINAPI RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName) {
  return Guarded([&]() -> LSTATUS {
    Target target;
    if (LSTATUS status = Resolve(hKey, target)) return status;
    if (!Has(target, KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    if (!target.node->RemoveValue(ValueName(lpValueName))) return ERROR_FILE_NOT_FOUND;
    if (target.node->Volatile()) return ERROR_SUCCESS;
    HiveChange change(target.path.hive);
    change.DeleteValue(target.path.names, ValueName(lpValueName));
    return Persist(*target.store, change);
  });
}

LSTATUS WINAPI RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey) {
  if (!lpSubKey) return ERROR_INVALID_PARAMETER;
  return Guarded([&]() -> LSTATUS {
    Target parent;
    if (LSTATUS status = Resolve(hKey, parent)) return status;
    std::vector<std::u16string> names;
    if (LSTATUS status = SplitSubKey(lpSubKey, names)) return status;
    std::shared_ptr<RegNode> node = parent.node;
    for (size_t i = 0; node && i < names.size(); ++i) node = node->Child(names[i]);
    if (!node) return ERROR_FILE_NOT_FOUND;
    KeyPath path{parent.path.hive, node->PathFromRoot()};
    // A key with subkeys and the keys Windows keeps are refused alike.
    if (CannotBeDeleted(path) || node->ChildCount() != 0) return ERROR_ACCESS_DENIED;
    bool wasVolatile = node->Volatile();
    node->Parent()->RemoveChild(node->Name());
    HiveChange change(parent.path.hive);
    change.DeleteKey(path.names);
    LSTATUS status = wasVolatile ? ERROR_SUCCESS : Persist(*parent.store, change);
    if (status == ERROR_SUCCESS) ForgetKeySecurity(ObjectName(path));
    return status;
  });
}

LSTATUS WINAPI RegQueryInfoKeyW(HKEY hKey, LPWSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved,
                                LPDWORD lpcSubKeys, LPDWORD lpcbMaxSubKeyLen,
                                LPDWORD lpcbMaxClassLen, LPDWORD lpcValues,
                                LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen,
                                LPDWORD lpcbSecurityDescriptor, PFILETIME lpftLastWriteTime) {
  if (lpReserved || (lpClass && !lpcchClass)) return ERROR_INVALID_PARAMETER;
  return Guarded([&]() -> LSTATUS {
    Target target;
    if (LSTATUS status = Resolve(hKey, target)) return status;
    if (!Has(target, KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    // Keys have no class here; the write time and descriptor size are not kept.
    if (lpClass && *lpcchClass) lpClass[0] = 0;
    if (lpcchClass) *lpcchClass = 0;
    if (lpcbMaxClassLen) *lpcbMaxClassLen = 0;
    if (lpcbSecurityDescriptor) *lpcbSecurityDescriptor = 0;
    if (lpftLastWriteTime) *lpftLastWriteTime = FILETIME{0, 0};
    DWORD maxKey = 0, maxName = 0, maxData = 0;
    for (const auto& child : target.node->Children()) {
      maxKey = std::max<DWORD>(maxKey, static_cast<DWORD>(child->Name().size()));
    }
    for (const RegValue& value : target.node->Values()) {
      maxName = std::max<DWORD>(maxName, static_cast<DWORD>(value.name.size()));
      maxData = std::max<DWORD>(maxData, static_cast<DWORD>(value.data.size()));
    }
    if (lpcSubKeys) *lpcSubKeys = static_cast<DWORD>(target.node->ChildCount());
    if (lpcbMaxSubKeyLen) *lpcbMaxSubKeyLen = maxKey;
    if (lpcValues) *lpcValues = static_cast<DWORD>(target.node->Values().size());
    if (lpcbMaxValueNameLen) *lpcbMaxValueNameLen = maxName;
    if (lpcbMaxValueLen) *lpcbMaxValueLen = maxData;
    return ERROR_SUCCESS;
  });
}

namespace {

// Copies a name with its terminating zero when it fits; otherwise nothing is written.
LSTATUS CopyName(const std::u16string& name, LPWSTR buffer, LPDWORD capacity) {
  if (*capacity <= name.size()) return ERROR_MORE_DATA;
  std::memcpy(buffer, name.c_str(), (name.size() + 1) * sizeof(char16_t));
  *capacity = static_cast<DWORD>(name.size());
  return ERROR_SUCCESS;
}

}  // namespace

LSTATUS WINAPI RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName,
                             LPDWORD lpReserved, LPWSTR lpClass, LPDWORD lpcchClass,
                             PFILETIME lpftLastWriteTime) {
  if (lpReserved || !lpName || !lpcchName || (lpClass && !lpcchClass)) {
    return ERROR_INVALID_PARAMETER;
  }
  return Guarded([&]() -> LSTATUS {
    Target target;
    if (LSTATUS status = Resolve(hKey, target)) return status;
    if (!Has(target, KEY_ENUMERATE_SUB_KEYS)) return ERROR_ACCESS_DENIED;
    auto children = target.node->Children();
    if (dwIndex >= children.size()) return ERROR_NO_MORE_ITEMS;
    if (LSTATUS status = CopyName(children[dwIndex]->Name(), lpName, lpcchName)) return status;
    if (lpClass && *lpcchClass) lpClass[0] = 0;
    if (lpcchClass) *lpcchClass = 0;
    if (lpftLastWriteTime) *lpftLastWriteTime = FILETIME{0, 0};
    return ERROR_SUCCESS;
  });
}

LSTATUS WINAPI RegEnumValueW(HKEY hKey, DWORD dwIndex, LPWSTR lpValueName, LPDWORD lpcchValueName,
                             LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
  if (lpReserved || !lpValueName || !lpcchValueName || (lpData && !lpcbData)) {
    return ERROR_INVALID_PARAMETER;
  }
  return Guarded([&]() -> LSTATUS {
    Target target;
    if (LSTATUS status = Resolve(hKey, target)) return status;
    if (!Has(target, KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    const auto& values = target.node->Values();
    if (dwIndex >= values.size()) return ERROR_NO_MORE_ITEMS;
    const RegValue& value = values[dwIndex];
    if (LSTATUS status = CopyName(value.name, lpValueName, lpcchValueName)) {
      // The name does not fit: Windows still reports the type and the size
      // the data needs, and copies no data.
      if (lpType) *lpType = value.type;
      if (lpcbData) *lpcbData = static_cast<DWORD>(value.data.size());
      return status;
    }
    return CopyValueOut(value.type, value.data, lpType, lpData, lpcbData);
  });
}

namespace machine::registry {

void ImportRegFile(std::string_view bytes, const std::string& fileNameForErrors) {
  Machine& machine = RequireMachine();
  std::lock_guard<machine::ImageLock> lock(machine.Lock());
  RegFile file = ParseRegFile(bytes, fileNameForErrors);
  Store::Current()->Apply(file, fileNameForErrors);
  for (const RegFileKey& key : file.keys) {
    KeyPath path;
    if (key.remove && ParseRootedPath(key.path, path)) ForgetKeySecurity(ObjectName(path));
  }
}

bool ExportKeyText(std::u16string_view rootedPath, std::u16string_view newline,
                   std::u16string& text) {
  Machine& machine = RequireMachine();
  std::lock_guard<machine::ImageLock> lock(machine.Lock());
  KeyPath path;
  if (!ParseRootedPath(rootedPath, path)) return false;
  Store* store = Store::Current();
  std::shared_ptr<RegNode> node = store->Find(path);
  if (!node) return false;
  // Names as stored, below the root written in full as the Windows editor does.
  std::u16string_view first = rootedPath.substr(0, rootedPath.find(u'\\'));
  bool classes = EqualNoCase(first, u"HKCR") || EqualNoCase(first, u"HKEY_CLASSES_ROOT");
  std::u16string shown(classes ? u"HKEY_CLASSES_ROOT" : InfoOf(path.hive).rootName);
  std::vector<std::u16string> names = node->PathFromRoot();
  for (size_t i = classes ? 2 : 0; i < names.size(); ++i) shown += u"\\" + names[i];
  text = store->Export(path, shown, newline);
  return true;
}

}  // namespace machine::registry
