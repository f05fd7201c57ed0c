// IAppHostChildElementCollection: the fixed child elements of an element.
#pragma once

#include <string>
#include <vector>

#include "platform/apphost/ComBase.h"
#include "platform/apphost/ConfigElement.h"

namespace apphost {

class ChildElementCollectionObject final : public ComBase<IAppHostChildElementCollection> {
 public:
  ChildElementCollectionObject(ConfigElementPtr element, std::vector<std::string> names)
      : element_(std::move(element)), names_(std::move(names)) {}

  HRESULT STDMETHODCALLTYPE get_Count(DWORD* pcCount) override;
  HRESULT STDMETHODCALLTYPE get_Item(VARIANT cIndex, IAppHostElement** ppElement) override;

 protected:
  bool Supports(REFIID riid) const override { return riid == IID_IAppHostChildElementCollection; }

 private:
  ConfigElementPtr element_;
  std::vector<std::string> names_;
};

}  // namespace apphost
