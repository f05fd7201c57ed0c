#include "platform/text.h"

#include "platform/text/Utf.h"

namespace machine {
namespace {

bool Odd(char16_t c) { return (c & 1) != 0; }

char16_t UpperLatin(char16_t c) {
  if (c >= u'a' && c <= u'z') return c - 32;
  if ((c >= 0xE0 && c <= 0xFE && c != 0xF7)) return c - 32;
  if (c == 0xFF) return 0x178;
  if (c == 0xB5) return 0x39C;
  // Latin Extended-A pairs capital/small letters, but the parity flips at
  // U+0139 and again at U+0179; the dotted/dotless i pair has no partner.
  if (c >= 0x100 && c <= 0x12F && Odd(c)) return c - 1;
  if (c >= 0x132 && c <= 0x137 && Odd(c)) return c - 1;
  if (c >= 0x139 && c <= 0x148 && !Odd(c)) return c - 1;
  if (c >= 0x14A && c <= 0x177 && Odd(c)) return c - 1;
  if (c >= 0x179 && c <= 0x17E && !Odd(c)) return c - 1;
  return c;
}

char16_t UpperGreekCyrillic(char16_t c) {
  if (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) return c - 32;
  if (c == 0x3C2) return 0x3A3;
  if (c == 0x3AC) return 0x386;
  if (c >= 0x3AD && c <= 0x3AF) return c - 37;
  if (c == 0x3CC) return 0x38C;
  if (c == 0x3CD || c == 0x3CE) return c - 63;
  if (c >= 0x430 && c <= 0x44F) return c - 32;
  if (c >= 0x450 && c <= 0x45F) return c - 80;
  if (c >= 0x460 && c <= 0x481 && Odd(c)) return c - 1;
  if (c >= 0x48A && c <= 0x4BF && Odd(c)) return c - 1;
  if (c >= 0x4C1 && c <= 0x4CE && !Odd(c)) return c - 1;
  if (c == 0x4CF) return 0x4C0;
  if (c >= 0x4D0 && c <= 0x52F && Odd(c)) return c - 1;
  return c;
}

}  // namespace

std::u16string FromUtf8(std::string_view utf8) {
  std::u16string out;
  text::DecodeUtf8(utf8, out);
  return out;
}

std::string ToUtf8(std::u16string_view utf16) {
  std::string out;
  text::EncodeUtf8(utf16, out);
  return out;
}

std::u16string FromAnsi(std::string_view ansi) { return text::DecodeAnsi(ansi); }

std::string ToAnsi(std::u16string_view utf16) {
  std::string out;
  text::EncodeAnsi(utf16, '?', out);
  return out;
}

char16_t UpperCase(char16_t c) {
  if (c < 0x80) return c >= u'a' && c <= u'z' ? c - 32 : c;
  if (c < 0x180) return UpperLatin(c);
  if (c >= 0x370 && c < 0x530) return UpperGreekCyrillic(c);
  if (c >= 0xFF41 && c <= 0xFF5A) return c - 32;
  return c;
}

std::u16string UpperCase(std::u16string_view text) {
  std::u16string out(text);
  for (auto& c : out) c = UpperCase(c);
  return out;
}

int CompareNoCase(std::u16string_view a, std::u16string_view b) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    const char16_t x = UpperCase(a[i]);
    const char16_t y = UpperCase(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool EqualNoCase(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() && CompareNoCase(a, b) == 0;
}

}  // namespace machine
