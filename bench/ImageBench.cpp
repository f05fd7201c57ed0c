// How the simulated server's costs grow with its size: each case runs the
// same work on a small and a large image and prints the ratio of the times,
// which should stay near the ratio of the work, not of the image. The ratio
// is taken on the process's CPU time: on a shared machine the wall clock of
// a long run also counts the time other programs held the processor, which
// makes every large case look worse than it is. Wall times are printed too.
//
//   bench_image [--quick] [registry|locations|services|security|loading]...
//   (--quick: smaller counts, for a smoke run; names pick the cases)
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/apphost/AppHostServers.h"
#include "platform/machine.h"
#include "platform/security/SecurityStore.h"
#include "platform/services/Services.h"
#include "platform/text.h"
#include "platform/win.h"

namespace fs = std::filesystem;

namespace {

bool quick = false;
std::vector<std::string> chosen;

bool Runs(const std::string& name) {
  return chosen.empty() || std::find(chosen.begin(), chosen.end(), name) != chosen.end();
}

// A fresh image, selected while the object lives.
class Image {
 public:
  Image() {
    char pattern[] = "/tmp/bench-image-XXXXXX";
    root_ = mkdtemp(pattern);
    machine::CreateImage(root_);
    machine::SelectMachine(root_);
  }
  ~Image() {
    machine::DeselectMachine();
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  void Write(const std::string& relative, const std::string& text) const {
    machine::WriteFileAtomically(root_ / relative, text);
  }
  const fs::path& Root() const { return root_; }

 private:
  fs::path root_;
};

// Wall-clock and CPU (user + system) seconds of one piece of work.
struct Times {
  double wall = 0;
  double cpu = 0;
};

double CpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

Times Seconds(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  const double cpuStart = CpuSeconds();
  work();
  Times times;
  times.cpu = CpuSeconds() - cpuStart;
  times.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return times;
}

// The least times of several runs of the same work: loads are short, and the
// best run is the one least disturbed by other programs.
Times Best(int runs, const std::function<void()>& work) {
  Times best = Seconds(work);
  for (int run = 1; run < runs; ++run) {
    const Times next = Seconds(work);
    best.wall = std::min(best.wall, next.wall);
    best.cpu = std::min(best.cpu, next.cpu);
  }
  return best;
}

void Report(const char* what, const std::string& small, Times smallTimes, const std::string& large,
            Times largeTimes, const char* target) {
  std::printf(
      "%-58s %s: %8.3f s  %s: %8.3f s  ratio %6.2f x  (target %s)  wall %.3f s / %.3f s"
      " = %.2f x\n",
      what, small.c_str(), smallTimes.cpu, large.c_str(), largeTimes.cpu,
      largeTimes.cpu / smallTimes.cpu, target, smallTimes.wall, largeTimes.wall,
      largeTimes.wall / smallTimes.wall);
  std::fflush(stdout);
}

// ---- registry ---------------------------------------------------------------

std::string HiveWithValues(int count) {
  std::string text = "Windows Registry Editor Version 5.00\n\n";
  for (int key = 0; key < count / 100; ++key) {
    text += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Big\\K" + std::to_string(key) + "]\n";
    for (int value = 0; value < 100; ++value) {
      text += "\"V" + std::to_string(value) + "\"=dword:0000002a\n";
    }
    text += "\n";
  }
  return text;
}

Times SetValues(int hiveValues, int sets) {
  Image image;
  if (hiveValues > 0) image.Write("registry/HKLM.reg", HiveWithValues(hiveValues));
  HKEY key = nullptr;
  RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Bench", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                  &key, nullptr);
  const Times seconds = Seconds([&] {
    for (int i = 0; i < sets; ++i) {
      const DWORD data = static_cast<DWORD>(i);
      const std::u16string name = machine::FromUtf8("N" + std::to_string(i));
      RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                     sizeof data);
    }
  });
  RegCloseKey(key);
  return seconds;
}

// ---- services ---------------------------------------------------------------

std::string ServicesIni(int count) {
  std::string ini;
  for (int i = 0; i < count; ++i) {
    ini += "[Svc" + std::to_string(i) + "]\nDisplayName = Service " + std::to_string(i) +
           "\nState = running\nAccepts = stop\n\n";
  }
  return ini;
}

Times QueryServices(int count) {
  Image image;
  image.Write("services.ini", ServicesIni(count));
  // Several rounds, each a whole `sc query`, so that the times are long
  // enough to compare; the best of three such runs.
  return Best(3, [&] {
    for (int round = 0; round < 20; ++round) {
      SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
      for (const std::string& name : machine::services::ServiceNames()) {
        const std::u16string wide = machine::FromUtf8(name);
        SC_HANDLE service = OpenServiceW(manager, wide.c_str(), SERVICE_QUERY_STATUS);
        SERVICE_STATUS status{};
        QueryServiceStatus(service, &status);
        CloseServiceHandle(service);
      }
      CloseServiceHandle(manager);
    }
  });
}

// Stops and starts one service `changes` times among `count` services: each
// change is recorded, so its cost shows whether it grows with the file.
Times ChangeService(int count, int changes) {
  Image image;
  image.Write("services.ini", ServicesIni(count));
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  SC_HANDLE service = OpenServiceW(manager, u"Svc0", SERVICE_START | SERVICE_STOP);
  const Times seconds = Seconds([&] {
    for (int i = 0; i < changes; ++i) {
      SERVICE_STATUS status{};
      const BOOL done = i % 2 == 0 ? ControlService(service, SERVICE_CONTROL_STOP, &status)
                                   : StartServiceW(service, 0, nullptr);
      if (!done) std::printf("warning: change %d failed\n", i);
    }
  });
  CloseServiceHandle(service);
  CloseServiceHandle(manager);
  return seconds;
}

// ---- access lists -----------------------------------------------------------

// An image whose security.sddl records `recorded` objects elsewhere, with
// `folders` empty folders C:\Set\<n> and the protected list to set on them.
class SecuredFolders {
 public:
  SecuredFolders(int recorded, int folders) : folders_(folders) {
    std::string sddl;
    for (int i = 0; i < recorded; ++i) {
      sddl += "file C:\\Recorded\\F" + std::to_string(i) + " D:P(A;OICI;FA;;;BA)\n";
    }
    if (recorded > 0) image_.Write("security.sddl", sddl);
    for (int i = 0; i < folders; ++i)
      fs::create_directories(image_.Root() / "drive_c/Set" / std::to_string(i));
    ConvertStringSecurityDescriptorToSecurityDescriptorW(u"D:P(A;OICI;FA;;;BA)", SDDL_REVISION_1,
                                                         &descriptor_, nullptr);
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    GetSecurityDescriptorDacl(descriptor_, &present, &dacl_, &defaulted);
    // Reading the access lists once is not part of the changes' cost, as the
    // hive is read before the registry case's changes.
    PSECURITY_DESCRIPTOR current = nullptr;
    GetNamedSecurityInfoW(u"C:\\Set", SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                          nullptr, nullptr, &current);
    LocalFree(current);
  }
  ~SecuredFolders() { LocalFree(descriptor_); }
  SecuredFolders(const SecuredFolders&) = delete;
  SecuredFolders& operator=(const SecuredFolders&) = delete;

  void SetEach() {
    for (int i = 0; i < folders_; ++i) {
      std::u16string path = Path(i);
      SetNamedSecurityInfoW(path.data(), SE_FILE_OBJECT,
                            DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                            nullptr, nullptr, dacl_, nullptr);
    }
  }
  // Each removal forgets the folder's list and whatever was set below it.
  void RemoveEach() {
    for (int i = 0; i < folders_; ++i) {
      if (!RemoveDirectoryW(Path(i).c_str())) std::printf("warning: a folder stayed\n");
    }
  }

 private:
  static std::u16string Path(int i) { return u"C:\\Set\\" + machine::FromUtf8(std::to_string(i)); }

  Image image_;
  int folders_;
  PSECURITY_DESCRIPTOR descriptor_ = nullptr;
  PACL dacl_ = nullptr;
};

Times SetFolderSecurity(int recorded, int folders) {
  SecuredFolders image(recorded, folders);
  return Seconds([&] { image.SetEach(); });
}

Times RemoveSecuredFolders(int recorded, int folders) {
  SecuredFolders image(recorded, folders);
  image.SetEach();
  return Seconds([&] { image.RemoveEach(); });
}

// ---- application host -------------------------------------------------------

std::string ConfigWithLocations(int count) {
  std::string text =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<configuration>\n"
      "    <configSections>\n        <sectionGroup name=\"system.webServer\">\n"
      "            <section name=\"handlers\" overrideModeDefault=\"Allow\" />\n"
      "        </sectionGroup>\n    </configSections>\n"
      "    <system.webServer>\n        <handlers>\n"
      "            <add name=\"StaticFile\" path=\"*\" verb=\"*\" modules=\"StaticFileModule\" />\n"
      "        </handlers>\n    </system.webServer>\n";
  for (int i = 0; i < count; ++i) {
    text +=
        "    <location path=\"Site" + std::to_string(i) +
        "\">\n        <system.webServer>\n            <handlers>\n"
        "                <add name=\"Quaver\" path=\"*\" verb=\"*\" modules=\"IsapiModule\" />\n"
        "            </handlers>\n        </system.webServer>\n    </location>\n";
  }
  return text + "</configuration>\n";
}

template <typename T>
void Release(T*& p) {
  if (p) p->Release();
  p = nullptr;
}

BSTR Bstr(const std::u16string& text) {
  return SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

VARIANT Number(DWORD n) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_UI4;
  v.ulVal = n;
  return v;
}

// Reads every location path, then deletes the handler entry each location
// adds and commits once; the emptied location tags go with them.
Times RemoveEverywhere(int locations) {
  Image image;
  image.Write("drive_c/Windows/System32/inetsrv/config/applicationHost.config",
              ConfigWithLocations(locations));
  const Times seconds = Seconds([&] {
    IAppHostWritableAdminManager* manager = nullptr;
    apphost::CreateWritableAdminManager(IID_IAppHostWritableAdminManager,
                                        reinterpret_cast<void**>(&manager));
    IAppHostConfigManager* configs = nullptr;
    manager->get_ConfigManager(&configs);
    IAppHostConfigFile* file = nullptr;
    BSTR apphostPath = Bstr(u"MACHINE/WEBROOT/APPHOST");
    configs->GetConfigFile(apphostPath, &file);
    IAppHostConfigLocationCollection* list = nullptr;
    file->get_Locations(&list);
    DWORD count = 0;
    list->get_Count(&count);
    std::vector<std::u16string> paths;
    for (DWORD i = 0; i < count; ++i) {
      IAppHostConfigLocation* location = nullptr;
      list->get_Item(Number(i), &location);
      BSTR path = nullptr;
      location->get_Path(&path);
      paths.emplace_back(path, SysStringLen(path));
      SysFreeString(path);
      Release(location);
    }
    BSTR section = Bstr(u"system.webServer/handlers");
    for (const auto& path : paths) {
      if (path.empty()) continue;
      BSTR full = Bstr(u"MACHINE/WEBROOT/APPHOST/" + path);
      IAppHostElement* element = nullptr;
      IAppHostElementCollection* collection = nullptr;
      // The location's own handler comes first: handlers are prepended.
      if (SUCCEEDED(file->GetAdminSection(section, full, &element)) &&
          SUCCEEDED(element->get_Collection(&collection))) {
        collection->DeleteElement(Number(0));
      }
      Release(collection);
      Release(element);
      SysFreeString(full);
    }
    manager->CommitChanges();
    SysFreeString(section);
    SysFreeString(apphostPath);
    Release(list);
    Release(file);
    Release(configs);
    Release(manager);
  });
  const std::string after = machine::ReadWholeFile(
      image.Root() / "drive_c/Windows/System32/inetsrv/config/applicationHost.config");
  if (after.find("Quaver") != std::string::npos || after.find("<location") != std::string::npos) {
    std::printf("warning: the entries were not all removed\n");
  }
  return seconds;
}

// ---- loading ------------------------------------------------------------------

const int kLoadRuns = 5;

// Selecting the image reads machine.ini, here with a section of `keys` keys.
Times LoadMachineIni(int keys) {
  Image image;
  std::string ini = machine::ReadWholeFile(image.Root() / "machine.ini") + "\n[bench]\n";
  for (int i = 0; i < keys; ++i)
    ini += "Key" + std::to_string(i) + " = value " + std::to_string(i) + "\n";
  image.Write("machine.ini", ini);
  return Best(kLoadRuns, [&] {
    machine::DeselectMachine();
    machine::SelectMachine(image.Root());
  });
}

Times LoadSecurityLines(int lines) {
  Image image;
  std::string sddl;
  for (int i = 0; i < lines; ++i) {
    sddl +=
        "file C:\\Loaded\\F" + std::to_string(i) + " D:P(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)\n";
  }
  image.Write("security.sddl", sddl);
  size_t found = 0;
  const Times seconds = Best(kLoadRuns, [&] {
    const winsec::SecurityStore store = winsec::SecurityStore::Parse(
        machine::ReadWholeFile(machine::RequireMachine().File("security.sddl")), "security.sddl");
    found = store.Find(winsec::ObjectKind::File, u"C:\\Loaded\\F0") != nullptr ? 1 : 0;
  });
  if (found != 1) std::printf("warning: security.sddl did not load\n");
  return seconds;
}

// applicationHost.config with `sites` sites, read by an admin manager up to
// the name of every site.
Times LoadSites(int sites) {
  Image image;
  std::string config =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<configuration>\n"
      "    <configSections>\n        <sectionGroup name=\"system.applicationHost\">\n"
      "            <section name=\"sites\" allowDefinition=\"AppHostOnly\" "
      "overrideModeDefault=\"Deny\" />\n"
      "        </sectionGroup>\n    </configSections>\n"
      "    <system.applicationHost>\n        <sites>\n";
  for (int i = 1; i <= sites; ++i) {
    const std::string n = std::to_string(i);
    config += "            <site name=\"Site" + n + "\" id=\"" + n +
              "\">\n                <application path=\"/\">\n"
              "                    <virtualDirectory path=\"/\" physicalPath=\"C:\\inetpub\\s" +
              n +
              "\" />\n                </application>\n                <bindings>\n"
              "                    <binding protocol=\"http\" bindingInformation=\"*:80:s" +
              n + "\" />\n                </bindings>\n            </site>\n";
  }
  config += "        </sites>\n    </system.applicationHost>\n</configuration>\n";
  image.Write("drive_c/Windows/System32/inetsrv/config/applicationHost.config", config);
  DWORD count = 0;
  const Times seconds = Best(kLoadRuns, [&] {
    IAppHostAdminManager* manager = nullptr;
    apphost::CreateAdminManager(IID_IAppHostAdminManager, reinterpret_cast<void**>(&manager));
    BSTR section = Bstr(u"system.applicationHost/sites");
    BSTR path = Bstr(u"MACHINE/WEBROOT/APPHOST");
    IAppHostElement* element = nullptr;
    IAppHostElementCollection* collection = nullptr;
    BSTR name = Bstr(u"name");
    if (SUCCEEDED(manager->GetAdminSection(section, path, &element)) &&
        SUCCEEDED(element->get_Collection(&collection))) {
      collection->get_Count(&count);
      // Every site's name, as a list of the websites reads them.
      for (DWORD i = 0; i < count; ++i) {
        IAppHostElement* site = nullptr;
        IAppHostProperty* property = nullptr;
        VARIANT value;
        VariantInit(&value);
        if (SUCCEEDED(collection->get_Item(Number(i), &site)) &&
            SUCCEEDED(site->GetPropertyByName(name, &property)) &&
            SUCCEEDED(property->get_Value(&value))) {
          VariantClear(&value);
        } else {
          count = 0;  // reported below
        }
        Release(property);
        Release(site);
      }
    }
    Release(collection);
    Release(element);
    SysFreeString(name);
    SysFreeString(path);
    SysFreeString(section);
    Release(manager);
  });
  if (count != static_cast<DWORD>(sites))
    std::printf("warning: %lu sites read\n", static_cast<unsigned long>(count));
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--quick") == 0) {
      quick = true;
    } else {
      chosen.emplace_back(argv[i]);
    }
  }
  const int scale = quick ? 10 : 1;
  if (Runs("registry")) {
    const int sets = 10000 / scale;
    const int values = 100000 / scale;
    const std::string what = "RegSetValueExW x" + std::to_string(sets) + ", empty vs large hive";
    Report(what.c_str(), "empty", SetValues(0, sets), std::to_string(values) + " values",
           SetValues(values, sets), "<= 2x");
  }
  if (Runs("locations")) {
    Report("GetLocationPaths + remove everywhere", std::to_string(100 / scale) + " locations",
           RemoveEverywhere(100 / scale), std::to_string(1000 / scale) + " locations",
           RemoveEverywhere(1000 / scale), "<= 12x");
  }
  if (Runs("services")) {
    Report("sc query of every service", std::to_string(100 / scale) + " services",
           QueryServices(100 / scale), std::to_string(1000 / scale) + " services",
           QueryServices(1000 / scale), "<= 12x");
    const int changes = 2000 / scale;
    Report(("ControlService/StartServiceW x" + std::to_string(changes)).c_str(), "10 services",
           ChangeService(10, changes), std::to_string(5000 / scale) + " services",
           ChangeService(5000 / scale, changes), "<= 2x");
  }
  if (Runs("security")) {
    const int folders = 1000 / scale;
    const int recorded = 100000 / scale;
    Report(("SetNamedSecurityInfoW on " + std::to_string(folders) + " folders").c_str(), "empty",
           SetFolderSecurity(0, folders), std::to_string(recorded) + " records",
           SetFolderSecurity(recorded, folders), "<= 2x");
    Report(("RemoveDirectoryW of " + std::to_string(folders) + " folders with lists").c_str(),
           "empty", RemoveSecuredFolders(0, folders), std::to_string(recorded) + " records",
           RemoveSecuredFolders(recorded, folders), "<= 2x");
  }
  if (Runs("loading")) {
    // The sizes at which loading once took seconds to minutes.
    const int small = 4000 / scale;
    const int large = 40000 / scale;
    Report("loading machine.ini (selecting the image)", std::to_string(small) + " keys",
           LoadMachineIni(small), std::to_string(large) + " keys", LoadMachineIni(large), "<= 12x");
    Report("loading security.sddl", std::to_string(small) + " lines", LoadSecurityLines(small),
           std::to_string(large) + " lines", LoadSecurityLines(large), "<= 12x");
    Report("loading applicationHost.config (sites section)", std::to_string(small) + " sites",
           LoadSites(small), std::to_string(large) + " sites", LoadSites(large), "<= 12x");
  }
  return 0;
}
