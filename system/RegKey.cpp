#include "system/RegKey.h"

#include <vector>

namespace {

// The registry calls of one text width, so that each operation is written
// once for both.
template <class C>
struct RegistryCalls;

template <>
struct RegistryCalls<char> {
  static constexpr DWORD kFirstQueryBytes = 512;
  static LSTATUS Open(HKEY parent, const char* subKey, REGSAM access, HKEY* result) {
    return RegOpenKeyExA(parent, subKey, 0, access, result);
  }
  static LSTATUS Create(HKEY parent, const char* subKey, REGSAM access,
                        LPSECURITY_ATTRIBUTES security, HKEY* result) {
    return RegCreateKeyExA(parent, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, access, security,
                           result, nullptr);
  }
  static LSTATUS Query(HKEY key, const char* name, DWORD* type, BYTE* data, DWORD* size) {
    return RegQueryValueExA(key, name, nullptr, type, data, size);
  }
  static LSTATUS Set(HKEY key, const char* name, DWORD type, const BYTE* data, DWORD size) {
    return RegSetValueExA(key, name, 0, type, data, size);
  }
  static LSTATUS DeleteKey(HKEY key, const char* subKey) { return RegDeleteKeyA(key, subKey); }
  static LSTATUS DeleteValue(HKEY key, const char* name) { return RegDeleteValueA(key, name); }
};

template <>
struct RegistryCalls<char16_t> {
  static constexpr DWORD kFirstQueryBytes = 1024;
  static LSTATUS Open(HKEY parent, const char16_t* subKey, REGSAM access, HKEY* result) {
    return RegOpenKeyExW(parent, as_wcstr(subKey), 0, access, result);
  }
  static LSTATUS Create(HKEY parent, const char16_t* subKey, REGSAM access,
                        LPSECURITY_ATTRIBUTES security, HKEY* result) {
    return RegCreateKeyExW(parent, as_wcstr(subKey), 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                           security, result, nullptr);
  }
  static LSTATUS Query(HKEY key, const char16_t* name, DWORD* type, BYTE* data, DWORD* size) {
    return RegQueryValueExW(key, as_wcstr(name), nullptr, type, data, size);
  }
  static LSTATUS Set(HKEY key, const char16_t* name, DWORD type, const BYTE* data, DWORD size) {
    return RegSetValueExW(key, as_wcstr(name), 0, type, data, size);
  }
  static LSTATUS DeleteKey(HKEY key, const char16_t* subKey) {
    return RegDeleteKeyW(key, as_wcstr(subKey));
  }
  static LSTATUS DeleteValue(HKEY key, const char16_t* name) {
    return RegDeleteValueW(key, as_wcstr(name));
  }
};

template <class C>
bool OpenKey(HKEY parent, const C* subKey, REGSAM access, HKEY& result) {
  if (!parent || !subKey) return false;
  return RegistryCalls<C>::Open(parent, subKey, access, &result) == ERROR_SUCCESS;
}

template <class C>
bool CreateKey(HKEY parent, const C* subKey, REGSAM access, LPSECURITY_ATTRIBUTES security,
               HKEY& result) {
  if (!parent || !subKey) return false;
  return RegistryCalls<C>::Create(parent, subKey, access, security, &result) == ERROR_SUCCESS;
}

// Queries with the first buffer and once more with the size the registry
// asks for; the data is read into units of C so it can be used as text.
template <class C>
LSTATUS QueryText(HKEY key, const C* name, DWORD& type, std::vector<C>& units, DWORD& size) {
  size = RegistryCalls<C>::kFirstQueryBytes;
  units.assign(size / sizeof(C), 0);
  LSTATUS status =
      RegistryCalls<C>::Query(key, name, &type, reinterpret_cast<BYTE*>(units.data()), &size);
  if (status != ERROR_MORE_DATA) return status;
  units.assign((size + sizeof(C) - 1) / sizeof(C), 0);
  size = static_cast<DWORD>(units.size() * sizeof(C));
  return RegistryCalls<C>::Query(key, name, &type, reinterpret_cast<BYTE*>(units.data()), &size);
}

template <class C, class S>
bool ReadString(HKEY key, const C* name, S& value) {
  if (!key || !name) return false;
  DWORD type = 0, size = 0;
  std::vector<C> units;
  if (QueryText(key, name, type, units, size) != ERROR_SUCCESS) return false;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
  // The text ends at its terminating zero. Data written without one, or with
  // more than one, still reads as exactly the text that was stored.
  uint32_t length = 0;
  uint32_t available = static_cast<uint32_t>(size / sizeof(C));
  while (length < available && units[length] != 0) ++length;
  S text;
  text.Append(units.data(), length);
  value = text;
  return true;
}

template <class C>
bool WriteString(HKEY key, const C* name, const C* text, uint32_t length) {
  if (!key || !name || !text) return false;
  DWORD bytes = static_cast<DWORD>((static_cast<uint64_t>(length) + 1) * sizeof(C));
  return RegistryCalls<C>::Set(key, name, REG_SZ, reinterpret_cast<const BYTE*>(text), bytes) ==
         ERROR_SUCCESS;
}

template <class C>
uint32_t Length(const C* text) {
  uint32_t length = 0;
  while (text[length]) ++length;
  return length;
}

template <class C>
bool ReadDword(HKEY key, const C* name, uint32_t& value) {
  if (!key || !name) return false;
  DWORD type = 0;
  uint32_t number = 0;
  DWORD size = sizeof number;
  if (RegistryCalls<C>::Query(key, name, &type, reinterpret_cast<BYTE*>(&number), &size) !=
      ERROR_SUCCESS) {
    return false;
  }
  // A REG_DWORD shorter than four bytes has no value to give.
  if (type != REG_DWORD || size != sizeof number) return false;
  value = number;
  return true;
}

template <class C>
bool WriteDword(HKEY key, const C* name, uint32_t value) {
  if (!key || !name) return false;
  return RegistryCalls<C>::Set(key, name, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                               sizeof value) == ERROR_SUCCESS;
}

template <class C>
bool DeleteKey(HKEY key, const C* subKey) {
  return key && subKey && RegistryCalls<C>::DeleteKey(key, subKey) == ERROR_SUCCESS;
}

template <class C>
bool DeleteValueOf(HKEY key, const C* name) {
  return key && name && RegistryCalls<C>::DeleteValue(key, name) == ERROR_SUCCESS;
}

bool IsPredefinedKey(HKEY key) {
  auto value = reinterpret_cast<uintptr_t>(key);
  auto first = reinterpret_cast<uintptr_t>(HKEY_CLASSES_ROOT);
  return (value >= first && value <= reinterpret_cast<uintptr_t>(HKEY_DYN_DATA)) ||
         key == HKEY_PERFORMANCE_TEXT || key == HKEY_PERFORMANCE_NLSTEXT;
}

}  // namespace

RegKey::~RegKey() { Close(); }

void RegKey::Hold(HKEY newKey) {
  if (key) RegCloseKey(key);
  key = newKey;
}

bool RegKey::Open(const char* subKey, HKEY parent, REGSAM access) {
  HKEY opened = nullptr;
  if (!OpenKey(parent, subKey, access, opened)) return false;
  Hold(opened);
  return true;
}

bool RegKey::Open(const char16_t* subKey, HKEY parent, REGSAM access) {
  HKEY opened = nullptr;
  if (!OpenKey(parent, subKey, access, opened)) return false;
  Hold(opened);
  return true;
}

bool RegKey::Open(const CSPString& subKey, HKEY parent, REGSAM access) {
  return Open(subKey.GetString(), parent, access);
}

bool RegKey::Open(const CSPWString& subKey, HKEY parent, REGSAM access) {
  return Open(subKey.GetString(), parent, access);
}

bool RegKey::OpenSubKey(RegKey& target, const char* subKey, REGSAM access) const {
  return key && target.Open(subKey, key, access);
}

bool RegKey::OpenSubKey(RegKey& target, const char16_t* subKey, REGSAM access) const {
  return key && target.Open(subKey, key, access);
}

bool RegKey::OpenSubKey(RegKey& target, const CSPString& subKey, REGSAM access) const {
  return OpenSubKey(target, subKey.GetString(), access);
}

bool RegKey::OpenSubKey(RegKey& target, const CSPWString& subKey, REGSAM access) const {
  return OpenSubKey(target, subKey.GetString(), access);
}

bool RegKey::Create(const char* subKey, HKEY parent, REGSAM access,
                    LPSECURITY_ATTRIBUTES security) {
  HKEY created = nullptr;
  if (!CreateKey(parent, subKey, access, security, created)) return false;
  Hold(created);
  return true;
}

bool RegKey::Create(const char16_t* subKey, HKEY parent, REGSAM access,
                    LPSECURITY_ATTRIBUTES security) {
  HKEY created = nullptr;
  if (!CreateKey(parent, subKey, access, security, created)) return false;
  Hold(created);
  return true;
}

bool RegKey::Create(const CSPString& subKey, HKEY parent, REGSAM access,
                    LPSECURITY_ATTRIBUTES security) {
  return Create(subKey.GetString(), parent, access, security);
}

bool RegKey::Create(const CSPWString& subKey, HKEY parent, REGSAM access,
                    LPSECURITY_ATTRIBUTES security) {
  return Create(subKey.GetString(), parent, access, security);
}

bool RegKey::CreateSubKey(RegKey& target, const char* subKey, REGSAM access,
                          LPSECURITY_ATTRIBUTES security) const {
  return key && target.Create(subKey, key, access, security);
}

bool RegKey::CreateSubKey(RegKey& target, const char16_t* subKey, REGSAM access,
                          LPSECURITY_ATTRIBUTES security) const {
  return key && target.Create(subKey, key, access, security);
}

bool RegKey::CreateSubKey(RegKey& target, const CSPString& subKey, REGSAM access,
                          LPSECURITY_ATTRIBUTES security) const {
  return CreateSubKey(target, subKey.GetString(), access, security);
}

bool RegKey::CreateSubKey(RegKey& target, const CSPWString& subKey, REGSAM access,
                          LPSECURITY_ATTRIBUTES security) const {
  return CreateSubKey(target, subKey.GetString(), access, security);
}

bool RegKey::Attach(HKEY rootKey) {
  if (!IsPredefinedKey(rootKey)) return false;
  Hold(rootKey);
  return true;
}

bool RegKey::Close() {
  if (!key) return true;
  LSTATUS status = RegCloseKey(key);
  key = nullptr;
  return status == ERROR_SUCCESS;
}

bool RegKey::GetStringValue(const char* name, CSPString& value) const {
  return ReadString(key, name, value);
}

bool RegKey::GetStringValue(const char16_t* name, CSPWString& value) const {
  return ReadString(key, name, value);
}

bool RegKey::GetStringValue(const CSPString& name, CSPString& value) const {
  return ReadString(key, name.GetString(), value);
}

bool RegKey::GetStringValue(const CSPWString& name, CSPWString& value) const {
  return ReadString(key, name.GetString(), value);
}

bool RegKey::SetStringValue(const char* name, const char* value) {
  return value && WriteString(key, name, value, Length(value));
}

bool RegKey::SetStringValue(const char16_t* name, const char16_t* value) {
  return value && WriteString(key, name, value, Length(value));
}

bool RegKey::SetStringValue(const char* name, const CSPString& value) {
  return WriteString(key, name, value.GetString(), value.GetLength());
}

bool RegKey::SetStringValue(const CSPString& name, const char* value) {
  return SetStringValue(name.GetString(), value);
}

bool RegKey::SetStringValue(const CSPString& name, const CSPString& value) {
  return WriteString(key, name.GetString(), value.GetString(), value.GetLength());
}

bool RegKey::SetStringValue(const char16_t* name, const CSPWString& value) {
  return WriteString(key, name, value.GetString(), value.GetLength());
}

bool RegKey::SetStringValue(const CSPWString& name, const char16_t* value) {
  return SetStringValue(name.GetString(), value);
}

bool RegKey::SetStringValue(const CSPWString& name, const CSPWString& value) {
  return WriteString(key, name.GetString(), value.GetString(), value.GetLength());
}

bool RegKey::GetDwordValue(const char* name, uint32_t& value) const {
  return ReadDword(key, name, value);
}

bool RegKey::GetDwordValue(const char16_t* name, uint32_t& value) const {
  return ReadDword(key, name, value);
}

bool RegKey::GetDwordValue(const CSPString& name, uint32_t& value) const {
  return ReadDword(key, name.GetString(), value);
}

bool RegKey::GetDwordValue(const CSPWString& name, uint32_t& value) const {
  return ReadDword(key, name.GetString(), value);
}

bool RegKey::SetDwordValue(const char* name, uint32_t value) {
  return WriteDword(key, name, value);
}

bool RegKey::SetDwordValue(const char16_t* name, uint32_t value) {
  return WriteDword(key, name, value);
}

bool RegKey::SetDwordValue(const CSPString& name, uint32_t value) {
  return WriteDword(key, name.GetString(), value);
}

bool RegKey::SetDwordValue(const CSPWString& name, uint32_t value) {
  return WriteDword(key, name.GetString(), value);
}

bool RegKey::DeleteSubKey(const char* subKey) { return DeleteKey(key, subKey); }

bool RegKey::DeleteSubKey(const char16_t* subKey) { return DeleteKey(key, subKey); }

bool RegKey::DeleteSubKey(const CSPString& subKey) { return DeleteKey(key, subKey.GetString()); }

bool RegKey::DeleteSubKey(const CSPWString& subKey) { return DeleteKey(key, subKey.GetString()); }

bool RegKey::DeleteValue(const char* name) { return DeleteValueOf(key, name); }

bool RegKey::DeleteValue(const char16_t* name) { return DeleteValueOf(key, name); }

bool RegKey::DeleteValue(const CSPString& name) { return DeleteValueOf(key, name.GetString()); }

bool RegKey::DeleteValue(const CSPWString& name) { return DeleteValueOf(key, name.GetString()); }

bool RegKey::Flush() { return key && RegFlushKey(key) == ERROR_SUCCESS; }
