// Readable text of either string class for test expectations: ASCII as it
// is, anything else as \u{XXXX}, so a failing comparison shows the units.
#pragma once

#include <cstdio>
#include <string>

#include "core/CSPString.h"

template <class S>
std::string TextOf(const S& text) {
  std::string out;
  for (uint32_t i = 0; i < text.GetLength(); ++i) {
    const uint32_t unit = static_cast<std::make_unsigned_t<typename S::Char>>(text.GetAt(i));
    if (unit >= 0x20 && unit < 0x7F) {
      out += static_cast<char>(unit);
    } else {
      char escaped[16];
      std::snprintf(escaped, sizeof escaped, "\\u{%04X}", unit);
      out += escaped;
    }
  }
  return out;
}
