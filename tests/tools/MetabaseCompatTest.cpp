// IIS 10 with the IIS 6 metabase compatibility: the product's ISAPI mode
// goes through the metabase, which maps onto applicationHost.config. Its
// filter, script map and restriction reach the file as IIS would write
// them, the application host's own removals undo them byte for byte, and
// the metabase explorer shows the mapped view.
#include <gtest/gtest.h>

#include <string>

#include "iis/IISHelper.h"
#include "platform/win.h"
#include "tests/tools/ToolRunner.h"
#include "tools/quaver-machine/MetabaseCommands.h"

namespace quaver::test {
namespace {

const char kConfig[] = "drive_c/Windows/System32/inetsrv/config/applicationHost.config";
const char16_t kDll[] = u"C:\\Program Files\\Corvane\\Quaver\\iquaver.dll";

class MetabaseCompat : public ::testing::Test {
 protected:
  void SetUp() override { quaver_machine::InstallMetabaseCompatibility(); }

  std::string Config() const { return image.ReadHostFile(kConfig); }
  std::string Section(const std::string& location, const std::string& section) const {
    std::vector<std::string> words = {"appcmd", "list", "config"};
    if (!location.empty()) words.push_back(location);
    words.push_back("/section:" + section);
    return RunTool(words);
  }

  CreatedImage image{"10"};
};

TEST_F(MetabaseCompat, ExplorerShowsTheApplicationHostsWebsitesAndFilters) {
  const std::string sites = RunTool({"metabase", "/LM/W3SVC/1"});
  EXPECT_NE(sites.find("ServerComment              String   Server           Default Web Site"),
            std::string::npos)
      << sites;
  EXPECT_NE(
      sites.find("/LM/W3SVC/1/ROOT\n   1002 KeyType                    String   Server           "
                 "IIsWebVirtualDir\n   3001 Path"),
      std::string::npos)
      << sites;
  const std::string filters = RunTool({"metabase", "/LM/W3SVC/Filters"});
  EXPECT_NE(filters.find("FilterLoadOrder            String   Server           ASP.Net_4.0_64bit,"),
            std::string::npos)
      << filters;
  EXPECT_NE(image.ReadHostFile("services.ini").find("[IISADMIN]"), std::string::npos);
}

TEST_F(MetabaseCompat, IsapiModeChangesTheApplicationHostAndItsRemovalsUndoIt) {
  const std::string before = Config();
  {
    IISHelper iis;
    ASSERT_TRUE(iis.Connect(IISHelper::ConnectMetabase));
    ASSERT_TRUE(iis.AddFilter(u"Quaver", kDll, 0xFFFFFFFFu, u"IIS Quaver", u""));
    // A website's filter of the same name as a global one is refused by the
    // application host (one name per collection) and stays in the metabase.
    ASSERT_TRUE(iis.AddFilter(u"Quaver", kDll, 0, u"IIS Quaver", u"2"));
    ASSERT_TRUE(iis.AddFilter(u"QuaverSite", kDll, 0, u"IIS Quaver", u"1"));
    ASSERT_TRUE(iis.AddScriptMap(u".qvr", kDll, 1, u"GET,POST", u"", true));
    ASSERT_TRUE(iis.AddWebServiceRestriction(u"Quaver", u"IIS Quaver", kDll));
    ASSERT_TRUE(iis.Save(IISHelper::SaveMetabase));
  }
  const std::string filters = Section("", "isapiFilters");
  EXPECT_NE(filters.find("<filter name=\"Quaver\" path=\"C:\\Program Files\\Corvane\\Quaver\\"
                         "iquaver.dll\" />\n  </isapiFilters>"),
            std::string::npos)
      << filters;
  EXPECT_NE(Section("Default Web Site", "isapiFilters").find("<filter name=\"QuaverSite\""),
            std::string::npos);
  const std::string handlers = Section("", "handlers");
  EXPECT_NE(handlers.find("<add name=\"AboMapperCustom-1\" path=\"*.qvr\" verb=\"GET,POST\" "
                          "modules=\"IsapiModule\" scriptProcessor=\"C:\\Program Files\\Corvane\\"
                          "Quaver\\iquaver.dll\""),
            std::string::npos)
      << handlers;
  const std::string restrictions = Section("", "isapiCgiRestriction");
  EXPECT_NE(restrictions.find("path=\"C:\\Program Files\\Corvane\\Quaver\\iquaver.dll\" "
                              "allowed=\"true\" groupId=\"Quaver\" description=\"IIS Quaver\""),
            std::string::npos)
      << restrictions;
  // The metabase reads its own changes back from the file.
  EXPECT_NE(RunTool({"metabase", "/LM/W3SVC"}).find(".qvr,C:\\Program Files"), std::string::npos);

  IISHelper iis;
  ASSERT_TRUE(iis.Connect(IISHelper::ConnectAppHost));
  ASSERT_TRUE(iis.OpenConfigPath(u"MACHINE/WEBROOT/APPHOST"));
  ASSERT_TRUE(iis.RemoveAppHostFilter(u"Quaver"));
  ASSERT_TRUE(iis.RemoveAppHostFilter(u"QuaverSite"));
  ASSERT_TRUE(iis.RemoveAppHostScriptMap(u".qvr"));
  ASSERT_TRUE(iis.RemoveAppHostRestriction(u"Quaver"));
  ASSERT_TRUE(iis.Save(IISHelper::SaveAppHost));
  EXPECT_EQ(Config(), before);
  EXPECT_EQ(RunTool({"metabase", "/LM/W3SVC"}).find("Quaver"), std::string::npos);
}

// The product's own metabase removals undo its additions the same way.
TEST_F(MetabaseCompat, MetabaseRemovalsUndoTheAdditions) {
  const std::string before = Config();
  IISHelper iis;
  ASSERT_TRUE(iis.Connect(IISHelper::ConnectMetabase));
  ASSERT_TRUE(iis.AddFilter(u"Quaver", kDll, 0, u"IIS Quaver", u""));
  ASSERT_TRUE(iis.AddScriptMap(u".qvr", kDll, 1, u"", u"", true));
  ASSERT_TRUE(iis.AddWebServiceRestriction(u"Quaver", u"IIS Quaver", kDll));
  ASSERT_TRUE(iis.Save(IISHelper::SaveMetabase));
  ASSERT_NE(Config(), before);
  // First in the load order: first in the collection.
  const std::string filters = Section("", "isapiFilters");
  EXPECT_LT(filters.find("Quaver"), filters.find("ASP.Net_4.0_64bit")) << filters;
  ASSERT_TRUE(iis.RemoveFilter(u"Quaver", u"", true));
  ASSERT_TRUE(iis.RemoveScriptMap(u".qvr", u"", true));
  ASSERT_TRUE(iis.RemoveWebServiceRestriction(u"Quaver"));
  ASSERT_TRUE(iis.Save(IISHelper::SaveMetabase));
  EXPECT_EQ(Config(), before);
}

// A pool's identity set through the metabase is the pool's process model
// identity in the application host.
TEST_F(MetabaseCompat, PoolIdentityMapsOntoTheProcessModel) {
  IISHelper iis;
  ASSERT_TRUE(iis.Connect(IISHelper::ConnectMetabase));
  ASSERT_TRUE(iis.OpenKey(u"/LM/W3SVC/AppPools"));
  uint32_t type = 0;
  uint32_t attributes = 0;
  uint32_t userType = 0;
  ASSERT_TRUE(
      iis.GetDwordData(MD_APPPOOL_IDENTITY_TYPE, type, attributes, userType, u"IntranetPool"));
  EXPECT_EQ(type, MD_APPPOOL_IDENTITY_TYPE_NETWORKSERVICE);
  ASSERT_TRUE(iis.SetDwordData(MD_APPPOOL_IDENTITY_TYPE, MD_APPPOOL_IDENTITY_TYPE_SPECIFICUSER,
                               attributes, userType, u"IntranetPool"));
  ASSERT_TRUE(iis.SetStringData(MD_WAM_USER_NAME, u"IntranetService", METADATA_INHERIT,
                                IIS_MD_UT_WAM, u"IntranetPool"));
  ASSERT_TRUE(iis.Save(IISHelper::SaveMetabase));
  const std::string pools = Section("", "applicationPools");
  EXPECT_NE(pools.find("identityType=\"SpecificUser\" userName=\"IntranetService\""),
            std::string::npos)
      << pools;
}

}  // namespace
}  // namespace quaver::test
