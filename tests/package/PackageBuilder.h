// Builds packages for tests through the value tree: a root with the three
// version keys and an empty component list, and helpers to add records.
#pragma once

#include <initializer_list>
#include <string>
#include <utility>

#include "package/ComponentVariable.h"
#include "tests/package/Encoding.h"

namespace package_test {

inline ComponentVariable StringNode(const char* name, const char* value) {
  ComponentVariable node;
  node.SetString(name, value);
  return node;
}

inline ComponentVariable ULongNode(const char* name, uint32_t value) {
  ComponentVariable node;
  node.SetULong(name, value);
  return node;
}

inline ComponentVariable BinaryNode(const char* name, const std::string& bytes) {
  CSPBuffer buffer;
  buffer.Set(bytes.data(), uint32_t(bytes.size()));
  ComponentVariable node;
  node.SetBinary(name, buffer);
  return node;
}

inline ComponentVariable MapOf(const char* name,
                               std::initializer_list<ComponentVariable> children) {
  ComponentVariable map;
  map.SetMap(name);
  for (const ComponentVariable& child : children) map.AddToMap(name, child);
  return map;
}

// The three version keys of the 144-byte package and an empty component list.
inline ComponentVariable PackageRoot() {
  ComponentVariable components, date;
  components.SetList("COMPONENTS", VariableType::MAP);
  date.SetDate("VERSION_DATE", CSPDate(1, 1, 2010));
  return MapOf("SETUP", {components, date, ULongNode("VERSION_NUMBER", 409),
                         StringNode("VERSION_STRING", "4.0.9")});
}

inline void AddComponent(ComponentVariable& root, const ComponentVariable& record) {
  ComponentVariable list = *root.GetChild("COMPONENTS");
  list.AddToList("COMPONENTS", record);
  root.AddToMap("SETUP", list);
}

inline ComponentVariable ConditionRecord(uint32_t index, const char* name, uint32_t valueType,
                                         uint32_t number, const char* text, uint32_t compare,
                                         uint32_t execute) {
  return MapOf(
      "", {ULongNode("INDEX", index), StringNode("NAME", name), ULongNode("VALUE_TYPE", valueType),
           ULongNode("ULONG_VALUE", number), StringNode("STRING_VALUE", text),
           ULongNode("OPERATOR", compare), ULongNode("EXECUTE", execute)});
}

inline void AddCondition(ComponentVariable& root, const ComponentVariable& record) {
  const ComponentVariable* existing = root.GetChild("CONDITIONS");
  ComponentVariable list;
  if (existing != nullptr) list = *existing;
  list.AddToList("CONDITIONS", record);
  root.AddToMap("SETUP", list);
}

// A component record: "TYPE", "OPTIONS" and the action's fields.
inline ComponentVariable ComponentRecord(const char* type,
                                         std::initializer_list<ComponentVariable> fields,
                                         uint32_t options = 0) {
  ComponentVariable record = MapOf("", fields);
  record.AddToMap("", StringNode("TYPE", type));
  record.AddToMap("", ULongNode("OPTIONS", options));
  return record;
}

inline ComponentVariable FileRecord(const char* fileName) {
  return MapOf("", {StringNode("TYPE", "FILE"), ULongNode("OPTIONS", 0), StringNode("PATH", "bin"),
                    StringNode("FILENAME", fileName), BinaryNode("DATA", "content")});
}

inline Bytes PackageFile(const ComponentVariable& root, uint32_t version = 0x20000) {
  return PackageOf(Encoded(root, true), version);
}

}  // namespace package_test
