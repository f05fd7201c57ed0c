// quaver-machine metabase: a person sees the product's filter in the explorer
// while it is installed, and once it is removed again the created metabase
// differs only by the empty load order the removal leaves.
#include <gtest/gtest.h>

#include <string>

#include "iis/IISHelper.h"
#include "tests/tools/ToolRunner.h"

namespace quaver::test {
namespace {

TEST(MetabaseCommand, ShowsTheProductFilterOnlyWhileItIsInstalled) {
  CreatedImage image("6");
  const std::string metabaseFile = "drive_c/Windows/System32/inetsrv/MetaBase.xml";
  const std::string before = image.ReadHostFile(metabaseFile);
  const std::string filters = RunTool({"metabase", "/LM/W3SVC/1/Filters"});
  EXPECT_EQ(filters.find("Quaver"), std::string::npos) << filters;

  IISHelper iis;
  ASSERT_TRUE(iis.Connect(IISHelper::ConnectMetabase));
  ASSERT_TRUE(iis.AddFilter(u"Quaver", u"C:\\Program Files\\Corvane\\Quaver\\iquaver.dll", 0,
                            u"IIS Quaver", u"1"));
  const std::string installed = RunTool({"metabase", "/LM/W3SVC/1/Filters"});
  EXPECT_NE(installed.find("/LM/W3SVC/1/Filters/Quaver"), std::string::npos) << installed;
  EXPECT_NE(installed.find("iquaver.dll"), std::string::npos) << installed;

  ASSERT_TRUE(iis.RemoveFilter(u"Quaver", u"1", false));
  ASSERT_TRUE(iis.Save(IISHelper::SaveMetabase));
  ASSERT_TRUE(iis.Disconnect(IISHelper::ConnectMetabase));
  // The website's Filters key had no load order, as on IIS 6; the removal
  // leaves an empty one and nothing else.
  EXPECT_EQ(RunTool({"metabase", "/LM/W3SVC/1/Filters"}),
            filters + "   2040 FilterLoadOrder            String   Server           \n");
  std::string expected = before;
  const std::string key = "<IIsFilters\tLocation =\"/LM/W3SVC/1/Filters\"\n";
  ASSERT_NE(expected.find(key), std::string::npos);
  expected.insert(expected.find(key) + key.size(), "\t\tFilterLoadOrder=\"\"\n");
  EXPECT_EQ(image.ReadHostFile(metabaseFile), expected);
}

}  // namespace
}  // namespace quaver::test
