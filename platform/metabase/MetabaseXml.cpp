#include "platform/metabase/MetabaseXml.h"

#include <cstdio>
#include <pugixml.hpp>
#include <sstream>

#include "platform/machine.h"
#include "platform/metabase/Iis6MetabaseXml.h"
#include "platform/metabase/MetabaseLayout.h"
#include "platform/metabase/MetabaseNames.h"
#include "platform/text.h"
#include "platform/text/XmlDocument.h"

namespace metabase {
namespace {

[[noreturn]] void Fail(const std::string& file, const std::string& what) {
  throw machine::MachineError(file + ": " + what);
}

// The file being read, for errors that name the line of an element.
struct Source {
  const std::string& file;
  std::string_view text;
  std::string Where(pugi::xml_node node) const {
    return file + ", line " +
           std::to_string(machine::LineAt(text, static_cast<size_t>(node.offset_debug())));
  }
};

// Plain decimal, as the file writes numbers.
bool ParseDwordText(const std::string& text, DWORD& value) {
  if (text.empty() || text.size() > 10) return false;
  unsigned long long parsed = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    parsed = parsed * 10 + static_cast<unsigned>(c - '0');
  }
  if (parsed > 0xFFFFFFFFull) return false;
  value = static_cast<DWORD>(parsed);
  return true;
}

void WriteValue(pugi::xml_node node, const Property& property) {
  switch (property.dataType) {
    case DWORD_METADATA:
      node.text().set(std::to_string(DecodeDword(property.data)).c_str());
      break;
    case MULTISZ_METADATA:
      for (const auto& s : DecodeMultiString(property.data)) {
        node.append_child("Value").text().set(machine::ToUtf8(s).c_str());
      }
      break;
    case BINARY_METADATA:
      node.text().set(HexText(property.data).c_str());
      break;
    default:
      node.text().set(machine::ToUtf8(DecodeString(property.data)).c_str());
      break;
  }
}

void WriteProperty(pugi::xml_node parent, const Property& property) {
  pugi::xml_node node = parent.append_child("Property");
  node.append_attribute("id").set_value(static_cast<unsigned int>(property.id));
  const std::string_view name = PropertyName(property.id);
  if (!name.empty()) node.append_attribute("name").set_value(std::string(name).c_str());
  node.append_attribute("type").set_value(DataTypeText(property.dataType).c_str());
  const std::string attributes = AttributesText(property.attributes);
  if (!attributes.empty()) node.append_attribute("attributes").set_value(attributes.c_str());
  node.append_attribute("userType").set_value(UserTypeText(property.userType).c_str());
  WriteValue(node, property);
}

void WriteKey(pugi::xml_node node, const Key& key) {
  for (const Property& property : key.Properties()) WriteProperty(node, property);
  for (const auto& child : key.Children()) {
    pugi::xml_node element = node.append_child("Key");
    element.append_attribute("name").set_value(machine::ToUtf8(child->Name()).c_str());
    WriteKey(element, *child);
  }
}

std::vector<uint8_t> ReadValue(pugi::xml_node node, DWORD dataType, const Source& file) {
  const std::string text = node.child_value();
  switch (dataType) {
    case DWORD_METADATA: {
      DWORD value = 0;
      if (!ParseDwordText(text, value)) {
        Fail(file.Where(node), "property " + std::string(node.attribute("id").value()) +
                                   ": not a DWORD: \"" + text + "\"");
      }
      return EncodeDword(value);
    }
    case MULTISZ_METADATA: {
      std::vector<std::u16string> strings;
      for (pugi::xml_node value : node.children("Value")) {
        strings.push_back(machine::FromUtf8(value.child_value()));
      }
      return EncodeMultiString(strings);
    }
    case BINARY_METADATA: {
      std::vector<uint8_t> bytes;
      if (!ParseHex(text, bytes)) {
        Fail(file.Where(node),
             "property " + std::string(node.attribute("id").value()) + ": bad hex data");
      }
      return bytes;
    }
    default:
      return EncodeString(machine::FromUtf8(text));
  }
}

Property ReadProperty(pugi::xml_node node, const Source& file) {
  Property property;
  const std::string id = node.attribute("id").value();
  bool ok = ParseDwordText(id, property.id);
  ok = ok && ParseDataType(node.attribute("type").value(), property.dataType);
  ok = ok && ParseAttributes(node.attribute("attributes").value(), property.attributes);
  ok = ok && ParseUserType(node.attribute("userType").as_string("0"), property.userType);
  if (!ok) Fail(file.Where(node), "property \"" + id + "\": bad id, type, attributes or user type");
  property.data = ReadValue(node, property.dataType, file);
  return property;
}

void ReadKey(pugi::xml_node node, Key& key, const Source& file) {
  for (pugi::xml_node child : node.children()) {
    if (child.type() != pugi::node_element) continue;
    const std::string tag = child.name();
    if (tag == "Property") {
      key.SetProperty(ReadProperty(child, file));
    } else if (tag == "Key") {
      const std::u16string name = machine::FromUtf8(child.attribute("name").value());
      if (name.empty() || name.size() >= METADATA_MAX_NAME_LEN ||
          name.find_first_of(u"/\\") != std::u16string::npos) {
        Fail(file.Where(child), "a key without a usable name");
      }
      if (key.FindChild(name) != nullptr) {
        Fail(file.Where(child), "key \"" + machine::ToUtf8(name) + "\" twice");
      }
      ReadKey(child, key.AddChild(name), file);
    } else {
      Fail(file.Where(child), "unexpected element <" + tag + ">");
    }
  }
}

}  // namespace

std::unique_ptr<Key> ParseMetabaseXml(std::string_view text, const std::string& nameForErrors) {
  if (auto root = ParseIis6Metabase(std::string(text), nameForErrors)) return root;
  pugi::xml_document document;
  machine::XmlFault fault;
  if (!machine::LoadXml(document, text,
                        (pugi::parse_default & ~pugi::parse_eol) | pugi::parse_ws_pcdata_single,
                        fault)) {
    Fail(nameForErrors + ", line " + std::to_string(fault.line), fault.description);
  }
  pugi::xml_node root = document.child("Metabase");
  if (!root) Fail(nameForErrors, "no <configuration> or <Metabase> element");
  auto key = std::make_unique<Key>(u"");
  ReadKey(root, *key, Source{nameForErrors, text});
  auto layout = std::make_shared<KeyLayout>();
  layout->legacyForm = true;
  key->SetLayout(layout);
  return key;
}

std::string SerializeMetabaseXml(const Key& root) {
  if (root.Layout() == nullptr || !root.Layout()->legacyForm) return SerializeIis6Metabase(root);
  pugi::xml_document document;
  pugi::xml_node declaration = document.append_child(pugi::node_declaration);
  declaration.append_attribute("version").set_value("1.0");
  declaration.append_attribute("encoding").set_value("UTF-8");
  WriteKey(document.append_child("Metabase"), root);
  std::ostringstream out;
  document.save(out, "  ", pugi::format_default, pugi::encoding_utf8);
  return out.str();
}

}  // namespace metabase
