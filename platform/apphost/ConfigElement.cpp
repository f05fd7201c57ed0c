#include "platform/apphost/ConfigElement.h"

#include <algorithm>

#include "platform/apphost/AttributeValue.h"
#include "platform/apphost/CollectionMerge.h"
#include "platform/apphost/ConfigPath.h"
#include "platform/apphost/XmlText.h"
#include "platform/text.h"

namespace apphost {

namespace {

HRESULT NotFound() { return HRESULT_FROM_WIN32(ERROR_NOT_FOUND); }
HRESULT InvalidIndex() { return HRESULT_FROM_WIN32(ERROR_INVALID_INDEX); }

bool Contains(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

std::string LastSegment(const std::string& sectionName) {
  const size_t slash = sectionName.find_last_of('/');
  return slash == std::string::npos ? sectionName : sectionName.substr(slash + 1);
}

}  // namespace

std::string LocationOfNode(pugi::xml_node node) {
  pugi::xml_node root = node.root().first_child();
  while (root && root.type() != pugi::node_element) root = root.next_sibling();
  for (; node; node = node.parent()) {
    if (node.parent() == root && std::string_view(node.name()) == "location") {
      return NormalizeLocation(AttributeText(node, "path"));
    }
  }
  return {};
}

ConfigElement::ConfigElement(Kind kind, std::shared_ptr<ConfigStore> store, std::string name,
                             const ElementSchema* schema, std::string location)
    : kind_(kind),
      store_(std::move(store)),
      name_(std::move(name)),
      schema_(schema),
      location_(std::move(location)) {}

ConfigElementPtr ConfigElement::Section(std::shared_ptr<ConfigStore> store,
                                        const std::string& sectionName,
                                        const std::string& location) {
  ConfigElementPtr section(new ConfigElement(Kind::Section, std::move(store),
                                             LastSegment(sectionName),
                                             AppHostSchema::Section(sectionName), location));
  section->section_ = sectionName;
  return section;
}

ConfigElementPtr ConfigElement::Entry(const ConfigElementPtr& owner, pugi::xml_node node,
                                      const ElementSchema* schema) {
  ConfigElementPtr entry(
      new ConfigElement(Kind::Entry, owner->store_, node.name(), schema, owner->location_));
  entry->owner_ = owner;
  entry->token_ = owner->store_->Tokens().Track(node, owner->location_);
  return entry;
}

ConfigElementPtr ConfigElement::Detached(const ConfigElementPtr& owner, const std::string& name,
                                         const ElementSchema* schema) {
  ConfigElementPtr entry(
      new ConfigElement(Kind::Detached, owner->store_, name, schema, owner->location_));
  entry->owner_ = owner;
  const auto node = owner->store_->Scratch().append_child(name.c_str());
  entry->token_ = owner->store_->Tokens().Track(node, owner->location_);
  return entry;
}

HRESULT ConfigElement::Status() const {
  switch (kind_) {
    case Kind::Section:
      return S_OK;
    case Kind::SectionChild:
    case Kind::EntryChild:
      return parent_->Status();
    case Kind::Entry:
    case Kind::Detached:
      break;
  }
  return token_ && token_->alive ? S_OK : NotFound();
}

std::vector<Layer> ConfigElement::Layers() const {
  std::vector<Layer> layers;
  switch (kind_) {
    case Kind::Section:
      for (const auto& definition : store_->Document().DefinitionsFor(section_, location_)) {
        layers.push_back({definition.node, definition.location});
      }
      break;
    case Kind::SectionChild:
    case Kind::EntryChild:
      for (const auto& layer : parent_->Layers()) {
        if (const auto child = layer.node.child(name_.c_str()))
          layers.push_back({child, layer.location});
      }
      break;
    case Kind::Entry:
    case Kind::Detached:
      if (token_ && token_->alive) layers.push_back({token_->node, LocationOfNode(token_->node)});
      break;
  }
  return layers;
}

std::vector<Layer> ConfigElement::OwnLayers() const {
  auto layers = Layers();
  layers.erase(
      std::remove_if(layers.begin(), layers.end(),
                     [&](const Layer& layer) { return !SameLocation(layer.location, location_); }),
      layers.end());
  return layers;
}

bool ConfigElement::IsTopEntry() const {
  return kind_ == Kind::Entry && owner_ &&
         (owner_->kind_ == Kind::Section || owner_->kind_ == Kind::SectionChild);
}

bool ConfigElement::IsInherited() const {
  return !SameLocation(LocationOfNode(token_->node), location_);
}

HRESULT ConfigElement::WritableNode(pugi::xml_node& node) {
  if (!store_->Writable()) return E_ACCESSDENIED;
  const HRESULT status = Status();
  if (FAILED(status)) return status;
  switch (kind_) {
    case Kind::Section:
      node = store_->Document().OwnDefinition(section_, location_, true);
      return S_OK;
    case Kind::SectionChild:
    case Kind::EntryChild: {
      pugi::xml_node parentNode;
      const HRESULT hr = parent_->WritableNode(parentNode);
      if (FAILED(hr)) return hr;
      node = parentNode.child(name_.c_str());
      if (!node) node = store_->Document().Layout().InsertElement(parentNode, {}, name_.c_str());
      return S_OK;
    }
    case Kind::Entry: {
      HRESULT hr = S_OK;
      if (IsTopEntry() && IsInherited()) {
        hr = CopyDown();
      } else if (!IsTopEntry()) {
        pugi::xml_node ownerNode;
        hr = owner_->WritableNode(ownerNode);
      }
      if (FAILED(hr)) return hr;
      node = token_->node;
      return S_OK;
    }
    case Kind::Detached:
      node = token_->node;
      return S_OK;
  }
  return E_UNEXPECTED;
}

// Changing an inherited entry at a deeper level writes <remove> and a full
// copy of the entry there, which then takes the change.
HRESULT ConfigElement::CopyDown() {
  pugi::xml_node ownerNode;
  const HRESULT hr = owner_->WritableNode(ownerNode);
  if (FAILED(hr)) return hr;
  const CollectionSchema& collection = *owner_->Collection();
  const auto original = token_->node;
  for (auto child : ownerNode.children()) {
    if (child.type() == pugi::node_element && collection.IsAddName(child.name()) &&
        CollectionMerge::Matches(child, original, collection)) {
      token_->node = child;  // copied down already, through another object
      return S_OK;
    }
  }
  const auto& layout = store_->Document().Layout();
  const auto before = CollectionMerge::InsertionPoint(ownerNode, collection);
  auto remove = layout.InsertElement(ownerNode, before, collection.removeName.c_str());
  for (const auto& [key, value] : CollectionMerge::KeyOf(original, collection)) {
    SetAttributeText(remove, key, value);
  }
  const auto copy = layout.InsertCopy(ownerNode, before, original);
  store_->Tokens().Retarget(original, copy, &location_);
  store_->Changed();
  return S_OK;
}

HRESULT ConfigElement::CheckProperty(const std::string& name,
                                     const AttributeSchema*& schema) const {
  schema = nullptr;
  if (name.empty()) return E_INVALIDARG;
  if (IsMetadataAttribute(name)) return InvalidIndex();
  if (!schema_) return S_OK;
  schema = schema_->Attribute(name);
  if (schema) return S_OK;
  for (const auto& layer : Layers()) {
    if (layer.node.attribute(name.c_str())) return S_OK;
  }
  return InvalidIndex();
}

std::optional<std::string> ConfigElement::ExplicitValue(const std::string& name) const {
  const auto layers = Layers();
  for (auto layer = layers.rbegin(); layer != layers.rend(); ++layer) {
    const auto attribute = layer->node.attribute(name.c_str());
    if (attribute) return AttributeText(attribute);
  }
  return std::nullopt;
}

std::string ConfigElement::EffectiveValue(const std::string& name,
                                          const AttributeSchema* schema) const {
  const auto value = ExplicitValue(name);
  if (value) return *value;
  return schema ? schema->defaultValue : std::string();
}

HRESULT ConfigElement::SetValue(const std::string& name, const std::string& text) {
  // Setting an inherited entry to what it already says changes nothing, so
  // it is not copied down: the file keeps only changes that mean something.
  if (kind_ == Kind::Entry && IsTopEntry() && SUCCEEDED(Status()) && store_->Writable() &&
      IsInherited() && ExplicitValue(name) == text) {
    return S_OK;
  }
  pugi::xml_node node;
  const HRESULT hr = WritableNode(node);
  if (FAILED(hr)) return hr;
  SetAttributeText(node, name, text);
  store_->Changed();
  return S_OK;
}

HRESULT ConfigElement::ClearValue(const std::string& name) {
  if (!store_->Writable()) return E_ACCESSDENIED;
  const HRESULT status = Status();
  if (FAILED(status)) return status;
  if (kind_ == Kind::Section || kind_ == Kind::SectionChild) {
    for (auto layer : OwnLayers()) {
      if (!layer.node.remove_attribute(name.c_str())) continue;
      store_->Document().PruneEmpty(layer.node);
      store_->Changed();
    }
    return S_OK;
  }
  if (!ExplicitValue(name)) return S_OK;
  pugi::xml_node node;
  const HRESULT hr = WritableNode(node);
  if (FAILED(hr)) return hr;
  if (node.remove_attribute(name.c_str())) store_->Changed();
  return S_OK;
}

std::vector<std::string> ConfigElement::PropertyNames() const {
  std::vector<std::string> names;
  if (schema_) {
    for (const auto& attribute : schema_->attributes) names.push_back(attribute.name);
  }
  for (const auto& layer : Layers()) {
    for (auto attribute : layer.node.attributes()) {
      const std::string name = attribute.name();
      if (!IsMetadataAttribute(name) && !Contains(names, name)) names.push_back(name);
    }
  }
  return names;
}

const CollectionSchema* ConfigElement::Collection() const {
  if (!schema_) return &AppHostSchema::GenericCollection();
  return schema_->collection ? &*schema_->collection : nullptr;
}

bool ConfigElement::IsDirective(std::string_view tag) const {
  const CollectionSchema* collection = Collection();
  return collection && collection->IsDirective(tag);
}

HRESULT ConfigElement::Child(const std::string& name, ConfigElementPtr& child) {
  if (name.empty()) return E_INVALIDARG;
  const HRESULT status = Status();
  if (FAILED(status)) return status;
  if (IsDirective(name)) return InvalidIndex();
  const ElementSchema* childSchema = schema_ ? schema_->Child(name) : nullptr;
  if (schema_ && !childSchema) {
    const auto layers = Layers();
    const bool present = std::any_of(layers.begin(), layers.end(), [&](const Layer& layer) {
      return layer.node.child(name.c_str());
    });
    if (!present) return InvalidIndex();
  }
  const Kind kind =
      kind_ == Kind::Section || kind_ == Kind::SectionChild ? Kind::SectionChild : Kind::EntryChild;
  child.reset(new ConfigElement(kind, store_, name, childSchema, location_));
  child->parent_ = shared_from_this();
  return S_OK;
}

std::vector<std::string> ConfigElement::ChildNames() const {
  std::vector<std::string> names;
  if (schema_) {
    for (const auto& child : schema_->children) names.push_back(child->name);
  }
  for (const auto& layer : Layers()) {
    for (auto child : layer.node.children()) {
      const std::string name = child.name();
      if (child.type() == pugi::node_element && !IsDirective(name) && !Contains(names, name)) {
        names.push_back(name);
      }
    }
  }
  return names;
}

HRESULT ConfigElement::GetMetadata(const std::string& name, VARIANT* value) const {
  VariantInit(value);
  const HRESULT status = Status();
  if (FAILED(status)) return status;
  if (name == "lockItem") {
    bool locked = false;
    const auto text = ExplicitValue(name);
    if (text) ParseBool(*text, locked);
    value->vt = VT_BOOL;
    value->boolVal = locked ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }
  std::optional<std::string> text;
  if (IsMetadataAttribute(name)) {
    text = ExplicitValue(name).value_or("");
  } else if (const auto stored = otherMetadata_.find(name); stored != otherMetadata_.end()) {
    text = stored->second;
  }
  if (!text) return HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED);
  const std::u16string wide = machine::FromUtf8(*text);
  value->vt = VT_BSTR;
  value->bstrVal = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  return S_OK;
}

HRESULT ConfigElement::SetMetadata(const std::string& name, const VARIANT& value) {
  if (name.empty()) return E_INVALIDARG;
  if (name == "lockItem") {
    bool locked = false;
    if (FAILED(VariantToBool(value, locked))) return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    return locked ? SetValue(name, "true") : ClearValue(name);
  }
  std::string text;
  if (FAILED(VariantToText(nullptr, value, text))) return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
  if (IsMetadataAttribute(name)) return text.empty() ? ClearValue(name) : SetValue(name, text);
  otherMetadata_[name] = text;
  return S_OK;
}

HRESULT ConfigElement::ClearOwnNodes() {
  for (const auto& layer : OwnLayers()) {
    store_->Tokens().Forget(layer.node);
    store_->Document().RemoveAndPrune(layer.node);
    store_->Changed();
  }
  return S_OK;
}

HRESULT ConfigElement::ClearEntry() {
  if (!IsTopEntry()) {
    pugi::xml_node ownerNode;
    const HRESULT hr = owner_->WritableNode(ownerNode);
    if (FAILED(hr)) return hr;
    const auto node = token_->node;
    store_->Tokens().Forget(node);
    store_->Document().RemoveAndPrune(node);
    store_->Changed();
    return S_OK;
  }
  const CollectionSchema& collection = *owner_->Collection();
  const auto node = token_->node;
  if (IsInherited()) {
    pugi::xml_node ownerNode;
    const HRESULT hr = owner_->WritableNode(ownerNode);
    if (FAILED(hr)) return hr;
    auto remove = store_->Document().Layout().InsertElement(
        ownerNode, CollectionMerge::InsertionPoint(ownerNode, collection),
        collection.removeName.c_str());
    for (const auto& [key, value] : CollectionMerge::KeyOf(node, collection)) {
      SetAttributeText(remove, key, value);
    }
    store_->Tokens().ForgetForView(node, location_);
    store_->Changed();
    return S_OK;
  }
  // A <remove> of the same key at this level only undid an inherited entry;
  // once nothing is inherited under that key it is dead weight and goes too,
  // so that adding an entry and deleting it again leaves the file as it was.
  std::vector<Layer> above = owner_->Layers();
  above.erase(
      std::remove_if(above.begin(), above.end(),
                     [&](const Layer& layer) { return SameLocation(layer.location, location_); }),
      above.end());
  const auto inherited = CollectionMerge::Merge(above, collection);
  const bool stillInherited =
      std::any_of(inherited.begin(), inherited.end(), [&](const MergedEntry& entry) {
        return CollectionMerge::Matches(entry.node, node, collection);
      });
  const auto ownerNode = node.parent();
  std::vector<pugi::xml_node> redundant;
  if (!stillInherited) {
    for (auto child : ownerNode.children(collection.removeName.c_str())) {
      if (CollectionMerge::Matches(node, child, collection)) redundant.push_back(child);
    }
  }
  store_->Tokens().Forget(node);
  XmlLayout::Remove(node);
  for (auto remove : redundant) XmlLayout::Remove(remove);
  store_->Document().PruneEmpty(ownerNode);
  store_->Changed();
  return S_OK;
}

HRESULT ConfigElement::Clear() {
  if (!store_->Writable()) return E_ACCESSDENIED;
  const HRESULT status = Status();
  if (FAILED(status)) return status;
  switch (kind_) {
    case Kind::Section:
    case Kind::SectionChild:
      return ClearOwnNodes();
    case Kind::Entry:
      return ClearEntry();
    case Kind::EntryChild: {
      const auto layers = Layers();
      if (layers.empty()) return S_OK;
      pugi::xml_node node;
      const HRESULT hr = WritableNode(node);
      if (FAILED(hr)) return hr;
      store_->Tokens().Forget(node);
      store_->Document().RemoveAndPrune(node);
      store_->Changed();
      return S_OK;
    }
    case Kind::Detached: {
      auto node = token_->node;
      while (node.first_attribute()) node.remove_attribute(node.first_attribute());
      while (node.first_child()) {
        store_->Tokens().Forget(node.first_child());
        node.remove_child(node.first_child());
      }
      return S_OK;
    }
  }
  return E_UNEXPECTED;
}

pugi::xml_node ConfigElement::DetachedNode() const {
  return kind_ == Kind::Detached && token_ && token_->alive ? token_->node : pugi::xml_node();
}

void ConfigElement::Attach(const ConfigElementPtr& owner) {
  kind_ = Kind::Entry;
  owner_ = owner;
}

}  // namespace apphost
