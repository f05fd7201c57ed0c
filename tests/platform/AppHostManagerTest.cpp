// The admin managers, the configuration file and its locations: paths,
// read-only access, COM activation and the HRESULTs of bad requests.
#include <gtest/gtest.h>

#include "platform/apphost/AppHostServers.h"
#include "tests/platform/AppHostTestSupport.h"

namespace quaver::test {
namespace {

using Names = std::vector<std::string>;

class AppHostManagerTest : public AppHostTest {
 protected:
  void SetUp() override { WriteConfig(kSmallConfig); }

  static void File(IAppHostAdminManager* manager, Ref<IAppHostConfigFile>& file) {
    Ref<IAppHostConfigManager> configManager;
    ASSERT_EQ(manager->get_ConfigManager(configManager.out()), S_OK);
    Bstr path(kAppHostPath);
    ASSERT_EQ(configManager->GetConfigFile(path.get(), file.out()), S_OK);
  }

  static Names LocationPaths(IAppHostConfigFile* file) {
    Ref<IAppHostConfigLocationCollection> locations;
    EXPECT_EQ(file->get_Locations(locations.out()), S_OK);
    DWORD count = 0;
    EXPECT_EQ(locations->get_Count(&count), S_OK);
    Names paths;
    for (DWORD i = 0; i < count; ++i) {
      Ref<IAppHostConfigLocation> location;
      EXPECT_EQ(locations->get_Item(Index(i), location.out()), S_OK);
      Bstr path;
      EXPECT_EQ(location->get_Path(path.out()), S_OK);
      paths.push_back(path.utf8());
    }
    return paths;
  }
};

TEST_F(AppHostManagerTest, BadRequestsAnswerDocumentedErrors) {
  Ref<IAppHostWritableAdminManager> manager;
  NewManager(manager);
  struct Case {
    const char* section;
    const char16_t* path;
    HRESULT expected;
  };
  const Case cases[] = {
      {"system.webServer/modules", kAppHostPath, S_OK},
      {"system.webServer/modules", u"machine/webroot/apphost/Shop/", S_OK},
      {"system.webServer/noSuchSection", kAppHostPath, HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND)},
      // Known to IIS, but this file does not declare it.
      {"system.webServer/asp", kAppHostPath, HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND)},
      {"", kAppHostPath, E_INVALIDARG},
      {"system.webServer/modules", u"MACHINE/WEBROOT", HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED)},
      {"system.webServer/modules", u"WEBROOT/APPHOST", E_INVALIDARG},
      {"system.webServer/modules", u"/MACHINE/WEBROOT/APPHOST", E_INVALIDARG},
      {"system.webServer/modules", u"", E_INVALIDARG},
  };
  for (const auto& c : cases) {
    Ref<IAppHostElement> section;
    EXPECT_EQ(Hex(Section(manager.get(), c.section, c.path, section)), Hex(c.expected))
        << c.section << " at " << machine::ToUtf8(c.path);
  }
  Ref<IAppHostElement> modules;
  ASSERT_EQ(Section(manager.get(), "system.webServer/modules", kAppHostPath, modules), S_OK);
  Ref<IAppHostElementCollection> collection;
  ASSERT_EQ(Entries(modules.get(), collection), S_OK);
  Ref<IAppHostElement> entry;
  EXPECT_EQ(collection->get_Item(Index(2), entry.out()), HRESULT_FROM_WIN32(ERROR_INVALID_INDEX));
  VARIANT negative;
  VariantInit(&negative);
  negative.vt = VT_I4;
  negative.lVal = -1;
  EXPECT_EQ(collection->get_Item(negative, entry.out()), HRESULT_FROM_WIN32(ERROR_INVALID_INDEX));
  VARIANT empty;
  VariantInit(&empty);
  EXPECT_EQ(collection->get_Item(empty, entry.out()), E_INVALIDARG);
  Ref<IAppHostElement> child;
  EXPECT_EQ(Child(modules.get(), "noSuchChild", child), HRESULT_FROM_WIN32(ERROR_INVALID_INDEX));
  EXPECT_EQ(Child(modules.get(), "add", child), HRESULT_FROM_WIN32(ERROR_INVALID_INDEX));
  Ref<IAppHostProperty> property;
  EXPECT_EQ(Property(modules.get(), "noSuchProperty", property),
            HRESULT_FROM_WIN32(ERROR_INVALID_INDEX));
  Bstr unknown(u"noSuchMetadata");
  VARIANT value;
  EXPECT_EQ(modules->GetMetadata(unknown.get(), &value), HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED));
}

TEST_F(AppHostManagerTest, ElementsWithoutCollectionOrChildrenAnswerNull) {
  Ref<IAppHostWritableAdminManager> manager;
  NewManager(manager);
  Ref<IAppHostElement> pools;
  ASSERT_EQ(Section(manager.get(), "system.applicationHost/applicationPools", kAppHostPath, pools),
            S_OK);
  Ref<IAppHostElement> defaults;
  ASSERT_EQ(Child(pools.get(), "applicationPoolDefaults", defaults), S_OK);
  Ref<IAppHostElement> processModel;
  ASSERT_EQ(Child(defaults.get(), "processModel", processModel), S_OK);
  Ref<IAppHostElementCollection> collection;
  EXPECT_EQ(processModel->get_Collection(collection.out()), S_OK);
  EXPECT_FALSE(collection);
  Ref<IAppHostChildElementCollection> children;
  EXPECT_EQ(processModel->get_ChildElements(children.out()), S_OK);
  EXPECT_FALSE(children);
}

TEST_F(AppHostManagerTest, MissingOrBrokenFileIsReportedOnFirstUse) {
  struct Case {
    std::optional<std::string> text;
    HRESULT expected;
    bool folder = false;  // a folder where the file belongs
  };
  std::string nested = "<configuration>";
  for (int i = 0; i < 50000; ++i) nested += "<a>";
  for (int i = 0; i < 50000; ++i) nested += "</a>";
  nested += "</configuration>";
  const Case cases[] = {
      {std::nullopt, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)},
      {std::string("<configuration><oops></configuration>"),
       HRESULT_FROM_WIN32(ERROR_INVALID_DATA)},
      {std::string("<notConfiguration />"), HRESULT_FROM_WIN32(ERROR_INVALID_DATA)},
      {nested, HRESULT_FROM_WIN32(ERROR_INVALID_DATA)},
      {std::nullopt, HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED), true},
  };
  for (const auto& c : cases) {
    std::filesystem::remove(image.Root() / kAppHostFile);
    if (c.text) WriteConfig(*c.text);
    if (c.folder) std::filesystem::create_directory(image.Root() / kAppHostFile);
    Ref<IAppHostWritableAdminManager> manager;
    NewManager(manager);
    Ref<IAppHostElement> section;
    EXPECT_EQ(Hex(Section(manager.get(), "system.webServer/modules", kAppHostPath, section)),
              Hex(c.expected));
    Ref<IAppHostConfigManager> configManager;
    ASSERT_EQ(manager->get_ConfigManager(configManager.out()), S_OK);
    Ref<IAppHostConfigFile> file;
    Bstr path(kAppHostPath);
    EXPECT_EQ(Hex(configManager->GetConfigFile(path.get(), file.out())), Hex(c.expected));
  }
}

TEST_F(AppHostManagerTest, ReadOnlyManagerReadsButNeverWrites) {
  Ref<IAppHostAdminManager> reader;
  ASSERT_EQ(
      apphost::CreateAdminManager(IID_IAppHostAdminManager, reinterpret_cast<void**>(reader.out())),
      S_OK);
  Ref<IAppHostWritableAdminManager> writable;
  EXPECT_EQ(reader->QueryInterface(IID_IAppHostWritableAdminManager,
                                   reinterpret_cast<void**>(writable.out())),
            E_NOINTERFACE);
  Ref<IAppHostElement> modules;
  ASSERT_EQ(Section(reader.get(), "system.webServer/modules", kAppHostPath, modules), S_OK);
  EXPECT_EQ(EntryTexts(modules.get(), "name"), (Names{"StaticFileModule", "IsapiModule"}));
  EXPECT_EQ(SetText(modules.get(), "runAllManagedModulesForAllRequests", "true"), E_ACCESSDENIED);
  EXPECT_EQ(RemoveEntry(modules.get(), "name", "IsapiModule"), E_ACCESSDENIED);
  EXPECT_EQ(AddEntry(modules.get(), {{"name", "QuaverModule"}}), E_ACCESSDENIED);
  EXPECT_EQ(EntryTexts(modules.get(), "name"), (Names{"StaticFileModule", "IsapiModule"}));
}

TEST_F(AppHostManagerTest, CommitPathStaysWithTheApplicationHost) {
  Ref<IAppHostWritableAdminManager> manager;
  NewManager(manager);
  Bstr commitPath;
  ASSERT_EQ(manager->get_CommitPath(commitPath.out()), S_OK);
  EXPECT_EQ(commitPath.utf8(), "MACHINE/WEBROOT/APPHOST");
  struct Case {
    const char16_t* path;
    HRESULT expected;
  };
  const Case cases[] = {
      {u"MACHINE/WEBROOT/APPHOST", S_OK},
      {u"machine/webroot/apphost", S_OK},
      {u"MACHINE/WEBROOT/APPHOST/Shop", HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED)},
      {u"MACHINE/WEBROOT", HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED)},
      {u"SOMEWHERE", E_INVALIDARG},
  };
  for (const auto& c : cases) {
    Bstr path(c.path);
    EXPECT_EQ(Hex(manager->put_CommitPath(path.get())), Hex(c.expected)) << machine::ToUtf8(c.path);
  }
  // With changes pending the commit path cannot move to another file.
  Ref<IAppHostElement> modules;
  ASSERT_EQ(Section(manager.get(), "system.webServer/modules", kAppHostPath, modules), S_OK);
  ASSERT_EQ(SetText(modules.get(), "runAllManagedModulesForAllRequests", "true"), S_OK);
  Bstr same(u"MACHINE/WEBROOT/APPHOST");
  EXPECT_EQ(manager->put_CommitPath(same.get()), S_OK);
}

TEST_F(AppHostManagerTest, ConfigurationFileKnowsItsPathsAndLocations) {
  WriteConfig(std::string(kSmallConfig)
                  .replace(std::string(kSmallConfig).find("</configuration>"), 0,
                           "    <location path=\"shop\" overrideMode=\"Deny\">\n"
                           "    </location>\n"
                           "    <location path=\"Default Web Site/app\">\n"
                           "    </location>\n"
                           "    <location path=\".\">\n"
                           "    </location>\n"));
  Ref<IAppHostWritableAdminManager> manager;
  NewManager(manager);
  Ref<IAppHostConfigFile> file;
  File(manager.get(), file);
  Bstr filePath;
  ASSERT_EQ(file->get_FilePath(filePath.out()), S_OK);
  EXPECT_EQ(filePath.utf8(), "C:\\Windows\\System32\\inetsrv\\config\\applicationHost.config");
  Bstr configPath;
  ASSERT_EQ(file->get_ConfigPath(configPath.out()), S_OK);
  EXPECT_EQ(configPath.utf8(), "MACHINE/WEBROOT/APPHOST");
  // The server level once and first, every other path once, in file order.
  EXPECT_EQ(LocationPaths(file.get()), (Names{"", "Shop", "Default Web Site/app"}));

  Ref<IAppHostConfigLocationCollection> locations;
  ASSERT_EQ(file->get_Locations(locations.out()), S_OK);
  Ref<IAppHostConfigLocation> shop;
  ASSERT_EQ(locations->get_Item(Index(1), shop.out()), S_OK);
  DWORD sections = 0;
  ASSERT_EQ(shop->get_Count(&sections), S_OK);
  EXPECT_EQ(sections, 1u);
  Ref<IAppHostElement> handlers;
  ASSERT_EQ(shop->get_Item(Index(0), handlers.out()), S_OK);
  Bstr name;
  ASSERT_EQ(handlers->get_Name(name.out()), S_OK);
  EXPECT_EQ(name.utf8(), "handlers");
  Ref<IAppHostConfigLocation> missing;
  Bstr nowhere(u"Nowhere");
  VARIANT byName;
  VariantInit(&byName);
  byName.vt = VT_BSTR;
  byName.bstrVal = nowhere.get();
  EXPECT_EQ(locations->get_Item(byName, missing.out()), HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(locations->get_Item(Index(3), missing.out()), HRESULT_FROM_WIN32(ERROR_INVALID_INDEX));
}

TEST_F(AppHostManagerTest, FileSectionsAndManagerSectionsShareChanges) {
  Ref<IAppHostWritableAdminManager> manager;
  NewManager(manager);
  Ref<IAppHostConfigFile> file;
  File(manager.get(), file);
  Ref<IAppHostElement> throughFile;
  ASSERT_EQ(SiteSection(file.get(), "system.webServer/modules", "Shop", throughFile), S_OK);
  ASSERT_EQ(AddEntry(throughFile.get(), {{"name", "QuaverModule"}}), S_OK);
  EXPECT_EQ(LocationPaths(file.get()), (Names{"", "Shop"}));
  Ref<IAppHostElement> throughManager;
  ASSERT_EQ(SiteSection(manager.get(), "system.webServer/modules", "Shop", throughManager), S_OK);
  EXPECT_EQ(EntryTexts(throughManager.get(), "name"),
            (Names{"StaticFileModule", "IsapiModule", "QuaverModule"}));
  ASSERT_EQ(manager->CommitChanges(), S_OK);
  EXPECT_NE(ReadConfig().find("<add name=\"QuaverModule\" />"), std::string::npos);
}

TEST_F(AppHostManagerTest, NewWebsiteLocationIsListed) {
  Ref<IAppHostWritableAdminManager> manager;
  NewManager(manager);
  Ref<IAppHostConfigFile> file;
  File(manager.get(), file);
  Ref<IAppHostElement> modules;
  ASSERT_EQ(SiteSection(manager.get(), "system.webServer/modules", "Default Web Site", modules),
            S_OK);
  EXPECT_EQ(LocationPaths(file.get()), (Names{"", "Shop"}));  // reading adds nothing
  ASSERT_EQ(AddEntry(modules.get(), {{"name", "QuaverModule"}}), S_OK);
  EXPECT_EQ(LocationPaths(file.get()), (Names{"", "Shop", "Default Web Site"}));
}

// The stand-in offers both classes; a server offers them once its registry
// says they are installed.
TEST_F(AppHostManagerTest, CoCreateInstanceCreatesRegisteredManagers) {
  for (const CLSID* clsid : {&CLSID_AppHostWritableAdminManager, &CLSID_AppHostAdminManager}) {
    char16_t guid[40];
    StringFromGUID2(*clsid, guid, 40);
    const std::u16string key =
        std::u16string(u"Software\\Classes\\CLSID\\") + guid + u"\\InprocServer32";
    HKEY created = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &created, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(created);
  }
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  Ref<IAppHostWritableAdminManager> writable;
  EXPECT_EQ(
      CoCreateInstance(CLSID_AppHostWritableAdminManager, nullptr, 0x17,
                       IID_IAppHostWritableAdminManager, reinterpret_cast<void**>(writable.out())),
      S_OK);
  Ref<IAppHostAdminManager> reader;
  EXPECT_EQ(CoCreateInstance(CLSID_AppHostAdminManager, nullptr, 0x17, IID_IAppHostAdminManager,
                             reinterpret_cast<void**>(reader.out())),
            S_OK);
  Ref<IAppHostWritableAdminManager> notWritable;
  EXPECT_EQ(
      CoCreateInstance(CLSID_AppHostAdminManager, nullptr, 0x17, IID_IAppHostWritableAdminManager,
                       reinterpret_cast<void**>(notWritable.out())),
      E_NOINTERFACE);
  if (writable) {
    Ref<IAppHostElement> modules;
    EXPECT_EQ(Section(writable.get(), "system.webServer/modules", kAppHostPath, modules), S_OK);
  }
  writable.reset();
  reader.reset();
  CoUninitialize();
}

}  // namespace
}  // namespace quaver::test
