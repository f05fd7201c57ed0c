// Symbolic links reached the way the setup reaches them: Kernel32.dll loaded
// by name and CreateSymbolicLinkW found by GetProcAddress.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/win.h"
#include "tests/support/TempMachine.h"

namespace fs = std::filesystem;

namespace {

using CreateLinkFn = BOOLEAN(WINAPI*)(LPCWSTR, LPCWSTR, DWORD);

constexpr DWORD kSentinel = 0xDEADBEEF;

class SymbolicLinkTest : public quaver::test::TempMachineTest {
 protected:
  void SetUp() override {
    kernel32_ = LoadLibraryW(u"Kernel32.dll");
    ASSERT_NE(kernel32_, nullptr);
    createLink_ = reinterpret_cast<CreateLinkFn>(GetProcAddress(kernel32_, "CreateSymbolicLinkW"));
    ASSERT_NE(createLink_, nullptr);
    image.WriteHostFile("drive_c/App/bin/tool.exe", "MZ tool");
    ASSERT_TRUE(CreateDirectoryW(u"C:\\Links", nullptr));
  }
  void TearDown() override { EXPECT_TRUE(FreeLibrary(kernel32_)); }

  HMODULE kernel32_ = nullptr;
  CreateLinkFn createLink_ = nullptr;
};

TEST_F(SymbolicLinkTest, FileLinkLeadsToItsTargetAndIsRemovedAlone) {
  SetLastError(kSentinel);
  ASSERT_TRUE(createLink_(u"C:\\Links\\tool.exe", u"C:\\app\\BIN\\tool.exe", 0));
  EXPECT_EQ(GetLastError(), kSentinel);
  const fs::path host = image.DriveC() / "Links" / "tool.exe";
  ASSERT_TRUE(fs::is_symlink(host));
  // Stored relative to the link's folder: the image can move.
  EXPECT_EQ(fs::read_symlink(host), fs::path("../App/bin/tool.exe"));
  EXPECT_EQ(image.ReadHostFile("drive_c/Links/tool.exe"), "MZ tool");
  EXPECT_EQ(GetFileAttributesW(u"C:\\Links\\tool.exe"),
            FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_REPARSE_POINT);

  EXPECT_TRUE(DeleteFileW(u"C:\\Links\\tool.exe"));
  EXPECT_FALSE(fs::exists(host));
  EXPECT_EQ(image.ReadHostFile("drive_c/App/bin/tool.exe"), "MZ tool");
}

TEST_F(SymbolicLinkTest, RelativeTargetIsReadFromTheLinkFolder) {
  ASSERT_TRUE(SetCurrentDirectoryW(u"C:\\App"));
  ASSERT_TRUE(createLink_(u"C:\\Links\\rel.exe", u"..\\App\\bin\\tool.exe", 0));
  EXPECT_EQ(image.ReadHostFile("drive_c/Links/rel.exe"), "MZ tool");
  ASSERT_TRUE(createLink_(u"C:\\Links\\rooted.exe", u"\\App\\bin\\tool.exe", 0));
  EXPECT_EQ(image.ReadHostFile("drive_c/Links/rooted.exe"), "MZ tool");
}

TEST_F(SymbolicLinkTest, FolderLinkListsTheTargetFolder) {
  ASSERT_TRUE(createLink_(u"C:\\Links\\bin", u"C:\\App\\bin", SYMBOLIC_LINK_FLAG_DIRECTORY));
  EXPECT_EQ(GetFileAttributesW(u"C:\\Links\\bin\\tool.exe") & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_EQ(GetFileAttributesW(u"C:\\Links\\bin"),
            FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT);
  // Removing the link leaves the folder and its files.
  EXPECT_TRUE(RemoveDirectoryW(u"C:\\Links\\bin"));
  EXPECT_TRUE(fs::exists(image.DriveC() / "App" / "bin" / "tool.exe"));
}

// The stored target is counted from where the link's folder really is, so
// a link made through a folder link leads to its target all the same.
TEST_F(SymbolicLinkTest, LinkMadeThroughAFolderLinkLeadsToItsTarget) {
  ASSERT_TRUE(CreateDirectoryW(u"C:\\Links\\deep", nullptr));
  ASSERT_TRUE(CreateDirectoryW(u"C:\\Links\\deep\\er", nullptr));
  ASSERT_TRUE(createLink_(u"C:\\short", u"C:\\Links\\deep\\er", SYMBOLIC_LINK_FLAG_DIRECTORY));
  ASSERT_TRUE(createLink_(u"C:\\short\\tool.exe", u"C:\\App\\bin\\tool.exe", 0));
  EXPECT_EQ(fs::read_symlink(image.DriveC() / "Links" / "deep" / "er" / "tool.exe"),
            fs::path("../../../App/bin/tool.exe"));
  EXPECT_EQ(image.ReadHostFile("drive_c/Links/deep/er/tool.exe"), "MZ tool");
}

TEST_F(SymbolicLinkTest, Refusals) {
  image.WriteHostFile("drive_c/Links/taken.exe", "old");
  const struct {
    const char16_t* link;
    const char16_t* target;
    DWORD flags;
    DWORD error;
  } cases[] = {
      {u"C:\\Links\\taken.exe", u"C:\\App\\bin\\tool.exe", 0, ERROR_ALREADY_EXISTS},
      {u"C:\\Links\\x.exe", u"C:\\App\\bin\\none.exe", 0, ERROR_FILE_NOT_FOUND},
      {u"C:\\Links\\x.exe", u"C:\\App\\none\\tool.exe", 0, ERROR_PATH_NOT_FOUND},
      {u"C:\\Links\\x.exe", u"", 0, ERROR_PATH_NOT_FOUND},
      {u"C:\\NoFolder\\x.exe", u"C:\\App\\bin\\tool.exe", 0, ERROR_PATH_NOT_FOUND},
      {u"C:\\Links\\x.exe", u"C:\\App\\bin\\tool.exe", 0x4, ERROR_INVALID_PARAMETER},
      {u"C:\\Links\\x|.exe", u"C:\\App\\bin\\tool.exe", 0, ERROR_INVALID_NAME},
      {nullptr, u"C:\\App\\bin\\tool.exe", 0, ERROR_INVALID_PARAMETER},
      {u"C:\\Links\\x.exe", nullptr, 0, ERROR_INVALID_PARAMETER},
  };
  for (const auto& c : cases) {
    SetLastError(kSentinel);
    EXPECT_FALSE(createLink_(c.link, c.target, c.flags));
    EXPECT_EQ(GetLastError(), c.error);
  }
  EXPECT_EQ(image.ReadHostFile("drive_c/Links/taken.exe"), "old");
  EXPECT_FALSE(fs::exists(image.DriveC() / "Links" / "x.exe"));
}

TEST(LibraryLoader, KernelNamesAndReferenceCounts) {
  quaver::test::TempMachine image;
  HMODULE first = LoadLibraryW(u"kernel32");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(LoadLibraryW(u"KERNEL32.DLL"), first);
  EXPECT_EQ(LoadLibraryW(u"C:\\Windows\\system32\\kernel32.dll"), first);
  const struct {
    const char16_t* name;
    DWORD error;
  } missing[] = {
      {u"shell32.dll", ERROR_MOD_NOT_FOUND},
      {u"kernel32.", ERROR_MOD_NOT_FOUND},  // a final dot: no extension added
      {u"C:\\Temp\\kernel32.dll", ERROR_MOD_NOT_FOUND},
      {nullptr, ERROR_INVALID_PARAMETER},
  };
  for (const auto& m : missing) {
    SetLastError(kSentinel);
    EXPECT_EQ(LoadLibraryW(m.name), nullptr);
    EXPECT_EQ(GetLastError(), m.error);
  }
  const char* const unknownProcs[] = {"createsymboliclinkw", "CreateSymbolicLinkA",
                                      reinterpret_cast<const char*>(uintptr_t{12})};
  for (const char* proc : unknownProcs) {
    SetLastError(kSentinel);
    EXPECT_EQ(GetProcAddress(first, proc), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
  }
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(FreeLibrary(first));
  EXPECT_FALSE(FreeLibrary(first));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  EXPECT_EQ(GetProcAddress(first, "CreateSymbolicLinkW"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

// Windows Server 2003 has no symbolic links: its Kernel32 lacks the export.
TEST(LibraryLoader, OlderServerLacksCreateSymbolicLink) {
  quaver::test::TempMachine image;
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
                            0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const std::u16string release = u"5.2";
  ASSERT_EQ(RegSetValueExW(key, u"CurrentVersion", 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(release.c_str()),
                           static_cast<DWORD>((release.size() + 1) * sizeof(char16_t))),
            ERROR_SUCCESS);
  HMODULE kernel32 = LoadLibraryW(u"Kernel32.dll");
  ASSERT_NE(kernel32, nullptr);
  EXPECT_EQ(GetProcAddress(kernel32, "CreateSymbolicLinkW"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));

  const std::u16string vista = u"6.0";
  ASSERT_EQ(RegSetValueExW(key, u"CurrentVersion", 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(vista.c_str()),
                           static_cast<DWORD>((vista.size() + 1) * sizeof(char16_t))),
            ERROR_SUCCESS);
  EXPECT_NE(GetProcAddress(kernel32, "CreateSymbolicLinkW"), nullptr);
  RegCloseKey(key);
  EXPECT_TRUE(FreeLibrary(kernel32));
}

}  // namespace
