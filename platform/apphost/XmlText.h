// Attribute text. The tree keeps attributes exactly as the file spells them
// (entities and character references undecoded), so that untouched ones are
// written back byte for byte; these helpers decode on reading and encode
// on writing.
#pragma once

#include <pugixml.hpp>
#include <string>
#include <string_view>

namespace apphost {

std::string DecodeXml(std::string_view raw);
std::string EncodeAttribute(std::string_view text);

std::string AttributeText(pugi::xml_attribute attribute);
std::string AttributeText(pugi::xml_node node, const char* name);
// Sets the attribute, appending it after the element's others when new.
void SetAttributeText(pugi::xml_node node, const std::string& name, const std::string& text);

}  // namespace apphost
