// Script maps: the entry per IIS version, replacing entries and wildcard
// maps, the key list with subkeys, and the inheritance/redundancy check.
#include <gtest/gtest.h>

#include "iis/IISHelper.h"
#include "tests/iis/IisTestImage.h"

namespace {

using quaver::test::IisTestImage;
using quaver::test::ListProperty;
using quaver::test::StringProperty;
using Strings = std::vector<std::string>;

const std::string kY = ".y,C:\\y.dll,1";

// /LM/W3SVC with its own script maps (attributes given) and website 1 whose
// ROOT key sets the given maps (none when rootMaps is null).
std::string Metabase(const Strings& serviceMaps, const Strings* rootMaps = nullptr,
                     const std::string& serviceAttributes = "Inherit") {
  std::string root = StringProperty(MD_KEY_TYPE, "IIsWebVirtualDir");
  if (rootMaps != nullptr) root += ListProperty(MD_SCRIPT_MAPS, *rootMaps);
  return "<Key name=\"LM\"><Key name=\"W3SVC\">" + StringProperty(MD_KEY_TYPE, "IIsWebService") +
         ListProperty(MD_SCRIPT_MAPS, serviceMaps, "File", serviceAttributes) + "<Key name=\"1\">" +
         StringProperty(MD_KEY_TYPE, "IIsWebServer") + "<Key name=\"ROOT\">" + root +
         "</Key></Key></Key></Key>";
}

struct VersionCase {
  uint32_t version;
  const char16_t* executable;
  const char* field;
};

TEST(IISHelperScriptMaps, ExecutableFieldPerIisVersion) {
  const VersionCase cases[] = {
      {7, u"C:\\p\\f.dll", "C:\\p\\f.dll"},
      {10, u"C:\\p\\f.dll", "C:\\p\\f.dll"},
      {6, u"C:\\p\\f.dll", "\"C:\\p\\f.dll\""},
      // Below 6 the short form, or the quoted path when there is none.
      {5, u"C:\\Program Files\\Corvane Quaver\\iquaver.dll", "C:\\PROGRA~1\\CORVAN~1\\iquaver.dll"},
      {5, u"C:\\missing\\f.dll", "\"C:\\missing\\f.dll\""},
  };
  for (const VersionCase& c : cases) {
    SCOPED_TRACE(c.version);
    IisTestImage image(c.version);
    image.WriteHostFile("drive_c/Program Files/Corvane Quaver/iquaver.dll", "MZ");
    image.WriteMetabase(Metabase({".x,C:\\old.dll,1", kY}));
    IISHelper iis;
    ASSERT_TRUE(iis.Connect(IISHelper::ConnectMetabase));
    ASSERT_TRUE(iis.AddScriptMap(u".x", c.executable, 5, u"GET,POST", u"", false));
    EXPECT_EQ(image.List("/LM/W3SVC", MD_SCRIPT_MAPS),
              (Strings{kY, ".x," + std::string(c.field) + ",5,GET,POST"}));
  }
}

class IISHelperScriptMapsOnIis6 : public ::testing::Test {
 protected:
  void Connect() { ASSERT_TRUE(iis.Connect(IISHelper::ConnectMetabase)); }

  IisTestImage image{6};
  IISHelper iis;
};

TEST_F(IISHelperScriptMapsOnIis6, EmptyVerbsGiveThreeFields) {
  image.WriteMetabase(Metabase({kY}));
  Connect();
  ASSERT_TRUE(iis.AddScriptMap(u".x", u"C:\\p\\f.dll", 1, u"", u"", false));
  EXPECT_EQ(image.List("/LM/W3SVC", MD_SCRIPT_MAPS), (Strings{kY, ".x,\"C:\\p\\f.dll\",1"}));
  EXPECT_EQ(image.Attributes("/LM/W3SVC", MD_SCRIPT_MAPS), METADATA_INHERIT);
  EXPECT_EQ(image.UserType("/LM/W3SVC", MD_SCRIPT_MAPS), IIS_MD_UT_FILE);
}

TEST_F(IISHelperScriptMapsOnIis6, ExtensionMatchIsCaseSensitivePrefix) {
  image.WriteMetabase(Metabase({".X,C:\\a.dll,1", ".xy,C:\\b.dll,1", ".x,C:\\c.dll,1"}));
  Connect();
  ASSERT_TRUE(iis.AddScriptMap(u".x", u"C:\\p\\f.dll", 1, u"", u"", false));
  EXPECT_EQ(image.List("/LM/W3SVC", MD_SCRIPT_MAPS),
            (Strings{".X,C:\\a.dll,1", ".xy,C:\\b.dll,1", ".x,\"C:\\p\\f.dll\",1"}));
}

TEST_F(IISHelperScriptMapsOnIis6, WildcardReplacesOnlyItsOwnFileName) {
  image.WriteMetabase(Metabase({"*,C:\\old\\f.dll,0", kY, "*,C:\\other\\g.dll,0"}));
  Connect();
  ASSERT_TRUE(iis.AddScriptMap(u"*", u"C:\\p\\f.dll", 0, u"", u"", false));
  EXPECT_EQ(image.List("/LM/W3SVC", MD_SCRIPT_MAPS),
            (Strings{"*,\"C:\\p\\f.dll\",0", kY, "*,C:\\other\\g.dll,0"}));
}

TEST_F(IISHelperScriptMapsOnIis6, WildcardWithoutFileNameKeepsOtherWildcards) {
  image.WriteMetabase(Metabase({"*,C:\\old\\f.dll,0", kY}));
  Connect();
  ASSERT_TRUE(iis.AddScriptMap(u"*", u"C:\\p\\", 0, u"", u"", false));
  EXPECT_EQ(image.List("/LM/W3SVC", MD_SCRIPT_MAPS),
            (Strings{"*,\"C:\\p\\\",0", "*,C:\\old\\f.dll,0", kY}));
}

TEST_F(IISHelperScriptMapsOnIis6, KeyMatchingItsInheritedListKeepsNoOwnMaps) {
  const std::string added = ".x,\"C:\\p\\f.dll\",5";
  const Strings rootMaps{kY};
  image.WriteMetabase(Metabase({kY, ".X,\"c:\\P\\F.DLL\",5"}, &rootMaps));
  Connect();
  ASSERT_TRUE(iis.AddScriptMap(u".x", u"C:\\p\\f.dll", 5, u"", u"1/ROOT", false));
  EXPECT_FALSE(image.Has("/LM/W3SVC/1/ROOT", MD_SCRIPT_MAPS));
}

TEST_F(IISHelperScriptMapsOnIis6, AncestorThatDoesNotLetInheritIsNoReason) {
  const Strings rootMaps{kY};
  image.WriteMetabase(Metabase({kY, ".x,\"C:\\p\\f.dll\",5"}, &rootMaps, ""));
  Connect();
  ASSERT_TRUE(iis.AddScriptMap(u".x", u"C:\\p\\f.dll", 5, u"", u"1/ROOT", false));
  EXPECT_EQ(image.List("/LM/W3SVC/1/ROOT", MD_SCRIPT_MAPS), (Strings{kY, ".x,\"C:\\p\\f.dll\",5"}));
}

TEST_F(IISHelperScriptMapsOnIis6, KeyWithoutOwnMapsStartsFromTheInheritedList) {
  image.WriteMetabase(Metabase({kY}));
  Connect();
  ASSERT_TRUE(iis.AddScriptMap(u".x", u"C:\\p\\f.dll", 5, u"", u"1/ROOT", false));
  EXPECT_EQ(image.List("/LM/W3SVC/1/ROOT", MD_SCRIPT_MAPS), (Strings{kY, ".x,\"C:\\p\\f.dll\",5"}));
  EXPECT_EQ(image.List("/LM/W3SVC", MD_SCRIPT_MAPS), (Strings{kY}));
}

TEST_F(IISHelperScriptMapsOnIis6, WebServiceWithoutOwnMapsCannotBeAddedTo) {
  image.WriteMetabase("<Key name=\"LM\"><Key name=\"W3SVC\"/></Key>");
  Connect();
  EXPECT_FALSE(iis.AddScriptMap(u".x", u"C:\\p\\f.dll", 5, u"", u"", true));
}

TEST_F(IISHelperScriptMapsOnIis6, SubkeysWithOwnMapsAreUpdatedToo) {
  image.WriteDefaultMetabase();
  Connect();
  ASSERT_TRUE(iis.AddScriptMap(u".x", u"C:\\p\\f.dll", 5, u"GET", u"", true));
  const std::string entry = ".x,\"C:\\p\\f.dll\",5,GET";
  EXPECT_EQ(image.List("/LM/W3SVC", MD_SCRIPT_MAPS).back(), entry);
  const Strings shop = image.List("/LM/W3SVC/3/ROOT", MD_SCRIPT_MAPS);
  ASSERT_GE(shop.size(), 2u);
  EXPECT_EQ(shop.back(), entry);
  EXPECT_EQ(shop[shop.size() - 2], ".php,C:\\PHP\\php5isapi.dll,5,GET,HEAD,POST");
  EXPECT_FALSE(image.Has("/LM/W3SVC/1/ROOT", MD_SCRIPT_MAPS));
}

// Add then remove (as the package and its uninstall do) gives the file back.
TEST_F(IISHelperScriptMapsOnIis6, AddThenRemoveLeavesTheDefaultMetabaseUnchanged) {
  image.WriteDefaultMetabase();
  Connect();
  ASSERT_TRUE(iis.Save(IISHelper::SaveMetabase));
  const std::string before = image.MetabaseFile();
  ASSERT_TRUE(iis.AddScriptMap(u".qv", u"C:\\p\\iquaver.dll", 5, u"", u"", true));
  ASSERT_TRUE(iis.AddScriptMap(u"*", u"C:\\p\\iquaver.dll", 0, u"", u"", true));
  ASSERT_TRUE(iis.RemoveScriptMap(u".qv", u"", true));
  ASSERT_TRUE(iis.RemoveWildcardScriptMap(u"iquaver.dll", u"", true));
  EXPECT_EQ(image.MetabaseFile(), before);
}

TEST_F(IISHelperScriptMapsOnIis6, RemovalThatMatchesTheInheritedListDropsOwnMaps) {
  const Strings rootMaps{kY, ".x,C:\\f.dll,1"};
  image.WriteMetabase(Metabase({kY}, &rootMaps));
  Connect();
  ASSERT_TRUE(iis.RemoveScriptMap(u".x", u"", true));
  EXPECT_FALSE(image.Has("/LM/W3SVC/1/ROOT", MD_SCRIPT_MAPS));
  EXPECT_EQ(image.List("/LM/W3SVC", MD_SCRIPT_MAPS), (Strings{kY}));
}

TEST_F(IISHelperScriptMapsOnIis6, RemovalAtAKeyWithoutOwnMapsFails) {
  image.WriteMetabase(Metabase({kY, ".x,C:\\f.dll,1"}));
  Connect();
  EXPECT_FALSE(iis.RemoveScriptMap(u".x", u"1/ROOT", false));
  EXPECT_FALSE(iis.RemoveWildcardScriptMap(u"f.dll", u"1/ROOT", false));
  EXPECT_EQ(image.List("/LM/W3SVC", MD_SCRIPT_MAPS).size(), 2u);
}

TEST_F(IISHelperScriptMapsOnIis6, WildcardRemovalTouchesWildcardEntriesOnly) {
  image.WriteMetabase(
      Metabase({"*,C:\\a\\f.dll,0", ".f,C:\\a\\f.dll,1", "*,C:\\b\\g.dll,0", "*,C:\\c\\F.DLL,0"}));
  Connect();
  ASSERT_TRUE(iis.RemoveWildcardScriptMap(u"f.dll", u"", true));
  EXPECT_EQ(image.List("/LM/W3SVC", MD_SCRIPT_MAPS),
            (Strings{".f,C:\\a\\f.dll,1", "*,C:\\b\\g.dll,0", "*,C:\\c\\F.DLL,0"}));
}

// An empty executable names no wildcard map; it must not remove them all.
TEST_F(IISHelperScriptMapsOnIis6, EmptyWildcardExecutableRemovesNothing) {
  const Strings maps{"*,C:\\a\\f.dll,0", kY};
  image.WriteMetabase(Metabase(maps));
  Connect();
  ASSERT_TRUE(iis.RemoveWildcardScriptMap(u"", u"", true));
  EXPECT_EQ(image.List("/LM/W3SVC", MD_SCRIPT_MAPS), maps);
}

}  // namespace
