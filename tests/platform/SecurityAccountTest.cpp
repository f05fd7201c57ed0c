// The accounts of the simulated server and the two account lookups with
// their two-step size protocol.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "platform/machine.h"
#include "platform/security/Accounts.h"
#include "platform/security/StoreFaults.h"
#include "platform/win.h"
#include "tests/platform/SecurityTestSupport.h"

namespace {

using quaver::test::InstallAccounts;
using quaver::test::SecurityTest;
using quaver::test::SidText;
using quaver::test::TestAcl;
using quaver::test::TestSid;

// A value no lookup of the simulated server ever reports.
constexpr SID_NAME_USE kUseSentinel = SidTypeLabel;
constexpr char16_t kTextSentinel = u'#';

class AccountLookupTest : public SecurityTest {};

TEST_F(AccountLookupTest, NameLookupFirstAsksForSizesThenFills) {
  DWORD sidSize = 0;
  DWORD domainSize = 0;
  SID_NAME_USE use = kUseSentinel;
  EXPECT_FALSE(LookupAccountNameW(nullptr, u"Administrators", nullptr, &sidSize, nullptr,
                                  &domainSize, &use));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(sidSize, 16u);
  EXPECT_EQ(domainSize, 8u);  // "BUILTIN" and its terminator
  EXPECT_EQ(use, kUseSentinel);

  BYTE sid[16];
  char16_t domain[8];
  ASSERT_TRUE(
      LookupAccountNameW(nullptr, u"Administrators", sid, &sidSize, domain, &domainSize, &use));
  EXPECT_EQ(SidText(sid), "S-1-5-32-544");
  EXPECT_EQ(std::u16string(domain), u"BUILTIN");
  EXPECT_EQ(domainSize, 7u);
  EXPECT_EQ(use, SidTypeAlias);
}

TEST_F(AccountLookupTest, NameLookupWithOneShortBufferWritesNothing) {
  BYTE sid[SECURITY_MAX_SID_SIZE];
  std::memset(sid, 0xEE, sizeof sid);
  char16_t domain[4] = {kTextSentinel, kTextSentinel, kTextSentinel, kTextSentinel};
  DWORD sidSize = sizeof sid;
  DWORD domainSize = 4;
  SID_NAME_USE use = kUseSentinel;
  EXPECT_FALSE(
      LookupAccountNameW(nullptr, u"NETWORK SERVICE", sid, &sidSize, domain, &domainSize, &use));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(sidSize, 12u);
  EXPECT_EQ(domainSize, 13u);  // "NT AUTHORITY" and its terminator
  EXPECT_EQ(sid[0], 0xEE);
  EXPECT_EQ(domain[0], kTextSentinel);
  EXPECT_EQ(use, kUseSentinel);
}

TEST_F(AccountLookupTest, UnknownNameLeavesOutputsUntouched) {
  DWORD sidSize = 0;
  DWORD domainSize = 0;
  SID_NAME_USE use = kUseSentinel;
  EXPECT_FALSE(
      LookupAccountNameW(nullptr, u"Nobody", nullptr, &sidSize, nullptr, &domainSize, &use));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NONE_MAPPED));
  EXPECT_EQ(sidSize, 0u);
  EXPECT_EQ(domainSize, 0u);
  EXPECT_EQ(use, kUseSentinel);
}

TEST_F(AccountLookupTest, NamesResolveWithAndWithoutDomain) {
  struct Case {
    const char16_t* name;
    const char* sid;
    const char16_t* domain;
    SID_NAME_USE use;
  };
  const Case cases[] = {
      {u"Everyone", "S-1-1-0", u"", SidTypeWellKnownGroup},
      {u"SYSTEM", "S-1-5-18", u"NT AUTHORITY", SidTypeWellKnownGroup},
      {u"nt authority\\network service", "S-1-5-20", u"NT AUTHORITY", SidTypeWellKnownGroup},
      {u"BUILTIN\\Users", "S-1-5-32-545", u"BUILTIN", SidTypeAlias},
      {u"Administrator", "S-1-5-21-2575041213-1802547165-3137628442-500", u"WEBSRV01", SidTypeUser},
      {u"WEBSRV01\\administrator", "S-1-5-21-2575041213-1802547165-3137628442-500", u"WEBSRV01",
       SidTypeUser},
  };
  for (const Case& c : cases) {
    BYTE sid[SECURITY_MAX_SID_SIZE];
    char16_t domain[64];
    DWORD sidSize = sizeof sid;
    DWORD domainSize = 64;
    SID_NAME_USE use;
    ASSERT_TRUE(LookupAccountNameW(nullptr, c.name, sid, &sidSize, domain, &domainSize, &use));
    EXPECT_EQ(SidText(sid), c.sid);
    EXPECT_EQ(std::u16string(domain), c.domain);
    EXPECT_EQ(use, c.use);
  }
}

TEST_F(AccountLookupTest, OnlyThisComputerCanBeAsked) {
  for (const char16_t* system : {u"", u"WEBSRV01", u"\\\\websrv01", u"localhost", u"."}) {
    DWORD sidSize = 0;
    DWORD domainSize = 0;
    SID_NAME_USE use;
    LookupAccountNameW(system, u"Users", nullptr, &sidSize, nullptr, &domainSize, &use);
    EXPECT_EQ(sidSize, 16u) << std::string(system,
                                           system + std::char_traits<char16_t>::length(system));
  }
  DWORD sidSize = 0;
  DWORD domainSize = 0;
  SID_NAME_USE use;
  EXPECT_FALSE(
      LookupAccountNameW(u"BUILTIN", u"Users", nullptr, &sidSize, nullptr, &domainSize, &use));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(RPC_S_SERVER_UNAVAILABLE));
  EXPECT_EQ(sidSize, 0u);
}

TEST_F(AccountLookupTest, SidLookupFirstAsksForSizesThenFills) {
  TestSid service("S-1-5-20");
  DWORD nameSize = 0;
  DWORD domainSize = 0;
  SID_NAME_USE use = kUseSentinel;
  EXPECT_FALSE(LookupAccountSidW(nullptr, service, nullptr, &nameSize, nullptr, &domainSize, &use));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(nameSize, 16u);    // "NETWORK SERVICE" and its terminator
  EXPECT_EQ(domainSize, 13u);  // "NT AUTHORITY" and its terminator
  EXPECT_EQ(use, kUseSentinel);

  std::u16string name(nameSize, kTextSentinel);
  std::u16string domain(domainSize, kTextSentinel);
  ASSERT_TRUE(LookupAccountSidW(nullptr, service, name.data(), &nameSize, domain.data(),
                                &domainSize, &use));
  EXPECT_EQ(name.substr(0, nameSize), u"NETWORK SERVICE");
  EXPECT_EQ(domain.substr(0, domainSize), u"NT AUTHORITY");
  EXPECT_EQ(use, SidTypeWellKnownGroup);
}

TEST_F(AccountLookupTest, SidWithoutNameLeavesOutputsUntouched) {
  TestSid unknown("S-1-5-21-1-2-3-4444");
  DWORD nameSize = 0;
  DWORD domainSize = 0;
  SID_NAME_USE use = kUseSentinel;
  EXPECT_FALSE(LookupAccountSidW(nullptr, unknown, nullptr, &nameSize, nullptr, &domainSize, &use));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NONE_MAPPED));
  EXPECT_EQ(nameSize, 0u);
  EXPECT_EQ(domainSize, 0u);
  EXPECT_EQ(use, kUseSentinel);

  BYTE invalid[8] = {3, 0, 0, 0, 0, 0, 0, 5};
  EXPECT_FALSE(LookupAccountSidW(nullptr, invalid, nullptr, &nameSize, nullptr, &domainSize, &use));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_SID));
}

TEST_F(AccountLookupTest, EveryoneHasAnEmptyDomain) {
  TestSid everyone("S-1-1-0");
  char16_t name[16];
  char16_t domain[1] = {kTextSentinel};
  DWORD nameSize = 16;
  DWORD domainSize = 1;
  SID_NAME_USE use;
  ASSERT_TRUE(LookupAccountSidW(nullptr, everyone, name, &nameSize, domain, &domainSize, &use));
  EXPECT_EQ(std::u16string(name), u"Everyone");
  EXPECT_EQ(domainSize, 0u);
  EXPECT_EQ(domain[0], u'\0');
}

TEST_F(AccountLookupTest, AccountsComeFromMachineIni) {
  machine::Machine& image = machine::RequireMachine();
  image.Settings().Set("accounts", "WEBSRV01\\deploy", "S-1-5-21-9-9-9-1010, User");
  BYTE sid[SECURITY_MAX_SID_SIZE];
  char16_t domain[32];
  DWORD sidSize = sizeof sid;
  DWORD domainSize = 32;
  SID_NAME_USE use;
  ASSERT_TRUE(LookupAccountNameW(nullptr, u"deploy", sid, &sidSize, domain, &domainSize, &use));
  EXPECT_EQ(SidText(sid), "S-1-5-21-9-9-9-1010");
  // Only what the section lists exists once the section is there.
  sidSize = 0;
  domainSize = 0;
  EXPECT_FALSE(
      LookupAccountNameW(nullptr, u"SYSTEM", nullptr, &sidSize, nullptr, &domainSize, &use));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NONE_MAPPED));
}

// Accounts that cannot be read make every function that needs them fail
// with the code of a damaged account database, never throw through them,
// and the fault names the account.
TEST_F(AccountLookupTest, UnreadableAccountsFailTheCallsThatNeedThem) {
  machine::Machine& image = machine::RequireMachine();
  image.Settings().Set("accounts", "BUILTIN\\Guests", "S-1-=bad, Alias");
  constexpr DWORD kSentinel = 0xDEADBEEF;
  TestSid users("S-1-5-32-545");
  BYTE sid[SECURITY_MAX_SID_SIZE];
  char16_t name[64];
  char16_t domain[64];
  SID_NAME_USE use;
  EXPLICIT_ACCESS_W entry{};
  entry.grfAccessMode = GRANT_ACCESS;
  entry.grfAccessPermissions = GENERIC_READ;
  BuildTrusteeWithNameW(&entry.Trustee, const_cast<LPWSTR>(u"Users"));
  TRUSTEE_W bySid{};
  BuildTrusteeWithSidW(&bySid, users);
  struct Call {
    const char* name;
    std::function<DWORD()> run;  // the error it reports
  };
  const Call calls[] = {
      {"LookupAccountNameW",
       [&] {
         DWORD sidSize = sizeof sid, domainSize = 64;
         return LookupAccountNameW(nullptr, u"Users", sid, &sidSize, domain, &domainSize, &use)
                    ? ERROR_SUCCESS
                    : GetLastError();
       }},
      {"LookupAccountSidW",
       [&] {
         DWORD nameSize = 64, domainSize = 64;
         return LookupAccountSidW(nullptr, users, name, &nameSize, domain, &domainSize, &use)
                    ? ERROR_SUCCESS
                    : GetLastError();
       }},
      {"SetEntriesInAclW",
       [&] {
         PACL acl = nullptr;
         const DWORD error = SetEntriesInAclW(1, &entry, nullptr, &acl);
         LocalFree(acl);
         return error;
       }},
      {"GetEffectiveRightsFromAclW",
       [&] {
         TestAcl acl("(A;;FA;;;BU)");
         ACCESS_MASK rights = 0;
         return GetEffectiveRightsFromAclW(acl.get(), &bySid, &rights);
       }},
  };
  for (const Call& call : calls) {
    SetLastError(kSentinel);
    EXPECT_EQ(call.run(), static_cast<DWORD>(ERROR_INTERNAL_DB_CORRUPTION)) << call.name;
    EXPECT_NE(winsec::LastStoreError().find("[accounts] BUILTIN\\Guests: malformed SID"),
              std::string::npos)
        << call.name << ": " << winsec::LastStoreError();
  }
}

TEST_F(AccountLookupTest, MalformedAccountLinesNameTheAccount) {
  struct Case {
    const char* value;
    const char* reason;
  };
  const Case cases[] = {
      {"S-1-5-21-9", "expected"},
      {"S-9-5, User", "malformed SID"},
      {"S-1-5-21-9, Person", "unknown kind 'Person'"},
      {"S-1-5-21-9, User, BUILTIN\\Nobody", "group 'BUILTIN\\Nobody' is not an account"},
  };
  for (const Case& c : cases) {
    machine::IniFile settings;
    settings.Set("accounts", "BUILTIN\\Users", "S-1-5-32-545, Alias");
    settings.Set("accounts", "WEBSRV01\\deploy", c.value);
    try {
      winsec::AccountDatabase::FromSettings(settings);
      ADD_FAILURE() << c.value;
    } catch (const machine::MachineError& e) {
      EXPECT_NE(std::string(e.what()).find("machine.ini: [accounts] WEBSRV01\\deploy: "),
                std::string::npos)
          << e.what();
      EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
    }
  }
}

// Read from the file, a malformed account names the file and the line too;
// a name that is not UTF-8 is refused rather than renamed on the next write.
TEST(AccountDatabaseFile, MalformedLinesNameFileAndLine) {
  struct Case {
    const char* line;
    const char* error;
  };
  const Case cases[] = {
      {"WEBSRV01\\deploy = S-1-5-21-9, Person",
       "/img/machine.ini:3: [accounts] WEBSRV01\\deploy: unknown kind 'Person'"},
      {"WEBSRV01\\d\xE9ploy = S-1-5-21-9, User",
       "/img/machine.ini:3: [accounts] WEBSRV01\\d\xE9ploy: not UTF-8 text"},
      {"WEBSRV01\\deploy = S-1-5-21-9, User, BUILTIN\\Us\xC3rs",
       "/img/machine.ini:3: [accounts] WEBSRV01\\deploy: not UTF-8 text"},
      {"\\deploy = S-1-5-21-9, User", "/img/machine.ini:3: [accounts] \\deploy: one backslash"},
      {"A\\B\\deploy = S-1-5-21-9, User", "/img/machine.ini:3: [accounts] A\\B\\deploy: one"},
  };
  // The computer name is the local accounts' domain: one that would split
  // or change their names is refused.
  for (const char* name : {"WEB\\01", "WEB\xF4", ""}) {
    const std::string text = std::string("[environment]\nCOMPUTERNAME=") + name + "\n";
    try {
      winsec::AccountDatabase::FromSettings(machine::IniFile::Parse(text, "/img/machine.ini"));
      ADD_FAILURE() << name;
    } catch (const machine::MachineError& e) {
      const std::string expected = "/img/machine.ini:2: [environment] COMPUTERNAME = ";
      EXPECT_EQ(std::string(e.what()).rfind(expected, 0), 0u) << e.what();
    }
  }
  // Written back, an empty section would vanish and bring the default accounts.
  try {
    winsec::AccountDatabase::FromSettings(
        machine::IniFile::Parse("[accounts]\n; none\n", "/img/machine.ini"));
    ADD_FAILURE() << "an empty [accounts] section was taken";
  } catch (const machine::MachineError& e) {
    EXPECT_STREQ(e.what(), "/img/machine.ini: [accounts] holds no account");
  }
  for (const Case& c : cases) {
    const std::string text =
        std::string("[accounts]\nBUILTIN\\Users = S-1-5-32-545, Alias\n") + c.line + "\n";
    try {
      winsec::AccountDatabase::FromSettings(machine::IniFile::Parse(text, "/img/machine.ini"));
      ADD_FAILURE() << c.line;
    } catch (const machine::MachineError& e) {
      EXPECT_EQ(std::string(e.what()).rfind(c.error, 0), 0u) << e.what();
    }
  }
}

TEST(AccountDefaults, IisVersionsHaveTheirAccounts) {
  struct Case {
    winsec::IisAccounts iis;
    std::vector<const char16_t*> present;
    std::vector<const char16_t*> absent;
  };
  const Case cases[] = {
      {winsec::IisAccounts::None,
       {u"BUILTIN\\Administrators", u"NT AUTHORITY\\LOCAL SERVICE"},
       {u"IIS_IUSRS", u"IIS_WPG", u"IUSR", u"IUSR_WEB01"}},
      {winsec::IisAccounts::Iis6,
       {u"WEB01\\IIS_WPG", u"WEB01\\IUSR_WEB01", u"WEB01\\IWAM_WEB01"},
       {u"IIS_IUSRS", u"IUSR"}},
      {winsec::IisAccounts::Iis7,
       {u"BUILTIN\\IIS_IUSRS", u"NT AUTHORITY\\IUSR"},
       {u"IIS_WPG", u"IUSR_WEB01", u"IWAM_WEB01"}},
  };
  for (const Case& c : cases) {
    auto db = winsec::AccountDatabase::Defaults(u"WEB01", c.iis);
    machine::IniFile settings;
    db.WriteTo(settings);
    auto reread = winsec::AccountDatabase::FromSettings(settings);
    for (const char16_t* name : c.present) EXPECT_NE(reread.FindByName(name), nullptr);
    for (const char16_t* name : c.absent) EXPECT_EQ(reread.FindByName(name), nullptr);
    ASSERT_EQ(reread.All().size(), db.All().size());
  }
}

TEST(AccountDefaults, GroupsAreFollowedThroughGroups) {
  auto db = winsec::AccountDatabase::Defaults(u"WEB01", winsec::IisAccounts::Iis6);
  const winsec::Account* iwam = db.FindByName(u"IWAM_WEB01");
  ASSERT_NE(iwam, nullptr);
  std::vector<std::string> sids;
  for (const auto& sid : db.TokenSids(iwam->sid)) sids.push_back(winsec::SidToString(sid));
  const winsec::Account* wpg = db.FindByName(u"WEB01\\IIS_WPG");
  ASSERT_NE(wpg, nullptr);
  EXPECT_NE(std::find(sids.begin(), sids.end(), winsec::SidToString(wpg->sid)), sids.end());
  EXPECT_NE(std::find(sids.begin(), sids.end(), "S-1-5-32-546"), sids.end());  // Guests
  EXPECT_NE(std::find(sids.begin(), sids.end(), "S-1-1-0"), sids.end());       // Everyone
  EXPECT_EQ(std::find(sids.begin(), sids.end(), "S-1-5-32-544"), sids.end());
}

TEST_F(AccountLookupTest, InstalledIisAccountsAreFound) {
  InstallAccounts(winsec::IisAccounts::Iis7);
  BYTE sid[SECURITY_MAX_SID_SIZE];
  char16_t domain[32];
  DWORD sidSize = sizeof sid;
  DWORD domainSize = 32;
  SID_NAME_USE use;
  ASSERT_TRUE(LookupAccountNameW(nullptr, u"IIS_IUSRS", sid, &sidSize, domain, &domainSize, &use));
  EXPECT_EQ(SidText(sid), "S-1-5-32-568");
  EXPECT_EQ(std::u16string(domain), u"BUILTIN");
}

}  // namespace
