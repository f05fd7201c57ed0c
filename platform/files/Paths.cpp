#include "platform/paths.h"

#include <mutex>
#include <vector>

#include "platform/files/CurrentDirectory.h"
#include "platform/files/HostErrors.h"
#include "platform/machine.h"
#include "platform/text.h"
#include "platform/win/errors.h"

namespace fs = std::filesystem;

namespace machine {
namespace {

std::mutex cwdLock;
std::u16string& Cwd() {
  static std::u16string cwd;
  return cwd;
}

// A full Windows path taken apart: the root (a drive letter or a share) and
// the names below it.
struct WinPath {
  char16_t drive = 0;  // upper-case letter, or 0 for a UNC path
  std::u16string server;
  std::u16string share;
  std::vector<std::u16string> names;

  std::u16string Root() const {
    if (drive != 0) return std::u16string{drive, u':', u'\\'};
    return u"\\\\" + server + u"\\" + share;
  }
  std::u16string ToString() const {
    std::u16string out = Root();
    for (size_t i = 0; i < names.size(); ++i) {
      if (i > 0 || drive == 0) out += u'\\';
      out += names[i];
    }
    return out;
  }
};

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }
bool IsLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

std::vector<std::u16string_view> Split(std::u16string_view s) {
  std::vector<std::u16string_view> parts;
  size_t start = 0;
  for (size_t i = 0; i <= s.size(); ++i) {
    if (i == s.size() || IsSeparator(s[i])) {
      if (i > start) parts.push_back(s.substr(start, i - start));
      start = i + 1;
    }
  }
  return parts;
}

bool IsReservedDeviceName(std::u16string_view name) {
  const size_t dot = name.find(u'.');
  std::u16string base = UpperCase(name.substr(0, dot));
  while (!base.empty() && base.back() == u' ') base.pop_back();
  if (base == u"CON" || base == u"PRN" || base == u"AUX" || base == u"NUL") return true;
  return base.size() == 4 && (base.compare(0, 3, u"COM") == 0 || base.compare(0, 3, u"LPT") == 0) &&
         base[3] >= u'1' && base[3] <= u'9';
}

// Deviation: Windows opens the device for CON, NUL, ...; the stand-in has
// no devices and refuses those names.
DWORD CheckName(std::u16string_view name, bool allowWildcards) {
  if (name.size() > 255) return ERROR_INVALID_NAME;
  for (const char16_t c : name) {
    if (c < 0x20 || c == u'<' || c == u'>' || c == u':' || c == u'"' || c == u'|') {
      return ERROR_INVALID_NAME;
    }
    if ((c == u'*' || c == u'?') && !allowWildcards) return ERROR_INVALID_NAME;
  }
  return IsReservedDeviceName(name) ? ERROR_INVALID_NAME : ERROR_SUCCESS;
}

// Applies '.', '..' and Windows' trimming: a name loses one trailing period,
// and the last name (unless the path ends in a separator) loses all its
// trailing periods and spaces.
DWORD AppendNames(WinPath& path, std::u16string_view text, Wildcards wildcards) {
  const auto parts = Split(text);
  const bool endsWithSeparator = !text.empty() && IsSeparator(text.back());
  for (size_t i = 0; i < parts.size(); ++i) {
    std::u16string name(parts[i]);
    if (name == u".") continue;
    if (name == u"..") {
      if (!path.names.empty()) path.names.pop_back();
      continue;
    }
    const bool last = i + 1 == parts.size();
    if (last && !endsWithSeparator) {
      while (!name.empty() && (name.back() == u'.' || name.back() == u' ')) name.pop_back();
    } else if (name.back() == u'.' && name.size() >= 2 && name[name.size() - 2] != u'.') {
      name.pop_back();
    }
    if (name.empty()) continue;
    const bool wild = last && wildcards == Wildcards::AllowInLastComponent;
    if (const DWORD error = CheckName(name, wild)) return error;
    path.names.push_back(std::move(name));
  }
  return ERROR_SUCCESS;
}

// `rest` follows the two leading separators: SERVER\SHARE\names...
DWORD ParseUncRoot(std::u16string_view rest, WinPath& path, std::u16string_view& remainder) {
  size_t serverEnd = 0;
  while (serverEnd < rest.size() && !IsSeparator(rest[serverEnd])) ++serverEnd;
  if (serverEnd >= rest.size()) return ERROR_BAD_PATHNAME;
  size_t shareEnd = serverEnd + 1;
  while (shareEnd < rest.size() && !IsSeparator(rest[shareEnd])) ++shareEnd;
  path.server = std::u16string(rest.substr(0, serverEnd));
  path.share = std::u16string(rest.substr(serverEnd + 1, shareEnd - serverEnd - 1));
  if (path.server.empty() || path.share.empty()) return ERROR_BAD_PATHNAME;
  for (const auto* name : {&path.server, &path.share}) {
    if (CheckName(*name, false) != ERROR_SUCCESS || *name == u"." || *name == u"..") {
      return ERROR_INVALID_NAME;
    }
  }
  remainder = rest.substr(shareEnd);
  return ERROR_SUCCESS;
}

DWORD ParseCurrent(WinPath& path) {
  std::u16string cwd;
  {
    std::lock_guard<std::mutex> guard(cwdLock);
    cwd = Cwd();
  }
  if (cwd.empty()) return ERROR_PATH_NOT_FOUND;
  std::u16string_view view(cwd);
  if (view.size() >= 2 && view[1] == u':') {
    path.drive = UpperCase(view[0]);
    return AppendNames(path, view.substr(2), Wildcards::Refuse);
  }
  std::u16string_view rest;
  if (const DWORD error = ParseUncRoot(view.substr(2), path, rest)) return error;
  return AppendNames(path, rest, Wildcards::Refuse);
}

// Deviations: \\?\ paths are normalised like any other, and the \\.\ device
// namespace does not exist. A drive-relative path (D:x) on another drive than
// the current directory's is taken from that drive's root: the stand-in keeps
// one current directory, not one per drive.
DWORD Parse(std::u16string_view text, WinPath& path, Wildcards wildcards) {
  if (text.empty()) return ERROR_PATH_NOT_FOUND;
  if (text.size() >= 4 && IsSeparator(text[0]) && IsSeparator(text[1]) && text[2] == u'?' &&
      IsSeparator(text[3])) {
    text.remove_prefix(4);
    if (text.size() >= 4 && UpperCase(text.substr(0, 3)) == u"UNC" && IsSeparator(text[3])) {
      std::u16string_view rest;
      if (const DWORD error = ParseUncRoot(text.substr(4), path, rest)) return error;
      return AppendNames(path, rest, wildcards);
    }
    if (text.size() < 2 || text[1] != u':') return ERROR_INVALID_NAME;
  } else if (text.size() >= 4 && IsSeparator(text[0]) && IsSeparator(text[1]) && text[2] == u'.' &&
             IsSeparator(text[3])) {
    return ERROR_INVALID_NAME;
  }
  if (text.size() >= 2 && IsSeparator(text[0]) && IsSeparator(text[1])) {
    std::u16string_view rest;
    if (const DWORD error = ParseUncRoot(text.substr(2), path, rest)) return error;
    return AppendNames(path, rest, wildcards);
  }
  if (text.size() >= 2 && text[1] == u':' && IsLetter(text[0])) {
    const char16_t drive = UpperCase(text[0]);
    const std::u16string_view rest = text.substr(2);
    if (rest.empty() || !IsSeparator(rest[0])) {
      // Relative to the current directory when it is on that drive.
      WinPath current;
      if (ParseCurrent(current) == ERROR_SUCCESS && current.drive == drive) path = current;
    }
    path.drive = drive;
    return AppendNames(path, rest, wildcards);
  }
  if (IsSeparator(text[0])) {
    WinPath current;
    if (const DWORD error = ParseCurrent(current)) return error;
    current.names.clear();
    path = current;
    return AppendNames(path, text, wildcards);
  }
  if (const DWORD error = ParseCurrent(path)) return error;
  return AppendNames(path, text, wildcards);
}

std::string HostName(std::u16string_view name) { return ToUtf8(name); }

// The names below the image root that a Windows path's root stands for.
std::vector<std::string> RootNames(const WinPath& path) {
  if (path.drive != 0) return {std::string("drive_") + static_cast<char>(path.drive - u'A' + 'a')};
  return {"unc", HostName(path.server), HostName(path.share)};
}

DWORD ErrorOf(const WalkResult& walk, bool unc) {
  switch (walk.error) {
    case EXDEV:
      return ERROR_ACCESS_DENIED;
    case ENOENT:
    case ENOTDIR:
      if (unc && walk.failedAt <= 1) return ERROR_BAD_NETPATH;
      if (unc && walk.failedAt == 2) return ERROR_BAD_NET_NAME;
      return ERROR_PATH_NOT_FOUND;
    default:
      return files::FromErrno(walk.error, ERROR_PATH_NOT_FOUND);
  }
}

}  // namespace

namespace files {

void SetCurrentDirectoryUnchecked(std::u16string fullPath) {
  std::lock_guard<std::mutex> guard(cwdLock);
  Cwd() = std::move(fullPath);
}

}  // namespace files

std::u16string CurrentDirectory() {
  std::lock_guard<std::mutex> guard(cwdLock);
  return Cwd();
}

DWORD FullWindowsPath(std::u16string_view path, std::u16string& full, Wildcards wildcards) {
  WinPath parsed;
  if (const DWORD error = Parse(path, parsed, wildcards)) return error;
  full = parsed.ToString();
  return ERROR_SUCCESS;
}

DWORD ResolveWindowsPath(std::u16string_view path, ResolvedPath& resolved, Wildcards wildcards) {
  const Machine* image = CurrentMachine();
  if (image == nullptr) return ERROR_PATH_NOT_FOUND;
  WinPath parsed;
  if (const DWORD error = Parse(path, parsed, wildcards)) return error;
  std::vector<std::string> names = RootNames(parsed);
  const size_t rootCount = names.size();
  for (const auto& name : parsed.names) names.push_back(HostName(name));
  WalkResult walk = WalkBelow(image->RootFd(), image->Root(), names, WalkOptions());
  const bool unc = parsed.drive == 0;
  if (walk.error != 0) {
    // A link refused in the last component can still be removed as itself.
    resolved.isLink = walk.entry.IsLink();
    if (resolved.isLink) resolved.entry = std::move(walk.entry);
    return ErrorOf(walk, unc);
  }
  resolved.isRoot = parsed.names.empty();
  if (resolved.isRoot && !walk.target.IsDirectory()) {
    return unc ? ERROR_BAD_NET_NAME : ERROR_PATH_NOT_FOUND;
  }
  fs::path host = image->Root();
  for (const auto& name : walk.names) host /= name;
  for (size_t i = 0; i < parsed.names.size(); ++i) {
    parsed.names[i] = FromUtf8(walk.names[rootCount + i]);
  }
  resolved.host = std::move(host);
  resolved.windows = parsed.ToString();
  resolved.exists = walk.target.exists;
  resolved.isDirectory = walk.target.IsDirectory();
  resolved.isLink = walk.entry.IsLink();
  resolved.entry = std::move(walk.entry);
  resolved.target = std::move(walk.target);
  resolved.targetFolder = std::move(walk.targetFolder);
  return ERROR_SUCCESS;
}

int OpenResolvedFolder(const ResolvedPath& folder) {
  if (!folder.target.folder) {
    errno = ENOENT;
    return -1;
  }
  return OpenFolderAt(folder.target.folder->Get(), folder.target.name.c_str());
}

std::optional<std::u16string> WindowsPathOf(const fs::path& hostPath) {
  const Machine* image = CurrentMachine();
  if (image == nullptr) return std::nullopt;
  const fs::path rel = fs::absolute(hostPath).lexically_normal().lexically_relative(image->Root());
  if (rel.empty() || *rel.begin() == "..") return std::nullopt;
  auto it = rel.begin();
  const std::string top = it->string();
  WinPath path;
  ++it;
  if (top.size() == 7 && top.compare(0, 6, "drive_") == 0 && top[6] >= 'a' && top[6] <= 'z') {
    path.drive = static_cast<char16_t>(u'A' + (top[6] - 'a'));
  } else if (top == "unc" && std::distance(it, rel.end()) >= 2) {
    path.server = FromUtf8((it++)->string());
    path.share = FromUtf8((it++)->string());
  } else {
    return std::nullopt;
  }
  for (; it != rel.end(); ++it) {
    if (!it->empty() && *it != ".") path.names.push_back(FromUtf8(it->string()));
  }
  return path.ToString();
}

}  // namespace machine
