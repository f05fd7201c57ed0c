// What files, folders and keys receive from their parent's list (generic
// rights mapped, creator entries applied as the owner, containers holding
// both the applying and the passed-on entry), and what GetEffectiveRightsFromAcl
// and SetEntriesInAcl make of inherited denials and of nothing to merge.
#include <gtest/gtest.h>

#include <string>

#include "platform/win.h"
#include "tests/platform/SecurityTestSupport.h"

namespace {

using quaver::test::AclText;
using quaver::test::SecurityTest;
using quaver::test::TestAcl;
using quaver::test::TestSid;

std::string Dacl(const char16_t* name, SE_OBJECT_TYPE type = SE_FILE_OBJECT) {
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  DWORD error = GetNamedSecurityInfoW(name, type, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                      &dacl, nullptr, &descriptor);
  if (error != ERROR_SUCCESS) return "error " + std::to_string(error);
  std::string text =
      AclText(dacl, type == SE_FILE_OBJECT ? winsec::RightsStyle::File : winsec::RightsStyle::Key);
  LocalFree(descriptor);
  return text;
}

DWORD SetProtectedDacl(const char16_t* name, const std::string& entries,
                       SE_OBJECT_TYPE type = SE_FILE_OBJECT) {
  TestAcl acl(entries);
  std::u16string writable(name);
  return SetNamedSecurityInfoW(writable.data(), type,
                               DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                               nullptr, nullptr, acl.get(), nullptr);
}

DWORD SetOwner(const char16_t* name, const char* owner) {
  TestSid sid(owner);
  std::u16string writable(name);
  return SetNamedSecurityInfoW(writable.data(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, sid,
                               nullptr, nullptr, nullptr);
}

struct InheritanceCase {
  const char* name;
  const char* parent;      // the protected list of C:\site
  const char* folder;      // C:\site\sub, owned by SYSTEM
  const char* file;        // C:\site\page.htm, owned by Administrators
  const char* deeperFile;  // C:\site\sub\deep.htm
};

void PrintTo(const InheritanceCase& c, std::ostream* out) { *out << c.name; }

const InheritanceCase kInheritanceCases[] = {
    {"GenericRightsAreMappedForWhatTheyApplyTo", "(A;OICI;GA;;;SY)(A;OICI;GR;;;BU)",
     "(A;ID;FA;;;SY)(A;OICIIOID;GA;;;SY)(A;ID;FR;;;BU)(A;OICIIOID;GR;;;BU)",
     "(A;ID;FA;;;SY)(A;ID;FR;;;BU)", "(A;ID;FA;;;SY)(A;ID;FR;;;BU)"},
    {"WebRootReadAndExecute", "(A;OICI;GRGX;;;S-1-5-32-568)",
     "(A;ID;0x1200a9;;;S-1-5-32-568)(A;OICIIOID;GRGX;;;S-1-5-32-568)",
     "(A;ID;0x1200a9;;;S-1-5-32-568)", "(A;ID;0x1200a9;;;S-1-5-32-568)"},
    {"SpecificRightsStayOneEntry", "(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)",
     "(A;OICIID;FA;;;BA)(A;OICIID;0x1200a9;;;BU)", "(A;ID;FA;;;BA)(A;ID;0x1200a9;;;BU)",
     "(A;ID;FA;;;BA)(A;ID;0x1200a9;;;BU)"},
    {"DenialsAreMappedToo", "(D;OICI;GW;;;BU)", "(D;ID;FW;;;BU)(D;OICIIOID;GW;;;BU)",
     "(D;ID;FW;;;BU)", "(D;ID;FW;;;BU)"},
    {"NoPropagationReachesTheChildrenOnly", "(A;OICINP;GA;;;BU)", "(A;ID;FA;;;BU)",
     "(A;ID;FA;;;BU)", ""},
    {"ObjectOnlyEntryPassesThroughFolders", "(A;OI;GR;;;BU)", "(A;OIIOID;GR;;;BU)",
     "(A;ID;FR;;;BU)", "(A;ID;FR;;;BU)"},
    {"CreatorOwnerBecomesTheOwner", "(A;OICIIO;GA;;;CO)", "(A;ID;FA;;;SY)(A;OICIIOID;GA;;;CO)",
     "(A;ID;FA;;;BA)", "(A;ID;FA;;;BA)"},
    {"CreatorOwnerWithoutPropagation", "(A;CINP;GA;;;CO)", "(A;ID;FA;;;SY)", "", ""},
    {"CreatorGroupBecomesTheGroup", "(A;OI;GR;;;CG)", "(A;OIIOID;GR;;;CG)", "(A;ID;FR;;;SY)",
     "(A;ID;FR;;;SY)"},
};

class Inheritance : public SecurityTest, public ::testing::WithParamInterface<InheritanceCase> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CreateDirectoryW(u"C:\\site", nullptr));
    ASSERT_TRUE(CreateDirectoryW(u"C:\\site\\sub", nullptr));
    image.WriteHostFile("drive_c/site/page.htm", "<html/>");
    image.WriteHostFile("drive_c/site/sub/deep.htm", "<html/>");
    ASSERT_EQ(SetOwner(u"C:\\site\\sub", "SY"), static_cast<DWORD>(ERROR_SUCCESS));
  }
};

TEST_P(Inheritance, ChildrenReceiveWhatWindowsGivesThem) {
  const InheritanceCase& c = GetParam();
  ASSERT_EQ(SetProtectedDacl(u"C:\\site", c.parent), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(Dacl(u"C:\\site"), c.parent);  // the list itself stays as written
  EXPECT_EQ(Dacl(u"C:\\site\\sub"), c.folder);
  EXPECT_EQ(Dacl(u"C:\\site\\page.htm"), c.file);
  EXPECT_EQ(Dacl(u"C:\\site\\sub\\deep.htm"), c.deeperFile);
}

INSTANTIATE_TEST_SUITE_P(FilesAndFolders, Inheritance, ::testing::ValuesIn(kInheritanceCases),
                         [](const auto& info) { return std::string(info.param.name); });

class KeyInheritance : public SecurityTest {};

TEST_F(KeyInheritance, GenericRightsBecomeKeyRights) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Corvane\\Quaver\\Options", 0, nullptr,
                            0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
  ASSERT_EQ(SetProtectedDacl(u"MACHINE\\SOFTWARE\\Corvane\\Quaver",
                             "(A;CI;GA;;;BA)(A;CI;GR;;;BU)(A;CI;KA;;;SY)", SE_REGISTRY_KEY),
            static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(Dacl(u"MACHINE\\SOFTWARE\\Corvane\\Quaver\\Options", SE_REGISTRY_KEY),
            "(A;ID;KA;;;BA)(A;CIIOID;GA;;;BA)(A;ID;KR;;;BU)(A;CIIOID;GR;;;BU)(A;CIID;KA;;;SY)");
}

class EffectiveRightsDenials : public SecurityTest {};

TEST_F(EffectiveRightsDenials, InheritedDenialMakesTheListInvalid) {
  TestSid users("BU");
  TRUSTEE_W t;
  BuildTrusteeWithSidW(&t, users);
  ACCESS_MASK rights = 7;
  TestAcl inherited("(A;;FA;;;BU)(D;ID;FW;;;WD)");
  EXPECT_EQ(GetEffectiveRightsFromAclW(inherited.get(), &t, &rights),
            static_cast<DWORD>(ERROR_INVALID_ACL));
  EXPECT_EQ(rights, 7u);
  TestAcl explicitDenial("(D;;FW;;;WD)(A;;FA;;;BU)");
  ASSERT_EQ(GetEffectiveRightsFromAclW(explicitDenial.get(), &t, &rights),
            static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(rights, static_cast<ACCESS_MASK>(FILE_ALL_ACCESS & ~FILE_GENERIC_WRITE));
}

TEST(AclEntriesWithoutList, NoEntriesAndNoListGiveNoList) {
  PACL result = reinterpret_cast<PACL>(0x1);
  ASSERT_EQ(SetEntriesInAclW(0, nullptr, nullptr, &result), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(result, nullptr);
}

}  // namespace
