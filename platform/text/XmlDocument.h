// XML files of the stand-in's own stores (applicationHost.config,
// MetaBase.xml) read with pugixml under a nesting bound. pugixml itself
// parses without recursion, but the readers that walk the tree afterwards
// recurse, so a hostile file nested thousands deep would exhaust the stack:
// a document deeper than kXmlNestingBound elements is refused before any
// reader sees it. Real IIS files stay below 20 levels; the bound is the
// one the package decoder applies to package trees.
#pragma once

#include <cstddef>
#include <pugixml.hpp>
#include <string>
#include <string_view>

namespace machine {

inline constexpr unsigned kXmlNestingBound = 64;

struct XmlFault {
  size_t line = 0;  // 1-based line of `text` where the fault is
  std::string description;
  bool wellFormed = false;  // the text is XML, but not what the reader takes
};

// Parses `text` (UTF-8) into `document`. False with the fault for text that
// is not well-formed or nests elements deeper than kXmlNestingBound.
bool LoadXml(pugi::xml_document& document, std::string_view text, unsigned options,
             XmlFault& fault);

// The 1-based line of the byte at `offset` (clamped to the text).
size_t LineAt(std::string_view text, size_t offset);

}  // namespace machine
