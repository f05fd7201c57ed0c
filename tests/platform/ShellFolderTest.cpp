// The shell's special folders (from the image's machine.ini) and
// ShellExecuteW's record in shell.log.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "platform/machine.h"
#include "platform/shell/ShellLog.h"
#include "platform/win.h"
#include "tests/support/TempMachine.h"

namespace fs = std::filesystem;

namespace {

class ShellFolderTest : public quaver::test::TempMachineTest {
 protected:
  // The path through an ID list, as the setup reads Start menu and desktop.
  static std::u16string ThroughIdList(int csidl) {
    PIDLIST_ABSOLUTE list = nullptr;
    const HRESULT hr = SHGetSpecialFolderLocation(nullptr, csidl, &list);
    if (FAILED(hr)) {
      EXPECT_EQ(list, nullptr);
      return u"!" + Hex(hr);
    }
    char16_t path[MAX_PATH];
    std::fill(std::begin(path), std::end(path), u'#');
    const BOOL ok = SHGetPathFromIDListW(list, path);
    ILFree(list);
    return ok ? std::u16string(path) : u"!path";
  }
  static std::u16string Hex(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(hr));
    return std::u16string(text, text + std::strlen(text));
  }
  static void SetFolder(const char* key, const char* value) {
    machine::RequireMachine().Settings().Set("folders", key, value);
  }
};

TEST_F(ShellFolderTest, FoldersOfAFreshImage) {
  const struct {
    int csidl;
    const char16_t* path;
  } cases[] = {
      {CSIDL_COMMON_PROGRAMS, u"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs"},
      {CSIDL_PROGRAMS,
       u"C:\\Users\\Administrator\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs"},
      {CSIDL_DESKTOPDIRECTORY, u"C:\\Users\\Administrator\\Desktop"},
      {CSIDL_PROGRAM_FILES, u"C:\\Program Files"},
      {CSIDL_SYSTEM, u"C:\\Windows\\System32"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ThroughIdList(c.csidl), c.path);
    char16_t path[MAX_PATH] = u"sentinel";
    EXPECT_EQ(SHGetFolderPathW(nullptr, c.csidl, nullptr, SHGFP_TYPE_CURRENT, path), S_OK);
    EXPECT_EQ(std::u16string(path), c.path);
  }
}

TEST_F(ShellFolderTest, SystemFolders) {
  char16_t path[MAX_PATH];
  std::fill(std::begin(path), std::end(path), u'#');
  EXPECT_EQ(GetSystemDirectoryW(path, MAX_PATH), 19u);
  EXPECT_EQ(std::u16string(path), u"C:\\Windows\\System32");
  EXPECT_EQ(GetWindowsDirectoryW(path, MAX_PATH), 10u);
  EXPECT_EQ(std::u16string(path), u"C:\\Windows");
  // Too small: the size needed with the terminator, nothing written.
  std::fill(std::begin(path), std::end(path), u'#');
  EXPECT_EQ(GetSystemDirectoryW(path, 19), 20u);
  EXPECT_EQ(path[0], u'#');
  machine::RequireMachine().Settings().Remove("folders", "SYSTEM");
  SetLastError(0);
  EXPECT_EQ(GetSystemDirectoryW(path, MAX_PATH), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST_F(ShellFolderTest, UnknownFoldersAndBadArguments) {
  // CSIDL_DRIVES (0x11) is a virtual folder; 0x3f is no folder at all.
  EXPECT_EQ(ThroughIdList(0x0011), u"!80070057");
  EXPECT_EQ(ThroughIdList(0x003f), u"!80070057");
  machine::RequireMachine().Settings().Remove("folders", "COMMON_PROGRAMS");
  EXPECT_EQ(ThroughIdList(CSIDL_COMMON_PROGRAMS), u"!80070057");
  EXPECT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_PROGRAMS, nullptr), E_INVALIDARG);

  char16_t path[MAX_PATH] = u"sentinel";
  EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_COMMON_PROGRAMS, nullptr, 0, path), E_INVALIDARG);
  EXPECT_EQ(path[0], u'\0');
  EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_PROGRAMS, nullptr, 7, path), E_INVALIDARG);
  EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_PROGRAMS | 0x0100, nullptr, 0, path), E_INVALIDARG);
}

TEST_F(ShellFolderTest, MissingFolderIsCreatedOnlyOnRequest) {
  SetFolder("DESKTOPDIRECTORY", "C:\\Profiles\\Admin\\Desktop");
  EXPECT_EQ(ThroughIdList(CSIDL_DESKTOPDIRECTORY), u"!80004005");
  char16_t path[MAX_PATH] = u"sentinel";
  EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, 0, path), E_FAIL);
  EXPECT_EQ(path[0], u'\0');
  EXPECT_EQ(
      SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY | CSIDL_FLAG_DONT_VERIFY, nullptr, 0, path),
      S_OK);
  EXPECT_EQ(std::u16string(path), u"C:\\Profiles\\Admin\\Desktop");
  EXPECT_FALSE(fs::exists(image.DriveC() / "Profiles"));
  EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY | CSIDL_FLAG_CREATE, nullptr, 0, path),
            S_OK);
  EXPECT_TRUE(fs::is_directory(image.DriveC() / "Profiles" / "Admin" / "Desktop"));
  SetFolder("COMMON_DESKTOPDIRECTORY", "C:\\Profiles\\Public\\Desktop");
  EXPECT_EQ(ThroughIdList(CSIDL_COMMON_DESKTOPDIRECTORY | CSIDL_FLAG_CREATE),
            u"C:\\Profiles\\Public\\Desktop");
  EXPECT_EQ(ThroughIdList(CSIDL_DESKTOPDIRECTORY), u"C:\\Profiles\\Admin\\Desktop");
}

TEST_F(ShellFolderTest, PathFromForeignOrEmptyIdList) {
  // A real shell item (My Computer) is no file system path.
  const BYTE computer[] = {0x14, 0x00, 0x1F, 0x50, 0xE0, 0x4F, 0xD0, 0x20, 0xEA, 0x3A, 0x69,
                           0x10, 0xA2, 0xD8, 0x08, 0x00, 0x2B, 0x30, 0x30, 0x9D, 0x00, 0x00};
  char16_t path[MAX_PATH] = u"sentinel";
  EXPECT_FALSE(SHGetPathFromIDListW(reinterpret_cast<PCIDLIST_ABSOLUTE>(computer), path));
  EXPECT_EQ(path[0], u'\0');
  EXPECT_FALSE(SHGetPathFromIDListW(nullptr, path));
  // The empty list is the desktop.
  const BYTE empty[] = {0x00, 0x00};
  EXPECT_TRUE(SHGetPathFromIDListW(reinterpret_cast<PCIDLIST_ABSOLUTE>(empty), path));
  EXPECT_EQ(std::u16string(path), u"C:\\Users\\Administrator\\Desktop");
}

TEST_F(ShellFolderTest, ShellExecuteRecordsEveryRequest) {
  image.WriteHostFile("drive_c/Program Files/Corvane/Quaver/iquaverctlld.exe", "MZ");
  const auto started = [](HINSTANCE result) { return reinterpret_cast<intptr_t>(result); };
  EXPECT_GT(started(ShellExecuteW(nullptr, u"open",
                                  u"C:\\Program Files\\Corvane\\Quaver\\iquaverctlld.exe", nullptr,
                                  nullptr, SW_SHOW)),
            32);
  SetLastError(0);
  EXPECT_EQ(started(ShellExecuteW(nullptr, u"Open", u"C:\\Temp\\setup.cmd", u"/q\t100%", nullptr,
                                  SW_HIDE)),
            SE_ERR_FNF);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  // A relative file is looked for in the given directory.
  EXPECT_GT(started(ShellExecuteW(nullptr, nullptr, u"iquaverctlld.exe", nullptr,
                                  u"C:\\Program Files\\Corvane\\Quaver", SW_SHOWNORMAL)),
            32);
  EXPECT_EQ(
      started(ShellExecuteW(nullptr, u"open", u"iquaverctlld.exe", nullptr, nullptr, SW_SHOW)),
      SE_ERR_FNF);

  const std::string log = image.ReadHostFile("shell.log");
  EXPECT_EQ(log.substr(0, log.find('\n')),
            "verb=open\tfile=C:\\Program Files\\Corvane\\Quaver\\iquaverctlld.exe\tparameters=\t"
            "directory=\tshow=5\tresult=42");
  const auto requests = shell::ReadShellLog();
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_EQ(requests[1].verb, u"Open");
  EXPECT_EQ(requests[1].parameters, u"/q\t100%");
  EXPECT_EQ(requests[1].showCommand, SW_HIDE);
  EXPECT_EQ(requests[1].result, SE_ERR_FNF);
  EXPECT_EQ(requests[2].verb, u"");
  EXPECT_EQ(requests[2].directory, u"C:\\Program Files\\Corvane\\Quaver");
  EXPECT_EQ(requests[2].result, 42);
}

}  // namespace
