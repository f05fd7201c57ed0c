#include "platform/apphost/ConfigManagerObject.h"

#include "platform/apphost/ComText.h"
#include "platform/apphost/ConfigFileObject.h"
#include "platform/apphost/ConfigPath.h"
#include "platform/text.h"

namespace apphost {

namespace {

HRESULT ParseAppHostPath(BSTR path, std::string& location) {
  if (!path) return E_INVALIDARG;
  switch (ParseConfigPath(std::u16string_view(path, SysStringLen(path)), location)) {
    case ConfigPathKind::Invalid:
      return E_INVALIDARG;
    case ConfigPathKind::ElsewhereOk:
      return HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED);
    case ConfigPathKind::AppHost:
      break;
  }
  return S_OK;
}

}  // namespace

HRESULT ConfigManagerObject::GetConfigFile(BSTR bstrConfigPath, IAppHostConfigFile** ppConfigFile) {
  if (!ppConfigFile) return E_POINTER;
  *ppConfigFile = nullptr;
  std::string location;
  HRESULT hr = ParseAppHostPath(bstrConfigPath, location);
  if (FAILED(hr)) return hr;
  // Below the application host the files are web.config files, which the
  // simulated server does not have.
  if (!location.empty()) return HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED);
  hr = store_->Load();
  if (FAILED(hr)) return hr;
  *ppConfigFile = new ConfigFileObject(store_);
  return S_OK;
}

// The shallowest path whose configuration is the same as the given one's:
// the deepest location tag that applies to it.
HRESULT ConfigManagerObject::GetUniqueConfigPath(BSTR bstrConfigPath, BSTR* pbstrUniquePath) {
  if (!pbstrUniquePath) return E_POINTER;
  *pbstrUniquePath = nullptr;
  std::string location;
  HRESULT hr = ParseAppHostPath(bstrConfigPath, location);
  if (FAILED(hr)) return hr;
  hr = store_->Load();
  if (FAILED(hr)) return hr;
  std::string deepest;
  for (const auto& path : store_->Document().LocationPaths()) {
    if (AppliesTo(path, location) && LocationDepth(path) > LocationDepth(deepest)) deepest = path;
  }
  std::u16string unique = kAppHostConfigPath;
  if (!deepest.empty()) unique += u"/" + machine::FromUtf8(deepest);
  return PutBstr(unique, pbstrUniquePath);
}

}  // namespace apphost
