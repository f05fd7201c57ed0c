#include "platform/apphost/PropertyObject.h"

#include "platform/apphost/AttributeValue.h"
#include "platform/apphost/ComText.h"

namespace apphost {

HRESULT PropertyObject::get_Name(BSTR* pbstrName) { return PutBstr(name_, pbstrName); }

HRESULT PropertyObject::get_Value(VARIANT* pVariant) {
  if (!pVariant) return E_POINTER;
  VariantInit(pVariant);
  const HRESULT status = element_->Status();
  if (FAILED(status)) return status;
  return TextToVariant(schema_, element_->EffectiveValue(name_, schema_), pVariant);
}

HRESULT PropertyObject::put_Value(VARIANT value) {
  const HRESULT status = element_->Status();
  if (FAILED(status)) return status;
  std::string text;
  const HRESULT hr = VariantToText(schema_, value, text);
  if (FAILED(hr)) return hr;
  return element_->SetValue(name_, text);
}

HRESULT PropertyObject::Clear() { return element_->ClearValue(name_); }

HRESULT PropertyObject::get_StringValue(BSTR* pbstrValue) {
  if (!pbstrValue) return E_POINTER;
  *pbstrValue = nullptr;
  const HRESULT status = element_->Status();
  if (FAILED(status)) return status;
  return PutBstr(CanonicalText(schema_, element_->EffectiveValue(name_, schema_)), pbstrValue);
}

HRESULT PropertyObject::get_Exception(IAppHostPropertyException** ppException) {
  if (ppException) *ppException = nullptr;
  return E_NOTIMPL;
}

HRESULT PropertyObject::GetMetadata(BSTR bstrMetadataType, VARIANT* pValue) {
  if (!pValue) return E_POINTER;
  VariantInit(pValue);
  const HRESULT status = element_->Status();
  if (FAILED(status)) return status;
  const std::string name = FromBstr(bstrMetadataType);
  bool flag = false;
  if (name == "isDefaultValue" || name == "isInheritedFromDefault") {
    flag = !element_->ExplicitValue(name_).has_value();
  } else if (name != "isLocked" && name != "isPropertyEncrypted") {
    return HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED);
  }
  pValue->vt = VT_BOOL;
  pValue->boolVal = flag ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

HRESULT PropertyObject::SetMetadata(BSTR, VARIANT) {
  // Encryption providers are not part of the stand-in.
  return HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED);
}

HRESULT PropertyObject::get_Schema(IAppHostPropertySchema** ppSchema) {
  if (ppSchema) *ppSchema = nullptr;
  return E_NOTIMPL;
}

}  // namespace apphost
