// Writing the metabase compatibility's mapped keys back into
// applicationHost.config: each mapped list is compared with what the file
// holds, and only the entries that differ are cleared or added, through the
// same element operations the configuration system offers every program,
// so that the application host's own removals undo an addition exactly.
#include <set>

#include "platform/apphost/ConfigStore.h"
#include "platform/metabase/AppHostMapping.h"
#include "platform/metabase/AppHostMetabase.h"
#include "platform/text.h"

namespace metabase {
namespace {

using apphost::ConfigElement;
using apphost::ConfigElementPtr;
using mapping::Attr;
using StorePtr = std::shared_ptr<apphost::ConfigStore>;

std::vector<std::string> Strings(const Property* property) {
  std::vector<std::string> strings;
  if (property == nullptr) return strings;
  if (property->dataType == MULTISZ_METADATA) {
    for (const auto& s : DecodeMultiString(property->data)) strings.push_back(machine::ToUtf8(s));
  } else if (property->dataType == STRING_METADATA) {
    strings.push_back(machine::ToUtf8(DecodeString(property->data)));
  }
  return strings;
}

// Sets the attributes in order on a new entry and adds it at `position`.
// An entry the collection refuses (its name is taken, by a level above)
// stays in the metabase only, so that it cannot keep every later change
// from being written.
void AddEntry(const ConfigElementPtr& owner, int position,
              const std::vector<std::pair<const char*, std::string>>& attributes) {
  apphost::ConfigCollection collection(owner, *owner->Collection());
  ConfigElementPtr entry;
  HRESULT hr = collection.CreateNew("", entry);
  for (const auto& [name, value] : attributes) {
    if (SUCCEEDED(hr)) hr = entry->SetValue(name, value);
  }
  if (SUCCEEDED(hr)) collection.Add(entry, position);
}

int IndexOf(const ConfigElementPtr& owner, const std::string& name) {
  const auto entries = mapping::Entries(owner);
  for (size_t i = 0; i < entries.size(); ++i) {
    if (mapping::SameName(Attr(entries[i], "name"), name)) return static_cast<int>(i);
  }
  return -1;
}

// Handler mappings at `location` follow the script maps: the ISAPI and CGI
// mappings the list no longer holds are cleared, its new entries are added
// on top in list order (a handler mapping higher up wins).
HRESULT WriteScriptMaps(const StorePtr& store, const std::string& location,
                        const Property* property) {
  if (property == nullptr || property->dataType != MULTISZ_METADATA) return S_OK;
  std::vector<mapping::ScriptMap> wanted;
  for (const std::string& text : Strings(property)) {
    if (const auto map = mapping::ParseScriptMap(text)) wanted.push_back(*map);
  }
  const ConfigElementPtr handlers = ConfigElement::Section(store, mapping::kHandlers, location);
  std::vector<bool> present(wanted.size(), false);
  std::set<std::string> names;
  for (const auto& handler : mapping::Entries(handlers)) {
    names.insert(Attr(handler, "name"));
    const auto map = mapping::ScriptMapOf(handler);
    if (!map) continue;
    size_t i = 0;
    while (i < wanted.size() && (present[i] || wanted[i].Text() != map->Text())) ++i;
    if (i < wanted.size()) {
      present[i] = true;
    } else if (const HRESULT hr = handler->Clear(); FAILED(hr)) {
      return hr;
    }
  }
  int position = 0;
  int number = 1;
  for (size_t i = 0; i < wanted.size(); ++i) {
    if (present[i]) continue;
    const mapping::ScriptMap& map = wanted[i];
    std::string name;
    do {
      name = "AboMapperCustom-" + std::to_string(number++);
    } while (names.count(name) != 0);
    const bool cgi = map.executable.size() > 4 &&
                     mapping::SameName(map.executable.substr(map.executable.size() - 4), ".exe");
    AddEntry(handlers, position++,
             {{"name", name},
              {"path", map.extension == "*" ? "*" : "*" + map.extension},
              {"verb", map.verbs.empty() ? "*" : map.verbs},
              {"modules", cgi ? "CgiModule" : "IsapiModule"},
              {"scriptProcessor", map.executable},
              {"resourceType", (map.flags & 4) != 0 ? "File" : "Unspecified"},
              {"requireAccess", (map.flags & 1) != 0 ? "Script" : "Execute"}});
  }
  return S_OK;
}

HRESULT SetIfDifferent(const ConfigElementPtr& element, const char* name,
                       const std::string& value) {
  return Attr(element, name) == value ? S_OK : element->SetValue(name, value);
}

// isapiCgiRestriction follows the extension list: "*.dll" and "*.exe" are
// the section's allowances for what the list does not name.
HRESULT WriteRestrictions(const StorePtr& store, const Property* property) {
  if (property == nullptr || property->dataType != MULTISZ_METADATA) return S_OK;
  const ConfigElementPtr section = ConfigElement::Section(store, mapping::kRestrictions, "");
  std::vector<mapping::Restriction> wanted;
  HRESULT hr = S_OK;
  for (const std::string& text : Strings(property)) {
    const auto restriction = mapping::ParseRestriction(text);
    if (!restriction) continue;
    const char* notListed = restriction->path == "*.dll"   ? "notListedIsapisAllowed"
                            : restriction->path == "*.exe" ? "notListedCgisAllowed"
                                                           : nullptr;
    if (notListed == nullptr) {
      wanted.push_back(*restriction);
    } else if (SUCCEEDED(hr)) {
      hr = SetIfDifferent(section, notListed, restriction->allowed ? "true" : "false");
    }
  }
  std::vector<bool> present(wanted.size(), false);
  for (const auto& entry : mapping::Entries(section)) {
    size_t i = 0;
    while (i < wanted.size() &&
           (present[i] || !mapping::SameName(wanted[i].path, Attr(entry, "path")))) {
      ++i;
    }
    if (FAILED(hr)) return hr;
    if (i == wanted.size()) {
      hr = entry->Clear();
      continue;
    }
    present[i] = true;
    hr = SetIfDifferent(entry, "allowed", wanted[i].allowed ? "true" : "false");
    if (SUCCEEDED(hr)) hr = SetIfDifferent(entry, "groupId", wanted[i].group);
    if (SUCCEEDED(hr)) hr = SetIfDifferent(entry, "description", wanted[i].description);
  }
  for (size_t i = 0; i < wanted.size() && SUCCEEDED(hr); ++i) {
    if (present[i]) continue;
    AddEntry(section, -1,
             {{"path", wanted[i].path},
              {"allowed", wanted[i].allowed ? "true" : "false"},
              {"groupId", wanted[i].group},
              {"description", wanted[i].description}});
  }
  return hr;
}

struct Filter {
  std::string name;
  std::string path;
};

// isapiFilters at `location` follows the Filters key: the filters of its
// load order that have a key with a path, in that order.
HRESULT WriteFilters(const StorePtr& store, const std::string& location, const Key* filters) {
  if (filters == nullptr) return S_OK;
  std::vector<Filter> wanted;
  for (const std::string& order : Strings(filters->FindProperty(MD_FILTER_LOAD_ORDER))) {
    size_t start = 0;
    while (start <= order.size()) {
      const size_t comma = std::min(order.find(',', start), order.size());
      const std::string name = order.substr(start, comma - start);
      start = comma + 1;
      const Key* key = name.empty() ? nullptr : filters->FindChild(machine::FromUtf8(name));
      const auto path = Strings(key != nullptr ? key->FindProperty(MD_FILTER_IMAGE_PATH) : nullptr);
      if (!path.empty()) wanted.push_back({name, path.front()});
    }
  }
  const ConfigElementPtr section = ConfigElement::Section(store, mapping::kFilters, location);
  std::vector<bool> present(wanted.size(), false);
  for (const auto& entry : mapping::Entries(section)) {
    if (!mapping::SameName(mapping::LocationOf(entry), location)) continue;
    size_t i = 0;
    while (i < wanted.size() && !mapping::SameName(wanted[i].name, Attr(entry, "name"))) ++i;
    const HRESULT hr =
        i == wanted.size() ? entry->Clear() : SetIfDifferent(entry, "path", wanted[i].path);
    if (FAILED(hr)) return hr;
    if (i < wanted.size()) present[i] = true;
  }
  for (size_t i = 0; i < wanted.size(); ++i) {
    if (present[i]) continue;
    // Before the next filter of the load order that is there already.
    int position = -1;
    for (size_t j = i + 1; j < wanted.size() && position < 0; ++j) {
      if (present[j]) position = IndexOf(section, wanted[j].name);
    }
    AddEntry(section, position, {{"name", wanted[i].name}, {"path", wanted[i].path}});
    present[i] = true;
  }
  return S_OK;
}

// A pool's process model follows its key: the identity type, and the user
// of a specific-user identity.
HRESULT WritePool(const ConfigElementPtr& processModel, const Key& key) {
  const Property* type = key.FindProperty(MD_APPPOOL_IDENTITY_TYPE);
  if (processModel == nullptr || type == nullptr || type->dataType != DWORD_METADATA) return S_OK;
  const DWORD wanted = DecodeDword(type->data);
  const char* name = mapping::IdentityTypeName(wanted);
  HRESULT hr = S_OK;
  if (name != nullptr && mapping::IdentityTypeOf(Attr(processModel, "identityType")) != wanted) {
    hr = processModel->SetValue("identityType", name);
  }
  const auto user = Strings(key.FindProperty(MD_WAM_USER_NAME));
  if (SUCCEEDED(hr) && wanted == MD_APPPOOL_IDENTITY_TYPE_SPECIFICUSER && !user.empty()) {
    hr = SetIfDifferent(processModel, "userName", user.front());
  }
  return hr;
}

HRESULT WritePools(const StorePtr& store, const Key* pools) {
  if (pools == nullptr) return S_OK;
  const ConfigElementPtr section = ConfigElement::Section(store, mapping::kPools, "");
  HRESULT hr = WritePool(
      mapping::Child(mapping::Child(section, "applicationPoolDefaults"), "processModel"), *pools);
  for (const auto& pool : mapping::Entries(section)) {
    const Key* key = pools->FindChild(machine::FromUtf8(Attr(pool, "name")));
    if (key != nullptr && SUCCEEDED(hr)) hr = WritePool(mapping::Child(pool, "processModel"), *key);
  }
  return hr;
}

}  // namespace

HRESULT WriteAppHostMetabase(const Key& root) {
  auto store = std::make_shared<apphost::ConfigStore>(true);
  HRESULT hr = store->Load();
  if (FAILED(hr)) return hr;
  const Key* lm = root.FindChild(u"LM");
  const Key* w3svc = lm != nullptr ? lm->FindChild(u"W3SVC") : nullptr;
  if (w3svc == nullptr) return S_OK;
  hr = WriteScriptMaps(store, "", w3svc->FindProperty(MD_SCRIPT_MAPS));
  if (SUCCEEDED(hr))
    hr = WriteRestrictions(store, w3svc->FindProperty(MD_WEB_SVC_EXT_RESTRICTION_LIST));
  if (SUCCEEDED(hr)) hr = WriteFilters(store, "", w3svc->FindChild(u"Filters"));
  if (SUCCEEDED(hr)) hr = WritePools(store, w3svc->FindChild(u"AppPools"));
  const ConfigElementPtr sites = ConfigElement::Section(store, mapping::kSites, "");
  for (const auto& site : mapping::Entries(sites)) {
    const Key* server = w3svc->FindChild(machine::FromUtf8(Attr(site, "id")));
    if (server == nullptr || FAILED(hr)) continue;
    const std::string name = Attr(site, "name");
    hr = WriteFilters(store, name, server->FindChild(u"Filters"));
    const Key* siteRoot = server->FindChild(u"ROOT");
    if (SUCCEEDED(hr) && siteRoot != nullptr) {
      // A website root whose script maps were deleted inherits the server's:
      // its own handler mappings must go, not stay behind unseen.
      const Property* maps = siteRoot->FindProperty(MD_SCRIPT_MAPS);
      hr = WriteScriptMaps(store, name,
                           maps != nullptr ? maps : w3svc->FindProperty(MD_SCRIPT_MAPS));
    }
  }
  return SUCCEEDED(hr) ? store->Commit() : hr;
}

}  // namespace metabase
