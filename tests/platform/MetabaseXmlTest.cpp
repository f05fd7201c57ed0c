// The stand-in's earlier metabase file form: still read, written back in
// the same form, and malformed files are refused with the reason.
#include <gtest/gtest.h>

#include "platform/machine.h"
#include "platform/metabase/MetabaseXml.h"

namespace {

using metabase::Key;
using metabase::Property;


// A tree read from the stand-in's earlier form is written back in it.
TEST(MetabaseXml, EarlierFormStaysInItsForm) {
  Key root(u"");
  root.AddChild(u"LM").SetProperty(metabase::MakeProperty(1002, STRING_METADATA, 0, IIS_MD_UT_SERVER,
                                        metabase::EncodeString(u"IIsComputer")));
  const std::string text =
      "<Metabase><Key name=\"LM\"><Property id=\"1002\" type=\"String\" userType=\"Server\">"
      "IIsComputer</Property></Key></Metabase>";
  const auto read = metabase::ParseMetabaseXml(text, "MetaBase.xml");
  EXPECT_EQ(read->FindChild(u"LM")->Properties().front(), root.FindChild(u"LM")->Properties().front());
  const std::string written = metabase::SerializeMetabaseXml(*read);
  EXPECT_NE(written.find("<Property id=\"1002\" name=\"KeyType\""), std::string::npos) << written;
  EXPECT_EQ(metabase::ParseMetabaseXml(written, "MetaBase.xml")->FindChild(u"LM")->Properties(),
            root.FindChild(u"LM")->Properties());
}

TEST(MetabaseXml, MalformedFilesAreRefused) {
  const char* const cases[] = {
      "<Metabase><Key name=\"LM\"></Metabase>",
      "<Configuration/>",
      "<Metabase><Key/></Metabase>",
      "<Metabase><Key name=\"a/b\"/></Metabase>",
      "<Metabase><Key name=\"A\"/><Key name=\"a\"/></Metabase>",
      "<Metabase><Property id=\"x\" type=\"String\"/></Metabase>",
      "<Metabase><Property id=\"1\" type=\"Text\"/></Metabase>",
      "<Metabase><Property id=\"1\" type=\"DWORD\">-1</Property></Metabase>",
      "<Metabase><Property id=\"1\" type=\"DWORD\">4294967296</Property></Metabase>",
      "<Metabase><Property id=\"1\" type=\"Binary\">abc</Property></Metabase>",
      "<Metabase><Property id=\"1\" type=\"String\" attributes=\"Sticky\"/></Metabase>",
      "<Metabase><Value/></Metabase>",
  };
  for (const char* text : cases) {
    SCOPED_TRACE(text);
    EXPECT_THROW(metabase::ParseMetabaseXml(text, "MetaBase.xml"), machine::MachineError);
  }
  // A key name the metabase could not hand out.
  const std::string longName = "<Metabase><Key name=\"" + std::string(256, 'k') + "\"/></Metabase>";
  EXPECT_THROW(metabase::ParseMetabaseXml(longName, "MetaBase.xml"), machine::MachineError);
}

}  // namespace
