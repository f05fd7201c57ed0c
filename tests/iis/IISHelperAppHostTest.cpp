// The application-host primitives: connecting, configuration paths,
// sections, finding and creating entries, properties, saving and backups.
#include <gtest/gtest.h>

#include "tests/iis/AppHostFixture.h"

namespace quaver::test {
namespace {

VARIANT TextValue(const char16_t* text) {
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_BSTR;
  value.bstrVal = SysAllocString(text);
  return value;
}

VARIANT BoolValue(bool flag) {
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_BOOL;
  value.boolVal = flag ? VARIANT_TRUE : VARIANT_FALSE;
  return value;
}

class IISHelperAppHost : public AppHostFixture {};

TEST_F(IISHelperAppHost, ConnectsWritableOrReadOnly) {
  ASSERT_TRUE(iis.Connect(IISHelper::ConnectAppHost | IISHelper::ConnectReadOnly));
  EXPECT_EQ(iis.GetConnections(), IISHelper::ConnectAppHost);
  // Read-only: sections open, the file and the commit path do not.
  EXPECT_FALSE(iis.OpenConfigPath(kAppHostPath));
  ASSERT_TRUE(iis.SetConfigPath(kAppHostPath));
  ASSERT_TRUE(iis.OpenSection(u"system.webServer/modules", u""));
  EXPECT_TRUE(iis.FindElement(u"IsapiModule", u"add", u"name", 0));
  EXPECT_FALSE(iis.ClearElement());
  EXPECT_FALSE(iis.Save(IISHelper::SaveAppHost));

  ASSERT_TRUE(iis.Connect(IISHelper::ConnectAppHost));
  EXPECT_EQ(iis.GetConnections(), IISHelper::ConnectAppHost);
  EXPECT_TRUE(iis.OpenConfigPath(kAppHostPath));
  EXPECT_TRUE(iis.Save(IISHelper::SaveAppHost));
  EXPECT_TRUE(iis.Disconnect(IISHelper::ConnectAppHost));
  EXPECT_EQ(iis.GetConnections(), 0u);
  EXPECT_FALSE(iis.OpenSection(u"system.webServer/modules", u""));
}

TEST(IISHelperAppHostConnect, ServerWithoutApplicationHostConnectsNothing) {
  IisTestImage image(7, false);
  IISHelper iis;
  EXPECT_FALSE(iis.Connect(IISHelper::ConnectAppHost));
  EXPECT_EQ(iis.GetConnections(), 0u);
}

// A read-only connection cannot save, and the metabase is not saved either:
// its open key is still open afterwards.
TEST(IISHelperAppHostConnect, SaveWithReadOnlyConnectionSavesNothing) {
  IisTestImage image(7, true);
  image.WriteDefaultMetabase();
  image.InstallAppHost(kServerConfig);
  IISHelper iis;
  ASSERT_TRUE(iis.Connect(IISHelper::ConnectMetabase));
  ASSERT_TRUE(iis.Connect(IISHelper::ConnectAppHost | IISHelper::ConnectReadOnly));
  EXPECT_EQ(iis.GetConnections(), IISHelper::ConnectMetabase | IISHelper::ConnectAppHost);
  ASSERT_TRUE(iis.OpenKey(u"/LM/W3SVC"));
  EXPECT_FALSE(iis.Save(IISHelper::SaveAll));
  EXPECT_FALSE(iis.Save(IISHelper::SaveMetabase));
  EXPECT_TRUE(iis.CloseKey());
}

TEST_F(IISHelperAppHost, OpenSectionJoinsTheLocationToTheConfigurationPath) {
  struct Case {
    const char16_t* configPath;
    const char16_t* relative;
    Names handlers;  // the first two handlers the location sees
  };
  const Names server{"PHP-cgi", "ISAPI-dll"};
  const Names shop{"ShopPhp", "ShopWildcard"};
  const Case cases[] = {
      {kAppHostPath, u"", server},
      {kAppHostPath, u"Shop", shop},
      {kAppHostPath, u"/Shop", shop},
      {u"MACHINE/WEBROOT/APPHOST/", u"Shop", shop},
      {u"MACHINE/WEBROOT/APPHOST/", u"", server},
  };
  ASSERT_TRUE(iis.Connect(IISHelper::ConnectAppHost));
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf8(c.configPath) + " + " + Utf8(c.relative));
    ASSERT_TRUE(iis.SetConfigPath(c.configPath));
    ASSERT_TRUE(iis.OpenSection(u"system.webServer/handlers", c.relative));
    Names seen;
    for (uint32_t i = 0; i < 2; ++i) {
      ASSERT_TRUE(iis.SelectElement(i));
      seen.push_back(ElementText(iis, u"name"));
    }
    EXPECT_EQ(seen, c.handlers);
  }
  EXPECT_FALSE(iis.OpenSection(u"system.webServer/noSuchSection", u""));
  EXPECT_FALSE(iis.FindElement(u"IsapiModule", u"add", u"name", 0));
}

TEST_F(IISHelperAppHost, FindElementCountsOnlyExactMatchesOfTheTag) {
  Open();
  ASSERT_TRUE(iis.OpenSection(u"system.webServer/handlers", u""));
  struct Case {
    const char16_t* value;
    const char16_t* tag;
    const char16_t* attribute;
    uint32_t ordinal;
    const char* found;  // name of the entry, or null for none
  };
  const Case cases[] = {
      {u"*.php", u"add", u"path", 0, "PHP-cgi"},
      {u"*.php", u"add", u"path", 1, "PHP-FastCGI"},
      {u"*.php", u"add", u"path", 2, nullptr},
      {u"*.PHP", u"add", u"path", 0, nullptr},  // values compare exactly
      {u"*.ph", u"add", u"path", 0, nullptr},   // and whole
      {u"*.php", u"ADD", u"path", 0, nullptr},  // tags too
      {u"*.php", u"remove", u"path", 0, nullptr},
      {u"*", u"add", u"noSuchAttribute", 0, nullptr},
      {u"Script", u"add", u"requireAccess", 0, "PHP-cgi"},  // a default counts
      {u"Script", u"add", u"requireAccess", 3, "QuaverWildcard"},
      {u"Script", u"add", u"requireAccess", 4, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf8(c.value) + " ordinal " + std::to_string(c.ordinal));
    ASSERT_TRUE(iis.SelectElement(5));  // StaticFile: a miss must leave it
    EXPECT_EQ(iis.FindElement(c.value, c.tag, c.attribute, c.ordinal), c.found != nullptr);
    EXPECT_EQ(ElementText(iis, u"name"), c.found ? c.found : "StaticFile");
  }
  // The websites' collection holds "site" entries.
  ASSERT_TRUE(iis.OpenSection(u"system.applicationHost/sites", u""));
  EXPECT_FALSE(iis.FindElement(u"Shop", u"add", u"name", 0));
  EXPECT_TRUE(iis.FindElement(u"Shop", u"site", u"name", 0));
  // A section without a collection has nothing to find.
  ASSERT_TRUE(iis.OpenSection(u"system.applicationHost/sites", u""));
  ASSERT_TRUE(iis.EnterChildElement(u"siteDefaults"));
  EXPECT_FALSE(iis.FindElement(u"x", u"add", u"name", 0));
}

TEST_F(IISHelperAppHost, SelectAndCountStayWithinTheCollection) {
  Open();
  uint32_t count = 0;
  EXPECT_FALSE(iis.GetElementCount(count));
  EXPECT_FALSE(iis.SelectElement(0));
  ASSERT_TRUE(iis.OpenSection(u"system.webServer/globalModules", u""));
  ASSERT_TRUE(iis.GetElementCount(count));
  EXPECT_EQ(count, 3u);
  EXPECT_TRUE(iis.SelectElement(2));
  EXPECT_EQ(ElementText(iis, u"name"), "FastCgiModule");
  EXPECT_FALSE(iis.SelectElement(3));
  EXPECT_EQ(ElementText(iis, u"name"), "FastCgiModule");
}

// Into a website's root application and out again through a saved section.
TEST_F(IISHelperAppHost, EnteringElementsAndReturningToASavedSection) {
  Open();
  ASSERT_TRUE(iis.OpenSection(u"system.applicationHost/sites", u""));
  IAppHostElement* sites = nullptr;
  ASSERT_TRUE(iis.GetSection(sites));
  EXPECT_FALSE(iis.EnterElement());
  ASSERT_TRUE(iis.FindElement(u"Shop", u"site", u"name", 0));
  ASSERT_TRUE(iis.EnterElement());
  CSPWString name;
  EXPECT_FALSE(iis.GetElementName(name));
  ASSERT_TRUE(iis.GetSectionName(name));
  EXPECT_EQ(Utf8(name), "site");
  EXPECT_EQ(ElementText(iis, u"id"), "<unreadable>");
  CSPWString id;
  ASSERT_TRUE(iis.GetSectionPropertyString(u"id", id));
  EXPECT_EQ(Utf8(id), "10");
  VARIANT value;
  VariantInit(&value);
  ASSERT_TRUE(iis.GetSectionProperty(u"id", value));
  EXPECT_EQ(value.vt, VT_UI4);
  EXPECT_EQ(value.ulVal, 10u);
  VariantClear(&value);
  ASSERT_TRUE(iis.EnterChildElement(u"limits"));
  ASSERT_TRUE(iis.GetSectionName(name));
  EXPECT_EQ(Utf8(name), "limits");
  EXPECT_FALSE(iis.EnterChildElement(u"noSuchChild"));

  ASSERT_TRUE(iis.SetSection(sites));
  sites->Release();
  ASSERT_TRUE(iis.GetSectionName(name));
  EXPECT_EQ(Utf8(name), "sites");
  ASSERT_TRUE(iis.FindElement(u"Default Web Site", u"site", u"name", 0));
  IAppHostElement* site = nullptr;
  ASSERT_TRUE(iis.GetElement(site));
  ASSERT_TRUE(iis.FindElement(u"Blog", u"site", u"name", 0));
  ASSERT_TRUE(iis.SetElement(site));
  site->Release();
  EXPECT_EQ(ElementText(iis, u"id"), "1");
  EXPECT_FALSE(iis.SetSection(nullptr));
  EXPECT_FALSE(iis.SetElement(nullptr));
}

TEST_F(IISHelperAppHost, CreatedEntryJoinsOnlyWhenAppended) {
  Open();
  EXPECT_FALSE(iis.AppendNewElement());
  ASSERT_TRUE(iis.OpenSection(u"system.webServer/globalModules", u""));
  ASSERT_TRUE(iis.CreateElement(u"QuaverModule"));
  EXPECT_EQ(ElementText(iis, u"name"), "QuaverModule");
  CSPWString tag;
  ASSERT_TRUE(iis.GetElementName(tag));
  EXPECT_EQ(Utf8(tag), "add");
  VARIANT image = TextValue(u"C:\\Quaver\\iquaver.dll");
  ASSERT_TRUE(iis.SetElementProperty(u"image", image));
  VariantClear(&image);
  uint32_t count = 0;
  ASSERT_TRUE(iis.GetElementCount(count));
  EXPECT_EQ(count, 3u);
  ASSERT_TRUE(iis.AppendNewElement());
  EXPECT_FALSE(iis.AppendNewElement());  // once only
  ASSERT_TRUE(iis.GetElementCount(count));
  EXPECT_EQ(count, 4u);
  ASSERT_TRUE(iis.SelectElement(3));
  EXPECT_EQ(ElementText(iis, u"image"), "C:\\Quaver\\iquaver.dll");
  // A found entry is not new.
  ASSERT_TRUE(iis.FindElement(u"IsapiModule", u"add", u"name", 0));
  EXPECT_FALSE(iis.AppendNewElement());
  // Without a collection nothing can be created.
  ASSERT_TRUE(iis.OpenSection(u"system.applicationHost/sites", u""));
  ASSERT_TRUE(iis.EnterChildElement(u"siteDefaults"));
  EXPECT_FALSE(iis.CreateElement(u"x"));
}

TEST_F(IISHelperAppHost, ClearedEntryLeavesTheSavedFile) {
  Open();
  ASSERT_TRUE(iis.OpenSection(u"system.webServer/globalModules", u""));
  EXPECT_FALSE(iis.ClearElement());
  ASSERT_TRUE(iis.FindElement(u"IsapiModule", u"add", u"name", 0));
  ASSERT_TRUE(iis.ClearElement());
  EXPECT_FALSE(iis.ClearElement());  // it was released
  Save();
  EXPECT_EQ(Entries("system.webServer/globalModules", ""),
            (Names{"StaticFileModule", "FastCgiModule"}));
}

TEST_F(IISHelperAppHost, MetadataOfElementsAndSections) {
  Open();
  ASSERT_TRUE(iis.OpenSection(u"system.webServer/modules", u""));
  ASSERT_TRUE(iis.FindElement(u"IsapiModule", u"add", u"name", 0));
  VARIANT value;
  VariantInit(&value);
  ASSERT_TRUE(iis.GetElementMetadata(u"lockItem", value));
  EXPECT_EQ(value.vt, VT_BOOL);
  EXPECT_EQ(value.boolVal, VARIANT_FALSE);
  ASSERT_TRUE(iis.SetElementMetadata(u"lockItem", BoolValue(true)));
  ASSERT_TRUE(iis.GetElementMetadata(u"lockItem", value));
  EXPECT_EQ(value.boolVal, VARIANT_TRUE);
  EXPECT_FALSE(iis.GetSectionMetadata(u"noSuchMetadata", value));
  ASSERT_TRUE(iis.SetSectionProperty(u"runAllManagedModulesForAllRequests", BoolValue(true)));
  CSPWString text;
  ASSERT_TRUE(iis.GetSectionPropertyString(u"runAllManagedModulesForAllRequests", text));
  EXPECT_EQ(Utf8(text), "true");
  EXPECT_FALSE(iis.GetElementPropertyString(u"noSuchAttribute", text));
  Save();
  EXPECT_TRUE(Locked("system.webServer/modules", "", "IsapiModule"));
}

// The configuration file's half of a backup is a copy beside the file,
// named after its path, the backup name and ".back".
TEST_F(IISHelperAppHost, BackupCopiesTheConfigurationFile) {
  const std::string copy = std::string(kAppHostConfigFile) + ".Quaver Setup Temp Backup.back";
  ASSERT_TRUE(iis.Connect(IISHelper::ConnectAppHost));
  // Without the configuration file there is nothing to copy.
  ASSERT_TRUE(iis.SetConfigPath(kAppHostPath));
  EXPECT_TRUE(iis.Backup(u"Quaver Setup Temp Backup"));
  EXPECT_EQ(image.ReadHostFile(copy), "");

  ASSERT_TRUE(iis.OpenConfigPath(kAppHostPath));
  ASSERT_TRUE(iis.Backup(u"Quaver Setup Temp Backup"));
  EXPECT_EQ(image.ReadHostFile(copy), kServerConfig);
  // A second backup of the same name replaces the copy.
  ASSERT_TRUE(iis.RemoveGlobalModule(u"IsapiModule"));
  Save();
  const std::string changed = image.AppHostConfig();
  ASSERT_NE(changed, kServerConfig);
  ASSERT_TRUE(iis.Backup(u"Quaver Setup Temp Backup"));
  EXPECT_EQ(image.ReadHostFile(copy), changed);

  image.WriteAppHostConfig("<configuration />");
  ASSERT_TRUE(iis.Restore(u"Quaver Setup Temp Backup"));
  EXPECT_EQ(image.AppHostConfig(), changed);
  ASSERT_TRUE(iis.DeleteBackup(u"Quaver Setup Temp Backup"));
  EXPECT_FALSE(std::filesystem::exists(image.Root() / copy));
  // Nothing to restore or delete any more; the file stays as it was.
  EXPECT_FALSE(iis.Restore(u"Quaver Setup Temp Backup"));
  EXPECT_EQ(image.AppHostConfig(), changed);
  EXPECT_FALSE(iis.DeleteBackup(u"Quaver Setup Temp Backup"));
}

TEST_F(IISHelperAppHost, EveryPrimitiveNeedsTheApplicationHost) {
  CSPList<CSPWString> paths;
  uint32_t count = 0;
  CSPWString text;
  VARIANT value;
  VariantInit(&value);
  EXPECT_FALSE(iis.SetConfigPath(kAppHostPath));
  EXPECT_FALSE(iis.OpenConfigPath(kAppHostPath));
  EXPECT_FALSE(iis.GetLocationPaths(paths));
  EXPECT_FALSE(iis.OpenSection(u"system.webServer/modules", u""));
  EXPECT_FALSE(iis.GetElementCount(count));
  EXPECT_FALSE(iis.CreateElement(u"x"));
  EXPECT_FALSE(iis.GetSectionName(text));
  EXPECT_FALSE(iis.GetSectionProperty(u"x", value));
  EXPECT_FALSE(iis.Save(IISHelper::SaveAppHost));
  EXPECT_FALSE(iis.Backup(u"b"));
  Open();
  // Location walks need the configuration file.
  ASSERT_TRUE(iis.SetConfigPath(kAppHostPath));
  EXPECT_FALSE(iis.GetLocationPaths(paths));
  EXPECT_FALSE(iis.RemoveModuleEverywhere(u"IsapiModule"));
  ASSERT_TRUE(iis.OpenConfigPath(kAppHostPath));
  ASSERT_TRUE(iis.GetLocationPaths(paths));
  ASSERT_EQ(paths.GetCount(), 2u);
  EXPECT_EQ(Utf8(paths.GetAt(0)), "");
  EXPECT_EQ(Utf8(paths.GetAt(1)), "Shop");
  // Appends to what the list holds.
  ASSERT_TRUE(iis.GetLocationPaths(paths));
  EXPECT_EQ(paths.GetCount(), 4u);
}

}  // namespace
}  // namespace quaver::test
