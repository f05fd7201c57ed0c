// The registry of the selected machine image: three hives kept as registry
// export text in registry/HKLM.reg, HKCU.reg and HKU.reg (UTF-8, LF line
// ends, so that a person can read and diff them).
//
// A hive is read on first use and brought up to date whenever its file
// changed on disk (another process wrote it). Every change is written at
// once as a record in export syntax appended to the hive's journal,
// registry/HKLM.reg.log (machine/JournaledFile.h), which is folded into the
// hive file when it has grown; a second process never sees half a change.
// A missing file is an empty hive. HKEY_LOCAL_MACHINE always holds SOFTWARE and SYSTEM, which,
// as on Windows, can be neither deleted nor added to at that level.
//
// Callers hold the machine's lock around every use of the store.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/machine/JournaledFile.h"
#include "platform/registry/RegFileText.h"
#include "platform/registry/RegistryTree.h"

namespace machine {
class Machine;
}

namespace machine::registry {

enum class Hive { LocalMachine = 0, CurrentUser = 1, Users = 2 };
inline constexpr size_t kHiveCount = 3;

struct HiveInfo {
  Hive hive;
  const char* fileName;            // below registry/
  std::u16string_view rootName;    // in export files: HKEY_LOCAL_MACHINE
  std::u16string_view shortName;   // HKLM
  std::u16string_view objectName;  // for the security functions: MACHINE
};
const HiveInfo& InfoOf(Hive hive);

// A key addressed from a hive's root by its names.
struct KeyPath {
  Hive hive = Hive::LocalMachine;
  std::vector<std::u16string> names;
};

// "HKEY_LOCAL_MACHINE\SOFTWARE\x", "HKLM\SOFTWARE\x", and HKEY_CLASSES_ROOT /
// HKCR, which lead to HKEY_LOCAL_MACHINE\SOFTWARE\Classes. False for an
// unknown root or an empty name inside the path.
bool ParseRootedPath(std::u16string_view path, KeyPath& result);
// The security functions' names: "MACHINE\SOFTWARE\x", "CURRENT_USER\...",
// "USERS\...", "CLASSES_ROOT\...".
bool ParseObjectName(std::u16string_view objectName, KeyPath& result);
std::u16string ObjectName(const KeyPath& path);
std::u16string RootedName(const KeyPath& path);  // HKEY_LOCAL_MACHINE\...

class Store {
 public:
  // The store of the selected machine, created or replaced when another
  // image was selected; null without a selected machine.
  static Store* Current();

  const std::filesystem::path& MachineRoot() const { return root_; }
  // Identifies this store: handles opened in another store are invalid.
  uint64_t Id() const { return id_; }

  // The hive's root, brought up to date first when its files changed.
  // Throws MachineError when a file is malformed.
  RegNode& Root(Hive hive);
  // Counts the re-reads of a hive: nodes of an older reading are stale.
  // Changes that another process appended are applied to the nodes in
  // place and leave it as it is.
  uint64_t Generation(Hive hive) const { return hives_[Index(hive)].generation; }
  // The key at the path, or null.
  std::shared_ptr<RegNode> Find(const KeyPath& path);
  // Writes one change already made in memory: `change` holds sections in
  // export syntax (HiveChange). Throws MachineError.
  void Save(Hive hive, std::u16string_view change);
  // Drops what is in memory: the next use reads the file again.
  void Invalidate(Hive hive);
  // Folds the hives' journals into their files (machine::FoldJournals).
  static void FoldJournals(const std::filesystem::path& machineRoot);

  // Applies a parsed export file: checks every key first and changes nothing
  // when one is refused, then saves each hive it touched. Throws MachineError
  // naming fileNameForErrors and the line.
  void Apply(const RegFile& file, const std::string& fileNameForErrors);
  // Export text of the key at `path` and its subtree, named by `shownPath`.
  std::u16string Export(const KeyPath& path, const std::u16string& shownPath,
                        std::u16string_view newline);

 private:
  struct HiveState {
    std::shared_ptr<RegNode> root;
    bool loaded = false;
    uint64_t generation = 0;
    JournaledFile file;
  };

  explicit Store(std::filesystem::path root);
  static size_t Index(Hive hive) { return static_cast<size_t>(hive); }
  std::filesystem::path FileOf(Hive hive) const;
  void Load(Hive hive, const JournaledFile::Changes& changes);
  void ApplyText(RegNode& root, Hive hive, std::string_view text, const std::string& fileName);
  // Journal records (export fragments without the header line), in order.
  void ApplyRecords(RegNode& root, Hive hive, const std::vector<std::string>& records);
  void Fold(Hive hive);
  std::u16string HiveText(Hive hive);

  std::filesystem::path root_;
  uint64_t id_;
  std::array<HiveState, kHiveCount> hives_;
};

// The hive a hive file's bytes describe. Throws MachineError naming
// fileNameForErrors and the line.
std::shared_ptr<RegNode> ReadHive(Hive hive, std::string_view bytes,
                                  const std::string& fileNameForErrors);
// The text a hive file holds, which ReadHive reads back unchanged.
std::u16string HiveFileText(const RegNode& root, Hive hive);

// One change of a hive as its journal records it: sections in export
// syntax, replayed in order by ParseRegFile's rules.
class HiveChange {
 public:
  explicit HiveChange(Hive hive) : hive_(hive) {}
  void CreateKey(const std::vector<std::u16string>& names);
  void DeleteKey(const std::vector<std::u16string>& names);
  void SetValue(const std::vector<std::u16string>& names, const RegValue& value);
  void DeleteValue(const std::vector<std::u16string>& names, std::u16string_view name);
  // Sections of a parsed export file for this hive, as they stand.
  void Add(const KeyPath& path, const RegFileKey& key);
  const std::u16string& Text() const { return text_; }
  Hive HiveOf() const { return hive_; }

 private:
  void Section(const std::vector<std::u16string>& names, bool remove);
  Hive hive_;
  std::u16string text_;
};

// HKEY_LOCAL_MACHINE's own level is fixed: its keys are hives of their own.
bool IsFixedLevel(const KeyPath& parent);
// A hive's root, the keys of that fixed level and HKEY_CLASSES_ROOT's key.
bool CannotBeDeleted(const KeyPath& path);

}  // namespace machine::registry
