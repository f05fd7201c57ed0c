#include "platform/text.h"

#include <locale.h>
#include <wctype.h>

#include <array>
#include <cstdint>

#include "platform/text/Utf.h"

namespace machine {
namespace {

// The simple upper-case mapping of every UTF-16 code unit, taken once from
// the C library's locale-independent "C.UTF-8" character tables (built into
// the C library), never from the process's locale. Mappings that would
// turn a non-ASCII letter into an ASCII one (dotless i, long s) are left
// out, so that such names never match plain ASCII names.
class UpperTable {
 public:
  UpperTable() {
    for (uint32_t c = 0; c < kSize; ++c) table_[c] = static_cast<char16_t>(c);
    for (char16_t c = u'a'; c <= u'z'; ++c) table_[c] = static_cast<char16_t>(c - 32);
    locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    if (utf8 == static_cast<locale_t>(nullptr)) return;  // ASCII only
    for (uint32_t c = 0x80; c < kSize; ++c) {
      if (c >= 0xD800 && c <= 0xDFFF) continue;
      const wint_t upper = towupper_l(static_cast<wint_t>(c), utf8);
      if (upper >= 0x80 && upper < kSize) table_[c] = static_cast<char16_t>(upper);
    }
    freelocale(utf8);
  }
  char16_t operator[](char16_t c) const { return table_[c]; }

 private:
  static constexpr uint32_t kSize = 0x10000;
  std::array<char16_t, kSize> table_;
};

const UpperTable& Upper() {
  static const UpperTable table;
  return table;
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
  if (c < 0x80) return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c;
  return Upper()[c];
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

// Only the last star met is ever revisited: whatever an earlier star took, a
// later one can take instead.
bool MatchesWildcard(std::u16string_view text, std::u16string_view pattern, bool ignoreCase) {
  const auto same = [ignoreCase](char16_t a, char16_t b) {
    return a == b || (ignoreCase && UpperCase(a) == UpperCase(b));
  };
  constexpr size_t kNone = std::u16string_view::npos;
  size_t t = 0;
  size_t p = 0;
  size_t star = kNone;
  size_t resume = 0;
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p] == u'*') {
      star = p++;
      resume = t;
    } else if (p < pattern.size() && (pattern[p] == u'?' || same(pattern[p], text[t]))) {
      ++t;
      ++p;
    } else if (star != kNone) {
      p = star + 1;
      t = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == u'*') ++p;
  return p == pattern.size();
}

bool EqualNoCase(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() && CompareNoCase(a, b) == 0;
}

}  // namespace machine
