// Collection entries: creating, adding by key and position, deleting by
// index or selector, and nested collections of the sites section.
#include <gtest/gtest.h>

#include "tests/platform/AppHostTestSupport.h"

namespace quaver::test {
namespace {

using Names = std::vector<std::string>;

class AppHostCollectionTest : public AppHostTest {
 protected:
  void SetUp() override {
    WriteConfig(kSmallConfig);
    NewManager(manager);
  }

  void Open(std::string_view section, Ref<IAppHostElement>& element,
            Ref<IAppHostElementCollection>& collection) {
    ASSERT_EQ(Section(manager.get(), section, kAppHostPath, element), S_OK);
    ASSERT_EQ(Entries(element.get(), collection), S_OK);
    ASSERT_TRUE(collection);
  }

  Ref<IAppHostWritableAdminManager> manager;
};

TEST_F(AppHostCollectionTest, NewEntriesTakeTheCollectionsAddElementName) {
  struct Case {
    const char* section;
    const char* tag;
  };
  const Case cases[] = {
      {"system.webServer/globalModules", "add"},
      {"system.webServer/isapiFilters", "filter"},
      {"system.webServer/fastCgi", "application"},
      {"system.applicationHost/sites", "site"},
      {"system.webServer/security/isapiCgiRestriction", "add"},
      {"system.webServer/defaultDocument", "add"},  // generic
  };
  for (const auto& c : cases) {
    Ref<IAppHostElement> section;
    Ref<IAppHostElementCollection> collection;
    Open(c.section, section, collection);
    Ref<IAppHostElement> entry;
    Bstr empty(u"");
    ASSERT_EQ(collection->CreateNewElement(empty.get(), entry.out()), S_OK) << c.section;
    Bstr name;
    ASSERT_EQ(entry->get_Name(name.out()), S_OK);
    EXPECT_EQ(name.utf8(), c.tag) << c.section;
    Bstr wrong(u"bogus");
    EXPECT_EQ(collection->CreateNewElement(wrong.get(), entry.out()),
              HRESULT_FROM_WIN32(ERROR_INVALID_INDEX))
        << c.section;
  }
}

TEST_F(AppHostCollectionTest, NewEntryJoinsOnlyWhenAdded) {
  Ref<IAppHostElement> section;
  Ref<IAppHostElementCollection> collection;
  Open("system.webServer/globalModules", section, collection);
  Ref<IAppHostElement> entry;
  Bstr empty(u"");
  ASSERT_EQ(collection->CreateNewElement(empty.get(), entry.out()), S_OK);
  ASSERT_EQ(SetText(entry.get(), "name", "QuaverModule"), S_OK);
  EXPECT_EQ(Text(entry.get(), "preCondition"), "");  // defaults apply before it is added
  EXPECT_EQ(EntryTexts(section.get(), "name"), (Names{"StaticFileModule", "IsapiModule"}));
  ASSERT_EQ(collection->AddElement(entry.get(), -1), S_OK);
  EXPECT_EQ(EntryTexts(section.get(), "name"),
            (Names{"StaticFileModule", "IsapiModule", "QuaverModule"}));
  // The object stays usable and now changes the added entry.
  ASSERT_EQ(SetText(entry.get(), "image", "C:\\Quaver\\quaver.dll"), S_OK);
  EXPECT_EQ(EntryTexts(section.get(), "image").back(), "C:\\Quaver\\quaver.dll");
  EXPECT_EQ(collection->AddElement(entry.get(), -1), E_INVALIDARG);  // added already
}

TEST_F(AppHostCollectionTest, AddingRefusesDuplicateOrMissingKey) {
  Ref<IAppHostElement> section;
  Ref<IAppHostElementCollection> collection;
  Open("system.webServer/globalModules", section, collection);
  EXPECT_EQ(AddEntry(section.get(), {{"name", "isapimodule"}, {"image", "x.dll"}}),
            HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(AddEntry(section.get(), {{"image", "x.dll"}}), E_INVALIDARG);
  Ref<IAppHostElement> fastCgi;
  ASSERT_EQ(Section(manager.get(), "system.webServer/fastCgi", kAppHostPath, fastCgi), S_OK);
  // A combined key: the same program with other arguments is another entry.
  EXPECT_EQ(
      AddEntry(fastCgi.get(), {{"fullPath", "C:\\PHP\\php-cgi.exe"}, {"arguments", "-d x=1"}}),
      S_OK);
  EXPECT_EQ(AddEntry(fastCgi.get(), {{"fullPath", "c:\\php\\PHP-CGI.exe"}}),
            HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS));
}

TEST_F(AppHostCollectionTest, AddingAtAPositionAndOutOfRange) {
  Ref<IAppHostElement> section;
  Ref<IAppHostElementCollection> collection;
  Open("system.webServer/globalModules", section, collection);
  for (int position : {3, -2}) {
    Ref<IAppHostElement> entry;
    Bstr empty(u"");
    ASSERT_EQ(collection->CreateNewElement(empty.get(), entry.out()), S_OK);
    ASSERT_EQ(SetText(entry.get(), "name", "Late"), S_OK);
    EXPECT_EQ(collection->AddElement(entry.get(), position),
              HRESULT_FROM_WIN32(ERROR_INVALID_INDEX))
        << position;
  }
  Ref<IAppHostElement> first;
  Bstr empty(u"");
  ASSERT_EQ(collection->CreateNewElement(empty.get(), first.out()), S_OK);
  ASSERT_EQ(SetText(first.get(), "name", "First"), S_OK);
  ASSERT_EQ(collection->AddElement(first.get(), 0), S_OK);
  Ref<IAppHostElement> middle;
  ASSERT_EQ(collection->CreateNewElement(empty.get(), middle.out()), S_OK);
  ASSERT_EQ(SetText(middle.get(), "name", "Middle"), S_OK);
  ASSERT_EQ(collection->AddElement(middle.get(), 2), S_OK);
  EXPECT_EQ(EntryTexts(section.get(), "name"),
            (Names{"First", "StaticFileModule", "Middle", "IsapiModule"}));
}

TEST_F(AppHostCollectionTest, DeleteByIndexOrSelector) {
  Ref<IAppHostElement> section;
  Ref<IAppHostElementCollection> collection;
  Open("system.applicationHost/applicationPools", section, collection);
  ASSERT_EQ(collection->DeleteElement(Index(1)), S_OK);
  EXPECT_EQ(EntryTexts(section.get(), "name"), (Names{"DefaultAppPool", "Shop"}));
  EXPECT_EQ(collection->DeleteElement(Index(2)), HRESULT_FROM_WIN32(ERROR_INVALID_INDEX));
  // An element with the same key selects the entry.
  Ref<IAppHostElement> selector;
  Bstr empty(u"");
  ASSERT_EQ(collection->CreateNewElement(empty.get(), selector.out()), S_OK);
  ASSERT_EQ(SetText(selector.get(), "name", "shop"), S_OK);
  VARIANT bySelector;
  VariantInit(&bySelector);
  bySelector.vt = VT_UNKNOWN;
  bySelector.punkVal = selector.get();
  Ref<IAppHostElement> found;
  ASSERT_EQ(collection->get_Item(bySelector, found.out()), S_OK);
  EXPECT_EQ(Text(found.get(), "name"), "Shop");
  ASSERT_EQ(collection->DeleteElement(bySelector), S_OK);
  EXPECT_EQ(EntryTexts(section.get(), "name"), Names{"DefaultAppPool"});
  // The pool's own <processModel> went with it.
  ASSERT_EQ(manager->CommitChanges(), S_OK);
  EXPECT_EQ(ReadConfig().find("shopuser"), std::string::npos);
}

TEST_F(AppHostCollectionTest, DeletedEntryAnswersNotFound) {
  Ref<IAppHostElement> section;
  Ref<IAppHostElementCollection> collection;
  Open("system.webServer/isapiFilters", section, collection);
  Ref<IAppHostElement> filter;
  ASSERT_EQ(collection->get_Item(Index(0), filter.out()), S_OK);
  Ref<IAppHostElement> sameFilter;
  ASSERT_EQ(collection->get_Item(Index(0), sameFilter.out()), S_OK);
  ASSERT_EQ(filter->Clear(), S_OK);
  EXPECT_EQ(sameFilter->Clear(), HRESULT_FROM_WIN32(ERROR_NOT_FOUND));
  Ref<IAppHostProperty> property;
  EXPECT_EQ(Property(sameFilter.get(), "name", property), HRESULT_FROM_WIN32(ERROR_NOT_FOUND));
  EXPECT_EQ(SetText(filter.get(), "name", "Back"), HRESULT_FROM_WIN32(ERROR_NOT_FOUND));
}

TEST_F(AppHostCollectionTest, ClearedEntriesLeaveTheCollectionAtOnce) {
  Ref<IAppHostElement> handlers;
  ASSERT_EQ(Section(manager.get(), "system.webServer/handlers", kAppHostPath, handlers), S_OK);
  ASSERT_EQ(AddEntry(handlers.get(), {{"name", "A"}, {"path", "*.x"}, {"verb", "*"}}), S_OK);
  ASSERT_EQ(AddEntry(handlers.get(), {{"name", "B"}, {"path", "*.x"}, {"verb", "*"}}), S_OK);
  ASSERT_EQ(AddEntry(handlers.get(), {{"name", "C"}, {"path", "*.x"}, {"verb", "*"}}), S_OK);
  // Clearing the first match repeatedly clears them all.
  while (SUCCEEDED(RemoveEntry(handlers.get(), "path", "*.x"))) {
  }
  EXPECT_EQ(EntryTexts(handlers.get(), "name"), (Names{"ISAPI-dll", "StaticFile"}));
  ASSERT_EQ(manager->CommitChanges(), S_OK);
  EXPECT_EQ(ReadConfig(), kSmallConfig);
}

TEST_F(AppHostCollectionTest, SitesNestApplicationsAndDirectories) {
  Ref<IAppHostElement> sites;
  ASSERT_EQ(Section(manager.get(), "system.applicationHost/sites", kAppHostPath, sites), S_OK);
  EXPECT_EQ(EntryTexts(sites.get(), "id"), (Names{"1", "2"}));
  Ref<IAppHostElement> site;
  ASSERT_EQ(FindEntry(sites.get(), "name", "Shop", site), S_OK);
  Ref<IAppHostElement> application;
  ASSERT_EQ(FindEntry(site.get(), "path", "/", application), S_OK);
  ASSERT_EQ(
      AddEntry(application.get(), {{"path", "/images"}, {"physicalPath", "C:\\Sites\\Images"}}),
      S_OK);
  EXPECT_EQ(EntryTexts(application.get(), "path"), (Names{"/", "/images"}));
  Ref<IAppHostElement> bindings;
  ASSERT_EQ(Child(site.get(), "bindings", bindings), S_OK);
  EXPECT_EQ(EntryTexts(bindings.get(), "bindingInformation"), Names{"*:8080:"});
  ASSERT_EQ(manager->CommitChanges(), S_OK);
  EXPECT_NE(
      ReadConfig().find(
          "                    <virtualDirectory path=\"/\" physicalPath=\"C:\\Sites\\Shop\" />\n"
          "                    <virtualDirectory path=\"/images\" "
          "physicalPath=\"C:\\Sites\\Images\" />\n"
          "                </application>\n"),
      std::string::npos)
      << ReadConfig();
}

}  // namespace
}  // namespace quaver::test
