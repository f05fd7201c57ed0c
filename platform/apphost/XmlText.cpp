#include "platform/apphost/XmlText.h"

#include <cstdlib>

namespace apphost {

namespace {

void AppendUtf8(uint32_t code, std::string& out) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// Decodes one reference starting at raw[at] == '&'; false when it is none.
bool DecodeReference(std::string_view raw, size_t& at, std::string& out) {
  const size_t end = raw.find(';', at);
  if (end == std::string_view::npos || end - at > 12) return false;
  const std::string name(raw.substr(at + 1, end - at - 1));
  static const struct {
    const char* name;
    char text;
  } kNamed[] = {{"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
  for (const auto& named : kNamed) {
    if (name == named.name) {
      out += named.text;
      at = end + 1;
      return true;
    }
  }
  if (name.size() < 2 || name[0] != '#') return false;
  const bool hex = name[1] == 'x' || name[1] == 'X';
  const std::string digits = name.substr(hex ? 2 : 1);
  if (digits.empty()) return false;
  char* stop = nullptr;
  const unsigned long code = std::strtoul(digits.c_str(), &stop, hex ? 16 : 10);
  if (*stop != 0 || code == 0 || code > 0x10FFFF) return false;
  AppendUtf8(static_cast<uint32_t>(code), out);
  at = end + 1;
  return true;
}

}  // namespace

std::string DecodeXml(std::string_view raw) {
  std::string out;
  out.reserve(raw.size());
  size_t at = 0;
  while (at < raw.size()) {
    if (raw[at] == '&' && DecodeReference(raw, at, out)) continue;
    out += raw[at++];
  }
  return out;
}

std::string EncodeAttribute(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\r':
        out += "&#xD;";
        break;
      case '\n':
        out += "&#xA;";
        break;
      case '\t':
        out += "&#x9;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string AttributeText(pugi::xml_attribute attribute) { return DecodeXml(attribute.value()); }

std::string AttributeText(pugi::xml_node node, const char* name) {
  return AttributeText(node.attribute(name));
}

void SetAttributeText(pugi::xml_node node, const std::string& name, const std::string& text) {
  auto attribute = node.attribute(name.c_str());
  if (!attribute) attribute = node.append_attribute(name.c_str());
  attribute.set_value(EncodeAttribute(text).c_str());
}

}  // namespace apphost
