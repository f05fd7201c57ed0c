#include "platform/metabase/AppHostMapping.h"

#include <iterator>

#include "platform/apphost/ConfigPath.h"

namespace metabase {
namespace mapping {
namespace {

// "a,b,c" -> the first `count` - 1 fields and the rest as the last one.
std::vector<std::string> Fields(const std::string& text, size_t count) {
  std::vector<std::string> fields;
  size_t start = 0;
  while (fields.size() + 1 < count) {
    const size_t comma = text.find(',', start);
    if (comma == std::string::npos) break;
    fields.push_back(text.substr(start, comma - start));
    start = comma + 1;
  }
  fields.push_back(text.substr(start));
  return fields;
}

const char* const kIdentityTypes[] = {"LocalSystem", "LocalService", "NetworkService",
                                      "SpecificUser", "ApplicationPoolIdentity"};

bool Contains(const std::string& list, const char* item) {
  for (const std::string& piece : Fields(list, 64)) {
    if (SameName(piece, item)) return true;
  }
  return false;
}

}  // namespace

std::string Attr(const apphost::ConfigElementPtr& element, const char* name) {
  const apphost::AttributeSchema* schema = nullptr;
  if (element == nullptr || FAILED(element->CheckProperty(name, schema))) return {};
  return element->EffectiveValue(name, schema);
}

apphost::ConfigElementPtr Child(const apphost::ConfigElementPtr& element, const char* name) {
  apphost::ConfigElementPtr child;
  if (element == nullptr || FAILED(element->Child(name, child))) return nullptr;
  return child;
}

std::vector<apphost::ConfigElementPtr> Entries(const apphost::ConfigElementPtr& owner) {
  std::vector<apphost::ConfigElementPtr> entries;
  const apphost::CollectionSchema* schema = owner != nullptr ? owner->Collection() : nullptr;
  if (schema == nullptr) return entries;
  apphost::ConfigCollection collection(owner, *schema);
  DWORD count = 0;
  if (FAILED(collection.Count(count))) return entries;
  for (DWORD i = 0; i < count; ++i) {
    apphost::ConfigElementPtr entry;
    if (SUCCEEDED(collection.Item(i, entry))) entries.push_back(entry);
  }
  return entries;
}

std::string LocationOf(const apphost::ConfigElementPtr& entry) {
  const auto layers = entry->Layers();
  return layers.empty() ? std::string() : layers.front().location;
}

bool SameName(const std::string& a, const std::string& b) { return apphost::EqualNoCaseUtf8(a, b); }

std::string ScriptMap::Text() const {
  return extension + "," + executable + "," + std::to_string(flags) +
         (verbs.empty() ? "" : "," + verbs);
}

std::optional<ScriptMap> ScriptMapOf(const apphost::ConfigElementPtr& handler) {
  ScriptMap map;
  map.executable = Attr(handler, "scriptProcessor");
  const std::string modules = Attr(handler, "modules");
  if (map.executable.empty() ||
      (!Contains(modules, "IsapiModule") && !Contains(modules, "CgiModule"))) {
    return std::nullopt;
  }
  const std::string path = Attr(handler, "path");
  if (path == "*") {
    map.extension = "*";
  } else if (path.size() > 2 && path.compare(0, 2, "*.") == 0 &&
             path.find_first_of("*/\\", 1) == std::string::npos) {
    map.extension = path.substr(1);
  } else {
    return std::nullopt;
  }
  const std::string verb = Attr(handler, "verb");
  map.verbs = verb == "*" ? "" : verb;
  map.flags = (SameName(Attr(handler, "requireAccess"), "Script") ? 1u : 0u) |
              (SameName(Attr(handler, "resourceType"), "File") ? 4u : 0u);
  return map;
}

std::optional<ScriptMap> ParseScriptMap(const std::string& text) {
  const std::vector<std::string> fields = Fields(text, 4);
  if (fields.size() < 3 || fields[0].empty() || fields[1].empty()) return std::nullopt;
  ScriptMap map;
  map.extension = fields[0];
  map.executable = fields[1];
  // IIS 6 writes the executable in double quotes; the handler holds it bare.
  if (map.executable.size() > 1 && map.executable.front() == '"' && map.executable.back() == '"') {
    map.executable = map.executable.substr(1, map.executable.size() - 2);
  }
  try {
    map.flags = static_cast<unsigned>(std::stoul(fields[2])) & 5u;
  } catch (const std::exception&) {
    return std::nullopt;
  }
  map.verbs = fields.size() > 3 ? fields[3] : "";
  return map;
}

const char* IdentityTypeName(DWORD type) {
  return type < std::size(kIdentityTypes) ? kIdentityTypes[type] : nullptr;
}

DWORD IdentityTypeOf(const std::string& name) {
  for (DWORD i = 0; i < std::size(kIdentityTypes); ++i) {
    if (SameName(name, kIdentityTypes[i])) return i;
  }
  return MD_APPPOOL_IDENTITY_TYPE_NETWORKSERVICE;
}

std::string Restriction::Text() const {
  return std::string(allowed ? "1" : "0") + "," + path + ",0," + group + "," + description;
}

std::optional<Restriction> ParseRestriction(const std::string& text) {
  const std::vector<std::string> fields = Fields(text, 5);
  if (fields.size() < 2 || fields[1].empty()) return std::nullopt;
  Restriction restriction;
  restriction.allowed = fields[0] == "1";
  restriction.path = fields[1];
  if (fields.size() > 3) restriction.group = fields[3];
  if (fields.size() > 4) restriction.description = fields[4];
  return restriction;
}

}  // namespace mapping
}  // namespace metabase
