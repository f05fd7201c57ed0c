// The actions that reach the shell and the system modules: "EXEC", "SLNK"
// and the Start-menu shortcuts, on temporary images.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "iis/IISHelper.h"
#include "platform/shell/ShellLog.h"
#include "tests/package/EngineImage.h"
#include "tests/package/PackageBuilder.h"

using namespace package_test;

namespace {

const std::string kBase = "drive_c/Program Files/Corvane/Quaver/";
const std::string kCommonPrograms = "drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/";
const std::string kUserPrograms =
    "drive_c/Users/Administrator/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/";

ComponentVariable Record(const char* type, std::initializer_list<ComponentVariable> fields,
                         uint32_t options = 0) {
  ComponentVariable record = MapOf("", fields);
  record.AddToMap("", StringNode("TYPE", type));
  record.AddToMap("", ULongNode("OPTIONS", options));
  return record;
}

class ShellActions : public quaver::test::TempMachineTest {
 protected:
  bool Run(const ComponentVariable& record) {
    last = Component(record);
    IISHelper iis;
    return last.RunAlone(iis);
  }
  bool Exists(const std::string& relative) const {
    return std::filesystem::exists(std::filesystem::symlink_status(image.Root() / relative));
  }
  UpdateComponent last;
};

TEST_F(ShellActions, ExecuteWritesTheFileAndStartsIt) {
  ASSERT_TRUE(Run(Record("EXEC", {StringNode("PATH", "bin"), StringNode("FILENAME", "setup.cmd"),
                                  BinaryNode("DATA", "@echo off")})));
  EXPECT_STREQ(last.GetLogText().GetString(),
               "EXECUTE FILE: C:\\Program Files\\Corvane\\Quaver\\bin\\setup.cmd");
  EXPECT_EQ(image.ReadHostFile(kBase + "bin/setup.cmd"), "@echo off");
  auto started = shell::ReadShellLog();
  ASSERT_EQ(started.size(), 1u);
  EXPECT_EQ(started[0].verb, u"Open");
  EXPECT_EQ(started[0].file, u"C:\\Program Files\\Corvane\\Quaver\\bin\\setup.cmd");
  EXPECT_EQ(started[0].showCommand, SW_HIDE);

  // A file that cannot be written is not started; the message is the
  // file's own.
  image.WriteHostFile("drive_c/blocker", "x");
  EXPECT_FALSE(Run(Record("EXEC", {StringNode("PATH", "C:\\blocker\\sub"),
                                   StringNode("FILENAME", "s.cmd"), BinaryNode("DATA", "")})));
  EXPECT_STREQ(last.GetErrorText().GetString(), "File system error. Cannot create directory.");
  EXPECT_STREQ(last.GetLogText().GetString(), "EXECUTE FILE: C:\\blocker\\sub\\s.cmd");
  EXPECT_EQ(shell::ReadShellLog().size(), 1u);
}

ComponentVariable Link(const char* target, uint32_t options = 0) {
  return Record("SLNK", {StringNode("PATH", "bin"), StringNode("FILENAME", "q32.dll"),
                         StringNode("TARGET", target)},
                options);
}

TEST_F(ShellActions, SymbolicLinkReplacesWhatIsThereUnlessKept) {
  image.WriteHostFile(kBase + "bin/q.dll", "image");
  ASSERT_TRUE(Run(Link("q.dll"))) << last.GetErrorText().GetString();
  EXPECT_STREQ(last.GetLogText().GetString(),
               "CREATE SYMLINK: C:\\Program Files\\Corvane\\Quaver\\bin\\q32.dll ==> "
               "C:\\Program Files\\Corvane\\Quaver\\bin\\q.dll");
  EXPECT_TRUE(std::filesystem::is_symlink(image.Root() / (kBase + "bin/q32.dll")));
  EXPECT_EQ(image.ReadHostFile(kBase + "bin/q32.dll"), "image");

  image.WriteHostFile(kBase + "bin/other.dll", "other");
  std::filesystem::remove(image.Root() / (kBase + "bin/q32.dll"));
  image.WriteHostFile(kBase + "bin/q32.dll", "old file");
  ASSERT_TRUE(Run(Link("other.dll", 2)));
  EXPECT_EQ(image.ReadHostFile(kBase + "bin/q32.dll"), "old file");
  ASSERT_TRUE(Run(Link("C:\\Program Files\\Corvane\\Quaver\\bin\\other.dll")));
  EXPECT_EQ(image.ReadHostFile(kBase + "bin/q32.dll"), "other");

  EXPECT_FALSE(Run(Link("missing.dll")));
  EXPECT_STREQ(last.GetErrorText().GetString(), "File system error. Cannot create symbolic link.");
  EXPECT_FALSE(Run(Link("missing.dll", 4)));
  EXPECT_STREQ(last.GetErrorText().GetString(), "");
}

// Windows Server 2003 has no symbolic links: the failure is reported even
// where "OPTIONS" asks for no message.
TEST(SymbolicLinkOnIis6, KernelLacksTheFunction) {
  EngineImage image("6");
  image.WriteHostFile(kBase + "bin/q.dll", "image");
  UpdateComponent link = Component(Link("q.dll", 5));
  IISHelper iis;
  EXPECT_TRUE(link.RunAlone(iis));
  EXPECT_STREQ(link.GetErrorText().GetString(),
               "System error. Cannot load function CreateSymbolicLinkW from Kernel32.dll.");
}

ComponentVariable Shortcut(const char* folder, const char* file = "Help.lnk") {
  return Record("CSHC", {StringNode("SHORTCUT_FOLDER", folder),
                         StringNode("SHORTCUT_FILENAME", file), StringNode("TARGET_PATH", "doc"),
                         StringNode("TARGET_FILENAME", "help.chm"),
                         StringNode("DESCRIPTION", "IIS Quaver Help")});
}

std::string Utf16(const std::string& text) {
  std::string out;
  for (char c : text) out += {c, '\0'};
  return out;
}

// The shell link object lives in COM: the setup's thread has it started.
class ShortcutActions : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))); }
  void TearDown() override { CoUninitialize(); }
  bool Run(const ComponentVariable& record) {
    last = Component(record);
    IISHelper iis;
    return last.RunAlone(iis);
  }
  EngineImage image{""};
  UpdateComponent last;
};

TEST_F(ShortcutActions, ShortcutIsARealLinkFileInTheCommonPrograms) {
  ASSERT_TRUE(Run(Shortcut("IIS Quaver"))) << last.GetErrorText().GetString();
  EXPECT_STREQ(last.GetLogText().GetString(),
               "CREATE SHORTCUT: IIS Quaver\\Help.lnk target: "
               "C:\\Program Files\\Corvane\\Quaver\\doc\\help.chm");
  const std::string link = image.ReadHostFile(kCommonPrograms + "IIS Quaver/Help.lnk");
  ASSERT_GE(link.size(), 76u);
  EXPECT_EQ(link.substr(0, 4), std::string("\x4C\0\0\0", 4));  // header size
  EXPECT_NE(link.find("C:\\Program Files\\Corvane\\Quaver\\doc\\help.chm"), std::string::npos);
  EXPECT_NE(link.find(Utf16("IIS Quaver Help")), std::string::npos);
  // The reverse keeps the backslash the action appended to "TARGET_PATH".
  EXPECT_STREQ(last.GetRecord().GetChild("TARGET_PATH")->GetText().GetString(), "doc\\");

  UpdateComponent reverse;
  ASSERT_TRUE(last.MakeReverse(reverse));
  IISHelper iis;
  EXPECT_TRUE(reverse.RunAlone(iis));
  EXPECT_FALSE(std::filesystem::exists(image.Root() / (kCommonPrograms + "IIS Quaver")));
}

TEST_F(ShortcutActions, OnlyOneFolderLevelIsMade) {
  EXPECT_FALSE(Run(Shortcut("IIS Quaver\\Tools")));
  EXPECT_STREQ(last.GetErrorText().GetString(), "Cannot create program shortcut");
  ASSERT_TRUE(Run(Shortcut("IIS Quaver")));
  EXPECT_TRUE(Run(Shortcut("IIS Quaver\\Tools", "Tool.lnk")));  // the folder is there now
  EXPECT_FALSE(Run(Shortcut("IIS Quaver", "no\\such\\Help.lnk")));
  EXPECT_STREQ(last.GetErrorText().GetString(), "Cannot save program shortcut file");
}

ComponentVariable Unlink(const char* folder, const char* file, uint32_t options = 0) {
  return Record("RSHC", {StringNode("SHORTCUT_FOLDER", folder),
                         StringNode("SHORTCUT_FILENAME", file)},
                options);
}

TEST_F(ShellActions, RemovingAShortcutLooksInBothProgramsFolders) {
  image.WriteHostFile(kCommonPrograms + "IIS Quaver/Help.lnk", "L");
  image.WriteHostFile(kUserPrograms + "IIS Quaver/Help.lnk", "L");
  ASSERT_TRUE(Run(Unlink("IIS Quaver", "Help.lnk")));
  EXPECT_STREQ(last.GetLogText().GetString(), "REMOVE SHORTCUT: IIS Quaver\\Help.lnk");
  EXPECT_FALSE(Exists(kCommonPrograms + "IIS Quaver"));
  EXPECT_TRUE(Exists(kUserPrograms + "IIS Quaver/Help.lnk"));  // the common one went first
  ASSERT_TRUE(Run(Unlink("IIS Quaver", "Help.lnk")));
  EXPECT_FALSE(Exists(kUserPrograms + "IIS Quaver"));

  EXPECT_FALSE(Run(Unlink("IIS Quaver", "Help.lnk")));
  EXPECT_STREQ(last.GetErrorText().GetString(), "Cannot remove program shortcut");
  EXPECT_TRUE(Run(Unlink("IIS Quaver", "Help.lnk", 1)));
}

}  // namespace
