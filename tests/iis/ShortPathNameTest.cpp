// 8.3 names of the simulated file system, which script maps below IIS 6
// are written with.
#include <gtest/gtest.h>

#include "platform/win.h"
#include "tests/support/TempMachine.h"

namespace {

std::u16string ShortOf(const char16_t* path) {
  char16_t buffer[MAX_PATH];
  const DWORD length = GetShortPathNameW(path, buffer, MAX_PATH);
  return length == 0 ? u"" : std::u16string(buffer, length);
}

TEST(ShortPathName, GeneratedNames) {
  quaver::test::TempMachine image;
  image.WriteHostFile("drive_c/Program Files/Corvane/Quaver/iquaver.dll", "MZ");
  image.WriteHostFile("drive_c/Program Files/My Long Folder A/x.txt", "");
  image.WriteHostFile("drive_c/Program Files/My Long Folder B/x.txt", "");
  image.WriteHostFile("drive_c/data/file.name.json", "");
  image.WriteHostFile("drive_c/data/a+b.txt", "");
  EXPECT_EQ(ShortOf(u"C:\\Program Files\\Corvane\\Quaver\\iquaver.dll"),
            u"C:\\PROGRA~1\\Corvane\\Quaver\\iquaver.dll");
  EXPECT_EQ(ShortOf(u"C:\\Program Files (x86)"), u"C:\\PROGRA~2");
  EXPECT_EQ(ShortOf(u"c:\\program files\\my long folder b\\x.txt"),
            u"C:\\PROGRA~1\\MYLONG~2\\x.txt");
  EXPECT_EQ(ShortOf(u"C:\\data\\file.name.json"), u"C:\\data\\FILENA~1.JSO");
  EXPECT_EQ(ShortOf(u"C:\\data\\a+b.txt"), u"C:\\data\\A_B~1.TXT");
}

TEST(ShortPathName, Failures) {
  quaver::test::TempMachine image;
  char16_t buffer[MAX_PATH];
  EXPECT_EQ(GetShortPathNameW(u"C:\\missing.dll", buffer, MAX_PATH), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(GetShortPathNameW(u"C:\\missing\\x.dll", buffer, MAX_PATH), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(GetShortPathNameW(nullptr, buffer, MAX_PATH), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  // Too small a buffer: the size needed, terminator included.
  EXPECT_EQ(GetShortPathNameW(u"C:\\Program Files", buffer, 4), 12u);
}

}  // namespace
