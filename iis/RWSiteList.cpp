#include "iis/RWSiteList.h"

#include "iis/IISHelper.h"
#include "platform/win.h"

namespace {

constexpr uint32_t kIconError = 0x10;
constexpr uint32_t kKeyType = 1002;        // MD_KEY_TYPE
constexpr uint32_t kServerComment = 1015;  // MD_SERVER_COMMENT
constexpr uint32_t kFilterLoadOrder = 2040;
const char16_t kModuleSection[] = u"system.webServer/modules";
const char16_t kModuleName[] = u"QuaverModule";

}  // namespace

RWSiteList::RWSiteList(ListMessage show) : show(std::move(show)) {}

bool RWSiteList::Load(uint32_t mode) {
  enabledIds.RemoveAll(true);
  allSites.RemoveAll(true);
  listedSites.RemoveAll(true);
  ReadEnableList();
  if (mode == FromFile) {
    for (uint32_t i = 0; i < listedSites.GetCount(); ++i) enabledIds.Add(listedSites.GetKeyAt(i));
    return true;
  }
  bool read = false;
  if (mode == FromMetabase) read = ReadMetabaseSites();
  if (mode == FromAppHost) read = ReadAppHostSites();
  if (!read) return false;
  Save();
  return true;
}

void RWSiteList::ReadEnableList() {
  CSPList<CSPString> lines;
  if (!ReadListFile(u"EnableSites.lst", lines)) return;
  const CSPString& first = lines.GetAt(0);
  if (first == "$ENABLE_ALL$") enableAll = true;
  if (first == "$ENABLE_ONLY$") enableAll = false;
  for (uint32_t i = 0; i < lines.GetCount(); ++i) {
    const CSPString& line = lines.GetAt(i);
    if (line.GetLength() == 0 || line.GetAt(0) == '$') continue;
    RWSite site;
    site.id = DecodeListLine(line);
    site.enabled = true;
    listedSites.SetAt(site.id, site);
  }
}

bool RWSiteList::Fail(const char16_t* text) {
  Error(CSPWString(text));
  return false;
}

void RWSiteList::Error(const CSPWString& text) {
  if (show) show(text, CSPWString(u"System error"), kIconError);
}

void RWSiteList::AddSite(const CSPWString& id, const CSPWString& name, bool enabled) {
  RWSite site;
  site.id = id;
  site.name = name;
  site.enabled = enabled;
  allSites.SetAt(id, site);
}

// The product's filter is installed at a filters key when the load order
// names it and its own key is a filter.
bool RWSiteList::FilterInstalledAt(IISHelper& iis, const CSPWString& key) {
  CSPWString order;
  CSPWString type;
  uint32_t attributes = 0;
  uint32_t userType = 0;
  if (!iis.GetStringData(kFilterLoadOrder, order, attributes, userType, key)) return false;
  order.MakeLower();
  if (order.Find(u"quaver") == CSPWString::kNotFound) return false;
  return iis.GetStringData(kKeyType, type, attributes, userType, key + u"/Quaver") &&
         type.CompareNoCase(u"IIsFilter") == 0;
}

bool RWSiteList::ReadMetabaseSites() {
  IISHelper iis;
  if (!iis.Connect(IISHelper::ConnectMetabase)) return Fail(u"Cannot connect to IIS");
  if (!iis.OpenKey(u"/LM/W3SVC")) return Fail(u"Cannot open IIS metabase key /LM/W3SVC");
  CSPList<CSPWString> keys;
  if (!iis.EnumKeys(keys, u"")) {
    return Fail(u"Cannot retrieve IIS metabase keys for virtual websites");
  }
  enableAll = FilterInstalledAt(iis, u"Filters");
  for (uint32_t i = 0; i < keys.GetCount(); ++i) {
    const CSPWString& key = keys.GetAt(i);
    CSPWString type;
    CSPWString name;
    uint32_t attributes = 0;
    uint32_t userType = 0;
    if (!iis.GetStringData(kKeyType, type, attributes, userType, key)) {
      Error(u"Cannot retrieve key type for website from IIS metabase");
      continue;
    }
    if (type.CompareNoCase(u"IIsWebServer") != 0) continue;
    if (!iis.GetStringData(kServerComment, name, attributes, userType, key)) {
      Error(u"Cannot retrieve website name from IIS metabase for key /LM/W3SVC/" + key);
      continue;
    }
    const bool enabled =
        FilterInstalledAt(iis, key + u"/Filters") || listedSites.Lookup(key) != nullptr;
    AddSite(key, name, enabled);
  }
  iis.Disconnect(IISHelper::ConnectMetabase);
  return true;
}

bool RWSiteList::ReadAppHostSites() {
  IISHelper iis;
  if (!iis.Connect(IISHelper::ConnectAppHost)) return Fail(u"Cannot connect to IIS");
  if (!iis.OpenConfigPath(u"MACHINE/WEBROOT/APPHOST")) {
    return Fail(u"Cannot open IIS configuration path MACHINE/WEBROOT/APPHOST");
  }
  CSPList<IISHelper::Site> sites;
  if (!iis.GetSites(sites)) return Fail(u"Cannot retrieve IIS metabase keys for virtual websites");
  if (!iis.OpenSection(kModuleSection, u"")) {
    return Fail(u"Cannot open IIS configuration section system.webServer/modules");
  }
  enableAll = iis.FindElement(kModuleName, u"add", u"name", 0);
  for (uint32_t i = 0; i < sites.GetCount(); ++i) {
    const IISHelper::Site& site = sites.GetAt(i);
    const bool enabled = listedSites.Lookup(site.id) != nullptr ||
                         (iis.OpenSection(kModuleSection, site.name) &&
                          iis.FindElement(kModuleName, u"add", u"name", 0));
    AddSite(site.id, site.name, enabled);
  }
  iis.Disconnect(IISHelper::ConnectAppHost);
  return true;
}

void RWSiteList::Save() {
  enabledIds.RemoveAll(true);
  for (uint32_t i = 0; i < allSites.GetCount(); ++i) {
    if (allSites.GetValueAt(i).enabled) enabledIds.Add(allSites.GetKeyAt(i));
  }
  CSPWString text(enableAll ? u"$ENABLE_ALL$\r\n" : u"$ENABLE_ONLY$\r\n");
  for (uint32_t i = 0; i < enabledIds.GetCount(); ++i) text += enabledIds.GetAt(i) + u"\r\n";
  WriteListFile(u"EnableSites.lst", text, &show);
}
