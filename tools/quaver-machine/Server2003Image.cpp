// An IIS 6 image is a Windows Server 2003 (x64) server: its profiles live
// under "C:\Documents and Settings", its Windows folder is spelled
// C:\WINDOWS, and the variables later Windows versions added are absent.
//
// The hook rewrites the fresh image's machine.ini before the hooks that
// read it run (hooks run in name order: "os-folders" comes before
// "registry-and-services" and "security").
#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>

#include "platform/machine.h"
#include "tools/quaver-machine/Tool.h"

namespace fs = std::filesystem;

namespace {

// Later Windows versions' folders and their Server 2003 places, longest
// first so that a folder inside another is rewritten as a whole.
const std::pair<const char*, const char*> kFolders[] = {
    {"C:\\Users\\Administrator\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu",
     "C:\\Documents and Settings\\Administrator\\Start Menu"},
    {"C:\\Users\\Administrator\\AppData\\Roaming",
     "C:\\Documents and Settings\\Administrator\\Application Data"},
    {"C:\\Users\\Administrator\\AppData\\Local",
     "C:\\Documents and Settings\\Administrator\\Local Settings\\Application Data"},
    {"C:\\Users\\Administrator\\Documents",
     "C:\\Documents and Settings\\Administrator\\My Documents"},
    {"C:\\Users\\Administrator", "C:\\Documents and Settings\\Administrator"},
    {"\\Users\\Administrator", "\\Documents and Settings\\Administrator"},
    {"C:\\ProgramData\\Microsoft\\Windows\\Start Menu",
     "C:\\Documents and Settings\\All Users\\Start Menu"},
    {"C:\\ProgramData", "C:\\Documents and Settings\\All Users\\Application Data"},
    {"C:\\Users\\Public", "C:\\Documents and Settings\\All Users"},
    {"C:\\Windows", "C:\\WINDOWS"},
};

// Variables Windows Server 2003 does not have.
const char* const kAbsent[] = {"LOCALAPPDATA", "PUBLIC", "ProgramData", "ProgramW6432",
                               "CommonProgramW6432"};

std::string Server2003Folder(const std::string& path) {
  for (const auto& [later, earlier] : kFolders) {
    const std::string prefix = later;
    if (path.compare(0, prefix.size(), prefix) == 0 &&
        (path.size() == prefix.size() || path[prefix.size()] == '\\')) {
      return earlier + path.substr(prefix.size());
    }
  }
  return path;
}

// A path, or a list of them separated by ';' (Path).
std::string Server2003Path(const std::string& value) {
  std::string result;
  size_t start = 0;
  while (true) {
    const size_t end = value.find(';', start);
    result += Server2003Folder(value.substr(start, end - start));
    if (end == std::string::npos) return result;
    result += ';';
    start = end + 1;
  }
}

// C:\a\b -> drive_c/a/b
fs::path HostFolder(const fs::path& root, const std::string& windowsPath) {
  fs::path host = root / "drive_c";
  size_t start = 3;
  while (start < windowsPath.size()) {
    const size_t end = std::min(windowsPath.find('\\', start), windowsPath.size());
    host /= windowsPath.substr(start, end - start);
    start = end + 1;
  }
  return host;
}

// Removes the later versions' profile folders when they hold no file.
void RemoveIfEmpty(const fs::path& folder) {
  std::error_code ec;
  for (const auto& entry : fs::recursive_directory_iterator(folder, ec)) {
    if (!entry.is_directory(ec)) return;
  }
  fs::remove_all(folder, ec);
}

void UseServer2003Folders(const quaver_machine::CreateRequest& request) {
  if (request.iisVersion != "6") return;
  machine::Machine& image = machine::RequireMachine();
  machine::IniFile& settings = image.Settings();
  for (const char* section : {"environment", "folders"}) {
    for (const auto& [key, value] : settings.Entries(section)) {
      settings.Set(section, key, Server2003Path(value));
    }
  }
  for (const char* name : kAbsent) settings.Remove("environment", name);
  settings.Set("environment", "ALLUSERSPROFILE", "C:\\Documents and Settings\\All Users");
  image.SaveSettings();
  std::error_code ec;
  for (const auto& [key, value] : settings.Entries("folders")) {
    fs::create_directories(HostFolder(request.root, value), ec);
    if (ec) {
      throw quaver_machine::CommandError("cannot create " + value + ": " + ec.message());
    }
  }
  RemoveIfEmpty(request.root / "drive_c" / "Users");
  RemoveIfEmpty(request.root / "drive_c" / "ProgramData");
}

const bool hooked = quaver_machine::RegisterCreateHook("os-folders", UseServer2003Folders);

}  // namespace
