// Conversions shared by the code-page functions and the stand-in's own text
// helpers. Each reports whether the input was well-formed; ill-formed parts
// are replaced by U+FFFD either way.
#pragma once

#include <string>
#include <string_view>

namespace machine::text {

inline constexpr char16_t kReplacement = 0xFFFD;

// Decodes UTF-8, replacing each maximal ill-formed subpart (overlongs,
// encoded surrogates, values above U+10FFFF, truncated sequences) by U+FFFD.
bool DecodeUtf8(std::string_view in, std::u16string& out);
// Encodes UTF-16, replacing lone surrogates by U+FFFD.
bool EncodeUtf8(std::u16string_view in, std::string& out);

// Windows-1252. Every byte has a code unit (the five bytes 1252 leaves
// undefined map to the C1 controls of the same value, as Windows maps them);
// EncodeAnsi returns false when a code unit had no byte and `fallback` was used.
std::u16string DecodeAnsi(std::string_view in);
bool EncodeAnsi(std::u16string_view in, char fallback, std::string& out);

}  // namespace machine::text
