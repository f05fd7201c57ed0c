// Filters and web service restrictions in the application host: the
// installer only removes them.
#include <gtest/gtest.h>

#include "tests/iis/AppHostFixture.h"

namespace quaver::test {
namespace {

constexpr char kFilters[] = "system.webServer/isapiFilters";
constexpr char kRestrictions[] = "system.webServer/security/isapiCgiRestriction";

class IISHelperAppHostRemovals : public AppHostFixture {};

TEST_F(IISHelperAppHostRemovals, FilterIsRemovedWhereverItIsSet) {
  Open();
  ASSERT_TRUE(iis.RemoveAppHostFilter(u"Legacy"));
  ASSERT_TRUE(iis.RemoveAppHostFilter(u"ShopFilter"));
  EXPECT_TRUE(iis.RemoveAppHostFilter(u"NoSuchFilter"));
  EXPECT_TRUE(iis.RemoveAppHostFilter(u"compress"));  // names match exactly
  Save();
  EXPECT_EQ(Entries(kFilters, ""), (Names{"Compress"}));
  EXPECT_EQ(Entries(kFilters, "Shop"), (Names{"Compress"}));
  // The website's location lost its only filter and its isapiFilters with it.
  EXPECT_EQ(image.AppHostConfig().find("ShopFilter"), std::string::npos);
}

TEST_F(IISHelperAppHostRemovals, EveryEntryOfTheGroupIsRemoved) {
  // One more of the group at a website, after two at the server level.
  std::string config = kServerConfig;
  config.insert(
      config.find("        </system.webServer>\n    </location>\n</configuration>"),
      "            <security>\n"
      "                <isapiCgiRestriction>\n"
      "                    <add path=\"C:\\Quaver\\x64\\iquaver.dll\" groupId=\"Quaver\" />\n"
      "                </isapiCgiRestriction>\n"
      "            </security>\n");
  image.WriteAppHostConfig(config);
  Open();
  ASSERT_EQ(Entries(kRestrictions, "Shop", "groupId"),
            (Names{"Quaver", "Legacy", "Quaver", "", "Quaver"}));

  ASSERT_TRUE(iis.RemoveAppHostRestriction(u"Quaver"));
  EXPECT_TRUE(iis.RemoveAppHostRestriction(u"quaver"));  // groups match exactly
  Save();
  EXPECT_EQ(Entries(kRestrictions, "", "path"),
            (Names{"C:\\Filters\\legacy.dll", "C:\\PHP\\php-cgi.exe"}));
  EXPECT_EQ(Entries(kRestrictions, "Shop", "path"), Entries(kRestrictions, "", "path"));
}

// An empty group would match every entry without a group.
TEST_F(IISHelperAppHostRemovals, EmptyGroupRemovesNothing) {
  Open();
  ASSERT_TRUE(iis.RemoveAppHostRestriction(u""));
  Save();
  EXPECT_EQ(image.AppHostConfig(), kServerConfig);
}

TEST_F(IISHelperAppHostRemovals, RemovalsNeedTheConfigurationFile) {
  ASSERT_TRUE(iis.Connect(IISHelper::ConnectAppHost));
  EXPECT_FALSE(iis.RemoveAppHostFilter(u"Legacy"));
  EXPECT_FALSE(iis.RemoveAppHostRestriction(u"Quaver"));
  ASSERT_TRUE(iis.SetConfigPath(kAppHostPath));
  EXPECT_FALSE(iis.RemoveAppHostFilter(u"Legacy"));
  EXPECT_FALSE(iis.RemoveAppHostRestriction(u"Quaver"));
}

}  // namespace
}  // namespace quaver::test
