// An element of the configuration as a caller sees it from one location:
// a section (merged over the server level and the location tags above the
// location), a child element of a section, a collection entry, an element
// inside an entry, or a new entry not yet added to its collection. Reads
// lay the levels over one another and fall back to the schema's defaults;
// writes go to the caller's own level, copying an inherited entry down
// first, as IIS does.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "platform/apphost/AppHostSchema.h"
#include "platform/apphost/ConfigStore.h"
#include "platform/win.h"

namespace apphost {

class ConfigElement;
using ConfigElementPtr = std::shared_ptr<ConfigElement>;

// One level's element: its node and the location it is set at.
struct Layer {
  pugi::xml_node node;
  std::string location;
};

class ConfigElement : public std::enable_shared_from_this<ConfigElement> {
 public:
  enum class Kind { Section, SectionChild, Entry, EntryChild, Detached };

  static ConfigElementPtr Section(std::shared_ptr<ConfigStore> store,
                                  const std::string& sectionName, const std::string& location);
  // An entry of `owner`'s collection, found in the file.
  static ConfigElementPtr Entry(const ConfigElementPtr& owner, pugi::xml_node node,
                                const ElementSchema* schema);
  // A new entry for `owner`'s collection, held apart until it is added.
  static ConfigElementPtr Detached(const ConfigElementPtr& owner, const std::string& name,
                                   const ElementSchema* schema);

  Kind GetKind() const { return kind_; }
  const std::string& Name() const { return name_; }
  const ElementSchema* Schema() const { return schema_; }
  const std::string& Location() const { return location_; }
  ConfigStore& Store() const { return *store_; }
  const std::shared_ptr<ConfigStore>& StorePtr() const { return store_; }
  // S_OK, or the HRESULT of ERROR_NOT_FOUND once the element was deleted.
  HRESULT Status() const;

  // Levels, shallowest first; empty when nothing is set anywhere.
  std::vector<Layer> Layers() const;
  // The node to change at the caller's own level, created when missing.
  HRESULT WritableNode(pugi::xml_node& node);

  // Properties.
  HRESULT CheckProperty(const std::string& name, const AttributeSchema*& schema) const;
  std::optional<std::string> ExplicitValue(const std::string& name) const;
  std::string EffectiveValue(const std::string& name, const AttributeSchema* schema) const;
  HRESULT SetValue(const std::string& name, const std::string& text);
  HRESULT ClearValue(const std::string& name);
  std::vector<std::string> PropertyNames() const;

  // Child elements and the collection.
  HRESULT Child(const std::string& name, ConfigElementPtr& child);
  std::vector<std::string> ChildNames() const;
  // The collection's schema, or null when the element has none.
  const CollectionSchema* Collection() const;

  HRESULT GetMetadata(const std::string& name, VARIANT* value) const;
  HRESULT SetMetadata(const std::string& name, const VARIANT& value);

  // Removes what this level says about the element: a section or child
  // element reverts to what it inherits; a collection entry leaves the
  // collection (an inherited one through a <remove> at this level).
  HRESULT Clear();

  // Used by the collection when it adds a detached entry.
  pugi::xml_node DetachedNode() const;
  void Attach(const ConfigElementPtr& owner);
  const ConfigElementPtr& Owner() const { return owner_; }

 private:
  ConfigElement(Kind kind, std::shared_ptr<ConfigStore> store, std::string name,
                const ElementSchema* schema, std::string location);

  bool IsTopEntry() const;
  bool IsInherited() const;
  HRESULT CopyDown();
  HRESULT ClearEntry();
  HRESULT ClearOwnNodes();
  std::vector<Layer> OwnLayers() const;
  bool IsDirective(std::string_view tag) const;

  Kind kind_;
  std::shared_ptr<ConfigStore> store_;
  std::string name_;
  const ElementSchema* schema_;
  std::string location_;              // the location the caller looks from
  std::string section_;               // Section
  ConfigElementPtr parent_;           // SectionChild, EntryChild
  ConfigElementPtr owner_;            // Entry, Detached: the element whose collection holds it
  std::shared_ptr<NodeToken> token_;  // Entry, Detached
  std::map<std::string, std::string> otherMetadata_;
};

// The location tag (normalised path) an element of the file sits in; "" at
// the server level.
std::string LocationOfNode(pugi::xml_node node);

}  // namespace apphost
