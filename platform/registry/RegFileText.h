// The text syntax of registry export files: the hives of an image are kept
// in it, and `reg export` / `reg import` speak it.
//
//   Windows Registry Editor Version 5.00      (or REGEDIT4)
//
//   [HKEY_LOCAL_MACHINE\SOFTWARE\Example]     a key, created when missing
//   [-HKEY_LOCAL_MACHINE\SOFTWARE\Old]        a key deleted with its subtree
//   @="default value"                         REG_SZ, stored with its zero
//   "Count"=dword:0000002a                    REG_DWORD
//   "Blob"=hex:01,02,ff                       REG_BINARY
//   "Path"=hex(2):25,00,...                   any other type by number, data
//     as UTF-16LE bytes; a line ending in a backslash continues on the next
//   "Gone"=-                                  a value deleted
//   ; comment
//
// Quoted names and strings escape '\' and '"' with a backslash. Names may
// also use \r and \n, which the writer needs for names with line breaks (the
// Windows editor never writes those); string data holding line breaks or
// inner zeros is written as hex(1) instead, which every reader takes.
// A name holding half of a surrogate pair without the other half cannot be
// UTF-8: in a quoted name that code unit is written \uD800 (four hex
// digits), in a key line \\uD800, a doubled separator no key path has.
// Both escapes stand only for such units; every other name is written as
// it is. Exports carry the same escapes, which the Windows editor does not
// know.
// Reading accepts UTF-16LE with a byte-order mark (what the Windows editor
// writes), UTF-8 with or without one, and REGEDIT4 files in the ANSI code
// page, whose hex(1), hex(2) and hex(7) data are ANSI bytes. A UTF-8 file
// with bytes that are not UTF-8, and names holding a zero character, are
// refused with the line: neither could be written back as read.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry/RegistryTree.h"

namespace machine::registry {

struct RegFileValue {
  std::u16string name;
  bool remove = false;
  uint32_t type = 0;
  std::vector<uint8_t> data;
  int line = 0;
};

struct RegFileKey {
  std::u16string path;  // as written, starting with the root key's name
  bool remove = false;
  std::vector<RegFileValue> values;
  int line = 0;
};

struct RegFile {
  int version = 5;  // 4 for REGEDIT4
  std::vector<RegFileKey> keys;
};

inline constexpr std::u16string_view kRegFileHeader = u"Windows Registry Editor Version 5.00";

// Throws MachineError naming fileNameForErrors and the line.
RegFile ParseRegFile(std::string_view bytes, const std::string& fileNameForErrors);

// Appends "[path]" and the values of `node`, then the same for every key
// below it, each section followed by a blank line. `newline` is "\n" for the
// image's hives and "\r\n" for exports meant for Windows.
void AppendKeyText(const RegNode& node, const std::u16string& path, std::u16string_view newline,
                   std::u16string& out);
// The text of one value line (without line end), wrapped as the Windows
// editor wraps long hex data.
std::u16string ValueLine(const RegValue& value, std::u16string_view newline);

// "[path]", or "[-path]" for a key deleted with its subtree.
std::u16string KeyLine(std::u16string_view path, bool remove);
// The line that deletes a value: "name"=-, or @=- for the default value.
std::u16string ValueRemovalLine(std::u16string_view name);

// UTF-16LE with a byte-order mark: the encoding of files for Windows.
std::string EncodeUtf16File(std::u16string_view text);

}  // namespace machine::registry
