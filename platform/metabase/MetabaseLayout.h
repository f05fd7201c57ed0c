// How a key was written in the MetaBase.xml it was read from. Writing the
// file again puts back every piece whose meaning did not change exactly as
// it stood, so that a change shows as the lines it touched, and undoing it
// gives back the file byte for byte; pieces this stand-in cannot interpret
// (properties it knows no name of, other elements) are kept as they are.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/metabase/MetabaseKey.h"

namespace metabase {

// A name a key element can have: letters, digits, '_', '.' and '-', not
// starting with a digit, '.' or '-', at most 64 characters. The element name
// is the key's type, so a key read under any other name could not be
// written back as itself.
bool IsPlainTagName(std::u16string_view text);

struct LayoutItem {
  enum class Kind { Location, Named, Custom, Opaque };
  Kind kind = Kind::Opaque;
  std::string lead;         // the text in front of it (line break and indentation)
  std::string raw;          // the item itself, as written
  std::string valuePrefix;  // attributes: the raw text up to and including the opening quote
  char quote = '"';
  std::string name;  // attribute name, or a <Custom> element's Name
  Property read;     // Named and Custom: the property as read
};

struct KeyLayout {
  // The file was in the stand-in's earlier form (<Metabase> with <Key> and
  // <Property> elements); only the root carries this, and such a file is
  // written back in that form.
  bool legacyForm = false;
  // The file held no element for the key, only keys below it.
  bool implicit = false;

  std::string tag;  // element name as read; it is the key type
  bool hadKeyType = false;
  Property keyTypeRead;
  std::string location;                // the Location attribute, decoded
  std::vector<LayoutItem> attributes;  // in start-tag order, Location included
  std::string close;                   // after the last attribute, through ">" or "/>"
  bool selfClosing = false;
  std::vector<LayoutItem> body;  // child elements (<Custom> and any other)
  std::string tail;              // after the last child, up to the closing tag
  std::string closing;           // the closing tag as written
  std::string after;             // after the element, up to the next key's element

  // The root's layout also holds the text around the keys.
  std::string documentHead;
  std::string documentTail;
  std::string newline = "\n";
};

}  // namespace metabase
