// Websites of the application host: both enumerations and the walk to a
// website's root directory.
#include <gtest/gtest.h>

#include "tests/iis/AppHostFixture.h"

namespace quaver::test {
namespace {

class IISHelperSites : public AppHostFixture {};

TEST_F(IISHelperSites, ListedInFileOrderAndMappedInIdTextOrder) {
  ASSERT_TRUE(iis.Connect(IISHelper::ConnectAppHost | IISHelper::ConnectReadOnly));
  CSPList<IISHelper::Site> sites;
  sites.Add(IISHelper::Site{u"stale", u"99"});
  ASSERT_TRUE(iis.GetSites(sites));
  Names listed;
  for (uint32_t i = 0; i < sites.GetCount(); ++i) {
    listed.push_back(Utf8(sites.GetAt(i).id) + " " + Utf8(sites.GetAt(i).name));
  }
  EXPECT_EQ(listed, (Names{"1 Default Web Site", "2 Blog", "10 Shop"}));

  CSPMap<CSPWString, CSPWString> names;
  names.SetAt(u"99", u"stale");
  ASSERT_TRUE(iis.GetSiteNames(names));
  Names mapped;
  for (uint32_t i = 0; i < names.GetCount(); ++i) {
    mapped.push_back(Utf8(names.GetKeyAt(i)) + " " + Utf8(names.GetValueAt(i)));
  }
  EXPECT_EQ(mapped, (Names{"1 Default Web Site", "10 Shop", "2 Blog"}));
}

// Neither enumeration needs a configuration path or disturbs the position
// of a walk.
TEST_F(IISHelperSites, EnumerationLeavesTheCurrentSectionAlone) {
  CSPList<IISHelper::Site> sites;
  EXPECT_FALSE(iis.GetSites(sites));
  Open();
  ASSERT_TRUE(iis.OpenSection(u"system.webServer/modules", u""));
  ASSERT_TRUE(iis.FindElement(u"IsapiModule", u"add", u"name", 0));
  ASSERT_TRUE(iis.GetSites(sites));
  EXPECT_EQ(sites.GetCount(), 3u);
  CSPWString name;
  ASSERT_TRUE(iis.GetSectionName(name));
  EXPECT_EQ(Utf8(name), "modules");
  EXPECT_EQ(ElementText(iis, u"name"), "IsapiModule");
}

TEST_F(IISHelperSites, RepeatedIdKeepsTheLastName) {
  std::string config = kServerConfig;
  config.replace(config.find("name=\"Blog\" id=\"2\""), 18, "name=\"Blog\" id=\"1\"");
  image.WriteAppHostConfig(config);
  ASSERT_TRUE(iis.Connect(IISHelper::ConnectAppHost));
  CSPMap<CSPWString, CSPWString> names;
  ASSERT_TRUE(iis.GetSiteNames(names));
  ASSERT_EQ(names.GetCount(), 2u);
  EXPECT_EQ(Utf8(*names.Lookup(u"1")), "Blog");
}

TEST_F(IISHelperSites, RootDirectoryIsTheRootApplicationsRootDirectory) {
  Open();
  ASSERT_TRUE(iis.OpenSection(u"system.applicationHost/sites", u""));
  struct Case {
    const char16_t* site;
    const char* directory;  // null: no root directory
  };
  const Case cases[] = {
      {u"Default Web Site", "C:\\inetpub\\wwwroot"},  // %SystemDrive% expanded
      {u"Shop", "C:\\Sites\\Shop"},                   // "/" after "/images"
      {u"Blog", nullptr},                             // no application "/"
      {u"No Such Site", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf8(c.site));
    CSPWString directory = u"unchanged";
    EXPECT_EQ(iis.GetAppHostSiteRoot(c.site, directory), c.directory != nullptr);
    EXPECT_EQ(Utf8(directory), c.directory ? c.directory : "unchanged");
    // The sites section is current again for the next website.
    CSPWString name;
    ASSERT_TRUE(iis.GetSectionName(name));
    EXPECT_EQ(Utf8(name), "sites");
  }
}

}  // namespace
}  // namespace quaver::test
