// The shortcut file format (.lnk): a 76-byte header, an optional item ID
// list, the link information (the target's local or network path), the
// string data and extra data blocks, all little-endian.
//
// Encoding writes the header, link information with both the ANSI and the
// Unicode path, and Unicode strings; it writes no item ID list and no extra
// data. Decoding reads what Windows writes (item ID lists and extra data
// are skipped; ANSI strings are read as Windows-1252).
#pragma once

#include <string>
#include <string_view>

#include "platform/win.h"

namespace shell {

struct LinkFile {
  std::u16string target;  // C:\x\y.exe or \\SERVER\SHARE\x\y.exe; empty: none
  std::u16string description;
  std::u16string relativePath;
  std::u16string workingDirectory;
  std::u16string arguments;
  std::u16string iconLocation;
  int iconIndex = 0;
  int showCommand = 1;  // SW_SHOWNORMAL
  WORD hotkey = 0;
  // The target as it was when the link was saved.
  DWORD fileAttributes = 0;
  FILETIME creationTime{};
  FILETIME accessTime{};
  FILETIME writeTime{};
  DWORD fileSize = 0;
};

std::string EncodeLinkFile(const LinkFile& link);
// False for bytes that are not a shortcut file (wrong header size or class,
// a structure that runs past the end).
bool DecodeLinkFile(std::string_view bytes, LinkFile& link);

}  // namespace shell
