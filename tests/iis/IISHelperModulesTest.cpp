// Global modules and modules: adding updates an entry in place, removal by
// name at one location or at all of them.
#include <gtest/gtest.h>

#include "tests/iis/AppHostFixture.h"

namespace quaver::test {
namespace {

constexpr char kGlobalModules[] = "system.webServer/globalModules";
constexpr char kModules[] = "system.webServer/modules";

class IISHelperModules : public AppHostFixture {};

TEST_F(IISHelperModules, GlobalModuleIsAddedOnceAndUpdatedInPlace) {
  Open();
  ASSERT_TRUE(iis.AddGlobalModule(u"QuaverModule", u"C:\\Quaver\\old.dll"));
  ASSERT_TRUE(iis.AddGlobalModule(u"IsapiModule", u"C:\\x\\isapi.dll"));
  ASSERT_TRUE(iis.AddGlobalModule(u"QuaverModule", u"C:\\Quaver\\iquaver.dll"));
  Save();
  EXPECT_EQ(Entries(kGlobalModules, ""),
            (Names{"StaticFileModule", "IsapiModule", "FastCgiModule", "QuaverModule"}));
  EXPECT_EQ(Attribute(kGlobalModules, "", "QuaverModule", "image"), "C:\\Quaver\\iquaver.dll");
  EXPECT_EQ(Attribute(kGlobalModules, "", "IsapiModule", "image"), "C:\\x\\isapi.dll");
  EXPECT_TRUE(Locked(kGlobalModules, "", "QuaverModule"));
  EXPECT_TRUE(Locked(kGlobalModules, "", "IsapiModule"));
  // Nothing but the name, the image and the lock is written.
  EXPECT_NE(
      image.AppHostConfig().find(
          "<add name=\"QuaverModule\" image=\"C:\\Quaver\\iquaver.dll\" lockItem=\"true\" />"),
      std::string::npos);
}

TEST_F(IISHelperModules, RemovingGlobalModuleNeedsOne) {
  Open();
  EXPECT_FALSE(iis.RemoveGlobalModule(u"QuaverModule"));
  EXPECT_FALSE(iis.RemoveGlobalModule(u"isapimodule"));  // names match exactly
  EXPECT_TRUE(iis.RemoveGlobalModule(u"IsapiModule"));
  EXPECT_FALSE(iis.RemoveGlobalModule(u"IsapiModule"));
  Save();
  EXPECT_EQ(Entries(kGlobalModules, ""), (Names{"StaticFileModule", "FastCgiModule"}));
}

// A website that already shows the module, inherited or its own, gets no
// second entry; only the lock is set on the entry found.
TEST_F(IISHelperModules, ModuleTheWebsiteAlreadyShowsIsOnlyLocked) {
  Open();
  ASSERT_TRUE(iis.AddModule(u"StaticFileModule", u"Shop"));  // inherited, locked
  Save();
  EXPECT_EQ(image.AppHostConfig(), kServerConfig);
  ASSERT_TRUE(iis.AddModule(u"IsapiModule", u"Shop"));  // inherited, not locked
  ASSERT_TRUE(iis.AddModule(u"QuaverModule", u"Shop"));
  ASSERT_TRUE(iis.AddModule(u"QuaverModule", u"Shop"));
  Save();
  EXPECT_EQ(Entries(kModules, "Shop"), (Names{"StaticFileModule", "IsapiModule", "QuaverModule"}));
  EXPECT_EQ(Entries(kModules, ""), (Names{"StaticFileModule", "IsapiModule"}));
  EXPECT_TRUE(Locked(kModules, "Shop", "IsapiModule"));
  EXPECT_FALSE(Locked(kModules, "", "IsapiModule"));
  EXPECT_TRUE(Locked(kModules, "Shop", "QuaverModule"));
  EXPECT_EQ(Entries(kModules, "Blog"), (Names{"StaticFileModule", "IsapiModule"}));
}

TEST_F(IISHelperModules, RemovingAModuleAtOneLocation) {
  Open();
  ASSERT_TRUE(iis.AddModule(u"QuaverModule", u""));
  ASSERT_TRUE(iis.AddModule(u"QuaverModule", u"Blog"));     // inherited: no entry of its own
  EXPECT_TRUE(iis.RemoveModule(u"QuaverModule", u"Shop"));  // inherited there too
  EXPECT_FALSE(iis.RemoveModule(u"QuaverModule", u"Shop"));
  Save();
  EXPECT_EQ(Entries(kModules, ""), (Names{"StaticFileModule", "IsapiModule", "QuaverModule"}));
  EXPECT_EQ(Entries(kModules, "Shop"), (Names{"StaticFileModule", "IsapiModule"}));
  EXPECT_EQ(Entries(kModules, "Blog"), (Names{"StaticFileModule", "IsapiModule", "QuaverModule"}));
}

TEST_F(IISHelperModules, RemovingEverywhereRestoresTheFile) {
  Open();
  ASSERT_TRUE(iis.AddModule(u"QuaverModule", u"Shop"));
  ASSERT_TRUE(iis.AddModule(u"QuaverModule", u"Default Web Site"));
  ASSERT_TRUE(iis.AddModule(u"QuaverModule", u"Default Web Site/app"));
  Save();
  ASSERT_NE(image.AppHostConfig(), kServerConfig);
  ASSERT_TRUE(iis.RemoveModuleEverywhere(u"QuaverModule"));
  EXPECT_TRUE(iis.RemoveModuleEverywhere(u"QuaverModule"));  // found nowhere
  Save();
  EXPECT_EQ(image.AppHostConfig(), kServerConfig);
}

// A website's location written before the server-level one, and an
// application's before its website's: the walk still clears the shallower
// entries first, so no <remove> is left behind that would hide the module
// from the application when it is added to the website again.
TEST_F(IISHelperModules, RemovingEverywhereLeavesNoRemoveBehind) {
  std::string config = kServerConfig;
  const std::string locations =
      "    <location path=\"Default Web Site/app\">\n"
      "        <system.webServer>\n"
      "            <modules>\n"
      "                <add name=\"AppModule\" />\n"
      "            </modules>\n"
      "        </system.webServer>\n"
      "    </location>\n"
      "    <location path=\"Default Web Site\">\n"
      "        <system.webServer>\n"
      "            <modules>\n"
      "                <add name=\"QuaverModule\" lockItem=\"true\" />\n"
      "            </modules>\n"
      "        </system.webServer>\n"
      "    </location>\n";
  config.insert(config.find("    <location path=\"\""), locations);
  image.WriteAppHostConfig(config);
  Open();
  ASSERT_TRUE(iis.RemoveModuleEverywhere(u"QuaverModule"));
  Save();
  EXPECT_EQ(image.AppHostConfig().find("remove"), std::string::npos);
  EXPECT_EQ(Entries(kModules, "Default Web Site/app"),
            (Names{"StaticFileModule", "IsapiModule", "AppModule"}));
  ASSERT_TRUE(iis.AddModule(u"QuaverModule", u"Default Web Site"));
  Save();
  EXPECT_EQ(Entries(kModules, "Default Web Site/app"),
            (Names{"StaticFileModule", "IsapiModule", "QuaverModule", "AppModule"}));
}

TEST_F(IISHelperModules, OperationsNeedAConfigurationPath) {
  ASSERT_TRUE(iis.Connect(IISHelper::ConnectAppHost));
  EXPECT_FALSE(iis.AddGlobalModule(u"QuaverModule", u"C:\\q.dll"));
  EXPECT_FALSE(iis.AddModule(u"QuaverModule", u""));
  EXPECT_FALSE(iis.RemoveModule(u"IsapiModule", u""));
  EXPECT_FALSE(iis.RemoveGlobalModule(u"IsapiModule"));
  EXPECT_FALSE(iis.RemoveModuleEverywhere(u"IsapiModule"));
  ASSERT_TRUE(iis.SetConfigPath(kAppHostPath));
  EXPECT_TRUE(iis.AddModule(u"QuaverModule", u""));
  EXPECT_FALSE(iis.RemoveModuleEverywhere(u"QuaverModule"));  // needs the file
}

}  // namespace
}  // namespace quaver::test
