// The smallest package that parses, 144 bytes: an empty "COMPONENTS" list
// and the three version keys (4.0.9, number 409, 1 January 2010).
#pragma once

#include <string>

#include "tests/package/Encoding.h"

namespace package_test {

inline Bytes MinimalPackage() {
  static const char* const kHex =
      "435653455455505043"
      "4b473a"        // "CVSETUPPCKG:"
      "00000200"      // format version 2.0
      "7a0000000e00"  // root: total 122, header 14
      "055345545550"
      "60"
      "0400"
      "00"
      "6c000000"  // "SETUP", MAP, 4 children, size 108
      "140000001400"
      "0a434f4d504f4e454e5453"
      "61"
      "60"
      "0000"
      "00"
      "00000000"
      "120000000e00"
      "0c56455253494f4e5f44415445"
      "20"
      "0101da07"
      "140000001000"
      "0e56455253494f4e5f4e554d424552"
      "02"
      "99010000"
      "1a0000001500"
      "0e56455253494f4e5f535452494e47"
      "41"
      "00"
      "05000000"
      "342e302e39";
  Bytes out;
  std::string hex(kHex);
  for (size_t i = 0; i < hex.size(); i += 2) {
    out.push_back(static_cast<unsigned char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return out;
}

}  // namespace package_test
