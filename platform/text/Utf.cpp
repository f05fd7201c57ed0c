#include "platform/text/Utf.h"

#include <array>

namespace machine::text {
namespace {

bool IsContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// Length of the sequence a lead byte starts and the range its second byte
// must fall in (which is what excludes overlongs, surrogates and values
// above U+10FFFF); 0 for a byte that cannot start a sequence.
struct Lead {
  int length;
  unsigned char low;
  unsigned char high;
};

Lead LeadOf(unsigned char b) {
  if (b >= 0xC2 && b <= 0xDF) return {2, 0x80, 0xBF};
  if (b == 0xE0) return {3, 0xA0, 0xBF};
  if (b == 0xED) return {3, 0x80, 0x9F};
  if (b >= 0xE1 && b <= 0xEF) return {3, 0x80, 0xBF};
  if (b == 0xF0) return {4, 0x90, 0xBF};
  if (b >= 0xF1 && b <= 0xF3) return {4, 0x80, 0xBF};
  if (b == 0xF4) return {4, 0x80, 0x8F};
  return {0, 0, 0};
}

void AppendCodePoint(char32_t cp, std::u16string& out) {
  if (cp < 0x10000) {
    out.push_back(static_cast<char16_t>(cp));
    return;
  }
  cp -= 0x10000;
  out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
  out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
}

void AppendUtf8(char32_t cp, std::string& out) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// 0x80-0x9F of Windows-1252; the rest of the code page is Latin-1.
constexpr std::array<char16_t, 32> kAnsiHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool AnsiByteOf(char16_t c, char& byte) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
    byte = static_cast<char>(c);
    return true;
  }
  for (size_t i = 0; i < kAnsiHigh.size(); ++i) {
    if (kAnsiHigh[i] == c) {
      byte = static_cast<char>(0x80 + i);
      return true;
    }
  }
  return false;
}

}  // namespace

bool DecodeUtf8(std::string_view in, std::u16string& out) {
  bool wellFormed = true;
  size_t i = 0;
  while (i < in.size()) {
    const auto b = static_cast<unsigned char>(in[i]);
    if (b < 0x80) {
      out.push_back(b);
      ++i;
      continue;
    }
    const Lead lead = LeadOf(b);
    size_t used = 1;
    bool ok = lead.length != 0;
    if (ok) {
      const bool secondOk = i + 1 < in.size() &&
                            static_cast<unsigned char>(in[i + 1]) >= lead.low &&
                            static_cast<unsigned char>(in[i + 1]) <= lead.high;
      ok = secondOk;
      if (ok) used = 2;
      while (ok && used < static_cast<size_t>(lead.length)) {
        if (i + used >= in.size() || !IsContinuation(static_cast<unsigned char>(in[i + used]))) {
          ok = false;
        } else {
          ++used;
        }
      }
    }
    if (!ok) {
      out.push_back(kReplacement);
      wellFormed = false;
      i += used;
      continue;
    }
    char32_t cp = b & (0xFF >> (lead.length + 1));
    for (size_t k = 1; k < used; ++k)
      cp = (cp << 6) | (static_cast<unsigned char>(in[i + k]) & 0x3F);
    AppendCodePoint(cp, out);
    i += used;
  }
  return wellFormed;
}

bool EncodeUtf8(std::u16string_view in, std::string& out) {
  bool wellFormed = true;
  for (size_t i = 0; i < in.size(); ++i) {
    char32_t c = in[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < in.size() && in[i + 1] >= 0xDC00 &&
        in[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (in[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = kReplacement;
      wellFormed = false;
    }
    AppendUtf8(c, out);
  }
  return wellFormed;
}

std::u16string DecodeAnsi(std::string_view in) {
  std::u16string out;
  out.reserve(in.size());
  for (const char ch : in) {
    const auto b = static_cast<unsigned char>(ch);
    out.push_back(b >= 0x80 && b <= 0x9F ? kAnsiHigh[b - 0x80] : b);
  }
  return out;
}

bool EncodeAnsi(std::u16string_view in, char fallback, std::string& out) {
  bool complete = true;
  for (const char16_t c : in) {
    char byte;
    if (!AnsiByteOf(c, byte)) {
      byte = fallback;
      complete = false;
    }
    out.push_back(byte);
  }
  return complete;
}

}  // namespace machine::text
