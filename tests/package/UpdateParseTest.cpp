#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "package/Update.h"
#include "tests/package/MinimalPackage.h"
#include "tests/package/PackageBuilder.h"

using namespace package_test;

namespace {

struct Outcome {
  bool ok;
  std::string title;
  std::string text;
};

Outcome ParseBytes(const Bytes& bytes, Update& engine) {
  engine.SetPackageData(BufferOf(bytes));
  bool ok = engine.Parse();
  return {ok, engine.GetErrorTitle().GetString(),
          std::string(engine.GetErrorText().GetString(), engine.GetErrorText().GetLength())};
}

Outcome ParseBytes(const Bytes& bytes) {
  Update engine;
  return ParseBytes(bytes, engine);
}

Bytes WithRoot(const std::function<void(ComponentVariable&)>& change) {
  ComponentVariable root = PackageRoot();
  change(root);
  return PackageFile(root);
}

const char* const kDataError = "Update data error";
const char* const kDataInvalid = "Update data format is invalid";

// ---------------------------------------------------------------------------
// The smallest package

TEST(UpdateParse, SmallestPackageOf144Bytes) {
  Bytes bytes = MinimalPackage();
  ASSERT_EQ(bytes.size(), 144u);
  Update engine;
  engine.errorText = "earlier";
  Outcome outcome = ParseBytes(bytes, engine);
  ASSERT_TRUE(outcome.ok) << outcome.title << ": " << outcome.text;
  EXPECT_EQ(outcome.title, "");
  EXPECT_EQ(outcome.text, "");
  EXPECT_TRUE(engine.IsParsed());
  EXPECT_EQ(engine.GetVersionString(), u"4.0.9");
  EXPECT_EQ(engine.GetVersionNumber(), 409u);
  EXPECT_EQ(engine.GetVersionDate().GetYear(), 2010);
  EXPECT_EQ(engine.GetVersionDate().GetMonth(), 1);
  EXPECT_EQ(engine.GetVersionDate().GetDay(), 1);
  EXPECT_EQ(engine.GetComponentCount(), 0u);
  EXPECT_EQ(engine.GetPackageVersion(), 0x20000u);
  EXPECT_FALSE(engine.HasUpdateModule());
}

TEST(UpdateParse, TreeEncodesToTheSame144Bytes) {
  EXPECT_EQ(PackageFile(PackageRoot()), MinimalPackage());
}

TEST(UpdateParse, ShortBufferLeavesMessagesAlone) {
  Update engine;
  engine.errorTitle = "title before";
  engine.errorText = "text before";
  Bytes bytes = MinimalPackage();
  bytes.resize(17);
  Outcome outcome = ParseBytes(bytes, engine);
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.title, "title before");
  EXPECT_EQ(outcome.text, "text before");
}

// ---------------------------------------------------------------------------
// Every message of Parse

struct ParseCase {
  const char* what;
  Bytes bytes;
  bool ok;
  std::string title;
  std::string text;
};

Bytes WithFrame(uint32_t total, uint32_t header) {
  Bytes bytes = MinimalPackage();
  bytes[16] = total & 0xFF;
  bytes[17] = total >> 8 & 0xFF;
  bytes[18] = total >> 16 & 0xFF;
  bytes[19] = total >> 24 & 0xFF;
  bytes[20] = header & 0xFF;
  bytes[21] = header >> 8 & 0xFF;
  return bytes;
}

Bytes Trimmed(Bytes bytes, size_t size) {
  bytes.resize(size);
  return bytes;
}

Bytes Extended(Bytes bytes, size_t extra) {
  bytes.resize(bytes.size() + extra, 0xEE);
  return bytes;
}

std::vector<ParseCase> FrameCases() {
  Bytes minimal = MinimalPackage();
  ComponentVariable scalar;
  scalar.SetULong("SETUP", 1);
  Bytes garbledBody = minimal;
  garbledBody[40] ^= 0xFF;  // inside the "COMPONENTS" child's header
  return {
      {"error report", Raw("CVSETUPPCKG_ERROR:Server down"), false, "Update server error",
       "Server down"},
      {"empty error report", Raw("CVSETUPPCKG_ERROR:"), false, "Update server error", ""},
      {"no magic", Raw("CVSETUPPACKAGE:0000000000"), false, "Update server error", "Unknown error"},
      {"major version 3", PackageFile(PackageRoot(), 0x30000), false, "Version inconsistency",
       "Unsupported file version"},
      {"major version 2, minor 0xFFFF", PackageFile(PackageRoot(), 0x2FFFF), true, "", ""},
      {"major version 0", PackageFile(PackageRoot(), 0x00001), true, "", ""},
      {"magic and version only", Trimmed(minimal, 21), false, kDataError, kDataInvalid},
      {"root length near 4 GiB", WithFrame(0xFFFFFFF0u, 14), false, kDataError, kDataInvalid},
      {"root length 4 GiB - 1", WithFrame(0xFFFFFFFFu, 14), false, kDataError, kDataInvalid},
      {"total below header", WithFrame(10, 14), false, kDataError, kDataInvalid},
      {"one byte short", Trimmed(minimal, 143), false, kDataError, kDataInvalid},
      {"trailing bytes", Extended(minimal, 9), true, "", ""},
      {"body not decodable", garbledBody, false, kDataError, kDataInvalid},
      {"root not a MAP", PackageOf(Encoded(scalar, true)), false, kDataError, kDataInvalid},
  };
}

std::vector<ParseCase> KeyCases() {
  auto without = [](const char* key) {
    return WithRoot([key](ComponentVariable& root) {
      ComponentVariable rebuilt;
      rebuilt.SetMap("SETUP");
      for (uint32_t i = 0; i < root.GetChildCount(); ++i) {
        if (root.GetChildAt(i)->GetName() != key) rebuilt.AddToMap("SETUP", *root.GetChildAt(i));
      }
      root = rebuilt;
    });
  };
  auto replaced = [](ComponentVariable node) {
    return WithRoot([node](ComponentVariable& root) { root.AddToMap("SETUP", node); });
  };
  ComponentVariable stringList, notList;
  stringList.AddToList("COMPONENTS", StringNode("", "x"));
  notList.SetMap("COMPONENTS");
  return {
      {"no VERSION_STRING", without("VERSION_STRING"), false, kDataError, kDataInvalid},
      {"no VERSION_NUMBER", without("VERSION_NUMBER"), false, kDataError, kDataInvalid},
      {"no VERSION_DATE", without("VERSION_DATE"), false, kDataError, kDataInvalid},
      {"no COMPONENTS", without("COMPONENTS"), false, kDataError, kDataInvalid},
      {"VERSION_STRING a ULONG", replaced(ULongNode("VERSION_STRING", 4)), false, kDataError,
       kDataInvalid},
      {"VERSION_NUMBER a STRING", replaced(StringNode("VERSION_NUMBER", "409")), false, kDataError,
       kDataInvalid},
      {"VERSION_DATE a STRING", replaced(StringNode("VERSION_DATE", "2010-01-01")), false,
       kDataError, kDataInvalid},
      {"COMPONENTS of STRING", replaced(stringList), false, kDataError, kDataInvalid},
      {"COMPONENTS a MAP", replaced(notList), false, kDataError, kDataInvalid},
      {"INFO is not needed", replaced(StringNode("INFO", "text")), true, "", ""},
  };
}

std::vector<ParseCase> ModuleCases() {
  auto modules = [](std::initializer_list<ComponentVariable> images) {
    ComponentVariable map = MapOf("UPDATE_MODULES", images);
    return WithRoot([map](ComponentVariable& root) { root.AddToMap("SETUP", map); });
  };
  ComponentVariable emptyModules;
  emptyModules.SetMap("UPDATE_MODULES");
  ComponentVariable modulesList;
  modulesList.AddToList("UPDATE_MODULES", BinaryNode("", "x"));
  auto with = [](const ComponentVariable& node) {
    return WithRoot([node](ComponentVariable& root) { root.AddToMap("SETUP", node); });
  };
  return {
      {"plain module", modules({BinaryNode("cvspmod.dll", "plain")}), true, "", ""},
      {"both modules",
       modules({BinaryNode("cvspmod.dll", "plain"), BinaryNode("cvspmod.x64.dll", "x64")}), true,
       "", ""},
      {"x64 only", modules({BinaryNode("cvspmod.x64.dll", "x64")}), false, kDataError,
       kDataInvalid},
      {"plain module not BINARY", modules({StringNode("cvspmod.dll", "plain")}), false, kDataError,
       kDataInvalid},
      {"x64 not BINARY",
       modules({BinaryNode("cvspmod.dll", "p"), StringNode("cvspmod.x64.dll", "x")}), false,
       kDataError, kDataInvalid},
      {"x64 taken over a plain STRING",
       modules({StringNode("cvspmod.dll", "p"), BinaryNode("cvspmod.x64.dll", "x")}), true, "", ""},
      {"no modules in the map", with(emptyModules), false, kDataError, kDataInvalid},
      {"modules as a LIST", with(modulesList), false, kDataError, kDataInvalid},
      {"other module name", modules({BinaryNode("other.dll", "x")}), false, kDataError,
       kDataInvalid},
  };
}

std::vector<ParseCase> ConditionCases() {
  auto conditions = [](std::initializer_list<ComponentVariable> records) {
    return WithRoot([records](ComponentVariable& root) {
      for (const ComponentVariable& record : records) AddCondition(root, record);
    });
  };
  ComponentVariable missingKey = ConditionRecord(0, "IISVERSION", 1, 7, "", 6, 1);
  ComponentVariable rebuilt;
  rebuilt.SetMap("");
  for (uint32_t i = 0; i < missingKey.GetChildCount(); ++i) {
    if (missingKey.GetChildAt(i)->GetName() != "EXECUTE") {
      rebuilt.AddToMap("", *missingKey.GetChildAt(i));
    }
  }
  ComponentVariable textIndex = ConditionRecord(0, "IISVERSION", 1, 7, "", 6, 1);
  textIndex.AddToMap("", StringNode("INDEX", "0"));
  ComponentVariable conditionsMap;
  conditionsMap.SetMap("CONDITIONS");
  ComponentVariable stringConditions;
  stringConditions.AddToList("CONDITIONS", StringNode("", "x"));
  auto with = [](const ComponentVariable& node) {
    return WithRoot([node](ComponentVariable& root) { root.AddToMap("SETUP", node); });
  };
  return {
      {"valid conditions",
       conditions({ConditionRecord(0, "IISVERSION", 1, 7, "", 6, 1),
                   ConditionRecord(0, "IISMODEL", 0, 0, "", 0, 0)}),
       true, "", ""},
      {"value type 3", conditions({ConditionRecord(0, "IISVERSION", 3, 7, "", 6, 1)}), false,
       kDataError, kDataInvalid},
      {"operator 7", conditions({ConditionRecord(0, "IISVERSION", 1, 7, "", 7, 1)}), false,
       kDataError, kDataInvalid},
      {"record without EXECUTE", conditions({rebuilt}), false, kDataError, kDataInvalid},
      {"INDEX a STRING", conditions({textIndex}), false, kDataError, kDataInvalid},
      {"CONDITIONS a MAP", with(conditionsMap), false, kDataError, kDataInvalid},
      {"CONDITIONS of STRING", with(stringConditions), false, kDataError, kDataInvalid},
  };
}

std::vector<ParseCase> ComponentCases() {
  auto components = [](std::initializer_list<ComponentVariable> records) {
    return WithRoot([records](ComponentVariable& root) {
      for (const ComponentVariable& record : records) AddComponent(root, record);
    });
  };
  ComponentVariable optionsText = FileRecord("a.dll");
  optionsText.AddToMap("", StringNode("OPTIONS", "0"));
  ComponentVariable lowerCase = FileRecord("a.dll");
  lowerCase.AddToMap("", StringNode("TYPE", "file"));
  return {
      {"FILE", components({FileRecord("a.dll")}), true, "", ""},
      {"unknown TYPE", components({lowerCase}), true, "", ""},
      // A refused record leaves no text of its own: the format message stays.
      {"OPTIONS a STRING", components({FileRecord("a.dll"), optionsText}), false, kDataError,
       kDataInvalid},
  };
}

void Expect(const std::vector<ParseCase>& cases) {
  for (const ParseCase& c : cases) {
    Outcome outcome = ParseBytes(c.bytes);
    EXPECT_EQ(outcome.ok, c.ok) << c.what;
    EXPECT_EQ(outcome.title, c.title) << c.what;
    EXPECT_EQ(outcome.text, c.text) << c.what;
  }
}

TEST(UpdateParse, FrameMessages) { Expect(FrameCases()); }
TEST(UpdateParse, RootKeyMessages) { Expect(KeyCases()); }
TEST(UpdateParse, UpdateModuleRules) { Expect(ModuleCases()); }
TEST(UpdateParse, ConditionRecordRules) { Expect(ConditionCases()); }
TEST(UpdateParse, ComponentRecordRules) { Expect(ComponentCases()); }

// ---------------------------------------------------------------------------
// What a parse keeps

TEST(UpdateParse, TakesTheX64ModuleImage) {
  Update engine;
  ComponentVariable modules = MapOf("UPDATE_MODULES", {StringNode("cvspmod.dll", "p"),
                                                       BinaryNode("cvspmod.x64.dll", "x64 image")});
  ASSERT_TRUE(
      ParseBytes(WithRoot([&](ComponentVariable& root) { root.AddToMap("SETUP", modules); }),
                 engine)
          .ok);
  ASSERT_TRUE(engine.HasUpdateModule());
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(engine.GetUpdateModule().GetData()),
                        engine.GetUpdateModule().GetSize()),
            "x64 image");
}

TEST(UpdateParse, ComponentsInOrderWithTheBasePath) {
  ComponentVariable unknown = MapOf("", {StringNode("TYPE", "ZZZZ")});
  ComponentVariable directory =
      MapOf("", {StringNode("TYPE", "CDIR"), ULongNode("OPTIONS", 8), StringNode("PATH", "logs")});
  Update engine;
  engine.basePath = u"C:\\Program Files\\Corvane\\Quaver";
  Bytes bytes = WithRoot([&](ComponentVariable& root) {
    AddComponent(root, FileRecord("a.dll"));
    AddComponent(root, unknown);
    AddComponent(root, directory);
  });
  ASSERT_TRUE(ParseBytes(bytes, engine).ok);
  ASSERT_EQ(engine.GetComponentCount(), 3u);
  EXPECT_EQ(engine.componentCount, 3u);
  EXPECT_EQ(engine.GetComponent(0)->GetTypeCode(), UpdateComponent::kCreateFile);
  EXPECT_EQ(engine.GetComponent(1)->GetTypeCode(), UpdateComponent::kNoAction);
  EXPECT_EQ(engine.GetComponent(2)->GetTypeCode(), UpdateComponent::kCreateDirectory);
  EXPECT_EQ(engine.GetComponent(2)->GetRecord().GetChild("PATH")->GetText(), "logs");
  EXPECT_EQ(engine.basePath, u"C:\\Program Files\\Corvane\\Quaver\\");
  EXPECT_EQ(engine.GetComponent(0)->GetBasePath(), u"C:\\Program Files\\Corvane\\Quaver\\");
  EXPECT_EQ(engine.GetComponent(3), nullptr);
}

TEST(UpdateParse, ConditionsFiledByIndexThenName) {
  Update engine;
  Bytes bytes = WithRoot([](ComponentVariable& root) {
    AddComponent(root, FileRecord("a.dll"));
    AddCondition(root, ConditionRecord(0, "IISVERSION", 1, 6, "", 6, 1));
    AddCondition(root, ConditionRecord(0, "IISMODEL", 2, 0, "PIPELINE", 1, 1));
    AddCondition(root, ConditionRecord(0, "IISVERSION", 1, 7, "", 6, 0));  // replaces the first
    AddCondition(root, ConditionRecord(9, "X86CORE", 2, 0, "YES", 1, 1));  // no component 9
  });
  ASSERT_TRUE(ParseBytes(bytes, engine).ok);
  const ConditionsByName* first = engine.GetConditions(0);
  ASSERT_NE(first, nullptr);
  ASSERT_EQ(first->GetCount(), 2u);
  const UpdateCondition* version = first->Lookup("IISVERSION");
  ASSERT_NE(version, nullptr);
  EXPECT_EQ(version->GetULongValue(), 7u);
  EXPECT_FALSE(version->GetExecute());
  EXPECT_EQ(first->Lookup("IISMODEL")->GetStringValue(), "PIPELINE");
  ASSERT_NE(engine.GetConditions(9), nullptr);
  EXPECT_EQ(engine.GetConditions(1), nullptr);
}

TEST(UpdateParse, LargeComponentListParses) {
  ComponentVariable root = PackageRoot();
  ComponentVariable list;
  list.SetList("COMPONENTS", VariableType::MAP);
  for (int i = 0; i < 2000; ++i) list.AddToList("COMPONENTS", FileRecord("f.dll"));
  root.AddToMap("SETUP", list);
  Update engine;
  ASSERT_TRUE(ParseBytes(PackageFile(root), engine).ok);
  EXPECT_EQ(engine.GetComponentCount(), 2000u);
  EXPECT_EQ(engine.GetComponent(1999)->GetRecord().GetChild("DATA")->GetBytes().GetSize(), 7u);
}

}  // namespace
