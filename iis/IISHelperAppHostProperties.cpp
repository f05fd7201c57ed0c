// Properties and metadata of the current element and the current section.
#include "iis/ComRef.h"
#include "iis/ComText.h"
#include "iis/IISHelper.h"

namespace {

HRESULT PropertyOf(IAppHostElement* element, const CSPWString& name,
                   ComRef<IAppHostProperty>& property) {
  ComText propertyName(name);
  const HRESULT hr = element->GetPropertyByName(propertyName.Get(), property.Out());
  return SUCCEEDED(hr) && property.IsNull() ? E_POINTER : hr;
}

}  // namespace

bool IISHelper::GetPropertyOf(IAppHostElement* element, const CSPWString& name, VARIANT& value) {
  ComRef<IAppHostProperty> property;
  return appHostConnected && element != nullptr && SUCCEEDED(PropertyOf(element, name, property)) &&
         SUCCEEDED(property->get_Value(&value));
}

bool IISHelper::GetPropertyStringOf(IAppHostElement* element, const CSPWString& name,
                                    CSPWString& value) {
  ComRef<IAppHostProperty> property;
  BSTR text = nullptr;
  if (!appHostConnected || element == nullptr || FAILED(PropertyOf(element, name, property)) ||
      FAILED(property->get_StringValue(&text))) {
    return false;
  }
  value = ComText::Take(text);
  return true;
}

bool IISHelper::SetPropertyOf(IAppHostElement* element, const CSPWString& name,
                              const VARIANT& value) {
  ComRef<IAppHostProperty> property;
  return appHostConnected && element != nullptr && SUCCEEDED(PropertyOf(element, name, property)) &&
         SUCCEEDED(property->put_Value(value));
}

bool IISHelper::GetMetadataOf(IAppHostElement* element, const CSPWString& name, VARIANT& value) {
  ComText metadataName(name);
  return appHostConnected && element != nullptr &&
         SUCCEEDED(element->GetMetadata(metadataName.Get(), &value));
}

bool IISHelper::SetMetadataOf(IAppHostElement* element, const CSPWString& name,
                              const VARIANT& value) {
  ComText metadataName(name);
  return appHostConnected && element != nullptr &&
         SUCCEEDED(element->SetMetadata(metadataName.Get(), value));
}

bool IISHelper::GetElementProperty(const CSPWString& name, VARIANT& value) {
  return GetPropertyOf(currentElement, name, value);
}

bool IISHelper::GetSectionProperty(const CSPWString& name, VARIANT& value) {
  return GetPropertyOf(currentSection, name, value);
}

bool IISHelper::GetElementPropertyString(const CSPWString& name, CSPWString& value) {
  return GetPropertyStringOf(currentElement, name, value);
}

bool IISHelper::GetSectionPropertyString(const CSPWString& name, CSPWString& value) {
  return GetPropertyStringOf(currentSection, name, value);
}

bool IISHelper::SetElementProperty(const CSPWString& name, const VARIANT& value) {
  return SetPropertyOf(currentElement, name, value);
}

bool IISHelper::SetSectionProperty(const CSPWString& name, const VARIANT& value) {
  return SetPropertyOf(currentSection, name, value);
}

bool IISHelper::GetElementMetadata(const CSPWString& name, VARIANT& value) {
  return GetMetadataOf(currentElement, name, value);
}

bool IISHelper::GetSectionMetadata(const CSPWString& name, VARIANT& value) {
  return GetMetadataOf(currentSection, name, value);
}

bool IISHelper::SetElementMetadata(const CSPWString& name, const VARIANT& value) {
  return SetMetadataOf(currentElement, name, value);
}

bool IISHelper::SetSectionMetadata(const CSPWString& name, const VARIANT& value) {
  return SetMetadataOf(currentSection, name, value);
}
