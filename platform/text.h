// Text helpers of the Windows stand-in: UTF-8 <-> UTF-16 for host names and
// tool arguments, and the case folding Windows applies to file names,
// environment names and registry keys. Not part of the Windows API: code
// outside platform/ and tools/ converts through MultiByteToWideChar.
#pragma once

#include <string>
#include <string_view>

namespace machine {

// Ill-formed input (bad UTF-8, lone surrogates) becomes U+FFFD, as the
// Windows conversions do without their error flags.
std::u16string FromUtf8(std::string_view utf8);
std::string ToUtf8(std::u16string_view utf16);

// Windows-1252, the simulated server's ANSI code page. Code units without a
// 1252 byte become '?'.
std::u16string FromAnsi(std::string_view ansi);
std::string ToAnsi(std::u16string_view utf16);

// Simple (one-to-one) upper-casing of every code unit by the Unicode
// character tables: what Windows uses to compare file, registry and
// environment names. Code units without an upper-case form, and surrogates,
// are returned unchanged.
char16_t UpperCase(char16_t c);
std::u16string UpperCase(std::u16string_view text);
bool EqualNoCase(std::u16string_view a, std::u16string_view b);
// Negative, zero or positive, comparing the upper-cased code units.
int CompareNoCase(std::u16string_view a, std::u16string_view b);
// Whether `pattern` takes all of `text`: '*' takes any run of code units,
// '?' exactly one, anything else itself (upper-cased first with
// `ignoreCase`). Costs at most text times pattern, however many stars.
bool MatchesWildcard(std::u16string_view text, std::u16string_view pattern, bool ignoreCase);

}  // namespace machine
