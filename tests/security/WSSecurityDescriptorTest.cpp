#include <gtest/gtest.h>

#include <string>

#include "platform/security/ObjectSecurity.h"
#include "security/WSAccessList.h"
#include "security/WSSecurityDescriptor.h"
#include "security/WSUser.h"
#include "tests/platform/SecurityTestSupport.h"

namespace {

using quaver::test::SecurityTest;
using winsec::Injectable;

std::string Text(const CSPString& text) { return text.GetString(); }

class WSSecurityDescriptorTest : public SecurityTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(admins.SetStandardUser(1));
    ASSERT_TRUE(list.AddAccess(admins, GRANT_ACCESS, GENERIC_ALL, 3));
  }

  SECURITY_DESCRIPTOR_CONTROL Control(WSSecurityDescriptor& descriptor) {
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    EXPECT_TRUE(GetSecurityDescriptorControl(descriptor.GetDescriptor(), &control, &revision));
    return control;
  }

  WSUser admins;
  WSAccessList list;
};

TEST_F(WSSecurityDescriptorTest, DescriptorWithOnlyADaclHasNothingElse) {
  WSSecurityDescriptor descriptor;
  ASSERT_TRUE(descriptor.SetDacl(list));
  EXPECT_EQ(Control(descriptor), SE_DACL_PRESENT);
  BOOL present = FALSE;
  BOOL defaulted = TRUE;
  PACL dacl = nullptr;
  ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor.GetDescriptor(), &present, &dacl, &defaulted));
  EXPECT_EQ(dacl, descriptor.GetDacl().GetAcl());  // the descriptor's own copy
  EXPECT_NE(dacl, list.GetAcl());
  EXPECT_FALSE(defaulted);
  PSID owner = reinterpret_cast<PSID>(0x1);
  ASSERT_TRUE(GetSecurityDescriptorOwner(descriptor.GetDescriptor(), &owner, &defaulted));
  EXPECT_EQ(owner, nullptr);
  PSID group = reinterpret_cast<PSID>(0x1);
  ASSERT_TRUE(GetSecurityDescriptorGroup(descriptor.GetDescriptor(), &group, &defaulted));
  EXPECT_EQ(group, nullptr);
}

TEST_F(WSSecurityDescriptorTest, EveryPartIsCopiedIn) {
  WSSecurityDescriptor descriptor;
  WSUser system;
  ASSERT_TRUE(system.SetStandardUser(2));
  ASSERT_TRUE(descriptor.SetDacl(list));
  ASSERT_TRUE(descriptor.SetSacl(list));
  ASSERT_TRUE(descriptor.SetOwner(admins));
  ASSERT_TRUE(descriptor.SetGroup(system));
  EXPECT_EQ(Control(descriptor),
            SE_DACL_PRESENT | SE_SACL_PRESENT | SE_OWNER_DEFAULTED | SE_GROUP_DEFAULTED);
  EXPECT_TRUE(descriptor.GetOwner() == admins);
  EXPECT_TRUE(descriptor.GetGroup() == system);
  PSID owner = nullptr;
  BOOL defaulted = FALSE;
  ASSERT_TRUE(GetSecurityDescriptorOwner(descriptor.GetDescriptor(), &owner, &defaulted));
  EXPECT_EQ(owner, descriptor.GetOwner().GetSid());
  EXPECT_TRUE(IsValidSecurityDescriptor(descriptor.GetDescriptor()));

  descriptor.Reset();
  EXPECT_EQ(Control(descriptor), 0);
  EXPECT_EQ(descriptor.GetDacl().GetAcl(), nullptr);
  EXPECT_EQ(descriptor.GetOwner().GetSid(), nullptr);
}

TEST_F(WSSecurityDescriptorTest, DescriptorSecuresANewObject) {
  WSSecurityDescriptor descriptor;
  ASSERT_TRUE(descriptor.SetDacl(list));
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.GetDescriptor(), TRUE};
  ASSERT_EQ(winsec::RecordNewObjectSecurity(winsec::ObjectKind::File, u"C:\\Windows", &attributes),
            static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_NE(image.ReadHostFile("security.sddl").find("file C:\\Windows D:(A;OICI;GA;;;BA)\n"),
            std::string::npos);
}

TEST_F(WSSecurityDescriptorTest, RebuildFailuresLeaveTheirTexts) {
  struct Case {
    Injectable function;
    const char* text;
  };
  const Case cases[] = {
      {Injectable::InitializeSecurityDescriptor,
       "A system error occurred while initilizing security descriptor"},
      {Injectable::SetSecurityDescriptorDacl,
       "A system error occurred while setting discretionary access control list for security "
       "descriptor"},
      {Injectable::SetSecurityDescriptorSacl,
       "A system error occurred while setting system access control list for security descriptor"},
      {Injectable::SetSecurityDescriptorOwner,
       "A system error occurred while setting owner for security descriptor"},
      {Injectable::SetSecurityDescriptorGroup,
       "A system error occurred while setting group for security descriptor"},
  };
  WSSecurityDescriptor descriptor;
  ASSERT_TRUE(descriptor.SetDacl(list));
  ASSERT_TRUE(descriptor.SetSacl(list));
  ASSERT_TRUE(descriptor.SetOwner(admins));
  for (const Case& c : cases) {
    winsec::FailCall(c.function, ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(descriptor.SetGroup(admins));
    EXPECT_EQ(Text(descriptor.GetLastErrorText()), c.text);
    winsec::ClearInjectedFailures();
  }
}

TEST_F(WSSecurityDescriptorTest, FailedCopiesReportTheCopysText) {
  WSSecurityDescriptor descriptor;
  ASSERT_TRUE(descriptor.SetDacl(list));
  ASSERT_TRUE(descriptor.SetOwner(admins));

  winsec::FailCall(Injectable::SetEntriesInAclW, ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_FALSE(descriptor.SetDacl(list));
  EXPECT_EQ(Text(descriptor.GetLastErrorText()),
            "A system error occured while copying access control list");
  // The record no longer points at the released list.
  EXPECT_FALSE(Control(descriptor) & SE_DACL_PRESENT);

  winsec::FailCall(Injectable::LocalAlloc, ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_FALSE(descriptor.SetOwner(admins));
  EXPECT_EQ(Text(descriptor.GetLastErrorText()), "Out of memory");
  PSID owner = reinterpret_cast<PSID>(0x1);
  BOOL defaulted = FALSE;
  ASSERT_TRUE(GetSecurityDescriptorOwner(descriptor.GetDescriptor(), &owner, &defaulted));
  EXPECT_EQ(owner, nullptr);
}

}  // namespace
