// The built-in schema of the application-host configuration: for the
// sections the system touches, which attributes each element has (their
// types and the defaults a read returns when the file leaves them out),
// which child elements it has, and how its collection is written (add
// element names, key attributes, merge order). Any other declared section
// is handled generically: its attributes are text and whatever the file
// holds is accepted.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace apphost {

enum class AttributeType { String, Bool, UInt, Int, Int64, Enum, Flags, TimeSpan };

struct EnumValue {
  std::string name;
  uint32_t value;
};

struct AttributeSchema {
  std::string name;
  AttributeType type = AttributeType::String;
  std::string defaultValue;       // as it would be written in the file
  std::vector<EnumValue> values;  // Enum and Flags
};

struct ElementSchema;

struct CollectionSchema {
  std::vector<std::string> addNames{"add"};  // the first is the default
  std::string removeName = "remove";
  std::string clearName = "clear";
  std::vector<std::string> keys;  // empty: no unique key
  // false: entries of a deeper level come before the inherited ones.
  bool mergeAppend = true;
  std::shared_ptr<const ElementSchema> entry;  // schema of every add element

  bool IsAddName(std::string_view tag) const;
  bool IsDirective(std::string_view tag) const;  // add, remove or clear
};

struct ElementSchema {
  std::string name;
  std::vector<AttributeSchema> attributes;
  std::vector<std::shared_ptr<const ElementSchema>> children;
  std::optional<CollectionSchema> collection;

  const AttributeSchema* Attribute(std::string_view attributeName) const;
  const ElementSchema* Child(std::string_view childName) const;
};

// Attributes that carry locking metadata rather than settings: they are
// reached through GetMetadata/SetMetadata and are never properties.
bool IsMetadataAttribute(std::string_view attributeName);

class AppHostSchema {
 public:
  // The schema of a section by its full name ("system.webServer/modules"),
  // or null for a section handled generically.
  static const ElementSchema* Section(std::string_view sectionName);
  // A collection as the generic handling sees it: add/remove/clear, no key.
  static const CollectionSchema& GenericCollection();
};

}  // namespace apphost
