// The admin base object (CLSID_MSAdminBase_W): a thin COM face over the
// process's metabase service. Arguments are checked here, the metabase work
// is the service's.
#pragma once

#include <atomic>

#include "platform/win.h"

namespace metabase {

class AdminBase final : public IMSAdminBaseW {
 public:
  AdminBase() = default;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE AddKey(METADATA_HANDLE hMDHandle, LPCWSTR pszMDPath) override;
  HRESULT STDMETHODCALLTYPE DeleteKey(METADATA_HANDLE hMDHandle, LPCWSTR pszMDPath) override;
  HRESULT STDMETHODCALLTYPE DeleteChildKeys(METADATA_HANDLE hMDHandle, LPCWSTR pszMDPath) override;
  HRESULT STDMETHODCALLTYPE EnumKeys(METADATA_HANDLE hMDHandle, LPCWSTR pszMDPath, LPWSTR pszMDName,
                                     DWORD dwMDEnumObjectIndex) override;
  HRESULT STDMETHODCALLTYPE RenameKey(METADATA_HANDLE hMDHandle, LPCWSTR pszMDPath,
                                      LPCWSTR pszMDNewName) override;
  HRESULT STDMETHODCALLTYPE SetData(METADATA_HANDLE hMDHandle, LPCWSTR pszMDPath,
                                    PMETADATA_RECORD pmdrMDData) override;
  HRESULT STDMETHODCALLTYPE GetData(METADATA_HANDLE hMDHandle, LPCWSTR pszMDPath,
                                    PMETADATA_RECORD pmdrMDData,
                                    DWORD* pdwMDRequiredDataLen) override;
  HRESULT STDMETHODCALLTYPE DeleteData(METADATA_HANDLE hMDHandle, LPCWSTR pszMDPath,
                                       DWORD dwMDIdentifier, DWORD dwMDDataType) override;
  HRESULT STDMETHODCALLTYPE EnumData(METADATA_HANDLE hMDHandle, LPCWSTR pszMDPath,
                                     PMETADATA_RECORD pmdrMDData, DWORD dwMDEnumDataIndex,
                                     DWORD* pdwMDRequiredDataLen) override;
  HRESULT STDMETHODCALLTYPE GetDataPaths(METADATA_HANDLE hMDHandle, LPCWSTR pszMDPath,
                                         DWORD dwMDIdentifier, DWORD dwMDDataType,
                                         DWORD dwMDBufferSize, WCHAR* pszBuffer,
                                         DWORD* pdwMDRequiredBufferSize) override;
  HRESULT STDMETHODCALLTYPE OpenKey(METADATA_HANDLE hMDHandle, LPCWSTR pszMDPath,
                                    DWORD dwMDAccessRequested, DWORD dwMDTimeOut,
                                    PMETADATA_HANDLE phMDNewHandle) override;
  HRESULT STDMETHODCALLTYPE CloseKey(METADATA_HANDLE hMDHandle) override;
  HRESULT STDMETHODCALLTYPE SaveData() override;
  HRESULT STDMETHODCALLTYPE Backup(LPCWSTR pszMDBackupLocation, DWORD dwMDVersion,
                                   DWORD dwMDFlags) override;
  HRESULT STDMETHODCALLTYPE Restore(LPCWSTR pszMDBackupLocation, DWORD dwMDVersion,
                                    DWORD dwMDFlags) override;
  HRESULT STDMETHODCALLTYPE EnumBackups(LPWSTR pszMDBackupLocation, DWORD* pdwMDVersion,
                                        PFILETIME pftMDBackupTime, DWORD dwMDEnumIndex) override;
  HRESULT STDMETHODCALLTYPE DeleteBackup(LPCWSTR pszMDBackupLocation, DWORD dwMDVersion) override;

 private:
  ~AdminBase();
  std::atomic<ULONG> references_{1};
};

// The class's creator for the COM class table: a new object answering riid.
HRESULT CreateAdminBase(REFIID riid, void** ppv);

}  // namespace metabase
