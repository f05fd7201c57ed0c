#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/CSPException.h"
#include "security/WSUser.h"
#include "tests/platform/SecurityTestSupport.h"

namespace {

using quaver::test::InstallAccounts;
using quaver::test::SecurityTest;
using quaver::test::SidText;
using quaver::test::TestSid;
using winsec::Injectable;

std::string Text(const CSPString& text) { return text.GetString(); }
std::u16string Text(const CSPWString& text) { return text.GetString(); }

class WSUserTest : public SecurityTest {};

TEST_F(WSUserTest, StandardUsersResolveToTheirAccounts) {
  struct Case {
    int32_t id;
    const char* sid;
    const char16_t* name;
    const char16_t* domain;
    int32_t sidType;
  };
  const Case cases[] = {
      {1, "S-1-5-32-544", u"Administrators", u"BUILTIN", SidTypeAlias},
      {2, "S-1-5-18", u"SYSTEM", u"NT AUTHORITY", SidTypeWellKnownGroup},
      {3, "S-1-1-0", u"Everyone", u"", SidTypeWellKnownGroup},
      {4, "S-1-5-6", u"SERVICE", u"NT AUTHORITY", SidTypeWellKnownGroup},
      {5, "S-1-5-20", u"NETWORK SERVICE", u"NT AUTHORITY", SidTypeWellKnownGroup},
      {6, "S-1-5-32-545", u"Users", u"BUILTIN", SidTypeAlias},
  };
  for (const Case& c : cases) {
    WSUser user;
    ASSERT_TRUE(user.SetStandardUser(c.id)) << c.id << ": " << Text(user.GetLastErrorText());
    EXPECT_EQ(SidText(user.GetSid()), c.sid);
    EXPECT_EQ(Text(user.GetName()), c.name);
    EXPECT_EQ(Text(user.GetDomain()), c.domain);
    EXPECT_EQ(user.GetSidType(), c.sidType);
  }
}

TEST_F(WSUserTest, UnknownStandardIdIsRefused) {
  for (int32_t id : {0, 7, -1}) {
    WSUser user;
    ASSERT_TRUE(user.SetStandardUser(1));
    EXPECT_FALSE(user.SetStandardUser(id));
    EXPECT_EQ(Text(user.GetLastErrorText()),
              "Invalid or unsupported standard user id was specified");
    EXPECT_EQ(user.GetSid(), nullptr);
    EXPECT_EQ(Text(user.GetName()), u"");
  }
}

TEST_F(WSUserTest, NamesResolveThroughEveryOverload) {
  InstallAccounts(winsec::IisAccounts::Iis7);
  WSUser fromNarrow;
  WSUser fromNarrowPointer;
  WSUser fromWide;
  WSUser fromWidePointer;
  ASSERT_TRUE(fromNarrow.SetName(CSPString("IIS_IUSRS")));
  ASSERT_TRUE(fromNarrowPointer.SetName("IIS_IUSRS"));
  ASSERT_TRUE(fromWide.SetName(CSPWString(u"IIS_IUSRS")));
  ASSERT_TRUE(fromWidePointer.SetName(u"iis_iusrs"));
  for (const WSUser* user : {&fromNarrow, &fromNarrowPointer, &fromWide, &fromWidePointer}) {
    EXPECT_EQ(SidText(user->GetSid()), "S-1-5-32-568");
    EXPECT_EQ(Text(user->GetDomain()), u"BUILTIN");
    EXPECT_EQ(user->GetSidType(), SidTypeAlias);
  }
  // The name keeps the spelling it was given; Windows returns none.
  EXPECT_EQ(Text(fromWidePointer.GetName()), u"iis_iusrs");
}

TEST_F(WSUserTest, DomainPartNamesTheSystemToAsk) {
  WSUser local;
  ASSERT_TRUE(local.SetName(u"WEBSRV01\\Administrator"));
  EXPECT_EQ(Text(local.GetName()), u"Administrator");
  EXPECT_EQ(Text(local.GetDomain()), u"WEBSRV01");
  EXPECT_EQ(local.GetSidType(), SidTypeUser);

  // "NT AUTHORITY" is no computer that could be asked.
  WSUser remote;
  EXPECT_FALSE(remote.SetName("NT AUTHORITY\\NETWORK SERVICE"));
  EXPECT_EQ(Text(remote.GetLastErrorText()), "User 'NETWORK SERVICE' does not exist");
  EXPECT_EQ(remote.GetSid(), nullptr);
  EXPECT_EQ(Text(remote.GetDomain()), u"");
}

TEST_F(WSUserTest, UnknownNameIsRefused) {
  WSUser user;
  EXPECT_FALSE(user.SetName("Nobody"));
  EXPECT_EQ(Text(user.GetLastErrorText()), "User 'Nobody' does not exist");
  EXPECT_EQ(user.GetSid(), nullptr);
  EXPECT_EQ(Text(user.GetName()), u"");
}

TEST_F(WSUserTest, SidWithoutNameIsKeptWithEmptyNames) {
  TestSid orphan("S-1-5-21-1-2-3-4444");
  WSUser user;
  ASSERT_TRUE(user.SetSid(orphan));
  EXPECT_NE(user.GetSid(), orphan.get());  // a copy
  EXPECT_EQ(SidText(user.GetSid()), "S-1-5-21-1-2-3-4444");
  EXPECT_EQ(Text(user.GetName()), u"");
  EXPECT_EQ(Text(user.GetDomain()), u"");
  EXPECT_EQ(Text(user.GetLastErrorText()),
            "No user name is found for the given security identifier");
}

TEST_F(WSUserTest, SetSidLooksTheNamesUp) {
  TestSid system("S-1-5-18");
  WSUser user;
  ASSERT_TRUE(user.SetSid(system));
  EXPECT_EQ(Text(user.GetName()), u"SYSTEM");
  EXPECT_EQ(Text(user.GetDomain()), u"NT AUTHORITY");
  EXPECT_EQ(user.GetName().GetLength(), 6u);  // exactly the returned characters

  EXPECT_TRUE(user.SetSid(nullptr));
  EXPECT_EQ(user.GetSid(), nullptr);
  EXPECT_EQ(Text(user.GetName()), u"");
}

// Refreshing a principal from what it already holds: the setter must not
// release its own input before reading it.
TEST_F(WSUserTest, SettersAcceptWhatTheObjectHolds) {
  InstallAccounts(winsec::IisAccounts::Iis7);
  WSUser user;
  ASSERT_TRUE(user.SetStandardUser(2));
  ASSERT_TRUE(user.SetSid(user.GetSid())) << Text(user.GetLastErrorText());
  EXPECT_EQ(SidText(user.GetSid()), "S-1-5-18");
  EXPECT_EQ(Text(user.GetName()), u"SYSTEM");

  ASSERT_TRUE(user.SetName(u"IIS_IUSRS"));
  ASSERT_TRUE(user.SetName(user.GetName())) << Text(user.GetLastErrorText());
  EXPECT_EQ(SidText(user.GetSid()), "S-1-5-32-568");
  EXPECT_EQ(Text(user.GetName()), u"IIS_IUSRS");
}

TEST_F(WSUserTest, InvalidSidIsRefused) {
  BYTE bad[12] = {9, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0};
  WSUser user;
  EXPECT_FALSE(user.SetSid(bad));
  EXPECT_EQ(Text(user.GetLastErrorText()),
            "A system error occured while copying user security identifier");
  EXPECT_EQ(user.GetSid(), nullptr);
}

TEST_F(WSUserTest, ResetKeepsTheLastErrorText) {
  WSUser user;
  EXPECT_FALSE(user.SetName("Nobody"));
  ASSERT_TRUE(user.SetStandardUser(2));
  user.Reset();
  EXPECT_EQ(user.GetSid(), nullptr);
  EXPECT_EQ(Text(user.GetName()), u"");
  EXPECT_EQ(Text(user.GetDomain()), u"");
  EXPECT_EQ(user.GetSidType(), 0);
  EXPECT_EQ(Text(user.GetLastErrorText()), "User 'Nobody' does not exist");
}

TEST_F(WSUserTest, EqualityFollowsTheSids) {
  WSUser empty1;
  WSUser empty2;
  WSUser system1;
  WSUser system2;
  WSUser users;
  ASSERT_TRUE(system1.SetStandardUser(2));
  ASSERT_TRUE(system2.SetName("SYSTEM"));
  ASSERT_TRUE(users.SetStandardUser(6));
  EXPECT_TRUE(empty1 == empty2);
  EXPECT_FALSE(empty1 == system1);
  EXPECT_FALSE(system1 == empty1);
  EXPECT_TRUE(system1 == system2);
  EXPECT_FALSE(system1 == users);
  EXPECT_TRUE(system1 != users);
}

TEST_F(WSUserTest, CopiesOwnTheirSid) {
  WSUser empty;
  WSUser emptyCopy(empty);
  EXPECT_EQ(emptyCopy.GetSid(), nullptr);

  auto original = std::make_unique<WSUser>();
  ASSERT_TRUE(original->SetStandardUser(5));
  WSUser copy(*original);
  WSUser assigned;
  ASSERT_TRUE(assigned.SetStandardUser(1));
  assigned = *original;
  const WSUser& same = assigned;
  assigned = same;
  original.reset();
  for (const WSUser* user : {&copy, &assigned}) {
    EXPECT_EQ(SidText(user->GetSid()), "S-1-5-20");
    EXPECT_EQ(Text(user->GetName()), u"NETWORK SERVICE");
    EXPECT_EQ(Text(user->GetDomain()), u"NT AUTHORITY");
    EXPECT_EQ(user->GetSidType(), SidTypeWellKnownGroup);
  }
  EXPECT_NE(copy.GetSid(), assigned.GetSid());
}

TEST_F(WSUserTest, CopyThatCannotCopyTheSidThrows) {
  WSUser source;
  ASSERT_TRUE(source.SetStandardUser(3));
  winsec::FailCall(Injectable::LocalAlloc, ERROR_NOT_ENOUGH_MEMORY);
  try {
    WSUser copy(source);
    ADD_FAILURE() << "no exception";
  } catch (const CSPException& e) {
    EXPECT_EQ(Text(e.GetText()), "Out of memory");
    EXPECT_EQ(e.GetCode(), 0);
  }
  WSUser target;
  winsec::FailCall(Injectable::CopySid, ERROR_INVALID_SID);
  try {
    target = source;
    ADD_FAILURE() << "no exception";
  } catch (const CSPException& e) {
    EXPECT_EQ(Text(e.GetText()), "A system error occured while copying user security identifier");
  }
  EXPECT_EQ(target.GetSid(), nullptr);
}

// Failures Windows only shows under memory pressure or a changing account
// database, forced here.
TEST_F(WSUserTest, SystemFailuresLeaveTheirTexts) {
  struct Case {
    const char* name;
    Injectable function;
    unsigned nth;
    bool (*run)(WSUser&);
    const char* text;
  };
  auto standard = [](WSUser& user) { return user.SetStandardUser(4); };
  auto named = [](WSUser& user) { return user.SetName("WEBSRV01\\Administrator"); };
  auto bySid = [](WSUser& user) {
    TestSid sid("S-1-5-18");
    return user.SetSid(sid);
  };
  const Case cases[] = {
      {"sid allocation", Injectable::AllocateAndInitializeSid, 1, standard,
       "A system error occured while retrieving security identifier for standard user"},
      {"name: sid block", Injectable::LocalAlloc, 1, named, "Out of memory"},
      {"name: domain buffer", Injectable::LocalAlloc, 2, named, "Out of memory"},
      {"name: second lookup", Injectable::LookupAccountNameW, 2, named,
       "A system error occured while retrieving security identifier for user 'Administrator'"},
      {"sid: first lookup", Injectable::LookupAccountSidW, 1, bySid,
       "The user security identifier specified does not exist"},
      {"sid: second lookup", Injectable::LookupAccountSidW, 2, bySid,
       "A system error occured while retrieving user name from security identifier"},
      {"sid: copy block", Injectable::LocalAlloc, 1, bySid, "Out of memory"},
      {"sid: copy", Injectable::CopySid, 1, bySid,
       "A system error occured while copying user security identifier"},
      {"sid: name buffer", Injectable::LocalAlloc, 2, bySid, "Out of memory"},
      {"standard: name buffer", Injectable::LocalAlloc, 2, standard, "Out of memory"},
  };
  for (const Case& c : cases) {
    winsec::FailCall(c.function, ERROR_NOT_ENOUGH_MEMORY, c.nth);
    WSUser user;
    EXPECT_FALSE(c.run(user)) << c.name;
    EXPECT_EQ(Text(user.GetLastErrorText()), c.text) << c.name;
    EXPECT_EQ(user.GetSid(), nullptr) << c.name;
    EXPECT_EQ(Text(user.GetName()), u"") << c.name;
    winsec::ClearInjectedFailures();
  }
}

}  // namespace
