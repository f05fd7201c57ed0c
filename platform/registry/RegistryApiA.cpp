// The A functions of the registry: names and string data go through the
// ANSI code page (Windows-1252), everything else is the W functions' work.
#include <optional>

#include "platform/registry/RegistryHandles.h"
#include "platform/text.h"
#include "platform/win.h"

namespace {

using machine::registry::CopyValueOut;
using machine::registry::IsStringType;

// A null name stays null: several functions give it a meaning of its own.
std::optional<std::u16string> Wide(LPCSTR text) {
  if (!text) return std::nullopt;
  return machine::FromAnsi(text);
}

LPCWSTR Pointer(const std::optional<std::u16string>& text) {
  return text ? text->c_str() : nullptr;
}

std::vector<uint8_t> AnsiToUtf16Bytes(const BYTE* data, DWORD size) {
  std::u16string wide =
      machine::FromAnsi(std::string_view(reinterpret_cast<const char*>(data), size));
  std::vector<uint8_t> bytes;
  bytes.reserve(wide.size() * 2);
  for (char16_t c : wide) {
    bytes.push_back(static_cast<uint8_t>(c & 0xFF));
    bytes.push_back(static_cast<uint8_t>(c >> 8));
  }
  return bytes;
}

// An odd last byte of string data cannot be a code unit; it is dropped.
std::vector<uint8_t> Utf16BytesToAnsi(const std::vector<uint8_t>& data) {
  std::u16string wide;
  for (size_t i = 0; i + 1 < data.size(); i += 2) {
    wide.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  }
  std::string ansi = machine::ToAnsi(wide);
  return std::vector<uint8_t>(ansi.begin(), ansi.end());
}

}  // namespace

LSTATUS WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                             PHKEY phkResult) {
  auto subKey = Wide(lpSubKey);
  return RegOpenKeyExW(hKey, Pointer(subKey), ulOptions, samDesired, phkResult);
}

LSTATUS WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR, DWORD dwOptions,
                               REGSAM samDesired, const LPSECURITY_ATTRIBUTES lpSecurityAttributes,
                               PHKEY phkResult, LPDWORD lpdwDisposition) {
  auto subKey = Wide(lpSubKey);
  return RegCreateKeyExW(hKey, Pointer(subKey), Reserved, nullptr, dwOptions, samDesired,
                         lpSecurityAttributes, phkResult, lpdwDisposition);
}

LSTATUS WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                                LPBYTE lpData, LPDWORD lpcbData) {
  if (lpReserved || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
  auto name = Wide(lpValueName);
  DWORD type = 0;
  std::vector<uint8_t> data;
  LSTATUS status =
      machine::registry::QueryValueData(hKey, name ? *name : std::u16string(), type, data);
  if (status == ERROR_FILE_NOT_FOUND && !lpData && lpcbData) *lpcbData = 0;
  if (status) return status;
  // Windows may report a size query for string data in UTF-16 bytes (an
  // upper bound); the stand-in reports the exact ANSI size.
  if (IsStringType(type)) data = Utf16BytesToAnsi(data);
  return CopyValueOut(type, data, lpType, lpData, lpcbData);
}

LSTATUS WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType,
                              const BYTE* lpData, DWORD cbData) {
  if (!lpData && cbData) return ERROR_NOACCESS;
  auto name = Wide(lpValueName);
  if (!IsStringType(dwType) || !lpData) {
    return RegSetValueExW(hKey, Pointer(name), Reserved, dwType, lpData, cbData);
  }
  std::vector<uint8_t> wide = AnsiToUtf16Bytes(lpData, cbData);
  return RegSetValueExW(hKey, Pointer(name), Reserved, dwType, wide.data(),
                        static_cast<DWORD>(wide.size()));
}

LSTATUS WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
  auto subKey = Wide(lpSubKey);
  return RegDeleteKeyW(hKey, Pointer(subKey));
}

LSTATUS WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
  auto name = Wide(lpValueName);
  return RegDeleteValueW(hKey, Pointer(name));
}
