// LoadLibraryW, GetProcAddress and FreeLibrary over the stand-in's own
// modules (platform/win/libloaderapi.h). A module handle points at its
// entry in a fixed table, as a real one points at the loaded image.
#include <cstdlib>
#include <mutex>
#include <string>

#include "platform/shell/ShellFolders.h"
#include "platform/text.h"
#include "platform/win.h"

namespace {

struct Export {
  const char* name;
  FARPROC address;
  // The Windows release (CurrentVersion, e.g. "6.0") that first exported
  // the function; older servers answer ERROR_PROC_NOT_FOUND.
  double since;
};

struct Module {
  const char16_t* name;
  const Export* exports;
  size_t exportCount;
  int references;
};

const Export kKernel32Exports[] = {
    {"CreateSymbolicLinkW", reinterpret_cast<FARPROC>(&CreateSymbolicLinkW), 6.0},
};

Module gModules[] = {
    {u"KERNEL32.DLL", kKernel32Exports, std::size(kKernel32Exports), 0},
};

std::mutex gLock;

template <typename T>
T Fail(DWORD error, T result) {
  SetLastError(error);
  return result;
}

// "C:\Windows\System32\kernel32" -> "KERNEL32.DLL". Only the system folder
// holds the stand-in's modules.
std::u16string ModuleName(std::u16string_view given) {
  std::u16string name = machine::UpperCase(given);
  const size_t slash = name.find_last_of(u"\\/");
  if (slash != std::u16string::npos) {
    std::u16string folder = name.substr(0, slash);
    std::u16string system;
    if (shell::SpecialFolderPath(CSIDL_SYSTEM, system) != S_OK) return std::u16string();
    if (folder != machine::UpperCase(system)) return std::u16string();
    name.erase(0, slash + 1);
  }
  if (!name.empty() && name.back() == u'.') {
    name.pop_back();
  } else if (name.find(u'.') == std::u16string::npos) {
    name += u".DLL";
  }
  return name;
}

Module* FindLoaded(HMODULE handle) {
  for (Module& module : gModules) {
    if (reinterpret_cast<HMODULE>(&module) == handle && module.references > 0) return &module;
  }
  return nullptr;
}

// The release the image's registry names; an image without one counts as
// a current server.
double WindowsRelease() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", 0,
                    KEY_READ, &key) != ERROR_SUCCESS) {
    return 99.0;
  }
  char16_t text[32] = {};
  DWORD size = sizeof text - sizeof(char16_t);
  DWORD type = 0;
  const LSTATUS status = RegQueryValueExW(key, u"CurrentVersion", nullptr, &type,
                                          reinterpret_cast<BYTE*>(text), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS || type != REG_SZ) return 99.0;
  const std::string release = machine::ToUtf8(text);
  char* end = nullptr;
  const double value = std::strtod(release.c_str(), &end);
  return end == release.c_str() ? 99.0 : value;
}

}  // namespace

HMODULE WINAPI LoadLibraryW(LPCWSTR lpLibFileName) {
  if (lpLibFileName == nullptr) return Fail(ERROR_INVALID_PARAMETER, HMODULE{});
  const std::u16string name = ModuleName(lpLibFileName);
  std::lock_guard<std::mutex> hold(gLock);
  for (Module& module : gModules) {
    if (name == module.name) {
      ++module.references;
      return reinterpret_cast<HMODULE>(&module);
    }
  }
  return Fail(ERROR_MOD_NOT_FOUND, HMODULE{});
}

HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName) {
  if (lpLibFileName == nullptr) return Fail(ERROR_INVALID_PARAMETER, HMODULE{});
  return LoadLibraryW(machine::FromAnsi(lpLibFileName).c_str());
}

FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
  const Module* module = nullptr;
  {
    std::lock_guard<std::mutex> hold(gLock);
    module = FindLoaded(hModule);
  }
  if (module == nullptr) {
    return Fail(hModule == nullptr ? ERROR_PROC_NOT_FOUND : ERROR_MOD_NOT_FOUND, FARPROC{});
  }
  // An ordinal is passed as a pointer whose high bits are zero.
  if (reinterpret_cast<uintptr_t>(lpProcName) <= 0xFFFF)
    return Fail(ERROR_PROC_NOT_FOUND, FARPROC{});
  for (size_t i = 0; i < module->exportCount; ++i) {
    const Export& entry = module->exports[i];
    if (std::string_view(entry.name) == lpProcName) {
      if (WindowsRelease() < entry.since) break;
      return entry.address;
    }
  }
  return Fail(ERROR_PROC_NOT_FOUND, FARPROC{});
}

BOOL WINAPI FreeLibrary(HMODULE hLibModule) {
  std::lock_guard<std::mutex> hold(gLock);
  Module* module = FindLoaded(hLibModule);
  if (module == nullptr) return Fail(ERROR_MOD_NOT_FOUND, FALSE);
  --module->references;
  return TRUE;
}
