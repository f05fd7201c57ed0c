#include <gtest/gtest.h>

#include <functional>
#include <iterator>
#include <string>

#include "platform/win.h"

namespace {

std::u16string ToWide(UINT codePage, DWORD flags, const std::string& bytes,
                      DWORD* error = nullptr) {
  const int size = MultiByteToWideChar(codePage, flags, bytes.data(),
                                       static_cast<int>(bytes.size()), nullptr, 0);
  if (error != nullptr) *error = size == 0 ? GetLastError() : 0;
  if (size == 0) return u"<fail>";
  std::u16string out(static_cast<size_t>(size), u'\0');
  EXPECT_EQ(MultiByteToWideChar(codePage, flags, bytes.data(), static_cast<int>(bytes.size()),
                                out.data(), size),
            size);
  return out;
}

std::string ToBytes(UINT codePage, DWORD flags, const std::u16string& text,
                    DWORD* error = nullptr) {
  const int size = WideCharToMultiByte(codePage, flags, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  if (error != nullptr) *error = size == 0 ? GetLastError() : 0;
  if (size == 0) return "<fail>";
  std::string out(static_cast<size_t>(size), '\0');
  EXPECT_EQ(WideCharToMultiByte(codePage, flags, text.data(), static_cast<int>(text.size()),
                                out.data(), size, nullptr, nullptr),
            size);
  return out;
}

TEST(Utf8Decoding, WellFormedAndIllFormedInput) {
  const struct {
    std::string bytes;
    std::u16string text;
  } cases[] = {
      {"abc", u"abc"},
      {"\xE4\xB8\xAD", u"\u4E2D"},
      {"\xF0\x9F\x98\x80", u"\U0001F600"},
      {"\xC0\x41\x42", u"\uFFFDAB"},            // C0 never starts a sequence
      {"\xE0\x80\x80", u"\uFFFD\uFFFD\uFFFD"},  // overlong: each byte on its own
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},  // an encoded surrogate
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"\xE4\xB8", u"\uFFFD"},  // truncated: one replacement for the maximal subpart
      {"\xE4\xB8"
       "A",
       u"\uFFFDA"},
      {"\xFF", u"\uFFFD"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ToWide(CP_UTF8, 0, c.bytes), c.text);
    const bool wellFormed = c.text.find(u'\uFFFD') == std::u16string::npos;
    DWORD error = 0;
    const std::u16string strict = ToWide(CP_UTF8, MB_ERR_INVALID_CHARS, c.bytes, &error);
    EXPECT_EQ(strict, wellFormed ? c.text : u"<fail>");
    EXPECT_EQ(error, wellFormed ? 0u : static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
  }
}

TEST(Utf8Encoding, LoneSurrogates) {
  EXPECT_EQ(ToBytes(CP_UTF8, 0, u"\u4E2D\u4E2D"), "\xE4\xB8\xAD\xE4\xB8\xAD");
  EXPECT_EQ(ToBytes(CP_UTF8, 0, u"\U0001F600"), "\xF0\x9F\x98\x80");
  const std::u16string lone = {u'a', static_cast<char16_t>(0xD800), u'b'};
  EXPECT_EQ(ToBytes(CP_UTF8, 0, lone),
            "a\xEF\xBF\xBD"
            "b");
  DWORD error = 0;
  EXPECT_EQ(ToBytes(CP_UTF8, WC_ERR_INVALID_CHARS, lone, &error), "<fail>");
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
}

TEST(CodePageConversion, BufferAndParameterProtocol) {
  // -1 includes the terminator in the count and the output.
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "ab", -1, nullptr, 0), 3);
  WCHAR out[4] = {u'#', u'#', u'#', u'#'};
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abcd", 4, out, 3), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(out[0], u'#');
  char bytes[2] = {'#', '#'};
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"\u4E2D", 1, bytes, 2, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(bytes[0], '#');

  // Each call must fail with its own code.
  const struct {
    std::function<int()> call;
    DWORD error;
  } refusals[] = {
      {[&] { return MultiByteToWideChar(CP_UTF8, 0, "a", 0, out, 4); }, ERROR_INVALID_PARAMETER},
      {[&] { return MultiByteToWideChar(CP_UTF8, 0, nullptr, 1, out, 4); },
       ERROR_INVALID_PARAMETER},
      {[&] { return MultiByteToWideChar(CP_UTF8, 0, "a", 1, nullptr, 4); },
       ERROR_INVALID_PARAMETER},
      {[&] { return MultiByteToWideChar(CP_UTF8, MB_PRECOMPOSED, "a", 1, out, 4); },
       ERROR_INVALID_FLAGS},
      {[&] { return MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED | MB_COMPOSITE, "a", 1, out, 4); },
       ERROR_INVALID_FLAGS},
      {[&] { return MultiByteToWideChar(437, 0, "a", 1, out, 4); }, ERROR_INVALID_PARAMETER},
      {[&] { return WideCharToMultiByte(CP_UTF8, 0, u"a", 1, bytes, 2, "?", nullptr); },
       ERROR_INVALID_PARAMETER},
      {[&] {
         return WideCharToMultiByte(CP_UTF8, WC_NO_BEST_FIT_CHARS, u"a", 1, bytes, 2, nullptr,
                                    nullptr);
       },
       ERROR_INVALID_FLAGS},
      {[&] {
         return WideCharToMultiByte(CP_ACP, WC_ERR_INVALID_CHARS, u"a", 1, bytes, 2, nullptr,
                                    nullptr);
       },
       ERROR_INVALID_FLAGS},
  };
  for (size_t i = 0; i < std::size(refusals); ++i) {
    SetLastError(0);
    EXPECT_EQ(refusals[i].call(), 0) << i;
    EXPECT_EQ(GetLastError(), refusals[i].error) << i;
  }
}

TEST(AnsiCodePage, Windows1252Table) {
  EXPECT_EQ(GetACP(), 1252u);
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  const std::u16string wide = ToWide(CP_ACP, 0, all);
  ASSERT_EQ(wide.size(), 255u);
  EXPECT_EQ(wide[0x80 - 1], u'\u20AC');  // euro sign
  EXPECT_EQ(wide[0x8A - 1], u'\u0160');
  EXPECT_EQ(wide[0x9F - 1], u'\u0178');
  EXPECT_EQ(wide[0x81 - 1], u'\u0081');  // undefined bytes map to the C1 control
  EXPECT_EQ(wide[0x9D - 1], u'\u009D');
  EXPECT_EQ(wide[0xE9 - 1], u'\u00E9');
  // Every byte survives the round trip.
  EXPECT_EQ(ToBytes(CP_THREAD_ACP, 0, wide), all);
}

TEST(AnsiCodePage, UnmappableCharactersUseTheDefault) {
  char out[8] = {};
  BOOL usedDefault = FALSE;
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"a\u4E2Db", 3, out, 8, nullptr, &usedDefault), 3);
  EXPECT_EQ(std::string(out, 3), "a?b");
  EXPECT_TRUE(usedDefault);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"\u4E2D", 1, out, 8, "*", &usedDefault), 1);
  EXPECT_EQ(out[0], '*');
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"\u20AC", 1, out, 8, nullptr, &usedDefault), 1);
  EXPECT_EQ(out[0], '\x80');
  EXPECT_FALSE(usedDefault);
}

}  // namespace
