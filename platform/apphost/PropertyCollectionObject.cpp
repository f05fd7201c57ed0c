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
  std::string name;
  HRESULT hr = ReadNameIndex(cIndex, names_, name);
  if (FAILED(hr)) return hr;
  const AttributeSchema* schema = nullptr;
  hr = element_->CheckProperty(name, schema);
  if (FAILED(hr)) return hr;
  *ppProperty = new PropertyObject(element_, name, schema);
  return S_OK;
}

}  // namespace apphost
