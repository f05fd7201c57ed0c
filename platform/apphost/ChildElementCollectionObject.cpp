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
  std::string name;
  HRESULT hr = ReadNameIndex(cIndex, names_, name);
  if (FAILED(hr)) return hr;
  ConfigElementPtr child;
  hr = element_->Child(name, child);
  if (FAILED(hr)) return hr;
  *ppElement = new ElementObject(std::move(child));
  return S_OK;
}

}  // namespace apphost
