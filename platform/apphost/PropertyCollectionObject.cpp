#include "platform/apphost/PropertyCollectionObject.h"

#include "platform/apphost/ComText.h"
#include "platform/apphost/PropertyObject.h"

namespace apphost {

HRESULT PropertyCollectionObject::get_Count(DWORD* pcCount) {
  if (!pcCount) return E_POINTER;
  *pcCount = static_cast<DWORD>(names_.size());
  return S_OK;
}

HRESULT PropertyCollectionObject::get_Item(VARIANT cIndex, IAppHostProperty** ppProperty) {
  if (!ppProperty) return E_POINTER;
  *ppProperty = nullptr;
  VariantIndex index;
  HRESULT hr = ReadIndex(cIndex, index);
  if (FAILED(hr)) return hr;
  std::string name;
  if (index.kind == VariantIndex::Number) {
    if (index.number >= names_.size()) return HRESULT_FROM_WIN32(ERROR_INVALID_INDEX);
    name = names_[index.number];
  } else if (index.kind == VariantIndex::Name) {
    name = index.name;
  } else {
    return E_INVALIDARG;
  }
  const AttributeSchema* schema = nullptr;
  hr = element_->CheckProperty(name, schema);
  if (FAILED(hr)) return hr;
  *ppProperty = new PropertyObject(element_, name, schema);
  return S_OK;
}

}  // namespace apphost
