// IAppHostProperty: one attribute of an element, read through the levels
// and the schema's default, written at the element's own level.
#pragma once

#include <string>

#include "platform/apphost/ComBase.h"
#include "platform/apphost/ConfigElement.h"

namespace apphost {

class PropertyObject final : public ComBase<IAppHostProperty> {
 public:
  PropertyObject(ConfigElementPtr element, std::string name, const AttributeSchema* schema)
      : element_(std::move(element)), name_(std::move(name)), schema_(schema) {}

  HRESULT STDMETHODCALLTYPE get_Name(BSTR* pbstrName) override;
  HRESULT STDMETHODCALLTYPE get_Value(VARIANT* pVariant) override;
  HRESULT STDMETHODCALLTYPE put_Value(VARIANT value) override;
  HRESULT STDMETHODCALLTYPE Clear() override;
  HRESULT STDMETHODCALLTYPE get_StringValue(BSTR* pbstrValue) override;
  HRESULT STDMETHODCALLTYPE get_Exception(IAppHostPropertyException** ppException) override;
  HRESULT STDMETHODCALLTYPE GetMetadata(BSTR bstrMetadataType, VARIANT* pValue) override;
  HRESULT STDMETHODCALLTYPE SetMetadata(BSTR bstrMetadataType, VARIANT value) override;
  HRESULT STDMETHODCALLTYPE get_Schema(IAppHostPropertySchema** ppSchema) override;

 protected:
  bool Supports(REFIID riid) const override { return riid == IID_IAppHostProperty; }

 private:
  ConfigElementPtr element_;
  std::string name_;
  const AttributeSchema* schema_;
};

}  // namespace apphost
