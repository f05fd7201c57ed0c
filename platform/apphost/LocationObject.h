// IAppHostConfigLocation: one location path of the file and the sections
// set there.
#pragma once

#include <memory>
#include <string>

#include "platform/apphost/ComBase.h"
#include "platform/apphost/ConfigStore.h"

namespace apphost {

class LocationObject final : public ComBase<IAppHostConfigLocation> {
 public:
  LocationObject(std::shared_ptr<ConfigStore> store, std::string path)
      : store_(std::move(store)), path_(std::move(path)) {}

  HRESULT STDMETHODCALLTYPE get_Path(BSTR* pbstrLocationPath) override;
  HRESULT STDMETHODCALLTYPE get_Count(DWORD* pcCount) override;
  HRESULT STDMETHODCALLTYPE get_Item(VARIANT cIndex, IAppHostElement** ppSection) override;
  HRESULT STDMETHODCALLTYPE AddConfigSection(BSTR bstrSectionName,
                                             IAppHostElement** ppAdminElement) override;
  HRESULT STDMETHODCALLTYPE DeleteConfigSection(VARIANT cIndex) override;

 protected:
  bool Supports(REFIID riid) const override { return riid == IID_IAppHostConfigLocation; }

 private:
  HRESULT SectionName(const VARIANT& index, std::string& name);

  std::shared_ptr<ConfigStore> store_;
  std::string path_;
};

}  // namespace apphost
