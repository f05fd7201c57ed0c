// IAppHostConfigManager: the way from an admin manager to its files.
#pragma once

#include <memory>

#include "platform/apphost/ComBase.h"
#include "platform/apphost/ConfigStore.h"

namespace apphost {

class ConfigManagerObject final : public ComBase<IAppHostConfigManager> {
 public:
  explicit ConfigManagerObject(std::shared_ptr<ConfigStore> store) : store_(std::move(store)) {}

  HRESULT STDMETHODCALLTYPE GetConfigFile(BSTR bstrConfigPath,
                                          IAppHostConfigFile** ppConfigFile) override;
  HRESULT STDMETHODCALLTYPE GetUniqueConfigPath(BSTR bstrConfigPath,
                                                BSTR* pbstrUniquePath) override;

 protected:
  bool Supports(REFIID riid) const override { return riid == IID_IAppHostConfigManager; }

 private:
  std::shared_ptr<ConfigStore> store_;
};

}  // namespace apphost
