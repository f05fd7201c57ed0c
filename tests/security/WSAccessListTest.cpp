#include <gtest/gtest.h>

#include <string>

#include "core/CSPException.h"
#include "security/WSAccessEntry.h"
#include "security/WSAccessList.h"
#include "security/WSUser.h"
#include "tests/platform/SecurityTestSupport.h"

namespace {

using quaver::test::AclText;
using quaver::test::InstallAccounts;
using quaver::test::SecurityTest;
using quaver::test::TestAcl;
using winsec::Injectable;

std::string Text(const CSPString& text) { return text.GetString(); }

constexpr char kWebRoot[] = "C:\\inetpub\\wwwroot";
constexpr char16_t kWideWebRoot[] = u"C:\\inetpub\\wwwroot";

class WSAccessListTest : public SecurityTest {
 protected:
  void SetUp() override {
    InstallAccounts(winsec::IisAccounts::Iis7);
    ASSERT_TRUE(CreateDirectoryW(u"C:\\inetpub", nullptr));
    ASSERT_TRUE(CreateDirectoryW(kWideWebRoot, nullptr));
  }

  WSUser User(const char* name) {
    WSUser user;
    EXPECT_TRUE(user.SetName(name)) << Text(user.GetLastErrorText());
    return user;
  }

  std::string SddlFile() const { return image.ReadHostFile("security.sddl"); }
};

TEST_F(WSAccessListTest, TypesAndKindsOutsideTheTablesAreRefused) {
  struct Case {
    int32_t type;
    int32_t kind;
    const char* text;
  };
  const Case cases[] = {
      {8, 1, "Unknown object type"},
      {0, 1, "Unknown object type"},
      {-1, 2, "Unknown object type"},
      {1, 3, "Invalid access control list type specified"},
      {1, 0, "Invalid access control list type specified"},
  };
  for (const Case& c : cases) {
    WSAccessList list;
    ASSERT_TRUE(list.AddAccess(User("Users"), GRANT_ACCESS, GENERIC_ALL, 3));
    EXPECT_FALSE(list.LoadFromObject(kWebRoot, c.type, c.kind));
    EXPECT_EQ(Text(list.GetLastErrorText()), c.text);
    EXPECT_EQ(list.GetAcl(), nullptr);  // emptied before the check
  }
  WSAccessList list;
  EXPECT_FALSE(list.SaveToObject(kWebRoot, 9, 1, 0));
  EXPECT_EQ(Text(list.GetLastErrorText()), "Unknown object type");
  EXPECT_FALSE(list.SaveToObject(kWebRoot, 1, 3, 0));
  EXPECT_EQ(Text(list.GetLastErrorText()), "Invalid access control list type specified");
  EXPECT_EQ(SddlFile(), "");
}

TEST_F(WSAccessListTest, LoadsThroughEveryNameForm) {
  WSAccessList lists[4];
  ASSERT_TRUE(lists[0].LoadFromObject(CSPString(kWebRoot), 1, 1));
  ASSERT_TRUE(lists[1].LoadFromObject(kWebRoot, 1, 1));
  ASSERT_TRUE(lists[2].LoadFromObject(CSPWString(kWideWebRoot), 1, 1));
  ASSERT_TRUE(lists[3].LoadFromObject(kWideWebRoot, 1, 1));
  for (const WSAccessList& list : lists) {
    EXPECT_EQ(AclText(list.GetAcl()),
              "(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)(A;ID;FA;;;BA)(A;OICIIOID;GA;;;CO)"
              "(A;OICIID;0x1200a9;;;BU)");
  }
}

TEST_F(WSAccessListTest, MissingObjectCannotBeLoaded) {
  WSAccessList list;
  ASSERT_TRUE(list.AddAccess(User("Users"), GRANT_ACCESS, GENERIC_ALL, 3));
  EXPECT_FALSE(list.LoadFromObject("C:\\inetpub\\missing", 1, 1));
  EXPECT_EQ(Text(list.GetLastErrorText()),
            "Cannot retrieve security information for object \"C:\\inetpub\\missing\"");
  EXPECT_EQ(list.GetAcl(), nullptr);
  EXPECT_FALSE(list.LoadFromObject(u"MACHINE\\SOFTWARE\\Nowhere", 2, 1));
  EXPECT_EQ(Text(list.GetLastErrorText()),
            "Cannot retrieve security information for object \"MACHINE\\SOFTWARE\\Nowhere\"");
}

TEST_F(WSAccessListTest, NullListLoadsAsEmptyList) {
  std::u16string name = kWideWebRoot;
  ASSERT_EQ(SetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                  nullptr, nullptr, nullptr),
            static_cast<DWORD>(ERROR_SUCCESS));
  WSAccessList list;
  ASSERT_TRUE(list.AddAccess(User("Users"), GRANT_ACCESS, GENERIC_ALL, 3));
  EXPECT_TRUE(list.LoadFromObject(kWebRoot, 1, 1));
  EXPECT_EQ(list.GetAcl(), nullptr);
}

TEST_F(WSAccessListTest, AuditListIsLoadedAndSavedToo) {
  WSAccessList audit;
  ASSERT_TRUE(audit.AddAccess(User("Everyone"), SET_AUDIT_FAILURE, FILE_WRITE_DATA, 3));
  ASSERT_TRUE(audit.SaveToObject(kWebRoot, 1, 2, 2));
  EXPECT_EQ(Text(audit.GetLastErrorText()), "");
  WSAccessList loaded;
  ASSERT_TRUE(loaded.LoadFromObject(kWebRoot, 1, 2));
  EXPECT_EQ(AclText(loaded.GetAcl()), "(AU;OICIFA;0x2;;;WD)");
  EXPECT_NE(SddlFile().find("file C:\\inetpub\\wwwroot S:P(AU;OICIFA;0x2;;;WD)\n"),
            std::string::npos)
      << SddlFile();
}

TEST_F(WSAccessListTest, AddAccessOnEmptyListHoldsExactlyThatEntry) {
  WSAccessList list;
  ASSERT_TRUE(list.AddAccess(User("IIS_IUSRS"), GRANT_ACCESS, GENERIC_READ | GENERIC_EXECUTE, 3));
  EXPECT_EQ(AclText(list.GetAcl()), "(A;OICI;GRGX;;;S-1-5-32-568)");
  WSAccessEntry entry(User("Users"), DENY_ACCESS, FILE_WRITE_DATA, 0);
  ASSERT_TRUE(list.AddAccess(entry));
  EXPECT_EQ(AclText(list.GetAcl()), "(D;;0x2;;;BU)(A;OICI;GRGX;;;S-1-5-32-568)");
  ASSERT_TRUE(list.AddAccess(User("IIS_IUSRS"), REVOKE_ACCESS, 0, 0));
  EXPECT_EQ(AclText(list.GetAcl()), "(D;;0x2;;;BU)");
}

TEST_F(WSAccessListTest, AddAccessWithoutSidFailsAndKeepsTheList) {
  WSAccessList list;
  ASSERT_TRUE(list.AddAccess(User("Users"), GRANT_ACCESS, GENERIC_ALL, 3));
  PACL before = list.GetAcl();
  WSUser nobody;
  EXPECT_FALSE(list.AddAccess(nobody, GRANT_ACCESS, GENERIC_ALL, 3));
  EXPECT_EQ(Text(list.GetLastErrorText()),
            "A system error occurred while adding access rights to access control list");
  EXPECT_EQ(list.GetAcl(), before);
  EXPECT_EQ(AclText(list.GetAcl()), "(A;OICI;GA;;;BU)");
  EXPECT_FALSE(list.AddAccess(User("Users"), 17, GENERIC_ALL, 3));  // no such mode
  EXPECT_EQ(list.GetAcl(), before);
}

TEST_F(WSAccessListTest, EffectiveRightsCountGroupsAndGenericRights) {
  WSAccessList list;
  ASSERT_TRUE(list.LoadFromObject(kWebRoot, 1, 1));
  struct Case {
    const char* user;
    uint32_t rights;
  };
  const Case cases[] = {
      {"Administrator", FILE_ALL_ACCESS},  // through Administrators
      {"Users", 0x1200A9u},
      {"NETWORK SERVICE", 0x1200A9u},  // through Users
      {"IIS_IUSRS", 0},
  };
  for (const Case& c : cases) {
    WSAccessEntry entry(User(c.user), 0, 0xFFFFFFFFu, 0);
    ASSERT_TRUE(list.GetEffectiveRights(entry)) << c.user;
    EXPECT_EQ(entry.permissions, c.rights) << c.user;
  }
  WSAccessEntry empty;
  empty.permissions = 7;
  EXPECT_FALSE(list.GetEffectiveRights(empty));
  EXPECT_EQ(Text(list.GetLastErrorText()),
            "A system error occurred while retrieving access rights for user \"\"");
  EXPECT_EQ(empty.permissions, 7u);
  winsec::FailCall(Injectable::GetEffectiveRightsFromAclW, ERROR_NOT_ENOUGH_MEMORY);
  WSAccessEntry users(User("Users"), 0, 0, 0);
  EXPECT_FALSE(list.GetEffectiveRights(users));
  EXPECT_EQ(Text(list.GetLastErrorText()),
            "A system error occurred while retrieving access rights for user \"Users\"");
}

TEST_F(WSAccessListTest, SaveToMissingObjectReturnsTrueWithItsText) {
  WSAccessList list;
  ASSERT_TRUE(list.AddAccess(User("Administrators"), GRANT_ACCESS, GENERIC_ALL, 3));
  EXPECT_TRUE(list.SaveToObject("C:\\Program Files\\Corvane\\Quaver\\", 1, 1, 2));
  EXPECT_EQ(Text(list.GetLastErrorText()),
            "Cannot set security information for object \"C:\\Program Files\\Corvane\\Quaver\\\"");
  EXPECT_TRUE(list.SaveToObject(
      u"MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\IIS Quaver", 2, 1, 2));
  EXPECT_EQ(Text(list.GetLastErrorText()),
            "Cannot set security information for object "
            "\"MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\IIS Quaver\"");
  EXPECT_EQ(AclText(list.GetAcl()), "(A;OICI;GA;;;BA)");
  EXPECT_EQ(SddlFile(), "");
}

TEST_F(WSAccessListTest, SaveWritesTheRequestedProtection) {
  WSAccessList list;
  ASSERT_TRUE(list.AddAccess(User("IIS_IUSRS"), GRANT_ACCESS, FILE_GENERIC_READ, 3));
  struct Case {
    int32_t protection;
    const char* line;
  };
  const Case cases[] = {
      {2, "file C:\\inetpub\\wwwroot D:P(A;OICI;FR;;;S-1-5-32-568)\n"},
      {0, "file C:\\inetpub\\wwwroot D:P(A;OICI;FR;;;S-1-5-32-568)\n"},  // stays protected
      {1, "file C:\\inetpub\\wwwroot D:(A;OICI;FR;;;S-1-5-32-568)\n"},
      {0, "file C:\\inetpub\\wwwroot D:(A;OICI;FR;;;S-1-5-32-568)\n"},  // stays unprotected
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(list.SaveToObject(kWideWebRoot, 1, 1, c.protection));
    EXPECT_NE(SddlFile().find(c.line), std::string::npos) << c.protection << "\n" << SddlFile();
  }
}

TEST_F(WSAccessListTest, SavingAnEmptyListWritesANullList) {
  WSAccessList list;
  ASSERT_TRUE(list.SaveToObject(CSPString(kWebRoot), 1, 1, 0));
  EXPECT_NE(SddlFile().find("file C:\\inetpub\\wwwroot D:NO_ACCESS_CONTROL\n"), std::string::npos)
      << SddlFile();
  WSAccessEntry users(User("Users"), 0, 0, 0);
  ASSERT_TRUE(list.LoadFromObject(kWebRoot, 1, 1));
  ASSERT_TRUE(list.GetEffectiveRights(users));
  EXPECT_EQ(users.permissions, FILE_ALL_ACCESS);
}

TEST_F(WSAccessListTest, WebRootRightsAreAddedOnlyWhereMissing) {
  // Read the list, add what an account lacks, write it back, as the
  // installation does for each web root.
  const uint32_t kNeeded = FILE_READ_DATA | FILE_EXECUTE | FILE_READ_ATTRIBUTES;
  WSAccessList list;
  ASSERT_TRUE(list.LoadFromObject(kWebRoot, 1, 1));
  for (const char* name : {"IIS_IUSRS", "Users"}) {
    WSAccessEntry entry(User(name), 0, 0, 0);
    ASSERT_TRUE(list.GetEffectiveRights(entry));
    if ((entry.permissions & kNeeded) != kNeeded) {
      ASSERT_TRUE(list.AddAccess(entry.user, GRANT_ACCESS, GENERIC_READ | GENERIC_EXECUTE, 3));
    }
  }
  ASSERT_TRUE(list.SaveToObject(kWebRoot, 1, 1, 0));
  EXPECT_EQ(Text(list.GetLastErrorText()), "");
  EXPECT_NE(SddlFile().find("file C:\\inetpub\\wwwroot D:(A;OICI;GRGX;;;S-1-5-32-568)\n"),
            std::string::npos)
      << SddlFile();

  WSAccessList reloaded;
  ASSERT_TRUE(reloaded.LoadFromObject(kWebRoot, 1, 1));
  WSAccessEntry iis(User("IIS_IUSRS"), 0, 0, 0);
  ASSERT_TRUE(reloaded.GetEffectiveRights(iis));
  EXPECT_EQ(iis.permissions & kNeeded, kNeeded);
}

TEST_F(WSAccessListTest, CopiesOwnTheirList) {
  WSAccessList empty;
  WSAccessList emptyCopy(empty);
  EXPECT_EQ(emptyCopy.GetAcl(), nullptr);

  WSAccessList original;
  ASSERT_TRUE(original.AddAccess(User("Users"), GRANT_ACCESS, GENERIC_ALL, 3));
  WSAccessList copy(original);
  WSAccessList assigned;
  assigned = original;
  const WSAccessList& same = assigned;
  assigned = same;
  EXPECT_NE(copy.GetAcl(), original.GetAcl());
  EXPECT_NE(assigned.GetAcl(), original.GetAcl());
  EXPECT_EQ(AclText(copy.GetAcl()), "(A;OICI;GA;;;BU)");
  EXPECT_EQ(AclText(assigned.GetAcl()), "(A;OICI;GA;;;BU)");

  EXPECT_TRUE(copy.SetAcl(copy.GetAcl()));  // from its own block
  EXPECT_EQ(AclText(copy.GetAcl()), "(A;OICI;GA;;;BU)");

  winsec::FailCall(Injectable::SetEntriesInAclW, ERROR_NOT_ENOUGH_MEMORY);
  try {
    WSAccessList failed(original);
    ADD_FAILURE() << "no exception";
  } catch (const CSPException& e) {
    EXPECT_EQ(Text(e.GetText()), "A system error occured while copying access control list");
    EXPECT_EQ(e.GetCode(), 0);
  }
  winsec::FailCall(Injectable::SetEntriesInAclW, ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_FALSE(copy.SetAcl(original.GetAcl()));
  EXPECT_EQ(copy.GetAcl(), nullptr);
  EXPECT_EQ(Text(copy.GetLastErrorText()),
            "A system error occured while copying access control list");
}

TEST_F(WSAccessListTest, RegistryKeyListsAreSaved) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Corvane\\Quaver", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
  WSAccessList list;
  ASSERT_TRUE(list.AddAccess(User("Administrators"), GRANT_ACCESS, GENERIC_ALL, 3));
  ASSERT_TRUE(list.SaveToObject("MACHINE\\SOFTWARE\\Corvane\\Quaver", 2, 1, 2));
  EXPECT_EQ(Text(list.GetLastErrorText()), "");
  EXPECT_NE(SddlFile().find("key MACHINE\\SOFTWARE\\Corvane\\Quaver D:P(A;OICI;GA;;;BA)\n"),
            std::string::npos)
      << SddlFile();
  WSAccessList loaded;
  ASSERT_TRUE(loaded.LoadFromObject("MACHINE\\SOFTWARE\\Corvane\\Quaver", 2, 1));
  EXPECT_EQ(AclText(loaded.GetAcl()), "(A;OICI;GA;;;BA)");
}

}  // namespace
