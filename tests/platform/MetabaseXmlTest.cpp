// The metabase file form: every data type survives a write and a read, and
// malformed files are refused with the reason.
#include <gtest/gtest.h>

#include "platform/machine.h"
#include "platform/metabase/MetabaseXml.h"

namespace {

using metabase::Key;
using metabase::Property;

Property Make(DWORD id, DWORD type, DWORD attributes, DWORD userType, std::vector<uint8_t> data) {
  Property property;
  property.id = id;
  property.dataType = type;
  property.attributes = attributes;
  property.userType = userType;
  property.data = std::move(data);
  return property;
}

TEST(MetabaseXml, EveryTypeRoundTrips) {
  Key root(u"");
  Key& key = root.AddChild(u"LM").AddChild(u"Key With Spaces & <Marks>");
  key.SetProperty(Make(1015, STRING_METADATA, 0, IIS_MD_UT_SERVER,
                       metabase::EncodeString(u"  padded <&> \u00e9\u4e2d  ")));
  key.SetProperty(Make(1016, STRING_METADATA, 0, IIS_MD_UT_SERVER, metabase::EncodeString(u"")));
  key.SetProperty(Make(2, DWORD_METADATA, METADATA_INHERIT | METADATA_SECURE | 0x4000, 77,
                       metabase::EncodeDword(0xFFFFFFFFu)));
  key.SetProperty(Make(3, BINARY_METADATA, 0, IIS_MD_UT_WAM, {0x00, 0xAB, 0xFF}));
  key.SetProperty(Make(4, EXPANDSZ_METADATA, 0, IIS_MD_UT_FILE,
                       metabase::EncodeString(u"%windir%\\x")));
  key.SetProperty(Make(6014, MULTISZ_METADATA, METADATA_INHERIT, IIS_MD_UT_FILE,
                       metabase::EncodeMultiString({u"a,b", u" ", u"c"})));
  key.SetProperty(Make(6015, MULTISZ_METADATA, 0, IIS_MD_UT_FILE,
                       metabase::EncodeMultiString({})));
  key.AddChild(u"child");

  const std::string text = metabase::SerializeMetabaseXml(root);
  const auto read = metabase::ParseMetabaseXml(text, "MetaBase.xml");
  const Key* again = read->FindChild(u"lm")->FindChild(u"KEY WITH SPACES & <MARKS>");
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->Name(), u"Key With Spaces & <Marks>");
  ASSERT_EQ(again->Properties().size(), key.Properties().size());
  for (size_t i = 0; i < key.Properties().size(); ++i) {
    const Property& want = key.Properties()[i];
    const Property& got = again->Properties()[i];
    SCOPED_TRACE(want.id);
    EXPECT_EQ(got.id, want.id);
    EXPECT_EQ(got.dataType, want.dataType);
    EXPECT_EQ(got.attributes, want.attributes);
    EXPECT_EQ(got.userType, want.userType);
    EXPECT_EQ(got.data, want.data);
  }
  EXPECT_NE(again->FindChild(u"child"), nullptr);
  // Written again, the text is the same: the form is stable.
  EXPECT_EQ(metabase::SerializeMetabaseXml(*read), text);
  EXPECT_NE(text.find("name=\"ScriptMaps\""), std::string::npos);
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
