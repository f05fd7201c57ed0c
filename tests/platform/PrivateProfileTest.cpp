// GetPrivateProfileStringA/W: the FastCGI settings file the installation
// reads, real fragments of such files, and Windows' documented rules for
// defaults, lists and short buffers.
#include <gtest/gtest.h>

#include <string>

#include "platform/win.h"
#include "tests/platform/AppHostTestSupport.h"
#include "tests/support/TempMachine.h"

namespace {

constexpr char kSettings[] = "C:\\Windows\\System32\\inetsrv\\FCGIEXT.ini";
constexpr DWORD kSentinel = 0xDEADBEEF;

class PrivateProfileTest : public quaver::test::TempMachineTest {
 protected:
  void WriteSettings(const std::string& text) {
    image.WriteHostFile("drive_c/Windows/System32/inetsrv/FCGIEXT.ini", text);
  }
  // The value as the installation reads it: 8-bit, a 262-byte buffer.
  static std::string Read(const char* section, const char* key, const char* fallback,
                          DWORD* count = nullptr, const char* file = kSettings) {
    char buffer[262];
    std::fill(std::begin(buffer), std::end(buffer), '#');
    const DWORD copied = GetPrivateProfileStringA(section, key, fallback, buffer, 262, file);
    if (count) *count = copied;
    return std::string(buffer, copied);
  }
  // A list result up to its final terminator, terminators shown as '|'.
  static std::string List(const char* section, DWORD size, DWORD* count) {
    std::string buffer(size + 4, '#');
    *count = GetPrivateProfileStringA(section, nullptr, "unused", buffer.data(), size, kSettings);
    std::string shown = buffer.substr(0, size + 1);
    for (char& c : shown) c = c == '\0' ? '|' : c;
    return shown;
  }
};

TEST_F(PrivateProfileTest, FastCgiTypesFromTheSharedFixture) {
  const auto fixture = quaver::test::SharedFile("fixtures/fcgiext-types.ini");
  if (!fixture) GTEST_SKIP() << "the shared fixtures are not here";
  WriteSettings(*fixture);
  DWORD count = 0;
  SetLastError(kSentinel);
  EXPECT_EQ(Read("Types", "php", "NOT_FOUND", &count), "NOT_FOUND");
  EXPECT_EQ(count, 9u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  const struct {
    const char* key;
    const char* value;
  } cases[] = {
      {"ABC", "Application 1"},
      {"def:/lm/w3svc/1701187997/root/app1", "Application 2"},
      {"def:1701187997", "Application 4"},
      {"def", "Application 6"},
      {"*", "Application 7"},  // the last line, without a line end
  };
  for (const auto& c : cases) EXPECT_EQ(Read("TYPES", c.key, "NOT_FOUND"), c.value) << c.key;
}

TEST_F(PrivateProfileTest, RealFragmentsOfTheSettingsFile) {
  const struct {
    const char* file;
    const char* section;
    const char* key;
    const char* value;
  } cases[] = {
      {"iisdocs-fcgiext-php-fragment-ellipsis.ini", "Types", "php", "PHP"},
      {"iisdocs-fcgiext-php-fragment-ellipsis.ini", "PHP", "ExePath", "c:\\php\\php-cgi.exe"},
      // Text after the value is part of it; blanks at its end are not.
      {"iisdocs-fcgiext-per-site-siteids.ini", "Types", "php:273357939",
       "PHP website2.com ; The actual site id will be different for your site"},
      {"iisdocs-fcgiext-per-site-siteids.ini", "Types", "php", "NOT_FOUND"},
      {"iisdocs-fcgiext-per-site-phprc-envvars.ini", "php website2.COM", "environmentvars",
       "PHPRC:C:\\Inetpub\\website2.com"},
  };
  for (const auto& c : cases) {
    const auto text = quaver::test::SharedFile(std::string("corpus/fcgiext/") + c.file);
    if (!text) GTEST_SKIP() << "the shared corpus is not here";
    WriteSettings(*text);
    EXPECT_EQ(Read(c.section, c.key, "NOT_FOUND"), c.value) << c.file << " " << c.key;
  }
}

TEST_F(PrivateProfileTest, LayoutRules) {
  WriteSettings(
      "orphan=before any section\r\n"
      "; a comment\r\n"
      "  [ Types ]  \r\n"
      "  php  =  \"C:\\PHP\\php-cgi.exe\"  \r\n"
      "single='quoted'\r\n"
      "odd=\"unbalanced\r\n"
      "novalue\r\n"
      "php=second php line\r\n"
      "empty=\r\n"
      "[types]\r\n"
      "asp=from the second section\r\n");
  const struct {
    const char* section;
    const char* key;
    const char* value;
  } cases[] = {
      {"types", "PHP", "C:\\PHP\\php-cgi.exe"},
      {"Types", "single", "quoted"},
      {"Types", "odd", "\"unbalanced"},
      {"Types", "novalue", "dflt"},
      {"Types", "empty", ""},
      {"Types", "asp", "dflt"},  // only the first section of a name counts
      {"Types", "orphan", "dflt"},
      {"Types", "; a comment", "dflt"},
  };
  for (const auto& c : cases) EXPECT_EQ(Read(c.section, c.key, "dflt"), c.value) << c.key;
  // The default loses its trailing blanks; NULL is "".
  EXPECT_EQ(Read("Types", "none", "spaced  \t "), "spaced");
  EXPECT_EQ(Read("Types", "none", nullptr), "");
}

TEST_F(PrivateProfileTest, ListsAndShortBuffers) {
  WriteSettings("[Types]\nphp=PHP\nasp=ASP\n[PHP]\nExePath=c:\\php\\php-cgi.exe\n");
  DWORD count = 0;
  EXPECT_EQ(List(nullptr, 64, &count).substr(0, 11), "Types|PHP||");
  EXPECT_EQ(count, 10u);
  EXPECT_EQ(List("types", 64, &count).substr(0, 9), "php|asp||");
  EXPECT_EQ(count, 8u);
  // A list that does not fit: the last name cut, two terminators, nSize - 2.
  EXPECT_EQ(List(nullptr, 9, &count), "Types|P||#");
  EXPECT_EQ(count, 7u);
  EXPECT_EQ(List("Nothing", 8, &count).substr(0, 1), "|");
  EXPECT_EQ(count, 0u);

  // A value that does not fit: cut to nSize - 1 and terminated.
  char buffer[8];
  std::fill(std::begin(buffer), std::end(buffer), '#');
  EXPECT_EQ(GetPrivateProfileStringA("PHP", "ExePath", "", buffer, 5, kSettings), 4u);
  EXPECT_EQ(std::string(buffer, 6), std::string("c:\\p\0#", 6));
  EXPECT_EQ(GetPrivateProfileStringA("PHP", "ExePath", "", buffer, 0, kSettings), 0u);
  EXPECT_EQ(buffer[0], 'c');
}

TEST_F(PrivateProfileTest, FileLocationAndEncoding) {
  // A bare name is looked for in the Windows folder.
  image.WriteHostFile("drive_c/Windows/setup.ini", "[Setup]\nMode=2\n");
  DWORD count = 0;
  EXPECT_EQ(Read("Setup", "Mode", "0", &count, "setup.ini"), "2");
  SetLastError(kSentinel);
  EXPECT_EQ(Read("Setup", "Mode", "0", &count, "C:\\setup.ini"), "0");
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  SetLastError(kSentinel);
  EXPECT_EQ(Read("Setup", "Mode", "0", &count, "C:\\no\\setup.ini"), "0");
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

  // ANSI bytes are Windows-1252; a UTF-16LE file with its mark is Unicode.
  image.WriteHostFile("drive_c/ansi.ini", "[Caf\xE9]\nName=\xC9t\xE9\n");
  char16_t wide[16];
  EXPECT_EQ(GetPrivateProfileStringW(u"CAF\u00C9", u"name", u"", wide, 16, u"C:\\ansi.ini"), 3u);
  EXPECT_EQ(std::u16string(wide), u"\u00C9t\u00E9");
  const std::u16string unicode = u"\uFEFF[\u0421\u0430\u0439\u0442]\r\nkey=\u041F\u0425\u041F\r\n";
  std::string bytes;
  for (const char16_t c : unicode) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  image.WriteHostFile("drive_c/unicode.ini", bytes);
  EXPECT_EQ(GetPrivateProfileStringW(u"\u0441\u0430\u0439\u0442", u"KEY", u"", wide, 16,
                                     u"C:\\unicode.ini"),
            3u);
  EXPECT_EQ(std::u16string(wide), u"\u041F\u0425\u041F");
}

}  // namespace
