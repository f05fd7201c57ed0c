#include "platform/machine/JournaledFile.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>

#include "platform/machine.h"

namespace machine {
namespace {

constexpr std::string_view kHeaderStart = "; journal base ";
constexpr std::string_view kRecordStart = "; record ";
constexpr uint64_t kFoldMinimum = 64 * 1024;

uint32_t Crc(std::string_view bytes) {
  uLong crc = crc32(0L, Z_NULL, 0);
  // zlib takes lengths as uInt: long texts go in pieces.
  while (!bytes.empty()) {
    const size_t piece = std::min<size_t>(bytes.size(), 1u << 30);
    crc = crc32(crc, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(piece));
    bytes.remove_prefix(piece);
  }
  return static_cast<uint32_t>(crc);
}

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%08x", value);
  return text;
}

// Reads "<decimal> <8 hex digits>\n" after `prefix` at the start of `bytes`;
// `used` is the length up to and including the line end.
bool ReadFrameLine(std::string_view bytes, std::string_view prefix, uint64_t& number, uint32_t& crc,
                   size_t& used) {
  if (bytes.substr(0, prefix.size()) != prefix) return false;
  const size_t end = bytes.find('\n');
  if (end == std::string_view::npos) return false;
  std::string_view rest = bytes.substr(prefix.size(), end - prefix.size());
  const size_t space = rest.find(' ');
  if (space == 0 || space == std::string_view::npos || space > 19) return false;
  std::string_view digits = rest.substr(0, space), hex = rest.substr(space + 1);
  if (hex.size() != 8) return false;
  number = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
    number = number * 10 + static_cast<uint64_t>(c - '0');
  }
  crc = 0;
  for (char c : hex) {
    int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    if (digit < 0) return false;
    crc = crc << 4 | static_cast<uint32_t>(digit);
  }
  used = end + 1;
  return true;
}

std::string IdentityOf(const FileInfo& file) {
  return std::to_string(file.device) + ":" + std::to_string(file.inode) + ":" +
         std::to_string(file.size);
}

}  // namespace

JournaledFile::JournaledFile(std::filesystem::path base) : base_(std::move(base)) {}

std::filesystem::path JournaledFile::Journal() const {
  std::filesystem::path journal = base_;
  journal += ".log";
  return journal;
}

std::string JournaledFile::Header() const {
  return std::string(kHeaderStart) + std::to_string(baseSize_) + " " + Hex(baseCrc_) + "\n";
}

bool JournaledFile::IsCurrentJournal(uint64_t device, uint64_t inode) const {
  return journalLength_ > 0 && device == journalDevice_ && inode == journalInode_;
}

void JournaledFile::Forget() { loaded_ = false; }

uint64_t JournaledFile::ParseRecords(std::string_view bytes, std::vector<std::string>& records) {
  uint64_t used = 0;
  for (;;) {
    uint64_t length = 0;
    uint32_t crc = 0;
    size_t frame = 0;
    if (!ReadFrameLine(bytes, kRecordStart, length, crc, frame)) break;
    if (length > bytes.size() - frame) break;
    std::string_view payload = bytes.substr(frame, length);
    if (Crc(payload) != crc) break;
    records.emplace_back(payload);
    bytes.remove_prefix(frame + length);
    used += frame + length;
  }
  return used;
}

void JournaledFile::ReadJournal(const FileInfo& journal, std::vector<std::string>& records) {
  const std::string bytes = ReadWholeFile(Journal());
  uint64_t size = 0;
  uint32_t crc = 0;
  size_t header = 0;
  if (ReadFrameLine(bytes, kHeaderStart, size, crc, header) && size == baseSize_ &&
      crc == baseCrc_) {
    journalLength_ = header + ParseRecords(std::string_view(bytes).substr(header), records);
    journalDevice_ = journal.device;
    journalInode_ = journal.inode;
  } else {
    ignoredJournal_ = IdentityOf(journal);
  }
}

JournaledFile::Changes JournaledFile::ReadWhole() {
  Changes changes;
  changes.whole = true;
  loaded_ = false;
  baseStamp_ = StampOf(base_);
  if (baseStamp_ != "missing") changes.base = ReadWholeFile(base_);
  baseSize_ = changes.base.size();
  baseCrc_ = Crc(changes.base);
  journalLength_ = 0;
  ignoredJournal_.clear();
  const FileInfo journal = InspectFile(Journal());
  if (journal.exists) ReadJournal(journal, changes.records);
  loaded_ = true;
  return changes;
}

JournaledFile::Changes JournaledFile::Refresh() {
  if (!loaded_ || StampOf(base_) != baseStamp_) return ReadWhole();
  const FileInfo journal = InspectFile(Journal());
  if (!journal.exists) {
    // Only a fold removes a journal, and it replaces the base first.
    if (journalLength_ > 0) return ReadWhole();
    ignoredJournal_.clear();
    return {};
  }
  if (IsCurrentJournal(journal.device, journal.inode) && journal.size >= journalLength_) {
    Changes changes;
    if (journal.size == journalLength_) return changes;
    const std::string tail = ReadFileFrom(Journal(), journalLength_);
    journalLength_ += ParseRecords(tail, changes.records);
    return changes;
  }
  if (journalLength_ > 0) return ReadWhole();  // changed in a way appending cannot
  // A journal begun since over the base as read: all of it is new.
  Changes changes;
  if (IdentityOf(journal) != ignoredJournal_) ReadJournal(journal, changes.records);
  return changes;
}

void JournaledFile::Append(std::string_view record, const std::function<std::string()>& wholeText) {
  std::string payload(record);
  if (payload.empty() || payload.back() != '\n') payload += '\n';
  const std::string frame = std::string(kRecordStart) + std::to_string(payload.size()) + " " +
                            Hex(Crc(payload)) + "\n" + payload;
  RemoveLeftoversOnce();
  const FileInfo journal = InspectFile(Journal());
  if (!journal.exists || !IsCurrentJournal(journal.device, journal.inode)) {
    // The first record of this base: the journal is made whole or not at all.
    const std::string text = Header() + frame;
    WriteFileAtomically(Journal(), text);
    const FileInfo made = InspectFile(Journal());
    journalDevice_ = made.device;
    journalInode_ = made.inode;
    journalLength_ = text.size();
    ignoredJournal_.clear();
  } else {
    // A writer killed midway left a torn record after the last whole one.
    if (journal.size != journalLength_) TruncateFile(Journal(), journalLength_);
    AppendToFile(Journal(), frame);
    journalLength_ += frame.size();
  }
  if (journalLength_ > std::max<uint64_t>(kFoldMinimum, baseSize_ / 2)) Replace(wholeText());
}

// The base is written rarely, so the temporary files that killed writers
// of it or of the journal left are looked for at every change; a look at
// the folder tells whether any file could have come since the last time.
void JournaledFile::RemoveLeftoversOnce() {
  const std::filesystem::path folder = base_.parent_path();
  if (StampOf(folder) == folderStamp_) return;
  RemoveLeftovers(base_);
  RemoveLeftovers(Journal());
  folderStamp_ = StampOf(folder);
}

void JournaledFile::Replace(std::string_view text) {
  WriteFileAtomically(base_, text);
  baseStamp_ = StampOf(base_);
  baseSize_ = text.size();
  baseCrc_ = Crc(text);
  journalLength_ = 0;
  ignoredJournal_.clear();
  loaded_ = true;
  // From here on a journal left behind names another base: it is ignored.
  RemoveFile(Journal());
}

void JournaledFile::Fold(const std::function<std::string()>& wholeText) {
  if (journalLength_ > 0) {
    Replace(wholeText());
  } else if (InspectFile(Journal()).exists) {
    RemoveFile(Journal());
    ignoredJournal_.clear();
  }
}

}  // namespace machine
