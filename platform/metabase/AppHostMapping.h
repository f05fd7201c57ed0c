// What the metabase compatibility reads and writes of applicationHost.config
// (AppHostMetabase.h): the sections, and the translation of one handler
// mapping or restriction entry to its metabase text and back.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/apphost/ConfigCollection.h"
#include "platform/apphost/ConfigElement.h"

namespace metabase {
namespace mapping {

inline constexpr char kFilters[] = "system.webServer/isapiFilters";
inline constexpr char kHandlers[] = "system.webServer/handlers";
inline constexpr char kRestrictions[] = "system.webServer/security/isapiCgiRestriction";
inline constexpr char kSites[] = "system.applicationHost/sites";
inline constexpr char kPools[] = "system.applicationHost/applicationPools";

// The attribute's effective text; empty when the element has no such one.
std::string Attr(const apphost::ConfigElementPtr& element, const char* name);
apphost::ConfigElementPtr Child(const apphost::ConfigElementPtr& element, const char* name);
// The entries of the element's collection, in merged order.
std::vector<apphost::ConfigElementPtr> Entries(const apphost::ConfigElementPtr& owner);
// The location that set the entry ("" for the server level).
std::string LocationOf(const apphost::ConfigElementPtr& entry);
bool SameName(const std::string& a, const std::string& b);

// A script map entry: ".ext,executable,flags[,verbs]" ("*" for a wildcard).
struct ScriptMap {
  std::string extension;
  std::string executable;
  unsigned flags = 0;  // 1: script access is enough; 4: the file must exist
  std::string verbs;   // empty: all verbs
  std::string Text() const;
};
// The script map a handler mapping stands for, if it is an ISAPI or CGI one.
std::optional<ScriptMap> ScriptMapOf(const apphost::ConfigElementPtr& handler);
// Only the flags a handler mapping can carry are kept.
std::optional<ScriptMap> ParseScriptMap(const std::string& text);

// An application pool's identity type: the metabase number and the
// application host's name ("NetworkService" 2, ...; "ApplicationPoolIdentity"
// has the next number, 4). Null, or 2 for an unknown name.
const char* IdentityTypeName(DWORD type);
DWORD IdentityTypeOf(const std::string& name);

// A web service extension entry: "allowed,path,deletable,group,description".
struct Restriction {
  bool allowed = false;
  std::string path;
  std::string group;
  std::string description;
  std::string Text() const;
};
std::optional<Restriction> ParseRestriction(const std::string& text);

}  // namespace mapping
}  // namespace metabase
