#include "platform/apphost/ConfigFileObject.h"

#include "platform/apphost/ComText.h"
#include "platform/apphost/ConfigPath.h"
#include "platform/apphost/LocationCollectionObject.h"
#include "platform/apphost/SectionOpener.h"

namespace apphost {

HRESULT ConfigFileObject::get_ConfigPath(BSTR* pbstrConfigPath) {
  return PutBstr(std::u16string(kAppHostConfigPath), pbstrConfigPath);
}

HRESULT ConfigFileObject::get_FilePath(BSTR* pbstrFilePath) {
  return PutBstr(store_->FilePath(), pbstrFilePath);
}

HRESULT ConfigFileObject::get_Locations(IAppHostConfigLocationCollection** ppLocations) {
  if (!ppLocations) return E_POINTER;
  *ppLocations = nullptr;
  const HRESULT hr = store_->Load();
  if (FAILED(hr)) return hr;
  *ppLocations = new LocationCollectionObject(store_);
  return S_OK;
}

HRESULT ConfigFileObject::GetAdminSection(BSTR bstrSectionName, BSTR bstrPath,
                                          IAppHostElement** ppAdminSection) {
  return OpenAdminSection(store_, bstrSectionName, bstrPath, ppAdminSection);
}

// Reserved by Windows: both always answer ERROR_NOT_SUPPORTED.
HRESULT ConfigFileObject::GetMetadata(BSTR, VARIANT* pValue) {
  if (pValue) VariantInit(pValue);
  return HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED);
}

HRESULT ConfigFileObject::SetMetadata(BSTR, VARIANT) {
  return HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED);
}

HRESULT ConfigFileObject::ClearInvalidSections() { return HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED); }

HRESULT ConfigFileObject::get_RootSectionGroup(IAppHostSectionGroup** ppSectionGroups) {
  if (ppSectionGroups) *ppSectionGroups = nullptr;
  return E_NOTIMPL;
}

}  // namespace apphost
