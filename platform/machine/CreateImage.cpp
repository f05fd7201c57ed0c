#include <fcntl.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "platform/machine.h"
#include "platform/machine/ImageFiles.h"

namespace fs = std::filesystem;

namespace machine {
namespace {

// machine.ini of a fresh server. [folders] holds the shell's special folders
// keyed by their CSIDL names without the prefix (CSIDL_COMMON_PROGRAMS ->
// COMMON_PROGRAMS).
const char* const kMachineIni = R"(; Settings of one simulated Windows server.
; [environment] seeds the process environment when the image is selected.
; [folders] are the shell's special folders, keyed by CSIDL name.
; [disk] FreeBytes, when set, is the free space every drive reports;
; otherwise drives report the real free space of the image's file system.

[environment]
ALLUSERSPROFILE=C:\ProgramData
APPDATA=C:\Users\Administrator\AppData\Roaming
CommonProgramFiles=C:\Program Files\Common Files
CommonProgramFiles(x86)=C:\Program Files (x86)\Common Files
CommonProgramW6432=C:\Program Files\Common Files
COMPUTERNAME=WEBSRV01
ComSpec=C:\Windows\system32\cmd.exe
HOMEDRIVE=C:
HOMEPATH=\Users\Administrator
LOCALAPPDATA=C:\Users\Administrator\AppData\Local
LOGONSERVER=\\WEBSRV01
NUMBER_OF_PROCESSORS=2
OS=Windows_NT
Path=C:\Windows\system32;C:\Windows;C:\Windows\System32\Wbem;C:\Windows\System32\WindowsPowerShell\v1.0\
PATHEXT=.COM;.EXE;.BAT;.CMD;.VBS;.VBE;.JS;.JSE;.WSF;.WSH;.MSC
PROCESSOR_ARCHITECTURE=AMD64
ProgramData=C:\ProgramData
ProgramFiles=C:\Program Files
ProgramFiles(x86)=C:\Program Files (x86)
ProgramW6432=C:\Program Files
PUBLIC=C:\Users\Public
SystemDrive=C:
SystemRoot=C:\Windows
TEMP=C:\Windows\Temp
TMP=C:\Windows\Temp
USERDOMAIN=WEBSRV01
USERNAME=Administrator
USERPROFILE=C:\Users\Administrator
WINDIR=C:\Windows

[folders]
DESKTOP=C:\Users\Administrator\Desktop
DESKTOPDIRECTORY=C:\Users\Administrator\Desktop
COMMON_DESKTOPDIRECTORY=C:\Users\Public\Desktop
PROGRAMS=C:\Users\Administrator\AppData\Roaming\Microsoft\Windows\Start Menu\Programs
COMMON_PROGRAMS=C:\ProgramData\Microsoft\Windows\Start Menu\Programs
STARTMENU=C:\Users\Administrator\AppData\Roaming\Microsoft\Windows\Start Menu
COMMON_STARTMENU=C:\ProgramData\Microsoft\Windows\Start Menu
STARTUP=C:\Users\Administrator\AppData\Roaming\Microsoft\Windows\Start Menu\Programs\Startup
COMMON_STARTUP=C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Startup
PERSONAL=C:\Users\Administrator\Documents
COMMON_DOCUMENTS=C:\Users\Public\Documents
APPDATA=C:\Users\Administrator\AppData\Roaming
LOCAL_APPDATA=C:\Users\Administrator\AppData\Local
COMMON_APPDATA=C:\ProgramData
PROFILE=C:\Users\Administrator
WINDOWS=C:\Windows
SYSTEM=C:\Windows\System32
SYSTEMX86=C:\Windows\SysWOW64
FONTS=C:\Windows\Fonts
PROGRAM_FILES=C:\Program Files
PROGRAM_FILESX86=C:\Program Files (x86)
PROGRAM_FILES_COMMON=C:\Program Files\Common Files
PROGRAM_FILES_COMMONX86=C:\Program Files (x86)\Common Files

[disk]
; FreeBytes=10737418240
)";

// Folders of drive C: that exist on a fresh server besides those [folders] names.
const char* const kExtraFolders[] = {"Windows/Temp", "Users/Public"};

// C:\a\b -> drive_c/a/b
fs::path HostFolder(std::string_view windowsPath) {
  fs::path host = "drive_c";
  std::string name;
  for (const char c : windowsPath.substr(3)) {
    if (c == '\\') {
      host /= name;
      name.clear();
    } else {
      name += c;
    }
  }
  if (!name.empty()) host /= name;
  return host;
}

}  // namespace

void CreateImage(const fs::path& root) {
  std::error_code ec;
  if (fs::exists(root / "machine.ini", ec)) {
    throw MachineError(root.string() + " already holds a machine image");
  }
  if (fs::exists(root, ec) && !fs::is_empty(root, ec)) {
    throw MachineError("cannot create a machine image in " + root.string() +
                       ": the directory is not empty");
  }
  // The folder itself is the caller's choice; everything in it is made
  // from a handle on it, so that nobody who can write there between the
  // check above and the end can send a write elsewhere with a link.
  std::error_code made;
  fs::create_directories(root, made);
  if (made) throw MachineError("cannot create " + root.string() + ": " + made.message());
  const int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) throw MachineError("cannot create " + root.string() + ": " + std::strerror(errno));
  const SharedFd folder = std::make_shared<const UniqueFd>(fd);
  const IniFile ini = IniFile::Parse(kMachineIni, "machine.ini");
  for (const auto& [key, windowsPath] : ini.Entries("folders"))
    MakeImageFolder(folder, root, HostFolder(windowsPath));
  for (const char* extra : kExtraFolders)
    MakeImageFolder(folder, root, fs::path("drive_c") / extra);
  MakeImageFolder(folder, root, "unc");
  // machine.ini last: an image without it is not an image, so a failure above
  // leaves nothing that could be selected by mistake.
  WriteImageFile(folder, root, "machine.ini", ini.Serialize());
}

}  // namespace machine
