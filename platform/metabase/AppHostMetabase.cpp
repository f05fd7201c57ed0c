// The metabase compatibility's view of applicationHost.config.
#include "platform/metabase/AppHostMetabase.h"

#include "platform/apphost/ConfigStore.h"
#include "platform/metabase/AppHostMapping.h"
#include "platform/text.h"

namespace metabase {
namespace {

using apphost::ConfigElement;
using apphost::ConfigElementPtr;
using mapping::Attr;

bool ReadDword(std::u16string_view keyPath, const char16_t* name, DWORD& value) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath.data(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return false;
  }
  DWORD type = 0;
  DWORD size = sizeof value;
  const LSTATUS status =
      RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
  RegCloseKey(key);
  return status == ERROR_SUCCESS && type == REG_DWORD;
}

void Set(Key& key, DWORD id, DWORD dataType, std::vector<uint8_t> data,
         DWORD userType = IIS_MD_UT_SERVER, DWORD attributes = METADATA_NO_ATTRIBUTES) {
  key.SetProperty(MakeProperty(id, dataType, attributes, userType, std::move(data)));
}

void SetText(Key& key, DWORD id, const std::string& text, DWORD userType = IIS_MD_UT_SERVER,
             DWORD attributes = METADATA_NO_ATTRIBUTES) {
  Set(key, id, STRING_METADATA, EncodeString(machine::FromUtf8(text)), userType, attributes);
}

Key& AddKey(Key& parent, const std::string& name, const char* keyType) {
  Key& key = parent.AddChild(machine::FromUtf8(name));
  SetText(key, MD_KEY_TYPE, keyType);
  return key;
}

ConfigElementPtr Section(const std::shared_ptr<apphost::ConfigStore>& store, const char* name,
                         const std::string& location) {
  return ConfigElement::Section(store, name, location);
}

std::vector<std::u16string> ScriptMaps(const ConfigElementPtr& handlers) {
  std::vector<std::u16string> maps;
  for (const auto& handler : mapping::Entries(handlers)) {
    if (const auto map = mapping::ScriptMapOf(handler))
      maps.push_back(machine::FromUtf8(map->Text()));
  }
  return maps;
}

void SetScriptMaps(Key& key, const ConfigElementPtr& handlers) {
  Set(key, MD_SCRIPT_MAPS, MULTISZ_METADATA, EncodeMultiString(ScriptMaps(handlers)),
      IIS_MD_UT_FILE, METADATA_INHERIT);
}

// The Filters key of the server or of one website: the filters set at
// exactly that level, in load order.
void AddFilters(Key& parent, const std::shared_ptr<apphost::ConfigStore>& store,
                const std::string& location) {
  Key& filters = AddKey(parent, "Filters", "IIsFilters");
  std::string order;
  for (const auto& filter : mapping::Entries(Section(store, mapping::kFilters, location))) {
    if (!mapping::SameName(mapping::LocationOf(filter), location)) continue;
    const std::string name = Attr(filter, "name");
    Key& key = AddKey(filters, name, "IIsFilter");
    SetText(key, MD_FILTER_IMAGE_PATH, Attr(filter, "path"));
    order += (order.empty() ? "" : ",") + name;
  }
  // IIS 6 gives a website's Filters key no load order until it has filters.
  if (!order.empty() || location.empty()) SetText(filters, MD_FILTER_LOAD_ORDER, order);
}

void AddRestrictions(Key& w3svc, const std::shared_ptr<apphost::ConfigStore>& store) {
  const ConfigElementPtr section = Section(store, mapping::kRestrictions, "");
  auto allowed = [&](const char* attribute) {
    return mapping::SameName(Attr(section, attribute), "true") ? "1" : "0";
  };
  std::vector<std::u16string> list = {
      machine::FromUtf8(std::string(allowed("notListedIsapisAllowed")) + ",*.dll"),
      machine::FromUtf8(std::string(allowed("notListedCgisAllowed")) + ",*.exe")};
  for (const auto& entry : mapping::Entries(section)) {
    mapping::Restriction restriction;
    restriction.allowed = mapping::SameName(Attr(entry, "allowed"), "true");
    restriction.path = Attr(entry, "path");
    restriction.group = Attr(entry, "groupId");
    restriction.description = Attr(entry, "description");
    list.push_back(machine::FromUtf8(restriction.Text()));
  }
  Set(w3svc, MD_WEB_SVC_EXT_RESTRICTION_LIST, MULTISZ_METADATA, EncodeMultiString(list));
}

// The physical path of the site's root application's root directory.
std::string RootPath(const ConfigElementPtr& site) {
  for (const auto& application : mapping::Entries(site)) {
    if (Attr(application, "path") != "/") continue;
    for (const auto& directory : mapping::Entries(application)) {
      if (Attr(directory, "path") == "/") return Attr(directory, "physicalPath");
    }
  }
  return {};
}

void AddSites(Key& w3svc, const std::shared_ptr<apphost::ConfigStore>& store) {
  for (const auto& site : mapping::Entries(Section(store, mapping::kSites, ""))) {
    const std::string name = Attr(site, "name");
    const std::string id = Attr(site, "id");
    if (id.empty() || w3svc.FindChild(machine::FromUtf8(id)) != nullptr) continue;
    Key& server = AddKey(w3svc, id, "IIsWebServer");
    SetText(server, MD_SERVER_COMMENT, name);
    AddFilters(server, store, name);
    Key& root = AddKey(server, "ROOT", "IIsWebVirtualDir");
    SetText(root, MD_VR_PATH, RootPath(site), IIS_MD_UT_FILE, METADATA_INHERIT);
    // A website with handler mappings of its own has script maps of its own.
    if (!store->Document().DefinitionsAt(mapping::kHandlers, name).empty()) {
      SetScriptMaps(root, Section(store, mapping::kHandlers, name));
    }
  }
}

void AddPool(Key& key, const ConfigElementPtr& processModel) {
  const DWORD type = mapping::IdentityTypeOf(Attr(processModel, "identityType"));
  Set(key, MD_APPPOOL_IDENTITY_TYPE, DWORD_METADATA, EncodeDword(type), IIS_MD_UT_SERVER,
      METADATA_INHERIT);
  if (type == MD_APPPOOL_IDENTITY_TYPE_SPECIFICUSER) {
    SetText(key, MD_WAM_USER_NAME, Attr(processModel, "userName"), IIS_MD_UT_WAM, METADATA_INHERIT);
  }
}

void AddPools(Key& w3svc, const std::shared_ptr<apphost::ConfigStore>& store) {
  const ConfigElementPtr section = Section(store, mapping::kPools, "");
  Key& pools = AddKey(w3svc, "AppPools", "IIsApplicationPools");
  AddPool(pools,
          mapping::Child(mapping::Child(section, "applicationPoolDefaults"), "processModel"));
  for (const auto& pool : mapping::Entries(section)) {
    const std::string name = Attr(pool, "name");
    if (name.empty() || pools.FindChild(machine::FromUtf8(name)) != nullptr) continue;
    AddPool(AddKey(pools, name, "IIsApplicationPool"), mapping::Child(pool, "processModel"));
  }
}

}  // namespace

bool UsesAppHostMetabase() {
  DWORD major = 0;
  DWORD installed = 0;
  return ReadDword(u"Software\\Microsoft\\InetStp", u"MajorVersion", major) && major >= 7 &&
         ReadDword(u"Software\\Microsoft\\InetStp\\Components", u"Metabase", installed) &&
         installed != 0;
}

std::u16string AppHostMetabaseFile() { return apphost::ConfigStore::DefaultFilePath(); }

HRESULT ReadAppHostMetabase(std::unique_ptr<Key>& root) {
  auto store = std::make_shared<apphost::ConfigStore>(false);
  const HRESULT hr = store->Load();
  if (FAILED(hr)) return hr;
  root = std::make_unique<Key>(u"");
  Key& lm = AddKey(*root, "LM", "IIsComputer");
  Key& w3svc = AddKey(lm, "W3SVC", "IIsWebService");
  SetScriptMaps(w3svc, Section(store, mapping::kHandlers, ""));
  AddRestrictions(w3svc, store);
  AddFilters(w3svc, store, "");
  AddSites(w3svc, store);
  AddPools(w3svc, store);
  return S_OK;
}

}  // namespace metabase
