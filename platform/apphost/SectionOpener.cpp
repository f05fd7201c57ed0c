#include "platform/apphost/SectionOpener.h"

#include "platform/apphost/ComText.h"
#include "platform/apphost/ConfigPath.h"
#include "platform/apphost/ElementObject.h"

namespace apphost {

HRESULT OpenAdminSection(const std::shared_ptr<ConfigStore>& store, BSTR sectionName, BSTR path,
                         IAppHostElement** section) {
  if (!section) return E_POINTER;
  *section = nullptr;
  const std::string name = FromBstr(sectionName);
  if (name.empty() || !path) return E_INVALIDARG;
  std::string location;
  switch (ParseConfigPath(std::u16string_view(path, SysStringLen(path)), location)) {
    case ConfigPathKind::Invalid:
      return E_INVALIDARG;
    case ConfigPathKind::ElsewhereOk:
      return HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED);
    case ConfigPathKind::AppHost:
      break;
  }
  const HRESULT hr = store->Load();
  if (FAILED(hr)) return hr;
  if (!store->Document().IsDeclared(name)) return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
  *section = new ElementObject(ConfigElement::Section(store, name, location));
  return S_OK;
}

}  // namespace apphost
