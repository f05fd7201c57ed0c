#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "core/ExpandEnvVars.h"
#include "platform/win.h"
#include "tests/core/TextOf.h"

namespace {

// Sets the variables for one test and removes them afterwards.
class ExpandEnvVarsTest : public ::testing::Test {
 protected:
  void Set(const char16_t* name, const char16_t* value) {
    ASSERT_TRUE(SetEnvironmentVariableW(name, value));
    names.push_back(name);
  }
  void TearDown() override {
    for (const char16_t* name : names) SetEnvironmentVariableW(name, nullptr);
  }

  std::vector<const char16_t*> names;
};

TEST_F(ExpandEnvVarsTest, ReferencesAndLoneSigns) {
  Set(u"QV_ONE", u"C:\\One");
  Set(u"QV_TWO", u"two");
  Set(u"QV_NEST", u"%QV_ONE%\\nest");
  const std::pair<const char16_t*, const char*> cases[] = {
      {u"%QV_ONE%\\%QV_TWO%", "C:\\One\\two"},
      {u"%QV_ONE%\\%QV_UNDEFINED%", "C:\\One\\"},
      {u"%qv_one%", "C:\\One"},  // names ignore case
      {u"%QV_ONE%+%QV_ONE%", "C:\\One+C:\\One"},
      {u"100% sure", "100% sure"},
      {u"a%%b", "ab"},
      {u"%QV_NEST%", "C:\\One\\nest"},
      {u"%QV_ONE%;%QV_NEST%", "C:\\One;C:\\One\\nest"},  // QV_ONE appears again inside a value
      {u"", ""},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(TextOf(ExpandEnvVars(text)), expected) << TextOf(CSPWString(text));
  }
}

// Each pass restarts from the start of the text, so a value may complete a
// reference together with the text that follows it.
TEST_F(ExpandEnvVarsTest, PassesRestartFromTheStart) {
  Set(u"QV_PC", u"x%");
  Set(u"QV_OPEN", u"%QV_");
  Set(u"QV_LATE", u"late");
  const std::pair<const char16_t*, const char*> cases[] = {
      {u"%QV_PC%QV_PC%", "xx%"},
      {u"%QV_OPEN%LATE%", "late"},
      {u"%QV_OPEN%", "%QV_"},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(TextOf(ExpandEnvVars(text)), expected) << TextOf(CSPWString(text));
  }
}

// A value that refers back to itself ends the expansion, with the text as it
// stands when the cycle is seen; everything before it is still expanded.
TEST_F(ExpandEnvVarsTest, SelfReferenceTerminates) {
  Set(u"QV_ONE", u"one");
  Set(u"QV_SELF", u"%QV_SELF%");
  Set(u"QV_CASE", u"%qv_case%");
  const std::pair<const char16_t*, const char*> cases[] = {
      {u"%QV_SELF%", "%QV_SELF%"},
      {u"%QV_ONE%-%QV_SELF%", "one-%QV_SELF%"},
      {u"%QV_CASE%", "%qv_case%"},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(TextOf(ExpandEnvVars(text)), expected) << TextOf(CSPWString(text));
  }
}

// Cycles that grow the text or go round between variables end at a bound;
// the text then still holds the reference that was not expanded.
TEST_F(ExpandEnvVarsTest, GrowingAndCircularCyclesEnd) {
  Set(u"QV_GROW", u"x%QV_GROW%");
  Set(u"QV_DOUBLE", u"%QV_DOUBLE%%QV_DOUBLE%");
  Set(u"QV_PING", u"<%QV_PONG%>");
  Set(u"QV_PONG", u"(%QV_PING%)");
  Set(u"QV_LEFT", u"%QV_RIGHT%");
  Set(u"QV_RIGHT", u"%QV_LEFT%");
  for (const char16_t* text : {u"%QV_GROW%", u"%QV_DOUBLE%", u"%QV_PING%", u"%QV_LEFT%"}) {
    const CSPWString result = ExpandEnvVars(text);
    EXPECT_LE(result.GetLength(), 32767u) << TextOf(CSPWString(text));
    EXPECT_NE(result.Find(u"%QV_"), CSPWString::kNotFound) << TextOf(CSPWString(text));
  }
  EXPECT_EQ(TextOf(ExpandEnvVars(u"%QV_GROW%")).substr(0, 3), "xxx");
}

TEST_F(ExpandEnvVarsTest, EightBitFormsUseLatinOne) {
  Set(u"QV_LATIN", u"caf\u00E9");
  Set(u"QV_WIDE", u"\u4E2D");
  EXPECT_EQ(TextOf(ExpandEnvVars("%QV_LATIN%!")), "caf\\u{00E9}!");
  EXPECT_EQ(TextOf(ExpandEnvVars(CSPString("[%QV_WIDE%]"))), "[]");
  EXPECT_EQ(TextOf(ExpandEnvVars(CSPWString(u"[%QV_WIDE%]"))), "[\\u{4E2D}]");
}

TEST_F(ExpandEnvVarsTest, LongValueNeedsASecondLookUp) {
  const std::u16string value(1000, u'v');
  Set(u"QV_LONG", value.c_str());
  EXPECT_EQ(ExpandEnvVars(u"%QV_LONG%").GetLength(), 1000u);
}

}  // namespace
