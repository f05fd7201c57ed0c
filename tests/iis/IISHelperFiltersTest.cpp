// ISAPI filters: the load-order insertion rule, creating a missing filters
// key, and removal across websites.
#include <gtest/gtest.h>

#include <optional>

#include "iis/IISHelper.h"
#include "tests/iis/IisTestImage.h"

namespace {

using quaver::test::IisTestImage;
using quaver::test::StringProperty;

// /LM/W3SVC with global filters (load order given, or none; filter keys)
// and website 1 (its content given).
std::string WebService(std::optional<std::string> globalLoadOrder, const std::string& site1 = "",
                       const std::string& globalFilterKeys = "") {
  std::string filters = StringProperty(MD_KEY_TYPE, "IIsFilters");
  if (globalLoadOrder) {
    filters += StringProperty(MD_FILTER_LOAD_ORDER, *globalLoadOrder, "Server", "Inherit");
  }
  filters += globalFilterKeys;
  return "<Key name=\"LM\"><Key name=\"W3SVC\">" + StringProperty(MD_KEY_TYPE, "IIsWebService") +
         "<Key name=\"Filters\">" + filters + "</Key>" + "<Key name=\"1\">" +
         StringProperty(MD_KEY_TYPE, "IIsWebServer") + site1 + "</Key>" + "</Key></Key>";
}

std::string FilterKey(const std::string& name) {
  return "<Key name=\"" + name + "\">" + StringProperty(MD_KEY_TYPE, "IIsFilter") +
         StringProperty(MD_FILTER_IMAGE_PATH, "C:\\f\\" + name + ".dll") + "</Key>";
}

class IISHelperFilters : public ::testing::Test {
 protected:
  void Connect() { ASSERT_TRUE(iis.Connect(IISHelper::ConnectMetabase)); }

  IisTestImage image{6};
  IISHelper iis;
};

struct InsertionCase {
  const char* name;
  std::optional<std::string> oldOrder;
  uint32_t position;
  const char* expected;
};

TEST_F(IISHelperFilters, LoadOrderInsertion) {
  const InsertionCase cases[] = {
      {"MiddlePosition", "a,b,c", 1, "a,q,b,c"},
      {"FirstPosition", "a,b,c", 0, "q,a,b,c"},
      {"OldSpellingDroppedAndBeyondEndGoesLast", "a,Q,b", 5, "a,b,q"},
      {"EndMarker", "a,b", IISHelper::FilterPositionLast, "a,b,q"},
      {"PositionAtEnd", "a,b", 2, "a,b,q"},
      {"EmptyOrder", "", 3, "q"},
      {"MissingOrder", std::nullopt, 0, "q"},
      {"EmptyPieceKept", "a,,b", 1, "a,q,,b"},
      {"TrailingCommaGivesNoPiece", "a,b,", 5, "a,b,q"},
      {"AlreadyThereMovesToPosition", "q,a,b", 2, "a,b,q"},
      {"SpacesAreNotTrimmed", " a , b", 1, " a ,q, b"},
  };
  Connect();
  for (const InsertionCase& c : cases) {
    SCOPED_TRACE(c.name);
    image.WriteMetabase(WebService(c.oldOrder));
    ASSERT_TRUE(iis.AddFilter(u"q", u"C:\\p\\q.dll", c.position, u"The Q", u""));
    EXPECT_EQ(image.Text("/LM/W3SVC/Filters", MD_FILTER_LOAD_ORDER), c.expected);
    EXPECT_EQ(image.Text("/LM/W3SVC/Filters/q", MD_KEY_TYPE), "IIsFilter");
    EXPECT_EQ(image.Text("/LM/W3SVC/Filters/q", MD_FILTER_IMAGE_PATH), "C:\\p\\q.dll");
    EXPECT_EQ(image.Text("/LM/W3SVC/Filters/q", MD_FILTER_DESCRIPTION), "The Q");
  }
}

TEST_F(IISHelperFilters, RewriteKeepsAttributesOfTheLoadOrder) {
  image.WriteMetabase(WebService(std::string("a")));
  Connect();
  ASSERT_TRUE(iis.AddFilter(u"q", u"C:\\p\\q.dll", 0, u"", u""));
  EXPECT_EQ(image.Attributes("/LM/W3SVC/Filters", MD_FILTER_LOAD_ORDER), METADATA_INHERIT);
  EXPECT_EQ(image.UserType("/LM/W3SVC/Filters", MD_FILTER_LOAD_ORDER), IIS_MD_UT_SERVER);
  EXPECT_FALSE(image.Has("/LM/W3SVC/Filters/q", MD_FILTER_DESCRIPTION));
}

TEST_F(IISHelperFilters, ReaddingReplacesTheFilterKey) {
  image.WriteMetabase(WebService(std::string("q"), ""));
  Connect();
  ASSERT_TRUE(iis.AddFilter(u"q", u"C:\\old\\q.dll", 0, u"", u""));
  ASSERT_TRUE(iis.OpenKey(u"/LM/W3SVC/Filters/q"));
  ASSERT_TRUE(iis.SetDwordData(MD_FILTER_STATE, 1, 0, IIS_MD_UT_SERVER, u""));
  ASSERT_TRUE(iis.AddFilter(u"q", u"C:\\new\\q.dll", 0, u"", u""));
  EXPECT_EQ(image.Text("/LM/W3SVC/Filters", MD_FILTER_LOAD_ORDER), "q");
  EXPECT_EQ(image.Text("/LM/W3SVC/Filters/q", MD_FILTER_IMAGE_PATH), "C:\\new\\q.dll");
  EXPECT_FALSE(image.Has("/LM/W3SVC/Filters/q", MD_FILTER_STATE));
}

TEST_F(IISHelperFilters, WebsiteWithoutFiltersKeyGetsOne) {
  image.WriteMetabase(WebService(std::string("g")));
  Connect();
  for (const char16_t* site : {u"1", u"/1"}) {
    ASSERT_TRUE(iis.AddFilter(u"q", u"C:\\p\\q.dll", 7, u"", site));
    EXPECT_EQ(image.Text("/LM/W3SVC/1/Filters", MD_KEY_TYPE), "IIsFilters");
    EXPECT_EQ(image.Text("/LM/W3SVC/1/Filters", MD_FILTER_LOAD_ORDER), "q");
    EXPECT_EQ(image.Text("/LM/W3SVC/1/Filters/q", MD_KEY_TYPE), "IIsFilter");
    EXPECT_EQ(image.Text("/LM/W3SVC/Filters", MD_FILTER_LOAD_ORDER), "g");
  }
}

TEST_F(IISHelperFilters, UnknownWebsiteFails) {
  image.WriteMetabase(WebService(std::string("g")));
  Connect();
  EXPECT_FALSE(iis.AddFilter(u"q", u"C:\\p\\q.dll", 0, u"", u"9"));
}

TEST_F(IISHelperFilters, RemovalComparesCaseSensitively) {
  image.WriteMetabase(WebService(std::string("a,Q,q"), "", FilterKey("q")));
  Connect();
  ASSERT_TRUE(iis.RemoveFilter(u"q", u"", true));
  EXPECT_EQ(image.Text("/LM/W3SVC/Filters", MD_FILTER_LOAD_ORDER), "a,Q");
  EXPECT_FALSE(image.HasKey("/LM/W3SVC/Filters/q"));
  EXPECT_EQ(image.Attributes("/LM/W3SVC/Filters", MD_FILTER_LOAD_ORDER), METADATA_INHERIT);
}

TEST_F(IISHelperFilters, RemoveAcrossWebsites) {
  const std::string site1Filters =
      "<Key name=\"Filters\">" + StringProperty(MD_KEY_TYPE, "IIsFilters") +
      StringProperty(MD_FILTER_LOAD_ORDER, "q,x") + FilterKey("q") + FilterKey("x") + "</Key>";
  image.WriteMetabase(WebService(std::string("q"), site1Filters, FilterKey("q")));
  Connect();
  ASSERT_TRUE(iis.RemoveFilter(u"q", u"", true));
  EXPECT_EQ(image.Text("/LM/W3SVC/Filters", MD_FILTER_LOAD_ORDER), "");
  EXPECT_FALSE(image.HasKey("/LM/W3SVC/Filters/q"));
  EXPECT_EQ(image.Text("/LM/W3SVC/1/Filters", MD_FILTER_LOAD_ORDER), "x");
  EXPECT_FALSE(image.HasKey("/LM/W3SVC/1/Filters/q"));
  EXPECT_TRUE(image.HasKey("/LM/W3SVC/1/Filters/x"));
  // Found nowhere any more: still a success, and nothing changes.
  const std::string before = image.MetabaseFile();
  EXPECT_TRUE(iis.RemoveFilter(u"q", u"", true));
  EXPECT_EQ(image.MetabaseFile(), before);
}

TEST_F(IISHelperFilters, RemoveFromOneWebsiteOnly) {
  const std::string site1Filters =
      "<Key name=\"Filters\">" + StringProperty(MD_KEY_TYPE, "IIsFilters") +
      StringProperty(MD_FILTER_LOAD_ORDER, "q") + FilterKey("q") + "</Key>";
  image.WriteMetabase(WebService(std::string(""), site1Filters));
  Connect();
  ASSERT_TRUE(iis.AddFilter(u"q", u"C:\\p\\q.dll", 0, u"", u""));
  ASSERT_TRUE(iis.RemoveFilter(u"q", u"1", false));
  EXPECT_FALSE(image.HasKey("/LM/W3SVC/1/Filters/q"));
  EXPECT_TRUE(image.HasKey("/LM/W3SVC/Filters/q"));
}

// A site that is also one of all websites is removed from once; a second
// pass would find its filter key gone and report a failure after the
// removal succeeded.
TEST_F(IISHelperFilters, SiteNamedTwiceIsRemovedOnce) {
  const std::string site1Filters =
      "<Key name=\"Filters\">" + StringProperty(MD_KEY_TYPE, "IIsFilters") +
      StringProperty(MD_FILTER_LOAD_ORDER, "q") + FilterKey("q") + "</Key>";
  image.WriteMetabase(WebService(std::string(""), site1Filters));
  Connect();
  EXPECT_TRUE(iis.RemoveFilter(u"q", u"1", true));
  EXPECT_FALSE(image.HasKey("/LM/W3SVC/1/Filters/q"));
}

TEST_F(IISHelperFilters, FiltersKeyWithoutLoadOrderCannotBeRemovedFrom) {
  const std::string site1Filters = "<Key name=\"Filters\">" +
                                   StringProperty(MD_KEY_TYPE, "IIsFilters") + FilterKey("q") +
                                   "</Key>";
  image.WriteMetabase(WebService(std::string(""), site1Filters));
  Connect();
  EXPECT_FALSE(iis.RemoveFilter(u"q", u"", true));
  EXPECT_TRUE(image.HasKey("/LM/W3SVC/1/Filters/q"));
}

TEST_F(IISHelperFilters, NeedsTheMetabase) {
  image.WriteMetabase(WebService(std::string("a")));
  EXPECT_FALSE(iis.AddFilter(u"q", u"C:\\p\\q.dll", 0, u"", u""));
  EXPECT_FALSE(iis.RemoveFilter(u"q", u"", true));
}

// Adding the product's filter to a website of a new server and removing it
// again leaves the website's Filters key with the empty load order the
// removal writes (the key had none, as on IIS 6); from then on, and for the
// global filters, the metabase file stays byte for byte as it was.
TEST_F(IISHelperFilters, AddThenRemoveLeavesTheDefaultMetabaseUnchanged) {
  image.WriteDefaultMetabase();
  Connect();
  for (const char16_t* site : {u"1", u"2"}) {
    ASSERT_TRUE(iis.AddFilter(u"Quaver", u"C:\\q.dll", 0, u"", site));
    ASSERT_TRUE(iis.RemoveFilter(u"Quaver", u"", true));
  }
  EXPECT_EQ(image.Text("/LM/W3SVC/1/Filters", MD_FILTER_LOAD_ORDER), "");
  ASSERT_TRUE(iis.Save(IISHelper::SaveMetabase));
  const std::string before = image.MetabaseFile();
  for (const char16_t* site : {u"1", u"2", u""}) {
    ASSERT_TRUE(iis.AddFilter(u"Quaver", u"C:\\Program Files\\Corvane\\Quaver\\iquaver.dll", 0,
                              u"IIS Quaver", site));
    ASSERT_NE(image.MetabaseFile(), before);
    ASSERT_TRUE(iis.RemoveFilter(u"Quaver", u"", true));
    ASSERT_TRUE(iis.Save(IISHelper::SaveAll));
    EXPECT_EQ(image.MetabaseFile(), before);
  }
}

}  // namespace
