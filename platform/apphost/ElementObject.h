// IAppHostElement over a ConfigElement.
#pragma once

#include "platform/apphost/ComBase.h"
#include "platform/apphost/ConfigElement.h"

namespace apphost {

class ElementObject final : public ComBase<IAppHostElement> {
 public:
  explicit ElementObject(ConfigElementPtr element) : element_(std::move(element)) {}
  const ConfigElementPtr& Element() const { return element_; }
  // The element behind an IAppHostElement this stand-in made; null otherwise.
  static ConfigElementPtr From(IUnknown* object);

  HRESULT STDMETHODCALLTYPE get_Name(BSTR* pbstrName) override;
  HRESULT STDMETHODCALLTYPE get_Collection(IAppHostElementCollection** ppCollection) override;
  HRESULT STDMETHODCALLTYPE get_Properties(IAppHostPropertyCollection** ppProperties) override;
  HRESULT STDMETHODCALLTYPE get_ChildElements(IAppHostChildElementCollection** ppElements) override;
  HRESULT STDMETHODCALLTYPE GetMetadata(BSTR bstrMetadataType, VARIANT* pValue) override;
  HRESULT STDMETHODCALLTYPE SetMetadata(BSTR bstrMetadataType, VARIANT value) override;
  HRESULT STDMETHODCALLTYPE get_Schema(IAppHostElementSchema** ppSchema) override;
  HRESULT STDMETHODCALLTYPE GetElementByName(BSTR bstrSubName,
                                             IAppHostElement** ppElement) override;
  HRESULT STDMETHODCALLTYPE GetPropertyByName(BSTR bstrSubName,
                                              IAppHostProperty** ppProperty) override;
  HRESULT STDMETHODCALLTYPE Clear() override;
  HRESULT STDMETHODCALLTYPE get_Methods(IAppHostMethodCollection** ppMethods) override;

 protected:
  bool Supports(REFIID riid) const override { return riid == IID_IAppHostElement; }

 private:
  ConfigElementPtr element_;
};

}  // namespace apphost
