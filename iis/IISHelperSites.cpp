// Websites of the application host: the entries of the sites section, and
// the root directory of one of them.
#include "core/ExpandEnvVars.h"
#include "iis/ComRef.h"
#include "iis/ComText.h"
#include "iis/IISHelper.h"

namespace {

const char16_t kSitesSection[] = u"system.applicationHost/sites";
const char16_t kAppHostPath[] = u"MACHINE/WEBROOT/APPHOST";

bool ReadText(IAppHostElement* entry, const char16_t* attributeName, CSPWString& value) {
  ComText name{CSPWString(attributeName)};
  ComRef<IAppHostProperty> property;
  BSTR text = nullptr;
  if (FAILED(entry->GetPropertyByName(name.Get(), property.Out())) || property.IsNull() ||
      FAILED(property->get_StringValue(&text))) {
    return false;
  }
  value = ComText::Take(text);
  return true;
}

}  // namespace

// Reads the sites section straight from the admin manager, leaving the
// current section and element alone. Either output may be null.
bool IISHelper::ReadSites(CSPList<Site>* sites, CSPMap<CSPWString, CSPWString>* names) {
  if (!appHostConnected || Manager() == nullptr) return false;
  ComText sectionName{CSPWString(kSitesSection)};
  ComText path{CSPWString(kAppHostPath)};
  ComRef<IAppHostElement> section;
  ComRef<IAppHostElementCollection> collection;
  DWORD count = 0;
  if (FAILED(Manager()->GetAdminSection(sectionName.Get(), path.Get(), section.Out())) ||
      section.IsNull() || FAILED(section->get_Collection(collection.Out())) ||
      collection.IsNull() || FAILED(collection->get_Count(&count))) {
    return false;
  }
  if (sites != nullptr) sites->RemoveAll(true);
  if (names != nullptr) names->RemoveAll(true);
  for (DWORD i = 0; i < count; ++i) {
    VARIANT index;
    VariantInit(&index);
    index.vt = VT_UI4;
    index.ulVal = i;
    ComRef<IAppHostElement> entry;
    Site site;
    if (FAILED(collection->get_Item(index, entry.Out())) || entry.IsNull() ||
        !ReadText(entry.Get(), u"name", site.name) || !ReadText(entry.Get(), u"id", site.id)) {
      return false;
    }
    if (sites != nullptr) sites->Add(site);
    if (names != nullptr) names->SetAt(site.id, site.name);
  }
  return true;
}

bool IISHelper::GetSites(CSPList<Site>& sites) { return ReadSites(&sites, nullptr); }

bool IISHelper::GetSiteNames(CSPMap<CSPWString, CSPWString>& names) {
  return ReadSites(nullptr, &names);
}

// site -> application "/" -> virtual directory "/" -> physicalPath.
bool IISHelper::GetAppHostSiteRoot(const CSPWString& siteName, CSPWString& directory) {
  ComRef<IAppHostElement> sites;
  if (!GetSection(*sites.Out())) return false;
  CSPWString physicalPath;
  const bool found = FindElement(siteName, u"site", u"name", 0) && EnterElement() &&
                     FindElement(u"/", u"application", u"path", 0) && EnterElement() &&
                     FindElement(u"/", u"virtualDirectory", u"path", 0) &&
                     GetElementPropertyString(u"physicalPath", physicalPath);
  SetSection(sites.Get());
  SetCurrentElement(nullptr, false);
  if (!found) return false;
  directory = ExpandEnvVars(physicalPath);
  return true;
}
