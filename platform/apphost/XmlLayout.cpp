#include "platform/apphost/XmlLayout.h"

namespace apphost {

namespace {

bool IsMarkup(pugi::xml_node node) {
  return node.type() == pugi::node_element || node.type() == pugi::node_comment;
}

pugi::xml_node LastMarkup(pugi::xml_node parent) {
  for (auto child = parent.last_child(); child; child = child.previous_sibling()) {
    if (IsMarkup(child)) return child;
  }
  return {};
}

}  // namespace

bool XmlLayout::IsBlank(pugi::xml_node node) {
  if (node.type() != pugi::node_pcdata) return false;
  for (const char* c = node.value(); *c; ++c) {
    if (*c != ' ' && *c != '\t' && *c != '\r' && *c != '\n') return false;
  }
  return true;
}

bool XmlLayout::HasContent(pugi::xml_node node) {
  for (auto child = node.first_child(); child; child = child.next_sibling()) {
    if (!IsBlank(child)) return true;
  }
  return false;
}

// The indentation of an element: what follows the last line break of the
// whitespace in front of it.
std::string XmlLayout::IndentOf(pugi::xml_node node) {
  const auto previous = node.previous_sibling();
  if (!IsBlank(previous)) return {};
  const std::string text = previous.value();
  const size_t lineBreak = text.find_last_of('\n');
  return lineBreak == std::string::npos ? std::string() : text.substr(lineBreak + 1);
}

// The whitespace to put in front of a new element next to `sibling`: the
// sibling's own, or a fresh line one step deeper than the parent.
std::string XmlLayout::LineBreakFor(pugi::xml_node sibling, pugi::xml_node parent) const {
  if (sibling && IsBlank(sibling.previous_sibling())) return sibling.previous_sibling().value();
  return style_.newline + IndentOf(parent) + style_.indentUnit;
}

pugi::xml_node XmlLayout::Place(pugi::xml_node parent, pugi::xml_node before,
                                pugi::xml_node created) const {
  if (!style_.pretty) return created;
  if (before) {
    // [ws][new][ws'][before]: the new element takes before's indentation.
    const std::string space = LineBreakFor(before, parent);
    parent.insert_child_before(pugi::node_pcdata, before).set_value(space.c_str());
    return created;
  }
  const auto last = created.previous_sibling();
  if (last && IsMarkup(last)) {
    parent.insert_child_before(pugi::node_pcdata, created)
        .set_value(LineBreakFor(last, parent).c_str());
    return created;
  }
  // The first element in the parent: indent it one step, and put the
  // closing tag back on a line of its own.
  parent.insert_child_before(pugi::node_pcdata, created)
      .set_value((style_.newline + IndentOf(parent) + style_.indentUnit).c_str());
  if (!created.next_sibling()) {
    parent.append_child(pugi::node_pcdata).set_value((style_.newline + IndentOf(parent)).c_str());
  }
  return created;
}

pugi::xml_node XmlLayout::InsertElement(pugi::xml_node parent, pugi::xml_node before,
                                        const char* name) const {
  pugi::xml_node created;
  if (before) {
    created = parent.insert_child_before(name, before);
  } else if (const auto last = LastMarkup(parent)) {
    created = parent.insert_child_after(name, last);
  } else {
    created = IsBlank(parent.first_child()) && !parent.first_child().next_sibling()
                  ? parent.insert_child_before(name, parent.first_child())
                  : parent.append_child(name);
  }
  return Place(parent, before, created);
}

pugi::xml_node XmlLayout::InsertCopy(pugi::xml_node parent, pugi::xml_node before,
                                     pugi::xml_node source) const {
  const std::string sourceIndent = IndentOf(source);
  pugi::xml_node created;
  if (before) {
    created = parent.insert_copy_before(source, before);
  } else if (const auto last = LastMarkup(parent)) {
    created = parent.insert_copy_after(source, last);
  } else {
    created = IsBlank(parent.first_child()) && !parent.first_child().next_sibling()
                  ? parent.insert_copy_before(source, parent.first_child())
                  : parent.append_copy(source);
  }
  Place(parent, before, created);
  if (style_.pretty) Reindent(created, sourceIndent, IndentOf(created));
  return created;
}

// Shifts the line indentation inside a copied element from its old depth to
// its new one.
void XmlLayout::Reindent(pugi::xml_node copy, const std::string& from, const std::string& to) {
  if (from == to) return;
  for (auto node = copy.first_child(); node; node = node.next_sibling()) {
    if (IsBlank(node)) {
      std::string text = node.value();
      const size_t lineBreak = text.find_last_of('\n');
      if (lineBreak == std::string::npos) continue;
      std::string indent = text.substr(lineBreak + 1);
      indent =
          indent.compare(0, from.size(), from) == 0 ? to + indent.substr(from.size()) : to + indent;
      node.set_value((text.substr(0, lineBreak + 1) + indent).c_str());
    } else if (node.type() == pugi::node_element) {
      Reindent(node, from, to);
    }
  }
}

void XmlLayout::Remove(pugi::xml_node node) {
  auto parent = node.parent();
  const auto previous = node.previous_sibling();
  if (IsBlank(previous)) parent.remove_child(previous);
  parent.remove_child(node);
}

}  // namespace apphost
