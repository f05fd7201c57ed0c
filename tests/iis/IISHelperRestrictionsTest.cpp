// The web service extension list: the add and remove substring rules.
#include <gtest/gtest.h>

#include "iis/IISHelper.h"
#include "tests/iis/IisTestImage.h"

namespace {

using quaver::test::IisTestImage;
using quaver::test::ListProperty;
using Strings = std::vector<std::string>;

const std::string kAsp = "1,C:\\WINDOWS\\system32\\inetsrv\\asp.dll,0,ASP,Active Server Pages";

std::string Metabase(const Strings& list) {
  return "<Key name=\"LM\"><Key name=\"W3SVC\">" +
         ListProperty(MD_WEB_SVC_EXT_RESTRICTION_LIST, list, "WAM", "Inherit") + "</Key></Key>";
}

class IISHelperRestrictions : public ::testing::Test {
 protected:
  void Connect() { ASSERT_TRUE(iis.Connect(IISHelper::ConnectMetabase)); }
  Strings List() const { return image.List("/LM/W3SVC", MD_WEB_SVC_EXT_RESTRICTION_LIST); }

  IisTestImage image{6};
  IISHelper iis;
};

TEST_F(IISHelperRestrictions, AddingTwiceLeavesOneEntryAtTheEnd) {
  image.WriteMetabase(Metabase({"0,*.dll", kAsp}));
  Connect();
  ASSERT_TRUE(iis.AddWebServiceRestriction(u"Quaver", u"IIS Quaver", u"C:\\q\\old.dll"));
  ASSERT_TRUE(iis.AddWebServiceRestriction(u"ASP.NET", u"ASP.NET v2", u"C:\\n\\aspnet.dll"));
  ASSERT_TRUE(iis.AddWebServiceRestriction(u"Quaver", u"IIS Quaver", u"C:\\q\\iquaver.dll"));
  EXPECT_EQ(List(), (Strings{"0,*.dll", kAsp, "1,C:\\n\\aspnet.dll,0,ASP.NET,ASP.NET v2",
                             "1,C:\\q\\iquaver.dll,0,Quaver,IIS Quaver"}));
  // The attributes stay, the user type becomes the server's.
  EXPECT_EQ(image.Attributes("/LM/W3SVC", MD_WEB_SVC_EXT_RESTRICTION_LIST), METADATA_INHERIT);
  EXPECT_EQ(image.UserType("/LM/W3SVC", MD_WEB_SVC_EXT_RESTRICTION_LIST), IIS_MD_UT_SERVER);
}

TEST_F(IISHelperRestrictions, NewDescriptionKeepsTheOldEntry) {
  image.WriteMetabase(Metabase({"1,C:\\q\\a.dll,0,Quaver,Old"}));
  Connect();
  ASSERT_TRUE(iis.AddWebServiceRestriction(u"Quaver", u"New", u"C:\\q\\a.dll"));
  EXPECT_EQ(List(), (Strings{"1,C:\\q\\a.dll,0,Quaver,Old", "1,C:\\q\\a.dll,0,Quaver,New"}));
}

TEST_F(IISHelperRestrictions, RemovalMatchesTheGroupTextAnywhere) {
  image.WriteMetabase(Metabase({"1,C:\\q\\a.dll,0,Quaver,IIS Quaver", kAsp,
                                "0,C:\\Quaver\\old.dll,0,Other,Other", "1,C:\\x.dll,0,X,quaver"}));
  Connect();
  ASSERT_TRUE(iis.RemoveWebServiceRestriction(u"Quaver"));
  EXPECT_EQ(List(), (Strings{kAsp, "1,C:\\x.dll,0,X,quaver"}));
  EXPECT_EQ(image.UserType("/LM/W3SVC", MD_WEB_SVC_EXT_RESTRICTION_LIST), IIS_MD_UT_WAM);
}

// An empty group, or an empty group with an empty description, would match
// every entry and empty the list.
TEST_F(IISHelperRestrictions, EmptyGroupRemovesNothing) {
  const Strings list{"0,*.dll", kAsp};
  image.WriteMetabase(Metabase(list));
  Connect();
  ASSERT_TRUE(iis.RemoveWebServiceRestriction(u""));
  EXPECT_EQ(List(), list);
  ASSERT_TRUE(iis.AddWebServiceRestriction(u"", u"", u"C:\\q.dll"));
  EXPECT_EQ(List(), (Strings{"0,*.dll", kAsp, "1,C:\\q.dll,0,,"}));
}

// Without a group the description still finds the entry being added again.
TEST_F(IISHelperRestrictions, EmptyGroupAddedTwiceLeavesOneEntry) {
  image.WriteMetabase(Metabase({kAsp}));
  Connect();
  ASSERT_TRUE(iis.AddWebServiceRestriction(u"", u"Quaver", u"C:\\q\\old.dll"));
  ASSERT_TRUE(iis.AddWebServiceRestriction(u"", u"Quaver", u"C:\\q\\new.dll"));
  EXPECT_EQ(List(), (Strings{kAsp, "1,C:\\q\\new.dll,0,,Quaver"}));
}

TEST_F(IISHelperRestrictions, MissingListFails) {
  image.WriteMetabase("<Key name=\"LM\"><Key name=\"W3SVC\"/></Key>");
  Connect();
  EXPECT_FALSE(iis.AddWebServiceRestriction(u"Quaver", u"IIS Quaver", u"C:\\q.dll"));
  EXPECT_FALSE(iis.RemoveWebServiceRestriction(u"Quaver"));
}

TEST(IISHelperRestrictionsBelowIis6, SucceedWithoutTouchingTheMetabase) {
  IisTestImage image(5);
  image.WriteMetabase("<Key name=\"LM\"><Key name=\"W3SVC\"/></Key>");
  const std::string before = image.MetabaseFile();
  IISHelper iis;
  ASSERT_TRUE(iis.Connect(IISHelper::ConnectMetabase));
  EXPECT_TRUE(iis.AddWebServiceRestriction(u"Quaver", u"IIS Quaver", u"C:\\q.dll"));
  EXPECT_TRUE(iis.RemoveWebServiceRestriction(u"Quaver"));
  EXPECT_EQ(image.MetabaseFile(), before);
}

TEST(IISHelperRestrictionsWithoutMetabase, Fail) {
  IisTestImage image(6);
  IISHelper iis;
  EXPECT_FALSE(iis.AddWebServiceRestriction(u"Quaver", u"IIS Quaver", u"C:\\q.dll"));
  EXPECT_FALSE(iis.RemoveWebServiceRestriction(u"Quaver"));
}

}  // namespace
