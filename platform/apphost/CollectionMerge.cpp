#include "platform/apphost/CollectionMerge.h"

#include <algorithm>
#include <unordered_map>

#include "platform/apphost/ConfigPath.h"
#include "platform/apphost/XmlText.h"
#include "platform/text.h"

namespace apphost {

namespace {

std::string KeyValue(pugi::xml_node node, const std::string& key, const CollectionSchema& schema) {
  const auto attribute = node.attribute(key.c_str());
  if (attribute) return AttributeText(attribute);
  const AttributeSchema* keySchema = schema.entry ? schema.entry->Attribute(key) : nullptr;
  return keySchema ? keySchema->defaultValue : std::string();
}

// The key values of an entry as Matches compares them (without regard to
// case), one string: entries that match have equal folded keys.
std::u16string FoldedKey(pugi::xml_node node, const CollectionSchema& schema) {
  std::u16string folded;
  for (const auto& name : schema.keys) {
    folded += machine::UpperCase(machine::FromUtf8(KeyValue(node, name, schema)));
    folded += u'\0';
  }
  return folded;
}

void ApplyLevel(const std::vector<Layer>& level, const CollectionSchema& schema,
                std::vector<MergedEntry>& inherited) {
  std::vector<MergedEntry> own;
  const bool keyed = !schema.keys.empty();
  // How many entries, inherited and own, carry each folded key: an entry
  // whose key is new, as nearly all are, then costs no scan of the
  // collection, which made reading a large one quadratic.
  std::unordered_map<std::u16string, size_t> keyCounts;
  if (keyed) {
    for (const auto& entry : inherited) ++keyCounts[FoldedKey(entry.node, schema)];
  }
  // `key` is the directive's folded key when the collection has keys.
  const auto removeMatching = [&](pugi::xml_node directive, const std::u16string& key) {
    const auto counted = keyed ? keyCounts.find(key) : keyCounts.end();
    if (keyed && (counted == keyCounts.end() || counted->second == 0)) return;
    const auto matches = [&](const MergedEntry& entry) {
      return CollectionMerge::Matches(entry.node, directive, schema);
    };
    const size_t before = inherited.size() + own.size();
    inherited.erase(std::remove_if(inherited.begin(), inherited.end(), matches), inherited.end());
    own.erase(std::remove_if(own.begin(), own.end(), matches), own.end());
    // Whatever matched carries the directive's folded key.
    if (keyed) counted->second -= before - (inherited.size() + own.size());
  };
  for (const auto& layer : level) {
    for (auto child : layer.node.children()) {
      if (child.type() != pugi::node_element) continue;
      const std::string_view tag = child.name();
      if (tag == schema.clearName) {
        inherited.clear();
        own.clear();
        keyCounts.clear();
      } else if (tag == schema.removeName) {
        removeMatching(child, keyed ? FoldedKey(child, schema) : std::u16string());
      } else if (schema.IsAddName(tag)) {
        // A repeated key is an error to IIS; reading goes on with the later one.
        if (keyed) {
          std::u16string key = FoldedKey(child, schema);
          removeMatching(child, key);
          ++keyCounts[key];
        }
        own.push_back({child, layer.location});
      }
    }
  }
  if (schema.mergeAppend) {
    inherited.insert(inherited.end(), own.begin(), own.end());
  } else {
    own.insert(own.end(), inherited.begin(), inherited.end());
    inherited = std::move(own);
  }
}

}  // namespace

std::vector<MergedEntry> CollectionMerge::Merge(const std::vector<Layer>& layers,
                                                const CollectionSchema& schema) {
  std::vector<MergedEntry> merged;
  size_t start = 0;
  while (start < layers.size()) {
    size_t end = start + 1;
    while (end < layers.size() && SameLocation(layers[end].location, layers[start].location)) ++end;
    ApplyLevel(std::vector<Layer>(layers.begin() + start, layers.begin() + end), schema, merged);
    start = end;
  }
  return merged;
}

std::vector<std::pair<std::string, std::string>> CollectionMerge::KeyOf(
    pugi::xml_node entry, const CollectionSchema& schema) {
  std::vector<std::pair<std::string, std::string>> key;
  if (!schema.keys.empty()) {
    for (const auto& name : schema.keys) key.emplace_back(name, KeyValue(entry, name, schema));
    return key;
  }
  if (entry.attribute("name")) return {{"name", AttributeText(entry, "name")}};
  for (auto attribute : entry.attributes()) {
    if (!IsMetadataAttribute(attribute.name()))
      key.emplace_back(attribute.name(), AttributeText(attribute));
  }
  return key;
}

bool CollectionMerge::Matches(pugi::xml_node entry, pugi::xml_node directive,
                              const CollectionSchema& schema) {
  if (!schema.keys.empty()) {
    for (const auto& name : schema.keys) {
      if (!EqualNoCaseUtf8(KeyValue(entry, name, schema), KeyValue(directive, name, schema))) {
        return false;
      }
    }
    return true;
  }
  bool any = false;
  for (auto attribute : directive.attributes()) {
    if (IsMetadataAttribute(attribute.name())) continue;
    any = true;
    if (!EqualNoCaseUtf8(AttributeText(entry, attribute.name()), AttributeText(attribute)))
      return false;
  }
  return any;
}

pugi::xml_node CollectionMerge::InsertionPoint(pugi::xml_node owner,
                                               const CollectionSchema& schema) {
  pugi::xml_node lastDirective;
  pugi::xml_node firstOther;
  for (auto child : owner.children()) {
    if (child.type() != pugi::node_element) continue;
    if (schema.IsDirective(child.name())) {
      lastDirective = child;
    } else if (!firstOther) {
      firstOther = child;
    }
  }
  if (!lastDirective) return firstOther;
  for (auto next = lastDirective.next_sibling(); next; next = next.next_sibling()) {
    if (next.type() == pugi::node_element) return next;
  }
  return {};
}

}  // namespace apphost
