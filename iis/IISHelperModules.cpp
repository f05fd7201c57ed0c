// Native modules: registered server-wide by image ("globalModules") and
// enabled at the server level or for one website ("modules").
#include "iis/IISHelper.h"

namespace {

const char16_t kGlobalModules[] = u"system.webServer/globalModules";
const char16_t kModules[] = u"system.webServer/modules";

}  // namespace

bool IISHelper::AddGlobalModule(const CSPWString& moduleName, const CSPWString& image) {
  if (!AddNamedEntry(kGlobalModules, CSPWString(), moduleName)) return false;
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_BSTR;
  value.bstrVal = SysAllocStringLen(as_wcstr(image.GetString()), image.GetLength());
  const bool set = SetElementProperty(u"image", value);
  VariantClear(&value);
  return set && LockAndAppend();
}

bool IISHelper::RemoveGlobalModule(const CSPWString& moduleName) {
  return RemoveNamedEntry(kGlobalModules, CSPWString(), moduleName);
}

// An entry the website already shows, its own or inherited, is only locked.
bool IISHelper::AddModule(const CSPWString& moduleName, const CSPWString& location) {
  return AddNamedEntry(kModules, location, moduleName) && LockAndAppend();
}

bool IISHelper::RemoveModule(const CSPWString& moduleName, const CSPWString& location) {
  return RemoveNamedEntry(kModules, location, moduleName);
}

bool IISHelper::RemoveModuleEverywhere(const CSPWString& moduleName) {
  return RemoveNamedEntryEverywhere(kModules, u"add", moduleName);
}
