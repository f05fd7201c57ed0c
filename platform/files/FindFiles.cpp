// FindFirstFileW / FindNextFileW / FindClose over a folder of the image.
// The search takes a snapshot of the matching names when it starts.
//
// Deviations from Windows: there are no 8.3 short names (cAlternateFileName
// is empty and patterns match long names only); of the DOS wildcard rules
// only "*.*" meaning "everything" is kept; the creation time is the host's
// modification time.
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/files/FileTimes.h"
#include "platform/handles.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/win/errors.h"
#include "platform/win/fileapi.h"

namespace {

// Taken when the search starts, with the rest of the snapshot.
struct Entry {
  std::u16string name;
  bool known = false;  // `info` holds the object's (a link's target's) details
  bool isLink = false;
  struct stat info {};
};

class FindObject : public machine::HandleObject {
 public:
  explicit FindObject(std::vector<Entry> entries) : entries(std::move(entries)) {}
  std::vector<Entry> entries;
  size_t next = 0;
  std::mutex lock;
};

template <typename T>
T Fail(DWORD error, T result) {
  SetLastError(error);
  return result;
}

// Host names that cannot be Windows names (a separator, a colon, ...) are
// not shown rather than shown wrongly.
bool RepresentableName(std::u16string_view name) {
  if (name.empty() || name.size() >= MAX_PATH) return false;
  return std::none_of(name.begin(), name.end(), [](char16_t c) {
    return c < 0x20 || std::u16string_view(u"\\/:*?\"<>|").find(c) != std::u16string_view::npos;
  });
}

using machine::files::FileTimeOf;

void Fill(const Entry& entry, WIN32_FIND_DATAW& data) {
  std::memset(&data, 0, sizeof data);
  const struct stat& st = entry.info;
  const bool isDir = entry.known && S_ISDIR(st.st_mode);
  data.dwFileAttributes = isDir ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
  if (entry.isLink) data.dwFileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
  if (entry.known) {
    data.ftLastWriteTime = FileTimeOf(st.st_mtim);
    data.ftCreationTime = data.ftLastWriteTime;
    data.ftLastAccessTime = FileTimeOf(st.st_atim);
    if (!isDir) {
      const auto size = static_cast<uint64_t>(st.st_size);
      data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
      data.nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFFu);
    }
  }
  std::copy(entry.name.begin(), entry.name.end(), data.cFileName);
}

// A link is described by what it leads to, found by the image's rules; one
// that leads out of the image or nowhere shows as a link and nothing more.
Entry Describe(int folder, const std::string& hostName, std::u16string name,
               const machine::ResolvedPath& search) {
  Entry entry{std::move(name)};
  if (::fstatat(folder, hostName.c_str(), &entry.info, AT_SYMLINK_NOFOLLOW) != 0) return entry;
  entry.known = true;
  entry.isLink = S_ISLNK(entry.info.st_mode);
  if (entry.isLink) {
    machine::ResolvedPath link;
    std::u16string path = search.windows;
    if (path.back() != u'\\') path += u'\\';
    entry.known =
        machine::ResolveWindowsPath(path + entry.name, link) == ERROR_SUCCESS && link.exists;
    if (entry.known) entry.info = link.target.info;
  }
  return entry;
}

std::vector<Entry> Collect(const machine::ResolvedPath& folder, std::u16string_view pattern) {
  std::vector<Entry> found;
  const machine::UniqueFd fd(machine::OpenResolvedFolder(folder));
  if (!fd.Valid()) return found;
  for (const std::string& hostName : machine::ListFolder(fd.Get())) {
    std::u16string name = machine::FromUtf8(hostName);
    if (RepresentableName(name) && machine::MatchesWildcard(name, pattern, true)) {
      found.push_back(Describe(fd.Get(), hostName, std::move(name), folder));
    }
  }
  std::sort(found.begin(), found.end(), [](const Entry& a, const Entry& b) {
    return machine::CompareNoCase(a.name, b.name) < 0;
  });
  // Every folder but a root lists itself and its parent first.
  if (!folder.isRoot) {
    std::vector<Entry> dots;
    if (machine::MatchesWildcard(u".", pattern, true)) {
      Entry self{u".", true};
      self.known = ::fstat(fd.Get(), &self.info) == 0;
      dots.push_back(self);
    }
    if (machine::MatchesWildcard(u"..", pattern, true)) {
      Entry parent{u"..", true};
      parent.known = ::fstat(folder.target.folder->Get(), &parent.info) == 0;
      dots.push_back(parent);
    }
    found.insert(found.begin(), dots.begin(), dots.end());
  }
  return found;
}

}  // namespace

HANDLE WINAPI FindFirstFileW(LPCWSTR lpFileName, LPWIN32_FIND_DATAW lpFindFileData) {
  if (lpFileName == nullptr || lpFindFileData == nullptr) {
    return Fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
  }
  const std::u16string_view text(lpFileName);
  // A pattern naming a folder with a trailing separator (or a root) has no name to match.
  if (!text.empty() && (text.back() == u'\\' || text.back() == u'/')) {
    return Fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
  }
  std::u16string full;
  if (const DWORD error =
          machine::FullWindowsPath(text, full, machine::Wildcards::AllowInLastComponent)) {
    return Fail(error, INVALID_HANDLE_VALUE);
  }
  const size_t cut = full.rfind(u'\\');
  std::u16string folderPath = full.substr(0, cut);
  std::u16string pattern = full.substr(cut + 1);
  if (pattern.empty()) return Fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
  if (folderPath.size() == 2 && folderPath[1] == u':') folderPath += u'\\';
  // assign() rather than = u"*": GCC 12 warns falsely (-Wrestrict) on the literal form at -O2.
  if (pattern == u"*.*") pattern.assign(1, u'*');
  machine::ResolvedPath folder;
  if (const DWORD error = machine::ResolveWindowsPath(folderPath, folder)) {
    return Fail(error, INVALID_HANDLE_VALUE);
  }
  if (!folder.exists || !folder.isDirectory)
    return Fail(ERROR_PATH_NOT_FOUND, INVALID_HANDLE_VALUE);
  auto search = std::make_shared<FindObject>(Collect(folder, pattern));
  if (search->entries.empty()) return Fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
  Fill(search->entries[0], *lpFindFileData);
  search->next = 1;
  return machine::RegisterHandle(search);
}

BOOL WINAPI FindNextFileW(HANDLE hFindFile, LPWIN32_FIND_DATAW lpFindFileData) {
  const auto search = machine::LookupHandle<FindObject>(hFindFile);
  if (!search) return Fail(ERROR_INVALID_HANDLE, FALSE);
  if (lpFindFileData == nullptr) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  std::lock_guard<std::mutex> guard(search->lock);
  if (search->next >= search->entries.size()) return Fail(ERROR_NO_MORE_FILES, FALSE);
  Fill(search->entries[search->next++], *lpFindFileData);
  return TRUE;
}

BOOL WINAPI FindClose(HANDLE hFindFile) {
  if (!machine::UnregisterHandleOf<FindObject>(hFindFile)) return Fail(ERROR_INVALID_HANDLE, FALSE);
  return TRUE;
}
