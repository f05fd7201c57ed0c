#include <gtest/gtest.h>

#include <string>

#include "system/RegKey.h"
#include "tests/support/TempMachine.h"

namespace quaver::test {
namespace {

class RegKeyTest : public TempMachineTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(
        key.Create(u"SOFTWARE\\Corvane\\Quaver", HKEY_LOCAL_MACHINE, KEY_ALL_ACCESS, nullptr));
  }
  void SetRaw(const char16_t* name, DWORD type, const void* data, DWORD size) {
    ASSERT_EQ(RegSetValueExW(key.GetHandle(), name, 0, type, static_cast<const BYTE*>(data), size),
              ERROR_SUCCESS);
  }
  RegKey key;
};

// Lengths on both sides of the first query's buffer: 512 bytes for the
// 8-bit form, 1024 for the 16-bit form, terminating zero included.
class LongStrings : public RegKeyTest, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(LongStrings, EightBitValueIsReadWhole) {
  std::string source;
  for (uint32_t i = 0; i < GetParam(); ++i) source.push_back(static_cast<char>('a' + i % 26));
  CSPString text(source.c_str());
  ASSERT_TRUE(key.SetStringValue("Long", text));
  CSPString read;
  ASSERT_TRUE(key.GetStringValue("Long", read));
  EXPECT_EQ(read.GetLength(), GetParam());
  EXPECT_TRUE(read == text);
}

TEST_P(LongStrings, SixteenBitValueIsReadWhole) {
  std::u16string source(GetParam(), u'\u03A9');
  CSPWString text(source.c_str());
  ASSERT_TRUE(key.SetStringValue(u"Long", text));
  CSPWString read;
  ASSERT_TRUE(key.GetStringValue(u"Long", read));
  EXPECT_EQ(read.GetLength(), GetParam());
  EXPECT_TRUE(read == text);
}

INSTANTIATE_TEST_SUITE_P(AroundTheFirstBuffer, LongStrings,
                         ::testing::Values(0u, 511u, 512u, 1023u, 1024u, 5000u));

TEST_F(RegKeyTest, TypeMismatchesGiveFalseAndLeaveOutputs) {
  ASSERT_TRUE(key.SetDwordValue(u"Number", 7));
  ASSERT_TRUE(key.SetStringValue(u"Text", u"ab"));  // four bytes with its zero, like a DWORD
  const BYTE blob[] = {1, 2};
  SetRaw(u"Blob", REG_BINARY, blob, sizeof blob);

  CSPWString wide(u"sentinel");
  CSPString narrow("sentinel");
  uint32_t number = 0xFEEDu;
  EXPECT_FALSE(key.GetStringValue(u"Number", wide));
  EXPECT_FALSE(key.GetStringValue("Number", narrow));
  EXPECT_FALSE(key.GetStringValue(u"Blob", wide));
  EXPECT_FALSE(key.GetDwordValue(u"Text", number));
  EXPECT_FALSE(key.GetDwordValue("Text", number));
  EXPECT_FALSE(key.GetStringValue(u"Missing", wide));
  EXPECT_FALSE(key.GetDwordValue(u"Missing", number));
  EXPECT_TRUE(wide == u"sentinel");
  EXPECT_TRUE(narrow == "sentinel");
  EXPECT_EQ(number, 0xFEEDu);

  ASSERT_TRUE(key.GetDwordValue("Number", number));
  EXPECT_EQ(number, 7u);
}

TEST_F(RegKeyTest, ShortDwordIsNotAValue) {
  const BYTE twoBytes[] = {1, 2};
  SetRaw(u"Short", REG_DWORD, twoBytes, sizeof twoBytes);
  uint32_t number = 0xFEEDu;
  EXPECT_FALSE(key.GetDwordValue(u"Short", number));
  EXPECT_EQ(number, 0xFEEDu);
}

TEST_F(RegKeyTest, ExpandStringIsReadUnexpanded) {
  const char16_t data[] = u"%SystemRoot%\\x";
  SetRaw(u"Path", REG_EXPAND_SZ, data, sizeof data);
  CSPWString read;
  ASSERT_TRUE(key.GetStringValue(u"Path", read));
  EXPECT_TRUE(read == u"%SystemRoot%\\x");
}

struct StoredText {
  const char* name;
  std::u16string data;  // exactly the code units stored
  std::u16string read;
};

class StoredTexts : public RegKeyTest, public ::testing::WithParamInterface<StoredText> {};

// The text ends at its terminating zero; a value written by someone else
// without one loses nothing.
TEST_P(StoredTexts, ReadsAsTheStoredText) {
  const StoredText& c = GetParam();
  SetRaw(u"Value", REG_SZ, c.data.data(), static_cast<DWORD>(c.data.size() * 2));
  CSPWString wide(u"sentinel");
  ASSERT_TRUE(key.GetStringValue(u"Value", wide));
  EXPECT_EQ(std::u16string(wide.GetString(), wide.GetLength()), c.read);
  CSPString narrow("sentinel");
  ASSERT_TRUE(key.GetStringValue("Value", narrow));
  EXPECT_EQ(narrow.GetLength(), c.read.size());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StoredTexts,
    ::testing::Values(StoredText{"Terminated", std::u16string(u"abc\0", 4), u"abc"},
                      StoredText{"NoData", u"", u""}, StoredText{"Unterminated", u"abc", u"abc"},
                      StoredText{"DoublyTerminated", std::u16string(u"abc\0\0", 5), u"abc"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RegKeyTest, EightAndSixteenBitFormsMeetInTheAnsiCodePage) {
  ASSERT_TRUE(key.SetStringValue("Name", "Caf\xE9"));
  CSPWString wide;
  ASSERT_TRUE(key.GetStringValue(u"Name", wide));
  EXPECT_TRUE(wide == u"Caf\u00E9");
  ASSERT_TRUE(key.SetStringValue(u"Euro", u"\u20AC"));
  CSPString narrow;
  ASSERT_TRUE(key.GetStringValue("Euro", narrow));
  EXPECT_TRUE(narrow == "\x80");
}

TEST_F(RegKeyTest, SetStringWritesTheTerminatingZero) {
  ASSERT_TRUE(key.SetStringValue(u"Wide", CSPWString(u"ab")));
  ASSERT_TRUE(key.SetStringValue("Narrow", CSPString("ab")));
  DWORD size = 0;
  ASSERT_EQ(RegQueryValueExW(key.GetHandle(), u"Wide", nullptr, nullptr, nullptr, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(size, 6u);
  ASSERT_EQ(RegQueryValueExA(key.GetHandle(), "Narrow", nullptr, nullptr, nullptr, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(size, 3u);
}

TEST_F(RegKeyTest, FailedOpenKeepsTheHeldKey) {
  HKEY held = key.GetHandle();
  EXPECT_FALSE(key.Open(u"SOFTWARE\\Missing", HKEY_LOCAL_MACHINE, KEY_ALL_ACCESS));
  EXPECT_FALSE(key.Open("SOFTWARE\\Missing", nullptr, KEY_ALL_ACCESS));
  EXPECT_EQ(key.GetHandle(), held);
  EXPECT_TRUE(key.SetDwordValue(u"StillUsable", 1));
}

TEST_F(RegKeyTest, OpenReplacesAndClosesTheHeldKey) {
  HKEY first = key.GetHandle();
  ASSERT_TRUE(key.Open(CSPString("SOFTWARE"), HKEY_LOCAL_MACHINE, KEY_READ));
  EXPECT_NE(key.GetHandle(), first);
  EXPECT_EQ(RegCloseKey(first), ERROR_INVALID_HANDLE) << "the old key was closed";
}

TEST_F(RegKeyTest, SubKeysThroughTheParentObject) {
  RegKey child;
  ASSERT_TRUE(key.CreateSubKey(child, u"Child", KEY_ALL_ACCESS, nullptr));
  ASSERT_TRUE(child.SetDwordValue(u"Level", 2));
  RegKey again;
  ASSERT_TRUE(key.OpenSubKey(again, CSPWString(u"child"), KEY_READ));
  uint32_t level = 0;
  ASSERT_TRUE(again.GetDwordValue(u"Level", level));
  EXPECT_EQ(level, 2u);

  RegKey empty, target;
  EXPECT_FALSE(empty.OpenSubKey(target, u"Child", KEY_READ));
  EXPECT_FALSE(empty.CreateSubKey(target, "Child", KEY_READ, nullptr));
  EXPECT_EQ(target.GetHandle(), nullptr);
}

TEST_F(RegKeyTest, ReadOnlyKeyRefusesWrites) {
  RegKey reader;
  ASSERT_TRUE(reader.Open(u"SOFTWARE\\Corvane\\Quaver", HKEY_LOCAL_MACHINE, KEY_READ));
  EXPECT_FALSE(reader.SetStringValue(u"RootDir", u"C:\\"));
  EXPECT_FALSE(reader.SetDwordValue("ExtensibilityMode", 1));
  EXPECT_FALSE(reader.DeleteValue(u"RootDir"));
}

TEST_F(RegKeyTest, DeleteSubKeyAndValue) {
  RegKey child;
  ASSERT_TRUE(key.CreateSubKey(child, u"Parent\\Child", KEY_ALL_ACCESS, nullptr));
  EXPECT_FALSE(key.DeleteSubKey(u"Parent")) << "a key with subkeys stays";
  EXPECT_TRUE(key.DeleteSubKey(u"Parent\\Child"));
  EXPECT_TRUE(key.DeleteSubKey("Parent"));
  EXPECT_FALSE(key.DeleteSubKey(u"Parent"));

  ASSERT_TRUE(key.SetDwordValue(u"Gone", 1));
  EXPECT_TRUE(key.DeleteValue("gone"));
  EXPECT_FALSE(key.DeleteValue(u"Gone"));
}

TEST_F(RegKeyTest, AttachAcceptsOnlyPredefinedKeys) {
  RegKey root;
  for (HKEY predefined :
       {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS, HKEY_PERFORMANCE_DATA,
        HKEY_CURRENT_CONFIG, HKEY_DYN_DATA, HKEY_PERFORMANCE_TEXT, HKEY_PERFORMANCE_NLSTEXT}) {
    EXPECT_TRUE(root.Attach(predefined));
    EXPECT_EQ(root.GetHandle(), predefined);
  }
  EXPECT_FALSE(root.Attach(key.GetHandle()));
  EXPECT_FALSE(root.Attach(reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000007u))));
  EXPECT_EQ(root.GetHandle(), HKEY_PERFORMANCE_NLSTEXT);
}

TEST_F(RegKeyTest, AttachedMachineRootDeletesAPathBelowIt) {
  RegKey leaf;
  ASSERT_TRUE(
      leaf.Create(u"SOFTWARE\\Corvane\\Quaver\\Leaf", HKEY_LOCAL_MACHINE, KEY_ALL_ACCESS, nullptr));
  leaf.Close();
  RegKey root;
  ASSERT_TRUE(root.Attach(HKEY_LOCAL_MACHINE));
  EXPECT_TRUE(root.DeleteSubKey(u"SOFTWARE\\Corvane\\Quaver\\Leaf"));
  EXPECT_FALSE(leaf.Open(u"SOFTWARE\\Corvane\\Quaver\\Leaf", HKEY_LOCAL_MACHINE, KEY_READ));
}

TEST_F(RegKeyTest, EmptyObjectRefusesEverything) {
  RegKey empty;
  CSPWString wide(u"sentinel");
  CSPString narrow("sentinel");
  uint32_t number = 5;
  RegKey target;
  EXPECT_FALSE(empty.GetStringValue(u"x", wide));
  EXPECT_FALSE(empty.GetStringValue("x", narrow));
  EXPECT_FALSE(empty.SetStringValue(u"x", u"y"));
  EXPECT_FALSE(empty.SetStringValue("x", "y"));
  EXPECT_FALSE(empty.GetDwordValue(u"x", number));
  EXPECT_FALSE(empty.SetDwordValue("x", 1));
  EXPECT_FALSE(empty.DeleteSubKey(u"x"));
  EXPECT_FALSE(empty.DeleteValue("x"));
  EXPECT_FALSE(empty.Flush());
  EXPECT_TRUE(empty.Close());
  EXPECT_EQ(empty.GetHandle(), nullptr);
  EXPECT_TRUE(wide == u"sentinel");
  EXPECT_TRUE(narrow == "sentinel");
  EXPECT_EQ(number, 5u);
}

TEST_F(RegKeyTest, NullNamesGiveFalseWithoutACall) {
  const char* none = nullptr;
  const char16_t* noneWide = nullptr;
  CSPWString wide;
  uint32_t number = 0;
  HKEY held = key.GetHandle();
  EXPECT_FALSE(key.Open(none, HKEY_LOCAL_MACHINE, KEY_READ));
  EXPECT_FALSE(key.Create(noneWide, HKEY_LOCAL_MACHINE, KEY_READ, nullptr));
  EXPECT_FALSE(key.GetStringValue(noneWide, wide));
  EXPECT_FALSE(key.GetDwordValue(none, number));
  EXPECT_FALSE(key.SetStringValue(noneWide, u"x"));
  EXPECT_FALSE(key.SetStringValue(u"x", noneWide));
  EXPECT_FALSE(key.SetDwordValue(none, 1));
  EXPECT_FALSE(key.DeleteValue(none));
  EXPECT_FALSE(key.DeleteSubKey(noneWide));
  EXPECT_EQ(key.GetHandle(), held);
}

TEST_F(RegKeyTest, FlushAndCloseReleaseTheKey) {
  EXPECT_TRUE(key.Flush());
  HKEY held = key.GetHandle();
  EXPECT_TRUE(key.Close());
  EXPECT_EQ(key.GetHandle(), nullptr);
  EXPECT_EQ(RegCloseKey(held), ERROR_INVALID_HANDLE);
}

TEST_F(RegKeyTest, DestructorClosesTheKey) {
  HKEY held = nullptr;
  {
    RegKey scoped;
    ASSERT_TRUE(scoped.Open(u"SOFTWARE", HKEY_LOCAL_MACHINE, KEY_READ));
    held = scoped.GetHandle();
  }
  EXPECT_EQ(RegCloseKey(held), ERROR_INVALID_HANDLE);
}

TEST_F(RegKeyTest, ThirtyTwoBitViewIsAddressedByItsKey) {
  RegKey wow;
  ASSERT_TRUE(wow.Create(u"Software\\Wow6432Node\\Corvane\\Quaver", HKEY_LOCAL_MACHINE,
                         KEY_ALL_ACCESS, nullptr));
  ASSERT_TRUE(wow.SetStringValue(u"ProductDir", u"C:\\x86\\"));
  CSPWString native(u"sentinel");
  EXPECT_FALSE(key.GetStringValue(u"ProductDir", native));
}

}  // namespace
}  // namespace quaver::test
