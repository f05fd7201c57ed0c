// Update::Execute on IIS images: the extensibility mode and connection,
// the conditions against the machine facts, the logs, the progress steps
// and the "Version" value.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "iis/IISHelper.h"
#include "system/RegKey.h"
#include "tests/package/EngineImage.h"
#include "tests/package/PackageBuilder.h"

using namespace package_test;

namespace {

class CountingUpdate : public Update {
 public:
  void StepProgress(int32_t steps) override { this->steps += steps; }
  int32_t steps = 0;
};

ComponentVariable Directory(const std::string& path, uint32_t options = 0) {
  return MapOf("", {StringNode("TYPE", "CDIR"), ULongNode("OPTIONS", options),
                    StringNode("PATH", path.c_str())});
}

// Fails: the folder of the file does not exist.
ComponentVariable Failing(uint32_t options) {
  return MapOf("", {StringNode("TYPE", "RFIL"), ULongNode("OPTIONS", options),
                    StringNode("PATH", "C:\\nowhere\\"), StringNode("FILENAME", "x")});
}

bool ProductValue(const char* name, uint32_t& value) {
  RegKey key;
  return key.Open(kProductKey, HKEY_LOCAL_MACHINE, KEY_READ) && key.GetDwordValue(name, value);
}

void SetProductValue(const char* name, uint32_t value) {
  RegKey key;
  ASSERT_TRUE(key.Open(kProductKey, HKEY_LOCAL_MACHINE, KEY_ALL_ACCESS));
  ASSERT_TRUE(key.SetDwordValue(name, value));
}

struct ModeCase {
  const char* iis;
  int stored;  // "ExtensibilityMode" in the product key; -1: absent
  bool succeeds;
  uint32_t mode;
  const char* title;
  const char* text;
};

TEST(Execute, SettlesTheModeAndConnects) {
  const ModeCase cases[] = {
      {"6", -1, true, 1, "", ""},
      {"6", 4, true, 1, "", ""},
      {"6", 1, true, 1, "", ""},
      {"10", 2, true, 2, "", ""},
      {"6", 3, false, 3, "Setup error", "Invalid valid IIS connection mode was specified."},
      {"10", -1, false, 1, "System error", "Cannot connect to IIS Metabase"},
      {"6", 2, false, 2, "System error", "Cannot connect to IIS Application Host configuration"},
  };
  for (const ModeCase& c : cases) {
    SCOPED_TRACE(std::string("IIS ") + c.iis + ", stored " + std::to_string(c.stored));
    EngineImage image(c.iis);
    if (c.stored >= 0) SetProductValue("ExtensibilityMode", uint32_t(c.stored));
    Update engine;
    Prepare(engine, PackageRoot(), 0);
    EXPECT_EQ(engine.Execute(), c.succeeds);
    EXPECT_EQ(engine.extensibilityMode, c.mode);
    EXPECT_STREQ(engine.GetErrorTitle().GetString(), c.title);
    EXPECT_STREQ(engine.GetErrorText().GetString(), c.text);
    uint32_t stored = 0;
    EXPECT_TRUE(ProductValue("ExtensibilityMode", stored));
    EXPECT_EQ(stored, c.stored >= 0 ? uint32_t(c.stored) : 1u);
    EXPECT_EQ(engine.facts.GetCount(), c.succeeds ? 6u : 0u);
  }
}

TEST(Execute, RefusesWithoutPackageOrProductKey) {
  EngineImage image("6");
  Update unparsed;
  EXPECT_FALSE(unparsed.Execute());
  EXPECT_STREQ(unparsed.GetErrorTitle().GetString(), "Update engine error");
  EXPECT_STREQ(unparsed.GetErrorText().GetString(), "Update package is not parsed");

  Update engine;
  Prepare(engine, PackageRoot(), 0);
  engine.productKey = u"Software\\Corvane\\Missing";
  EXPECT_FALSE(engine.Execute());
  EXPECT_STREQ(engine.GetErrorTitle().GetString(), "Update engine error");
  EXPECT_STREQ(engine.GetErrorText().GetString(), "Cannot access the product registry key.");

  // With the mode given, only the final "Version" needs the key.
  Update given;
  Prepare(given, PackageRoot(), 1);
  given.productKey = u"Software\\Corvane\\Missing";
  EXPECT_FALSE(given.Execute());
  EXPECT_STREQ(given.GetErrorTitle().GetString(), "System error");
  EXPECT_STREQ(given.GetErrorText().GetString(), "Cannot access the registry");
}

struct Condition {
  const char* name;
  uint32_t valueType;
  uint32_t number;
  const char* text;
  uint32_t compare;
  uint32_t execute;
  bool runs;
};

struct ConditionTable {
  const char* iis;
  uint32_t mode;
  std::vector<Condition> rows;
};

// Each row guards its own component; the component shows by its folder.
TEST(Execute, ConditionsAgainstTheFactsOfEachServer) {
  const ConditionTable tables[] = {
      {"6",
       1,
       {{"IISMODEL", 2, 0, "ISAPIX64", 1, 1, true},
        {"IISMODEL", 2, 0, "ISAPIX64", 1, 0, false},
        {"IISVERSION", 1, 6, "", 1, 1, true},
        {"IISVERSION", 2, 6, "6", 1, 1, false},  // a text test of a number fact
        {"IISVERSION", 2, 6, "6", 1, 0, false},
        {"IISVERSION", 1, 6, "", 0, 0, false},  // operator 0 never holds
        {"IISVERSION", 1, 7, "", 6, 1, false},
        {"IISVERSION", 1, 7, "", 3, 1, true},
        {"iisversion", 1, 99, "", 1, 1, true},  // names no fact
        {"ARCHITECTURE", 2, 0, "X64", 1, 1, true},
        {"X86CORE", 2, 0, "NO", 1, 1, true},
        {"SYMLINKX86", 2, 0, "YES", 1, 1, false},
        {"SYMLINKX64", 2, 0, "NO", 2, 0, true}}},
      {"10",
       2,
       {{"IISMODEL", 2, 0, "PIPELINE", 1, 1, true},
        {"IISMODEL", 2, 0, "ISAPISYMLINK", 1, 1, false},
        {"IISVERSION", 1, 7, "", 6, 1, true},
        {"IISVERSION", 1, 10, "", 5, 1, true},
        {"IISVERSION", 1, 10, "", 4, 0, true},
        {"X86CORE", 2, 0, "YES", 1, 1, true},
        {"SYMLINKX86", 2, 0, "YES", 1, 1, true},
        {"SYMLINKX64", 2, 0, "NO", 1, 1, false}}},
  };
  for (const ConditionTable& table : tables) {
    SCOPED_TRACE(std::string("IIS ") + table.iis);
    EngineImage image(table.iis);
    ComponentVariable root = PackageRoot();
    for (uint32_t i = 0; i < table.rows.size(); ++i) {
      const Condition& c = table.rows[i];
      AddComponent(root, Directory("c" + std::to_string(i)));
      AddCondition(root, ConditionRecord(i, c.name, c.valueType, c.number, c.text, c.compare,
                                         c.execute));
    }
    CountingUpdate engine;
    Prepare(engine, root, table.mode);
    ASSERT_TRUE(engine.Execute()) << engine.GetErrorText().GetString();
    for (uint32_t i = 0; i < table.rows.size(); ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(std::filesystem::exists(image.DriveC() / "Program Files/Corvane/Quaver" /
                                        ("c" + std::to_string(i))),
                table.rows[i].runs);
    }
    // Skipped components advance the progress too.
    EXPECT_EQ(engine.steps, int32_t(table.rows.size()));
  }
}

TEST(Execute, BothConditionsOfAComponentMustHold) {
  EngineImage image("10");
  ComponentVariable root = PackageRoot();
  AddComponent(root, Directory("both"));
  AddCondition(root, ConditionRecord(0, "IISVERSION", 1, 7, "", 6, 1));
  AddCondition(root, ConditionRecord(0, "IISMODEL", 2, 0, "PIPELINE", 1, 1));
  Update pipeline;
  Prepare(pipeline, root, 2);
  ASSERT_TRUE(pipeline.Execute());
  EXPECT_NE(pipeline.GetLog().Find("CREATE DIRECTORY:"), CSPString::kNotFound);
}

TEST(Execute, LogsEveryExecutedComponentAndStopsAtTheFirstFailure) {
  EngineImage image("6");
  ComponentVariable root = PackageRoot();
  AddComponent(root, Directory("a"));
  AddComponent(root, Failing(1));  // excused: logged as failed
  AddComponent(root, Failing(5));  // excused and silent: logged as OK
  AddComponent(root, MapOf("", {StringNode("TYPE", "file")}));  // no action
  AddComponent(root, Failing(0));
  AddComponent(root, Directory("never"));
  CountingUpdate engine;
  Prepare(engine, root, 1);
  EXPECT_FALSE(engine.Execute());
  EXPECT_STREQ(engine.GetErrorTitle().GetString(), "Update engine error");
  EXPECT_STREQ(engine.GetErrorText().GetString(), "File system error. Cannot remove file.");
  const std::string failed = "REMOVE FILE: C:\\nowhere\\x  FAILED: File system error. Cannot remove file.\r\n";
  EXPECT_EQ(std::string(engine.GetLog().GetString()),
            "CREATE DIRECTORY: C:\\Program Files\\Corvane\\Quaver\\a  OK\r\n" + failed +
                "REMOVE FILE: C:\\nowhere\\x  OK\r\n"
                "  OK\r\n" +
                failed);
  EXPECT_EQ(std::string(engine.GetFailureLog().GetString()), failed + failed);
  EXPECT_EQ(engine.steps, 4);  // not for the failed component
  EXPECT_FALSE(std::filesystem::exists(image.DriveC() / "Program Files/Corvane/Quaver/never"));
  // Only the directory has a reverse component.
  ASSERT_EQ(engine.uninstallList.GetCount(), 1u);
  uint32_t version = 0;
  EXPECT_FALSE(ProductValue("Version", version));
}

TEST(Execute, WritesTheVersionAndTakesTheBackup) {
  EngineImage image("6");
  Update engine;
  Prepare(engine, PackageRoot(), 0);
  engine.makeBackup = true;
  ASSERT_TRUE(engine.Execute()) << engine.GetErrorText().GetString();
  RegKey key;
  CSPString version;
  ASSERT_TRUE(key.Open(kProductKey, HKEY_LOCAL_MACHINE, KEY_READ));
  EXPECT_TRUE(key.GetStringValue("Version", version));
  EXPECT_STREQ(version.GetString(), "4.0.9");
  EXPECT_STREQ(engine.GetLog().GetString(), "");
  IISHelper iis;
  ASSERT_TRUE(iis.Connect(IISHelper::ConnectMetabase));
  EXPECT_TRUE(iis.DeleteBackup(u"IIS Quaver Backup"));
}

}  // namespace
