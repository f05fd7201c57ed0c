#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "core/CSPException.h"
#include "core/CSPString.h"
#include "tests/core/TextOf.h"

namespace {

// Both string classes behave alike; each case below runs on both.
template <class S>
class StringTwinTest : public ::testing::Test {
 protected:
  static S Repeat(char c, uint32_t count) { return S(std::string(count, c).c_str()); }
};

using Twins = ::testing::Types<CSPString, CSPWString>;
TYPED_TEST_SUITE(StringTwinTest, Twins);

template <class F>
int32_t SystemCode(F&& action) {
  try {
    action();
  } catch (const CSPSystemException& e) {
    return e.GetCode();
  }
  return 0;
}

TYPED_TEST(StringTwinTest, SixtyFourStayInlineSixtyFiveMoveToHeapOf130) {
  TypeParam s = this->Repeat('x', 64);
  EXPECT_EQ(s.GetCapacity(), 64u);
  const void* inlineData = s.GetString();
  s += "y";
  EXPECT_EQ(s.GetLength(), 65u);
  EXPECT_EQ(s.GetCapacity(), 130u);
  EXPECT_NE(static_cast<const void*>(s.GetString()), inlineData);
  EXPECT_EQ(TextOf(s), std::string(64, 'x') + "y");
}

TYPED_TEST(StringTwinTest, LongSourcesReserveTwiceTheirSize) {
  TypeParam fromText = this->Repeat('a', 100);
  EXPECT_EQ(fromText.GetCapacity(), 200u);
  TypeParam grown = this->Repeat('b', 64);
  grown += "c";  // capacity 130
  TypeParam copy(grown);
  EXPECT_EQ(copy.GetCapacity(), 260u);
  EXPECT_EQ(TextOf(copy), TextOf(grown));
}

TYPED_TEST(StringTwinTest, ReserveBackToInlineCutsTheText) {
  TypeParam s = this->Repeat('a', 90);
  s += "0123456789";
  s.Reserve(10);
  EXPECT_EQ(s.GetCapacity(), 64u);
  EXPECT_EQ(s.GetLength(), 10u);
  EXPECT_EQ(TextOf(s), std::string(10, 'a'));
  EXPECT_EQ(s.GetAt(10), 0);
}

TYPED_TEST(StringTwinTest, ReserveShrinksHeapBlockAndCutsTheText) {
  TypeParam s = this->Repeat('a', 150);  // capacity 300
  s.Reserve(100);
  EXPECT_EQ(s.GetCapacity(), 100u);
  EXPECT_EQ(s.GetLength(), 100u);
  EXPECT_EQ(s.GetAt(100), 0);
}

TYPED_TEST(StringTwinTest, OversizeReserveThrowsAndKeepsText) {
  const uint32_t limit = std::is_same_v<TypeParam, CSPString> ? 0xFFFFFFFEu : 0x7FFFFFFEu;
  for (uint32_t request : {limit, 0xFFFFFFFFu}) {
    TypeParam s("keep");
    EXPECT_EQ(SystemCode([&] { s.Reserve(request); }), CSPSystemException::OutOfMemory);
    EXPECT_EQ(TextOf(s), "keep");
    EXPECT_EQ(s.GetCapacity(), 64u);
  }
}

TYPED_TEST(StringTwinTest, EmptyFreesHeapClearKeepsIt) {
  TypeParam s = this->Repeat('a', 100);
  s.Clear();
  EXPECT_EQ(s.GetLength(), 0u);
  EXPECT_EQ(s.GetCapacity(), 200u);
  s.Empty();
  EXPECT_EQ(s.GetCapacity(), 64u);
  TypeParam t = this->Repeat('a', 100);
  t = "";  // assigning an empty text is Empty
  EXPECT_EQ(t.GetCapacity(), 64u);
}

// Appending or assigning the string's own text must survive the move of its
// storage when it grows.
TYPED_TEST(StringTwinTest, OwnTextAsSource) {
  TypeParam s = this->Repeat('a', 40);
  s += s;  // inline to heap while reading the inline buffer
  EXPECT_EQ(TextOf(s), std::string(80, 'a'));
  s += s;  // heap block reallocated while reading it
  EXPECT_EQ(TextOf(s), std::string(160, 'a'));

  TypeParam t("0123456789");
  t.Append(t.GetString() + 2, 3);
  EXPECT_EQ(TextOf(t), "0123456789234");
  t = t.GetString() + 10;
  EXPECT_EQ(TextOf(t), "234");
  t = t.GetString();
  const TypeParam& same = t;
  t = same;
  EXPECT_EQ(TextOf(t), "234");
}

TYPED_TEST(StringTwinTest, NullPointers) {
  using C = typename TypeParam::Char;
  using O = std::conditional_t<std::is_same_v<C, char>, char16_t, char>;
  const C* ownNull = nullptr;
  const O* otherNull = nullptr;

  TypeParam s("abc");
  s = ownNull;  // changes nothing
  EXPECT_EQ(TextOf(s), "abc");
  s += ownNull;
  s += otherNull;
  s.Append(ownNull, 5);
  s.Append(s.GetString(), 0);
  EXPECT_EQ(TextOf(s), "abc");
  EXPECT_FALSE(s == ownNull);
  EXPECT_TRUE(s != ownNull);
  EXPECT_FALSE(s == otherNull);
  EXPECT_FALSE(s != otherNull);
  s = otherNull;  // is Empty
  EXPECT_EQ(s.GetLength(), 0u);
  EXPECT_EQ(TextOf(TypeParam(ownNull)), "");
  EXPECT_EQ(TextOf(TypeParam(otherNull)), "");
}

TYPED_TEST(StringTwinTest, GetAtAndMidBounds) {
  const TypeParam s("abcd");
  EXPECT_EQ(s.GetAt(3), 'd');
  EXPECT_EQ(s.GetAt(4), 0);
  EXPECT_EQ(SystemCode([&] { s.GetAt(5); }), CSPSystemException::OutOfRange);

  struct Case {
    uint32_t start, count;
    const char* expected;  // nullptr: OutOfRange
  };
  const Case cases[] = {
      {1, 2, "bc"},    {0, 4, "abcd"},
      {3, 1, "d"},     {9, 0, ""},
      {0, 5, nullptr}, {4, 1, nullptr},
      {2, 3, nullptr}, {1, 0xFFFFFFFFu, nullptr},  // start + count wraps in 32 bits
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "Mid(" << c.start << ", " << c.count << ")");
    if (c.expected == nullptr) {
      EXPECT_EQ(SystemCode([&] { s.Mid(c.start, c.count); }), CSPSystemException::OutOfRange);
    } else {
      EXPECT_EQ(TextOf(s.Mid(c.start, c.count)), c.expected);
    }
  }
  EXPECT_EQ(TextOf(TypeParam().Mid(3, 0)), "");
}

TYPED_TEST(StringTwinTest, Find) {
  const TypeParam s("abab");
  EXPECT_EQ(s.Find(TypeParam("ba")), 1u);
  EXPECT_EQ(s.Find(TypeParam("ab"), 1), 2u);
  EXPECT_EQ(s.Find(TypeParam("x")), TypeParam::kNotFound);
  EXPECT_EQ(s.Find(TypeParam(""), 2), 2u);
  EXPECT_EQ(s.Find(TypeParam(""), 4), TypeParam::kNotFound);
  EXPECT_EQ(s.Find(TypeParam("b"), 4), TypeParam::kNotFound);
}

TYPED_TEST(StringTwinTest, Replace) {
  struct Case {
    const char* text;
    const char* find;
    const char* with;
    uint32_t maxCount;
    const char* expected;
    uint32_t replaced;
  };
  const Case cases[] = {
      {"aXa", "a", "aa", 0, "aaXaa", 2},  // the replacement is not searched again
      {"aaa", "a", "b", 1, "baa", 1},    {"aaaa", "aa", "a", 0, "aa", 2},
      {"abcabc", "bc", "", 0, "aa", 2},  {"abc", "", "x", 0, "abc", 0},
      {"abc", "z", "x", 0, "abc", 0},    {"a.b.c", ".", "\\\\", 0, "a\\\\b\\\\c", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TypeParam s(c.text);
    EXPECT_EQ(s.Replace(TypeParam(c.find), TypeParam(c.with), c.maxCount), c.replaced);
    EXPECT_EQ(TextOf(s), c.expected);
  }
}

// Growing one replacement at a time: 64 -> needs 65 -> 130, which then holds
// all 128 characters.
TYPED_TEST(StringTwinTest, ReplaceGrowsByTheGrowthRule) {
  TypeParam s = this->Repeat('a', 64);
  EXPECT_EQ(s.Replace(TypeParam("a"), TypeParam("bb")), 64u);
  EXPECT_EQ(TextOf(s), std::string(128, 'b'));
  EXPECT_EQ(s.GetCapacity(), 130u);
}

TYPED_TEST(StringTwinTest, ReplaceWithOwnText) {
  TypeParam s("abcabc");
  EXPECT_EQ(s.Replace(s.GetString() + 3, s.GetString()), 2u);  // "abc" by "abcabc"
  EXPECT_EQ(TextOf(s), "abcabcabcabc");
}

TYPED_TEST(StringTwinTest, XmlEscapeAndUnescape) {
  TypeParam s("a&b<c>d\"e'f");
  s.XmlEscape();
  EXPECT_EQ(TextOf(s), "a&amp;b&lt;c&gt;d&quot;e'f");
  s.XmlUnescape();
  EXPECT_EQ(TextOf(s), "a&b<c>d\"e'f");

  TypeParam t("x&nbsp;y &amp;lt; &apos;");
  t.XmlUnescape();
  EXPECT_EQ(TextOf(t), "x y &lt; &apos;");  // one level only
}

TYPED_TEST(StringTwinTest, CaseChangesOnlyAsciiLetters) {
  TypeParam s("aZ\xE9\xC9[@");
  s.MakeUpper();
  EXPECT_EQ(TextOf(s), "AZ\\u{00E9}\\u{00C9}[@");
  s.MakeLower();
  EXPECT_EQ(TextOf(s), "az\\u{00E9}\\u{00C9}[@");
}

TYPED_TEST(StringTwinTest, CompareNoCaseFoldsToLowerCase) {
  EXPECT_EQ(TypeParam("HeLLo").CompareNoCase(TypeParam("hEllO")), 0);
  EXPECT_EQ(TypeParam("HeLLo").CompareNoCase("hello"), 0);
  EXPECT_EQ(TypeParam("HeLLo").CompareNoCase(u"hello"), 0);
  // 'A' folds to 'a' (0x61), which is above '_' (0x5F).
  EXPECT_GT(TypeParam("A").CompareNoCase("_"), 0);
  EXPECT_LT(TypeParam("ab").CompareNoCase("ABC"), 0);
  EXPECT_NE(TypeParam("\xE9").CompareNoCase("\xC9"), 0);
}

TYPED_TEST(StringTwinTest, OrderIsOrdinalUnsigned) {
  const TypeParam high("\xE9");
  const TypeParam low("a");
  EXPECT_TRUE(low < high);
  EXPECT_TRUE(high > low);
  EXPECT_TRUE(TypeParam("ab") < TypeParam("abc"));
  EXPECT_TRUE(TypeParam("B") < TypeParam("a"));
  EXPECT_TRUE(TypeParam("ab") <= TypeParam("ab"));
  EXPECT_TRUE(TypeParam("ab") >= TypeParam("ab"));
  EXPECT_FALSE(TypeParam("ab") < TypeParam("ab"));
}

TYPED_TEST(StringTwinTest, EqualityAcrossWidths) {
  const TypeParam s("caf\xE9");
  EXPECT_TRUE(s == "caf\xE9");
  EXPECT_TRUE(s == u"caf\u00E9");
  EXPECT_TRUE(s == CSPString("caf\xE9"));
  EXPECT_TRUE(s == CSPWString(u"caf\u00E9"));
  EXPECT_TRUE(s != "Caf\xE9");
  EXPECT_TRUE(s != u"caf");
}

TYPED_TEST(StringTwinTest, EqualityWithBoolIgnoresCase) {
  EXPECT_TRUE(TypeParam("TRUE") == true);
  EXPECT_TRUE(TypeParam("False") == false);
  EXPECT_TRUE(TypeParam("yes") != true);
  EXPECT_FALSE(TypeParam("true") == false);
}

TYPED_TEST(StringTwinTest, Concatenation) {
  const TypeParam s("cd");
  const TypeParam sum = "ab" + s + u"ef" + CSPString("g") + CSPWString(u"h");
  EXPECT_EQ(TextOf(sum), "abcdefgh");
  EXPECT_EQ(TextOf(u"x" + s), "xcd");
  EXPECT_EQ(TextOf(s), "cd");
  TypeParam t("1");
  t += 2;
  t += true;
  t += 0.5;
  EXPECT_EQ(TextOf(t), "12true0.5");
}

TYPED_TEST(StringTwinTest, IntegersAndBooleans) {
  EXPECT_EQ(TextOf(TypeParam(-5)), "-5");
  EXPECT_EQ(TextOf(TypeParam(0)), "0");
  EXPECT_EQ(TextOf(TypeParam(std::numeric_limits<uint32_t>::max())), "4294967295");
  EXPECT_EQ(TextOf(TypeParam(std::numeric_limits<int32_t>::min())), "-2147483648");
  EXPECT_EQ(TextOf(TypeParam(std::numeric_limits<int64_t>::min())), "-9223372036854775808");
  EXPECT_EQ(TextOf(TypeParam(std::numeric_limits<uint64_t>::max())), "18446744073709551615");
  EXPECT_EQ(TextOf(TypeParam(true)), "true");
  TypeParam s("x");
  s = false;
  EXPECT_EQ(TextOf(s), "false");
  s = int64_t{-7};
  EXPECT_EQ(TextOf(s), "-7");
}

TYPED_TEST(StringTwinTest, FloatingPointText) {
  struct Case {
    double value;
    const char* expected;
  };
  const Case doubles[] = {
      {100.0, "100"},
      {-2.5, "-2.5"},
      {0.1, "0.1"},
      {1.0 / 3.0, "0.333333333333333"},
      {123456789012345.0, "123456789012345"},
      {1234567890123456.0, "1.23456789012346e+15"},
      {1e20, "1e+20"},
      {0.0001, "0.0001"},
      {0.00001, "1e-05"},
      {0.0, "0"},
  };
  for (const Case& c : doubles) {
    EXPECT_EQ(TextOf(TypeParam(c.value)), c.expected) << c.value;
  }
  EXPECT_EQ(TextOf(TypeParam(1.0f / 3.0f)), "0.3333333");
  EXPECT_EQ(TextOf(TypeParam(0.1f)), "0.1");
  EXPECT_EQ(TextOf(TypeParam(16777216.0f)), "1.677722e+07");
}

TYPED_TEST(StringTwinTest, ToIntClampsToTheLimits) {
  struct Case {
    const char* text;
    int32_t value;
  };
  const Case cases[] = {
      {"  42abc", 42},
      {"-17", -17},
      {"+8", 8},
      {"abc", 0},
      {"", 0},
      {"- 5", 0},
      {"\t\r\n 7", 7},
      {"2147483647", 2147483647},
      {"2147483648", 2147483647},
      {"-2147483648", -2147483647 - 1},
      {"-99999999999999999999", -2147483647 - 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TypeParam(c.text).ToInt(), c.value) << c.text;
  }
}

TYPED_TEST(StringTwinTest, ToInt64ClampsToTheLimits) {
  EXPECT_EQ(TypeParam("9223372036854775807").ToInt64(), std::numeric_limits<int64_t>::max());
  EXPECT_EQ(TypeParam("9223372036854775808").ToInt64(), std::numeric_limits<int64_t>::max());
  EXPECT_EQ(TypeParam("-9223372036854775808").ToInt64(), std::numeric_limits<int64_t>::min());
  EXPECT_EQ(TypeParam("-99999999999999999999x").ToInt64(), std::numeric_limits<int64_t>::min());
  EXPECT_EQ(TypeParam(" 12345678901").ToInt64(), 12345678901);
}

TYPED_TEST(StringTwinTest, ToDouble) {
  struct Case {
    const char* text;
    double value;
  };
  const Case cases[] = {
      {" -1.5e3x", -1500.0}, {".5", 0.5},  {"2.", 2.0}, {"1e", 1.0}, {"1e+", 1.0},
      {"3E-2", 0.03},        {"abc", 0.0}, {".", 0.0},  {"-", 0.0},  {"+4.25", 4.25},
  };
  for (const Case& c : cases) {
    EXPECT_DOUBLE_EQ(TypeParam(c.text).ToDouble(), c.value) << c.text;
  }
  EXPECT_TRUE(std::isinf(TypeParam("1e999").ToDouble()));
}

// --- width conversion -------------------------------------------------------

TEST(StringWidthTest, LatinOneNarrowsByteForUnit) {
  const CSPString e(CSPWString(u"\u00E9"));
  ASSERT_EQ(e.GetLength(), 1u);
  EXPECT_EQ(static_cast<unsigned char>(e.GetAt(0)), 0xE9);
  EXPECT_EQ(CSPString(u"\u4E2D").GetLength(), 0u);
  EXPECT_EQ(CSPString(CSPWString(u"ab\u4E2D")).GetLength(), 0u);  // fails as a whole

  const CSPWString w(CSPString("\xE9\xFF"));
  EXPECT_EQ(TextOf(w), "\\u{00E9}\\u{00FF}");
}

TEST(StringWidthTest, FailedNarrowingInAssignmentAndAppend) {
  CSPString s("keep");
  s += u"x\u4E2D";
  EXPECT_EQ(TextOf(s), "keep");
  s += CSPWString(u"\u4E2D");
  EXPECT_EQ(TextOf(s), "keep");
  s = u"\u4E2D";
  EXPECT_EQ(s.GetLength(), 0u);
  EXPECT_EQ(s.GetAt(0), 0);
}

// Text that cannot be narrowed compares as the empty text.
TEST(StringWidthTest, ComparingWithUnnarrowableText) {
  EXPECT_FALSE(CSPString("a") == u"\u4E2D");
  EXPECT_TRUE(CSPString("") == u"\u4E2D");
  EXPECT_GT(CSPString("a").CompareNoCase(u"\u4E2D"), 0);
}

TEST(StringWidthTest, LongWideTextNarrowsIntoHeap) {
  const CSPWString w(std::u16string(100, u'\u00E9').c_str());
  const CSPString s(w);
  EXPECT_EQ(s.GetLength(), 100u);
  EXPECT_EQ(s.GetCapacity(), 2 * w.GetCapacity());
  EXPECT_EQ(static_cast<unsigned char>(s.GetAt(99)), 0xE9);
}

// --- UTF-8 -------------------------------------------------------------------

TEST(StringUtf8Test, EncodesEachUnitOfTheBmpInThreeBytes) {
  const CSPWString w(u"\u4E2D\u4E2D\u4E2D");
  CSPString out("old");
  ASSERT_TRUE(w.WideToUtf8(out));
  EXPECT_EQ(TextOf(out),
            "\\u{00E4}\\u{00B8}\\u{00AD}\\u{00E4}\\u{00B8}\\u{00AD}"
            "\\u{00E4}\\u{00B8}\\u{00AD}");
}

TEST(StringUtf8Test, DecodesAndRoundTrips) {
  CSPWString wide(u"old");
  ASSERT_TRUE(CSPString("\xE4\xB8\xAD").Utf8ToWide(wide));
  EXPECT_EQ(TextOf(wide), "\\u{4E2D}");

  const CSPWString text(u"Caf\u00E9 \u4E2D \U0001F600 \u00FF");
  CSPString utf8;
  ASSERT_TRUE(text.WideToUtf8(utf8));
  EXPECT_EQ(utf8.GetLength(), 17u);
  CSPWString back;
  ASSERT_TRUE(utf8.Utf8ToWide(back));
  EXPECT_TRUE(back == text);
}

TEST(StringUtf8Test, EmptySourceEmptiesTheOutputAndKeepsItsStorage) {
  CSPWString wide(std::u16string(100, u'x').c_str());
  ASSERT_TRUE(CSPString().Utf8ToWide(wide));
  EXPECT_EQ(wide.GetLength(), 0u);
  EXPECT_EQ(wide.GetCapacity(), 200u);
  CSPString narrow("x");
  ASSERT_TRUE(CSPWString().WideToUtf8(narrow));
  EXPECT_EQ(narrow.GetLength(), 0u);
}

}  // namespace
