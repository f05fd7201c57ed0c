// How a website sees collections it inherits from the server level, and
// what changing them at the website writes.
#include <gtest/gtest.h>

#include "tests/platform/AppHostTestSupport.h"

namespace quaver::test {
namespace {

using Names = std::vector<std::string>;

class AppHostMergeTest : public AppHostTest {
 protected:
  void SetUp() override {
    WriteConfig(kSmallConfig);
    NewManager(manager);
  }

  Names At(std::string_view section, std::string_view site, std::string_view attribute = "name") {
    Ref<IAppHostElement> element;
    EXPECT_EQ(SiteSection(manager.get(), section, site, element), S_OK);
    return element ? EntryTexts(element.get(), attribute) : Names{"<no section>"};
  }

  Ref<IAppHostWritableAdminManager> manager;
};

TEST_F(AppHostMergeTest, WebsiteSeesInheritedEntriesInMergeOrder) {
  struct Case {
    const char* section;
    const char* site;
    Names expected;
  };
  const Case cases[] = {
      // Modules: the website's own would come after the inherited ones.
      {"system.webServer/modules", "", {"StaticFileModule", "IsapiModule"}},
      {"system.webServer/modules", "Shop", {"StaticFileModule", "IsapiModule"}},
      // Handlers: the website's own come first, so that they win.
      {"system.webServer/handlers", "", {"ISAPI-dll", "StaticFile"}},
      {"system.webServer/handlers", "Shop", {"PHP", "ISAPI-dll", "StaticFile"}},
      {"system.webServer/handlers", "Shop/app", {"PHP", "ISAPI-dll", "StaticFile"}},
      // "Shop" is not a prefix of "Shopping".
      {"system.webServer/handlers", "Shopping", {"ISAPI-dll", "StaticFile"}},
      // Location paths compare without regard to case.
      {"system.webServer/handlers", "SHOP", {"PHP", "ISAPI-dll", "StaticFile"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(At(c.section, c.site), c.expected) << c.section << " at '" << c.site << "'";
  }
}

TEST_F(AppHostMergeTest, SectionAttributesAreInherited) {
  Ref<IAppHostElement> handlers;
  ASSERT_EQ(SiteSection(manager.get(), "system.webServer/handlers", "Shop", handlers), S_OK);
  EXPECT_EQ(Text(handlers.get(), "accessPolicy"), "Read, Script");
}

TEST_F(AppHostMergeTest, AddingAtWebsiteGoesToItsLocation) {
  Ref<IAppHostElement> modules;
  ASSERT_EQ(SiteSection(manager.get(), "system.webServer/modules", "Shop", modules), S_OK);
  ASSERT_EQ(AddEntry(modules.get(), {{"name", "QuaverModule"}}, true), S_OK);
  EXPECT_EQ(At("system.webServer/modules", "Shop"),
            (Names{"StaticFileModule", "IsapiModule", "QuaverModule"}));
  EXPECT_EQ(At("system.webServer/modules", ""), (Names{"StaticFileModule", "IsapiModule"}));
  EXPECT_EQ(At("system.webServer/modules", "Default Web Site"),
            (Names{"StaticFileModule", "IsapiModule"}));
  ASSERT_EQ(manager->CommitChanges(), S_OK);
  EXPECT_NE(ReadConfig().find("    <location path=\"Shop\">\n"
                              "        <system.webServer>\n"
                              "            <handlers>\n"
                              "                <add name=\"PHP\" path=\"*.php\" verb=\"GET,POST\" "
                              "modules=\"FastCgiModule\" "
                              "scriptProcessor=\"C:\\PHP\\php-cgi.exe\" />\n"
                              "            </handlers>\n"
                              "            <modules>\n"
                              "                <add name=\"QuaverModule\" lockItem=\"true\" />\n"
                              "            </modules>\n"
                              "        </system.webServer>\n"
                              "    </location>\n"),
            std::string::npos)
      << ReadConfig();
}

TEST_F(AppHostMergeTest, AddingInheritedKeyAtWebsiteIsDuplicate) {
  Ref<IAppHostElement> modules;
  ASSERT_EQ(SiteSection(manager.get(), "system.webServer/modules", "Shop", modules), S_OK);
  EXPECT_EQ(AddEntry(modules.get(), {{"name", "staticfilemodule"}}),
            HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(manager->CommitChanges(), S_OK);
  EXPECT_EQ(ReadConfig(), kSmallConfig);
}

TEST_F(AppHostMergeTest, LockingAlreadyLockedInheritedEntryWritesNothing) {
  Ref<IAppHostElement> modules;
  ASSERT_EQ(SiteSection(manager.get(), "system.webServer/modules", "Shop", modules), S_OK);
  Ref<IAppHostElement> module;
  ASSERT_EQ(FindEntry(modules.get(), "name", "IsapiModule", module), S_OK);
  Bstr lockItem(u"lockItem");
  ASSERT_EQ(module->SetMetadata(lockItem.get(), BoolVariant(true)), S_OK);
  ASSERT_EQ(manager->CommitChanges(), S_OK);
  EXPECT_EQ(ReadConfig(), kSmallConfig);
}

TEST_F(AppHostMergeTest, DeletingInheritedEntryWritesRemoveAtWebsiteOnly) {
  Ref<IAppHostElement> modules;
  ASSERT_EQ(SiteSection(manager.get(), "system.webServer/modules", "Shop", modules), S_OK);
  ASSERT_EQ(RemoveEntry(modules.get(), "name", "IsapiModule"), S_OK);
  EXPECT_EQ(At("system.webServer/modules", "Shop"), Names{"StaticFileModule"});
  EXPECT_EQ(At("system.webServer/modules", ""), (Names{"StaticFileModule", "IsapiModule"}));
  ASSERT_EQ(manager->CommitChanges(), S_OK);
  EXPECT_NE(ReadConfig().find("            <modules>\n"
                              "                <remove name=\"IsapiModule\" />\n"
                              "            </modules>\n"),
            std::string::npos)
      << ReadConfig();
}

TEST_F(AppHostMergeTest, ChangingInheritedEntryCopiesItDown) {
  Ref<IAppHostElement> handlers;
  ASSERT_EQ(SiteSection(manager.get(), "system.webServer/handlers", "Shop", handlers), S_OK);
  Ref<IAppHostElement> handler;
  ASSERT_EQ(FindEntry(handlers.get(), "name", "StaticFile", handler), S_OK);
  ASSERT_EQ(SetText(handler.get(), "verb", "GET,HEAD"), S_OK);
  // A second change through the same object goes to the same copy.
  ASSERT_EQ(SetText(handler.get(), "requireAccess", "Read"), S_OK);
  EXPECT_EQ(At("system.webServer/handlers", "Shop"), (Names{"PHP", "StaticFile", "ISAPI-dll"}));
  EXPECT_EQ(At("system.webServer/handlers", "Shop", "verb"), (Names{"GET,POST", "GET,HEAD", "*"}));
  EXPECT_EQ(At("system.webServer/handlers", "", "verb"), (Names{"*", "*"}));
  ASSERT_EQ(manager->CommitChanges(), S_OK);
  EXPECT_NE(
      ReadConfig().find("                <remove name=\"StaticFile\" />\n"
                        "                <add name=\"StaticFile\" path=\"*\" verb=\"GET,HEAD\" "
                        "modules=\"StaticFileModule\" requireAccess=\"Read\" />\n"),
      std::string::npos)
      << ReadConfig();
}

TEST_F(AppHostMergeTest, ClearAtWebsiteDropsEverythingInherited) {
  Ref<IAppHostElement> handlers;
  ASSERT_EQ(SiteSection(manager.get(), "system.webServer/handlers", "Shop", handlers), S_OK);
  Ref<IAppHostElementCollection> collection;
  ASSERT_EQ(Entries(handlers.get(), collection), S_OK);
  ASSERT_EQ(collection->Clear(), S_OK);
  EXPECT_EQ(At("system.webServer/handlers", "Shop"), Names{});
  EXPECT_EQ(At("system.webServer/handlers", ""), (Names{"ISAPI-dll", "StaticFile"}));
  ASSERT_EQ(AddEntry(handlers.get(), {{"name", "Own"}, {"path", "*.own"}, {"verb", "*"}}), S_OK);
  EXPECT_EQ(At("system.webServer/handlers", "Shop"), Names{"Own"});
  ASSERT_EQ(manager->CommitChanges(), S_OK);
  EXPECT_NE(ReadConfig().find("            <handlers>\n"
                              "                <clear />\n"
                              "                <add name=\"Own\" path=\"*.own\" verb=\"*\" />\n"
                              "            </handlers>\n"),
            std::string::npos)
      << ReadConfig();
}

TEST_F(AppHostMergeTest, RemoveAndClearInTheFileAreHonoured) {
  WriteConfig(std::string(kSmallConfig)
                  .replace(std::string(kSmallConfig).find("    <location path=\"Shop\">"), 0,
                           "    <location path=\"Default Web Site\">\n"
                           "        <system.webServer>\n"
                           "            <modules>\n"
                           "                <remove name=\"STATICFILEMODULE\" />\n"
                           "                <add name=\"Own\" />\n"
                           "            </modules>\n"
                           "            <handlers>\n"
                           "                <add name=\"Early\" path=\"*.e\" verb=\"*\" />\n"
                           "                <clear />\n"
                           "                <add name=\"Late\" path=\"*.l\" verb=\"*\" />\n"
                           "            </handlers>\n"
                           "        </system.webServer>\n"
                           "    </location>\n"));
  NewManager(manager);
  EXPECT_EQ(At("system.webServer/modules", "Default Web Site"), (Names{"IsapiModule", "Own"}));
  EXPECT_EQ(At("system.webServer/handlers", "Default Web Site"), Names{"Late"});
}

// Keys match without regard to case, also beyond ASCII; a repeated key
// leaves the later entry, at its own place.
TEST_F(AppHostMergeTest, RepeatedAndRemovedKeysInOneLevel) {
  struct Case {
    const char* modules;  // the website's own directives
    Names expected;
  };
  const Case cases[] = {
      {"<add name=\"A\" /><add name=\"B\" /><add name=\"a\" />",
       {"StaticFileModule", "IsapiModule", "B", "a"}},
      {"<add name=\"X\" /><remove name=\"x\" /><add name=\"X\" /><add name=\"Y\" />",
       {"StaticFileModule", "IsapiModule", "X", "Y"}},
      {"<remove name=\"Missing\" /><add name=\"Own\" />",
       {"StaticFileModule", "IsapiModule", "Own"}},
      {"<add name=\"isapimodule\" />", {"StaticFileModule", "isapimodule"}},
      {"<add name=\"Own\" /><clear /><add name=\"OWN\" /><add name=\"Own2\" />", {"OWN", "Own2"}},
      {"<add name=\"Modül\" /><add name=\"MODÜL\" />",
       {"StaticFileModule", "IsapiModule", "MODÜL"}},
  };
  for (const auto& c : cases) {
    WriteConfig(std::string(kSmallConfig)
                    .replace(std::string(kSmallConfig).find("    <location path=\"Shop\">"), 0,
                             std::string("    <location path=\"Default Web Site\">\n"
                                         "        <system.webServer>\n            <modules>") +
                                 c.modules +
                                 "</modules>\n        </system.webServer>\n    </location>\n"));
    NewManager(manager);
    EXPECT_EQ(At("system.webServer/modules", "Default Web Site"), c.expected) << c.modules;
  }
}

TEST_F(AppHostMergeTest, DeletingOwnEntryKeepsRemoveOfStillInheritedKey) {
  Ref<IAppHostElement> modules;
  ASSERT_EQ(SiteSection(manager.get(), "system.webServer/modules", "Shop", modules), S_OK);
  Ref<IAppHostElement> module;
  ASSERT_EQ(FindEntry(modules.get(), "name", "IsapiModule", module), S_OK);
  Bstr lockItem(u"lockItem");
  ASSERT_EQ(module->SetMetadata(lockItem.get(), BoolVariant(false)), S_OK);  // copied down
  ASSERT_EQ(module->Clear(), S_OK);
  // The website still must not get the server's IsapiModule back.
  EXPECT_EQ(At("system.webServer/modules", "Shop"), Names{"StaticFileModule"});
}

TEST_F(AppHostMergeTest, RemovingEverywhereServerFirstLeavesNoDanglingRemove) {
  Ref<IAppHostElement> siteModules;
  ASSERT_EQ(SiteSection(manager.get(), "system.webServer/modules", "Shop", siteModules), S_OK);
  Ref<IAppHostElement> inherited;
  ASSERT_EQ(FindEntry(siteModules.get(), "name", "IsapiModule", inherited), S_OK);
  ASSERT_EQ(SetText(inherited.get(), "preCondition", "bitness64"), S_OK);  // remove + add at Shop
  ASSERT_EQ(manager->CommitChanges(), S_OK);
  ASSERT_NE(ReadConfig().find("<remove name=\"IsapiModule\" />"), std::string::npos);

  Ref<IAppHostWritableAdminManager> uninstall;
  NewManager(uninstall);
  for (const char* site : {"", "Shop"}) {
    Ref<IAppHostElement> modules;
    ASSERT_EQ(SiteSection(uninstall.get(), "system.webServer/modules", site, modules), S_OK);
    ASSERT_EQ(RemoveEntry(modules.get(), "name", "IsapiModule"), S_OK) << site;
  }
  ASSERT_EQ(uninstall->CommitChanges(), S_OK);
  const std::string text = ReadConfig();
  EXPECT_EQ(text.find("<add name=\"IsapiModule\" lockItem"), std::string::npos) << text;
  EXPECT_EQ(text.find("bitness64"), std::string::npos) << text;
  EXPECT_EQ(text.find("<remove"), std::string::npos) << text;
  EXPECT_EQ(text.find("<modules>\n                </modules>"), std::string::npos) << text;
}

TEST_F(AppHostMergeTest, ChildElementsMergeLikeSections) {
  Ref<IAppHostElement> document;
  ASSERT_EQ(SiteSection(manager.get(), "system.webServer/defaultDocument", "Shop", document), S_OK);
  Ref<IAppHostElement> files;
  ASSERT_EQ(Child(document.get(), "files", files), S_OK);
  EXPECT_EQ(EntryTexts(files.get(), "value"), Names{"index.htm"});
  ASSERT_EQ(AddEntry(files.get(), {{"value", "shop.php"}}), S_OK);
  EXPECT_EQ(EntryTexts(files.get(), "value"), (Names{"index.htm", "shop.php"}));
  Ref<IAppHostElement> serverDocument;
  ASSERT_EQ(SiteSection(manager.get(), "system.webServer/defaultDocument", "", serverDocument),
            S_OK);
  Ref<IAppHostElement> serverFiles;
  ASSERT_EQ(Child(serverDocument.get(), "files", serverFiles), S_OK);
  EXPECT_EQ(EntryTexts(serverFiles.get(), "value"), Names{"index.htm"});
}

}  // namespace
}  // namespace quaver::test
