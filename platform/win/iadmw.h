// The IIS Admin Base Objects (iadmw.h, mdcommsg.h, mdmsg.h) and the metabase
// constants of iiscnfg.h that the system uses, as the simulated server
// offers them.
//
// Deviations of the stand-in, all in what callers may observe:
// - IMSAdminBaseW declares only the methods the stand-in implements;
//   CopyKey, CopyData, GetAllData, DeleteAllData, the change numbers and
//   times, the key exchange and the marshalling helpers are absent.
// - Secure (METADATA_SECURE) data is stored in the clear, and volatile
//   (METADATA_VOLATILE) data is kept in the metabase file like any other.
// - Handles time out at once instead of waiting up to the time-out given:
//   there is no second process that could release a key meanwhile, and a
//   conflicting handle of the same process would otherwise just stall.
#pragma once

#include "platform/win/objbase.h"

typedef DWORD METADATA_HANDLE;
typedef DWORD* PMETADATA_HANDLE;

#define METADATA_MASTER_ROOT_HANDLE 0
#define METADATA_PERMISSION_READ 0x00000001u
#define METADATA_PERMISSION_WRITE 0x00000002u

#define METADATA_MAX_NAME_LEN 256

// Data types.
#define ALL_METADATA 0
#define DWORD_METADATA 1
#define STRING_METADATA 2
#define BINARY_METADATA 3
#define EXPANDSZ_METADATA 4
#define MULTISZ_METADATA 5
#define INVALID_END_METADATA 6

// Attributes.
#define METADATA_NO_ATTRIBUTES 0x00000000u
#define METADATA_INHERIT 0x00000001u
#define METADATA_PARTIAL_PATH 0x00000002u
#define METADATA_SECURE 0x00000004u
#define METADATA_REFERENCE 0x00000008u
#define METADATA_VOLATILE 0x00000010u
#define METADATA_ISINHERITED 0x00000020u
#define METADATA_INSERT_PATH 0x00000040u
#define METADATA_LOCAL_MACHINE_ONLY 0x00000080u
#define METADATA_NON_SECURE_ONLY 0x00000100u

// User types.
#define ALL_METADATA_USER_TYPE 0
#define IIS_MD_UT_SERVER 1
#define IIS_MD_UT_FILE 2
#define IIS_MD_UT_WAM 100
#define ASP_MD_UT_APP 101

// Backups.
#define MD_BACKUP_MAX_LEN 100
#define MD_BACKUP_MAX_VERSION 9999
#define MD_BACKUP_HIGHEST_VERSION 0xFFFFFFFEu
#define MD_BACKUP_NEXT_VERSION 0xFFFFFFFFu
#define MD_BACKUP_OVERWRITE 0x00000001u
#define MD_BACKUP_SAVE_FIRST 0x00000002u
#define MD_BACKUP_FORCE_BACKUP 0x00000004u
#define MD_DEFAULT_BACKUP_LOCATION u"MDBackUp"

// A key locked by another handle (winerror.h).
#ifndef ERROR_PATH_BUSY
#define ERROR_PATH_BUSY 148L
#endif

// Metabase HRESULTs (mdmsg.h).
#define MD_ERROR_NOT_INITIALIZED QUAVER_HRESULT(0x800CC800u)
#define MD_ERROR_DATA_NOT_FOUND QUAVER_HRESULT(0x800CC801u)
#define MD_ERROR_INVALID_VERSION QUAVER_HRESULT(0x800CC802u)
#define MD_WARNING_PATH_NOT_FOUND QUAVER_HRESULT(0x000CC804u)
#define MD_WARNING_DUP_NAME QUAVER_HRESULT(0x000CC805u)
#define MD_WARNING_INVALID_DATA QUAVER_HRESULT(0x000CC806u)
#define MD_ERROR_CANNOT_REMOVE_SECURE_ATTRIBUTE QUAVER_HRESULT(0x800CC809u)
#define MD_WARNING_SAVE_FAILED QUAVER_HRESULT(0x000CC80Du)
#define MD_ERROR_READ_METABASE_FILE QUAVER_HRESULT(0x800CC819u)

// Property identifiers (iiscnfg.h).
#define MD_KEY_TYPE 1002
#define MD_SERVER_STATE 1016
#define MD_SERVER_COMMENT 1015
#define MD_SERVER_AUTOSTART 1017
#define MD_SERVER_BINDINGS 1023
#define MD_FILTER_LOAD_ORDER 2040
#define MD_FILTER_IMAGE_PATH 2041
#define MD_FILTER_STATE 2042
#define MD_FILTER_ENABLED 2043
#define MD_FILTER_FLAGS 2044
#define MD_FILTER_DESCRIPTION 2045
#define MD_APP_ROOT 2103
#define MD_APP_ISOLATED 2104
#define MD_APP_FRIENDLY_NAME 2102
#define MD_WEB_SVC_EXT_RESTRICTION_LIST 2168
#define MD_VR_PATH 3001
#define MD_DEFAULT_LOAD_FILE 6006
#define MD_SCRIPT_MAPS 6014
#define MD_ACCESS_PERM 6016
#define MD_ANONYMOUS_USER_NAME 6020
#define MD_WAM_USER_NAME 7501
#define MD_WAM_PWD 7502
#define MD_APPPOOL_IDENTITY_TYPE 9021
#define MD_APP_APPPOOL_ID 9101

// Access permissions (MD_ACCESS_PERM).
#define MD_ACCESS_READ 0x00000001u
#define MD_ACCESS_WRITE 0x00000002u
#define MD_ACCESS_EXECUTE 0x00000004u
#define MD_ACCESS_SOURCE 0x00000010u
#define MD_ACCESS_SCRIPT 0x00000200u
#define MD_ACCESS_NO_REMOTE_WRITE 0x00000400u
#define MD_ACCESS_NO_REMOTE_READ 0x00001000u
#define MD_ACCESS_NO_REMOTE_EXECUTE 0x00002000u
#define MD_ACCESS_NO_REMOTE_SCRIPT 0x00004000u

// Application pool identity types (MD_APPPOOL_IDENTITY_TYPE).
#define MD_APPPOOL_IDENTITY_TYPE_LOCALSYSTEM 0
#define MD_APPPOOL_IDENTITY_TYPE_LOCALSERVICE 1
#define MD_APPPOOL_IDENTITY_TYPE_NETWORKSERVICE 2
#define MD_APPPOOL_IDENTITY_TYPE_SPECIFICUSER 3

typedef struct _METADATA_RECORD {
  DWORD dwMDIdentifier;
  DWORD dwMDAttributes;
  DWORD dwMDUserType;
  DWORD dwMDDataType;
  DWORD dwMDDataLen;
  unsigned char* pbMDData;
  DWORD dwMDDataTag;
} METADATA_RECORD, *PMETADATA_RECORD;

// {A9E69610-B80D-11D0-B9B9-00A0C922E750}
inline constexpr CLSID CLSID_MSAdminBase_W = {
    0xA9E69610, 0xB80D, 0x11D0, {0xB9, 0xB9, 0x00, 0xA0, 0xC9, 0x22, 0xE7, 0x50}};
// {70B51430-B6CA-11D0-B9B9-00A0C922E750}
inline constexpr IID IID_IMSAdminBase_W = {
    0x70B51430, 0xB6CA, 0x11D0, {0xB9, 0xB9, 0x00, 0xA0, 0xC9, 0x22, 0xE7, 0x50}};

// Paths are relative to the handle's key, with '/' (or '\') separators;
// null or empty addresses the key itself.
struct IMSAdminBaseW : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE AddKey(METADATA_HANDLE hMDHandle, LPCWSTR pszMDPath) = 0;
  virtual HRESULT STDMETHODCALLTYPE DeleteKey(METADATA_HANDLE hMDHandle, LPCWSTR pszMDPath) = 0;
  virtual HRESULT STDMETHODCALLTYPE DeleteChildKeys(METADATA_HANDLE hMDHandle,
                                                    LPCWSTR pszMDPath) = 0;
  // pszMDName receives at most METADATA_MAX_NAME_LEN characters.
  virtual HRESULT STDMETHODCALLTYPE EnumKeys(METADATA_HANDLE hMDHandle, LPCWSTR pszMDPath,
                                             LPWSTR pszMDName, DWORD dwMDEnumObjectIndex) = 0;
  virtual HRESULT STDMETHODCALLTYPE RenameKey(METADATA_HANDLE hMDHandle, LPCWSTR pszMDPath,
                                              LPCWSTR pszMDNewName) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetData(METADATA_HANDLE hMDHandle, LPCWSTR pszMDPath,
                                            PMETADATA_RECORD pmdrMDData) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetData(METADATA_HANDLE hMDHandle, LPCWSTR pszMDPath,
                                            PMETADATA_RECORD pmdrMDData,
                                            DWORD* pdwMDRequiredDataLen) = 0;
  virtual HRESULT STDMETHODCALLTYPE DeleteData(METADATA_HANDLE hMDHandle, LPCWSTR pszMDPath,
                                               DWORD dwMDIdentifier, DWORD dwMDDataType) = 0;
  virtual HRESULT STDMETHODCALLTYPE EnumData(METADATA_HANDLE hMDHandle, LPCWSTR pszMDPath,
                                             PMETADATA_RECORD pmdrMDData, DWORD dwMDEnumDataIndex,
                                             DWORD* pdwMDRequiredDataLen) = 0;
  // The buffer receives the paths (each ending in '/') as a multi-string.
  virtual HRESULT STDMETHODCALLTYPE GetDataPaths(METADATA_HANDLE hMDHandle, LPCWSTR pszMDPath,
                                                 DWORD dwMDIdentifier, DWORD dwMDDataType,
                                                 DWORD dwMDBufferSize, WCHAR* pszBuffer,
                                                 DWORD* pdwMDRequiredBufferSize) = 0;
  virtual HRESULT STDMETHODCALLTYPE OpenKey(METADATA_HANDLE hMDHandle, LPCWSTR pszMDPath,
                                            DWORD dwMDAccessRequested, DWORD dwMDTimeOut,
                                            PMETADATA_HANDLE phMDNewHandle) = 0;
  virtual HRESULT STDMETHODCALLTYPE CloseKey(METADATA_HANDLE hMDHandle) = 0;
  virtual HRESULT STDMETHODCALLTYPE SaveData() = 0;
  virtual HRESULT STDMETHODCALLTYPE Backup(LPCWSTR pszMDBackupLocation, DWORD dwMDVersion,
                                           DWORD dwMDFlags) = 0;
  virtual HRESULT STDMETHODCALLTYPE Restore(LPCWSTR pszMDBackupLocation, DWORD dwMDVersion,
                                            DWORD dwMDFlags) = 0;
  // pszMDBackupLocation: in, a name or empty for every backup; out (at least
  // MD_BACKUP_MAX_LEN characters), the name found.
  virtual HRESULT STDMETHODCALLTYPE EnumBackups(LPWSTR pszMDBackupLocation, DWORD* pdwMDVersion,
                                                PFILETIME pftMDBackupTime, DWORD dwMDEnumIndex) = 0;
  virtual HRESULT STDMETHODCALLTYPE DeleteBackup(LPCWSTR pszMDBackupLocation,
                                                 DWORD dwMDVersion) = 0;

 protected:
  ~IMSAdminBaseW() = default;
};
// The system names the interface by its SDK alias.
typedef IMSAdminBaseW IMSAdminBase;
#define IID_IMSAdminBase IID_IMSAdminBase_W
#define CLSID_MSAdminBase CLSID_MSAdminBase_W
