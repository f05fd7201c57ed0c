// quaver-machine icacls: what a folder passes on with generic rights reads
// on its children as icacls.exe shows it on Windows.
#include <gtest/gtest.h>

#include <string>

#include "platform/security/Sddl.h"
#include "platform/win.h"
#include "tests/tools/ToolRunner.h"

namespace quaver::test {
namespace {

void SetProtectedDacl(const char16_t* folder, const char* entries) {
  winsec::SecurityRecord record;
  std::string error;
  ASSERT_TRUE(winsec::ParseSddl(std::string("D:") + entries, record, error)) << error;
  PACL acl = winsec::AllocateAcl(record.dacl.aces);
  std::u16string name(folder);
  ASSERT_EQ(SetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT,
                                  DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                  nullptr, nullptr, acl, nullptr),
            static_cast<DWORD>(ERROR_SUCCESS));
  LocalFree(acl);
}

TEST(IcaclsCommand, InheritedGenericRightsShowAsWindowsShowsThem) {
  CreatedImage image("10");
  ASSERT_TRUE(CreateDirectoryW(u"C:\\site", nullptr));
  ASSERT_TRUE(CreateDirectoryW(u"C:\\site\\sub", nullptr));
  image.WriteHostFile("drive_c/site/page.htm", "<html/>");
  SetProtectedDacl(u"C:\\site", "(A;OICI;GA;;;SY)(A;OICI;GR;;;BU)(A;OICINP;GRGXSDGW;;;NS)");
  EXPECT_EQ(RunTool({"icacls", "C:\\site\\sub"}),
            "C:\\site\\sub NT AUTHORITY\\SYSTEM:(I)(F)\n"
            "            NT AUTHORITY\\SYSTEM:(I)(OI)(CI)(IO)(F)\n"
            "            BUILTIN\\Users:(I)(R)\n"
            "            BUILTIN\\Users:(I)(OI)(CI)(IO)(GR)\n"
            "            NT AUTHORITY\\NETWORK SERVICE:(I)(M)\n"
            "\nSuccessfully processed 1 files; Failed processing 0 files\n");
  EXPECT_EQ(RunTool({"icacls", "C:\\site\\page.htm"}),
            "C:\\site\\page.htm NT AUTHORITY\\SYSTEM:(I)(F)\n"
            "                 BUILTIN\\Users:(I)(R)\n"
            "                 NT AUTHORITY\\NETWORK SERVICE:(I)(M)\n"
            "\nSuccessfully processed 1 files; Failed processing 0 files\n");
  EXPECT_EQ(RunTool({"icacls", "C:\\site"}),
            "C:\\site NT AUTHORITY\\SYSTEM:(OI)(CI)(F)\n"
            "        BUILTIN\\Users:(OI)(CI)(GR)\n"
            "        NT AUTHORITY\\NETWORK SERVICE:(OI)(CI)(NP)(M)\n"
            "\nSuccessfully processed 1 files; Failed processing 0 files\n");
}

}  // namespace
}  // namespace quaver::test
