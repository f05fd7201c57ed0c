// The objects appcmd lists (sites, applications, virtual directories,
// application pools, modules), each with the identity and summary
// attributes appcmd shows and the configuration element behind it.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "tools/quaver-machine/AppHostReader.h"

namespace quaver_machine {

struct AppcmdObject {
  std::string identifier;  // "Default Web Site", "Default Web Site/shop" ...
  // In the order appcmd shows them in /xml and /text:*: identity
  // ("SITE.NAME") first, then the rest ("bindings", "state").
  std::vector<std::pair<std::string, std::string>> attributes;
  // What the one-line form shows in brackets ("id", "bindings", "state").
  std::vector<std::pair<std::string, std::string>> summary;
  std::string elementName;                                         // "site", "application" ...
  std::vector<std::pair<std::string, std::string>> configuration;  // the element's attributes
};

struct AppcmdObjectType {
  const char* name;    // "site"
  const char* plural;  // "sites"
  const char* shown;   // "SITE"
  // `location` is only used by modules (/app.name).
  std::vector<AppcmdObject> (*list)(const AppHostReader& reader, const std::string& location);
};

// site, app, vdir, apppool, module; null for any other name.
const AppcmdObjectType* FindAppcmdObjectType(const std::string& name);

}  // namespace quaver_machine
