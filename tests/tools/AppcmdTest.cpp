// quaver-machine appcmd: what it prints for a created image, and what the
// setup's changes look like in it.
#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "iis/IISHelper.h"
#include "tests/tools/ToolRunner.h"

namespace quaver::test {
namespace {

std::string FirstLines(const std::string& text, size_t count) {
  size_t end = 0;
  for (size_t i = 0; i < count && end != std::string::npos; ++i) {
    end = text.find('\n', end == 0 ? 0 : end + 1);
  }
  return text.substr(0, end == std::string::npos ? end : end + 1);
}

TEST(Appcmd, ListsSitesAndPoolsOfTheVersion) {
  CreatedImage image("7");
  EXPECT_EQ(RunTool({"appcmd", "list", "site"}),
            "SITE \"Default Web Site\" (id:1,bindings:http/*:80:,state:Started)\n"
            "SITE \"Intranet\" (id:2,bindings:http/*:8080:,state:Started)\n");
  EXPECT_EQ(RunTool({"appcmd", "list", "sites", "intranet"}),
            "SITE \"Intranet\" (id:2,bindings:http/*:8080:,state:Started)\n");
  EXPECT_EQ(RunTool({"appcmd", "list", "apppool"}),
            "APPPOOL \"DefaultAppPool\" (MgdVersion:v2.0,MgdMode:Integrated,state:Started)\n"
            "APPPOOL \"Classic .NET AppPool\" (MgdVersion:v2.0,MgdMode:Classic,state:Started)\n"
            "APPPOOL \"ShopPool\" (MgdVersion:,MgdMode:Integrated,state:Started)\n"
            "APPPOOL \"IntranetPool\" (MgdVersion:v2.0,MgdMode:Integrated,state:Started)\n");
}

TEST(Appcmd, ShowsWhatTheSetupAdded) {
  CreatedImage image("10");
  {
    IISHelper iis;
    ASSERT_TRUE(iis.Connect(IISHelper::ConnectAppHost));
    ASSERT_TRUE(iis.OpenConfigPath(u"MACHINE/WEBROOT/APPHOST"));
    ASSERT_TRUE(iis.AddGlobalModule(u"QuaverModule", u"C:\\Quaver\\iquaver.dll"));
    ASSERT_TRUE(iis.AddModule(u"QuaverModule", u"Intranet"));
    ASSERT_TRUE(iis.AddHandler(u"Quaver", u"QuaverModule", u"*.qv", u"", u"", u"Intranet"));
    ASSERT_TRUE(iis.Save(IISHelper::SaveAll));
  }
  const std::string server = RunTool({"appcmd", "list", "module"});
  EXPECT_EQ(server.find("QuaverModule"), std::string::npos);
  EXPECT_EQ(server.rfind("MODULE \"HttpCacheModule\" ( native:true )\n", 0), 0u);
  EXPECT_EQ(RunTool({"appcmd", "list", "module", "QuaverModule", "/app.name:Intranet/"}),
            "MODULE \"QuaverModule\" ( native:true )\n");
  const std::string handlers =
      RunTool({"appcmd", "list", "config", "Intranet", "-section:system.webServer/handlers"});
  EXPECT_EQ(FirstLines(handlers, 3),
            "<system.webServer>\n"
            "  <handlers accessPolicy=\"Read, Script\">\n"
            "    <add name=\"Quaver\" path=\"*.qv\" verb=\"*\" modules=\"QuaverModule\" "
            "requireAccess=\"Script\" lockItem=\"true\" />\n");
  EXPECT_EQ(RunTool({"appcmd", "list", "config", "/section:handlers"}).find("Quaver"),
            std::string::npos);
}

TEST(Appcmd, ConfigOfOneSectionOrAll) {
  CreatedImage image("10");
  EXPECT_EQ(RunTool({"appcmd", "list", "config", "Intranet", "/section:directoryBrowse"}),
            "<system.webServer>\n  <directoryBrowse enabled=\"true\" />\n</system.webServer>\n");
  EXPECT_EQ(RunTool({"appcmd", "list", "config", "/section:directoryBrowse"}),
            "<system.webServer>\n  <directoryBrowse enabled=\"false\" />\n</system.webServer>\n");
  // A section nothing sets still shows when it is asked for.
  EXPECT_EQ(RunTool({"appcmd", "list", "config", "/section:cgi"}),
            "<system.webServer>\n  <cgi />\n</system.webServer>\n");
  const std::string all = RunTool({"appcmd", "list", "config", "Default Web Site/shop"});
  EXPECT_EQ(all.rfind("<system.applicationHost>\n  <applicationPools>\n", 0), 0u);
  EXPECT_NE(all.find("</system.applicationHost>\n<system.webServer>\n"), std::string::npos);
  EXPECT_NE(all.find("  <security>\n    <access sslFlags=\"None\" />\n"), std::string::npos);
  EXPECT_EQ(all.find("<cgi"), std::string::npos);
  EXPECT_THROW(RunTool({"appcmd", "list", "config", "/section:noSuchSection"}),
               quaver_machine::CommandError);
}

TEST(Appcmd, RefusesImagesWithoutApplicationHost) {
  CreatedImage image("6");
  EXPECT_THROW(RunTool({"appcmd", "list", "site"}), quaver_machine::CommandError);
  EXPECT_THROW(RunTool({"appcmd", "list", "nothing"}), quaver_machine::CommandError);
}

}  // namespace
}  // namespace quaver::test
