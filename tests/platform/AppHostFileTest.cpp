// applicationHost.config as a file: real administrators' files survive a
// load and commit unchanged except for what was changed, changes wait for
// CommitChanges, and a commit never loses someone else's change.
#include <gtest/gtest.h>

#include "platform/apphost/ConfigDocument.h"
#include "tests/platform/AppHostTestSupport.h"

namespace quaver::test {
namespace {

const char* const kRealFiles[] = {
    "fixtures/iisexpress-default.applicationhost.config",
    "corpus/applicationhost/iisexpress-vs2015-default-2sites.applicationhost.config",
    "corpus/applicationhost/iis10-php53fastcgi-crlf.applicationHost.config",
    "corpus/applicationhost/iis8-phpfastcgi-4sites.applicationHost.config",
    "corpus/applicationhost/hwc-minimal-aspnetcore.applicationHost.config",
};

TEST(AppHostDocument, RealFilesReadAndWriteBackUnchanged) {
  size_t found = 0;
  for (const char* file : kRealFiles) {
    const auto text = SharedFile(file);
    if (!text) continue;
    ++found;
    apphost::ConfigDocument document;
    std::string error;
    ASSERT_TRUE(document.Parse(*text, error)) << file << ": " << error;
    EXPECT_EQ(document.Serialize(), *text) << file;
  }
  if (found == 0) GTEST_SKIP() << "the shared folder with real configuration files is absent";
}

// Elements nested `depth` deep, the root included.
std::string Nested(int depth) {
  std::string text = "<configuration>\n";
  for (int i = 1; i < depth; ++i) text += "<a>\n";
  for (int i = 1; i < depth; ++i) text += "</a>";
  return text + "</configuration>\n";
}

TEST(AppHostDocument, TextThatIsNoConfigurationIsRefusedWithTheLine) {
  const int bound = static_cast<int>(machine::kXmlNestingBound);
  const struct {
    std::string text;
    std::string error;
  } cases[] = {
      {"", "line 1: No document element found"},
      {"<configuration>", "line 1: Start-end tags mismatch"},
      {"<?xml version=\"1.0\"?>\n<other />", "line 2: The root element is not <configuration>"},
      {"<configuration>\n<system.webServer>\n</configuration>", "line 3: Start-end tags mismatch"},
      {Nested(bound + 1),
       "line " + std::to_string(bound + 1) + ": Elements nested deeper than 64 levels"},
      // Far past the bound, where walking the tree would exhaust the stack.
      {Nested(50000), "line 65: Elements nested deeper than 64 levels"},
  };
  for (const auto& c : cases) {
    apphost::ConfigDocument document;
    std::string error;
    EXPECT_FALSE(document.Parse(c.text, error)) << c.text.substr(0, 80);
    EXPECT_EQ(error, c.error) << c.text.substr(0, 80);
  }
  apphost::ConfigDocument document;
  std::string error;
  EXPECT_TRUE(document.Parse(Nested(bound), error)) << error;
}

TEST(AppHostDocument, ByteOrderMarkAndTrailingTextSurvive) {
  const std::string text =
      "\xEF\xBB\xBF<configuration>\r\n  <a x=\"1\"/>\r\n</configuration>\r\n<!-- end -->\r\n";
  apphost::ConfigDocument document;
  std::string error;
  ASSERT_TRUE(document.Parse(text, error)) << error;
  EXPECT_EQ(document.Serialize(), text);
}

class AppHostFileTest : public AppHostTest {};

TEST_F(AppHostFileTest, ChangingOneModuleOfRealFileChangesOnlyItsLine) {
  const auto original = SharedFile("fixtures/iisexpress-default.applicationhost.config");
  if (!original) GTEST_SKIP() << "../shared/fixtures is absent";
  WriteConfig(*original);
  Ref<IAppHostWritableAdminManager> manager;
  NewManager(manager);
  Ref<IAppHostElement> modules;
  ASSERT_EQ(Section(manager.get(), "system.webServer/globalModules", kAppHostPath, modules), S_OK);
  Ref<IAppHostElement> module;
  ASSERT_EQ(FindEntry(modules.get(), "name", "RewriteModule", module), S_OK);
  EXPECT_EQ(Text(module.get(), "image"), "%IIS_BIN%\\rewrite.dll");
  ASSERT_EQ(SetText(module.get(), "image", "C:\\Quaver\\rewrite.dll"), S_OK);
  ASSERT_EQ(manager->CommitChanges(), S_OK);

  const auto changed = ChangedLines(*original, ReadConfig());
  ASSERT_EQ(changed.size(), 1u);
  EXPECT_EQ(changed[0],
            "            <add name=\"RewriteModule\" image=\"%IIS_BIN%\\rewrite.dll\" /> -> "
            "            <add name=\"RewriteModule\" image=\"C:\\Quaver\\rewrite.dll\" />");
}

// What the installer does and its uninstaller undoes, each in a session of
// its own: the file must come back byte for byte.
void AddProductEverywhere(IAppHostWritableAdminManager* manager) {
  Ref<IAppHostElement> globalModules;
  ASSERT_EQ(
      AppHostTest::Section(manager, "system.webServer/globalModules", kAppHostPath, globalModules),
      S_OK);
  ASSERT_EQ(
      AppHostTest::AddEntry(globalModules.get(),
                            {{"name", "QuaverModule"}, {"image", "C:\\Quaver\\quaver.dll"}}, true),
      S_OK);
  Ref<IAppHostElement> siteModules;
  ASSERT_EQ(AppHostTest::SiteSection(manager, "system.webServer/modules", "WebSite1", siteModules),
            S_OK);
  ASSERT_EQ(AppHostTest::AddEntry(siteModules.get(), {{"name", "QuaverModule"}}, true), S_OK);
  Ref<IAppHostElement> handlers;
  ASSERT_EQ(AppHostTest::Section(manager, "system.webServer/handlers", kAppHostPath, handlers),
            S_OK);
  ASSERT_EQ(AppHostTest::AddEntry(handlers.get(),
                                  {{"name", "Quaver"},
                                   {"path", "*.qvr"},
                                   {"verb", "*"},
                                   {"modules", "QuaverModule"},
                                   {"requireAccess", "Script"}},
                                  true),
            S_OK);
  ASSERT_EQ(manager->CommitChanges(), S_OK);
}

void RemoveProductEverywhere(IAppHostWritableAdminManager* manager) {
  Ref<IAppHostConfigManager> configManager;
  ASSERT_EQ(manager->get_ConfigManager(configManager.out()), S_OK);
  Ref<IAppHostConfigFile> file;
  Bstr apphost(kAppHostPath);
  ASSERT_EQ(configManager->GetConfigFile(apphost.get(), file.out()), S_OK);
  Ref<IAppHostConfigLocationCollection> locations;
  ASSERT_EQ(file->get_Locations(locations.out()), S_OK);
  DWORD count = 0;
  ASSERT_EQ(locations->get_Count(&count), S_OK);
  std::vector<std::string> paths;
  for (DWORD i = 0; i < count; ++i) {
    Ref<IAppHostConfigLocation> location;
    ASSERT_EQ(locations->get_Item(Index(i), location.out()), S_OK);
    Bstr path;
    ASSERT_EQ(location->get_Path(path.out()), S_OK);
    paths.push_back(path.utf8());
  }
  for (const auto& path : paths) {
    for (const char* section : {"system.webServer/globalModules", "system.webServer/modules",
                                "system.webServer/handlers"}) {
      Ref<IAppHostElement> element;
      ASSERT_EQ(AppHostTest::SiteSection(file.get(), section, path, element), S_OK);
      const char* name =
          std::string(section) == "system.webServer/handlers" ? "Quaver" : "QuaverModule";
      Ref<IAppHostElement> entry;
      if (SUCCEEDED(AppHostTest::FindEntry(element.get(), "name", name, entry))) {
        EXPECT_EQ(entry->Clear(), S_OK) << section << " at " << path;
      }
    }
  }
  ASSERT_EQ(manager->CommitChanges(), S_OK);
}

TEST_F(AppHostFileTest, AddingAndRemovingEverywhereLeavesRealFileAsItWas) {
  const auto original = SharedFile("fixtures/iisexpress-default.applicationhost.config");
  if (!original) GTEST_SKIP() << "../shared/fixtures is absent";
  WriteConfig(*original);
  {
    Ref<IAppHostWritableAdminManager> manager;
    NewManager(manager);
    AddProductEverywhere(manager.get());
  }
  const std::string installed = ReadConfig();
  EXPECT_NE(installed.find("<location path=\"WebSite1\">"), std::string::npos);
  EXPECT_NE(installed.find(
                "<add name=\"QuaverModule\" image=\"C:\\Quaver\\quaver.dll\" lockItem=\"true\" />"),
            std::string::npos);
  {
    Ref<IAppHostWritableAdminManager> manager;
    NewManager(manager);
    RemoveProductEverywhere(manager.get());
  }
  EXPECT_EQ(ReadConfig(), *original);
}

TEST_F(AppHostFileTest, NewLocationTakesTheFilesIndentationAndLineEnds) {
  WriteConfig(
      "<configuration>\r\n"
      "  <configSections>\r\n"
      "    <sectionGroup name=\"system.webServer\">\r\n"
      "      <section name=\"modules\" />\r\n"
      "    </sectionGroup>\r\n"
      "  </configSections>\r\n"
      "</configuration>\r\n");
  Ref<IAppHostWritableAdminManager> manager;
  NewManager(manager);
  Ref<IAppHostElement> modules;
  ASSERT_EQ(SiteSection(manager.get(), "system.webServer/modules", "Shop", modules), S_OK);
  ASSERT_EQ(AddEntry(modules.get(), {{"name", "QuaverModule"}}), S_OK);
  ASSERT_EQ(manager->CommitChanges(), S_OK);
  EXPECT_EQ(ReadConfig(),
            "<configuration>\r\n"
            "  <configSections>\r\n"
            "    <sectionGroup name=\"system.webServer\">\r\n"
            "      <section name=\"modules\" />\r\n"
            "    </sectionGroup>\r\n"
            "  </configSections>\r\n"
            "  <location path=\"Shop\">\r\n"
            "    <system.webServer>\r\n"
            "      <modules>\r\n"
            "        <add name=\"QuaverModule\" />\r\n"
            "      </modules>\r\n"
            "    </system.webServer>\r\n"
            "  </location>\r\n"
            "</configuration>\r\n");
}

TEST_F(AppHostFileTest, ChangesWaitForCommit) {
  WriteConfig(kSmallConfig);
  Ref<IAppHostWritableAdminManager> writer;
  NewManager(writer);
  Ref<IAppHostElement> filters;
  ASSERT_EQ(Section(writer.get(), "system.webServer/isapiFilters", kAppHostPath, filters), S_OK);
  ASSERT_EQ(RemoveEntry(filters.get(), "name", "Legacy"), S_OK);
  EXPECT_EQ(EntryTexts(filters.get(), "name"), std::vector<std::string>{});
  EXPECT_EQ(ReadConfig(), kSmallConfig);

  Ref<IAppHostWritableAdminManager> reader;
  NewManager(reader);
  Ref<IAppHostElement> seen;
  ASSERT_EQ(Section(reader.get(), "system.webServer/isapiFilters", kAppHostPath, seen), S_OK);
  EXPECT_EQ(EntryTexts(seen.get(), "name"), std::vector<std::string>{"Legacy"});

  ASSERT_EQ(writer->CommitChanges(), S_OK);
  EXPECT_EQ(ReadConfig().find("Legacy\" path"), std::string::npos);
  Ref<IAppHostWritableAdminManager> later;
  NewManager(later);
  Ref<IAppHostElement> after;
  ASSERT_EQ(Section(later.get(), "system.webServer/isapiFilters", kAppHostPath, after), S_OK);
  EXPECT_EQ(EntryTexts(after.get(), "name"), std::vector<std::string>{});
}

TEST_F(AppHostFileTest, CommitWithoutChangesWritesNothing) {
  WriteConfig(kSmallConfig);
  Ref<IAppHostWritableAdminManager> manager;
  NewManager(manager);
  Ref<IAppHostElement> modules;
  ASSERT_EQ(Section(manager.get(), "system.webServer/modules", kAppHostPath, modules), S_OK);
  EXPECT_EQ(Text(modules.get(), "runAllManagedModulesForAllRequests"), "false");
  // Someone else changes the file meanwhile; an empty commit must not undo it.
  WriteConfig(std::string(kSmallConfig) + "<!-- edited -->\n");
  EXPECT_EQ(manager->CommitChanges(), S_OK);
  EXPECT_EQ(ReadConfig(), std::string(kSmallConfig) + "<!-- edited -->\n");
}

TEST_F(AppHostFileTest, CommitRefusesToOverwriteAnotherWritersChange) {
  WriteConfig(kSmallConfig);
  Ref<IAppHostWritableAdminManager> manager;
  NewManager(manager);
  Ref<IAppHostElement> filters;
  ASSERT_EQ(Section(manager.get(), "system.webServer/isapiFilters", kAppHostPath, filters), S_OK);
  ASSERT_EQ(RemoveEntry(filters.get(), "name", "Legacy"), S_OK);
  const std::string theirs = std::string(kSmallConfig) + "<!-- theirs -->\n";
  WriteConfig(theirs);
  EXPECT_EQ(manager->CommitChanges(), HRESULT_FROM_WIN32(ERROR_FILE_INVALID));
  EXPECT_EQ(ReadConfig(), theirs);
}

TEST_F(AppHostFileTest, CommitReplacesTheFileWhole) {
  WriteConfig(kSmallConfig);
  Ref<IAppHostWritableAdminManager> manager;
  NewManager(manager);
  Ref<IAppHostElement> modules;
  ASSERT_EQ(Section(manager.get(), "system.webServer/globalModules", kAppHostPath, modules), S_OK);
  ASSERT_EQ(
      AddEntry(modules.get(), {{"name", "QuaverModule"}, {"image", "C:\\Quaver\\quaver.dll"}}),
      S_OK);
  ASSERT_EQ(manager->CommitChanges(), S_OK);
  const auto folder = image.Root() / "drive_c/Windows/System32/inetsrv/config";
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(names, std::vector<std::string>{"applicationHost.config"});
  const std::string written = ReadConfig();
  const std::string line =
      "            <add name=\"QuaverModule\" image=\"C:\\Quaver\\quaver.dll\" />\n";
  const size_t at = written.find(line);
  ASSERT_NE(at, std::string::npos) << written;
  EXPECT_EQ(written.substr(0, at) + written.substr(at + line.size()), kSmallConfig);
}

}  // namespace
}  // namespace quaver::test
