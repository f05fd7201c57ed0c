// The built-in schema: defaults for attributes a file leaves out, typed
// values, and what the generic handling of other sections accepts.
#include <gtest/gtest.h>

#include "tests/platform/AppHostTestSupport.h"

namespace quaver::test {
namespace {

using Names = std::vector<std::string>;

class AppHostSchemaTest : public AppHostTest {
 protected:
  void SetUp() override {
    WriteConfig(kSmallConfig);
    NewManager(manager);
  }

  // The element at a path of child names and "name=value" entry selectors.
  HRESULT Walk(std::string_view section, const std::vector<std::string>& steps,
               Ref<IAppHostElement>& element) {
    HRESULT hr = Section(manager.get(), section, kAppHostPath, element);
    for (const auto& step : steps) {
      if (FAILED(hr)) return hr;
      Ref<IAppHostElement> next;
      const size_t equals = step.find('=');
      if (equals == std::string::npos) {
        hr = Child(element.get(), step, next);
      } else {
        hr = FindEntry(element.get(), step.substr(0, equals), step.substr(equals + 1), next);
      }
      if (SUCCEEDED(hr)) element.assign(next.get());
    }
    return hr;
  }

  Ref<IAppHostWritableAdminManager> manager;
};

TEST_F(AppHostSchemaTest, ReadsFallBackToSchemaDefaults) {
  struct Case {
    const char* section;
    std::vector<std::string> steps;
    const char* attribute;
    const char* text;
    VARTYPE type;
  };
  const Case cases[] = {
      {"system.applicationHost/applicationPools",
       {"applicationPoolDefaults", "processModel"},
       "identityType",
       "ApplicationPoolIdentity",
       VT_I4},
      {"system.applicationHost/applicationPools",
       {"name=DefaultAppPool", "processModel"},
       "identityType",
       "ApplicationPoolIdentity",
       VT_I4},
      {"system.applicationHost/applicationPools",
       {"name=Shop", "processModel"},
       "identityType",
       "SpecificUser",
       VT_I4},
      {"system.applicationHost/applicationPools",
       {"name=Shop", "processModel"},
       "userName",
       "shopuser",
       VT_BSTR},
      {"system.applicationHost/applicationPools",
       {"name=DefaultAppPool"},
       "managedPipelineMode",
       "Integrated",
       VT_I4},
      {"system.applicationHost/applicationPools",
       {"name=DefaultAppPool"},
       "autoStart",
       "true",
       VT_BOOL},
      {"system.applicationHost/applicationPools",
       {"name=DefaultAppPool"},
       "queueLength",
       "1000",
       VT_UI4},
      {"system.applicationHost/sites", {"name=Shop"}, "serverAutoStart", "true", VT_BOOL},
      {"system.applicationHost/sites", {"name=Shop"}, "id", "2", VT_UI4},
      {"system.applicationHost/sites",
       {"name=Shop", "path=/"},
       "enabledProtocols",
       "http",
       VT_BSTR},
      {"system.applicationHost/sites",
       {"name=Shop", "logFile"},
       "directory",
       "%SystemDrive%\\inetpub\\logs\\LogFiles",
       VT_BSTR},
      {"system.webServer/handlers", {"name=StaticFile"}, "requireAccess", "Script", VT_I4},
      {"system.webServer/handlers", {"name=StaticFile"}, "resourceType", "Unspecified", VT_I4},
      {"system.webServer/handlers", {"name=StaticFile"}, "scriptProcessor", "", VT_BSTR},
      {"system.webServer/isapiFilters", {"name=Legacy"}, "enabled", "true", VT_BOOL},
      {"system.webServer/fastCgi", {"fullPath=C:\\PHP\\php-cgi.exe"}, "maxInstances", "4", VT_UI4},
      {"system.webServer/fastCgi", {"fullPath=C:\\PHP\\php-cgi.exe"}, "arguments", "", VT_BSTR},
      {"system.webServer/security/isapiCgiRestriction",
       {},
       "notListedCgisAllowed",
       "false",
       VT_BOOL},
      {"system.webServer/security/isapiCgiRestriction",
       {"groupId=Legacy"},
       "description",
       "",
       VT_BSTR},
      {"system.webServer/globalModules", {"name=IsapiModule"}, "preCondition", "", VT_BSTR},
  };
  for (const auto& c : cases) {
    const std::string where = std::string(c.section) + " " + c.attribute;
    Ref<IAppHostElement> element;
    ASSERT_EQ(Walk(c.section, c.steps, element), S_OK) << where;
    EXPECT_EQ(Text(element.get(), c.attribute), c.text) << where;
    Ref<IAppHostProperty> property;
    ASSERT_EQ(Property(element.get(), c.attribute, property), S_OK) << where;
    VARIANT value;
    ASSERT_EQ(property->get_Value(&value), S_OK) << where;
    EXPECT_EQ(value.vt, c.type) << where;
    VariantClear(&value);
  }
}

TEST_F(AppHostSchemaTest, EnumsReadAsNumbersAndTextsAsNames) {
  Ref<IAppHostElement> processModel;
  ASSERT_EQ(Walk("system.applicationHost/applicationPools",
                 {"applicationPoolDefaults", "processModel"}, processModel),
            S_OK);
  Ref<IAppHostProperty> identity;
  ASSERT_EQ(Property(processModel.get(), "identityType", identity), S_OK);
  VARIANT value;
  ASSERT_EQ(identity->get_Value(&value), S_OK);
  EXPECT_EQ(value.lVal, 4);
  // Set by number, by name in any case; stored in the schema's spelling.
  VARIANT two;
  VariantInit(&two);
  two.vt = VT_I4;
  two.lVal = 2;
  ASSERT_EQ(identity->put_Value(two), S_OK);
  EXPECT_EQ(Text(processModel.get(), "identityType"), "NetworkService");
  ASSERT_EQ(SetText(processModel.get(), "identityType", "localsystem"), S_OK);
  EXPECT_EQ(Text(processModel.get(), "identityType"), "LocalSystem");
  ASSERT_EQ(manager->CommitChanges(), S_OK);
  EXPECT_NE(ReadConfig().find("<processModel identityType=\"LocalSystem\" />"), std::string::npos);
}

TEST_F(AppHostSchemaTest, ValuesThatDoNotFitTheTypeAreRefused) {
  struct Case {
    const char* section;
    std::vector<std::string> steps;
    const char* attribute;
    const char* value;
  };
  const Case cases[] = {
      {"system.applicationHost/applicationPools",
       {"applicationPoolDefaults", "processModel"},
       "identityType",
       "Nobody"},
      {"system.applicationHost/applicationPools", {"name=DefaultAppPool"}, "autoStart", "maybe"},
      {"system.applicationHost/applicationPools", {"name=DefaultAppPool"}, "queueLength", "-1"},
      {"system.applicationHost/applicationPools",
       {"name=DefaultAppPool"},
       "queueLength",
       "4294967296"},
      {"system.applicationHost/applicationPools", {"name=DefaultAppPool"}, "queueLength", "12abc"},
      {"system.webServer/handlers", {}, "accessPolicy", "Read, Fly"},
  };
  for (const auto& c : cases) {
    Ref<IAppHostElement> element;
    ASSERT_EQ(Walk(c.section, c.steps, element), S_OK) << c.attribute;
    EXPECT_EQ(SetText(element.get(), c.attribute, c.value), E_INVALIDARG)
        << c.attribute << "=" << c.value;
  }
  EXPECT_EQ(manager->CommitChanges(), S_OK);
  EXPECT_EQ(ReadConfig(), kSmallConfig);
}

TEST_F(AppHostSchemaTest, BooleansAndFlagsAreWrittenInTheirSchemaForm) {
  Ref<IAppHostElement> handlers;
  ASSERT_EQ(Walk("system.webServer/handlers", {}, handlers), S_OK);
  ASSERT_EQ(SetText(handlers.get(), "accessPolicy", "script , read"), S_OK);
  EXPECT_EQ(Text(handlers.get(), "accessPolicy"), "Read, Script");
  Ref<IAppHostElement> pool;
  ASSERT_EQ(Walk("system.applicationHost/applicationPools", {"name=DefaultAppPool"}, pool), S_OK);
  ASSERT_EQ(SetText(pool.get(), "autoStart", "FALSE"), S_OK);
  EXPECT_EQ(Text(pool.get(), "autoStart"), "false");
}

TEST_F(AppHostSchemaTest, UnknownAttributesOfKnownElementsAreNoProperties) {
  Ref<IAppHostElement> module;
  ASSERT_EQ(Walk("system.webServer/globalModules", {"name=IsapiModule"}, module), S_OK);
  Ref<IAppHostProperty> property;
  EXPECT_EQ(Property(module.get(), "imag", property), HRESULT_FROM_WIN32(ERROR_INVALID_INDEX));
  // Locks are metadata, not properties.
  Ref<IAppHostElement> serverModule;
  ASSERT_EQ(Walk("system.webServer/modules", {"name=IsapiModule"}, serverModule), S_OK);
  EXPECT_EQ(Property(serverModule.get(), "lockItem", property),
            HRESULT_FROM_WIN32(ERROR_INVALID_INDEX));
  Bstr lockItem(u"lockItem");
  VARIANT locked;
  ASSERT_EQ(serverModule->GetMetadata(lockItem.get(), &locked), S_OK);
  EXPECT_EQ(locked.vt, VT_BOOL);
  EXPECT_EQ(locked.boolVal, VARIANT_TRUE);
  // Properties list the schema's, and none of the metadata.
  Ref<IAppHostPropertyCollection> properties;
  ASSERT_EQ(serverModule->get_Properties(properties.out()), S_OK);
  DWORD count = 0;
  ASSERT_EQ(properties->get_Count(&count), S_OK);
  Names names;
  for (DWORD i = 0; i < count; ++i) {
    Ref<IAppHostProperty> item;
    ASSERT_EQ(properties->get_Item(Index(i), item.out()), S_OK);
    Bstr name;
    ASSERT_EQ(item->get_Name(name.out()), S_OK);
    names.push_back(name.utf8());
  }
  EXPECT_EQ(names, (Names{"name", "type", "preCondition"}));
}

TEST_F(AppHostSchemaTest, GenericSectionTakesWhatTheFileHolds) {
  Ref<IAppHostElement> document;
  ASSERT_EQ(Walk("system.webServer/defaultDocument", {}, document), S_OK);
  EXPECT_EQ(Text(document.get(), "enabled"), "");  // no schema: no default
  ASSERT_EQ(SetText(document.get(), "enabled", "true"), S_OK);
  Ref<IAppHostProperty> enabled;
  ASSERT_EQ(Property(document.get(), "enabled", enabled), S_OK);
  VARIANT value;
  ASSERT_EQ(enabled->get_Value(&value), S_OK);
  EXPECT_EQ(value.vt, VT_BSTR);
  VariantClear(&value);
  Ref<IAppHostChildElementCollection> children;
  ASSERT_EQ(document->get_ChildElements(children.out()), S_OK);
  ASSERT_TRUE(children);
  DWORD count = 0;
  ASSERT_EQ(children->get_Count(&count), S_OK);
  EXPECT_EQ(count, 1u);
  Ref<IAppHostElement> files;
  Bstr filesName(u"files");
  VARIANT byName;
  VariantInit(&byName);
  byName.vt = VT_BSTR;
  byName.bstrVal = filesName.get();
  ASSERT_EQ(children->get_Item(byName, files.out()), S_OK);
  EXPECT_EQ(EntryTexts(files.get(), "value"), Names{"index.htm"});
}

TEST_F(AppHostSchemaTest, EnvironmentReferencesAreReadAsWritten) {
  Ref<IAppHostElement> directory;
  ASSERT_EQ(Walk("system.applicationHost/sites", {"name=Default Web Site", "path=/", "path=/"},
                 directory),
            S_OK);
  EXPECT_EQ(Text(directory.get(), "physicalPath"), "%SystemDrive%\\inetpub\\wwwroot");
}

TEST_F(AppHostSchemaTest, CharacterReferencesAreDecodedAndEncoded) {
  Ref<IAppHostElement> filter;
  ASSERT_EQ(Walk("system.webServer/isapiFilters", {"name=Legacy"}, filter), S_OK);
  ASSERT_EQ(SetText(filter.get(), "preCondition", "a<b & \"c\"\nd"), S_OK);
  EXPECT_EQ(Text(filter.get(), "preCondition"), "a<b & \"c\"\nd");
  ASSERT_EQ(manager->CommitChanges(), S_OK);
  EXPECT_NE(ReadConfig().find("preCondition=\"a&lt;b &amp; &quot;c&quot;&#xA;d\""),
            std::string::npos);
  Ref<IAppHostWritableAdminManager> again;
  NewManager(again);
  Ref<IAppHostElement> filters;
  ASSERT_EQ(Section(again.get(), "system.webServer/isapiFilters", kAppHostPath, filters), S_OK);
  EXPECT_EQ(EntryTexts(filters.get(), "preCondition"), Names{"a<b & \"c\"\nd"});
}

}  // namespace
}  // namespace quaver::test
