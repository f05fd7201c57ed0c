#include "platform/apphost/LocationObject.h"

#include "platform/apphost/ComText.h"
#include "platform/apphost/ConfigElement.h"
#include "platform/apphost/ElementObject.h"

namespace apphost {

HRESULT LocationObject::get_Path(BSTR* pbstrLocationPath) {
  return PutBstr(path_, pbstrLocationPath);
}

HRESULT LocationObject::get_Count(DWORD* pcCount) {
  if (!pcCount) return E_POINTER;
  *pcCount = static_cast<DWORD>(store_->Document().SectionsAt(path_).size());
  return S_OK;
}

HRESULT LocationObject::SectionName(const VARIANT& index, std::string& name) {
  VariantIndex read;
  const HRESULT hr = ReadIndex(index, read);
  if (FAILED(hr)) return hr;
  const auto names = store_->Document().SectionsAt(path_);
  if (read.kind == VariantIndex::Number) {
    if (read.number >= names.size()) return HRESULT_FROM_WIN32(ERROR_INVALID_INDEX);
    name = names[read.number];
    return S_OK;
  }
  if (read.kind != VariantIndex::Name) return E_INVALIDARG;
  for (const auto& candidate : names) {
    if (candidate == read.name) {
      name = candidate;
      return S_OK;
    }
  }
  return HRESULT_FROM_WIN32(ERROR_INVALID_INDEX);
}

HRESULT LocationObject::get_Item(VARIANT cIndex, IAppHostElement** ppSection) {
  if (!ppSection) return E_POINTER;
  *ppSection = nullptr;
  std::string name;
  const HRESULT hr = SectionName(cIndex, name);
  if (FAILED(hr)) return hr;
  *ppSection = new ElementObject(ConfigElement::Section(store_, name, path_));
  return S_OK;
}

HRESULT LocationObject::AddConfigSection(BSTR bstrSectionName, IAppHostElement** ppAdminElement) {
  if (!ppAdminElement) return E_POINTER;
  *ppAdminElement = nullptr;
  const std::string name = FromBstr(bstrSectionName);
  if (name.empty()) return E_INVALIDARG;
  if (!store_->Writable()) return E_ACCESSDENIED;
  if (!store_->Document().IsDeclared(name)) return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
  if (!store_->Document().DefinitionsAt(name, path_).empty()) {
    return HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS);
  }
  store_->Document().OwnDefinition(name, path_, true);
  store_->Changed();
  *ppAdminElement = new ElementObject(ConfigElement::Section(store_, name, path_));
  return S_OK;
}

HRESULT LocationObject::DeleteConfigSection(VARIANT cIndex) {
  if (!store_->Writable()) return E_ACCESSDENIED;
  std::string name;
  const HRESULT hr = SectionName(cIndex, name);
  if (FAILED(hr)) return hr;
  return ConfigElement::Section(store_, name, path_)->Clear();
}

}  // namespace apphost
