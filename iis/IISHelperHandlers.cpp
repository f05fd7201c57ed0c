// Handler mappings of the application host, and the removal of the handler
// entries that stand for script maps and wildcard script maps.
#include "iis/IISHelper.h"

namespace {

const char16_t kHandlers[] = u"system.webServer/handlers";

bool SetText(IISHelper& iis, const char16_t* name, const CSPWString& text,
             const char16_t* whenEmpty) {
  const CSPWString& written = text.GetLength() > 0 ? text : CSPWString(whenEmpty);
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_BSTR;
  value.bstrVal = SysAllocStringLen(as_wcstr(written.GetString()), written.GetLength());
  const bool set = iis.SetElementProperty(name, value);
  VariantClear(&value);
  return set;
}

}  // namespace

// An existing entry of the same name keeps its place and takes the values.
bool IISHelper::AddHandler(const CSPWString& handlerName, const CSPWString& modules,
                           const CSPWString& path, const CSPWString& verbs,
                           const CSPWString& access, const CSPWString& location) {
  return AddNamedEntry(kHandlers, location, handlerName) &&
         SetText(*this, u"modules", modules, u"") && SetText(*this, u"path", path, u"*") &&
         SetText(*this, u"verb", verbs, u"*") &&
         SetText(*this, u"requireAccess", access, u"Script") && LockAndAppend();
}

bool IISHelper::RemoveHandler(const CSPWString& handlerName, const CSPWString& location) {
  return RemoveNamedEntry(kHandlers, location, handlerName);
}

bool IISHelper::RemoveHandlerEverywhere(const CSPWString& handlerName) {
  return RemoveNamedEntryEverywhere(kHandlers, u"add", handlerName);
}

// An empty extension names no script map; as a pattern it would take every
// handler whose path the file leaves out.
bool IISHelper::RemoveAppHostScriptMap(const CSPWString& extension) {
  const CSPWString pattern =
      extension.GetLength() > 0 && extension.GetAt(0) == u'.' ? u"*" + extension : extension;
  CSPList<CSPWString> locations;
  if (!LocationsShallowestFirst(locations)) return false;
  if (pattern.GetLength() == 0) return true;
  for (uint32_t i = 0; i < locations.GetCount(); ++i) {
    if (!OpenSection(kHandlers, locations.GetAt(i))) return false;
    ClearAllMatches(pattern, u"path", nullptr);
  }
  return true;
}

// An empty executable would be contained in every script processor and
// take every wildcard handler with it: it removes nothing.
bool IISHelper::RemoveAppHostWildcardScriptMap(const CSPWString& executable) {
  CSPList<CSPWString> locations;
  if (!LocationsShallowestFirst(locations)) return false;
  if (executable.GetLength() == 0) return true;
  for (uint32_t i = 0; i < locations.GetCount(); ++i) {
    if (!OpenSection(kHandlers, locations.GetAt(i))) return false;
    ClearAllMatches(u"*", u"path", &executable);
  }
  return true;
}
