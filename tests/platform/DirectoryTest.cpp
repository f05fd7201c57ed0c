#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/machine.h"
#include "platform/win.h"
#include "tests/support/TempMachine.h"

namespace fs = std::filesystem;

namespace {

class DirectoryTest : public quaver::test::TempMachineTest {
 protected:
  // Names a search returns, in order; "!<code>" when it fails.
  static std::vector<std::u16string> Find(const char16_t* pattern) {
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW(pattern, &data);
    if (h == INVALID_HANDLE_VALUE) {
      const std::string code = std::to_string(GetLastError());
      return {u"!" + std::u16string(code.begin(), code.end())};
    }
    std::vector<std::u16string> names{data.cFileName};
    while (FindNextFileW(h, &data)) names.emplace_back(data.cFileName);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    EXPECT_TRUE(FindClose(h));
    return names;
  }
};

TEST_F(DirectoryTest, CreateAndRemoveDirectoryCodes) {
  EXPECT_TRUE(CreateDirectoryW(u"C:\\Tools", nullptr));
  EXPECT_TRUE(fs::is_directory(image.DriveC() / "Tools"));
  EXPECT_FALSE(CreateDirectoryW(u"c:\\TOOLS", nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_FALSE(CreateDirectoryW(u"C:\\a\\b", nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

  image.WriteHostFile("drive_c/Tools/t.exe", "MZ");
  image.WriteHostFile("drive_c/plain.txt", "");
  const struct {
    const char16_t* path;
    DWORD error;
  } refusals[] = {
      {u"C:\\Tools", ERROR_DIR_NOT_EMPTY},    {u"C:\\plain.txt", ERROR_DIRECTORY},
      {u"C:\\nothing", ERROR_FILE_NOT_FOUND}, {u"C:\\no\\nothing", ERROR_PATH_NOT_FOUND},
      {u"C:\\", ERROR_ACCESS_DENIED},
  };
  for (const auto& r : refusals) {
    EXPECT_FALSE(RemoveDirectoryW(r.path));
    EXPECT_EQ(GetLastError(), r.error);
  }
  EXPECT_TRUE(fs::exists(image.DriveC() / "Tools" / "t.exe"));
  EXPECT_TRUE(DeleteFileW(u"C:\\tools\\T.EXE"));
  EXPECT_TRUE(RemoveDirectoryW(u"C:\\tools"));
  EXPECT_FALSE(fs::exists(image.DriveC() / "Tools"));
}

TEST_F(DirectoryTest, CurrentDirectoryCannotBeRemoved) {
  ASSERT_TRUE(CreateDirectoryW(u"C:\\work", nullptr));
  ASSERT_TRUE(SetCurrentDirectoryW(u"C:\\work"));
  EXPECT_FALSE(RemoveDirectoryW(u"C:\\work"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
}

TEST_F(DirectoryTest, DeleteFileCodes) {
  EXPECT_FALSE(DeleteFileW(u"C:\\Windows"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_FALSE(DeleteFileW(u"C:\\missing.txt"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(DeleteFileW(u"C:\\missing\\x.txt"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST_F(DirectoryTest, Attributes) {
  image.WriteHostFile("drive_c/f.txt", "x");
  EXPECT_EQ(GetFileAttributesW(u"C:\\F.TXT"), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_EQ(GetFileAttributesW(u"C:\\"), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_EQ(GetFileAttributesW(u"c:\\windows\\system32"),
            static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_EQ(GetFileAttributesW(u"C:\\nope"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(GetFileAttributesW(u"C:\\nope\\x"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST_F(DirectoryTest, FindWithWildcards) {
  image.WriteHostFile("drive_c/d/b.TXT", "12345");
  image.WriteHostFile("drive_c/d/a.txt", "");
  image.WriteHostFile("drive_c/d/c.log", "");
  image.WriteHostFile("drive_c/d/noext", "");
  fs::create_directories(image.DriveC() / "d" / "Sub");
  using Names = std::vector<std::u16string>;
  EXPECT_EQ(Find(u"C:\\d\\*"),
            (Names{u".", u"..", u"a.txt", u"b.TXT", u"c.log", u"noext", u"Sub"}));
  EXPECT_EQ(Find(u"C:\\D\\*.*"), Find(u"C:\\d\\*"));
  EXPECT_EQ(Find(u"c:\\d\\*.TxT"), (Names{u"a.txt", u"b.TXT"}));
  EXPECT_EQ(Find(u"C:\\d\\?.log"), (Names{u"c.log"}));
  EXPECT_EQ(Find(u"C:\\d\\SUB"), (Names{u"Sub"}));
  EXPECT_EQ(Find(u"C:\\d\\*.exe"), (Names{u"!2"}));
  EXPECT_EQ(Find(u"C:\\none\\*"), (Names{u"!3"}));
  EXPECT_EQ(Find(u"C:\\d\\"), (Names{u"!2"}));
  // A drive root has no "." and "..".
  const auto root = Find(u"C:\\*");
  EXPECT_EQ(std::count(root.begin(), root.end(), u"."), 0);
  EXPECT_EQ(std::count(root.begin(), root.end(), u"Windows"), 1);
}

TEST_F(DirectoryTest, FindReportsSizeAndKind) {
  image.WriteHostFile("drive_c/d/f.bin", std::string(300, 'x'));
  WIN32_FIND_DATAW data;
  HANDLE h = FindFirstFileW(u"C:\\d\\f.bin", &data);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(data.nFileSizeLow, 300u);
  EXPECT_EQ(data.nFileSizeHigh, 0u);
  EXPECT_EQ(data.dwFileAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_NE(data.ftLastWriteTime.dwHighDateTime, 0u);
  EXPECT_FALSE(FindNextFileW(h, &data));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
  // A search is not a kernel object: only FindClose ends it.
  EXPECT_FALSE(CloseHandle(h));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_TRUE(FindClose(h));
  EXPECT_FALSE(FindClose(h));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(DirectoryTest, CurrentDirectoryProtocol) {
  WCHAR buffer[64];
  EXPECT_EQ(GetCurrentDirectoryW(64, buffer), 3u);
  EXPECT_EQ(std::u16string(buffer), u"C:\\");
  ASSERT_TRUE(SetCurrentDirectoryW(u"c:\\windows\\.\\system32\\"));
  // Too small: the size needed with the terminator, buffer untouched.
  WCHAR small[4] = u"abc";
  EXPECT_EQ(GetCurrentDirectoryW(4, small), 20u);
  EXPECT_EQ(std::u16string(small), u"abc");
  EXPECT_EQ(GetCurrentDirectoryW(0, nullptr), 20u);
  EXPECT_EQ(GetCurrentDirectoryW(20, buffer), 19u);
  EXPECT_EQ(std::u16string(buffer), u"C:\\windows\\system32");  // as given, in full form

  EXPECT_EQ(GetFileAttributesW(u"..\\Temp"), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  image.WriteHostFile("drive_c/f.txt", "");
  EXPECT_FALSE(SetCurrentDirectoryW(u"C:\\f.txt"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DIRECTORY));
  EXPECT_FALSE(SetCurrentDirectoryW(u"C:\\nowhere"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(GetCurrentDirectoryW(64, buffer), 19u);
}

TEST_F(DirectoryTest, DiskFreeSpaceFromSettingsOrHost) {
  ULARGE_INTEGER available{}, total{}, free{};
  ASSERT_TRUE(GetDiskFreeSpaceExW(u"C:", &available, &total, &free));
  EXPECT_GT(total.QuadPart, 0u);
  EXPECT_GE(total.QuadPart, free.QuadPart);

  machine::RequireMachine().Settings().Set("disk", "FreeBytes", "1048576");
  ASSERT_TRUE(GetDiskFreeSpaceExW(u"C:\\Windows", &available, nullptr, &free));
  EXPECT_EQ(available.QuadPart, 1048576u);
  EXPECT_EQ(free.QuadPart, 1048576u);

  machine::RequireMachine().Settings().Set("disk", "FreeBytes", "lots");
  EXPECT_FALSE(GetDiskFreeSpaceExW(u"C:\\", &available, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA));

  EXPECT_FALSE(GetDiskFreeSpaceExW(u"Q:", &available, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  image.WriteHostFile("drive_c/f.txt", "");
  EXPECT_FALSE(GetDiskFreeSpaceExW(u"C:\\f.txt", &available, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DIRECTORY));
}

}  // namespace
