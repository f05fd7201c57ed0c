#include <string>

#include "platform/machine.h"
#include "platform/win.h"
#include "tests/support/TempMachine.h"

namespace {

class EnvironmentTest : public quaver::test::TempMachineTest {};

TEST_F(EnvironmentTest, SeededFromTheMachineOnly) {
  WCHAR buffer[64];
  ASSERT_EQ(GetEnvironmentVariableW(u"windir", buffer, 64), 10u);
  EXPECT_EQ(std::u16string(buffer), u"C:\\Windows");
  ASSERT_GT(GetEnvironmentVariableW(u"ProgramFiles(x86)", buffer, 64), 0u);
  EXPECT_EQ(std::u16string(buffer), u"C:\\Program Files (x86)");
  // The host's own variables never leak in.
  EXPECT_EQ(GetEnvironmentVariableW(u"HOME", buffer, 64), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ENVVAR_NOT_FOUND));

  machine::DeselectMachine();
  EXPECT_EQ(GetEnvironmentVariableW(u"WINDIR", buffer, 64), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ENVVAR_NOT_FOUND));
  machine::SelectMachine(image.Root());
}

TEST_F(EnvironmentTest, ReturnValueProtocol) {
  ASSERT_TRUE(SetEnvironmentVariableW(u"Quaver_Test", u"12345"));
  WCHAR buffer[8] = u"sentin";
  // Too small: the size needed with the terminator.
  EXPECT_EQ(GetEnvironmentVariableW(u"QUAVER_TEST", buffer, 5), 6u);
  EXPECT_EQ(GetEnvironmentVariableW(u"QUAVER_TEST", nullptr, 0), 6u);
  // Enough: the length without it.
  EXPECT_EQ(GetEnvironmentVariableW(u"quaver_test", buffer, 6), 5u);
  EXPECT_EQ(std::u16string(buffer), u"12345");

  std::fill(std::begin(buffer), std::end(buffer), u'#');
  SetLastError(ERROR_GEN_FAILURE);
  EXPECT_EQ(GetEnvironmentVariableW(u"missing", buffer, 8), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ENVVAR_NOT_FOUND));
  EXPECT_EQ(buffer[0], u'#');

  // An empty value also returns 0, told apart by a cleared error.
  ASSERT_TRUE(SetEnvironmentVariableW(u"EMPTY", u""));
  SetLastError(ERROR_GEN_FAILURE);
  EXPECT_EQ(GetEnvironmentVariableW(u"EMPTY", buffer, 8), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(buffer[0], u'\0');
}

TEST_F(EnvironmentTest, SetKeepsTheFirstNameAndNullDeletes) {
  ASSERT_TRUE(SetEnvironmentVariableW(u"MixedCase", u"1"));
  ASSERT_TRUE(SetEnvironmentVariableW(u"MIXEDCASE", u"2"));
  char value[8];
  EXPECT_EQ(GetEnvironmentVariableA("mixedcase", value, 8), 1u);
  EXPECT_STREQ(value, "2");
  ASSERT_TRUE(SetEnvironmentVariableA("mixedCASE", nullptr));
  EXPECT_EQ(GetEnvironmentVariableA("MixedCase", value, 8), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ENVVAR_NOT_FOUND));
  EXPECT_TRUE(SetEnvironmentVariableW(u"NeverSet", nullptr));

  EXPECT_FALSE(SetEnvironmentVariableW(u"A=B", u"x"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(SetEnvironmentVariableW(u"", u"x"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_TRUE(SetEnvironmentVariableW(u"=C:", u"C:\\Windows"));
}

TEST_F(EnvironmentTest, AnsiFormsUseCodePage1252) {
  ASSERT_TRUE(SetEnvironmentVariableW(u"WIDE", u"caf\u00E9 \u4E2D"));
  char value[16];
  EXPECT_EQ(GetEnvironmentVariableA("wide", value, 16), 6u);
  EXPECT_STREQ(value, "caf\xE9 ?");
  EXPECT_EQ(GetEnvironmentVariableA("wide", value, 6), 7u);
}

TEST_F(EnvironmentTest, ExpandEnvironmentStrings) {
  ASSERT_TRUE(SetEnvironmentVariableW(u"A", u"alpha"));
  ASSERT_TRUE(SetEnvironmentVariableW(u"SELF", u"%SELF%"));
  const struct {
    const char16_t* input;
    const char16_t* output;
  } cases[] = {
      {u"%SystemRoot%\\System32", u"C:\\Windows\\System32"},
      {u"%a%-%A%", u"alpha-alpha"},
      {u"%UNDEFINED%\\x", u"%UNDEFINED%\\x"},
      {u"%UNDEFINED%A%", u"%UNDEFINEDalpha"},  // the closing '%' opens the next reference
      {u"100%", u"100%"},
      {u"%%", u"%%"},
      {u"%SELF%", u"%SELF%"},  // one pass: no recursion
  };
  for (const auto& c : cases) {
    WCHAR out[64];
    const DWORD n = ExpandEnvironmentStringsW(c.input, out, 64);
    EXPECT_EQ(std::u16string(out), c.output);
    EXPECT_EQ(n, std::u16string(c.output).size() + 1);
  }
  WCHAR small[4] = u"abc";
  EXPECT_EQ(ExpandEnvironmentStringsW(u"%A%", small, 4), 6u);
  EXPECT_EQ(std::u16string(small), u"abc");
}

}  // namespace
