// The accounts of the simulated server, kept in machine.ini:
//
//   [accounts]
//   Everyone = S-1-1-0, WellKnownGroup
//   NT AUTHORITY\NETWORK SERVICE = S-1-5-20, WellKnownGroup, BUILTIN\Users, BUILTIN\IIS_IUSRS
//   BUILTIN\Administrators = S-1-5-32-544, Alias
//   WEB01\Administrator = S-1-5-21-...-500, User, BUILTIN\Administrators, BUILTIN\Users
//
// The key is the account's name, with its domain and a backslash in front
// when it has one (Everyone and CREATOR OWNER have none). The value is the
// SID, the kind of account (the SID_NAME_USE name without "SidType": User,
// Group, Domain, Alias, WellKnownGroup, ...) and then the groups the account
// belongs to, by their full names. Everyone counts as a group of every
// account without being listed. Names are matched without regard to case and
// reported with the case written here; the first of several accounts with
// the same bare name wins a lookup by bare name.
//
// An image whose machine.ini has no [accounts] section has the accounts of
// a server without IIS (DefaultAccounts with IisAccounts::None).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/machine.h"
#include "platform/security/SecurityModel.h"

namespace winsec {

struct Account {
  std::u16string domain;
  std::u16string name;
  SidBytes sid;
  SID_NAME_USE use = SidTypeUser;
  std::vector<std::u16string> groups;  // full names, as written

  std::u16string FullName() const;  // "BUILTIN\Users", "Everyone"
};

// Which IIS accounts a server has: none, those of IIS 6 (IIS_WPG and the
// per-computer IUSR_ and IWAM_ users) or those of IIS 7 and later (IIS_IUSRS
// and the built-in IUSR).
enum class IisAccounts { None, Iis6, Iis7 };

class AccountDatabase {
 public:
  // Reads [accounts]; throws MachineError naming machine.ini and the account
  // for a malformed entry or a group that is not an account.
  static AccountDatabase FromSettings(const machine::IniFile& settings);
  static AccountDatabase Defaults(std::u16string_view computerName, IisAccounts iis);

  // Replaces the [accounts] section.
  void WriteTo(machine::IniFile& settings) const;

  const std::vector<Account>& All() const { return accounts_; }
  const Account* FindBySid(const SidBytes& sid) const;
  // "DOMAIN\name" or a bare "name".
  const Account* FindByName(std::u16string_view name) const;
  // The SID itself, the groups it belongs to (also through other groups)
  // and Everyone: whose entries in an access list apply to it.
  std::vector<SidBytes> TokenSids(const SidBytes& sid) const;

 private:
  void Add(std::u16string domain, std::u16string name, SidBytes sid, SID_NAME_USE use,
           std::vector<std::u16string> groups = {});
  std::vector<Account> accounts_;
};

// The computer name of the image ([environment] COMPUTERNAME); "WEB01" when
// it is not set. Throws MachineError naming the file and line of a name
// Windows would refuse (empty, not UTF-8, or holding \ / : * ? " < > |).
std::u16string ComputerNameOf(const machine::IniFile& settings);

}  // namespace winsec
