// The hives on disk: written at once, read again when another process
// changed them, every value surviving the text form; import and export of
// registry export files, the real Windows editor's included.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <functional>
#include <iostream>
#include <map>
#include <tuple>

#include "platform/machine.h"
#include "platform/registry/RegFileText.h"
#include "platform/registry/RegistryObjects.h"
#include "platform/win.h"
#include "tests/platform/RegistryTestSupport.h"
#include "tests/support/TempMachine.h"

namespace quaver::test {
namespace {

using Snapshot = std::map<std::u16string, std::tuple<DWORD, Bytes>>;  // "key path|value" -> value

void TakeSnapshot(HKEY key, const std::u16string& path, Snapshot& snapshot) {
  char16_t name[512];
  for (DWORD i = 0;; ++i) {
    DWORD length = 512, type = 0, size = 0;
    if (RegEnumValueW(key, i, name, &length, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
      break;
    std::u16string valueName(name, length);
    snapshot[path + u"|" + valueName] = {type, *QueryValue(key, valueName.c_str())};
  }
  for (DWORD i = 0;; ++i) {
    DWORD length = 512;
    if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
      break;
    }
    std::u16string childName(name, length);
    snapshot[path + u"\\" + childName] = {};  // empty keys count too
    ScopedKey child;
    ASSERT_EQ(RegOpenKeyExW(key, childName.c_str(), 0, KEY_READ, child.out()), ERROR_SUCCESS);
    TakeSnapshot(child.get(), path + u"\\" + childName, snapshot);
  }
}

Snapshot SnapshotOf(HKEY root, const char16_t* path) {
  Snapshot snapshot;
  ScopedKey key;
  EXPECT_EQ(RegOpenKeyExW(root, path, 0, KEY_READ, key.out()), ERROR_SUCCESS);
  if (key.get()) TakeSnapshot(key.get(), u"", snapshot);
  return snapshot;
}

// Makes the next registry call read the hives from disk, as a new process would.
void ReadHivesAgain(const TempMachine& image) {
  { TempMachine other; }
  machine::SelectMachine(image.Root());
}

class RegistryFiles : public TempMachineTest {};

TEST_F(RegistryFiles, ChangesReachTheHiveFileAtOnce) {
  ScopedKey key(MakeKey(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Vendor"));
  SetValue(key.get(), u"Answer", REG_DWORD, Dword(42));
  std::string hive = image.ReadHostFile("registry/HKLM.reg");
  EXPECT_EQ(hive.rfind("Windows Registry Editor Version 5.00\n", 0), 0u);
  EXPECT_NE(hive.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor]\n\"Answer\"=dword:0000002a\n"),
            std::string::npos)
      << hive;
  ScopedKey user(MakeKey(HKEY_CURRENT_USER, u"Software\\Vendor"));
  EXPECT_NE(image.ReadHostFile("registry/HKCU.reg").find("[HKEY_CURRENT_USER\\Software\\Vendor]"),
            std::string::npos);
}

TEST_F(RegistryFiles, ChangesOfAnotherProcessAreSeen) {
  ScopedKey kept(MakeKey(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Kept"));
  ScopedKey dropped(MakeKey(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Dropped"));
  image.WriteHostFile("registry/HKLM.reg",
                      "Windows Registry Editor Version 5.00\n\n"
                      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kept]\n\"FromElsewhere\"=\"yes\"\n\n"
                      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Added]\n");
  EXPECT_EQ(QueryValue(kept.get(), u"FromElsewhere"), Utf16(u"yes"));
  Bytes data = Dword(1);
  EXPECT_EQ(RegSetValueExW(dropped.get(), u"X", 0, REG_DWORD, data.data(), 4), ERROR_KEY_DELETED);
  ScopedKey added;
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Added", 0, KEY_READ, added.out()),
            ERROR_SUCCESS);
}

TEST_F(RegistryFiles, MalformedHiveNamesFileAndLine) {
  image.WriteHostFile("registry/HKLM.reg",
                      "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\A]\n"
                      "\"Count\"=dword:12345678901\n");
  ScopedKey key;
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\A", 0, KEY_READ, key.out()), ERROR_BADDB);
  EXPECT_NE(machine::registry::LastStoreError().find("HKLM.reg:4: dword:"), std::string::npos)
      << machine::registry::LastStoreError();
}

TEST_F(RegistryFiles, EveryKindOfValueSurvivesTheHiveFile) {
  ScopedKey key(MakeKey(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Odd ]Key[ Ω"));
  ScopedKey(MakeKey(key.get(), u"Empty"));
  Bytes longBinary;
  for (int i = 0; i < 300; ++i) longBinary.push_back(static_cast<uint8_t>(i));
  struct Case {
    const char16_t* name;
    DWORD type;
    Bytes data;
  };
  const Case cases[] = {
      {u"", REG_SZ, Utf16(u"default")},
      {u"plain", REG_SZ, Utf16(u"C:\\Program Files\\\"quoted\"")},
      {u"lines", REG_SZ, Utf16(u"one\r\ntwo")},
      {u"unterminated", REG_SZ, Utf16(u"abc", false)},
      {u"no data", REG_SZ, {}},
      {u"inner zero", REG_SZ, Utf16(std::u16string(u"a\0b", 3))},
      {u"odd bytes", REG_SZ, {0x41, 0x00, 0x42}},
      {u"expand", REG_EXPAND_SZ, Utf16(u"%SystemRoot%\\system32")},
      {u"multi", REG_MULTI_SZ, Utf16(std::u16string(u"a\0bc\0", 5))},
      {u"binary", REG_BINARY, longBinary},
      {u"dword", REG_DWORD, Dword(0xFFFFFFFF)},
      {u"short dword", REG_DWORD, {1, 2, 3}},
      {u"qword", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}},
      {u"none", REG_NONE, {}},
      {u"own type", 0x12345, {9}},
      {u"name \"with\" \\ = [and]\nbreak", REG_DWORD, Dword(1)},
      {u"unicode \u20AC\U0001F600", REG_SZ, Utf16(u"\u03A9\U0001F600")},
      {u"lone surrogates", REG_SZ,
       Utf16(std::u16string{u'a', char16_t(0xD800), u'b', char16_t(0xDC00)})},
      {u"swapped pair", REG_SZ, Utf16(std::u16string{char16_t(0xDE00), char16_t(0xD83D)})},
  };
  for (const Case& c : cases) SetValue(key.get(), c.name, c.type, c.data);
  Snapshot before = SnapshotOf(HKEY_LOCAL_MACHINE, u"SOFTWARE");

  ReadHivesAgain(image);
  EXPECT_EQ(SnapshotOf(HKEY_LOCAL_MACHINE, u"SOFTWARE"), before);
  EXPECT_EQ(before.size(), std::size(cases) + 2);
}

// Names holding half of a surrogate pair cannot be UTF-8; they come back
// exactly, next to separators, escapes-lookalikes and real pairs alike.
TEST_F(RegistryFiles, LoneSurrogatesInNamesSurviveTheHiveFile) {
  const char16_t high = 0xD800, low = 0xDC00;
  const std::u16string keyNames[] = {
      {high},
      {u'a', low, u'b'},
      {low, u'u', u'0', u'0', u'4', u'1'},
      {u'x', high},
      {high, u'\\', low},  // two keys, one below the other
      {u'p', 0xD83D, 0xDE00, high},
  };
  const std::u16string valueNames[] = {
      {high},
      {u'\\', u'u', u'D', u'8', u'0', u'0', low},
      {u'"', low, u'"'},
      {0xDE00, 0xD83D},
  };
  ScopedKey key(MakeKey(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Lone"));
  for (const auto& name : keyNames) ScopedKey(MakeKey(key.get(), name.c_str()));
  for (const auto& name : valueNames) SetValue(key.get(), name.c_str(), REG_DWORD, Dword(7));
  Snapshot before = SnapshotOf(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Lone");
  ASSERT_EQ(before.size(), std::size(keyNames) + std::size(valueNames));  // the 5th reuses the 1st
  for (const auto& name : valueNames) {
    EXPECT_EQ(before.count(u"|" + name), 1u);
  }
  EXPECT_EQ(before.count(std::u16string{u'\\', high, u'\\', low}), 1u);
  std::string hive = image.ReadHostFile("registry/HKLM.reg");
  EXPECT_NE(hive.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Lone\\a\\\\uDC00b]\n"), std::string::npos)
      << hive;
  EXPECT_NE(hive.find("\"\\\\uD800\\uDC00\"=dword:00000007\n"), std::string::npos) << hive;

  ReadHivesAgain(image);
  EXPECT_EQ(SnapshotOf(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Lone"), before);
}

TEST_F(RegistryFiles, SurrogateEscapeStandsForNothingElse) {
  for (const char* line : {"[HKEY_LOCAL_MACHINE\\SOFTWARE\\A\\\\u0041]\n",
                           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\A\\\\uD8]\n",
                           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\A]\n\"\\u0041\"=dword:1\n"}) {
    SCOPED_TRACE(line);
    image.WriteHostFile("registry/HKLM.reg",
                        std::string("Windows Registry Editor Version 5.00\n\n") + line);
    ScopedKey key;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE", 0, KEY_READ, key.out()), ERROR_BADDB);
  }
}

TEST_F(RegistryFiles, RealExportRoundTrip) {
  std::optional<std::string> fixture = ReadSharedFixture("complex-regedit5.reg");
  if (!fixture) GTEST_SKIP() << "../shared/fixtures is not present";
  machine::registry::ImportRegFile(*fixture, "complex-regedit5.reg");

  Snapshot imported = SnapshotOf(HKEY_CURRENT_USER, u"Software\\regashii");
  const std::u16string key = u"\\complex|";
  EXPECT_EQ(imported.at(key + u"dword-255"), std::make_tuple(DWORD{REG_DWORD}, Dword(255)));
  EXPECT_EQ(imported.at(key + u"sz-sp\\ec\"ial"),
            std::make_tuple(DWORD{REG_SZ}, Utf16(u"sp\\ec\"ial")));
  EXPECT_EQ(imported.at(key + u"multi-sz-a-b"),
            std::make_tuple(DWORD{REG_MULTI_SZ}, Utf16(std::u16string(u"a\0b\0", 4))));
  EXPECT_EQ(imported.at(key + u"expand-sz"), std::make_tuple(DWORD{REG_EXPAND_SZ}, Bytes{0, 0}));
  EXPECT_EQ(imported.at(key + u"qword-255"),
            std::make_tuple(DWORD{REG_QWORD}, Bytes{0xFF, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(imported.at(key + u"binary-a-b"),
            std::make_tuple(DWORD{REG_BINARY}, Bytes{0x61, 0x62}));
  EXPECT_EQ(imported.size(), 14u);  // thirteen values and their key

  std::u16string exported;
  ASSERT_TRUE(machine::registry::ExportKeyText(u"HKCU\\Software\\regashii", u"\r\n", exported));
  machine::registry::ImportRegFile(
      "Windows Registry Editor Version 5.00\n\n[-HKEY_CURRENT_USER\\Software\\regashii]\n", "drop");
  ScopedKey gone;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\regashii", 0, KEY_READ, gone.out()),
            ERROR_FILE_NOT_FOUND);

  machine::registry::ImportRegFile(machine::registry::EncodeUtf16File(exported), "exported.reg");
  EXPECT_EQ(SnapshotOf(HKEY_CURRENT_USER, u"Software\\regashii"), imported);
  ReadHivesAgain(image);
  EXPECT_EQ(SnapshotOf(HKEY_CURRENT_USER, u"Software\\regashii"), imported);
}

TEST_F(RegistryFiles, Regedit4FilesAreAnsi) {
  machine::registry::ImportRegFile(
      "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Old]\r\n\"Caf\xE9\"=\"na\xEFve\"\r\n"
      "\"Path\"=hex(2):25,41,25,00\r\n",
      "old.reg");
  ScopedKey key;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Old", 0, KEY_READ, key.out()),
            ERROR_SUCCESS);
  EXPECT_EQ(QueryValue(key.get(), u"Café"), Utf16(u"naïve"));
  DWORD type = 0;
  EXPECT_EQ(QueryValue(key.get(), u"Path", &type), Utf16(u"%A%"));
  EXPECT_EQ(type, REG_EXPAND_SZ);
}

TEST_F(RegistryFiles, ImportDeletesAndContinuesLines) {
  ScopedKey old(MakeKey(HKEY_LOCAL_MACHINE, u"SOFTWARE\\App\\Old\\Deeper"));
  ScopedKey app(MakeKey(HKEY_LOCAL_MACHINE, u"SOFTWARE\\App"));
  SetValue(app.get(), u"Stale", REG_DWORD, Dword(1));
  machine::registry::ImportRegFile(
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "; a comment\r\n"
      "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\App\\Old]\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\App]\r\n"
      "\"Stale\"=-\r\n"
      "\"Long\"=hex:01,02,\\\r\n"
      "  03,04\r\n",
      "change.reg");
  EXPECT_EQ(QueryValue(app.get(), u"Stale"), std::nullopt);
  EXPECT_EQ(QueryValue(app.get(), u"Long"), (Bytes{1, 2, 3, 4}));
  ScopedKey gone;
  EXPECT_EQ(RegOpenKeyExW(app.get(), u"Old", 0, KEY_READ, gone.out()), ERROR_FILE_NOT_FOUND);
}

struct BadFile {
  std::string text;
  const char* error;
};

template <size_t N>
std::string WithZeros(const char (&text)[N]) {
  return std::string(text, N - 1);
}

// A key nested one level deeper than Windows allows.
std::string TooDeepKey() {
  std::string line = "[HKEY_LOCAL_MACHINE\\SOFTWARE";
  for (int i = 1; i < 513; ++i) line += "\\k";
  return line + "]\n";
}

class RegistryFileErrors : public RegistryFiles, public ::testing::WithParamInterface<BadFile> {};

TEST_P(RegistryFileErrors, NothingIsImportedAndTheLineIsNamed) {
  std::string text = std::string("Windows Registry Editor Version 5.00\n\n") +
                     "[HKEY_LOCAL_MACHINE\\SOFTWARE\\First]\n\"ok\"=dword:1\n" + GetParam().text;
  try {
    machine::registry::ImportRegFile(text, "bad.reg");
    ADD_FAILURE() << "imported";
  } catch (const machine::MachineError& error) {
    EXPECT_NE(std::string(error.what()).find(GetParam().error), std::string::npos) << error.what();
  }
  ScopedKey first;
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\First", 0, KEY_READ, first.out()),
            ERROR_FILE_NOT_FOUND);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RegistryFileErrors,
    ::testing::Values(BadFile{"\"x\"=dword:xyz\n", "bad.reg:5: dword:"},
                      BadFile{"\"x\"=hex:1,zz\n", "bad.reg:5: bad hex byte \"zz\""},
                      BadFile{"\"x\"=\"C:\\Windows\"\n", "bad.reg:5: unknown escape"},
                      BadFile{"\"x\"=\"open\n", "bad.reg:5: missing closing quote"},
                      BadFile{"\"x\"=word:1\n", "bad.reg:5: unknown value data"},
                      BadFile{"[HKEY_LOCAL_MACHINE\\SOFTWARE\\B\n", "bad.reg:5: key line without"},
                      BadFile{"[HKEY_NOWHERE\\B]\n", "bad.reg:5: unknown root key"},
                      BadFile{"[HKEY_LOCAL_MACHINE\\NewHive]\n", "bad.reg:5: no new keys"},
                      BadFile{"[-HKEY_LOCAL_MACHINE\\SOFTWARE]\n",
                              "bad.reg:5: this key cannot be deleted"},
                      BadFile{"junk\n", "bad.reg:5: unexpected text"},
                      // Names the registry functions could never open: every walk
                      // of the tree would open the parent again instead.
                      BadFile{WithZeros("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\\0]\n"),
                              "bad.reg:5: a key name cannot hold a zero character"},
                      BadFile{WithZeros("\"a\0b\"=dword:1\n"),
                              "bad.reg:5: a value name cannot hold a zero character"},
                      BadFile{"\"x\"=\"caf\xE9\"\n", "bad.reg:5: not UTF-8 text"},
                      BadFile{TooDeepKey(), "bad.reg:5: key nested deeper than 512 levels"}));

// A hive that cannot be read as written is refused with its file and line,
// and stays as it is: nothing rewrites it with the damage smoothed over.
TEST_F(RegistryFiles, UnreadableHiveIsRefusedAndKept) {
  const std::string header = "Windows Registry Editor Version 5.00\n\n";
  std::string deep = "[HKEY_LOCAL_MACHINE\\SOFTWARE";
  for (int i = 0; i < 60000; ++i) deep += "\\k";
  struct Case {
    std::string text;
    const char* error;
  };
  const Case cases[] = {
      {header + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\A]\n\"v\"=\"caf\xE9\"\n",
       "HKLM.reg:4: not UTF-8 text"},
      {header + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\A]\n\"\xC3\"=dword:1\n",
       "HKLM.reg:4: not UTF-8 text"},
      {header + WithZeros("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\\0]\n"),
       "HKLM.reg:3: a key name cannot hold a zero character"},
      {header + deep + "]\n", "HKLM.reg:3: key nested deeper than 512 levels"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.error);
    image.WriteHostFile("registry/HKLM.reg", c.text);
    ScopedKey key;
    EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\New", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, key.out(), nullptr),
              ERROR_BADDB);
    EXPECT_NE(machine::registry::LastStoreError().find(c.error), std::string::npos)
        << machine::registry::LastStoreError();
    EXPECT_EQ(image.ReadHostFile("registry/HKLM.reg"), c.text);
  }
}

// Something else in a hive file's place is named as what it is, never read
// until it ends (a device) or waited on (a FIFO).
TEST_F(RegistryFiles, HiveThatIsNoFileIsRefused) {
  const std::filesystem::path hive = image.Root() / "registry" / "HKLM.reg";
  std::filesystem::create_directories(hive.parent_path());
  struct Case {
    const char* what;
    std::function<bool()> make;
    const char* error;
  };
  const Case cases[] = {
      {"folder", [&] { return std::filesystem::create_directory(hive); },
       "HKLM.reg: a folder is in the file's place"},
      {"FIFO", [&] { return ::mkfifo(hive.c_str(), 0644) == 0; },
       "HKLM.reg: not a regular file is in the file's place"},
      // As /dev/zero; only root may make one.
      {"device", [&] { return ::mknod(hive.c_str(), S_IFCHR | 0644, makedev(1, 5)) == 0; },
       "HKLM.reg: not a regular file is in the file's place"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(hive);
    if (!c.make()) {
      std::cout << "cannot make a " << c.what << " here; skipped\n";
      continue;
    }
    ScopedKey key;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE", 0, KEY_READ, key.out()), ERROR_BADDB);
    EXPECT_NE(machine::registry::LastStoreError().find(c.error), std::string::npos)
        << machine::registry::LastStoreError();
  }
  std::filesystem::remove_all(hive);
}

// What a UTF-16 import brings in is kept exactly when a later, unrelated
// change writes the UTF-8 hive: half surrogate pairs in key names, value
// names and string data included.
TEST_F(RegistryFiles, ImportedUtf16SurvivesRewriteByteForByte) {
  const char16_t high = 0xD800, low = 0xDC00;
  std::u16string text = u"Windows Registry Editor Version 5.00\r\n\r\n";
  text += u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Lone";
  text += std::u16string{high};
  text += u"]\r\n\"half";
  text += std::u16string{low};
  text += u"\"=\"a";
  text += std::u16string{high};
  text += u"b\"\r\n@=\"\u20AC\U0001F600\"\r\n";
  machine::registry::ImportRegFile(machine::registry::EncodeUtf16File(text), "utf16.reg");
  const std::u16string keyName = u"SOFTWARE\\Lone" + std::u16string{high};
  const std::u16string valueName = u"half" + std::u16string{low};
  const Bytes data = Utf16(u"a" + std::u16string{high} + u"b");
  // A change elsewhere rewrites the whole hive.
  ScopedKey other(MakeKey(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Other"));
  SetValue(other.get(), u"x", REG_DWORD, Dword(1));
  EXPECT_NE(image.ReadHostFile("registry/HKLM.reg")
                .find("\"half\\uDC00\"=hex(1):61,00,00,d8,62,00,00,00\n"),
            std::string::npos)
      << image.ReadHostFile("registry/HKLM.reg");

  ReadHivesAgain(image);
  ScopedKey key;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyName.c_str(), 0, KEY_READ, key.out()),
            ERROR_SUCCESS);
  DWORD type = 0;
  EXPECT_EQ(QueryValue(key.get(), valueName.c_str(), &type), data);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(QueryValue(key.get(), nullptr), Utf16(u"\u20AC\U0001F600"));
}

// Windows' registry is at most 512 levels deep: the functions refuse to go
// further, and a hive of that depth reads back and exports.
TEST_F(RegistryFiles, KeysGoNoDeeperThanWindowsAllows) {
  std::u16string levels = u"SOFTWARE";
  for (int i = 1; i < 512; ++i) levels += u"\\k";
  ScopedKey deepest(MakeKey(HKEY_LOCAL_MACHINE, levels.c_str()));
  ScopedKey beyond;
  EXPECT_EQ(RegCreateKeyExW(deepest.get(), u"one more", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            beyond.out(), nullptr),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, (levels + u"\\one more").c_str(), 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, beyond.out(), nullptr),
            ERROR_INVALID_PARAMETER);

  ReadHivesAgain(image);
  ScopedKey again;
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, levels.c_str(), 0, KEY_READ, again.out()),
            ERROR_SUCCESS);
  std::u16string text;
  EXPECT_TRUE(machine::registry::ExportKeyText(u"HKLM\\SOFTWARE\\k", u"\r\n", text));
}

TEST_F(RegistryFiles, FileWithoutHeaderIsRefused) {
  EXPECT_THROW(machine::registry::ImportRegFile("[HKEY_LOCAL_MACHINE\\SOFTWARE\\X]\n", "plain.txt"),
               machine::MachineError);
}

TEST_F(RegistryFiles, ExportIsReadableText) {
  ScopedKey key(MakeKey(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Shown"));
  SetValue(key.get(), nullptr, REG_SZ, Utf16(u"x"));
  SetValue(key.get(), u"Dir", REG_EXPAND_SZ, Utf16(u"%A%"));
  ScopedKey(MakeKey(key.get(), u"Sub"));
  std::u16string text;
  ASSERT_TRUE(machine::registry::ExportKeyText(u"hklm\\software\\shown", u"\n", text));
  EXPECT_EQ(text,
            u"Windows Registry Editor Version 5.00\n\n"
            u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Shown]\n"
            u"@=\"x\"\n"
            u"\"Dir\"=hex(2):25,00,41,00,25,00,00,00\n\n"
            u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Shown\\Sub]\n\n");
  EXPECT_FALSE(machine::registry::ExportKeyText(u"HKLM\\SOFTWARE\\Missing", u"\n", text));
}

}  // namespace
}  // namespace quaver::test
