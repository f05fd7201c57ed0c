// IIS 6's own MetaBase.xml: a real server's file loads with the properties
// the system uses, is written back byte for byte, changes touch only their
// own lines, and an added-then-removed filter, script map and restriction
// leave the file exactly as it was.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/machine.h"
#include "platform/metabase/AdminBase.h"
#include "platform/metabase/DefaultMetabase.h"
#include "platform/metabase/MetabaseXml.h"
#include "platform/text.h"
#include "platform/win.h"
#include "tests/platform/AppHostTestSupport.h"
#include "tests/support/TempMachine.h"

namespace {

using metabase::Key;
using metabase::Property;

const char kFile[] = "drive_c/Windows/System32/inetsrv/MetaBase.xml";
const char kCorpus[] = "corpus/metabase/iis6-modsic-metabaseSample.MetaBase.xml";

// A small file in IIS 6's form: a named multi-string, a flags value, a
// property this stand-in has no name for, and a <Custom> element.
const char kSmall[] =
    "\xEF\xBB\xBF<?xml version =\"1.0\"?>\n<configuration>\n<MBProperty>\n"
    "<IIS_Global\tLocation =\".\"\n\t\tChangeNumber=\"7\"\n\t>\n</IIS_Global>\n"
    "<IIsWebService\tLocation =\"/LM/W3SVC\"\n"
    "\t\tAccessFlags=\"AccessRead | AccessScript\"\n"
    "\t\tAspBufferingOn=\"TRUE\"\n"
    "\t\tScriptMaps=\".asp,C:\\asp.dll,5,GET\n\t\t\t.stm,C:\\ssinc.dll,5\"\n"
    "\t>\n"
    "\t<Custom\n\t\tName=\"UnknownName_9202\"\n\t\tID=\"9202\"\n\t\tValue=\"4294967295\"\n"
    "\t\tType=\"DWORD\"\n\t\tUserType=\"IIS_MD_UT_SERVER\"\n\t\tAttributes=\"INHERIT\"\n\t/>\n"
    "</IIsWebService>\n"
    "<IIsWebServer\tLocation =\"/LM/W3SVC/1\"\n\t\tServerComment=\"Default Web Site\"\n\t>\n"
    "</IIsWebServer>\n"
    "</MBProperty>\n</configuration>\n";

const Key* Find(const Key& root, std::u16string_view path) {
  const Key* key = &root;
  for (const auto& piece : metabase::SplitPath(path)) {
    key = key->FindChild(piece);
    if (key == nullptr) return nullptr;
  }
  return key;
}

const Property* FindProperty(const Key& root, std::u16string_view path, DWORD id) {
  const Key* key = Find(root, path);
  return key == nullptr ? nullptr : key->FindProperty(id);
}

std::u16string Text(const Key& root, std::u16string_view path, DWORD id) {
  const Property* property = FindProperty(root, path, id);
  return property == nullptr ? u"<none>" : metabase::DecodeString(property->data);
}

TEST(MetabaseIis6File, SmallFileReadsAndWritesBackUnchanged) {
  const auto root = metabase::ParseMetabaseXml(kSmall, "MetaBase.xml");
  EXPECT_EQ(Text(*root, u"/LM/W3SVC", MD_KEY_TYPE), u"IIsWebService");
  EXPECT_EQ(Text(*root, u"/LM/W3SVC/1", MD_SERVER_COMMENT), u"Default Web Site");
  const Property* maps = FindProperty(*root, u"/LM/W3SVC", MD_SCRIPT_MAPS);
  ASSERT_NE(maps, nullptr);
  EXPECT_EQ(maps->attributes, METADATA_INHERIT);
  EXPECT_EQ(maps->userType, IIS_MD_UT_FILE);
  EXPECT_EQ(metabase::DecodeMultiString(maps->data),
            (std::vector<std::u16string>{u".asp,C:\\asp.dll,5,GET", u".stm,C:\\ssinc.dll,5"}));
  const Property* access = FindProperty(*root, u"/LM/W3SVC", MD_ACCESS_PERM);
  ASSERT_NE(access, nullptr);
  EXPECT_EQ(metabase::DecodeDword(access->data), MD_ACCESS_READ | MD_ACCESS_SCRIPT);
  const Property* custom = FindProperty(*root, u"/LM/W3SVC", 9202);
  ASSERT_NE(custom, nullptr);
  EXPECT_EQ(custom->attributes, METADATA_INHERIT);
  EXPECT_EQ(metabase::DecodeDword(custom->data), 0xFFFFFFFFu);
  // The root and /LM are only implied by the file.
  EXPECT_EQ(root->FindChild(u"LM")->Properties().size(), 0u);
  EXPECT_EQ(metabase::SerializeMetabaseXml(*root), kSmall);
}

// Each change is the lines it touches: a changed value in place, a new
// named property in name order, a property that does not fit its named
// form as a <Custom> element, a new key after its siblings.
TEST(MetabaseIis6File, ChangesTouchOnlyTheirLines) {
  struct Case {
    const char* what;
    void (*change)(Key& root);
    std::vector<std::string> changed;  // "old -> new" lines
  };
  const std::vector<Case> cases = {
      {"changed value",
       [](Key& root) {
         root.FindChild(u"LM")->FindChild(u"W3SVC")->FindChild(u"1")->SetProperty(
             metabase::MakeProperty(MD_SERVER_COMMENT, STRING_METADATA, 0, IIS_MD_UT_SERVER,
                                    metabase::EncodeString(u"Main & <Site>")));
       },
       {"\t\tServerComment=\"Default Web Site\" -> "
        "\t\tServerComment=\"Main &amp; &lt;Site&gt;\""}},
      {"flags",
       [](Key& root) {
         root.FindChild(u"LM")->FindChild(u"W3SVC")->SetProperty(metabase::MakeProperty(
             MD_ACCESS_PERM, DWORD_METADATA, METADATA_INHERIT, IIS_MD_UT_FILE,
             metabase::EncodeDword(MD_ACCESS_READ | MD_ACCESS_EXECUTE)));
       },
       {"\t\tAccessFlags=\"AccessRead | AccessScript\" -> "
        "\t\tAccessFlags=\"AccessRead | AccessExecute\""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto root = metabase::ParseMetabaseXml(kSmall, "MetaBase.xml");
    c.change(*root);
    EXPECT_EQ(quaver::test::ChangedLines(kSmall, metabase::SerializeMetabaseXml(*root)), c.changed);
  }

  auto root = metabase::ParseMetabaseXml(kSmall, "MetaBase.xml");
  Key& w3svc = *root->FindChild(u"LM")->FindChild(u"W3SVC");
  w3svc.SetProperty(metabase::MakeProperty(MD_APP_APPPOOL_ID, STRING_METADATA, METADATA_INHERIT,
                                           IIS_MD_UT_SERVER,
                                           metabase::EncodeString(u"DefaultAppPool")));
  // Script maps without their inheritance no longer fit the named form.
  w3svc.SetProperty(metabase::MakeProperty(MD_SCRIPT_MAPS, MULTISZ_METADATA, 0, IIS_MD_UT_FILE,
                                           metabase::EncodeMultiString({u".x,C:\\x.dll,1"})));
  Key& filters = w3svc.AddChild(u"Filters");
  filters.SetProperty(metabase::MakeProperty(MD_KEY_TYPE, STRING_METADATA, 0, IIS_MD_UT_SERVER,
                                             metabase::EncodeString(u"IIsFilters")));
  const std::string text = metabase::SerializeMetabaseXml(*root);
  EXPECT_NE(text.find("\t\tAccessFlags=\"AccessRead | AccessScript\"\n"
                      "\t\tAppPoolId=\"DefaultAppPool\"\n"
                      "\t\tAspBufferingOn=\"TRUE\"\n\t>\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("\t<Custom\n\t\tName=\"ScriptMaps\"\n\t\tID=\"6014\"\n"
                      "\t\tValue=\".x,C:\\x.dll,1\"\n\t\tType=\"MULTISZ\"\n"
                      "\t\tUserType=\"IIS_MD_UT_FILE\"\n\t\tAttributes=\"NO_ATTRIBUTES\"\n\t/>\n"
                      "\t<Custom\n\t\tName=\"UnknownName_9202\""),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("</IIsWebServer>\n<IIsFilters\tLocation =\"/LM/W3SVC/Filters\"\n\t>\n"
                      "</IIsFilters>\n</MBProperty>"),
            std::string::npos)
      << text;
  // Read again, it holds what was written.
  const auto again = metabase::ParseMetabaseXml(text, "MetaBase.xml");
  EXPECT_EQ(*FindProperty(*again, u"/LM/W3SVC", MD_SCRIPT_MAPS),
            *w3svc.FindProperty(MD_SCRIPT_MAPS));
  EXPECT_EQ(Text(*again, u"/LM/W3SVC/Filters", MD_KEY_TYPE), u"IIsFilters");
  EXPECT_EQ(metabase::SerializeMetabaseXml(*again), text);
}

TEST(MetabaseIis6File, NewTreeRoundTripsEveryType) {
  Key root(u"");
  Key& key = root.AddChild(u"LM").AddChild(u"Key With Spaces & <Marks>");
  key.SetProperty(metabase::MakeProperty(
      MD_SERVER_COMMENT, STRING_METADATA, 0, IIS_MD_UT_SERVER,
      metabase::EncodeString(u"  padded \"<&>\" \u00e9\u4e2d\nnext line  ")));
  key.SetProperty(metabase::MakeProperty(2, DWORD_METADATA,
                                         METADATA_INHERIT | METADATA_SECURE | 0x4000, 77,
                                         metabase::EncodeDword(0xFFFFFFFFu)));
  key.SetProperty(metabase::MakeProperty(3, BINARY_METADATA, 0, IIS_MD_UT_WAM, {0x00, 0xAB, 0xFF}));
  key.SetProperty(metabase::MakeProperty(4, EXPANDSZ_METADATA, 0, IIS_MD_UT_FILE,
                                         metabase::EncodeString(u"%windir%\\x")));
  key.SetProperty(metabase::MakeProperty(MD_SCRIPT_MAPS, MULTISZ_METADATA, METADATA_INHERIT,
                                         IIS_MD_UT_FILE,
                                         metabase::EncodeMultiString({u"a,b", u" ", u"c"})));
  key.SetProperty(metabase::MakeProperty(6015, MULTISZ_METADATA, 0, IIS_MD_UT_FILE,
                                         metabase::EncodeMultiString({})));
  key.SetProperty(metabase::MakeProperty(MD_FILTER_FLAGS, DWORD_METADATA, 0, IIS_MD_UT_SERVER,
                                         metabase::EncodeDword(0x02000001u)));
  key.SetProperty(metabase::MakeProperty(MD_SERVER_AUTOSTART, DWORD_METADATA, 0, IIS_MD_UT_SERVER,
                                         metabase::EncodeDword(7)));
  key.AddChild(u"child");

  const std::string text = metabase::SerializeMetabaseXml(root);
  const auto read = metabase::ParseMetabaseXml(text, "MetaBase.xml");
  const Key* again = Find(*read, u"/lm/KEY WITH SPACES & <MARKS>");
  ASSERT_NE(again, nullptr) << text;
  EXPECT_EQ(again->Name(), u"Key With Spaces & <Marks>");
  ASSERT_EQ(again->Properties().size(), key.Properties().size()) << text;
  for (size_t i = 0; i < key.Properties().size(); ++i) {
    SCOPED_TRACE(key.Properties()[i].id);
    EXPECT_EQ(again->Properties()[i], key.Properties()[i]);
  }
  EXPECT_NE(again->FindChild(u"child"), nullptr);
  EXPECT_EQ(metabase::SerializeMetabaseXml(*read), text);
}

TEST(MetabaseIis6File, MalformedFilesAreRefused) {
  const std::string head = "<configuration><MBProperty>";
  const std::string tail = "</MBProperty></configuration>";
  const std::vector<std::string> cases = {
      "<configuration/>",
      head + "<IIsWebServer Location=\"/LM\"></MBProperty></configuration>",
      head + "<A Location=\"/LM\"></A><B Location=\"/lm\"></B>" + tail,
      head + "<A Location=\"/LM\" AccessFlags=\"AccessEverything\"></A>" + tail,
      head + "<A Location=\"/LM\" ServerState=\"-1\"></A>" + tail,
      head + "<A Location=\"/LM\"><Custom ID=\"x\" Type=\"DWORD\" Value=\"1\"/></A>" + tail,
      head + "<A Location=\"/LM\"><Custom ID=\"1\" Type=\"TEXT\" Value=\"1\"/></A>" + tail,
      head + "<A Location=\"/LM\"><Custom ID=\"1\" Type=\"BINARY\" Value=\"abc\"/></A>" + tail,
      head + "<A Location=\"/LM\" Path=\"a\"><Custom ID=\"3001\" Type=\"STRING\"/></A>" + tail,
      head + "<A Location=\"/" + std::string(256, 'k') + "\"></A>" + tail,
      "<Other/>",
  };
  for (const std::string& text : cases) {
    SCOPED_TRACE(text);
    EXPECT_THROW(metabase::ParseMetabaseXml(text, "MetaBase.xml"), machine::MachineError);
  }
}

// A new server's metabase follows a real IIS 6 one: a website's Filters
// key has no load order of its own.
TEST(MetabaseIis6File, DefaultMetabaseLooksLikeIis6) {
  const auto root = metabase::DefaultIis6Metabase(u"WEBSRV01");
  const std::string text = metabase::SerializeMetabaseXml(*root);
  EXPECT_EQ(text.rfind("\xEF\xBB\xBF<?xml version =\"1.0\"?>\n<configuration", 0), 0u);
  EXPECT_NE(text.find("<IIsWebService\tLocation =\"/LM/W3SVC\"\n"), std::string::npos);
  EXPECT_NE(text.find("<IIsFilters\tLocation =\"/LM/W3SVC/1/Filters\"\n\t>\n</IIsFilters>"),
            std::string::npos)
      << text;
  EXPECT_NE(FindProperty(*root, u"/LM/W3SVC/Filters", MD_FILTER_LOAD_ORDER), nullptr);
  const auto read = metabase::ParseMetabaseXml(text, "MetaBase.xml");
  EXPECT_EQ(metabase::SerializeMetabaseXml(*read), text);
}

class MetabaseIis6Corpus : public quaver::test::TempMachineTest {
 protected:
  void SetUp() override {
    corpus = quaver::test::SharedFile(kCorpus);
    if (!corpus) GTEST_SKIP() << "no shared corpus";
    image.WriteHostFile(kFile, *corpus);
    void* object = nullptr;
    ASSERT_EQ(metabase::CreateAdminBase(IID_IMSAdminBase_W, &object), S_OK);
    admin = static_cast<IMSAdminBaseW*>(object);
  }
  void TearDown() override {
    if (admin != nullptr) admin->Release();
  }

  METADATA_HANDLE Open(const char16_t* path) {
    METADATA_HANDLE handle = 0;
    EXPECT_EQ(admin->OpenKey(METADATA_MASTER_ROOT_HANDLE, path,
                             METADATA_PERMISSION_READ | METADATA_PERMISSION_WRITE, 3000, &handle),
              S_OK);
    return handle;
  }
  // Reads a string or multi-string set at the key itself, with its
  // attributes and user type in `record`.
  std::vector<std::u16string> Read(METADATA_HANDLE handle, const char16_t* path, DWORD id,
                                   METADATA_RECORD& record) {
    std::vector<char16_t> buffer(8192);
    record = {id,
              0,
              0,
              ALL_METADATA,
              static_cast<DWORD>(buffer.size() * 2),
              reinterpret_cast<unsigned char*>(buffer.data()),
              0};
    DWORD required = 0;
    if (FAILED(admin->GetData(handle, path, &record, &required))) return {};
    return metabase::DecodeMultiString(
        std::vector<uint8_t>(record.pbMDData, record.pbMDData + record.dwMDDataLen));
  }
  HRESULT Write(METADATA_HANDLE handle, const char16_t* path, DWORD id, DWORD type,
                const std::vector<std::u16string>& values, DWORD attributes, DWORD userType) {
    std::vector<uint8_t> data = type == MULTISZ_METADATA ? metabase::EncodeMultiString(values)
                                                         : metabase::EncodeString(values[0]);
    METADATA_RECORD record{id,          attributes, userType, type, static_cast<DWORD>(data.size()),
                           data.data(), 0};
    return admin->SetData(handle, path, &record);
  }
  // Appends to (or, with `remove`, takes out of) a list as the product's
  // operations do, keeping the attributes and user type read.
  void Edit(const char16_t* key, DWORD id, DWORD type, const std::u16string& entry, bool remove) {
    const METADATA_HANDLE handle = Open(key);
    METADATA_RECORD record{};
    std::vector<std::u16string> values = Read(handle, u"", id, record);
    if (type == STRING_METADATA) {
      std::u16string text = values.empty() ? u"" : values[0];
      text = remove ? text.substr(0, text.size() - entry.size()) : text + entry;
      values = {text};
    } else if (remove) {
      values.pop_back();
    } else {
      values.push_back(entry);
    }
    EXPECT_EQ(Write(handle, u"", id, type, values, record.dwMDAttributes, record.dwMDUserType),
              S_OK);
    EXPECT_EQ(admin->CloseKey(handle), S_OK);
  }

  std::optional<std::string> corpus;
  IMSAdminBaseW* admin = nullptr;
};

TEST_F(MetabaseIis6Corpus, LoadsWithTheValuesTheSystemReads) {
  const auto root = metabase::ParseMetabaseXml(*corpus, kCorpus);
  EXPECT_EQ(Text(*root, u"/LM/W3SVC/1", MD_KEY_TYPE), u"IIsWebServer");
  EXPECT_EQ(Text(*root, u"/LM/W3SVC/1", MD_SERVER_COMMENT), u"Default Web Site");
  EXPECT_EQ(Text(*root, u"/LM/W3SVC/1/ROOT", MD_VR_PATH), u"E:\\inetpub\\wwwroot");
  EXPECT_EQ(Text(*root, u"/LM/W3SVC/Filters", MD_FILTER_LOAD_ORDER), u"URLSCAN");
  EXPECT_EQ(Text(*root, u"/LM/W3SVC/Filters/URLSCAN", MD_FILTER_IMAGE_PATH),
            u"C:\\WINDOWS\\system32\\inetsrv\\urlscan\\urlscan.dll");
  EXPECT_EQ(FindProperty(*root, u"/LM/W3SVC/1/Filters", MD_FILTER_LOAD_ORDER), nullptr);
  EXPECT_EQ(Text(*root, u"/LM/W3SVC", MD_WAM_USER_NAME), u"IWAM_OVAL-IIS6-A");
  EXPECT_EQ(metabase::DecodeDword(
                FindProperty(*root, u"/LM/W3SVC/AppPools", MD_APPPOOL_IDENTITY_TYPE)->data),
            2u);
  const Property* maps = FindProperty(*root, u"/LM/W3SVC", MD_SCRIPT_MAPS);
  ASSERT_NE(maps, nullptr);
  EXPECT_EQ(metabase::DecodeMultiString(maps->data).size(), 8u);
  const Property* restrictions = FindProperty(*root, u"/LM/W3SVC", MD_WEB_SVC_EXT_RESTRICTION_LIST);
  ASSERT_NE(restrictions, nullptr);
  EXPECT_EQ(metabase::DecodeMultiString(restrictions->data).front(), u"0,*.dll");
  const Property* registration = FindProperty(*root, u"/LM/IISADMIN/PROPERTYREGISTRATION", 1030);
  ASSERT_NE(registration, nullptr);
  EXPECT_EQ(metabase::DecodeMultiString(registration->data).size(), 2u);
  EXPECT_EQ(metabase::SerializeMetabaseXml(*root), *corpus);
}

// The product's global filter, a script map and a web service restriction,
// added and removed again through the admin base: the file is as it was.
TEST_F(MetabaseIis6Corpus, AddThenRemoveLeavesTheFileByteForByte) {
  const std::u16string dll = u"C:\\Program Files\\Corvane\\Quaver\\iquaver.dll";
  for (const bool remove : {false, true}) {
    SCOPED_TRACE(remove ? "removing" : "adding");
    Edit(u"/LM/W3SVC", MD_SCRIPT_MAPS, MULTISZ_METADATA, u".qvr," + dll + u",1", remove);
    Edit(u"/LM/W3SVC", MD_WEB_SVC_EXT_RESTRICTION_LIST, MULTISZ_METADATA,
         u"1," + dll + u",0,Quaver,IIS Quaver", remove);
    Edit(u"/LM/W3SVC/Filters", MD_FILTER_LOAD_ORDER, STRING_METADATA, u",Quaver", remove);
    const METADATA_HANDLE filters = Open(u"/LM/W3SVC/Filters");
    if (remove) {
      EXPECT_EQ(admin->DeleteKey(filters, u"Quaver"), S_OK);
    } else {
      EXPECT_EQ(admin->AddKey(filters, u"Quaver"), S_OK);
      EXPECT_EQ(Write(filters, u"Quaver", MD_KEY_TYPE, STRING_METADATA, {u"IIsFilter"}, 0,
                      IIS_MD_UT_SERVER),
                S_OK);
      EXPECT_EQ(Write(filters, u"Quaver", MD_FILTER_IMAGE_PATH, STRING_METADATA, {dll}, 0,
                      IIS_MD_UT_SERVER),
                S_OK);
    }
    EXPECT_EQ(admin->CloseKey(filters), S_OK);
    ASSERT_EQ(admin->SaveData(), S_OK);
    if (!remove) {
      const std::string changed = image.ReadHostFile(kFile);
      EXPECT_NE(changed.find("\t\t\t.qvr,"), std::string::npos);
      EXPECT_NE(changed.find("FilterLoadOrder=\"URLSCAN,Quaver\""), std::string::npos);
      EXPECT_NE(changed.find("<IIsFilter\tLocation =\"/LM/W3SVC/Filters/Quaver\"\n"
                             "\t\tFilterPath=\"C:\\Program Files"),
                std::string::npos);
    }
  }
  EXPECT_EQ(image.ReadHostFile(kFile), *corpus);
}

}  // namespace
