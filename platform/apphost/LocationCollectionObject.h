// IAppHostConfigLocationCollection: the location paths of the file, the
// server level ("") first, each path once.
#pragma once

#include <memory>
#include <string>

#include "platform/apphost/ComBase.h"
#include "platform/apphost/ConfigStore.h"

namespace apphost {

class LocationCollectionObject final : public ComBase<IAppHostConfigLocationCollection> {
 public:
  explicit LocationCollectionObject(std::shared_ptr<ConfigStore> store)
      : store_(std::move(store)) {}

  HRESULT STDMETHODCALLTYPE get_Count(DWORD* pcCount) override;
  HRESULT STDMETHODCALLTYPE get_Item(VARIANT varIndex,
                                     IAppHostConfigLocation** ppLocation) override;
  HRESULT STDMETHODCALLTYPE AddLocation(BSTR bstrLocationPath,
                                        IAppHostConfigLocation** ppNewLocation) override;
  HRESULT STDMETHODCALLTYPE DeleteLocation(VARIANT cIndex) override;

 protected:
  bool Supports(REFIID riid) const override { return riid == IID_IAppHostConfigLocationCollection; }

 private:
  HRESULT PathOf(const VARIANT& index, std::string& path, HRESULT missingName);

  std::shared_ptr<ConfigStore> store_;
};

}  // namespace apphost
