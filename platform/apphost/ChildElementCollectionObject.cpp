#include "platform/apphost/ChildElementCollectionObject.h"

#include "platform/apphost/ComText.h"
#include "platform/apphost/ElementObject.h"

namespace apphost {

HRESULT ChildElementCollectionObject::get_Count(DWORD* pcCount) {
  if (!pcCount) return E_POINTER;
  *pcCount = static_cast<DWORD>(names_.size());
  return S_OK;
}

HRESULT ChildElementCollectionObject::get_Item(VARIANT cIndex, IAppHostElement** ppElement) {
  if (!ppElement) return E_POINTER;
  *ppElement = nullptr;
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
  ConfigElementPtr child;
  hr = element_->Child(name, child);
  if (FAILED(hr)) return hr;
  *ppElement = new ElementObject(std::move(child));
  return S_OK;
}

}  // namespace apphost
