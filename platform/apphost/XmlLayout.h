// Editing an XML tree the way a person would edit the file: new elements
// take the indentation of their siblings (or one step more than their
// parent), removed elements take their indentation with them, so that a
// change shows in a diff as the lines it touched and nothing else.
#pragma once

#include <pugixml.hpp>
#include <string>

namespace apphost {

struct XmlStyle {
  bool pretty = true;          // the file puts elements on lines of their own
  std::string newline = "\n";  // "\r\n" for files written on Windows
  std::string indentUnit = "    ";
};

class XmlLayout {
 public:
  explicit XmlLayout(const XmlStyle& style) : style_(style) {}

  // Inserts a new element before `before`, or after the last element or
  // comment of `parent` when `before` is null.
  pugi::xml_node InsertElement(pugi::xml_node parent, pugi::xml_node before,
                               const char* name) const;
  // The same with a deep copy of `source`, re-indented for its new place.
  pugi::xml_node InsertCopy(pugi::xml_node parent, pugi::xml_node before,
                            pugi::xml_node source) const;
  // Removes the element and the indentation in front of it.
  static void Remove(pugi::xml_node node);

  static bool IsBlank(pugi::xml_node node);  // whitespace-only text
  // Whether the element holds anything but whitespace.
  static bool HasContent(pugi::xml_node node);

 private:
  pugi::xml_node Place(pugi::xml_node parent, pugi::xml_node before, pugi::xml_node created) const;
  static std::string IndentOf(pugi::xml_node node);
  std::string LineBreakFor(pugi::xml_node sibling, pugi::xml_node parent) const;
  static void Reindent(pugi::xml_node copy, const std::string& from, const std::string& to);

  const XmlStyle& style_;
};

}  // namespace apphost
