// What `create` tells its user: the server it made, in a few lines.
#include <ostream>

#include "platform/services/Services.h"
#include "tools/quaver-machine/AppHostReader.h"
#include "tools/quaver-machine/AppcmdObjects.h"
#include "tools/quaver-machine/ToolInternals.h"

namespace quaver_machine {

void PrintCreateSummary(const CreateRequest& request, std::ostream& out) {
  out << "Created machine image " << request.root.string() << "\n";
  if (request.iisVersion.empty()) {
    out << "  IIS:      not installed\n";
  } else if (request.iisVersion == "6") {
    out << "  IIS:      6, configured through the metabase (MetaBase.xml)\n";
  } else {
    out << "  IIS:      " << request.iisVersion << ", configured through applicationHost.config\n";
    const AppHostReader reader;
    for (const char* kind : {"site", "apppool"}) {
      const AppcmdObjectType* type = FindAppcmdObjectType(kind);
      std::string names;
      for (const AppcmdObject& object : type->list(reader, "")) {
        names += (names.empty() ? "" : ", ") + ("\"" + object.identifier + "\"");
      }
      out << (std::string(kind) == "site" ? "  sites:    " : "  pools:    ") << names << "\n";
    }
  }
  const std::vector<std::string> services = machine::services::ServiceNames();
  std::string names;
  for (const std::string& name : services) names += (names.empty() ? "" : ", ") + name;
  out << "  services: " << names << "\n";
}

}  // namespace quaver_machine
