// The actions on files, directories and registry values, on temporary
// images: where each writes, what it logs and how "OPTIONS" shapes failures.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "iis/IISHelper.h"
#include "package/CreateDirectoryPath.h"
#include "system/RegKey.h"
#include "tests/package/EngineImage.h"
#include "tests/package/PackageBuilder.h"

using namespace package_test;

namespace {

const char kBase[] = "drive_c/Program Files/Corvane/Quaver/";

class FileActions : public quaver::test::TempMachineTest {
 protected:
  bool Run(UpdateComponent& component) {
    IISHelper iis;
    return component.RunAlone(iis);
  }
  bool Exists(const std::string& relative) const {
    return std::filesystem::exists(image.Root() / relative);
  }
};

ComponentVariable File(const char* path, const char* name, uint32_t options,
                       const std::string& data = "content") {
  return MapOf("", {StringNode("TYPE", "FILE"), ULongNode("OPTIONS", options),
                    StringNode("PATH", path), StringNode("FILENAME", name),
                    BinaryNode("DATA", data)});
}

UpdateComponent Parsed(const ComponentVariable& record) { return Component(record); }

TEST_F(FileActions, CreateDirectoryPathMakesEveryLevel) {
  EXPECT_TRUE(CreateDirectoryPath(u"C:\\a\\b\\"));
  EXPECT_TRUE(Exists("drive_c/a/b"));
  EXPECT_TRUE(CreateDirectoryPath(u"C:\\a\\\\c\\d"));
  EXPECT_TRUE(Exists("drive_c/a/c/d"));
  EXPECT_TRUE(CreateDirectoryPath(u"C:\\a\\c\\d"));  // all there already
  image.WriteHostFile("drive_c/blocker", "x");
  EXPECT_FALSE(CreateDirectoryPath(u"C:\\blocker\\sub"));
}

struct PathCase {
  const char* path;
  const char* fileName;
  uint32_t options;
  std::string written;  // below the image root
  const char* logged;
};

TEST_F(FileActions, FileFollowsThePathConventions) {
  image.WriteHostFile("drive_c/x/keep", "");
  const PathCase cases[] = {
      {"bin", "a.dll", 0, std::string(kBase) + "bin/a.dll",
       "CREATE FILE: C:\\Program Files\\Corvane\\Quaver\\bin\\a.dll"},
      {"bin", "C:\\x\\a.dll", 0, "drive_c/x/a.dll", "CREATE FILE: C:\\x\\a.dll"},
      {"bin", "%WINDIR%\\a.dll", 0, "drive_c/Windows/a.dll", "CREATE FILE: C:\\Windows\\a.dll"},
      {"C:\\abs\\", "a.dll", 0, "drive_c/abs/a.dll", "CREATE FILE: C:\\abs\\a.dll"},
      {"", "a.dll", 0, std::string(kBase) + "a.dll",
       "CREATE FILE: C:\\Program Files\\Corvane\\Quaver\\a.dll"},
      // Exactly 8 leaves relative paths to the current directory (C:\).
      {"rel", "a.dll", 8, "drive_c/rel/a.dll", "CREATE FILE: rel\\a.dll"},
      {"rel9", "a.dll", 9, std::string(kBase) + "rel9/a.dll",
       "CREATE FILE: C:\\Program Files\\Corvane\\Quaver\\rel9\\a.dll"},
      {"rel24", "a.dll", 0x18, std::string(kBase) + "rel24/a.dll",
       "CREATE FILE: C:\\Program Files\\Corvane\\Quaver\\rel24\\a.dll"},
  };
  for (const PathCase& c : cases) {
    SCOPED_TRACE(std::string(c.path) + " + " + c.fileName);
    UpdateComponent component = Parsed(File(c.path, c.fileName, c.options));
    EXPECT_TRUE(Run(component)) << component.GetErrorText().GetString();
    EXPECT_EQ(image.ReadHostFile(c.written), "content");
    EXPECT_STREQ(component.GetLogText().GetString(), c.logged);
    EXPECT_TRUE(component.GetErrorText().GetLength() == 0);
  }
  // An absolute file name still creates the component's directory.
  EXPECT_TRUE(Exists(std::string(kBase) + "bin"));
}

TEST_F(FileActions, TheAppendedBackslashStaysInTheRecord) {
  UpdateComponent component = Parsed(File("bin", "a.dll", 0));
  ASSERT_TRUE(Run(component));
  EXPECT_STREQ(component.GetRecord().GetChild("PATH")->GetText().GetString(), "bin\\");
  UpdateComponent reverse;
  ASSERT_TRUE(component.MakeReverse(reverse));
  EXPECT_STREQ(reverse.GetRecord().GetChild("PATH")->GetText().GetString(), "bin\\");
}

TEST_F(FileActions, KeepExistingLeavesTheFileOtherwiseItIsReplaced) {
  const std::string target = std::string(kBase) + "bin/a.dll";
  image.WriteHostFile(target, "a much longer old content");
  UpdateComponent kept = Parsed(File("bin", "a.dll", 2, "new"));
  EXPECT_TRUE(Run(kept));
  EXPECT_EQ(image.ReadHostFile(target), "a much longer old content");
  UpdateComponent replaced = Parsed(File("bin", "a.dll", 0, "new"));
  EXPECT_TRUE(Run(replaced));
  EXPECT_EQ(image.ReadHostFile(target), "new");
  UpdateComponent emptied = Parsed(File("bin", "a.dll", 0, ""));
  EXPECT_TRUE(Run(emptied));
  EXPECT_TRUE(Exists(target));
  EXPECT_EQ(image.ReadHostFile(target), "");
}

// The "OPTIONS" bits on one failure: 0x01 reports success, 0x04 keeps the
// message back, other bits change neither.
TEST_F(FileActions, OptionsDecideResultAndMessageOfAFailure) {
  image.WriteHostFile("drive_c/blocker", "x");
  struct Row {
    uint32_t options;
    bool result;
    bool message;
  };
  const Row rows[] = {{0, false, true},  {1, true, true},    {4, false, false}, {5, true, false},
                      {2, false, true},  {0x10, false, true}, {0x11, true, true}, {0x1F, true, false}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.options);
    UpdateComponent component = Parsed(File("C:\\blocker\\sub", "a.dll", row.options));
    EXPECT_EQ(Run(component), row.result);
    EXPECT_STREQ(component.GetErrorText().GetString(),
                 row.message ? "File system error. Cannot create directory." : "");
    EXPECT_STREQ(component.GetLogText().GetString(), "CREATE FILE: C:\\blocker\\sub\\a.dll");
  }
}

ComponentVariable Remove(const char* type, const char* path, const char* name = nullptr) {
  ComponentVariable record = MapOf("", {StringNode("TYPE", type), ULongNode("OPTIONS", 0),
                                        StringNode("PATH", path)});
  if (name != nullptr) record.AddToMap("", StringNode("FILENAME", name));
  return record;
}

TEST_F(FileActions, RemovalsSucceedForWhatIsAlreadyGone) {
  image.WriteHostFile(std::string(kBase) + "bin/a.dll", "x");
  UpdateComponent present = Parsed(Remove("RFIL", "bin", "a.dll"));
  EXPECT_TRUE(Run(present));
  EXPECT_FALSE(Exists(std::string(kBase) + "bin/a.dll"));
  EXPECT_STREQ(present.GetLogText().GetString(),
               "REMOVE FILE: C:\\Program Files\\Corvane\\Quaver\\bin\\a.dll");
  UpdateComponent absent = Parsed(Remove("RFIL", "bin", "a.dll"));
  EXPECT_TRUE(Run(absent));
  UpdateComponent noFolder = Parsed(Remove("RFIL", "nothere", "a.dll"));
  EXPECT_FALSE(Run(noFolder));
  EXPECT_STREQ(noFolder.GetErrorText().GetString(), "File system error. Cannot remove file.");
}

TEST_F(FileActions, DirectoriesAreCreatedAndOnlyEmptyOnesRemoved) {
  UpdateComponent create = Parsed(Remove("CDIR", "logs\\old"));
  EXPECT_TRUE(Run(create));
  EXPECT_STREQ(create.GetLogText().GetString(),
               "CREATE DIRECTORY: C:\\Program Files\\Corvane\\Quaver\\logs\\old");
  EXPECT_TRUE(Exists(std::string(kBase) + "logs/old"));
  // No backslash is appended to a directory's own "PATH".
  EXPECT_STREQ(create.GetRecord().GetChild("PATH")->GetText().GetString(), "logs\\old");

  UpdateComponent notEmpty = Parsed(Remove("RDIR", "logs"));
  EXPECT_FALSE(Run(notEmpty));
  EXPECT_STREQ(notEmpty.GetErrorText().GetString(),
               "File system error. Cannot remove directory.");
  UpdateComponent empty = Parsed(Remove("RDIR", "logs\\old"));
  EXPECT_TRUE(Run(empty));
  EXPECT_STREQ(empty.GetLogText().GetString(),
               "REMOVE DIRECTORY: C:\\Program Files\\Corvane\\Quaver\\logs\\old");
  EXPECT_FALSE(Exists(std::string(kBase) + "logs/old"));
  UpdateComponent gone = Parsed(Remove("RDIR", "logs\\old"));
  EXPECT_TRUE(Run(gone));

  image.WriteHostFile("drive_c/blocker", "x");
  UpdateComponent blocked = Parsed(Remove("CDIR", "C:\\blocker\\sub"));
  EXPECT_FALSE(Run(blocked));
  EXPECT_STREQ(blocked.GetErrorText().GetString(), "File system error. Cannot create directory.");
}

TEST_F(FileActions, UnparsedAndUnknownComponents) {
  UpdateComponent unparsed;
  EXPECT_FALSE(Run(unparsed));
  EXPECT_STREQ(unparsed.GetErrorText().GetString(), "Update component not parsed");
  UpdateComponent lower = Parsed(MapOf("", {StringNode("TYPE", "file")}));
  EXPECT_TRUE(Run(lower));
  EXPECT_STREQ(lower.GetLogText().GetString(), "");
  UpdateComponent reverse;
  EXPECT_FALSE(lower.MakeReverse(reverse));
}

// ---------------------------------------------------------------------------
// Registry

const char kKey[] = "Software\\Corvane\\Quaver";

ComponentVariable Reg(const char* name, uint32_t type, const std::string& data,
                      uint32_t options = 0, const char* path = kKey) {
  return MapOf("", {StringNode("TYPE", "REGK"), ULongNode("OPTIONS", options),
                    StringNode("PATH", path), StringNode("REGNAME", name),
                    ULongNode("REGTYPE", type), BinaryNode("DATA", data)});
}

class RegistryActions : public FileActions {
 protected:
  RegKey& Key() {
    EXPECT_TRUE(key.Create(kKey, HKEY_LOCAL_MACHINE, KEY_ALL_ACCESS, nullptr));
    return key;
  }
  RegKey key;
};

TEST_F(RegistryActions, ValuesAreWrittenByType) {
  UpdateComponent text = Parsed(Reg("RootDir", 1, std::string("C:\\Q\0", 5)));
  EXPECT_TRUE(Run(text));
  EXPECT_STREQ(text.GetLogText().GetString(),
               "ADD REGISTRY KEY: Software\\Corvane\\Quaver\\RootDir");
  CSPString value;
  EXPECT_TRUE(Key().GetStringValue("RootDir", value));
  EXPECT_STREQ(value.GetString(), "C:\\Q");

  UpdateComponent unterminated = Parsed(Reg("Plain", 1, "abc"));
  EXPECT_TRUE(Run(unterminated));
  EXPECT_TRUE(Key().GetStringValue("Plain", value));
  EXPECT_STREQ(value.GetString(), "abc");

  UpdateComponent number = Parsed(Reg("Count", 2, std::string("\x01\0\0\0", 4)));
  EXPECT_TRUE(Run(number));
  uint32_t dword = 0;
  EXPECT_TRUE(Key().GetDwordValue("Count", dword));
  EXPECT_EQ(dword, 1u);

  UpdateComponent keyOnly = Parsed(Reg("Ignored", 0, "", 0, "Software\\Corvane\\Quaver\\Sub"));
  EXPECT_TRUE(Run(keyOnly));
  RegKey sub;
  EXPECT_TRUE(sub.Open("Software\\Corvane\\Quaver\\Sub", HKEY_LOCAL_MACHINE, KEY_READ));
}

TEST_F(RegistryActions, KeepExistingLooksAtTheValueType) {
  Key().SetStringValue("Name", "old");
  UpdateComponent keepText = Parsed(Reg("Name", 1, "new", 2));
  EXPECT_TRUE(Run(keepText));
  CSPString text;
  EXPECT_TRUE(Key().GetStringValue("Name", text));
  EXPECT_STREQ(text.GetString(), "old");
  // A string in the way of a number is not kept.
  UpdateComponent number = Parsed(Reg("Name", 2, std::string("\x07\0\0\0", 4), 2));
  EXPECT_TRUE(Run(number));
  uint32_t dword = 0;
  EXPECT_TRUE(Key().GetDwordValue("Name", dword));
  EXPECT_EQ(dword, 7u);
  UpdateComponent keepNumber = Parsed(Reg("Name", 2, std::string("\x09\0\0\0", 4), 2));
  EXPECT_TRUE(Run(keepNumber));
  EXPECT_TRUE(Key().GetDwordValue("Name", dword));
  EXPECT_EQ(dword, 7u);
}

TEST_F(RegistryActions, BadValuesFail) {
  UpdateComponent shortNumber = Parsed(Reg("Count", 2, std::string("\x01\0", 2)));
  EXPECT_FALSE(Run(shortNumber));
  EXPECT_STREQ(shortNumber.GetErrorText().GetString(), "Cannot write registry data");
  uint32_t dword = 0;
  EXPECT_FALSE(Key().GetDwordValue("Count", dword));
  UpdateComponent unknown = Parsed(Reg("Count", 3, "x"));
  EXPECT_FALSE(Run(unknown));
  EXPECT_STREQ(unknown.GetErrorText().GetString(), "Uknown registry value type");
}

ComponentVariable Unreg(const char* path, const char* name) {
  return MapOf("", {StringNode("TYPE", "RREG"), ULongNode("OPTIONS", 0), StringNode("PATH", path),
                    StringNode("REGNAME", name)});
}

TEST_F(RegistryActions, RemovalNeverFails) {
  Key().SetStringValue("Name", "x");
  UpdateComponent value = Parsed(Unreg(kKey, "Name"));
  EXPECT_TRUE(Run(value));
  EXPECT_STREQ(value.GetLogText().GetString(),
               "REMOVE REGISTRY KEY: Software\\Corvane\\Quaver\\Name");
  CSPString text;
  EXPECT_FALSE(Key().GetStringValue("Name", text));
  UpdateComponent missing = Parsed(Unreg("Software\\Nowhere", "Name"));
  EXPECT_TRUE(Run(missing));

  RegKey child;
  ASSERT_TRUE(child.Create("Software\\Corvane\\Quaver\\Child", HKEY_LOCAL_MACHINE, KEY_ALL_ACCESS,
                           nullptr));
  child.Close();
  UpdateComponent parent = Parsed(Unreg(kKey, ""));
  EXPECT_TRUE(Run(parent));
  EXPECT_TRUE(key.Open(kKey, HKEY_LOCAL_MACHINE, KEY_READ));  // has a subkey: stays
  key.Close();
  UpdateComponent leaf = Parsed(Unreg("Software\\Corvane\\Quaver\\Child", ""));
  EXPECT_TRUE(Run(leaf));
  EXPECT_FALSE(child.Open("Software\\Corvane\\Quaver\\Child", HKEY_LOCAL_MACHINE, KEY_READ));
}

// ---------------------------------------------------------------------------
// Access rights

ComponentVariable Access(const char* userType, uint32_t standard, const char* named,
                         const char* path = "C:\\inetpub\\wwwroot") {
  return MapOf("", {StringNode("TYPE", "SARO"), ULongNode("OPTIONS", 0),
                    ULongNode("OBJECT_TYPE", 1), StringNode("PATH", path),
                    StringNode("USER_TYPE", userType), ULongNode("STANDARD_USER", standard),
                    StringNode("NAMED_USER", named), ULongNode("ACCESS_MODE", 1),  // grant
                    ULongNode("PERMISSIONS", 0x1200a9), ULongNode("INHERITANCE", 3)});
}

TEST(AccessActions, AccessRightsNameThePrincipal) {
  EngineImage image("6");  // with the server's accounts
  IISHelper iis;
  auto Run = [&iis](UpdateComponent& component) { return component.RunAlone(iis); };
  UpdateComponent named = Parsed(Access("named", 0, "IIS_WPG"));
  EXPECT_TRUE(Run(named)) << named.GetErrorText().GetString();
  EXPECT_STREQ(named.GetLogText().GetString(), "SET ACCESS RIGHTS TO OBJECT: C:\\inetpub\\wwwroot");
  EXPECT_NE(image.ReadHostFile("security.sddl").find("-1001)"), std::string::npos);

  UpdateComponent standard = Parsed(Access("STANDARD", 5, ""));
  EXPECT_TRUE(Run(standard)) << standard.GetErrorText().GetString();
  EXPECT_NE(image.ReadHostFile("security.sddl").find(";;;NS)"), std::string::npos)
      << image.ReadHostFile("security.sddl");

  UpdateComponent unknownId = Parsed(Access("Standard", 99, ""));
  EXPECT_FALSE(Run(unknownId));
  EXPECT_STREQ(unknownId.GetErrorText().GetString(),
               "Cannot resolve standard user with id \"99\"");
  UpdateComponent unknownName = Parsed(Access("NAMED", 0, "NOBODY"));
  EXPECT_FALSE(Run(unknownName));
  EXPECT_STREQ(unknownName.GetErrorText().GetString(), "Cannot resolve user \"NOBODY\"");
  UpdateComponent missing = Parsed(Access("NAMED", 0, "IIS_WPG", "C:\\nothere"));
  EXPECT_FALSE(Run(missing));
  EXPECT_STREQ(missing.GetErrorText().GetString(),
               "Cannot retrieve access rights (DACL) from object");
}

}  // namespace
