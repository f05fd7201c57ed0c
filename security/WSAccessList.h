// An access-control list (DACL or audit list) that can be read from a named
// file, folder or registry key, extended entry by entry with Windows' merge
// rules, and written back. Every operation returns a boolean and leaves an
// English text of the last failure.
//
// Object types: 1 file or folder, 2 registry key ("MACHINE\SOFTWARE\..."),
// 3 service, 4 printer, 5 network share, 6 kernel object, 7 window object.
// List kinds: 1 DACL, 2 audit list. Protection when writing: 1 inherits from
// the parent, 2 protected from inheritance, anything else unchanged.
#pragma once

#include <cstdint>

#include "core/CSPString.h"
#include "platform/win.h"
#include "security/WSAccessEntry.h"
#include "security/WSUser.h"

class WSAccessList {
 public:
  enum ObjectType : int32_t {
    FileObject = 1,
    RegistryKey = 2,
    ServiceObject = 3,
    PrinterObject = 4,
    ShareObject = 5,
    KernelObject = 6,
    WindowObject = 7,
  };
  enum ListKind : int32_t { Dacl = 1, Sacl = 2 };
  enum Protection : int32_t { KeepProtection = 0, Unprotected = 1, Protected = 2 };

  WSAccessList();
  // Copies the source's list; throws CSPException (code 0, the last error
  // text) when it cannot be copied.
  WSAccessList(const WSAccessList& other);
  WSAccessList& operator=(const WSAccessList& other);
  virtual ~WSAccessList();

  void Reset();
  // Replaces the list by a copy of `source` (null: empty).
  bool SetAcl(PACL source);

  bool AddAccess(const WSUser& user, int32_t accessMode, uint32_t permissions,
                 uint32_t inheritance);
  bool AddAccess(const WSAccessEntry& entry);
  // Stores in entry.permissions what the list grants entry.user.
  bool GetEffectiveRights(WSAccessEntry& entry);

  bool LoadFromObject(const CSPString& name, int32_t objectType, int32_t listKind);
  bool LoadFromObject(const CSPWString& name, int32_t objectType, int32_t listKind);
  bool LoadFromObject(const char* name, int32_t objectType, int32_t listKind);
  bool LoadFromObject(const char16_t* name, int32_t objectType, int32_t listKind);

  // False only for an object type or list kind outside the tables. A write
  // that Windows refuses (the object does not exist yet, ...) returns true
  // and leaves its text in the last error.
  bool SaveToObject(const CSPString& name, int32_t objectType, int32_t listKind,
                    int32_t protection);
  bool SaveToObject(const CSPWString& name, int32_t objectType, int32_t listKind,
                    int32_t protection);
  bool SaveToObject(const char* name, int32_t objectType, int32_t listKind, int32_t protection);
  bool SaveToObject(const char16_t* name, int32_t objectType, int32_t listKind, int32_t protection);

  PACL GetAcl() const { return acl; }
  const CSPString& GetLastErrorText() const { return lastError; }

 private:
  bool MapObjectType(int32_t objectType, SE_OBJECT_TYPE& type);
  bool Load(const CSPString& shownName, const char* narrowName, const char16_t* wideName,
            int32_t objectType, int32_t listKind);
  bool Save(const CSPString& shownName, const char* narrowName, const char16_t* wideName,
            int32_t objectType, int32_t listKind, int32_t protection);

  PACL acl = nullptr;
  CSPString lastError;
};
