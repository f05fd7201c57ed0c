// appcmd: the image's IIS configuration printed the way Windows' appcmd
// prints it, so that a person can see what a setup changed.
//
//   appcmd list site [NAME]
//   appcmd list apppool [NAME]
//   appcmd list module [NAME] [/app.name:SITE/APP]
//   appcmd list config [PATH] [/section:NAME]
//
// Parameters are written as appcmd takes them: /name:value or -name:value.
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "platform/apphost/ConfigPath.h"
#include "platform/text.h"
#include "platform/win.h"
#include "tools/quaver-machine/AppHostReader.h"
#include "tools/quaver-machine/AppcmdConfig.h"
#include "tools/quaver-machine/Tool.h"

namespace {

using quaver_machine::AppHostReader;
using quaver_machine::CommandError;
using quaver_machine::Held;

constexpr const char* kUsage =
    "Usage: appcmd list site [NAME]\n"
    "       appcmd list apppool [NAME]\n"
    "       appcmd list module [NAME] [/app.name:SITE/APP]\n"
    "       appcmd list config [PATH] [/section:NAME]";

struct Arguments {
  std::string identifier;
  std::map<std::string, std::string> parameters;  // lower-case names
};

Arguments Parse(const std::vector<std::string>& words) {
  Arguments arguments;
  for (const std::string& word : words) {
    if (word.empty()) continue;
    const size_t colon = word.find(':');
    if ((word[0] == '/' || word[0] == '-') && colon != std::string::npos) {
      std::string name = word.substr(1, colon - 1);
      for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      arguments.parameters[name] = word.substr(colon + 1);
    } else if (arguments.identifier.empty()) {
      arguments.identifier = word;
    } else {
      throw CommandError("unexpected argument " + word + "\n" + kUsage);
    }
  }
  return arguments;
}

bool Matches(const std::string& identifier, const std::string& name) {
  return identifier.empty() || apphost::EqualNoCaseUtf8(identifier, name);
}

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
  const bool running = handle && QueryServiceStatus(handle, &status) &&
                       status.dwCurrentState == SERVICE_RUNNING;
  if (handle) CloseServiceHandle(handle);
  if (manager) CloseServiceHandle(manager);
  return running ? "Started" : "Stopped";
}

void ListSites(const AppHostReader& reader, const Arguments& arguments) {
  const auto sites = Required(reader, "system.applicationHost/sites", "");
  const std::string serviceState = ServiceState(u"W3SVC");
  for (const auto& site : AppHostReader::Entries(sites.get())) {
    const std::string name = AppHostReader::Text(site.get(), "name");
    if (!Matches(arguments.identifier, name)) continue;
    std::string bindings;
    if (const auto element = AppHostReader::Child(site.get(), "bindings")) {
      for (const auto& binding : AppHostReader::Entries(element.get())) {
        if (!bindings.empty()) bindings += ",";
        bindings += AppHostReader::Text(binding.get(), "protocol") + "/" +
                    AppHostReader::Text(binding.get(), "bindingInformation");
      }
    }
    const bool autoStart = AppHostReader::Text(site.get(), "serverAutoStart") != "false";
    std::cout << "SITE \"" << name << "\" (id:" << AppHostReader::Text(site.get(), "id")
              << ",bindings:" << bindings
              << ",state:" << (autoStart ? serviceState : "Stopped") << ")\n";
  }
}

// A pool's setting, or else the one of applicationPoolDefaults.
std::string PoolValue(IAppHostElement* pool, IAppHostElement* defaults, const char* attribute) {
  if (AppHostReader::IsSet(pool, attribute) || defaults == nullptr) {
    return AppHostReader::Text(pool, attribute);
  }
  return AppHostReader::Text(defaults, attribute);
}

void ListPools(const AppHostReader& reader, const Arguments& arguments) {
  const auto pools = Required(reader, "system.applicationHost/applicationPools", "");
  const auto defaults = AppHostReader::Child(pools.get(), "applicationPoolDefaults");
  const std::string serviceState = ServiceState(u"WAS");
  for (const auto& pool : AppHostReader::Entries(pools.get())) {
    const std::string name = AppHostReader::Text(pool.get(), "name");
    if (!Matches(arguments.identifier, name)) continue;
    const bool autoStart = PoolValue(pool.get(), defaults.get(), "autoStart") != "false";
    std::cout << "APPPOOL \"" << name
              << "\" (MgdVersion:" << PoolValue(pool.get(), defaults.get(), "managedRuntimeVersion")
              << ",MgdMode:" << PoolValue(pool.get(), defaults.get(), "managedPipelineMode")
              << ",state:" << (autoStart ? serviceState : "Stopped") << ")\n";
  }
}

void ListModules(const AppHostReader& reader, const Arguments& arguments) {
  const auto found = arguments.parameters.find("app.name");
  const std::string location = found == arguments.parameters.end() ? "" : found->second;
  const auto modules = Required(reader, "system.webServer/modules", location);
  for (const auto& module : AppHostReader::Entries(modules.get())) {
    const std::string name = AppHostReader::Text(module.get(), "name");
    if (!Matches(arguments.identifier, name)) continue;
    const std::string type = AppHostReader::Text(module.get(), "type");
    if (type.empty()) {
      std::cout << "MODULE \"" << name << "\" ( native:true )\n";
      continue;
    }
    std::cout << "MODULE \"" << name << "\" ( type:" << type
              << ", preCondition:" << AppHostReader::Text(module.get(), "preCondition") << " )\n";
  }
}

void ListConfig(const AppHostReader& reader, const Arguments& arguments) {
  const auto found = arguments.parameters.find("section");
  const std::string section = found == arguments.parameters.end() ? "" : found->second;
  quaver_machine::PrintConfig(reader, apphost::NormalizeLocation(arguments.identifier), section,
                              std::cout);
}

void Run(const std::vector<std::string>& words) {
  if (words.size() < 2 || words[0] != "list") throw CommandError(kUsage);
  quaver_machine::UseMachine();
  const Arguments arguments = Parse(std::vector<std::string>(words.begin() + 2, words.end()));
  const struct {
    const char* object;
    void (*list)(const AppHostReader&, const Arguments&);
  } objects[] = {{"site", ListSites},     {"sites", ListSites},     {"apppool", ListPools},
                 {"apppools", ListPools}, {"module", ListModules},  {"modules", ListModules},
                 {"config", ListConfig}};
  for (const auto& object : objects) {
    if (apphost::EqualNoCaseUtf8(words[1], object.object)) {
      const AppHostReader reader;
      object.list(reader, arguments);
      return;
    }
  }
  throw CommandError("unknown object " + words[1] + "\n" + kUsage);
}

void AddAppcmdCommands(CLI::App& app) {
  CLI::App* appcmd = app.add_subcommand(
      "appcmd", "Print the IIS 7 and later configuration of the image, as appcmd.exe does");
  appcmd->footer(kUsage);
  appcmd->prefix_command();
  appcmd->fallthrough(false);
  appcmd->callback([appcmd] { Run(appcmd->remaining()); });
}

const bool registered = quaver_machine::RegisterCommands("appcmd", AddAppcmdCommands);

}  // namespace
