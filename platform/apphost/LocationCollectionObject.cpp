#include "platform/apphost/LocationCollectionObject.h"

#include "platform/apphost/ComText.h"
#include "platform/apphost/ConfigPath.h"
#include "platform/apphost/LocationObject.h"

namespace apphost {

HRESULT LocationCollectionObject::get_Count(DWORD* pcCount) {
  if (!pcCount) return E_POINTER;
  *pcCount = static_cast<DWORD>(store_->Document().LocationPaths().size());
  return S_OK;
}

HRESULT LocationCollectionObject::PathOf(const VARIANT& index, std::string& path,
                                         HRESULT missingName) {
  VariantIndex read;
  const HRESULT hr = ReadIndex(index, read);
  if (FAILED(hr)) return hr;
  const auto& paths = store_->Document().LocationPaths();
  if (read.kind == VariantIndex::Number) {
    if (read.number >= paths.size()) return HRESULT_FROM_WIN32(ERROR_INVALID_INDEX);
    path = paths[read.number];
    return S_OK;
  }
  if (read.kind != VariantIndex::Name) return E_INVALIDARG;
  const std::string* found = store_->Document().FindLocationPath(read.name);
  if (found == nullptr) return missingName;
  path = *found;
  return S_OK;
}

HRESULT LocationCollectionObject::get_Item(VARIANT varIndex, IAppHostConfigLocation** ppLocation) {
  if (!ppLocation) return E_POINTER;
  *ppLocation = nullptr;
  std::string path;
  const HRESULT hr = PathOf(varIndex, path, HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
  if (FAILED(hr)) return hr;
  *ppLocation = new LocationObject(store_, path);
  return S_OK;
}

HRESULT LocationCollectionObject::AddLocation(BSTR bstrLocationPath,
                                              IAppHostConfigLocation** ppNewLocation) {
  if (!ppNewLocation) return E_POINTER;
  *ppNewLocation = nullptr;
  if (!store_->Writable()) return E_ACCESSDENIED;
  const std::string path = NormalizeLocation(FromBstr(bstrLocationPath));
  if (store_->Document().FindLocationPath(path) != nullptr) {
    return HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS);
  }
  store_->Document().LocationTag(path, true);
  store_->Changed();
  *ppNewLocation = new LocationObject(store_, path);
  return S_OK;
}

HRESULT LocationCollectionObject::DeleteLocation(VARIANT cIndex) {
  if (!store_->Writable()) return E_ACCESSDENIED;
  std::string path;
  const HRESULT hr = PathOf(cIndex, path, HRESULT_FROM_WIN32(ERROR_INVALID_INDEX));
  if (FAILED(hr)) return hr;
  // The server level is the file itself, not a tag that could go.
  if (path.empty()) return E_INVALIDARG;
  for (auto tag : store_->Document().LocationTags(path)) store_->Tokens().Forget(tag);
  store_->Document().RemoveLocationTags(path);
  store_->Changed();
  return S_OK;
}

}  // namespace apphost
