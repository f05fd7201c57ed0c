// Names that Windows compares without regard to case fold every letter that
// has a simple upper-case form, not only Latin, Greek and Cyrillic ones; the
// wildcards of file searches and registry searches match so too.
#include <gtest/gtest.h>

#include <string>

#include "platform/text.h"
#include "platform/win.h"
#include "tests/platform/RegistryTestSupport.h"
#include "tests/support/TempMachine.h"

namespace quaver::test {
namespace {

struct FoldCase {
  const char16_t* lower;
  const char16_t* upper;
  bool equal;
};

const FoldCase kFoldCases[] = {
    {u"\u1EA1", u"\u1EA0", true},              // Vietnamese a with dot below
    {u"\u0561", u"\u0531", true},              // Armenian ayb
    {u"caf\u00E9", u"CAF\u00C9", true},        // Latin-1
    {u"\u03C3\u03C2", u"\u03A3\u03A3", true},  // Greek sigma and final sigma
    {u"\u10D0", u"\u1C90", true},              // Georgian
    {u"\uFF41", u"\uFF21", true},              // fullwidth
    {u"\u24D0", u"\u24B6", true},              // circled letters
    {u"\u0131", u"I", false},                  // dotless i is no ASCII I
    {u"\u017F", u"S", false},                  // nor is long s an S
    {u"\u00DF", u"SS", false},                 // no one-to-many folding
    {u"\xD800", u"\xDC00", false},             // lone surrogates stay themselves
};

TEST(CaseFolding, NamesMatchAsWindowsMatchesThem) {
  for (const FoldCase& c : kFoldCases) {
    EXPECT_EQ(machine::EqualNoCase(c.lower, c.upper), c.equal)
        << machine::ToUtf8(c.lower) << " / " << machine::ToUtf8(c.upper);
  }
}

class CaseFoldingInImage : public TempMachineTest {};

TEST_F(CaseFoldingInImage, RegistryKeysAndEnvironmentNamesFoldEveryLetter) {
  ScopedKey created(MakeKey(HKEY_LOCAL_MACHINE, u"SOFTWARE\\\u1EA1\u0561"));
  ScopedKey opened;
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\\u1EA0\u0531", 0, KEY_READ, opened.out()),
            ERROR_SUCCESS);
  SetValue(created.get(), u"\u0561", REG_DWORD, Dword(5));
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExW(created.get(), u"\u0531", nullptr, nullptr, nullptr, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(size, 4u);

  ASSERT_TRUE(SetEnvironmentVariableW(u"QV_\u1EA1", u"value"));
  char16_t buffer[16];
  EXPECT_EQ(GetEnvironmentVariableW(u"QV_\u1EA0", buffer, 16), 5u);
  SetEnvironmentVariableW(u"QV_\u1EA1", nullptr);
}

struct WildcardCase {
  const char16_t* text;
  const char16_t* pattern;
  bool ignoreCase;
  bool matches;
};

TEST(Wildcard, StarsAndQuestionMarks) {
  const std::u16string many(50, u'a');
  std::u16string stars;
  for (int i = 0; i < 25; ++i) stars += u"*a";
  const std::u16string starsThenB = stars + u"b";
  const WildcardCase cases[] = {
      {u"", u"", false, true},
      {u"", u"*", false, true},
      {u"", u"?", false, false},
      {u"web.config", u"*.config", false, true},
      {u"web.config", u"*.CONFIG", false, false},
      {u"web.config", u"*.CONFIG", true, true},
      {u"caf\u00E9", u"CAF\u00C9", true, true},
      {u"abcabd", u"*ab?", false, true},
      {u"abcab", u"*ab?", false, false},
      {u"aXbXc", u"a*b*c", false, true},
      {u"aXbXcX", u"a*b*c", false, false},
      {u"abc", u"abc*", false, true},
      {u"abc", u"a**?", false, true},
      {many.c_str(), stars.c_str(), false, true},
      {many.c_str(), starsThenB.c_str(), false, false},  // not every placement of 25 stars
  };
  for (const WildcardCase& c : cases) {
    EXPECT_EQ(machine::MatchesWildcard(c.text, c.pattern, c.ignoreCase), c.matches)
        << machine::ToUtf8(c.text) << " ~ " << machine::ToUtf8(c.pattern);
  }
}

}  // namespace
}  // namespace quaver::test
