// The metabase of a freshly installed IIS 6 server, for new machine images:
// the web service with its script maps, extension list and WAM user, the
// global filters, three websites with their root folders on drive C and
// the application pools they run in.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/metabase/MetabaseKey.h"

namespace metabase {

struct DefaultSite {
  const char16_t* id;
  const char16_t* comment;
  const char16_t* bindings;
  const char16_t* rootPath;  // Windows path; the image must hold the folder
  const char16_t* appPool;
};

const std::vector<DefaultSite>& DefaultIis6Sites();

// The web service's account names carry the computer name, as IIS's do.
std::unique_ptr<Key> DefaultIis6Metabase(const std::u16string& computerName);

}  // namespace metabase
