// An IIS 6 image is a Windows Server 2003 server: profiles under
// "Documents and Settings", no folders or variables of later versions. An
// IIS 10 image keeps the later layout.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/machine.h"
#include "tests/tools/ToolRunner.h"

namespace quaver::test {
namespace {

std::string Setting(const char* section, const char* key) {
  return machine::RequireMachine().Settings().GetOr(section, key, "<none>");
}

TEST(Server2003Image, Iis6ProfilesLiveUnderDocumentsAndSettings) {
  CreatedImage image("6");
  EXPECT_EQ(Setting("folders", "PROFILE"), "C:\\Documents and Settings\\Administrator");
  EXPECT_EQ(Setting("folders", "COMMON_PROGRAMS"),
            "C:\\Documents and Settings\\All Users\\Start Menu\\Programs");
  EXPECT_EQ(Setting("folders", "LOCAL_APPDATA"),
            "C:\\Documents and Settings\\Administrator\\Local Settings\\Application Data");
  EXPECT_EQ(Setting("folders", "COMMON_APPDATA"),
            "C:\\Documents and Settings\\All Users\\Application Data");
  EXPECT_EQ(Setting("environment", "ALLUSERSPROFILE"), "C:\\Documents and Settings\\All Users");
  EXPECT_EQ(Setting("environment", "HOMEPATH"), "\\Documents and Settings\\Administrator");
  EXPECT_EQ(Setting("environment", "Path").rfind("C:\\WINDOWS\\system32;C:\\WINDOWS;", 0), 0u);
  EXPECT_EQ(Setting("environment", "LOCALAPPDATA"), "<none>");
  EXPECT_EQ(Setting("environment", "ProgramData"), "<none>");
  EXPECT_TRUE(std::filesystem::is_directory(image.DriveC() / "Documents and Settings" /
                                            "All Users" / "Start Menu" / "Programs"));
  EXPECT_FALSE(std::filesystem::exists(image.DriveC() / "Users"));
  EXPECT_FALSE(std::filesystem::exists(image.DriveC() / "ProgramData"));
}

TEST(Server2003Image, LaterServersKeepTheirLayout) {
  CreatedImage image("10");
  EXPECT_EQ(Setting("folders", "PROFILE"), "C:\\Users\\Administrator");
  EXPECT_EQ(Setting("environment", "ProgramData"), "C:\\ProgramData");
  EXPECT_TRUE(std::filesystem::is_directory(image.DriveC() / "Users" / "Public"));
}

}  // namespace
}  // namespace quaver::test
