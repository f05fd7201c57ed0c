// Package manifests: the JSON form of a package that `cvsp build` reads and
// `cvsp dump` writes.
//
//   {
//     "format_version": "2.0",                  optional, "major.minor" or the word
//     "root": {                                 the root node; a MAP named "SETUP"
//       "name": "SETUP",                        unless it says otherwise
//       "type": "MAP",
//       "children": {
//         "VERSION_STRING": "4.0.9",            a plain string is a STRING
//         "VERSION_NUMBER": 409,                a plain integer is a ULONG
//         "VERSION_DATE": {"type": "DATE", "value": "2010-01-01"},
//         "COMPONENTS": {"type": "LIST", "element_type": "MAP", "elements": [...]}
//       }
//     }
//   }
//
// Every node otherwise names its "type" (LONG ULONG LONGLONG ULONGLONG DOUBLE
// DATE TIME DATETIME BINARY STRING WSTRING MAP LIST) and carries its value:
//   numbers      "value": integer (DOUBLE: number, or "bits": 16 hex digits)
//   DATE         "value": "YYYY-MM-DD"; TIME "HH:MM:SS"; DATETIME "YYYY-MM-DDTHH:MM:SS"
//   STRING       "value": text whose characters are the bytes (U+0000-U+00FF),
//                or "hex": the bytes
//   WSTRING      "value": any text, or "hex": the UTF-16LE bytes
//   BINARY       "file": a path relative to the manifest, or "hex": the bytes;
//                the file is a regular one below the manifest's folder,
//                reached through no symbolic link, unless files are allowed
//                anywhere
//   MAP          "children": {name: node, ...}
//   LIST         "element_type": a type, "elements": [node, ...]; an empty
//                list may give its element type as a number (0-255)
// Byte, text and container nodes may add "compress": true to be stored
// zlib-compressed.
#pragma once

#include <cstdint>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>

#include "core/CSPBuffer.h"
#include "package/ComponentVariable.h"

namespace cvsp {

// A manifest that cannot be turned into a package; the text names the node.
class ManifestError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct PackageImage {
  uint32_t formatVersion = 0x20000;
  ComponentVariable root;
};

// "file" paths of BINARY nodes are relative to baseDir and stay below it
// unless `filesAnywhere`. Nodes nested deeper than the package decoder
// accepts (ComponentVariable::kNestingBound) are refused.
void ReadManifest(const nlohmann::json& manifest, const std::filesystem::path& baseDir,
                  PackageImage& image, bool filesAnywhere = false);

// Magic, version word and the root encoded with its name; nodes marked
// "compress" are stored deflated.
void EncodePackage(const PackageImage& image, CSPBuffer& out);

struct DumpOptions {
  // When set, BINARY values above inlineLimit bytes go to files in dataDir
  // and the manifest refers to them as dataRef + "/" + file name.
  std::filesystem::path dataDir;
  std::string dataRef;
  uint32_t inlineLimit = 64;
};

nlohmann::ordered_json DumpManifest(uint32_t formatVersion, const ComponentVariable& root,
                                    const DumpOptions& options);

// 8-bit package text for display and JSON: each byte is one character.
std::string Latin1ToUtf8(const char* bytes, uint32_t length);
std::string Latin1ToUtf8(const CSPString& text);

// "2.0" for 0x00020000.
std::string VersionText(uint32_t formatVersion);

}  // namespace cvsp
