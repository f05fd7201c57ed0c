// The metabase primitives as callers use them: the website enumeration,
// variable-size reads, data paths, saving and the backups.
#include <gtest/gtest.h>

#include "iis/IISHelper.h"
#include "tests/iis/IisTestImage.h"

namespace {

using quaver::test::IisTestImage;
using quaver::test::ListProperty;
using quaver::test::StringProperty;

class IISHelperMetabase : public ::testing::Test {
 protected:
  void SetUp() override {
    image.WriteDefaultMetabase();
    ASSERT_TRUE(iis.Connect(IISHelper::ConnectMetabase));
  }

  IisTestImage image{6};
  IISHelper iis;
  uint32_t attributes = 0;
  uint32_t userType = 0;
};

// The websites of "/LM/W3SVC" as the site list and the access rights find
// them: subkeys whose key type is "IIsWebServer" in any letter case.
TEST_F(IISHelperMetabase, WebsiteEnumeration) {
  ASSERT_TRUE(iis.OpenKey(u"/LM/W3SVC"));
  ASSERT_TRUE(iis.SetStringData(MD_KEY_TYPE, u"iiswebSERVER", 0, IIS_MD_UT_SERVER, u"2"));
  CSPList<CSPWString> keys;
  ASSERT_TRUE(iis.EnumKeys(keys, u""));
  std::vector<std::string> found;
  for (uint32_t i = 0; i < keys.GetCount(); ++i) {
    CSPWString type;
    CSPWString name;
    CSPWString root;
    ASSERT_TRUE(iis.GetStringData(MD_KEY_TYPE, type, attributes, userType, keys.GetAt(i)));
    if (type.CompareNoCase(u"IIsWebServer") != 0) continue;
    ASSERT_TRUE(iis.GetStringData(MD_SERVER_COMMENT, name, attributes, userType, keys.GetAt(i)));
    ASSERT_TRUE(
        iis.GetStringData(MD_VR_PATH, root, attributes, userType, keys.GetAt(i) + u"/Root"));
    CSPString id(keys.GetAt(i));
    CSPString narrow(name + u"=" + root);
    found.push_back(std::string(id.GetString()) + ":" + narrow.GetString());
  }
  EXPECT_EQ(found, (std::vector<std::string>{"1:Default Web Site=C:\\Inetpub\\wwwroot",
                                             "2:Intranet=C:\\Inetpub\\intranet",
                                             "3:Shop=C:\\Sites\\shop"}));
}

TEST_F(IISHelperMetabase, LongValuesNeedTheResize) {
  ASSERT_TRUE(iis.OpenKey(u"/LM/W3SVC"));
  CSPWString comment;
  ASSERT_TRUE(iis.GetStringData(MD_SERVER_COMMENT, comment, attributes, userType, u"1"));
  EXPECT_EQ(comment, u"Default Web Site");
  EXPECT_EQ(userType, IIS_MD_UT_SERVER);
  CSPList<CSPWString> maps;
  ASSERT_TRUE(iis.GetMultiStringData(MD_SCRIPT_MAPS, maps, attributes, userType, u""));
  EXPECT_EQ(maps.GetCount(), 11u);
  EXPECT_EQ(attributes, METADATA_INHERIT);
  EXPECT_EQ(userType, IIS_MD_UT_FILE);
  uint32_t access = 0;
  ASSERT_TRUE(iis.GetDwordData(MD_ACCESS_PERM, access, attributes, userType, u"1/ROOT"));
  EXPECT_EQ(access, MD_ACCESS_READ | MD_ACCESS_SCRIPT);
}

TEST_F(IISHelperMetabase, ReadsSeeOnlyDataSetAtThePathItself) {
  ASSERT_TRUE(iis.OpenKey(u"/LM/W3SVC/1"));
  CSPList<CSPWString> maps;
  maps.Add(u"untouched");
  EXPECT_FALSE(iis.GetMultiStringData(MD_SCRIPT_MAPS, maps, attributes, userType, u"ROOT"));
  ASSERT_EQ(maps.GetCount(), 1u);
  EXPECT_EQ(maps.GetAt(0), u"untouched");
  CSPWString text;
  EXPECT_FALSE(iis.GetStringData(MD_SERVER_STATE, text, attributes, userType, u""));
}

TEST_F(IISHelperMetabase, MultiStringStopsAtTheFirstEmptyString) {
  ASSERT_TRUE(iis.OpenKey(u"/LM/W3SVC"));
  CSPList<CSPWString> written;
  written.Add(u"a");
  written.Add(u"");
  written.Add(u"c");
  ASSERT_TRUE(iis.SetMultiStringData(MD_SERVER_BINDINGS, written, 0, IIS_MD_UT_SERVER, u"1"));
  CSPList<CSPWString> read;
  ASSERT_TRUE(iis.GetMultiStringData(MD_SERVER_BINDINGS, read, attributes, userType, u"1"));
  ASSERT_EQ(read.GetCount(), 1u);
  EXPECT_EQ(read.GetAt(0), u"a");
}

TEST_F(IISHelperMetabase, DataPathsComeWithALeadingSlash) {
  ASSERT_TRUE(iis.OpenKey(u"/LM/W3SVC"));
  CSPList<CSPWString> paths;
  ASSERT_TRUE(iis.GetDataPaths(MD_APPPOOL_IDENTITY_TYPE, paths, u""));
  ASSERT_EQ(paths.GetCount(), 4u);
  EXPECT_EQ(paths.GetAt(0), u"/AppPools/");
  EXPECT_EQ(paths.GetAt(1), u"/AppPools/DefaultAppPool/");
  ASSERT_TRUE(iis.GetDataPaths(MD_SCRIPT_MAPS, paths, u"3"));
  ASSERT_EQ(paths.GetCount(), 1u);
  EXPECT_EQ(paths.GetAt(0), u"/3/ROOT/");
  ASSERT_TRUE(iis.GetDataPaths(MD_FILTER_IMAGE_PATH, paths, u"1"));
  EXPECT_EQ(paths.GetCount(), 0u);
  EXPECT_FALSE(iis.GetDataPaths(MD_SCRIPT_MAPS, paths, u"9"));
}

TEST_F(IISHelperMetabase, KeysAndData) {
  ASSERT_TRUE(iis.OpenKey(u"/LM/W3SVC/1/ROOT"));
  ASSERT_TRUE(iis.AddKey(u"app/sub"));
  EXPECT_FALSE(iis.AddKey(u"app"));
  ASSERT_TRUE(iis.SetDwordData(MD_ACCESS_PERM, 0x205, METADATA_INHERIT, IIS_MD_UT_FILE, u"app"));
  EXPECT_EQ(image.Dword("/LM/W3SVC/1/ROOT/app", MD_ACCESS_PERM), 0x205u);
  ASSERT_TRUE(iis.DeleteData(MD_ACCESS_PERM, u"app"));
  EXPECT_FALSE(iis.DeleteData(MD_ACCESS_PERM, u"app"));
  ASSERT_TRUE(iis.DeleteKey(u"app"));
  EXPECT_FALSE(image.HasKey("/LM/W3SVC/1/ROOT/app"));
  EXPECT_FALSE(iis.OpenKey(u"/LM/W3SVC/9"));
}

// Another connection cannot write below a key this one holds open; closing
// releases it.
TEST_F(IISHelperMetabase, OpenKeyLocksAgainstOtherWriters) {
  ASSERT_TRUE(iis.OpenKey(u"/LM/W3SVC/1"));
  IISHelper other;
  ASSERT_TRUE(other.Connect(IISHelper::ConnectMetabase));
  EXPECT_FALSE(other.OpenKey(u"/LM/W3SVC/1/ROOT"));
  EXPECT_FALSE(other.OpenKey(u"/LM/W3SVC"));
  EXPECT_TRUE(other.OpenKey(u"/LM/W3SVC/2"));
  ASSERT_TRUE(iis.CloseKey());
  EXPECT_TRUE(other.OpenKey(u"/LM/W3SVC/1/ROOT"));
}

// Save closes the key left open by an operation, which a save needs.
TEST_F(IISHelperMetabase, SaveClosesTheOpenKey) {
  ASSERT_TRUE(iis.AddFilter(u"Quaver", u"C:\\q.dll", 0, u"", u"1"));
  ASSERT_TRUE(iis.Save(IISHelper::SaveAll));
  IISHelper other;
  ASSERT_TRUE(other.Connect(IISHelper::ConnectMetabase));
  EXPECT_TRUE(other.OpenKey(u"/LM/W3SVC/1/Filters/Quaver"));
  EXPECT_FALSE(iis.Save(7));
}

// With only the metabase connected, a backup is a metabase backup; a
// restore brings its state back and deleting it removes it.
TEST_F(IISHelperMetabase, BackupRestoreAndDelete) {
  ASSERT_TRUE(iis.AddFilter(u"Quaver", u"C:\\q.dll", 0, u"", u"1"));
  ASSERT_TRUE(iis.Backup(u"Quaver Setup Temp Backup"));
  ASSERT_TRUE(iis.RemoveFilter(u"Quaver", u"", true));
  ASSERT_TRUE(iis.Backup(u"Quaver Setup Temp Backup"));
  const std::string removed = image.MetabaseFile();
  EXPECT_EQ(image
                .ReadHostFile("drive_c/Windows/System32/inetsrv/MetaBack/"
                              "Quaver Setup Temp Backup.MD0")
                .empty(),
            false);
  ASSERT_TRUE(iis.OpenKey(u"/LM/W3SVC"));
  ASSERT_TRUE(iis.DeleteKey(u"3"));
  // The newest backup (after the removal) comes back.
  ASSERT_TRUE(iis.Restore(u"Quaver Setup Temp Backup"));
  EXPECT_EQ(image.MetabaseFile(), removed);
  ASSERT_TRUE(iis.DeleteBackup(u"Quaver Setup Temp Backup"));
  // The older one is now the newest.
  ASSERT_TRUE(iis.Restore(u"Quaver Setup Temp Backup"));
  EXPECT_TRUE(image.HasKey("/LM/W3SVC/1/Filters/Quaver"));
  ASSERT_TRUE(iis.DeleteBackup(u"Quaver Setup Temp Backup"));
  EXPECT_FALSE(iis.Restore(u"Quaver Setup Temp Backup"));
  EXPECT_FALSE(iis.DeleteBackup(u"Quaver Setup Temp Backup"));
}

TEST_F(IISHelperMetabase, BackupNameTheMetabaseRefuses) {
  EXPECT_FALSE(iis.Backup(u"IIS Quaver 4.0.9 Backup"));
  EXPECT_TRUE(iis.Backup(u"IIS Quaver Pro Backup"));
}

}  // namespace
