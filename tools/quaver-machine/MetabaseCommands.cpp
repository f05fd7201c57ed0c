// The IIS Admin Base Objects of a new image and the metabase explorer:
//
//   create DIR --iis 6                  the metabase of a fresh IIS 6 server
//   create DIR --iis 7 --metabase-compat  IIS 7 and later with the IIS 6
//                                       metabase compatibility installed: the
//                                       metabase maps onto applicationHost.config
//   metabase [PATH]                     keys and properties at and below PATH,
//                                       as the metabase's clients see them
//
// Every IIS image also gets the COM registrations of its administration
// objects: the metabase on IIS 6 (and with the compatibility feature), the
// application-host admin managers on IIS 7 and later.
#include "tools/quaver-machine/MetabaseCommands.h"

#include <cstdio>
#include <iostream>
#include <string>

#include "platform/com/ComRegistration.h"
#include "platform/machine.h"
#include "platform/metabase/AppHostMetabase.h"
#include "platform/metabase/DefaultMetabase.h"
#include "platform/metabase/MetabaseNames.h"
#include "platform/metabase/MetabaseService.h"
#include "platform/metabase/MetabaseXml.h"
#include "platform/services/Services.h"
#include "platform/text.h"
#include "platform/win.h"
#include "tools/quaver-machine/Tool.h"

namespace fs = std::filesystem;

namespace {

bool gMetabaseCompat = false;

void Check(LSTATUS status, const std::string& what) {
  if (status != ERROR_SUCCESS) quaver_machine::FailWithWindowsError(what, status);
}

void RegisterMetabaseClass() {
  Check(com::RegisterServiceClass(CLSID_MSAdminBase_W, u"IIS Admin Base Object", u"IISADMIN"),
        "cannot register the metabase class");
}

void RegisterAppHostClasses() {
  const std::u16string dll = u"%windir%\\system32\\inetsrv\\nativerd.dll";
  Check(com::RegisterInprocClass(CLSID_AppHostAdminManager, u"AppHostAdminManager", dll, u"Both"),
        "cannot register the application-host class");
  Check(com::RegisterInprocClass(CLSID_AppHostWritableAdminManager, u"AppHostWritableAdminManager",
                                 dll, u"Both"),
        "cannot register the application-host class");
}

// The metabase file and the website folders it points at.
void WriteDefaultMetabase() {
  const std::string computer =
      machine::RequireMachine().Settings().GetOr("environment", "COMPUTERNAME", "WEBSRV01");
  const auto root = metabase::DefaultIis6Metabase(machine::FromUtf8(computer));
  machine::WriteFileAtomically(metabase::HostPathOf(metabase::kMetabaseFile),
                               metabase::SerializeMetabaseXml(*root));
  for (const metabase::DefaultSite& site : metabase::DefaultIis6Sites()) {
    // Missing folders on the way are made by the write.
    const fs::path folder = metabase::HostPathOf(site.rootPath);
    machine::WriteFileAtomically(folder / "iisstart.htm",
                                 "<html><body>Under construction</body></html>\r\n");
  }
}

void CreateIisAdministration(const quaver_machine::CreateRequest& request) {
  if (request.iisVersion.empty()) {
    if (gMetabaseCompat) {
      throw quaver_machine::CommandError("--metabase-compat needs --iis 7 or later");
    }
    return;
  }
  const bool iis6 = request.iisVersion == "6";
  if (iis6 && gMetabaseCompat) {
    throw quaver_machine::CommandError("--metabase-compat is for IIS 7 and later");
  }
  if (!iis6) RegisterAppHostClasses();
  if (iis6) {
    WriteDefaultMetabase();
    RegisterMetabaseClass();
  } else if (gMetabaseCompat) {
    quaver_machine::InstallMetabaseCompatibility();
  }
}

// --- metabase [PATH] ---

std::string Line(const metabase::Property& property, const std::string& value) {
  char head[96];
  const std::string name(metabase::PropertyName(property.id));
  std::snprintf(head, sizeof head, "  %5u %-26s %-8s %-7s %-8s ", property.id,
                name.empty() ? "-" : name.c_str(),
                metabase::DataTypeText(property.dataType).c_str(),
                metabase::UserTypeText(property.userType).c_str(),
                metabase::AttributesText(property.attributes).c_str());
  return std::string(head) + value;
}

void PrintProperty(const metabase::Property& property) {
  const size_t indent = Line(property, "").size();
  switch (property.dataType) {
    case DWORD_METADATA:
      std::cout << Line(property, std::to_string(metabase::DecodeDword(property.data))) << "\n";
      return;
    case MULTISZ_METADATA: {
      const auto strings = metabase::DecodeMultiString(property.data);
      std::cout << Line(property, strings.empty() ? "" : machine::ToUtf8(strings[0])) << "\n";
      for (size_t i = 1; i < strings.size(); ++i) {
        std::cout << std::string(indent, ' ') << machine::ToUtf8(strings[i]) << "\n";
      }
      return;
    }
    case BINARY_METADATA:
      std::cout << Line(property, "(" + std::to_string(property.data.size()) + " bytes)") << "\n";
      return;
    default:
      std::cout << Line(property, machine::ToUtf8(metabase::DecodeString(property.data))) << "\n";
  }
}

void PrintKey(const metabase::Key& key, const std::string& path) {
  std::cout << path << "\n";
  for (const auto& property : key.Properties()) PrintProperty(property);
  for (const auto& child : key.Children()) {
    PrintKey(*child, (path == "/" ? "" : path) + "/" + machine::ToUtf8(child->Name()));
  }
}

void PrintMetabase(const std::string& path) {
  quaver_machine::UseMachine();
  const fs::path file = metabase::HostPathOf(metabase::UsesAppHostMetabase()
                                                 ? metabase::AppHostMetabaseFile()
                                                 : std::u16string(metabase::kMetabaseFile));
  if (file.empty() || !machine::FileExists(file)) {
    throw quaver_machine::CommandError(
        "this image has no metabase (create it with --iis 6, or with --iis 7 or later and "
        "--metabase-compat)");
  }
  const std::string bytes = machine::ReadWholeFile(file);
  size_t line = 0;
  std::string fault;
  // Named as the server knows the file, with the line to look at.
  if (quaver_machine::FindXmlFault(bytes, line, fault)) {
    const std::u16string shownFile = metabase::UsesAppHostMetabase()
                                         ? metabase::AppHostMetabaseFile()
                                         : std::u16string(metabase::kMetabaseFile);
    throw quaver_machine::CommandError(machine::ToUtf8(shownFile) + ", line " +
                                       std::to_string(line) + ": " + fault);
  }
  // Through the metabase service: what its clients see.
  std::unique_ptr<metabase::Key> root;
  const HRESULT hr = metabase::MetabaseService::Instance().CopyTree(root);
  if (FAILED(hr)) {
    // The reader's own words say what is wrong and on which line.
    if (!metabase::UsesAppHostMetabase()) {
      try {
        metabase::ParseMetabaseXml(bytes, machine::ToUtf8(metabase::kMetabaseFile));
      } catch (const machine::MachineError& e) {
        throw quaver_machine::CommandError(e.what());
      }
    }
    throw quaver_machine::CommandError("cannot read the metabase file " + file.string() + ": " +
                                       quaver_machine::HresultText(hr));
  }
  const metabase::Key* key = root.get();
  std::string shown;
  for (const auto& piece : metabase::SplitPath(machine::FromUtf8(path))) {
    key = key->FindChild(piece);
    if (key == nullptr) throw quaver_machine::CommandError("no metabase key " + path);
    shown += "/" + machine::ToUtf8(key->Name());
  }
  PrintKey(*key, shown.empty() ? "/" : shown);
}

void AddMetabaseCommands(CLI::App& app) {
  if (CLI::App* create = app.get_subcommand("create")) {
    create->add_flag("--metabase-compat", gMetabaseCompat,
                     "With --iis 7 or later: install the IIS 6 metabase compatibility");
  }
  static std::string path = "/";
  auto* command = app.add_subcommand("metabase", "Print the IIS metabase's keys and properties");
  command->add_option("PATH", path, "Metabase key to start at, e.g. /LM/W3SVC/1");
  command->callback([] { PrintMetabase(path); });
}

const bool registeredCommands = quaver_machine::RegisterCommands("metabase", AddMetabaseCommands);
// Runs after the registry exists ("registry-and-services").
const bool registeredHook =
    quaver_machine::RegisterCreateHook("web-administration", CreateIisAdministration);

}  // namespace

namespace quaver_machine {

// The feature as IIS setup records it, the IIS Admin service that runs the
// compatibility layer, and the admin base class it serves.
void InstallMetabaseCompatibility() {
  HKEY key = nullptr;
  Check(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\InetStp\\Components", 0, nullptr,
                        0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        "cannot record the metabase compatibility");
  const DWORD installed = 1;
  const LSTATUS status = RegSetValueExW(
      key, u"Metabase", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&installed), sizeof installed);
  RegCloseKey(key);
  Check(status, "cannot record the metabase compatibility");
  machine::services::AddService("IISADMIN", {{"DisplayName", "IIS Admin Service"},
                                             {"Type", "own"},
                                             {"StartType", "auto"},
                                             {"State", "running"},
                                             {"Accepts", "stop, shutdown"},
                                             {"StartPendingMs", "1000"},
                                             {"StopPendingMs", "1500"}});
  RegisterMetabaseClass();
}

}  // namespace quaver_machine
