#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "platform/machine.h"
#include "platform/text.h"
#include "platform/win.h"
#include "tests/support/TempMachine.h"

namespace fs = std::filesystem;

namespace {

std::string ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const machine::MachineError& e) {
    return e.what();
  }
  return "";
}

TEST(IniFile, RoundTripKeepsCommentsOrderAndCase) {
  const std::string text =
      "; top comment\n"
      "\n"
      "[Environment]\n"
      "Path=C:\\Windows;C:\\Windows\\system32\n"
      "# inner comment\n"
      "Empty=\n"
      "\n"
      "[disk]\n"
      "; FreeBytes=1\n";
  const auto ini = machine::IniFile::Parse(text, "m.ini");
  EXPECT_EQ(ini.Serialize(), text);
  EXPECT_EQ(*ini.Get("ENVIRONMENT", "path"), "C:\\Windows;C:\\Windows\\system32");
  EXPECT_EQ(*ini.Get("environment", "EMPTY"), "");
  EXPECT_EQ(ini.Get("disk", "FreeBytes"), nullptr);
  EXPECT_EQ(ini.Sections(), (std::vector<std::string>{"Environment", "disk"}));
}

TEST(IniFile, EditsLandInPlace) {
  auto ini = machine::IniFile::Parse("[a]\nx = 1\n\n; about b\n[b]\ny=2\n", "m.ini");
  ini.Set("A", "X", "10");  // existing key: keeps its name
  ini.Set("a", "z", "3");   // new key: after the last key, before the blank line
  ini.Set("C", "k", "v");   // new section: at the end
  EXPECT_TRUE(ini.Remove("b", "Y"));
  EXPECT_FALSE(ini.Remove("b", "y"));
  EXPECT_EQ(ini.Serialize(), "[a]\nx=10\nz=3\n\n; about b\n[b]\n\n[C]\nk=v\n");
  EXPECT_TRUE(ini.RemoveSection("B"));
  EXPECT_FALSE(ini.HasSection("b"));
  EXPECT_EQ(ini.GetOr("c", "missing", "fallback"), "fallback");
  EXPECT_THROW(ini.Set("a", "bad=key", "v"), machine::MachineError);
  EXPECT_THROW(ini.Set("a", "k", "two\nlines"), machine::MachineError);
}

TEST(IniFile, ErrorsNameFileAndLine) {
  const struct {
    const char* text;
    const char* error;
  } cases[] = {
      {"x=1\n", "m.ini:1: key outside any section"},
      {"[a]\n\nnot a pair\n", "m.ini:3: expected key=value"},
      {"[a]\n[b\n", "m.ini:2: section header without ']'"},
      {"[a]\n=v\n", "m.ini:2: empty key"},
      {"[a]\nk=1\nK=2\n", "m.ini:3: key 'K' appears twice in [a]"},
      {"[a]\n[A]\n", "m.ini:2: section [A] appears twice"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ErrorOf([&] { machine::IniFile::Parse(c.text, "m.ini"); }), c.error);
  }
}

class ImageFiles : public quaver::test::TempMachineTest {};

TEST_F(ImageFiles, AtomicWriteReplacesWholeAndLeavesNoTemporaries) {
  const fs::path target = image.Root() / "registry" / "HKLM.reg";
  machine::WriteFileAtomically(target, "first");
  machine::WriteFileAtomically(target, "second, longer");
  EXPECT_EQ(machine::ReadWholeFile(target), "second, longer");
  size_t files = 0;
  for (const auto& entry : fs::directory_iterator(target.parent_path())) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, 1u);
  // A failed write leaves the old content.
  fs::create_directories(image.Root() / "blocker");
  EXPECT_THROW(machine::WriteFileAtomically(image.Root() / "blocker", "x"), machine::MachineError);
  EXPECT_TRUE(fs::is_directory(image.Root() / "blocker"));
  EXPECT_NE(ErrorOf([&] { machine::ReadWholeFile(image.Root() / "nothing"); }).find("nothing"),
            std::string::npos);
}

TEST_F(ImageFiles, FreshImageLayout) {
  for (const char* folder :
       {"drive_c/Windows/System32", "drive_c/Windows/Temp", "drive_c/Program Files",
        "drive_c/Program Files (x86)", "drive_c/ProgramData", "drive_c/Users/Administrator/Desktop",
        "drive_c/Users/Public/Desktop", "drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs",
        "unc"}) {
    EXPECT_TRUE(fs::is_directory(image.Root() / folder)) << folder;
  }
  const auto& settings = machine::RequireMachine().Settings();
  // Every special folder names a folder that exists.
  for (const auto& [name, path] : settings.Entries("folders")) {
    EXPECT_EQ(GetFileAttributesW(machine::FromUtf8(path).c_str()),
              static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY))
        << name;
  }
  EXPECT_TRUE(settings.HasSection("disk"));
  EXPECT_EQ(settings.Get("disk", "FreeBytes"), nullptr);
  EXPECT_THROW(machine::CreateImage(image.Root()), machine::MachineError);
}

TEST_F(ImageFiles, SettingsSurviveSaveAndReselect) {
  machine::RequireMachine().Settings().Set("environment", "EXTRA", "yes");
  machine::RequireMachine().SaveSettings();
  machine::SelectMachine(image.Root());
  WCHAR value[8];
  EXPECT_EQ(GetEnvironmentVariableW(u"Extra", value, 8), 3u);
}

TEST(MachineSelection, NoSilentDefault) {
  machine::DeselectMachine();
  EXPECT_EQ(machine::CurrentMachine(), nullptr);
  const std::string error = ErrorOf([] { machine::RequireMachine(); });
  EXPECT_NE(error.find("QUAVER_MACHINE"), std::string::npos);
  EXPECT_NE(error.find("--machine DIR"), std::string::npos);

  ::unsetenv("QUAVER_MACHINE");
  EXPECT_FALSE(machine::SelectMachineFromEnvironment());
  EXPECT_EQ(machine::CurrentMachine(), nullptr);
}

TEST(MachineSelection, RefusesWhatIsNotAnImage) {
  machine::DeselectMachine();
  const fs::path empty =
      fs::temp_directory_path() / ("quaver-not-image-" + std::to_string(::getpid()));
  fs::create_directories(empty);
  EXPECT_NE(ErrorOf([&] { machine::SelectMachine(empty); }).find("machine.ini"), std::string::npos);
  EXPECT_NE(ErrorOf([&] { machine::SelectMachine(empty / "missing"); }).find("missing"),
            std::string::npos);
  // A malformed machine.ini names itself and the line.
  std::ofstream(empty / "machine.ini") << "[environment]\nbroken\n";
  EXPECT_NE(ErrorOf([&] { machine::SelectMachine(empty); }).find("machine.ini:2:"),
            std::string::npos);
  EXPECT_EQ(machine::CurrentMachine(), nullptr);
  fs::remove_all(empty);
}

TEST(MachineSelection, FromEnvironmentVariable) {
  quaver::test::TempMachine image;
  machine::DeselectMachine();
  ::setenv("QUAVER_MACHINE", image.Root().c_str(), 1);
  EXPECT_TRUE(machine::SelectMachineFromEnvironment());
  ::unsetenv("QUAVER_MACHINE");
  ASSERT_NE(machine::CurrentMachine(), nullptr);
  EXPECT_EQ(machine::CurrentMachine()->Root(), fs::canonical(image.Root()));
  WCHAR cwd[8];
  EXPECT_EQ(GetCurrentDirectoryW(8, cwd), 3u);
}

}  // namespace
