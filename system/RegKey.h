// One open key of the Windows registry. Every operation is one registry call
// that reports success as a boolean; nothing is shown, thrown or kept as an
// error code, so callers word their own messages.
//
// Each text-taking operation has an 8-bit form (the registry's A functions,
// ANSI code page) and a 16-bit form (the W functions). A null name or subkey
// pointer gives false without a call. The program sees the native 64-bit
// view; callers wanting the 32-bit one address "Software\Wow6432Node".
#pragma once

#include <cstdint>

#include "core/CSPString.h"
#include "platform/win.h"

class RegKey {
 public:
  RegKey() = default;
  virtual ~RegKey();
  // A copy would close the same key twice.
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;

  // RegOpenKeyEx below `parent` (a root key such as HKEY_LOCAL_MACHINE or
  // another open key). On success the held key is closed and replaced; on
  // failure it stays.
  bool Open(const char* subKey, HKEY parent, REGSAM access);
  bool Open(const char16_t* subKey, HKEY parent, REGSAM access);
  bool Open(const CSPString& subKey, HKEY parent, REGSAM access);
  bool Open(const CSPWString& subKey, HKEY parent, REGSAM access);

  // Opens a subkey of this object's key into `target`, as `target.Open` would.
  bool OpenSubKey(RegKey& target, const char* subKey, REGSAM access) const;
  bool OpenSubKey(RegKey& target, const char16_t* subKey, REGSAM access) const;
  bool OpenSubKey(RegKey& target, const CSPString& subKey, REGSAM access) const;
  bool OpenSubKey(RegKey& target, const CSPWString& subKey, REGSAM access) const;

  // RegCreateKeyEx: creates the key when missing, opens it when present.
  // `security` (may be null) applies to keys the call creates.
  bool Create(const char* subKey, HKEY parent, REGSAM access, LPSECURITY_ATTRIBUTES security);
  bool Create(const char16_t* subKey, HKEY parent, REGSAM access, LPSECURITY_ATTRIBUTES security);
  bool Create(const CSPString& subKey, HKEY parent, REGSAM access, LPSECURITY_ATTRIBUTES security);
  bool Create(const CSPWString& subKey, HKEY parent, REGSAM access, LPSECURITY_ATTRIBUTES security);

  bool CreateSubKey(RegKey& target, const char* subKey, REGSAM access,
                    LPSECURITY_ATTRIBUTES security) const;
  bool CreateSubKey(RegKey& target, const char16_t* subKey, REGSAM access,
                    LPSECURITY_ATTRIBUTES security) const;
  bool CreateSubKey(RegKey& target, const CSPString& subKey, REGSAM access,
                    LPSECURITY_ATTRIBUTES security) const;
  bool CreateSubKey(RegKey& target, const CSPWString& subKey, REGSAM access,
                    LPSECURITY_ATTRIBUTES security) const;

  // Holds one of the predefined root keys; any other handle value gives false.
  bool Attach(HKEY rootKey);
  // Closes a held key; the handle becomes null. False only when Windows
  // refused to close it.
  bool Close();

  // REG_SZ or REG_EXPAND_SZ (references not expanded) without its
  // terminating zero; any other type, or a failed query, gives false and
  // leaves `value` as it was.
  bool GetStringValue(const char* name, CSPString& value) const;
  bool GetStringValue(const char16_t* name, CSPWString& value) const;
  bool GetStringValue(const CSPString& name, CSPString& value) const;
  bool GetStringValue(const CSPWString& name, CSPWString& value) const;

  // Writes REG_SZ with its terminating zero. Every mix of pointer and
  // string object is accepted, so that no call is ambiguous.
  bool SetStringValue(const char* name, const char* value);
  bool SetStringValue(const char* name, const CSPString& value);
  bool SetStringValue(const CSPString& name, const char* value);
  bool SetStringValue(const CSPString& name, const CSPString& value);
  bool SetStringValue(const char16_t* name, const char16_t* value);
  bool SetStringValue(const char16_t* name, const CSPWString& value);
  bool SetStringValue(const CSPWString& name, const char16_t* value);
  bool SetStringValue(const CSPWString& name, const CSPWString& value);

  // True only for a REG_DWORD value; `value` is left as it was otherwise.
  bool GetDwordValue(const char* name, uint32_t& value) const;
  bool GetDwordValue(const char16_t* name, uint32_t& value) const;
  bool GetDwordValue(const CSPString& name, uint32_t& value) const;
  bool GetDwordValue(const CSPWString& name, uint32_t& value) const;

  bool SetDwordValue(const char* name, uint32_t value);
  bool SetDwordValue(const char16_t* name, uint32_t value);
  bool SetDwordValue(const CSPString& name, uint32_t value);
  bool SetDwordValue(const CSPWString& name, uint32_t value);

  // RegDeleteKey below the held key: a key that has subkeys is not deleted.
  bool DeleteSubKey(const char* subKey);
  bool DeleteSubKey(const char16_t* subKey);
  bool DeleteSubKey(const CSPString& subKey);
  bool DeleteSubKey(const CSPWString& subKey);

  bool DeleteValue(const char* name);
  bool DeleteValue(const char16_t* name);
  bool DeleteValue(const CSPString& name);
  bool DeleteValue(const CSPWString& name);

  HKEY GetHandle() const { return key; }
  bool Flush();

 private:
  // Replaces the held key by a newly obtained one.
  void Hold(HKEY newKey);

  HKEY key = nullptr;
};
