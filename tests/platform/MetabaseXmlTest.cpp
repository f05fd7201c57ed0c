// The stand-in's earlier metabase file form: still read, written back in
// the same form, and malformed files are refused with the reason.
#include <gtest/gtest.h>

#include "platform/machine.h"
#include "platform/metabase/MetabaseXml.h"
#include "platform/text/XmlDocument.h"

namespace {

using metabase::Key;
using metabase::Property;

// A tree read from the stand-in's earlier form is written back in it.
TEST(MetabaseXml, EarlierFormStaysInItsForm) {
  Key root(u"");
  root.AddChild(u"LM").SetProperty(metabase::MakeProperty(
      1002, STRING_METADATA, 0, IIS_MD_UT_SERVER, metabase::EncodeString(u"IIsComputer")));
  const std::string text =
      "<Metabase><Key name=\"LM\"><Property id=\"1002\" type=\"String\" userType=\"Server\">"
      "IIsComputer</Property></Key></Metabase>";
  const auto read = metabase::ParseMetabaseXml(text, "MetaBase.xml");
  EXPECT_EQ(read->FindChild(u"LM")->Properties().front(),
            root.FindChild(u"LM")->Properties().front());
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

// Errors name the file and the line of the element at fault; nesting past
// the bound is refused before anything walks the tree.
TEST(MetabaseXml, RefusalsNameTheLine) {
  std::string nest;
  for (int i = 0; i < 50000; ++i) nest += "<a>";
  for (int i = 0; i < 50000; ++i) nest += "</a>";
  std::string deepKey = "/LM";
  for (size_t i = 0; i < metabase::kMaxKeyDepth; ++i) deepKey += "/k";
  const std::string head = "<configuration>\n<MBProperty>\n";
  const struct {
    std::string text;
    std::string error;
  } cases[] = {
      {head + "<IIsWebService Location=\"/LM/W3SVC\"\n>" + nest +
           "</IIsWebService>\n</MBProperty>\n</configuration>\n",
       "MetaBase.xml, line 4: Elements nested deeper than 64 levels"},
      {head + "<IIsWebService Location=\"/LM/W3SVC\"/>\n<IIsWebService Location=\"/LM/W3SVC\"/>\n"
              "</MBProperty>\n</configuration>\n",
       "MetaBase.xml, line 4: key /LM/W3SVC twice"},
      {head + "<IIsConfigObject Location=\"" + deepKey + "\"/>\n</MBProperty>\n</configuration>\n",
       "MetaBase.xml, line 3: key " + deepKey + " is nested deeper than 61 levels"},
      {head + "<IIsWebService Location=\"/LM/W3SVC\">\n<Custom ID=\"x\"/>\n</IIsWebService>\n"
              "</MBProperty>\n</configuration>\n",
       "MetaBase.xml, line 4: /LM/W3SVC: custom property \"x\" cannot be read"},
      {head + "<IIsWeb\xC6rvice Location=\"/LM/W3SVC\"/>\n</MBProperty>\n</configuration>\n",
       "MetaBase.xml, line 3: the element name of key /LM/W3SVC is not UTF-8 text"},
      // Written back, such a name would become a Custom key type beside it.
      {head + "<" + std::string(65, 'K') +
           " Location=\"/LM/W3SVC\"/>\n</MBProperty>\n</configuration>\n",
       "MetaBase.xml, line 3: the element name of key /LM/W3SVC is no key type name"},
      {head + "<a:b xmlns:a=\"x\" Location=\"/LM/W3SVC\"/>\n</MBProperty>\n</configuration>\n",
       "MetaBase.xml, line 3: the element name of key /LM/W3SVC is no key type name"},
      {"<configuration>\n<MBProperty>\n</configuration>\n",
       "MetaBase.xml, line 3: Start-end tags mismatch"},
      {"<configuration>\n</configuration>\n", "MetaBase.xml, line 1: no <MBProperty> element"},
      {"<Metabase>\n" + nest + "</Metabase>\n",
       "MetaBase.xml, line 2: Elements nested deeper than 64 levels"},
      {"<Metabase>\n<Key name=\"LM\">\n<Property id=\"1\" type=\"DWORD\">x</Property>\n</Key>\n"
       "</Metabase>\n",
       "MetaBase.xml, line 3: property 1: not a DWORD: \"x\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 80));
    try {
      metabase::ParseMetabaseXml(c.text, "MetaBase.xml");
      ADD_FAILURE() << "accepted";
    } catch (const machine::MachineError& e) {
      EXPECT_EQ(std::string(e.what()), c.error);
    }
  }
}

}  // namespace
