// quaver-machine metabase: a person sees the product's filter in the explorer
// while it is installed, and once it is removed again the created metabase
// differs only by the empty load order the removal leaves.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

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

// The metabase's folder made a link to a copy outside the image: the
// command refuses it instead of printing the copy, and nothing is written
// beside it.
TEST(MetabaseCommand, RefusesAMetabaseFolderLinkedOutOfTheImage) {
  namespace fs = std::filesystem;
  CreatedImage image("6");
  const fs::path inetsrv = image.DriveC() / "Windows" / "System32" / "inetsrv";
  const fs::path outside = image.Root().string() + "-outside";
  fs::create_directories(outside);
  fs::copy_file(inetsrv / "MetaBase.xml", outside / "MetaBase.xml");
  std::ofstream(outside / "MetaBase.xml", std::ios::app) << "<!-- OUTSIDE-COPY -->\n";
  fs::remove_all(inetsrv);
  fs::create_directory_symlink(outside, inetsrv);
  std::string printed;
  EXPECT_ANY_THROW(printed = RunTool({"metabase", "/LM/W3SVC"}));
  EXPECT_EQ(printed.find("W3SVC"), std::string::npos) << printed;
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(outside)) {
    names.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(names, std::vector<std::string>{"MetaBase.xml"});
  fs::remove_all(outside);
}

}  // namespace
}  // namespace quaver::test
