// dir, type, put and mkdir: the image's files seen through the Windows file
// functions, so that the tool shows exactly what the setup would see.
#include <cstdio>
#include <ctime>
#include <iomanip>
#include <iostream>
#include <sstream>
#include <vector>

#include "platform/paths.h"
#include "platform/text.h"
#include "platform/win.h"
#include "tools/quaver-machine/Tool.h"

namespace {

using quaver_machine::FailWithWindowsError;
using quaver_machine::WindowsArgument;

std::u16string FullPath(const std::string& argument) {
  std::u16string full;
  if (const DWORD error = machine::FullWindowsPath(WindowsArgument(argument), full)) {
    FailWithWindowsError(argument, error);
  }
  return full;
}

std::string DateOf(const FILETIME& time) {
  const uint64_t ticks = (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  const std::time_t seconds = static_cast<std::time_t>(ticks / 10000000ull - 11644473600ull);
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  std::ostringstream out;
  out << std::put_time(&utc, "%Y-%m-%d  %H:%M");
  return out.str();
}

void Dir(const std::string& argument) {
  quaver_machine::UseMachine();
  std::u16string full = FullPath(argument);
  const DWORD attributes = GetFileAttributesW(full.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) FailWithWindowsError(argument, GetLastError());
  const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  const std::u16string pattern = folder ? full + (full.back() == u'\\' ? u"*" : u"\\*") : full;
  const std::u16string shown = folder ? full : full.substr(0, full.rfind(u'\\'));
  WIN32_FIND_DATAW data;
  HANDLE search = FindFirstFileW(pattern.c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) FailWithWindowsError(argument, GetLastError());
  std::cout << " Directory of " << machine::ToUtf8(shown) << "\n\n";
  uint64_t files = 0, dirs = 0, bytes = 0;
  do {
    const bool isDir = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const uint64_t size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    std::cout << DateOf(data.ftLastWriteTime) << "    ";
    if (isDir) {
      std::cout << "<DIR>         ";
      ++dirs;
    } else {
      std::cout << std::setw(14) << size;
      ++files;
      bytes += size;
    }
    std::cout << " " << machine::ToUtf8(data.cFileName) << "\n";
  } while (FindNextFileW(search, &data));
  FindClose(search);
  std::cout << std::setw(16) << files << " File(s) " << std::setw(14) << bytes << " bytes\n"
            << std::setw(16) << dirs << " Dir(s)\n";
}

void Type(const std::string& argument) {
  quaver_machine::UseMachine();
  const std::u16string path = WindowsArgument(argument);
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) FailWithWindowsError(argument, GetLastError());
  std::vector<char> buffer(65536);
  DWORD got = 0;
  while (ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) &&
         got > 0) {
    std::cout.write(buffer.data(), got);
  }
  CloseHandle(file);
}

void Put(const std::string& hostFile, const std::string& argument) {
  quaver_machine::UseMachine();
  const std::string bytes = machine::ReadWholeFile(hostFile);
  std::u16string target = FullPath(argument);
  const DWORD attributes = GetFileAttributesW(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    if (target.back() != u'\\') target += u'\\';
    target += machine::FromUtf8(std::filesystem::path(hostFile).filename().string());
  }
  HANDLE file = CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) FailWithWindowsError(machine::ToUtf8(target), GetLastError());
  DWORD written = 0;
  const BOOL ok =
      WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  const DWORD error = GetLastError();
  CloseHandle(file);
  if (!ok) FailWithWindowsError(machine::ToUtf8(target), error);
}

// Creates the missing folders along the way, as cmd's mkdir does.
void MakeDirectory(const std::string& argument) {
  quaver_machine::UseMachine();
  const std::u16string full = FullPath(argument);
  if (GetFileAttributesW(full.c_str()) != INVALID_FILE_ATTRIBUTES) {
    throw quaver_machine::CommandError("A subdirectory or file " + argument + " already exists.");
  }
  // Start after the root: "C:\" or "\\server\share".
  size_t next = full.rfind(u'\\', 0) == 0 ? full.find(u'\\', full.find(u'\\', 2) + 1) : 2;
  while (next != std::u16string::npos) {
    next = full.find(u'\\', next + 1);
    const std::u16string prefix = full.substr(0, next);
    if (GetFileAttributesW(prefix.c_str()) == INVALID_FILE_ATTRIBUTES &&
        !CreateDirectoryW(prefix.c_str(), nullptr)) {
      FailWithWindowsError(machine::ToUtf8(prefix), GetLastError());
    }
  }
}

void AddFileCommands(CLI::App& app) {
  static std::string path, hostFile;
  auto* dir = app.add_subcommand("dir", "List a folder of the image (or one file)");
  dir->add_option("WINPATH", path, "Windows path, e.g. C:\\Windows")->required();
  dir->callback([] { Dir(path); });

  auto* type = app.add_subcommand("type", "Print a file of the image");
  type->add_option("WINPATH", path, "Windows path of the file")->required();
  type->callback([] { Type(path); });

  auto* put = app.add_subcommand("put", "Copy a host file into the image");
  put->add_option("HOSTFILE", hostFile, "File on this computer")->required();
  put->add_option("WINPATH", path, "Windows path of the copy (or a folder to copy into)")
      ->required();
  put->callback([] { Put(hostFile, path); });

  auto* mkdir = app.add_subcommand("mkdir", "Create a folder (and missing parents) in the image");
  mkdir->add_option("WINPATH", path, "Windows path of the folder")->required();
  mkdir->callback([] { MakeDirectory(path); });
}

const bool registered = quaver_machine::RegisterCommands("files", AddFileCommands);

}  // namespace
