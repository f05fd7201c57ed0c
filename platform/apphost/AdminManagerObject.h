// The admin managers: IAppHostAdminManager (read-only) and
// IAppHostWritableAdminManager, whose changes wait in memory until
// CommitChanges writes applicationHost.config.
#pragma once

#include <memory>
#include <string>

#include "platform/apphost/ComBase.h"
#include "platform/apphost/ConfigStore.h"

namespace apphost {

class AdminManagerObject final : public ComBase<IAppHostWritableAdminManager> {
 public:
  explicit AdminManagerObject(bool writable, std::u16string filePath = {});

  HRESULT STDMETHODCALLTYPE GetAdminSection(BSTR bstrSectionName, BSTR bstrPath,
                                            IAppHostElement** ppAdminSection) override;
  HRESULT STDMETHODCALLTYPE GetMetadata(BSTR bstrMetadataType, VARIANT* pValue) override;
  HRESULT STDMETHODCALLTYPE SetMetadata(BSTR bstrMetadataType, VARIANT value) override;
  HRESULT STDMETHODCALLTYPE get_ConfigManager(IAppHostConfigManager** ppConfigManager) override;
  HRESULT STDMETHODCALLTYPE CommitChanges() override;
  HRESULT STDMETHODCALLTYPE get_CommitPath(BSTR* pbstrCommitPath) override;
  HRESULT STDMETHODCALLTYPE put_CommitPath(BSTR bstrCommitPath) override;

 protected:
  // The read-only manager does not answer IID_IAppHostWritableAdminManager.
  bool Supports(REFIID riid) const override;

 private:
  std::shared_ptr<ConfigStore> store_;
  std::u16string commitPath_;
};

}  // namespace apphost
