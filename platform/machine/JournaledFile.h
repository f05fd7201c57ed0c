// A file of the image whose changes cost what they change: the file itself
// (the base) plus a write-ahead journal beside it, "<file>.log", to which
// each change appends one record in the file's own syntax. Readers apply the
// journal after the base; a reader that saw the journal before applies only
// what was added since, so another process's small change costs it little.
// Once the journal has grown past max(64 KiB, half the base) the owner's
// whole text replaces the base and the journal goes.
//
//   ; journal base 1234 89abcdef     the base it belongs to: size and CRC-32
//   ; record 52 0a1b2c3d             one record: its length and CRC-32,
//   [HKEY_LOCAL_MACHINE\SOFTWARE\x]  then exactly that many bytes
//   "Count"=dword:00000001
//
// Durability: a record is written with one write() and no fsync, so a
// process that is killed has lost nothing it reported; folding writes the
// base atomically with fsync. After any crash the file reads as an earlier
// consistent state:
// - a torn last record fails its length or CRC and is ignored (and cut off
//   by the next writer);
// - a journal whose header names another base (the base was replaced
//   after it, by a fold that died before removing it or by a person) is
//   ignored.
//
// Not thread-safe; every call runs under the image's lock (ImageLock.h).
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace machine {

struct FileInfo;

class JournaledFile {
 public:
  JournaledFile() = default;
  explicit JournaledFile(std::filesystem::path base);

  const std::filesystem::path& Base() const { return base_; }
  std::filesystem::path Journal() const;

  // What changed on disk since this object last read or wrote the file.
  struct Changes {
    // True: start again from `base` (a missing file reads as empty), then
    // apply `records`. False: apply `records` to what was read before.
    bool whole = false;
    std::string base;
    std::vector<std::string> records;
  };
  Changes Refresh();
  // The next Refresh reads everything again (after a failed change).
  void Forget();

  // Appends one change that the owner has already made in what it holds,
  // after Refresh under the same lock; folds when the journal is due, with
  // `wholeText` giving the owner's complete text. Throws MachineError.
  void Append(std::string_view record, const std::function<std::string()>& wholeText);
  // Replaces the base by `text` and removes the journal.
  void Replace(std::string_view text);
  // Folds a journal that holds records; removes one that does not belong
  // to the base. Call after Refresh.
  void Fold(const std::function<std::string()>& wholeText);

 private:
  Changes ReadWhole();
  // Reads the journal when it belongs to the base as read, else notes it
  // as one to ignore.
  void ReadJournal(const FileInfo& journal, std::vector<std::string>& records);
  // Takes the journal's records from `bytes` (read from `offset` on);
  // returns how many bytes hold whole records.
  static uint64_t ParseRecords(std::string_view bytes, std::vector<std::string>& records);
  std::string Header() const;
  void RemoveLeftoversOnce();
  bool IsCurrentJournal(uint64_t device, uint64_t inode) const;

  std::filesystem::path base_;
  bool loaded_ = false;
  std::string baseStamp_;
  uint64_t baseSize_ = 0;
  uint32_t baseCrc_ = 0;
  // The journal as read: its identity and the length of its whole records
  // (header included); 0 while there is no journal of this base.
  uint64_t journalDevice_ = 0;
  uint64_t journalInode_ = 0;
  uint64_t journalLength_ = 0;
  // A journal of another base, by identity and size, so that it is not
  // read again and again.
  std::string ignoredJournal_;
  std::string folderStamp_;  // the folder when left-overs were last removed
};

}  // namespace machine
