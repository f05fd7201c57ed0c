// The machine image: one simulated Windows server kept in a host directory
// as plain, diffable files. Everything of the Windows stand-in reads and
// writes its state through this header; nothing outside platform/ and tools/
// should need it.
//
// Layout of an image (a contract for every part of the stand-in):
//   machine.ini           settings: [environment] [folders] [disk], and the
//                         accounts (format in platform/security/Accounts.h)
//   drive_c/              drive C: (drive_d/ is D:, and so on)
//   unc/SERVER/SHARE/     \\SERVER\SHARE
//   registry/HKLM.reg     hives in Windows registry export syntax (UTF-8),
//   registry/HKLM.reg.log   each with the journal of its latest changes
//   security.sddl         access lists, one object a line (and .log)
//   services.ini          services and their states (and .log)
//   shell.log             what the shell was asked to do
//   .machine.lock         the lock other processes honour (ImageLock.h)
// Every file of the image is replaced atomically (WriteFileAtomically) while
// the image's lock is held; files that change often in small steps append
// their changes to a journal instead (machine/JournaledFile.h), which
// FoldJournals folds in for those who look at the files themselves.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/machine/ImageLock.h"
#include "platform/machine/UniqueFd.h"

namespace machine {

// A machine image could not be selected or one of its files is malformed.
class MachineError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// An INI file: sections and keys match without regard to case and keep their
// case and order; comments (';' or '#') and blank lines are kept on save.
// Errors name the file and line.
class IniFile {
 public:
  static IniFile Parse(std::string_view text, const std::string& fileNameForErrors);
  static IniFile Load(const std::filesystem::path& path);  // missing file: empty
  std::string Serialize() const;
  void Save(const std::filesystem::path& path) const;  // atomically

  bool HasSection(std::string_view section) const;
  // The section's name as the file spells it; null when there is none.
  const std::string* SectionName(std::string_view section) const;
  const std::string* Get(std::string_view section, std::string_view key) const;
  std::string GetOr(std::string_view section, std::string_view key,
                    std::string_view fallback) const;
  void Set(std::string_view section, std::string_view key, std::string_view value);
  bool Remove(std::string_view section, std::string_view key);
  bool RemoveSection(std::string_view section);
  std::vector<std::string> Sections() const;
  // Keys and values of one section in file order.
  std::vector<std::pair<std::string, std::string>> Entries(std::string_view section) const;
  // Where a key was read, "FILE:LINE", for messages about its value; only
  // the file for a key set since, and `unnamed` for text that came from no
  // file.
  std::string Where(std::string_view section, std::string_view key, std::string_view unnamed) const;

 private:
  struct Line {
    std::string key;  // empty for comments and blank lines
    std::string value;
    std::string raw;    // comment or blank text as read
    size_t number = 0;  // its line in the file; 0 when set since
  };
  struct Section {
    std::string name;
    std::vector<Line> lines;
    std::unordered_map<std::string, size_t> keys;  // folded key name -> its line
    const Line* Find(std::string_view key) const;
    void Reindex();
  };
  Section* FindSection(std::string_view name);
  const Section* FindSection(std::string_view name) const;
  Section& AddSection(std::string_view name);
  std::vector<Line> preamble_;
  std::vector<Section> sections_;
  std::unordered_map<std::string, size_t> sectionIndex_;  // folded name -> section
  std::string fileName_;                                  // as Parse was given it
};

class Machine {
 public:
  explicit Machine(std::filesystem::path root);  // throws MachineError without machine.ini

  const std::filesystem::path& Root() const { return root_; }
  // The root held open since selection: every walk into the image starts
  // here (machine/ConfinedWalk.h).
  const SharedFd& RootFd() const { return rootFd_; }
  std::filesystem::path File(std::string_view relative) const { return root_ / relative; }

  // machine.ini as loaded at selection; SaveSettings writes it back.
  IniFile& Settings() { return settings_; }
  const IniFile& Settings() const { return settings_; }
  void SaveSettings() const;

  // Serialises the stand-in's changes to the image's files between threads
  // and processes (machine/ImageLock.h).
  ImageLock& Lock() { return lock_; }

 private:
  std::filesystem::path root_;
  SharedFd rootFd_;
  IniFile settings_;
  ImageLock lock_;
};

// Selects the image for the process: explicitly, or from QUAVER_MACHINE.
// Selecting seeds the process environment from [environment] and sets the
// current directory to C:\.
void SelectMachine(const std::filesystem::path& root);
// Selects from QUAVER_MACHINE when it is set; returns false when it is not.
bool SelectMachineFromEnvironment();
void DeselectMachine();
// The selected image or null. RequireMachine throws MachineError with a text
// telling how to select one; there is never a silent default.
Machine* CurrentMachine();
Machine& RequireMachine();

// The image's files by host path. A path inside the selected image is
// reached from the image root by a walk that nothing leads out of
// (machine/ConfinedWalk.h): below drive_X/ and unc/ links are followed as
// Windows follows them, but only within the image's drives and shares;
// among the image's own files (machine.ini, registry/, security.sddl, ...)
// a symbolic link is refused. Any other path (a file of the tools' own, an
// image not yet selected) is the host's, as given. Failures throw
// MachineError, naming the path.
//
// WriteFileAtomically writes bytes to a temporary file beside the target
// and renames it over the target, so a crash never leaves a half-written
// file, and a second name (hard link) of the old file keeps the old bytes.
// Creates missing parent directories.
void WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes);
std::string ReadWholeFile(const std::filesystem::path& path);
// False only when nothing is there; a name the walk refuses counts as
// present, so that reading it reports why.
bool FileExists(const std::filesystem::path& path);
// Removes a file (a link itself, never what it names); false when there was
// none or it could not be removed.
bool RemoveFile(const std::filesystem::path& path);
struct FolderEntry {
  std::string name;
  bool isFile = false;  // a regular file (links are not followed)
  struct timespec modified {};
};
// The entries of a folder; none when it is missing or refused.
std::vector<FolderEntry> ListFolderEntries(const std::filesystem::path& folder);
// Removes the temporary files that writers of `path` left when they died
// (WriteFileAtomically does so before each write).
void RemoveLeftovers(const std::filesystem::path& path);

// The host file primitives that journals (machine/JournaledFile.h) need.
// Each throws MachineError on failure.
struct FileInfo {
  bool exists = false;  // false for a missing file; the rest is then 0
  uint64_t device = 0;
  uint64_t inode = 0;
  uint64_t size = 0;
};
FileInfo InspectFile(const std::filesystem::path& path);
// The bytes from `offset` to the end.
std::string ReadFileFrom(const std::filesystem::path& path, uint64_t offset);
// Appends at the end, creating a missing file; after a failure the file is
// as long as before.
void AppendToFile(const std::filesystem::path& path, std::string_view bytes);
void TruncateFile(const std::filesystem::path& path, uint64_t size);
// AppendToFile and TruncateFile change a file in place, so they refuse one
// with a second name (a hard link).

// Folds every journal of the image at `root` into its file, so that the
// files alone hold the image's state: for showing, comparing or copying an
// image file by file. Takes the image's lock. Throws MachineError when a
// journaled file cannot be read or written.
void FoldJournals(const std::filesystem::path& root);

// Creates a new image with the folders and machine.ini of a fresh server.
// Registry, services and accounts add their defaults to it as they arrive.
void CreateImage(const std::filesystem::path& root);

}  // namespace machine
