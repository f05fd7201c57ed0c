// Handler mappings, and the removal of handlers that stand for script maps
// and wildcard script maps.
#include <gtest/gtest.h>

#include "tests/iis/AppHostFixture.h"

namespace quaver::test {
namespace {

constexpr char kHandlers[] = "system.webServer/handlers";

class IISHelperHandlers : public AppHostFixture {
 protected:
  static std::string Handler(const std::string& location, const std::string& name) {
    std::string text = Attribute(kHandlers, location, name, "modules");
    for (const char* attribute : {"path", "verb", "requireAccess"}) {
      text += "|" + Attribute(kHandlers, location, name, attribute);
    }
    return text;
  }
};

TEST_F(IISHelperHandlers, EmptyPathVerbsAndAccessGetTheirDefaults) {
  Open();
  ASSERT_TRUE(iis.AddHandler(u"Quaver", u"", u"", u"", u"", u""));
  ASSERT_TRUE(
      iis.AddHandler(u"QuaverShop", u"QuaverModule", u"*.q", u"GET,POST", u"Read", u"Shop"));
  Save();
  EXPECT_EQ(Handler("", "Quaver"), "|*|*|Script");
  EXPECT_EQ(Handler("Shop", "QuaverShop"), "QuaverModule|*.q|GET,POST|Read");
  EXPECT_TRUE(Locked(kHandlers, "Shop", "QuaverShop"));
  // The empty module list is written, not left out.
  EXPECT_NE(image.AppHostConfig().find("<add name=\"Quaver\" modules=\"\" path=\"*\" verb=\"*\" "
                                       "requireAccess=\"Script\" lockItem=\"true\" />"),
            std::string::npos);
  // New entries go to the end of the location's own handlers.
  EXPECT_EQ(Entries(kHandlers, "Shop"),
            (Names{"ShopPhp", "ShopWildcard", "QuaverShop", "PHP-cgi", "ISAPI-dll", "PHP-FastCGI",
                   "BarePhp", "QuaverWildcard", "StaticFile", "Quaver"}));
}

TEST_F(IISHelperHandlers, ExistingHandlerKeepsItsPlaceAndTakesTheValues) {
  Open();
  ASSERT_TRUE(iis.AddHandler(u"ISAPI-dll", u"QuaverModule", u"*.q", u"GET", u"Execute", u""));
  Save();
  EXPECT_EQ(Entries(kHandlers, ""), (Names{"PHP-cgi", "ISAPI-dll", "PHP-FastCGI", "BarePhp",
                                           "QuaverWildcard", "StaticFile"}));
  EXPECT_EQ(Handler("", "ISAPI-dll"), "QuaverModule|*.q|GET|Execute");
}

TEST_F(IISHelperHandlers, RemovingHandlersByName) {
  Open();
  EXPECT_FALSE(iis.RemoveHandler(u"ShopPhp", u""));
  EXPECT_TRUE(iis.RemoveHandler(u"ShopPhp", u"Shop"));
  ASSERT_TRUE(iis.AddHandler(u"Quaver", u"QuaverModule", u"", u"", u"", u""));
  ASSERT_TRUE(iis.AddHandler(u"Quaver", u"QuaverModule", u"", u"", u"", u"Blog"));
  ASSERT_TRUE(iis.AddHandler(u"QuaverShop", u"QuaverModule", u"", u"", u"", u"Shop"));
  ASSERT_TRUE(iis.RemoveHandlerEverywhere(u"Quaver"));
  ASSERT_TRUE(iis.RemoveHandlerEverywhere(u"QuaverShop"));
  EXPECT_TRUE(iis.RemoveHandlerEverywhere(u"NoSuchHandler"));
  Save();
  EXPECT_EQ(Entries(kHandlers, "Shop"),
            (Names{"ShopWildcard", "PHP-cgi", "ISAPI-dll", "PHP-FastCGI", "BarePhp",
                   "QuaverWildcard", "StaticFile"}));
  EXPECT_EQ(Entries(kHandlers, "Blog"), Entries(kHandlers, ""));
}

// ".php" stands for the pattern "*.php", "php" for itself; every match goes,
// at every location, and nothing else.
TEST_F(IISHelperHandlers, ScriptMapRemovalByPathPattern) {
  struct Case {
    const char16_t* extension;
    Names server;
    Names shop;
  };
  const Case cases[] = {
      {u".php",
       {"ISAPI-dll", "BarePhp", "QuaverWildcard", "StaticFile"},
       {"ShopWildcard", "ISAPI-dll", "BarePhp", "QuaverWildcard", "StaticFile"}},
      {u"php",
       {"PHP-cgi", "ISAPI-dll", "PHP-FastCGI", "QuaverWildcard", "StaticFile"},
       {"ShopPhp", "ShopWildcard", "PHP-cgi", "ISAPI-dll", "PHP-FastCGI", "QuaverWildcard",
        "StaticFile"}},
      {u".PHP",
       {"PHP-cgi", "ISAPI-dll", "PHP-FastCGI", "BarePhp", "QuaverWildcard", "StaticFile"},
       {"ShopPhp", "ShopWildcard", "PHP-cgi", "ISAPI-dll", "PHP-FastCGI", "BarePhp",
        "QuaverWildcard", "StaticFile"}},
      // An empty extension names nothing (it would match every handler
      // without a path).
      {u"",
       {"PHP-cgi", "ISAPI-dll", "PHP-FastCGI", "BarePhp", "QuaverWildcard", "StaticFile"},
       {"ShopPhp", "ShopWildcard", "PHP-cgi", "ISAPI-dll", "PHP-FastCGI", "BarePhp",
        "QuaverWildcard", "StaticFile"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf8(c.extension));
    image.WriteAppHostConfig(kServerConfig);
    IISHelper helper;
    ASSERT_TRUE(helper.Connect(IISHelper::ConnectAppHost));
    ASSERT_TRUE(helper.OpenConfigPath(kAppHostPath));
    ASSERT_TRUE(helper.RemoveAppHostScriptMap(c.extension));
    ASSERT_TRUE(helper.Save(IISHelper::SaveAppHost));
    EXPECT_EQ(Entries(kHandlers, ""), c.server);
    EXPECT_EQ(Entries(kHandlers, "Shop"), c.shop);
  }
}

// Several matches in a row, the last entry of the collection among them:
// every one is cleared.
TEST_F(IISHelperHandlers, RemovalLoopClearsEveryMatch) {
  Open();
  for (const char16_t* name : {u"A", u"B", u"C"}) {
    ASSERT_TRUE(iis.AddHandler(name, u"CgiModule", u"*.cgi", u"", u"", u"Shop"));
  }
  ASSERT_TRUE(iis.AddHandler(u"D", u"CgiModule", u"*.cgi", u"", u"", u""));
  ASSERT_TRUE(iis.RemoveAppHostScriptMap(u".cgi"));
  Save();
  EXPECT_EQ(image.AppHostConfig(), kServerConfig);
}

TEST_F(IISHelperHandlers, WildcardRemovalNeedsTheExecutableInTheScriptProcessor) {
  struct Case {
    const char16_t* executable;
    Names server;
    Names shop;
  };
  const Names allServer{"PHP-cgi", "ISAPI-dll",      "PHP-FastCGI",
                        "BarePhp", "QuaverWildcard", "StaticFile"};
  const Case cases[] = {
      // Both wildcard entries; StaticFile ("*" without a script processor)
      // and the *.php handlers stay.
      {u"iquaver.dll",
       {"PHP-cgi", "ISAPI-dll", "PHP-FastCGI", "BarePhp", "StaticFile"},
       {"ShopPhp", "PHP-cgi", "ISAPI-dll", "PHP-FastCGI", "BarePhp", "StaticFile"}},
      {u"x64\\iquaver.dll",
       allServer,
       {"ShopPhp", "PHP-cgi", "ISAPI-dll", "PHP-FastCGI", "BarePhp", "QuaverWildcard",
        "StaticFile"}},
      {u"IQUAVER.DLL",
       allServer,
       {"ShopPhp", "ShopWildcard", "PHP-cgi", "ISAPI-dll", "PHP-FastCGI", "BarePhp",
        "QuaverWildcard", "StaticFile"}},
      {u"php-cgi.exe",
       allServer,
       {"ShopPhp", "ShopWildcard", "PHP-cgi", "ISAPI-dll", "PHP-FastCGI", "BarePhp",
        "QuaverWildcard", "StaticFile"}},
      // Empty is contained in every processor: it removes nothing.
      {u"",
       allServer,
       {"ShopPhp", "ShopWildcard", "PHP-cgi", "ISAPI-dll", "PHP-FastCGI", "BarePhp",
        "QuaverWildcard", "StaticFile"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf8(c.executable));
    image.WriteAppHostConfig(kServerConfig);
    IISHelper helper;
    ASSERT_TRUE(helper.Connect(IISHelper::ConnectAppHost));
    ASSERT_TRUE(helper.OpenConfigPath(kAppHostPath));
    ASSERT_TRUE(helper.RemoveAppHostWildcardScriptMap(c.executable));
    ASSERT_TRUE(helper.Save(IISHelper::SaveAppHost));
    EXPECT_EQ(Entries(kHandlers, ""), c.server);
    EXPECT_EQ(Entries(kHandlers, "Shop"), c.shop);
  }
}

// Matches that stay (other processors) and matches that go, interleaved.
TEST_F(IISHelperHandlers, WildcardLoopSkipsKeptMatchesAndClearsTheRest) {
  Open();
  const struct {
    const char16_t* name;
    const char16_t* processor;
  } handlers[] = {{u"W1", u"C:\\Q\\iquaver.dll"},
                  {u"W2", u"C:\\other.dll"},
                  {u"W3", u"C:\\Q2\\iquaver.dll"},
                  {u"W4", u"C:\\other2.dll"},
                  {u"W5", u"C:\\Q3\\iquaver.dll"}};
  for (const auto& handler : handlers) {
    ASSERT_TRUE(iis.AddHandler(handler.name, u"IsapiModule", u"*", u"", u"", u"Blog"));
    VARIANT processor;
    VariantInit(&processor);
    processor.vt = VT_BSTR;
    processor.bstrVal = SysAllocString(handler.processor);
    ASSERT_TRUE(iis.SetElementProperty(u"scriptProcessor", processor));
    VariantClear(&processor);
  }
  ASSERT_TRUE(iis.RemoveAppHostWildcardScriptMap(u"iquaver.dll"));
  Save();
  EXPECT_EQ(Entries(kHandlers, "Blog"),
            (Names{"W2", "W4", "PHP-cgi", "ISAPI-dll", "PHP-FastCGI", "BarePhp", "StaticFile"}));
}

TEST_F(IISHelperHandlers, WalksNeedTheConfigurationFile) {
  ASSERT_TRUE(iis.Connect(IISHelper::ConnectAppHost));
  ASSERT_TRUE(iis.SetConfigPath(kAppHostPath));
  EXPECT_TRUE(iis.AddHandler(u"Quaver", u"QuaverModule", u"", u"", u"", u""));
  EXPECT_TRUE(iis.RemoveHandler(u"Quaver", u""));
  EXPECT_FALSE(iis.RemoveHandlerEverywhere(u"StaticFile"));
  EXPECT_FALSE(iis.RemoveAppHostScriptMap(u".php"));
  EXPECT_FALSE(iis.RemoveAppHostWildcardScriptMap(u"iquaver.dll"));
}

}  // namespace
}  // namespace quaver::test
