#include "platform/apphost/ElementObject.h"

#include "platform/apphost/ChildElementCollectionObject.h"
#include "platform/apphost/CollectionObject.h"
#include "platform/apphost/ComText.h"
#include "platform/apphost/PropertyCollectionObject.h"
#include "platform/apphost/PropertyObject.h"

namespace apphost {

ConfigElementPtr ElementObject::From(IUnknown* object) {
  // Objects of this stand-in answer IID_IAppHostElement with themselves.
  IAppHostElement* element = nullptr;
  if (!object ||
      FAILED(object->QueryInterface(IID_IAppHostElement, reinterpret_cast<void**>(&element)))) {
    return nullptr;
  }
  auto* ours = dynamic_cast<ElementObject*>(element);
  ConfigElementPtr result = ours ? ours->element_ : nullptr;
  element->Release();
  return result;
}

HRESULT ElementObject::get_Name(BSTR* pbstrName) { return PutBstr(element_->Name(), pbstrName); }

HRESULT ElementObject::get_Collection(IAppHostElementCollection** ppCollection) {
  if (!ppCollection) return E_POINTER;
  *ppCollection = nullptr;
  const HRESULT status = element_->Status();
  if (FAILED(status)) return status;
  const CollectionSchema* schema = element_->Collection();
  // An element without a collection answers S_OK and null, as documented.
  if (!schema) return S_OK;
  *ppCollection = new CollectionObject(std::make_shared<ConfigCollection>(element_, *schema));
  return S_OK;
}

HRESULT ElementObject::get_Properties(IAppHostPropertyCollection** ppProperties) {
  if (!ppProperties) return E_POINTER;
  *ppProperties = nullptr;
  const HRESULT status = element_->Status();
  if (FAILED(status)) return status;
  *ppProperties = new PropertyCollectionObject(element_);
  return S_OK;
}

HRESULT ElementObject::get_ChildElements(IAppHostChildElementCollection** ppElements) {
  if (!ppElements) return E_POINTER;
  *ppElements = nullptr;
  const HRESULT status = element_->Status();
  if (FAILED(status)) return status;
  auto names = element_->ChildNames();
  // No child elements: S_OK and null, as documented.
  if (names.empty()) return S_OK;
  *ppElements = new ChildElementCollectionObject(element_, std::move(names));
  return S_OK;
}

HRESULT ElementObject::GetMetadata(BSTR bstrMetadataType, VARIANT* pValue) {
  if (!pValue) return E_POINTER;
  const std::string name = FromBstr(bstrMetadataType);
  if (name.empty()) return E_INVALIDARG;
  return element_->GetMetadata(name, pValue);
}

HRESULT ElementObject::SetMetadata(BSTR bstrMetadataType, VARIANT value) {
  return element_->SetMetadata(FromBstr(bstrMetadataType), value);
}

HRESULT ElementObject::get_Schema(IAppHostElementSchema** ppSchema) {
  if (ppSchema) *ppSchema = nullptr;
  return E_NOTIMPL;
}

HRESULT ElementObject::GetElementByName(BSTR bstrSubName, IAppHostElement** ppElement) {
  if (!ppElement) return E_POINTER;
  *ppElement = nullptr;
  ConfigElementPtr child;
  const HRESULT hr = element_->Child(FromBstr(bstrSubName), child);
  if (FAILED(hr)) return hr;
  *ppElement = new ElementObject(std::move(child));
  return S_OK;
}

HRESULT ElementObject::GetPropertyByName(BSTR bstrSubName, IAppHostProperty** ppProperty) {
  if (!ppProperty) return E_POINTER;
  *ppProperty = nullptr;
  const HRESULT status = element_->Status();
  if (FAILED(status)) return status;
  const std::string name = FromBstr(bstrSubName);
  const AttributeSchema* schema = nullptr;
  const HRESULT hr = element_->CheckProperty(name, schema);
  if (FAILED(hr)) return hr;
  *ppProperty = new PropertyObject(element_, name, schema);
  return S_OK;
}

HRESULT ElementObject::Clear() { return element_->Clear(); }

HRESULT ElementObject::get_Methods(IAppHostMethodCollection** ppMethods) {
  if (ppMethods) *ppMethods = nullptr;
  return E_NOTIMPL;
}

}  // namespace apphost
