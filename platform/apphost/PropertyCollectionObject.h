// IAppHostPropertyCollection: the properties an element has, schema ones
// first, then any others the file sets.
#pragma once

#include <string>
#include <vector>

#include "platform/apphost/ComBase.h"
#include "platform/apphost/ConfigElement.h"

namespace apphost {

class PropertyCollectionObject final : public ComBase<IAppHostPropertyCollection> {
 public:
  explicit PropertyCollectionObject(ConfigElementPtr element)
      : element_(std::move(element)), names_(element_->PropertyNames()) {}

  HRESULT STDMETHODCALLTYPE get_Count(DWORD* pcCount) override;
  HRESULT STDMETHODCALLTYPE get_Item(VARIANT cIndex, IAppHostProperty** ppProperty) override;

 protected:
  bool Supports(REFIID riid) const override { return riid == IID_IAppHostPropertyCollection; }

 private:
  ConfigElementPtr element_;
  std::vector<std::string> names_;
};

}  // namespace apphost
