#include "tools/quaver-machine/Tool.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <pugixml.hpp>

#include "platform/security/StoreFaults.h"
#include "platform/text.h"
#include "platform/text/XmlDocument.h"

namespace quaver_machine {
namespace {

std::map<std::string, AddCommands>& Groups() {
  static std::map<std::string, AddCommands> groups;
  return groups;
}

std::map<std::string, CreateHook>& Hooks() {
  static std::map<std::string, CreateHook> hooks;
  return hooks;
}

}  // namespace

bool RegisterCommands(const char* group, AddCommands add) {
  Groups()[group] = add;
  return true;
}

bool RegisterCreateHook(const char* name, CreateHook hook) {
  Hooks()[name] = hook;
  return true;
}

void AddRegisteredCommands(CLI::App& app) {
  for (const auto& [name, add] : Groups()) add(app);
}

bool HasCreateHooks() { return !Hooks().empty(); }

void RunCreateHooks(const CreateRequest& request) {
  for (const auto& [name, hook] : Hooks()) hook(request);
}

std::string& MachineOption() {
  static std::string dir;
  return dir;
}

machine::Machine& UseMachine() {
  if (machine::CurrentMachine() == nullptr && !MachineOption().empty()) {
    machine::SelectMachine(MachineOption());
  }
  return machine::RequireMachine();
}

std::u16string WindowsArgument(const std::string& argument) { return machine::FromUtf8(argument); }

std::string WindowsErrorText(DWORD error) {
  static const std::map<DWORD, const char*> texts = {
      {2, "The system cannot find the file specified."},
      {3, "The system cannot find the path specified."},
      {5, "Access is denied."},
      {6, "The handle is invalid."},
      {13, "The data is invalid."},
      {32, "The process cannot access the file because it is being used by another process."},
      {53, "The network path was not found."},
      {67, "The network name cannot be found."},
      {80, "The file exists."},
      {87, "The parameter is incorrect."},
      {112, "There is not enough space on the disk."},
      {123, "The filename, directory name, or volume label syntax is incorrect."},
      {145, "The directory is not empty."},
      {161, "The specified path is invalid."},
      {183, "Cannot create a file when that file already exists."},
      {206, "The filename or extension is too long."},
      {267, "The directory name is invalid."},
      {1060, "The specified service does not exist as an installed service."},
      {1332, "No mapping between account names and security IDs was done."},
      {1358,
       "Unable to complete the requested operation because of either a catastrophic media "
       "failure or a data structure corruption on the disk."},
      {1722, "The RPC server is unavailable."},
  };
  const auto it = texts.find(error);
  const std::string text = it != texts.end() ? it->second : "Windows error";
  return text + " (" + std::to_string(error) + ")";
}

bool IsHelpWord(const std::string& word) {
  return word == "/?" || word == "-?" || word == "/help" || word == "-help";
}

bool FindXmlFault(const std::string& bytes, size_t& line, std::string& description) {
  pugi::xml_document document;
  machine::XmlFault fault;
  if (machine::LoadXml(document, bytes, pugi::parse_default, fault)) return false;
  line = fault.line;
  description = fault.description;
  return true;
}

std::string HresultText(HRESULT hr) {
  char code[16];
  std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
  const unsigned value = static_cast<unsigned>(hr);
  // Win32 errors wrapped as HRESULTs (facility 7) carry the system text.
  if ((value & 0xFFFF0000u) == 0x80070000u) {
    return std::string(code) + " (" + WindowsErrorText(value & 0xFFFFu) + ")";
  }
  return code;
}

void FailWithWindowsError(const std::string& what, DWORD error) {
  // The file and line at fault tell more than the code does.
  if (error == winsec::kStoreFault && !winsec::LastStoreError().empty()) {
    throw CommandError(winsec::LastStoreError());
  }
  throw CommandError(what + ": " + WindowsErrorText(error));
}

}  // namespace quaver_machine
