#include "platform/apphost/AdminManagerObject.h"

#include "platform/apphost/ComText.h"
#include "platform/apphost/ConfigManagerObject.h"
#include "platform/apphost/ConfigPath.h"
#include "platform/apphost/SectionOpener.h"
#include "platform/text.h"

namespace apphost {

AdminManagerObject::AdminManagerObject(bool writable, std::u16string filePath)
    : store_(std::make_shared<ConfigStore>(writable, std::move(filePath))),
      commitPath_(kAppHostConfigPath) {}

bool AdminManagerObject::Supports(REFIID riid) const {
  return riid == IID_IAppHostAdminManager ||
         (store_->Writable() && riid == IID_IAppHostWritableAdminManager);
}

HRESULT AdminManagerObject::GetAdminSection(BSTR bstrSectionName, BSTR bstrPath,
                                            IAppHostElement** ppAdminSection) {
  return OpenAdminSection(store_, bstrSectionName, bstrPath, ppAdminSection);
}

// Deviation: none of the documented behaviour switches (path mappers,
// change handlers, ...) exist in the stand-in.
HRESULT AdminManagerObject::GetMetadata(BSTR, VARIANT* pValue) {
  if (pValue) VariantInit(pValue);
  return HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED);
}

HRESULT AdminManagerObject::SetMetadata(BSTR, VARIANT) {
  return HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED);
}

HRESULT AdminManagerObject::get_ConfigManager(IAppHostConfigManager** ppConfigManager) {
  if (!ppConfigManager) return E_POINTER;
  *ppConfigManager = new ConfigManagerObject(store_);
  return S_OK;
}

HRESULT AdminManagerObject::CommitChanges() { return store_->Commit(); }

HRESULT AdminManagerObject::get_CommitPath(BSTR* pbstrCommitPath) {
  return PutBstr(commitPath_, pbstrCommitPath);
}

HRESULT AdminManagerObject::put_CommitPath(BSTR bstrCommitPath) {
  if (!bstrCommitPath) return E_INVALIDARG;
  const std::u16string path(bstrCommitPath, SysStringLen(bstrCommitPath));
  std::string location;
  switch (ParseConfigPath(path, location)) {
    case ConfigPathKind::Invalid:
      return E_INVALIDARG;
    case ConfigPathKind::ElsewhereOk:
      return HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED);
    case ConfigPathKind::AppHost:
      // Deeper commit paths mean web.config files, which the server lacks.
      if (!location.empty()) return HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED);
      break;
  }
  // Changes made for one file cannot be moved to another (0x800700DD).
  if (store_->Dirty() && !machine::EqualNoCase(path, commitPath_)) {
    return HRESULT_FROM_WIN32(ERROR_CHECKOUT_REQUIRED);
  }
  commitPath_ = path;
  return S_OK;
}

}  // namespace apphost
