// icacls PATH: an object's access list, read through the security
// functions, in the layout of Windows' icacls.exe:
//
//   C:\inetpub\wwwroot BUILTIN\IIS_IUSRS:(OI)(CI)(RX)
//                      BUILTIN\Administrators:(I)(OI)(CI)(F)
//
//   Successfully processed 1 files; Failed processing 0 files
//
// PATH is a file or folder, or a registry key (HKLM\..., HKEY_LOCAL_MACHINE\...,
// or the security functions' MACHINE\..., CURRENT_USER\..., USERS\...,
// CLASSES_ROOT\...). --sddl prints the descriptor in SDDL instead.
//
// And the accounts of a new image (create DIR [--iis VERSION]): the
// built-in accounts, those of the IIS version, and the IIS folders' access
// lists.
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "platform/registry/RegistryStore.h"
#include "platform/security/Accounts.h"
#include "platform/security/StoreFaults.h"
#include "platform/text.h"
#include "platform/win.h"
#include "tools/quaver-machine/Tool.h"

namespace {

using quaver_machine::CommandError;
using quaver_machine::FailWithWindowsError;

struct Object {
  std::u16string name;  // as the security functions want it
  SE_OBJECT_TYPE type;
};

Object ObjectOf(const std::string& argument) {
  std::u16string text = quaver_machine::WindowsArgument(argument);
  machine::registry::KeyPath key;
  if (machine::registry::ParseRootedPath(text, key) ||
      machine::registry::ParseObjectName(text, key)) {
    return {machine::registry::ObjectName(key), SE_REGISTRY_KEY};
  }
  return {text, SE_FILE_OBJECT};
}

std::string AccountOf(PSID sid) {
  char16_t name[256];
  char16_t domain[256];
  DWORD nameSize = 256;
  DWORD domainSize = 256;
  SID_NAME_USE use;
  if (!LookupAccountSidW(nullptr, sid, name, &nameSize, domain, &domainSize, &use)) {
    const std::string shown = winsec::SidToString(winsec::SidFromPointer(sid));
    // An unknown SID is shown as itself; accounts that cannot be read are a fault.
    if (GetLastError() == winsec::kStoreFault) FailWithWindowsError(shown, winsec::kStoreFault);
    return shown;
  }
  std::u16string full = domainSize ? std::u16string(domain) + u"\\" + name : name;
  return machine::ToUtf8(full);
}

struct Right {
  ACCESS_MASK mask;
  const char* text;
};

// Whole rights first, largest first; then single rights. Like icacls.exe,
// full control and modify are also recognised in their generic form, as
// inherit-only entries carry them.
constexpr Right kFileSummaries[] = {{FILE_ALL_ACCESS, "F"},
                                    {0x1301BFu, "M"},
                                    {0x1200A9u, "RX"},
                                    {0x120089u, "R"},
                                    {0x100116u, "W"},
                                    {GENERIC_ALL, "F"},
                                    {DELETE | GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE, "M"}};
constexpr Right kKeySummaries[] = {
    {0xF003Fu, "F"}, {0x20019u, "R"}, {0x20006u, "W"}, {GENERIC_ALL, "F"}};
constexpr Right kSingleRights[] = {{GENERIC_ALL, "GA"},
                                   {GENERIC_READ, "GR"},
                                   {GENERIC_WRITE, "GW"},
                                   {GENERIC_EXECUTE, "GE"},
                                   {MAXIMUM_ALLOWED, "MA"},
                                   {ACCESS_SYSTEM_SECURITY, "AS"},
                                   {DELETE, "DE"},
                                   {READ_CONTROL, "RC"},
                                   {WRITE_DAC, "WDAC"},
                                   {WRITE_OWNER, "WO"},
                                   {SYNCHRONIZE, "S"},
                                   {FILE_READ_DATA, "RD"},
                                   {FILE_WRITE_DATA, "WD"},
                                   {FILE_APPEND_DATA, "AD"},
                                   {FILE_READ_EA, "REA"},
                                   {FILE_WRITE_EA, "WEA"},
                                   {FILE_EXECUTE, "X"},
                                   {FILE_DELETE_CHILD, "DC"},
                                   {FILE_READ_ATTRIBUTES, "RA"},
                                   {FILE_WRITE_ATTRIBUTES, "WA"}};

std::string RightsText(ACCESS_MASK mask, bool isKey) {
  std::vector<std::string> parts;
  for (const Right& summary :
       isKey ? std::vector<Right>(std::begin(kKeySummaries), std::end(kKeySummaries))
             : std::vector<Right>(std::begin(kFileSummaries), std::end(kFileSummaries))) {
    if ((mask & summary.mask) == summary.mask) {
      parts.push_back(summary.text);
      mask &= ~summary.mask;
      break;
    }
  }
  for (const Right& single : kSingleRights) {
    if (mask & single.mask) {
      parts.push_back(single.text);
      mask &= ~single.mask;
    }
  }
  if (mask != 0) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%x", static_cast<unsigned>(mask));
    parts.push_back(hex);
  }
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : ",") + part;
  return "(" + text + ")";
}

std::string EntryText(const ACCESS_ALLOWED_ACE* ace, bool isKey) {
  const BYTE flags = ace->Header.AceFlags;
  std::string text = AccountOf(const_cast<DWORD*>(&ace->SidStart)) + ":";
  if (flags & INHERITED_ACE) text += "(I)";
  if (flags & OBJECT_INHERIT_ACE) text += "(OI)";
  if (flags & CONTAINER_INHERIT_ACE) text += "(CI)";
  if (flags & NO_PROPAGATE_INHERIT_ACE) text += "(NP)";
  if (flags & INHERIT_ONLY_ACE) text += "(IO)";
  if (ace->Header.AceType == ACCESS_DENIED_ACE_TYPE) text += "(DENY)";
  return text + RightsText(ace->Mask, isKey);
}

std::vector<std::string> Entries(PACL dacl, bool isKey) {
  if (dacl == nullptr) return {"NULL DACL (everyone has full access)"};
  std::vector<std::string> lines;
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    if (GetAce(dacl, i, &ace))
      lines.push_back(EntryText(static_cast<ACCESS_ALLOWED_ACE*>(ace), isKey));
  }
  if (lines.empty()) lines.push_back("(no entries: no one has access)");
  return lines;
}

void Icacls(const std::string& argument, bool sddl) {
  quaver_machine::UseMachine();
  Object object = ObjectOf(argument);
  const SECURITY_INFORMATION info = DACL_SECURITY_INFORMATION | OWNER_SECURITY_INFORMATION |
                                    GROUP_SECURITY_INFORMATION | SACL_SECURITY_INFORMATION;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  DWORD error = GetNamedSecurityInfoW(object.name.c_str(), object.type, info, nullptr, nullptr,
                                      &dacl, nullptr, &descriptor);
  if (error != ERROR_SUCCESS) FailWithWindowsError(argument, error);
  // Naming the accounts reads machine.ini, which may fail: the descriptor
  // is freed on every way out.
  std::unique_ptr<void, HLOCAL (*)(HLOCAL)> owned(descriptor, LocalFree);
  if (sddl) {
    LPWSTR text = nullptr;
    if (ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1, info,
                                                             &text, nullptr)) {
      std::cout << machine::ToUtf8(text) << "\n";
      LocalFree(text);
    }
    return;
  }
  std::vector<std::string> lines = Entries(dacl, object.type == SE_REGISTRY_KEY);
  const std::string indent(argument.size() + 1, ' ');
  for (size_t i = 0; i < lines.size(); ++i) {
    std::cout << (i == 0 ? argument + " " : indent) << lines[i] << "\n";
  }
  std::cout << "\nSuccessfully processed 1 files; Failed processing 0 files\n";
}

void AddSecurityCommands(CLI::App& app) {
  auto* icacls =
      app.add_subcommand("icacls", "Show the access list of a file, folder or registry key");
  static std::string path;
  static bool sddl = false;
  icacls->add_option("PATH", path, "C:\\... or HKLM\\... (MACHINE\\... also works)")->required();
  icacls->add_flag("--sddl", sddl, "Print the security descriptor in SDDL");
  icacls->callback([] { Icacls(path, sddl); });
}

// ---- create ---------------------------------------------------------------------

winsec::IisAccounts AccountsFor(const std::string& iisVersion) {
  if (iisVersion.empty()) return winsec::IisAccounts::None;
  if (iisVersion == "6") return winsec::IisAccounts::Iis6;
  if (iisVersion == "7" || iisVersion == "7.5" || iisVersion == "8.5" || iisVersion == "10")
    return winsec::IisAccounts::Iis7;
  throw CommandError("no accounts are known for IIS " + iisVersion);
}

void MakeFolder(const char16_t* path) {
  if (!CreateDirectoryW(path, nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
    FailWithWindowsError(machine::ToUtf8(path), GetLastError());
}

// What setup finds on a fresh IIS server: IIS 7 and later let IIS_IUSRS read
// the whole of C:\inetpub; IIS 6 lets the anonymous user IUSR_<computer>
// read the default web site's root.
void SecureWebFolders(winsec::IisAccounts iis, const winsec::AccountDatabase& accounts,
                      const std::u16string& computer) {
  MakeFolder(u"C:\\inetpub");
  MakeFolder(u"C:\\inetpub\\wwwroot");
  const winsec::Account* reader = iis == winsec::IisAccounts::Iis6
                                      ? accounts.FindByName(computer + u"\\IUSR_" + computer)
                                      : accounts.FindByName(u"BUILTIN\\IIS_IUSRS");
  if (reader == nullptr) throw CommandError("the IIS accounts are missing");
  std::u16string folder =
      iis == winsec::IisAccounts::Iis6 ? u"C:\\inetpub\\wwwroot" : u"C:\\inetpub";
  winsec::SidBytes sid = reader->sid;
  EXPLICIT_ACCESS_W entry{};
  entry.grfAccessMode = GRANT_ACCESS;
  entry.grfAccessPermissions = FILE_GENERIC_READ | FILE_GENERIC_EXECUTE;
  entry.grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
  BuildTrusteeWithSidW(&entry.Trustee, sid.data());
  PACL acl = nullptr;
  DWORD error = SetEntriesInAclW(1, &entry, nullptr, &acl);
  if (error == ERROR_SUCCESS) {
    error = SetNamedSecurityInfoW(folder.data(), SE_FILE_OBJECT,
                                  DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION,
                                  nullptr, nullptr, acl, nullptr);
    LocalFree(acl);
  }
  if (error != ERROR_SUCCESS) FailWithWindowsError(machine::ToUtf8(folder), error);
}

void CreateAccounts(const quaver_machine::CreateRequest& request) {
  machine::Machine& image = machine::RequireMachine();
  const winsec::IisAccounts iis = AccountsFor(request.iisVersion);
  const std::u16string computer = winsec::ComputerNameOf(image.Settings());
  auto accounts = winsec::AccountDatabase::Defaults(computer, iis);
  accounts.WriteTo(image.Settings());
  image.SaveSettings();
  if (iis != winsec::IisAccounts::None) SecureWebFolders(iis, accounts, computer);
}

const bool registered = quaver_machine::RegisterCommands("icacls", AddSecurityCommands);
const bool hooked = quaver_machine::RegisterCreateHook("security", CreateAccounts);

}  // namespace
