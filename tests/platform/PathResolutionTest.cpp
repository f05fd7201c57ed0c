#include <unistd.h>

#include <filesystem>

#include "platform/machine.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/win.h"
#include "tests/support/TempMachine.h"

namespace fs = std::filesystem;
using quaver::test::TempMachineTest;

namespace {

struct FullPathCase {
  const char16_t* input;
  const char16_t* full;
};

class FullPathTest : public TempMachineTest {};

TEST_F(FullPathTest, NormalisesSeparatorsDotsAndTrailingCharacters) {
  ASSERT_TRUE(SetCurrentDirectoryW(u"C:\\Windows"));
  const FullPathCase cases[] = {
      {u"C:\\a\\.\\b\\..\\c", u"C:\\a\\c"},
      {u"c:/a//b/", u"C:\\a\\b"},
      {u"C:\\..\\..\\x", u"C:\\x"},  // '..' at the root stays there
      {u"C:\\a\\..\\..\\..", u"C:\\"},
      {u"\\x\\y", u"C:\\x\\y"},  // root of the current drive
      {u"Temp\\f.txt", u"C:\\Windows\\Temp\\f.txt"},
      {u"..\\Users", u"C:\\Users"},
      {u"C:Temp", u"C:\\Windows\\Temp"},  // drive-relative on the current drive
      {u"D:x", u"D:\\x"},
      {u"C:\\name. . ", u"C:\\name"},  // last name loses trailing dots and spaces
      {u"C:\\dir.\\f", u"C:\\dir\\f"},
      {u"\\\\Server\\Share\\..\\..\\x", u"\\\\Server\\Share\\x"},
      {u"\\\\?\\C:\\a\\b", u"C:\\a\\b"},
      {u"\\\\?\\UNC\\srv\\sh\\f", u"\\\\srv\\sh\\f"},
  };
  for (const auto& c : cases) {
    std::u16string full;
    EXPECT_EQ(machine::FullWindowsPath(c.input, full), ERROR_SUCCESS) << machine::ToUtf8(c.input);
    EXPECT_EQ(full, c.full) << machine::ToUtf8(c.input);
  }
}

TEST_F(FullPathTest, RefusesInvalidNames) {
  const struct {
    const char16_t* input;
    DWORD error;
  } cases[] = {
      {u"C:\\a<b", ERROR_INVALID_NAME},
      {u"C:\\a>b", ERROR_INVALID_NAME},
      {u"C:\\a\"b", ERROR_INVALID_NAME},
      {u"C:\\a|b\\c", ERROR_INVALID_NAME},
      {u"C:\\a*b", ERROR_INVALID_NAME},
      {u"C:\\a?b", ERROR_INVALID_NAME},
      {u"C:\\a:b", ERROR_INVALID_NAME},
      {u"C:\\a\x01"
       u"b",
       ERROR_INVALID_NAME},
      {u"C:\\x\\CON", ERROR_INVALID_NAME},
      {u"C:\\x\\nul.txt", ERROR_INVALID_NAME},
      {u"C:\\x\\com1", ERROR_INVALID_NAME},
      {u"\\\\server", ERROR_BAD_PATHNAME},
      {u"\\\\server\\", ERROR_BAD_PATHNAME},
      {u"\\\\.\\C:", ERROR_INVALID_NAME},
      {u"", ERROR_PATH_NOT_FOUND},
  };
  for (const auto& c : cases) {
    std::u16string full = u"untouched";
    EXPECT_EQ(machine::FullWindowsPath(c.input, full), c.error) << machine::ToUtf8(c.input);
    EXPECT_EQ(full, u"untouched");
  }
}

TEST_F(FullPathTest, WildcardsOnlyWhereAllowed) {
  std::u16string full;
  EXPECT_EQ(machine::FullWindowsPath(u"C:\\x\\*.txt", full), ERROR_INVALID_NAME);
  EXPECT_EQ(
      machine::FullWindowsPath(u"C:\\x\\*.txt", full, machine::Wildcards::AllowInLastComponent),
      ERROR_SUCCESS);
  EXPECT_EQ(full, u"C:\\x\\*.txt");
  EXPECT_EQ(
      machine::FullWindowsPath(u"C:\\*\\a.txt", full, machine::Wildcards::AllowInLastComponent),
      ERROR_INVALID_NAME);
}

class ResolveTest : public TempMachineTest {};

TEST_F(ResolveTest, ExistingNamesMatchWithoutRegardToCase) {
  image.WriteHostFile("drive_c/x/y.txt", "data");
  machine::ResolvedPath path;
  ASSERT_EQ(machine::ResolveWindowsPath(u"c:\\X\\Y.TXT", path), ERROR_SUCCESS);
  EXPECT_TRUE(path.exists);
  EXPECT_FALSE(path.isDirectory);
  EXPECT_EQ(path.host, image.DriveC() / "x" / "y.txt");
  EXPECT_EQ(path.windows, u"C:\\x\\y.txt");
}

TEST_F(ResolveTest, NewNamesKeepTheCaseGiven) {
  machine::ResolvedPath path;
  ASSERT_EQ(machine::ResolveWindowsPath(u"C:\\WINDOWS\\NewFile.TXT", path), ERROR_SUCCESS);
  EXPECT_FALSE(path.exists);
  EXPECT_EQ(path.host, image.DriveC() / "Windows" / "NewFile.TXT");
}

TEST_F(ResolveTest, CaseFoldingBeyondAscii) {
  image.WriteHostFile("drive_c/Übersicht/ÉTÉ.txt", "");
  image.WriteHostFile("drive_c/Привет.txt", "");
  machine::ResolvedPath path;
  ASSERT_EQ(machine::ResolveWindowsPath(u"C:\\übersicht\\été.TXT", path), ERROR_SUCCESS);
  EXPECT_TRUE(path.exists);
  ASSERT_EQ(machine::ResolveWindowsPath(u"C:\\привет.txt", path), ERROR_SUCCESS);
  EXPECT_TRUE(path.exists);
}

TEST_F(ResolveTest, ExactNameWinsOverCaseVariants) {
  image.WriteHostFile("drive_c/Data.txt", "upper");
  image.WriteHostFile("drive_c/data.txt", "lower");
  machine::ResolvedPath path;
  ASSERT_EQ(machine::ResolveWindowsPath(u"C:\\data.txt", path), ERROR_SUCCESS);
  EXPECT_EQ(path.host.filename(), "data.txt");
  ASSERT_EQ(machine::ResolveWindowsPath(u"C:\\DATA.TXT", path), ERROR_SUCCESS);
  EXPECT_EQ(path.host.filename(), "Data.txt");  // first in byte order
}

TEST_F(ResolveTest, MissingPartsGiveTheWindowsCodes) {
  image.WriteHostFile("drive_c/file.txt", "");
  fs::create_directories(image.Root() / "unc" / "FILESRV" / "Public");
  const struct {
    const char16_t* input;
    DWORD error;
  } cases[] = {
      {u"C:\\missing\\x.txt", ERROR_PATH_NOT_FOUND},
      {u"C:\\file.txt\\x.txt", ERROR_PATH_NOT_FOUND},  // a file is no folder
      {u"Q:\\x.txt", ERROR_PATH_NOT_FOUND},            // no such drive
      {u"\\\\nobody\\share\\x", ERROR_BAD_NETPATH},
      {u"\\\\filesrv\\nothing\\x", ERROR_BAD_NET_NAME},
  };
  for (const auto& c : cases) {
    machine::ResolvedPath path;
    EXPECT_EQ(machine::ResolveWindowsPath(c.input, path), c.error) << machine::ToUtf8(c.input);
  }
  machine::ResolvedPath share;
  ASSERT_EQ(machine::ResolveWindowsPath(u"\\\\filesrv\\public\\new.txt", share), ERROR_SUCCESS);
  EXPECT_EQ(share.host, image.Root() / "unc" / "FILESRV" / "Public" / "new.txt");
}

TEST_F(ResolveTest, OtherDrivesLiveInTheirOwnFolders) {
  fs::create_directories(image.Root() / "drive_d" / "Data");
  machine::ResolvedPath path;
  ASSERT_EQ(machine::ResolveWindowsPath(u"d:\\data\\..\\..\\f.txt", path), ERROR_SUCCESS);
  EXPECT_EQ(path.host, image.Root() / "drive_d" / "f.txt");
}

TEST_F(ResolveTest, NoPathLeavesTheImage) {
  const fs::path outside = image.Root().parent_path() / (image.Root().filename().string() + "-out");
  fs::create_directories(outside);
  fs::create_symlink(outside, image.DriveC() / "escape");
  fs::create_symlink(image.Root() / "machine.ini", image.DriveC() / "settings");
  fs::create_symlink(image.DriveC() / "nowhere-target", image.DriveC() / "dangling");
  fs::create_directories(image.DriveC() / "real");
  fs::create_symlink(image.DriveC() / "real", image.DriveC() / "alias");
  machine::ResolvedPath path;
  EXPECT_EQ(machine::ResolveWindowsPath(u"C:\\escape\\x.txt", path), ERROR_ACCESS_DENIED);
  EXPECT_EQ(machine::ResolveWindowsPath(u"C:\\ESCAPE", path), ERROR_ACCESS_DENIED);
  EXPECT_EQ(machine::ResolveWindowsPath(u"C:\\dangling", path), ERROR_ACCESS_DENIED);
  // The image's own files beside the drives are out of a drive's reach.
  EXPECT_EQ(machine::ResolveWindowsPath(u"C:\\settings", path), ERROR_ACCESS_DENIED);
  // Links that stay inside are followed.
  EXPECT_EQ(machine::ResolveWindowsPath(u"C:\\alias\\new.txt", path), ERROR_SUCCESS);
  // Nothing reaches the host by '..' either.
  HANDLE h = CreateFileW(u"C:\\..\\..\\..\\machine.ini", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  EXPECT_EQ(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  HANDLE out =
      CreateFileW(u"C:\\escape\\planted.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  EXPECT_EQ(out, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(fs::exists(outside / "planted.txt"));
  fs::remove_all(outside);
}

TEST_F(ResolveTest, ReverseMapping) {
  fs::create_directories(image.Root() / "unc" / "S" / "Sh");
  EXPECT_EQ(machine::WindowsPathOf(image.DriveC() / "Windows" / "Temp"), u"C:\\Windows\\Temp");
  EXPECT_EQ(machine::WindowsPathOf(image.DriveC()), u"C:\\");
  EXPECT_EQ(machine::WindowsPathOf(image.Root() / "drive_e" / "x"), u"E:\\x");
  EXPECT_EQ(machine::WindowsPathOf(image.Root() / "unc" / "S" / "Sh" / "f"), u"\\\\S\\Sh\\f");
  EXPECT_EQ(machine::WindowsPathOf(image.Root() / "machine.ini"), std::nullopt);
  EXPECT_EQ(machine::WindowsPathOf(image.Root() / ".." / "elsewhere"), std::nullopt);
}

TEST(ResolveWithoutMachine, FailsWithPathNotFound) {
  machine::DeselectMachine();
  machine::ResolvedPath path;
  EXPECT_EQ(machine::ResolveWindowsPath(u"C:\\Windows", path), ERROR_PATH_NOT_FOUND);
  SetLastError(0);
  EXPECT_EQ(CreateFileW(u"C:\\x.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  WCHAR buffer[8] = u"sentin";
  EXPECT_EQ(GetCurrentDirectoryW(8, buffer), 0u);
  EXPECT_EQ(std::u16string(buffer), u"sentin");
}

}  // namespace
