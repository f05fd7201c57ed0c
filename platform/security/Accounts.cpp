#include "platform/security/Accounts.h"

#include <algorithm>

#include "platform/text.h"
#include "platform/text/Utf.h"

namespace winsec {

namespace {

constexpr char kSection[] = "accounts";

// The local accounts' domain. Fixed, so that images stay diffable.
constexpr DWORD kDomain1 = 2575041213u;
constexpr DWORD kDomain2 = 1802547165u;
constexpr DWORD kDomain3 = 3137628442u;

SidBytes LocalSid(DWORD rid) { return MakeSid(5, {21, kDomain1, kDomain2, kDomain3, rid}); }

struct UseName {
  SID_NAME_USE use;
  const char* name;
};

constexpr UseName kUseNames[] = {
    {SidTypeUser, "User"},
    {SidTypeGroup, "Group"},
    {SidTypeDomain, "Domain"},
    {SidTypeAlias, "Alias"},
    {SidTypeWellKnownGroup, "WellKnownGroup"},
    {SidTypeDeletedAccount, "DeletedAccount"},
    {SidTypeInvalid, "Invalid"},
    {SidTypeUnknown, "Unknown"},
    {SidTypeComputer, "Computer"},
    {SidTypeLabel, "Label"},
    {SidTypeLogonSession, "LogonSession"},
};

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

std::vector<std::string_view> SplitCommas(std::string_view text) {
  std::vector<std::string_view> parts;
  while (true) {
    size_t comma = text.find(',');
    parts.push_back(Trim(text.substr(0, comma)));
    if (comma == std::string_view::npos) return parts;
    text.remove_prefix(comma + 1);
  }
}

void SplitFullName(std::u16string_view full, std::u16string& domain, std::u16string& name) {
  size_t slash = full.find(u'\\');
  if (slash == std::u16string_view::npos) {
    domain.clear();
    name = std::u16string(full);
  } else {
    domain = std::u16string(full.substr(0, slash));
    name = std::u16string(full.substr(slash + 1));
  }
}

[[noreturn]] void Malformed(const machine::IniFile& settings, const std::string& key,
                            const std::string& why) {
  throw machine::MachineError(settings.Where(kSection, key, "machine.ini") + ": [accounts] " + key +
                              ": " + why);
}

}  // namespace

std::u16string Account::FullName() const { return domain.empty() ? name : domain + u"\\" + name; }

std::u16string ComputerNameOf(const machine::IniFile& settings) {
  const std::string text = settings.GetOr("environment", "COMPUTERNAME", "WEB01");
  std::u16string name;
  // The name is the domain of the local accounts: with a backslash in it
  // (or a byte replaced) they would not read back under the same names.
  if (!machine::text::DecodeUtf8(text, name) || name.empty() ||
      name.find_first_of(u"\\/:*?\"<>|") != std::u16string::npos) {
    throw machine::MachineError(settings.Where("environment", "COMPUTERNAME", "machine.ini") +
                                ": [environment] COMPUTERNAME = \"" + text +
                                "\" is not a computer name");
  }
  return name;
}

void AccountDatabase::Add(std::u16string domain, std::u16string name, SidBytes sid,
                          SID_NAME_USE use, std::vector<std::u16string> groups) {
  Account account;
  account.domain = std::move(domain);
  account.name = std::move(name);
  account.sid = std::move(sid);
  account.use = use;
  account.groups = std::move(groups);
  accounts_.push_back(std::move(account));
}

AccountDatabase AccountDatabase::Defaults(std::u16string_view computerName, IisAccounts iis) {
  const std::u16string computer(computerName);
  const std::u16string nt = u"NT AUTHORITY";
  const std::u16string builtin = u"BUILTIN";
  // The groups IIS puts its worker identities in, for the service accounts.
  std::vector<std::u16string> workerGroup;
  if (iis == IisAccounts::Iis6) workerGroup = {computer + u"\\IIS_WPG"};
  if (iis == IisAccounts::Iis7) workerGroup = {u"BUILTIN\\IIS_IUSRS"};
  auto with = [](std::vector<std::u16string> groups, const std::vector<std::u16string>& more) {
    groups.insert(groups.end(), more.begin(), more.end());
    return groups;
  };
  const std::vector<std::u16string> serviceGroups = {u"BUILTIN\\Users", u"NT AUTHORITY\\SERVICE",
                                                     u"NT AUTHORITY\\Authenticated Users"};

  AccountDatabase db;
  db.Add(u"", u"Everyone", MakeSid(1, {0}), SidTypeWellKnownGroup);
  db.Add(u"", u"CREATOR OWNER", MakeSid(3, {0}), SidTypeWellKnownGroup);
  db.Add(nt, u"SERVICE", MakeSid(5, {6}), SidTypeWellKnownGroup);
  db.Add(nt, u"Authenticated Users", MakeSid(5, {11}), SidTypeWellKnownGroup);
  db.Add(nt, u"SYSTEM", MakeSid(5, {18}), SidTypeWellKnownGroup,
         with({u"BUILTIN\\Administrators", u"NT AUTHORITY\\Authenticated Users"},
              iis == IisAccounts::Iis6 ? workerGroup : std::vector<std::u16string>{}));
  db.Add(
      nt, u"LOCAL SERVICE", MakeSid(5, {19}), SidTypeWellKnownGroup,
      with(serviceGroups, iis == IisAccounts::Iis6 ? workerGroup : std::vector<std::u16string>{}));
  db.Add(nt, u"NETWORK SERVICE", MakeSid(5, {20}), SidTypeWellKnownGroup,
         with(serviceGroups, workerGroup));
  db.Add(builtin, u"Administrators", MakeSid(5, {32, 544}), SidTypeAlias);
  db.Add(builtin, u"Users", MakeSid(5, {32, 545}), SidTypeAlias);
  db.Add(builtin, u"Guests", MakeSid(5, {32, 546}), SidTypeAlias);
  if (iis == IisAccounts::Iis7) {
    db.Add(builtin, u"IIS_IUSRS", MakeSid(5, {32, 568}), SidTypeAlias);
    db.Add(nt, u"IUSR", MakeSid(5, {17}), SidTypeWellKnownGroup);
  }
  db.Add(computer, u"Administrator", LocalSid(500), SidTypeUser,
         {u"BUILTIN\\Administrators", u"BUILTIN\\Users", u"NT AUTHORITY\\Authenticated Users"});
  db.Add(computer, u"Guest", LocalSid(501), SidTypeUser, {u"BUILTIN\\Guests"});
  if (iis == IisAccounts::Iis6) {
    db.Add(computer, u"IIS_WPG", LocalSid(1001), SidTypeAlias);
    db.Add(computer, u"IUSR_" + computer, LocalSid(1003), SidTypeUser,
           {u"BUILTIN\\Guests", u"NT AUTHORITY\\Authenticated Users"});
    db.Add(computer, u"IWAM_" + computer, LocalSid(1004), SidTypeUser,
           {computer + u"\\IIS_WPG", u"BUILTIN\\Guests", u"NT AUTHORITY\\Authenticated Users"});
  }
  return db;
}

AccountDatabase AccountDatabase::FromSettings(const machine::IniFile& settings) {
  if (!settings.HasSection(kSection)) return Defaults(ComputerNameOf(settings), IisAccounts::None);
  AccountDatabase db;
  for (const auto& entry : settings.Entries(kSection)) {
    // Named, not a structured binding: the decoding lambda below uses it.
    const std::string& key = entry.first;
    const std::string& value = entry.second;
    std::vector<std::string_view> fields = SplitCommas(value);
    if (fields.size() < 2) Malformed(settings, key, "expected \"SID, kind[, group, ...]\"");
    std::optional<SidBytes> sid = SidFromString(fields[0]);
    if (!sid) Malformed(settings, key, "malformed SID '" + std::string(fields[0]) + "'");
    auto use = std::find_if(std::begin(kUseNames), std::end(kUseNames),
                            [&](const UseName& u) { return fields[1] == u.name; });
    if (use == std::end(kUseNames))
      Malformed(settings, key, "unknown kind '" + std::string(fields[1]) + "'");
    // Names are written back when the accounts change: a replaced byte
    // would rename the account.
    auto decode = [&](std::string_view text) {
      std::u16string wide;
      if (!machine::text::DecodeUtf8(text, wide)) Malformed(settings, key, "not UTF-8 text");
      return wide;
    };
    std::u16string domain;
    std::u16string name;
    SplitFullName(decode(Trim(key)), domain, name);
    if (name.empty()) Malformed(settings, key, "empty account name");
    // Written back as DOMAIN\name, a second backslash (or a leading one)
    // would move into the domain or vanish.
    if (name.find(u'\\') != std::u16string::npos || (domain.empty() && key[0] == '\\'))
      Malformed(settings, key, "one backslash at most, between domain and name");
    std::vector<std::u16string> groups;
    for (size_t i = 2; i < fields.size(); ++i) groups.push_back(decode(fields[i]));
    db.Add(std::move(domain), std::move(name), std::move(*sid), use->use, std::move(groups));
  }
  // An empty section would vanish when the accounts are written back, and
  // the server would then have the default accounts instead of none.
  if (db.accounts_.empty()) {
    throw machine::MachineError(settings.Where(kSection, {}, "machine.ini") +
                                ": [accounts] holds no account");
  }
  for (const Account& account : db.accounts_) {
    for (const std::u16string& group : account.groups) {
      if (db.FindByName(group) == nullptr)
        Malformed(settings, machine::ToUtf8(account.FullName()),
                  "group '" + machine::ToUtf8(group) + "' is not an account");
    }
  }
  return db;
}

void AccountDatabase::WriteTo(machine::IniFile& settings) const {
  settings.RemoveSection(kSection);
  for (const Account& account : accounts_) {
    std::string value = SidToString(account.sid);
    for (const UseName& u : kUseNames) {
      if (u.use == account.use) value += std::string(", ") + u.name;
    }
    for (const std::u16string& group : account.groups) value += ", " + machine::ToUtf8(group);
    settings.Set(kSection, machine::ToUtf8(account.FullName()), value);
  }
}

const Account* AccountDatabase::FindBySid(const SidBytes& sid) const {
  for (const Account& account : accounts_) {
    if (account.sid == sid) return &account;
  }
  return nullptr;
}

const Account* AccountDatabase::FindByName(std::u16string_view name) const {
  bool qualified = name.find(u'\\') != std::u16string_view::npos;
  for (const Account& account : accounts_) {
    if (qualified ? machine::EqualNoCase(account.FullName(), name)
                  : machine::EqualNoCase(account.name, name))
      return &account;
  }
  return nullptr;
}

std::vector<SidBytes> AccountDatabase::TokenSids(const SidBytes& sid) const {
  std::vector<SidBytes> sids = {sid};
  // Breadth-first over the memberships; a cycle in a hand-edited file ends
  // because every SID is taken once.
  for (size_t i = 0; i < sids.size(); ++i) {
    const Account* account = FindBySid(sids[i]);
    if (account == nullptr) continue;
    for (const std::u16string& groupName : account->groups) {
      const Account* group = FindByName(groupName);
      if (group != nullptr && std::find(sids.begin(), sids.end(), group->sid) == sids.end())
        sids.push_back(group->sid);
    }
  }
  if (std::find(sids.begin(), sids.end(), EveryoneSid()) == sids.end())
    sids.push_back(EveryoneSid());
  return sids;
}

}  // namespace winsec
