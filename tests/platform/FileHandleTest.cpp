#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/win.h"
#include "tests/support/TempMachine.h"

namespace {

class FileHandleTest : public quaver::test::TempMachineTest {
 protected:
  HANDLE Open(const char16_t* path, DWORD access, DWORD disposition) {
    return CreateFileW(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  static std::string ReadAll(HANDLE h) {
    char buffer[256];
    DWORD got = 0;
    EXPECT_TRUE(ReadFile(h, buffer, sizeof buffer, &got, nullptr));
    return std::string(buffer, got);
  }
  static void Write(HANDLE h, const std::string& bytes) {
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    ASSERT_EQ(written, bytes.size());
  }
};

TEST_F(FileHandleTest, CreateWriteReopenRead) {
  HANDLE h = Open(u"C:\\x\\y.txt", GENERIC_WRITE, CREATE_ALWAYS);
  EXPECT_EQ(h, INVALID_HANDLE_VALUE);  // C:\x does not exist yet
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  ASSERT_TRUE(CreateDirectoryW(u"C:\\x", nullptr));
  h = Open(u"C:\\x\\y.txt", GENERIC_WRITE, CREATE_ALWAYS);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
  Write(h, "hello");
  ASSERT_TRUE(CloseHandle(h));
  EXPECT_EQ(image.ReadHostFile("drive_c/x/y.txt"), "hello");

  h = Open(u"c:\\X\\Y.TXT", GENERIC_READ, OPEN_EXISTING);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(ReadAll(h), "hello");
  DWORD got = 99;
  char byte = 'z';
  EXPECT_TRUE(ReadFile(h, &byte, 1, &got, nullptr));  // end of file: success, nothing read
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(byte, 'z');
  CloseHandle(h);
}

TEST_F(FileHandleTest, DispositionsAndTheirCodes) {
  image.WriteHostFile("drive_c/old.txt", "0123456789");
  const struct {
    const char16_t* path;
    DWORD disposition;
    bool opens;
    DWORD error;
    const char* contentAfter;  // of C:\old.txt
  } cases[] = {
      {u"C:\\old.txt", CREATE_NEW, false, ERROR_FILE_EXISTS, "0123456789"},
      {u"C:\\new1.txt", CREATE_NEW, true, ERROR_SUCCESS, "0123456789"},
      {u"C:\\old.txt", OPEN_EXISTING, true, ERROR_SUCCESS, "0123456789"},
      {u"C:\\none.txt", OPEN_EXISTING, false, ERROR_FILE_NOT_FOUND, "0123456789"},
      {u"C:\\old.txt", OPEN_ALWAYS, true, ERROR_ALREADY_EXISTS, "0123456789"},
      {u"C:\\new2.txt", OPEN_ALWAYS, true, ERROR_SUCCESS, "0123456789"},
      {u"C:\\none.txt", TRUNCATE_EXISTING, false, ERROR_FILE_NOT_FOUND, "0123456789"},
      {u"C:\\old.txt", TRUNCATE_EXISTING, true, ERROR_SUCCESS, ""},
      {u"C:\\old.txt", CREATE_ALWAYS, true, ERROR_ALREADY_EXISTS, ""},
      {u"C:\\new3.txt", CREATE_ALWAYS, true, ERROR_SUCCESS, ""},
      {u"C:\\Windows", OPEN_EXISTING, false, ERROR_ACCESS_DENIED, ""},
      {u"C:\\Windows", CREATE_ALWAYS, false, ERROR_ACCESS_DENIED, ""},
      {u"C:\\Windows", CREATE_NEW, false, ERROR_FILE_EXISTS, ""},
      {u"C:\\bad|name", CREATE_ALWAYS, false, ERROR_INVALID_NAME, ""},
      {u"C:\\old.txt", 0, false, ERROR_INVALID_PARAMETER, ""},
      {u"C:\\old.txt", 6, false, ERROR_INVALID_PARAMETER, ""},
  };
  for (const auto& c : cases) {
    SetLastError(12345);
    HANDLE h = Open(c.path, GENERIC_READ | GENERIC_WRITE, c.disposition);
    EXPECT_EQ(h != INVALID_HANDLE_VALUE, c.opens) << int(c.disposition);
    EXPECT_EQ(GetLastError(), c.error) << int(c.disposition);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    EXPECT_EQ(image.ReadHostFile("drive_c/old.txt"), c.contentAfter) << int(c.disposition);
  }
}

TEST_F(FileHandleTest, TruncateExistingNeedsWriteAccess) {
  image.WriteHostFile("drive_c/keep.txt", "keep");
  EXPECT_EQ(Open(u"C:\\keep.txt", GENERIC_READ, TRUNCATE_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(image.ReadHostFile("drive_c/keep.txt"), "keep");
}

TEST_F(FileHandleTest, AccessMaskIsHonoured) {
  image.WriteHostFile("drive_c/f.txt", "abc");
  HANDLE reader = Open(u"C:\\f.txt", GENERIC_READ, OPEN_EXISTING);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  DWORD written = 77;
  EXPECT_FALSE(WriteFile(reader, "x", 1, &written, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(written, 0u);
  EXPECT_FALSE(SetEndOfFile(reader));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  CloseHandle(reader);

  HANDLE writer = Open(u"C:\\f.txt", GENERIC_WRITE, OPEN_EXISTING);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  char buffer[4] = {'s', 's', 's', 's'};
  DWORD got = 77;
  EXPECT_FALSE(ReadFile(writer, buffer, 3, &got, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(buffer[0], 's');
  CloseHandle(writer);

  HANDLE appender = Open(u"C:\\f.txt", FILE_APPEND_DATA, OPEN_EXISTING);
  ASSERT_NE(appender, INVALID_HANDLE_VALUE);
  EXPECT_EQ(SetFilePointer(appender, 0, nullptr, FILE_BEGIN), 0u);
  Write(appender, "def");
  CloseHandle(appender);
  EXPECT_EQ(image.ReadHostFile("drive_c/f.txt"), "abcdef");
}

TEST_F(FileHandleTest, FilePointerAndSize) {
  HANDLE h = Open(u"C:\\p.bin", GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  Write(h, std::string(25, 'a'));
  EXPECT_EQ(SetFilePointer(h, 10, nullptr, FILE_BEGIN), 10u);
  EXPECT_EQ(SetFilePointer(h, 5, nullptr, FILE_CURRENT), 15u);
  EXPECT_EQ(SetFilePointer(h, -5, nullptr, FILE_END), 20u);

  // Moving before the start fails and leaves the pointer where it was.
  SetLastError(0);
  EXPECT_EQ(SetFilePointer(h, -21, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NEGATIVE_SEEK));
  EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_CURRENT), 20u);
  EXPECT_EQ(SetFilePointer(h, 0, nullptr, 3), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

  // Beyond the end is allowed; reading there gives nothing, writing fills the gap.
  EXPECT_EQ(SetFilePointer(h, 40, nullptr, FILE_BEGIN), 40u);
  EXPECT_EQ(ReadAll(h), "");
  EXPECT_EQ(GetFileSize(h, nullptr), 25u);
  Write(h, "z");
  EXPECT_EQ(GetFileSize(h, nullptr), 41u);

  // SetEndOfFile cuts at the pointer.
  EXPECT_EQ(SetFilePointer(h, 3, nullptr, FILE_BEGIN), 3u);
  EXPECT_TRUE(SetEndOfFile(h));
  DWORD high = 99;
  EXPECT_EQ(GetFileSize(h, &high), 3u);
  EXPECT_EQ(high, 0u);
  CloseHandle(h);
  EXPECT_EQ(image.ReadHostFile("drive_c/p.bin"), "aaa");
}

TEST_F(FileHandleTest, SixtyFourBitPointer) {
  HANDLE h = Open(u"C:\\big.bin", GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  LONG high = 1;
  EXPECT_EQ(SetFilePointer(h, 16, &high, FILE_BEGIN), 16u);  // 4 GiB + 16, sparse
  EXPECT_EQ(high, 1);
  // Without a high part the result must fit 32 bits.
  EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  // A real position whose low part equals the failure value clears the error.
  high = 0;
  SetLastError(ERROR_GEN_FAILURE);
  EXPECT_EQ(SetFilePointer(h, -1, &high, FILE_BEGIN), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(high, 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(NO_ERROR));
  high = -1;
  EXPECT_EQ(SetFilePointer(h, -1, &high, FILE_BEGIN), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NEGATIVE_SEEK));
  CloseHandle(h);
}

TEST_F(FileHandleTest, BadHandles) {
  const HANDLE bad[] = {nullptr, INVALID_HANDLE_VALUE, reinterpret_cast<HANDLE>(0x7777)};
  for (HANDLE h : bad) {
    char byte = 0;
    DWORD count = 5;
    EXPECT_FALSE(ReadFile(h, &byte, 1, &count, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(count, 0u);
    EXPECT_FALSE(WriteFile(h, &byte, 1, &count, nullptr));
    EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetFileSize(h, nullptr), INVALID_FILE_SIZE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(CloseHandle(h));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  }
  HANDLE h = Open(u"C:\\once.txt", GENERIC_WRITE, CREATE_ALWAYS);
  ASSERT_TRUE(CloseHandle(h));
  EXPECT_FALSE(CloseHandle(h));  // a closed handle stays invalid
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(FileHandleTest, AnsiNamesGoThroughCodePage1252) {
  // 0xE9 is e-acute in 1252; on the host the name is UTF-8.
  HANDLE h = CreateFileA("C:\\caf\xE9.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  EXPECT_EQ(GetFileAttributesW(u"C:\\CAF\u00C9.TXT"), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_TRUE(std::filesystem::exists(image.DriveC() / "caf\xC3\xA9.txt"));
}

TEST_F(FileHandleTest, LastErrorIsPerThread) {
  SetLastError(ERROR_FILE_EXISTS);
  DWORD seen = 0;
  std::thread([&seen] {
    seen = GetLastError();
    SetLastError(ERROR_DISK_FULL);
  }).join();
  EXPECT_EQ(seen, static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
}

}  // namespace
