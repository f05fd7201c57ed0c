// 8.3 names of the simulated file system, generated from the long names of
// a folder's entries (see platform/win/shortpath.h).
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "platform/text.h"
#include "platform/win.h"

namespace {

bool IsShortNameChar(char16_t c) {
  if (c >= u'0' && c <= u'9') return true;
  if ((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z')) return true;
  return std::u16string_view(u"!#$%&'()-@^_`{}~").find(c) != std::u16string_view::npos;
}

bool IsValidShortName(std::u16string_view name) {
  if (name.empty() || name == u"." || name == u"..") return false;
  const size_t dot = name.find(u'.');
  const std::u16string_view base = name.substr(0, dot);
  const std::u16string_view ext =
      dot == std::u16string_view::npos ? std::u16string_view() : name.substr(dot + 1);
  if (base.empty() || base.size() > 8 || ext.size() > 3) return false;
  if (dot != std::u16string_view::npos && ext.empty()) return false;
  for (char16_t c : base) {
    if (!IsShortNameChar(c)) return false;
  }
  for (char16_t c : ext) {
    if (!IsShortNameChar(c)) return false;
  }
  return true;
}

// Upper-cased, without spaces and dots, with characters 8.3 cannot hold as '_'.
std::u16string CleanPart(std::u16string_view part) {
  std::u16string clean;
  for (char16_t c : part) {
    if (c == u' ' || c == u'.') continue;
    const char16_t upper = machine::UpperCase(c);
    clean.push_back(IsShortNameChar(upper) || upper > 0x7F ? upper : u'_');
  }
  return clean;
}

// The stem and extension a generated short name starts from.
std::pair<std::u16string, std::u16string> ShortParts(std::u16string_view name) {
  const size_t dot = name.rfind(u'.');
  std::u16string base = CleanPart(dot == std::u16string_view::npos ? name : name.substr(0, dot));
  std::u16string ext = dot == std::u16string_view::npos ? u"" : CleanPart(name.substr(dot + 1));
  if (base.empty()) std::swap(base, ext);
  return {base.substr(0, 6), ext.substr(0, 3)};
}

std::u16string ShortNameIn(const std::vector<std::u16string>& siblings, std::u16string_view name) {
  if (IsValidShortName(name)) return std::u16string(name);
  const auto parts = ShortParts(name);
  int number = 1;
  for (const auto& sibling : siblings) {
    if (machine::EqualNoCase(sibling, name)) break;
    if (!IsValidShortName(sibling) && ShortParts(sibling) == parts) ++number;
  }
  const std::u16string digits = machine::FromUtf8(std::to_string(number));
  std::u16string shortName = parts.first.substr(0, 7 - digits.size()) + u"~" + digits;
  if (!parts.second.empty()) shortName += u"." + parts.second;
  return shortName;
}

std::vector<std::u16string> EntriesOf(const machine::ResolvedPath& folder) {
  std::vector<std::u16string> names;
  const machine::UniqueFd fd(machine::OpenResolvedFolder(folder));
  if (!fd.Valid()) return names;
  for (const std::string& name : machine::ListFolder(fd.Get())) {
    names.push_back(machine::FromUtf8(name));
  }
  std::sort(names.begin(), names.end(), [](const std::u16string& a, const std::u16string& b) {
    return machine::CompareNoCase(a, b) < 0;
  });
  return names;
}

// The full path's root ("C:\" or "\\server\share\") and its components.
size_t RootLength(const std::u16string& full) {
  if (full.size() >= 3 && full[1] == u':') return 3;
  size_t slashes = 0;
  for (size_t i = 0; i < full.size(); ++i) {
    if (full[i] == u'\\' && ++slashes == 4) return i + 1;
  }
  return full.size();
}

DWORD ShortForm(const std::u16string& full, std::u16string& shortPath) {
  const size_t rootLength = RootLength(full);
  std::u16string longSoFar = full.substr(0, rootLength);
  shortPath = longSoFar;
  size_t start = rootLength;
  while (start < full.size()) {
    size_t end = full.find(u'\\', start);
    if (end == std::u16string::npos) end = full.size();
    const std::u16string name = full.substr(start, end - start);
    machine::ResolvedPath folder;
    const DWORD error = machine::ResolveWindowsPath(longSoFar, folder);
    if (error != ERROR_SUCCESS) return error;
    if (!shortPath.empty() && shortPath.back() != u'\\') shortPath += u'\\';
    if (!longSoFar.empty() && longSoFar.back() != u'\\') longSoFar += u'\\';
    shortPath += ShortNameIn(EntriesOf(folder), name);
    longSoFar += name;
    start = end + 1;
  }
  return ERROR_SUCCESS;
}

}  // namespace

DWORD WINAPI GetShortPathNameW(LPCWSTR lpszLongPath, LPWSTR lpszShortPath, DWORD cchBuffer) {
  if (lpszLongPath == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::u16string full;
  machine::ResolvedPath resolved;
  DWORD error = machine::FullWindowsPath(lpszLongPath, full);
  if (error == ERROR_SUCCESS) error = machine::ResolveWindowsPath(full, resolved);
  if (error == ERROR_SUCCESS && !resolved.exists) error = ERROR_FILE_NOT_FOUND;
  std::u16string shortPath;
  if (error == ERROR_SUCCESS) error = ShortForm(resolved.windows, shortPath);
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return 0;
  }
  const DWORD needed = static_cast<DWORD>(shortPath.size() + 1);
  if (lpszShortPath == nullptr || cchBuffer < needed) return needed;
  std::memcpy(lpszShortPath, shortPath.c_str(), needed * sizeof(char16_t));
  return needed - 1;
}
