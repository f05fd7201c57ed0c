#include "platform/text/XmlDocument.h"

#include <algorithm>

namespace machine {
namespace {

// The first element nested deeper than the bound, walked without recursion;
// null when there is none.
pugi::xml_node TooDeep(const pugi::xml_document& document) {
  unsigned depth = 0;
  pugi::xml_node node = document.first_child();
  while (node) {
    if (node.type() == pugi::node_element) {
      if (++depth > kXmlNestingBound) return node;
      if (pugi::xml_node child = node.first_child()) {
        node = child;
        continue;
      }
      --depth;
    }
    // Up until there is a next sibling, leaving the elements passed.
    while (!node.next_sibling()) {
      node = node.parent();
      if (!node || node.type() == pugi::node_document) return {};
      --depth;
    }
    node = node.next_sibling();
  }
  return {};
}

}  // namespace

size_t LineAt(std::string_view text, size_t offset) {
  const size_t end = std::min(offset, text.size());
  return 1 + static_cast<size_t>(std::count(text.begin(), text.begin() + end, '\n'));
}

bool LoadXml(pugi::xml_document& document, std::string_view text, unsigned options,
             XmlFault& fault) {
  const pugi::xml_parse_result parsed =
      document.load_buffer(text.data(), text.size(), options, pugi::encoding_utf8);
  if (!parsed) {
    fault.line = LineAt(text, static_cast<size_t>(std::max<ptrdiff_t>(parsed.offset, 0)));
    fault.description = parsed.description();
    return false;
  }
  if (const pugi::xml_node deep = TooDeep(document)) {
    fault.line = LineAt(text, static_cast<size_t>(std::max<ptrdiff_t>(deep.offset_debug(), 0)));
    fault.description =
        "Elements nested deeper than " + std::to_string(kXmlNestingBound) + " levels";
    fault.wellFormed = true;
    document.reset();
    return false;
  }
  return true;
}

}  // namespace machine
