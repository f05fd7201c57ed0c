// SIDs in Windows' binary layout and their text forms.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/win.h"
#include "tests/platform/SecurityTestSupport.h"

namespace {

using quaver::test::SidText;
using quaver::test::TestSid;

TEST(SidLayout, AllocateAndInitializeSidWritesWindowsBytes) {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID sid = nullptr;
  ASSERT_TRUE(AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS,
                                       0, 0, 0, 0, 0, 0, &sid));
  const BYTE expected[] = {1, 2, 0, 0, 0, 0, 0, 5, 0x20, 0, 0, 0, 0x20, 2, 0, 0};
  ASSERT_EQ(GetLengthSid(sid), sizeof expected);
  EXPECT_EQ(std::memcmp(sid, expected, sizeof expected), 0);
  EXPECT_EQ(*GetSidSubAuthorityCount(sid), 2);
  EXPECT_EQ(*GetSidSubAuthority(sid, 1), 544u);
  EXPECT_EQ(GetSidIdentifierAuthority(sid)->Value[5], 5);
  EXPECT_EQ(FreeSid(sid), nullptr);
}

TEST(SidLayout, RefusesMoreThanEightSubAuthorities) {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID sid = reinterpret_cast<PSID>(0x1234);
  EXPECT_FALSE(AllocateAndInitializeSid(&nt, 9, 0, 0, 0, 0, 0, 0, 0, 0, &sid));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(sid, reinterpret_cast<PSID>(0x1234));
}

TEST(SidLayout, CopyAndCompare) {
  TestSid users("S-1-5-32-545");
  TestSid admins("S-1-5-32-544");
  BYTE small[8];
  EXPECT_FALSE(CopySid(sizeof small, small, users));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));

  BYTE copy[SECURITY_MAX_SID_SIZE];
  ASSERT_TRUE(CopySid(sizeof copy, copy, users));
  EXPECT_TRUE(EqualSid(copy, users));
  EXPECT_FALSE(EqualSid(copy, admins));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
}

TEST(SidLayout, InvalidSidIsRecognised) {
  BYTE bad[12] = {2, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0};  // revision 2
  EXPECT_FALSE(IsValidSid(bad));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_SID));
  EXPECT_EQ(GetLengthSid(bad), 0u);
  TestSid system("S-1-5-18");
  EXPECT_FALSE(EqualSid(bad, system));
  BYTE copy[SECURITY_MAX_SID_SIZE];
  EXPECT_FALSE(CopySid(sizeof copy, copy, bad));
}

TEST(SidText, StringFormsRoundTrip) {
  for (const char* text :
       {"S-1-5-32-544", "S-1-1-0", "S-1-5-21-2575041213-1802547165-3137628442-500",
        "S-1-0x123456789ABC-7", "S-1-5"}) {
    PSID sid = nullptr;
    std::u16string wide(text, text + std::strlen(text));
    ASSERT_TRUE(ConvertStringSidToSidW(wide.c_str(), &sid)) << text;
    LPWSTR back = nullptr;
    ASSERT_TRUE(ConvertSidToStringSidW(sid, &back));
    EXPECT_EQ(std::u16string(back), wide);
    LocalFree(back);
    LocalFree(sid);
  }
}

TEST(SidText, AliasesAreAccepted) {
  PSID sid = nullptr;
  ASSERT_TRUE(ConvertStringSidToSidW(u"BA", &sid));
  EXPECT_EQ(SidText(sid), "S-1-5-32-544");
  LocalFree(sid);
}

TEST(SidText, MalformedStringsAreRefused) {
  for (const char16_t* text : {u"S-2-5-18", u"S-1", u"X-1-5-18", u"S-1-5-", u"S-1-5-4294967296",
                               u"S-1-5-1-2-3-4-5-6-7-8-9-10-11-12-13-14-15-16", u"S-1-5-x", u""}) {
    PSID sid = reinterpret_cast<PSID>(0x1234);
    EXPECT_FALSE(ConvertStringSidToSidW(text, &sid));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_SID));
    EXPECT_EQ(sid, reinterpret_cast<PSID>(0x1234));
  }
}

}  // namespace
