// IAppHostConfigFile for MACHINE/WEBROOT/APPHOST: applicationHost.config.
#pragma once

#include <memory>

#include "platform/apphost/ComBase.h"
#include "platform/apphost/ConfigStore.h"

namespace apphost {

class ConfigFileObject final : public ComBase<IAppHostConfigFile> {
 public:
  explicit ConfigFileObject(std::shared_ptr<ConfigStore> store) : store_(std::move(store)) {}

  HRESULT STDMETHODCALLTYPE get_ConfigPath(BSTR* pbstrConfigPath) override;
  HRESULT STDMETHODCALLTYPE get_FilePath(BSTR* pbstrFilePath) override;
  HRESULT STDMETHODCALLTYPE get_Locations(IAppHostConfigLocationCollection** ppLocations) override;
  HRESULT STDMETHODCALLTYPE GetAdminSection(BSTR bstrSectionName, BSTR bstrPath,
                                            IAppHostElement** ppAdminSection) override;
  HRESULT STDMETHODCALLTYPE GetMetadata(BSTR bstrMetadataType, VARIANT* pValue) override;
  HRESULT STDMETHODCALLTYPE SetMetadata(BSTR bstrMetadataType, VARIANT value) override;
  HRESULT STDMETHODCALLTYPE ClearInvalidSections() override;
  HRESULT STDMETHODCALLTYPE get_RootSectionGroup(IAppHostSectionGroup** ppSectionGroups) override;

 protected:
  bool Supports(REFIID riid) const override { return riid == IID_IAppHostConfigFile; }

 private:
  std::shared_ptr<ConfigStore> store_;
};

}  // namespace apphost
