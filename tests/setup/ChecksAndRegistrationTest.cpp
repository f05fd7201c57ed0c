// The checks before an installation, the product directory and the
// product's registration, on servers made like fresh IIS 6, 7.5 and 10.
#include <gtest/gtest.h>

#include "core/CSPBuffer.h"
#include "platform/machine.h"
#include "system/RegKey.h"
#include "tests/setup/SetupTestSupport.h"

namespace quaver::test {
namespace {

const char16_t kProduct[] = u"Software\\Corvane\\Quaver";
const char16_t kProduct32[] = u"Software\\Wow6432Node\\Corvane\\Quaver";
const char16_t kUninstall[] =
    u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\IIS Quaver";

class Checks : public SetupCoreTest {
 protected:
  void UseProductDir() {
    core.rootDir = u"C:\\Program Files\\Corvane\\";
    core.installDir = u"C:\\Program Files\\Corvane\\Quaver\\";
  }
  void SetFreeBytes(const char* bytes) {
    machine::RequireMachine().Settings().Set("disk", "FreeBytes", bytes);
  }
};

TEST_F(Checks, IisVersionBelowSixIsRefused) {
  for (uint32_t version : {0u, 5u}) {
    RegKey key;
    ASSERT_TRUE(key.Open(u"Software\\Microsoft\\InetStp", HKEY_LOCAL_MACHINE, KEY_ALL_ACCESS));
    if (version == 0) {
      ASSERT_TRUE(key.DeleteValue(u"MajorVersion"));
    } else {
      ASSERT_TRUE(key.SetDwordValue(u"MajorVersion", version));
    }
    ui.messages.clear();
    EXPECT_EQ(core.CheckIisVersion(), 0u) << version;
    EXPECT_EQ(ui.messages, std::vector<std::string>{
                               "Wrong version: This product can run only on IIS 6 or later.\r\n"
                               "Setup cannot continue"});
  }
}

TEST_F(Checks, IisSixIsAccepted) {
  EXPECT_EQ(core.CheckIisVersion(), 6u);
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(Checks, DefaultBaseDirFallsBackToTheSystemFolder) {
  auto& settings = machine::RequireMachine().Settings();
  EXPECT_EQ(Utf8(core.GetDefaultBaseDir()), "C:\\Program Files");
  settings.Set("folders", "PROGRAM_FILES", "");
  // The fixture is a Windows Server 2003 machine.
  EXPECT_EQ(Utf8(core.GetDefaultBaseDir()), "C:\\WINDOWS\\System32");
  settings.Set("folders", "SYSTEM", "");
  EXPECT_EQ(Utf8(core.GetDefaultBaseDir()), "");
}

TEST_F(Checks, FreeSpaceLimitAndItsStep) {
  UseProductDir();
  ui.SetProgressRange(0, 10);
  SetFreeBytes("2000000");
  EXPECT_TRUE(core.CheckDiskSpace());
  SetFreeBytes("1999999");
  EXPECT_FALSE(core.CheckDiskSpace());
  EXPECT_EQ(ui.GetProgressPosition(), 2);  // the step is taken either way
  EXPECT_EQ(ui.messages, std::vector<std::string>{
                             "Fatal error: Insufficient disk free space.\nSetup cannot continue."});
  EXPECT_EQ(Utf8(ui.GetPercentText()), "20%");
}

TEST_F(Checks, DirectoriesAreCreatedProtectedAndRemovedWhenEmpty) {
  UseProductDir();
  ASSERT_TRUE(core.PrepareSecurity());
  ASSERT_TRUE(core.CreateDirectories());
  EXPECT_TRUE(std::filesystem::is_directory(image.DriveC() / "Program Files/Corvane/Quaver"));
  // Running again over existing directories is accepted.
  EXPECT_TRUE(core.CreateDirectories());
  core.RemoveDirectories();
  EXPECT_FALSE(std::filesystem::exists(image.DriveC() / "Program Files/Corvane"));
}

TEST_F(Checks, ModulesFolderIsEmptiedRecursively) {
  image.WriteHostFile("drive_c/P/Modules/a.dll", "x");
  image.WriteHostFile("drive_c/P/Modules/sub/b.dll", "y");
  image.WriteHostFile("drive_c/P/keep.txt", "z");
  EXPECT_TRUE(core.RemoveModulesFolder(u"C:\\P\\Modules"));
  EXPECT_FALSE(std::filesystem::exists(image.DriveC() / "P/Modules"));
  EXPECT_TRUE(std::filesystem::exists(image.DriveC() / "P/keep.txt"));
  EXPECT_FALSE(core.RemoveModulesFolder(u"C:\\P\\Modules"));
}

TEST_F(Checks, InvalidDirectoryIsShown) {
  EXPECT_TRUE(core.IsValidDirectory(u"C:\\Windows"));
  EXPECT_FALSE(core.IsValidDirectory(u"C:\\Nowhere"));
  EXPECT_EQ(ui.messages, std::vector<std::string>{
                             "Invalid path: The path you provided is invalid or does not exist.\n"
                             "Please, select another path."});
  CSPWString chosen(u"unchanged");
  EXPECT_FALSE(core.BrowseForDirectory(chosen));  // no window: cancelled
  EXPECT_EQ(Utf8(chosen), "unchanged");
}

struct RegistrationCase {
  const char* iis;
  bool secondView;
};

class Registration : public ::testing::TestWithParam<RegistrationCase> {};

TEST_P(Registration, ProductKeyInTheRightViewsAndRollBack) {
  SetupImage image(GetParam().iis);
  RecordingUi ui;
  IQVSetupCore core(&ui);
  core.progressBar = core.percentLabel = &ui;
  core.rootDir = u"C:\\Program Files\\Corvane\\";
  core.installDir = u"C:\\Program Files\\Corvane\\Quaver\\";
  core.extensibilityMode = IQVSetupCore::ModeIsapi;
  ASSERT_TRUE(core.RegisterProduct());
  EXPECT_EQ(ui.GetProgressPosition(), 6);
  for (const char16_t* key : {kProduct, kProduct32}) {
    const bool expected = key == kProduct || GetParam().secondView;
    EXPECT_EQ(RegistryText(key, u"RootDir"),
              expected ? "C:\\Program Files\\Corvane\\" : "<missing>");
    EXPECT_EQ(RegistryText(key, u"RewriteConfigFile"),
              expected ? "C:\\Program Files\\Corvane\\Quaver\\Quaver.txt" : "<missing>");
    EXPECT_EQ(RegistryText(key, u"ExtensibilityMode"), expected ? "1" : "<missing>");
  }
  // Another product of the maker keeps "Corvane" through the roll-back.
  WriteRegistryText(u"Software\\Corvane\\Other", u"x", u"y");
  core.UnregisterProduct();
  EXPECT_EQ(ui.GetProgressPosition(), 5);
  EXPECT_FALSE(RegistryKeyExists(kProduct));
  EXPECT_TRUE(RegistryKeyExists(u"Software\\Corvane"));
  RegKey corvane;
  ASSERT_TRUE(corvane.Open(u"Software\\Corvane", HKEY_LOCAL_MACHINE, KEY_ALL_ACCESS));
  ASSERT_TRUE(corvane.DeleteSubKey(u"Other"));
  ASSERT_TRUE(core.RegisterProduct());
  core.UnregisterProduct();
  EXPECT_FALSE(RegistryKeyExists(u"Software\\Corvane"));
  EXPECT_TRUE(ui.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Iis, Registration,
    ::testing::Values(RegistrationCase{"6", false}, RegistrationCase{"7.5", true},
                      RegistrationCase{"10", true}),
    [](const auto& info) {
      return "Iis" + std::string(info.param.iis == std::string("7.5") ? "75" : info.param.iis);
    });

TEST_F(Checks, UninstallEntryAndPackageFile) {
  UseProductDir();
  ASSERT_TRUE(core.PrepareSecurity());
  ASSERT_TRUE(core.CreateDirectories());
  ASSERT_TRUE(core.RegisterUninstall());
  EXPECT_EQ(RegistryText(kUninstall, u"DisplayName"), "IIS Quaver");
  EXPECT_EQ(RegistryText(kUninstall, u"UninstallString"),
            "C:\\Program Files\\Corvane\\Quaver\\Uninstall.exe");
  CSPBuffer longer;
  longer.Set(std::string(100, 'a').c_str(), 100);
  CSPBuffer shorter;
  shorter.Set("short", 5);
  ASSERT_TRUE(core.WriteUninstallList(longer));
  ASSERT_TRUE(core.WriteUninstallList(shorter));
  EXPECT_EQ(image.ReadHostFile("drive_c/Program Files/Corvane/Quaver/Uninstall.cvsp"), "short");
  EXPECT_EQ(ui.GetProgressPosition(), 2 + 2 + 2);
}

}  // namespace
}  // namespace quaver::test
