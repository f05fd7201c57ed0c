// machine.ini and services.ini: the INI reader, the accounts kept in
// machine.ini and the service records of services.ini. A file that reads
// must be written back unchanged; accounts written back read the same; a
// service's settings are read as the service functions read them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/machine.h"
#include "platform/security/Accounts.h"
#include "platform/services/ServiceRecord.h"

namespace {

// Stray carriage returns and blanks around names may go; sections, keys and
// values may not.
bool SameContent(const machine::IniFile& a, const machine::IniFile& b) {
  if (a.Sections() != b.Sections()) return false;
  for (const std::string& section : a.Sections()) {
    if (a.Entries(section) != b.Entries(section)) return false;
  }
  return true;
}

bool SameAccounts(const winsec::AccountDatabase& a, const winsec::AccountDatabase& b) {
  if (a.All().size() != b.All().size()) return false;
  for (size_t i = 0; i < a.All().size(); ++i) {
    const winsec::Account& x = a.All()[i];
    const winsec::Account& y = b.All()[i];
    if (x.FullName() != y.FullName() || x.sid != y.sid || x.use != y.use || x.groups != y.groups) {
      return false;
    }
  }
  return true;
}

void CheckAccounts(const machine::IniFile& settings) {
  winsec::AccountDatabase accounts;
  try {
    accounts = winsec::AccountDatabase::FromSettings(settings);
  } catch (const machine::MachineError&) {
    return;
  }
  for (const winsec::Account& account : accounts.All()) accounts.TokenSids(account.sid);
  machine::IniFile rewritten = settings;
  try {
    accounts.WriteTo(rewritten);
  } catch (const machine::MachineError&) {
    return;  // a name the file cannot hold (a computer name with '=') is refused, not mangled
  }
  try {
    rewritten = machine::IniFile::Parse(rewritten.Serialize(), "rewritten");
    if (!SameAccounts(accounts, winsec::AccountDatabase::FromSettings(rewritten))) std::abort();
  } catch (const machine::MachineError&) {
    std::abort();
  }
}

void CheckServices(machine::IniFile& services) {
  using machine::services::ServiceRecord;
  constexpr uint64_t kNow = 1700000000000;
  for (const std::string& section : services.Sections()) {
    ServiceRecord record(services, section);
    try {
      record.Status(kNow);
      record.Accepts(SERVICE_ACCEPT_STOP);
      record.Disabled();
      record.Begin(SERVICE_STOP_PENDING, kNow);
      record.Status(kNow + 1000);
    } catch (const machine::MachineError&) {
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  machine::IniFile ini;
  try {
    ini = machine::IniFile::Parse(text, "machine.ini");
  } catch (const machine::MachineError&) {
    return 0;
  }
  try {
    if (!SameContent(ini, machine::IniFile::Parse(ini.Serialize(), "rewritten"))) std::abort();
  } catch (const machine::MachineError&) {
    std::abort();
  }
  CheckAccounts(ini);
  CheckServices(ini);
  return 0;
}
