// The website enable list and the filter priorities: what they read from
// IIS and the old files, and the files they write, byte for byte.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "iis/FilterPriorities.h"
#include "iis/RWSiteList.h"
#include "tests/iis/AppHostFixture.h"
#include "tests/iis/IisTestImage.h"

namespace {

using quaver::test::IisTestImage;
using quaver::test::StringProperty;

const char kEnableFile[] = "drive_c/Quaver/EnableSites.lst";
const char kPrioritiesFile[] = "drive_c/Quaver/Priorities.lst";

void SetProductDir(const char16_t* dir) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Corvane\\Quaver", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  std::u16string value(dir);
  ASSERT_EQ(
      RegSetValueExW(key, u"ProductDir", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * 2)),
      ERROR_SUCCESS);
  RegCloseKey(key);
}

std::string Filters(const std::string& loadOrder, bool withQuaverKey) {
  std::string keys =
      StringProperty(MD_KEY_TYPE, "IIsFilters") + StringProperty(MD_FILTER_LOAD_ORDER, loadOrder);
  if (withQuaverKey) {
    keys += "<Key name=\"Quaver\">" + StringProperty(MD_KEY_TYPE, "IIsFilter") + "</Key>";
  }
  return "<Key name=\"Filters\">" + keys + "</Key>";
}

std::string Site(const std::string& id, const std::string& filters = "") {
  return "<Key name=\"" + id + "\">" + StringProperty(MD_KEY_TYPE, "IIsWebServer") +
         StringProperty(MD_SERVER_COMMENT, "Site " + id) + filters + "</Key>";
}

std::string WebService(const std::string& content) {
  return "<Key name=\"LM\"><Key name=\"W3SVC\">" + StringProperty(MD_KEY_TYPE, "IIsWebService") +
         content + "</Key></Key>";
}

std::vector<std::string> Shown;

ListMessage Recorder() {
  Shown.clear();
  return [](const CSPWString& text, const CSPWString& caption, uint32_t) {
    CSPString narrow(caption + u": " + text);
    Shown.emplace_back(narrow.GetString(), narrow.GetLength());
  };
}

class SiteListFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    SetProductDir(u"C:\\Quaver");
    image.WriteHostFile("drive_c/Quaver/.keep", "");
  }
  IisTestImage image{6};
};

TEST_F(SiteListFiles, MetabaseListKeepsListedSitesAndRewritesTheSameFile) {
  const std::string file = "$ENABLE_ONLY$\r\n1\r\n3\r\n";
  image.WriteHostFile(kEnableFile, file);
  image.WriteMetabase(WebService(Filters("a,b", false) + Site("1") + Site("2") + Site("3")));
  RWSiteList list(Recorder());
  ASSERT_TRUE(list.Load(RWSiteList::FromMetabase));
  EXPECT_FALSE(list.enableAll);
  ASSERT_EQ(list.allSites.GetCount(), 3u);
  EXPECT_TRUE(list.allSites.Lookup(u"1")->enabled);
  EXPECT_FALSE(list.allSites.Lookup(u"2")->enabled);
  EXPECT_TRUE(list.allSites.Lookup(u"3")->enabled);
  EXPECT_EQ(list.allSites.Lookup(u"2")->name, u"Site 2");
  EXPECT_EQ(image.ReadHostFile(kEnableFile), file);
  EXPECT_TRUE(Shown.empty());
}

TEST_F(SiteListFiles, MetabaseFilterDecidesEnableAllAndSites) {
  image.WriteHostFile(kEnableFile, "$ENABLE_ONLY$\r\n");
  image.WriteMetabase(WebService(Filters("a,QUAVER", true) + Site("1") +
                                 Site("2", Filters("Quaver", true)) +
                                 Site("3", Filters("quaver", false))));
  RWSiteList list;
  ASSERT_TRUE(list.Load(RWSiteList::FromMetabase));
  EXPECT_TRUE(list.enableAll);
  EXPECT_FALSE(list.allSites.Lookup(u"1")->enabled);
  EXPECT_TRUE(list.allSites.Lookup(u"2")->enabled);
  EXPECT_FALSE(list.allSites.Lookup(u"3")->enabled);  // named, but no filter key
  EXPECT_EQ(image.ReadHostFile(kEnableFile), "$ENABLE_ALL$\r\n2\r\n");
}

TEST_F(SiteListFiles, FileOnlyModeReadsLeniently) {
  // No marker on the first line, LF and CR alone, "$" lines, no final end.
  image.WriteHostFile(kEnableFile, "7\n$X$\r\r\n10\r5");
  RWSiteList list;
  ASSERT_TRUE(list.Load(RWSiteList::FromFile));
  EXPECT_TRUE(list.enableAll);
  ASSERT_EQ(list.enabledIds.GetCount(), 3u);
  EXPECT_EQ(list.enabledIds.GetAt(0), u"10");  // ordinal order of the ID texts
  EXPECT_EQ(list.enabledIds.GetAt(1), u"5");
  EXPECT_EQ(list.enabledIds.GetAt(2), u"7");
  EXPECT_FALSE(list.Load(5));
}

TEST_F(SiteListFiles, SaveWritesUtf8IdsInOrderAndCutsALongerOldFile) {
  image.WriteHostFile(kEnableFile, std::string(200, 'x'));
  RWSiteList list;
  for (const char16_t* id : {u"2", u"10", u"\u00e9"}) {
    RWSite site;
    site.id = id;
    site.enabled = true;
    list.allSites.SetAt(site.id, site);
  }
  list.allSites.Lookup(u"2")->enabled = false;
  list.enableAll = false;
  list.Save();
  EXPECT_EQ(image.ReadHostFile(kEnableFile), "$ENABLE_ONLY$\r\n10\r\n\xC3\xA9\r\n");
  EXPECT_EQ(list.enabledIds.GetCount(), 2u);
}

TEST_F(SiteListFiles, MetabaseFailuresAreShown) {
  image.WriteMetabase("<Key name=\"LM\"></Key>");
  RWSiteList list(Recorder());
  EXPECT_FALSE(list.Load(RWSiteList::FromMetabase));
  EXPECT_EQ(Shown,
            std::vector<std::string>{"System error: Cannot open IIS metabase key /LM/W3SVC"});
}

TEST_F(SiteListFiles, PrioritiesFromMetabaseAndOldFile) {
  // The old file remembers website 9, whose filter is gone; a later line
  // replaces an earlier one; a line without a space is ignored.
  image.WriteHostFile(kPrioritiesFile, "9 4\r\n9 2\r\njunk\r\n2 7\r\n");
  image.WriteMetabase(WebService(Filters("a,Quaver,b", true) +
                                 Site("1", Filters("quaver,a", true)) +
                                 Site("2", Filters("a", false))));
  FilterPriorities priorities;
  ASSERT_TRUE(RefreshPriorities(priorities, true, Recorder()));
  EXPECT_EQ(image.ReadHostFile(kPrioritiesFile), " 1\r\n1 0\r\n2 7\r\n9 2\r\n");
  EXPECT_EQ(*priorities.Lookup(u""), 1u);
}

TEST_F(SiteListFiles, PrioritiesStopAtAnUnreadableKeyType) {
  image.WriteHostFile(kPrioritiesFile, "1 3\r\n");
  image.WriteMetabase(WebService("<Key name=\"Odd\"></Key>" + Site("1")));
  FilterPriorities priorities;
  EXPECT_FALSE(RefreshPriorities(priorities, false, Recorder()));
  EXPECT_TRUE(Shown.empty());
  EXPECT_EQ(image.ReadHostFile(kPrioritiesFile), "1 3\r\n");
  EXPECT_FALSE(RefreshPriorities(priorities, true, Recorder()));
  EXPECT_EQ(Shown, std::vector<std::string>{
                       "System error: Cannot retrieve key type for website from IIS metabase"});
}

TEST(SiteListFilesWithoutProduct, NothingIsReadOrWritten) {
  IisTestImage image(6);
  image.WriteHostFile("drive_c/Quaver/EnableSites.lst", "$ENABLE_ONLY$\r\n1\r\n");
  image.WriteMetabase(WebService(Filters("quaver", true) + Site("1")));
  RWSiteList list(Recorder());
  ASSERT_TRUE(list.Load(RWSiteList::FromMetabase));
  FilterPriorities priorities;
  ASSERT_TRUE(RefreshPriorities(priorities, true, Recorder()));
  EXPECT_TRUE(Shown.empty());
  EXPECT_EQ(image.ReadHostFile("drive_c/Quaver/EnableSites.lst"), "$ENABLE_ONLY$\r\n1\r\n");
  EXPECT_EQ(image.ReadHostFile("drive_c/Quaver/Priorities.lst"), "");
  CSPWString dir;
  EXPECT_FALSE(GetProductDir(dir));
}

TEST(GetListPosition, CountsCommasBeforeTheFirstOccurrence) {
  EXPECT_EQ(GetListPosition(u"a,quaver,b", u"quaver"), 1);
  EXPECT_EQ(GetListPosition(u"quaver", u"quaver"), 0);
  EXPECT_EQ(GetListPosition(u"a,b,xquaverx", u"quaver"), 2);
  EXPECT_EQ(GetListPosition(u"a,Quaver", u"quaver"), -1);
  EXPECT_EQ(GetListPosition(u"quave", u"quaver"), -1);
}

class SiteListAppHost : public quaver::test::AppHostFixture {};

TEST_F(SiteListAppHost, ModulesDecideEnableAllAndSites) {
  SetProductDir(u"C:\\Quaver\\");
  image.WriteHostFile("drive_c/Quaver/EnableSites.lst", "$ENABLE_ONLY$\r\n2\r\n");
  Open();
  ASSERT_TRUE(iis.AddModule(u"QuaverModule", u"Shop"));
  Save();
  iis.Disconnect(IISHelper::ConnectAppHost);
  RWSiteList list;
  ASSERT_TRUE(list.Load(RWSiteList::FromAppHost));
  EXPECT_FALSE(list.enableAll);
  EXPECT_EQ(image.ReadHostFile("drive_c/Quaver/EnableSites.lst"), "$ENABLE_ONLY$\r\n10\r\n2\r\n");
  EXPECT_EQ(list.allSites.Lookup(u"10")->name, u"Shop");
}

}  // namespace
