// ACLs in Windows' binary layout, the merging of explicit entries and the
// effective rights a list grants.
#include <gtest/gtest.h>

#include <cstring>
#include <ostream>

#include "platform/win.h"
#include "platform/win/aclobjects.h"
#include "tests/platform/SecurityTestSupport.h"

namespace {

using quaver::test::AclText;
using quaver::test::InstallAccounts;
using quaver::test::SecurityTest;
using quaver::test::TestAcl;
using quaver::test::TestSid;

TEST(AclLayout, EntriesAreAppendedInPlaceUntilTheListIsFull) {
  TestSid users("S-1-5-32-545");
  TestSid admins("S-1-5-32-544");
  // Room for the header and exactly two entries with 16-byte SIDs.
  alignas(4) BYTE buffer[8 + 2 * 24];
  PACL acl = reinterpret_cast<PACL>(buffer);
  ASSERT_TRUE(InitializeAcl(acl, sizeof buffer, ACL_REVISION));
  ASSERT_TRUE(AddAccessDeniedAce(acl, ACL_REVISION, FILE_WRITE_DATA, users));
  ASSERT_TRUE(AddAccessAllowedAceEx(acl, ACL_REVISION, CONTAINER_INHERIT_ACE | OBJECT_INHERIT_ACE,
                                    FILE_ALL_ACCESS, admins));
  EXPECT_FALSE(AddAccessAllowedAce(acl, ACL_REVISION, FILE_GENERIC_READ, users));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALLOTTED_SPACE_EXCEEDED));
  EXPECT_TRUE(IsValidAcl(acl));
  EXPECT_EQ(acl->AceCount, 2);

  void* raw = nullptr;
  ASSERT_TRUE(GetAce(acl, 1, &raw));
  auto* ace = static_cast<ACCESS_ALLOWED_ACE*>(raw);
  EXPECT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
  EXPECT_EQ(ace->Header.AceFlags, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
  EXPECT_EQ(ace->Header.AceSize, 24);
  EXPECT_EQ(ace->Mask, FILE_ALL_ACCESS);
  EXPECT_TRUE(EqualSid(&ace->SidStart, admins));
  EXPECT_FALSE(GetAce(acl, 2, &raw));

  ACL_SIZE_INFORMATION size;
  ASSERT_TRUE(GetAclInformation(acl, &size, sizeof size, AclSizeInformation));
  EXPECT_EQ(size.AceCount, 2u);
  EXPECT_EQ(size.AclBytesInUse, sizeof buffer);
  EXPECT_EQ(size.AclBytesFree, 0u);

  ASSERT_TRUE(DeleteAce(acl, 0));
  EXPECT_EQ(AclText(acl), "(A;OICI;FA;;;BA)");
}

TEST(AclLayout, MalformedListsAreRefused) {
  alignas(4) BYTE buffer[32] = {};
  PACL acl = reinterpret_cast<PACL>(buffer);
  ASSERT_TRUE(InitializeAcl(acl, sizeof buffer, ACL_REVISION));
  acl->AceCount = 1;  // an entry that is not there
  EXPECT_FALSE(IsValidAcl(acl));
  PACL merged = nullptr;
  EXPECT_EQ(SetEntriesInAclW(0, nullptr, acl, &merged), static_cast<DWORD>(ERROR_INVALID_ACL));
  EXPECT_EQ(merged, nullptr);
  EXPECT_FALSE(InitializeAcl(acl, 4, ACL_REVISION));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

struct MergeCase {
  const char* name;
  const char* before;
  ACCESS_MODE mode;
  DWORD rights;
  DWORD inheritance;
  const char* after;
};

// Keeps test listings readable: gtest would otherwise dump the raw bytes.
void PrintTo(const MergeCase& c, std::ostream* out) { *out << c.name; }

// The trustee of every case is BUILTIN\Users (BU).
const MergeCase kMergeCases[] = {
    {"GrantOnEmptyList", "", GRANT_ACCESS, FILE_ALL_ACCESS, 3, "(A;OICI;FA;;;BU)"},
    {"GrantCombinesWithSameInheritance", "(A;OICI;FR;;;BU)", GRANT_ACCESS, FILE_GENERIC_EXECUTE, 3,
     "(A;OICI;0x1200a9;;;BU)"},
    {"GrantKeepsEntryWithOtherInheritance", "(A;;FR;;;BU)", GRANT_ACCESS, FILE_GENERIC_EXECUTE, 3,
     "(A;OICI;FX;;;BU)(A;;FR;;;BU)"},
    {"GrantGoesBeforeExistingAllowedAfterDenied", "(D;;0x2;;;BA)(A;;FA;;;BA)", GRANT_ACCESS,
     FILE_GENERIC_READ, 0, "(D;;0x2;;;BA)(A;;FR;;;BU)(A;;FA;;;BA)"},
    {"GrantTakesGrantedRightsOutOfDenial", "(D;;FW;;;BU)(A;;FR;;;BA)", GRANT_ACCESS,
     FILE_WRITE_DATA, 0, "(D;;0x120114;;;BU)(A;;0x2;;;BU)(A;;FR;;;BA)"},
    {"GrantRemovesEmptiedDenial", "(D;;0x2;;;BU)", GRANT_ACCESS, FILE_ALL_ACCESS, 0,
     "(A;;FA;;;BU)"},
    {"SetReplacesEveryExplicitEntry", "(D;;FW;;;BU)(A;OICI;FA;;;BU)(A;;FR;;;BA)(A;ID;FA;;;BU)",
     SET_ACCESS, FILE_GENERIC_READ, 0, "(A;;FR;;;BU)(A;;FR;;;BA)(A;ID;FA;;;BU)"},
    {"DenyGoesFirstAndNarrowsAllowed", "(A;;FA;;;BA)(A;;FA;;;BU)", DENY_ACCESS, FILE_WRITE_DATA, 0,
     "(D;;0x2;;;BU)(A;;FA;;;BA)(A;;0x1f01fd;;;BU)"},
    {"DenyCombinesWithSameInheritance", "(D;;0x2;;;BU)", DENY_ACCESS, FILE_APPEND_DATA, 0,
     "(D;;0x6;;;BU)"},
    {"RevokeRemovesExplicitEntriesOnly", "(D;;FW;;;BU)(A;;FR;;;BU)(A;;FA;;;BA)(A;ID;FA;;;BU)",
     REVOKE_ACCESS, 0, 0, "(A;;FA;;;BA)(A;ID;FA;;;BU)"},
    {"RevokeOfAbsentTrusteeChangesNothing", "(A;;FA;;;BA)", REVOKE_ACCESS, 0, 0, "(A;;FA;;;BA)"},
    {"NotUsedChangesNothing", "(A;;FA;;;BA)", NOT_USED_ACCESS, FILE_ALL_ACCESS, 3, "(A;;FA;;;BA)"},
    {"HighInheritanceBitsAreDropped", "", GRANT_ACCESS, GENERIC_ALL, 0x20003, "(A;OICI;GA;;;BU)"},
    {"GenericRightsAreKeptAsGiven", "", GRANT_ACCESS, GENERIC_READ | GENERIC_EXECUTE, 3,
     "(A;OICI;GRGX;;;BU)"},
    {"AuditEntriesGoToTheFront", "(A;;FA;;;BA)", SET_AUDIT_FAILURE, FILE_WRITE_DATA, 0,
     "(AU;FA;0x2;;;BU)(A;;FA;;;BA)"},
};

class AclMerge : public ::testing::TestWithParam<MergeCase> {};

TEST_P(AclMerge, MergesAsDocumented) {
  const MergeCase& c = GetParam();
  TestAcl before(c.before);
  TestSid users("BU");
  EXPLICIT_ACCESS_W entry{};
  entry.grfAccessMode = c.mode;
  entry.grfAccessPermissions = c.rights;
  entry.grfInheritance = c.inheritance;
  BuildTrusteeWithSidW(&entry.Trustee, users);
  PACL after = nullptr;
  ASSERT_EQ(SetEntriesInAclW(1, &entry, before.get(), &after), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(AclText(after), c.after);
  EXPECT_EQ(AclText(before.get()), c.before);  // the old list is never changed
  LocalFree(after);
}

INSTANTIATE_TEST_SUITE_P(SetEntriesInAcl, AclMerge, ::testing::ValuesIn(kMergeCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(AclMergeErrors, RefusedEntriesLeaveTheResultUnset) {
  TestAcl before("(A;;FA;;;BA)");
  EXPLICIT_ACCESS_W entry{};
  entry.grfAccessMode = GRANT_ACCESS;
  entry.grfAccessPermissions = GENERIC_ALL;
  PACL after = reinterpret_cast<PACL>(0x1234);

  BuildTrusteeWithSidW(&entry.Trustee, nullptr);  // a principal without SID
  EXPECT_EQ(SetEntriesInAclW(1, &entry, before.get(), &after),
            static_cast<DWORD>(ERROR_INVALID_PARAMETER));

  TestSid users("BU");
  BuildTrusteeWithSidW(&entry.Trustee, users);
  entry.grfAccessMode = static_cast<ACCESS_MODE>(9);
  EXPECT_EQ(SetEntriesInAclW(1, &entry, before.get(), &after),
            static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(after, reinterpret_cast<PACL>(0x1234));
}

TEST(AclMergeErrors, NoEntriesCopiesTheList) {
  TestAcl before("(D;OICI;0x2;;;BU)(A;;FA;;;BA)(A;ID;FR;;;WD)");
  PACL copy = nullptr;
  ASSERT_EQ(SetEntriesInAclW(0, nullptr, before.get(), &copy), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_NE(copy, before.get());
  EXPECT_EQ(AclText(copy), AclText(before.get()));
  LocalFree(copy);
}

class TrusteeByNameTest : public SecurityTest {};

TEST_F(TrusteeByNameTest, NamesAreLookedUp) {
  char16_t name[] = u"BUILTIN\\Administrators";
  char16_t unknown[] = u"Nobody";
  EXPLICIT_ACCESS_W entry{};
  entry.grfAccessMode = GRANT_ACCESS;
  entry.grfAccessPermissions = FILE_ALL_ACCESS;
  BuildTrusteeWithNameW(&entry.Trustee, name);
  PACL after = nullptr;
  ASSERT_EQ(SetEntriesInAclW(1, &entry, nullptr, &after), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(AclText(after), "(A;;FA;;;BA)");
  LocalFree(after);
  BuildTrusteeWithNameW(&entry.Trustee, unknown);
  EXPECT_EQ(SetEntriesInAclW(1, &entry, nullptr, &after), static_cast<DWORD>(ERROR_NONE_MAPPED));
}

// Every trustee form SetEntriesInAcl takes: the result is the entry for the
// named account, or an error that leaves the caller's pointer as it was.
TEST_F(TrusteeByNameTest, TrusteeFormsAsDocumented) {
  const std::string admin = "S-1-5-21-2575041213-1802547165-3137628442-500";
  TestSid users("BU");
  char16_t usersName[] = u"BUILTIN\\Users";
  char16_t currentUser[] = u"CURRENT_USER";
  char16_t unknown[] = u"Nobody";
  OBJECTS_AND_SID bySid{};
  bySid.pSid = static_cast<SID*>(static_cast<PSID>(users));
  OBJECTS_AND_SID typedSid = bySid;
  typedSid.ObjectsPresent = ACE_OBJECT_TYPE_PRESENT;
  OBJECTS_AND_NAME_W byName{};
  byName.ObjectType = SE_FILE_OBJECT;
  byName.ptstrName = currentUser;
  OBJECTS_AND_NAME_W typedName = byName;
  typedName.ObjectsPresent = ACE_INHERITED_OBJECT_TYPE_PRESENT;
  OBJECTS_AND_NAME_W unknownName = byName;
  unknownName.ptstrName = unknown;
  struct Case {
    const char* name;
    TRUSTEE_FORM form;
    void* trustee;
    DWORD status;
    std::string acl;  // when the call succeeds
  };
  const Case cases[] = {
      {"Name", TRUSTEE_IS_NAME, usersName, ERROR_SUCCESS, "(A;;FA;;;BU)"},
      {"CurrentUser", TRUSTEE_IS_NAME, currentUser, ERROR_SUCCESS, "(A;;FA;;;" + admin + ")"},
      {"UnknownName", TRUSTEE_IS_NAME, unknown, ERROR_NONE_MAPPED, ""},
      {"NullName", TRUSTEE_IS_NAME, nullptr, ERROR_INVALID_PARAMETER, ""},
      {"BadForm", TRUSTEE_BAD_FORM, usersName, ERROR_INVALID_PARAMETER, ""},
      {"ObjectsAndSid", TRUSTEE_IS_OBJECTS_AND_SID, &bySid, ERROR_SUCCESS, "(A;;FA;;;BU)"},
      {"ObjectsAndName", TRUSTEE_IS_OBJECTS_AND_NAME, &byName, ERROR_SUCCESS,
       "(A;;FA;;;" + admin + ")"},
      {"ObjectsAndUnknownName", TRUSTEE_IS_OBJECTS_AND_NAME, &unknownName, ERROR_NONE_MAPPED, ""},
      // Object entries are not kept by the stand-in.
      {"ObjectTypeGuid", TRUSTEE_IS_OBJECTS_AND_SID, &typedSid, ERROR_NOT_SUPPORTED, ""},
      {"InheritedObjectType", TRUSTEE_IS_OBJECTS_AND_NAME, &typedName, ERROR_NOT_SUPPORTED, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPLICIT_ACCESS_W entry{};
    entry.grfAccessMode = GRANT_ACCESS;
    entry.grfAccessPermissions = FILE_ALL_ACCESS;
    entry.Trustee.TrusteeForm = c.form;
    entry.Trustee.ptstrName = static_cast<LPWSTR>(c.trustee);
    PACL after = reinterpret_cast<PACL>(0x1234);
    ASSERT_EQ(SetEntriesInAclW(1, &entry, nullptr, &after), c.status);
    if (c.status != ERROR_SUCCESS) {
      EXPECT_EQ(after, reinterpret_cast<PACL>(0x1234));
      continue;
    }
    EXPECT_EQ(AclText(after), c.acl);
    LocalFree(after);
  }
}

struct RightsCase {
  const char* name;
  const char* acl;
  const char* trustee;
  ACCESS_MASK expected;
};

void PrintTo(const RightsCase& c, std::ostream* out) { *out << c.name; }

const RightsCase kRightsCases[] = {
    {"DirectEntry", "(A;;FR;;;BU)", "BU", FILE_GENERIC_READ},
    {"ThroughGroup", "(A;OICI;FA;;;BA)", "S-1-5-21-2575041213-1802547165-3137628442-500",
     FILE_ALL_ACCESS},
    {"EveryoneCounts", "(A;;FR;;;WD)", "NS", FILE_GENERIC_READ},
    {"ThroughIisGroup", "(A;;FX;;;S-1-5-32-568)", "NS", FILE_GENERIC_EXECUTE},
    {"DenialWinsWhereverItStands", "(A;;FA;;;BU)(D;;0x2;;;WD)", "BU", 0x1F01FDu},
    {"GenericRightsMapToFileRights", "(A;;GRGX;;;BU)", "BU", 0x1200A9u},
    {"AllowedRightsAddUp", "(A;;0x1;;;BU)(A;;0x20;;;WD)(A;ID;0x80;;;BU)", "BU", 0xA1u},
    {"InheritOnlyEntriesDoNotApply", "(A;OICIIO;FA;;;BU)", "BU", 0},
    {"OtherPrincipalsDoNotCount", "(A;;FA;;;BA)", "BU", 0},
    {"EmptyListGrantsNothing", "", "BA", 0},
    // Groups a token receives from its logon are not memberships.
    {"AuthenticatedUsersIsNotCounted", "(A;;FA;;;AU)", "NS", 0},
    {"LogonGroupsAreNotCounted", "(A;;FA;;;SU)(A;;FA;;;IU)(A;;FA;;;NU)", "NS", 0},
    {"MembershipsStillCount", "(A;;FA;;;AU)(A;;FR;;;BU)", "NS", FILE_GENERIC_READ},
    {"LogonGroupItselfAsTrustee", "(A;;FA;;;AU)", "AU", FILE_ALL_ACCESS},
};

class EffectiveRights : public SecurityTest, public ::testing::WithParamInterface<RightsCase> {};

TEST_P(EffectiveRights, FollowMembershipAndDenials) {
  InstallAccounts(winsec::IisAccounts::Iis7);
  const RightsCase& c = GetParam();
  TestAcl acl(c.acl);
  TestSid trustee(c.trustee);
  TRUSTEE_W t;
  BuildTrusteeWithSidW(&t, trustee);
  ACCESS_MASK rights = 0xDEADBEEF;
  ASSERT_EQ(GetEffectiveRightsFromAclW(acl.get(), &t, &rights), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(rights, c.expected);
}

INSTANTIATE_TEST_SUITE_P(GetEffectiveRightsFromAcl, EffectiveRights,
                         ::testing::ValuesIn(kRightsCases),
                         [](const auto& info) { return std::string(info.param.name); });

class EffectiveRightsEdges : public SecurityTest {};

TEST_F(EffectiveRightsEdges, NullListGrantsEverythingAndNullTrusteeIsRefused) {
  TestSid users("BU");
  TRUSTEE_W t;
  BuildTrusteeWithSidW(&t, users);
  ACCESS_MASK rights = 0;
  ASSERT_EQ(GetEffectiveRightsFromAclW(nullptr, &t, &rights), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(rights, FILE_ALL_ACCESS);

  BuildTrusteeWithSidW(&t, nullptr);
  rights = 7;
  TestAcl acl("(A;;FA;;;BU)");
  EXPECT_EQ(GetEffectiveRightsFromAclW(acl.get(), &t, &rights),
            static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(rights, 7u);
}

}  // namespace
