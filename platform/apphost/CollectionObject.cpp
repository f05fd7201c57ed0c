#include "platform/apphost/CollectionObject.h"

#include "platform/apphost/ComText.h"
#include "platform/apphost/ElementObject.h"

namespace apphost {

HRESULT CollectionObject::Position(const VARIANT& index, size_t& position) {
  VariantIndex read;
  const HRESULT hr = ReadIndex(index, read);
  if (FAILED(hr)) return hr;
  if (read.kind == VariantIndex::Number) {
    position = read.number;
    return S_OK;
  }
  if (read.kind != VariantIndex::Object) return E_INVALIDARG;
  const auto selector = ElementObject::From(read.object);
  if (!selector) return E_INVALIDARG;
  return collection_->Find(*selector, position);
}

HRESULT CollectionObject::get_Count(DWORD* pcElementCount) {
  if (!pcElementCount) return E_POINTER;
  return collection_->Count(*pcElementCount);
}

HRESULT CollectionObject::get_Item(VARIANT cIndex, IAppHostElement** ppElement) {
  if (!ppElement) return E_POINTER;
  *ppElement = nullptr;
  size_t position = 0;
  HRESULT hr = Position(cIndex, position);
  if (FAILED(hr)) return hr;
  ConfigElementPtr entry;
  hr = collection_->Item(position, entry);
  if (FAILED(hr)) return hr;
  *ppElement = new ElementObject(std::move(entry));
  return S_OK;
}

HRESULT CollectionObject::AddElement(IAppHostElement* pElement, INT cPosition) {
  const auto element = ElementObject::From(pElement);
  if (!element) return E_INVALIDARG;
  return collection_->Add(element, cPosition);
}

HRESULT CollectionObject::DeleteElement(VARIANT cIndex) {
  size_t position = 0;
  const HRESULT hr = Position(cIndex, position);
  if (FAILED(hr)) return hr;
  return collection_->Delete(position);
}

HRESULT CollectionObject::Clear() { return collection_->Clear(); }

HRESULT CollectionObject::CreateNewElement(BSTR bstrElementName, IAppHostElement** ppElement) {
  if (!ppElement) return E_POINTER;
  *ppElement = nullptr;
  ConfigElementPtr entry;
  const HRESULT hr = collection_->CreateNew(FromBstr(bstrElementName), entry);
  if (FAILED(hr)) return hr;
  *ppElement = new ElementObject(std::move(entry));
  return S_OK;
}

HRESULT CollectionObject::get_Schema(IAppHostCollectionSchema** ppSchema) {
  if (ppSchema) *ppSchema = nullptr;
  return E_NOTIMPL;
}

}  // namespace apphost
