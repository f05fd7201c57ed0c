#include "tools/quaver-machine/AppcmdObjects.h"

#include "platform/apphost/ConfigPath.h"
#include "platform/win.h"
#include "tools/quaver-machine/Tool.h"

namespace quaver_machine {
namespace {

Held<IAppHostElement> Required(const AppHostReader& reader, const std::string& section,
                               const std::string& location) {
  auto element = reader.Section(section, location);
  if (!element) throw CommandError("applicationHost.config does not declare " + section);
  return element;
}

std::string ServiceState(const char16_t* service) {
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  SC_HANDLE handle = manager ? OpenServiceW(manager, service, SERVICE_QUERY_STATUS) : nullptr;
  SERVICE_STATUS status{};
  const bool running =
      handle && QueryServiceStatus(handle, &status) && status.dwCurrentState == SERVICE_RUNNING;
  if (handle) CloseServiceHandle(handle);
  if (manager) CloseServiceHandle(manager);
  return running ? "Started" : "Stopped";
}

// The element's attributes that the file sets, for /text:* and filters.
void AddConfiguration(IAppHostElement* element, AppcmdObject& object) {
  object.elementName = AppHostReader::Name(element);
  for (const std::string& name : AppHostReader::AttributeNames(element)) {
    object.configuration.emplace_back(name, AppHostReader::Text(element, name));
  }
}

std::vector<AppcmdObject> Sites(const AppHostReader& reader, const std::string&) {
  const auto sites = Required(reader, "system.applicationHost/sites", "");
  const std::string serviceState = ServiceState(u"W3SVC");
  std::vector<AppcmdObject> objects;
  for (const auto& site : AppHostReader::Entries(sites.get())) {
    AppcmdObject object;
    object.identifier = AppHostReader::Text(site.get(), "name");
    std::string bindings;
    if (const auto element = AppHostReader::Child(site.get(), "bindings")) {
      for (const auto& binding : AppHostReader::Entries(element.get())) {
        if (!bindings.empty()) bindings += ",";
        bindings += AppHostReader::Text(binding.get(), "protocol") + "/" +
                    AppHostReader::Text(binding.get(), "bindingInformation");
      }
    }
    const bool autoStart = AppHostReader::Text(site.get(), "serverAutoStart") != "false";
    const std::string id = AppHostReader::Text(site.get(), "id");
    const std::string state = autoStart ? serviceState : "Stopped";
    object.attributes = {{"SITE.NAME", object.identifier},
                         {"SITE.ID", id},
                         {"bindings", bindings},
                         {"state", state}};
    object.summary = {{"id", id}, {"bindings", bindings}, {"state", state}};
    AddConfiguration(site.get(), object);
    objects.push_back(std::move(object));
  }
  return objects;
}

// "Site" + "/shop"; the root application is "Site/".
std::string JoinPath(const std::string& parent, const std::string& path) {
  std::string joined = parent;
  if (!joined.empty() && joined.back() == '/') joined.pop_back();
  return joined + (path.empty() ? "/" : path);
}

// The pool an application runs in: its own, else its site's default, else
// the server's.
std::string PoolOf(IAppHostElement* application, IAppHostElement* site, IAppHostElement* sites) {
  if (AppHostReader::IsSet(application, "applicationPool")) {
    return AppHostReader::Text(application, "applicationPool");
  }
  for (IAppHostElement* level : {site, sites}) {
    const auto defaults = AppHostReader::Child(level, "applicationDefaults");
    if (defaults && AppHostReader::IsSet(defaults.get(), "applicationPool")) {
      return AppHostReader::Text(defaults.get(), "applicationPool");
    }
  }
  return AppHostReader::Text(application, "applicationPool");
}

template <class Visit>
void ForEachApplication(const AppHostReader& reader, Visit visit) {
  const auto sites = Required(reader, "system.applicationHost/sites", "");
  for (const auto& site : AppHostReader::Entries(sites.get())) {
    const std::string siteName = AppHostReader::Text(site.get(), "name");
    for (const auto& application : AppHostReader::Entries(site.get())) {
      visit(siteName, application.get(), PoolOf(application.get(), site.get(), sites.get()));
    }
  }
}

std::vector<AppcmdObject> Applications(const AppHostReader& reader, const std::string&) {
  std::vector<AppcmdObject> objects;
  ForEachApplication(reader, [&](const std::string& siteName, IAppHostElement* application,
                                 const std::string& pool) {
    AppcmdObject object;
    object.identifier = JoinPath(siteName, AppHostReader::Text(application, "path"));
    object.attributes = {
        {"APP.NAME", object.identifier}, {"APPPOOL.NAME", pool}, {"SITE.NAME", siteName}};
    object.summary = {{"applicationPool", pool}};
    AddConfiguration(application, object);
    objects.push_back(std::move(object));
  });
  return objects;
}

std::vector<AppcmdObject> VirtualDirectories(const AppHostReader& reader, const std::string&) {
  std::vector<AppcmdObject> objects;
  ForEachApplication(reader, [&](const std::string& siteName, IAppHostElement* application,
                                 const std::string&) {
    const std::string appName = JoinPath(siteName, AppHostReader::Text(application, "path"));
    for (const auto& directory : AppHostReader::Entries(application)) {
      AppcmdObject object;
      object.identifier = JoinPath(appName, AppHostReader::Text(directory.get(), "path"));
      const std::string physicalPath = AppHostReader::Text(directory.get(), "physicalPath");
      object.attributes = {
          {"VDIR.NAME", object.identifier}, {"APP.NAME", appName}, {"physicalPath", physicalPath}};
      object.summary = {{"physicalPath", physicalPath}};
      AddConfiguration(directory.get(), object);
      objects.push_back(std::move(object));
    }
  });
  return objects;
}

// A pool's setting, or else the one of applicationPoolDefaults.
std::string PoolValue(IAppHostElement* pool, IAppHostElement* defaults, const char* attribute) {
  if (AppHostReader::IsSet(pool, attribute) || defaults == nullptr) {
    return AppHostReader::Text(pool, attribute);
  }
  return AppHostReader::Text(defaults, attribute);
}

std::vector<AppcmdObject> Pools(const AppHostReader& reader, const std::string&) {
  const auto pools = Required(reader, "system.applicationHost/applicationPools", "");
  const auto defaults = AppHostReader::Child(pools.get(), "applicationPoolDefaults");
  const std::string serviceState = ServiceState(u"WAS");
  std::vector<AppcmdObject> objects;
  for (const auto& pool : AppHostReader::Entries(pools.get())) {
    AppcmdObject object;
    object.identifier = AppHostReader::Text(pool.get(), "name");
    const bool autoStart = PoolValue(pool.get(), defaults.get(), "autoStart") != "false";
    const std::string mode = PoolValue(pool.get(), defaults.get(), "managedPipelineMode");
    const std::string version = PoolValue(pool.get(), defaults.get(), "managedRuntimeVersion");
    const std::string state = autoStart ? serviceState : "Stopped";
    object.attributes = {{"APPPOOL.NAME", object.identifier},
                         {"PipelineMode", mode},
                         {"RuntimeVersion", version},
                         {"state", state}};
    object.summary = {{"MgdVersion", version}, {"MgdMode", mode}, {"state", state}};
    AddConfiguration(pool.get(), object);
    objects.push_back(std::move(object));
  }
  return objects;
}

std::vector<AppcmdObject> Modules(const AppHostReader& reader, const std::string& location) {
  const auto modules = Required(reader, "system.webServer/modules", location);
  std::vector<AppcmdObject> objects;
  for (const auto& module : AppHostReader::Entries(modules.get())) {
    AppcmdObject object;
    object.identifier = AppHostReader::Text(module.get(), "name");
    const std::string type = AppHostReader::Text(module.get(), "type");
    object.attributes = {{"MODULE.NAME", object.identifier}, {"APP.NAME", location}};
    if (type.empty()) {
      object.summary = {{"native", "true"}};
    } else {
      object.summary = {{"type", type},
                        {"preCondition", AppHostReader::Text(module.get(), "preCondition")}};
    }
    object.attributes.insert(object.attributes.end(), object.summary.begin(), object.summary.end());
    AddConfiguration(module.get(), object);
    objects.push_back(std::move(object));
  }
  return objects;
}

const AppcmdObjectType kTypes[] = {
    {"site", "sites", "SITE", Sites},
    {"app", "apps", "APP", Applications},
    {"vdir", "vdirs", "VDIR", VirtualDirectories},
    {"apppool", "apppools", "APPPOOL", Pools},
    {"module", "modules", "MODULE", Modules},
};

}  // namespace

const AppcmdObjectType* FindAppcmdObjectType(const std::string& name) {
  for (const AppcmdObjectType& type : kTypes) {
    if (apphost::EqualNoCaseUtf8(name, type.name) || apphost::EqualNoCaseUtf8(name, type.plural)) {
      return &type;
    }
  }
  return nullptr;
}

}  // namespace quaver_machine
