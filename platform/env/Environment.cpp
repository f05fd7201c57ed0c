// The process environment (processenv.h): names compare without regard to
// case and keep the case they were first set with, as on Windows.
//
// Deviation: the 32,767-character limit on values is not enforced.
#include "platform/env/Environment.h"

#include <cstring>
#include <map>
#include <mutex>

#include "platform/text.h"
#include "platform/win/errors.h"
#include "platform/win/processenv.h"

namespace machine::env {
namespace {

struct Entry {
  std::u16string name;
  std::u16string value;
};

std::mutex lock;
std::map<std::u16string, Entry>& Table() {
  static std::map<std::u16string, Entry> table;  // keyed by the upper-cased name
  return table;
}

}  // namespace

void Replace(const Variables& variables) {
  std::lock_guard<std::mutex> guard(lock);
  Table().clear();
  for (const auto& [name, value] : variables) Table()[UpperCase(name)] = {name, value};
}

std::optional<std::u16string> Get(std::u16string_view name) {
  std::lock_guard<std::mutex> guard(lock);
  const auto it = Table().find(UpperCase(name));
  if (it == Table().end()) return std::nullopt;
  return it->second.value;
}

namespace {

// A name may begin with '=' (Windows keeps per-drive directories that way)
// but holds no other '='.
bool ValidName(std::u16string_view name) {
  return !name.empty() && name.find(u'=', 1) == std::u16string_view::npos;
}

void Set(std::u16string_view name, const std::u16string* value) {
  std::lock_guard<std::mutex> guard(lock);
  const std::u16string key = UpperCase(name);
  if (value == nullptr) {
    Table().erase(key);
    return;
  }
  auto it = Table().find(key);
  if (it != Table().end()) {
    it->second.value = *value;
  } else {
    Table()[key] = {std::u16string(name), *value};
  }
}

}  // namespace
}  // namespace machine::env

namespace {

// The W and A forms share one protocol: on success the length without the
// terminator, when the buffer is too small the size it needs with the
// terminator (buffer untouched), and 0 with ERROR_ENVVAR_NOT_FOUND.
template <typename Char>
DWORD DeliverValue(const std::basic_string<Char>& value, Char* buffer, DWORD size) {
  if (value.size() + 1 > size || buffer == nullptr) return static_cast<DWORD>(value.size() + 1);
  std::memcpy(buffer, value.data(), value.size() * sizeof(Char));
  buffer[value.size()] = 0;
  // An empty value returns 0 like a failure; the cleared error tells them apart.
  if (value.empty()) SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(value.size());
}

std::u16string Wide(const char* ansi) { return machine::FromAnsi(ansi); }

}  // namespace

DWORD WINAPI GetEnvironmentVariableW(LPCWSTR lpName, LPWSTR lpBuffer, DWORD nSize) {
  if (lpName == nullptr) {
    SetLastError(ERROR_ENVVAR_NOT_FOUND);
    return 0;
  }
  const auto value = machine::env::Get(lpName);
  if (!value) {
    SetLastError(ERROR_ENVVAR_NOT_FOUND);
    return 0;
  }
  return DeliverValue(*value, lpBuffer, nSize);
}

DWORD WINAPI GetEnvironmentVariableA(LPCSTR lpName, LPSTR lpBuffer, DWORD nSize) {
  if (lpName == nullptr) {
    SetLastError(ERROR_ENVVAR_NOT_FOUND);
    return 0;
  }
  const auto value = machine::env::Get(Wide(lpName));
  if (!value) {
    SetLastError(ERROR_ENVVAR_NOT_FOUND);
    return 0;
  }
  return DeliverValue(machine::ToAnsi(*value), lpBuffer, nSize);
}

BOOL WINAPI SetEnvironmentVariableW(LPCWSTR lpName, LPCWSTR lpValue) {
  if (lpName == nullptr || !machine::env::ValidName(lpName)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (lpValue == nullptr) {
    machine::env::Set(lpName, nullptr);  // deleting a missing variable succeeds too
  } else {
    const std::u16string value(lpValue);
    machine::env::Set(lpName, &value);
  }
  return TRUE;
}

BOOL WINAPI SetEnvironmentVariableA(LPCSTR lpName, LPCSTR lpValue) {
  if (lpName == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::u16string name = Wide(lpName);
  if (lpValue == nullptr) return SetEnvironmentVariableW(name.c_str(), nullptr);
  const std::u16string value = Wide(lpValue);
  return SetEnvironmentVariableW(name.c_str(), value.c_str());
}

// One pass, left to right: a reference to an undefined variable stays as
// written and its closing '%' may open the next reference, as on Windows.
DWORD WINAPI ExpandEnvironmentStringsW(LPCWSTR lpSrc, LPWSTR lpDst, DWORD nSize) {
  if (lpSrc == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const std::u16string_view src(lpSrc);
  std::u16string out;
  size_t i = 0;
  while (i < src.size()) {
    const size_t open = src.find(u'%', i);
    if (open == std::u16string_view::npos) break;
    const size_t close = src.find(u'%', open + 1);
    if (close == std::u16string_view::npos) break;
    out.append(src.substr(i, open - i));
    const std::u16string_view name = src.substr(open + 1, close - open - 1);
    const auto value = name.empty() ? std::nullopt : machine::env::Get(name);
    if (value) {
      out.append(*value);
      i = close + 1;
    } else {
      out.append(src.substr(open, close - open));
      i = close;
    }
  }
  out.append(src.substr(i));
  const DWORD needed = static_cast<DWORD>(out.size() + 1);
  if (needed > nSize || lpDst == nullptr) return needed;
  std::memcpy(lpDst, out.c_str(), needed * sizeof(WCHAR));
  return needed;
}
