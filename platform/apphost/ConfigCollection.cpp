#include "platform/apphost/ConfigCollection.h"

#include <algorithm>

#include "platform/apphost/ConfigPath.h"
#include "platform/apphost/XmlText.h"

namespace apphost {

namespace {

HRESULT InvalidIndex() { return HRESULT_FROM_WIN32(ERROR_INVALID_INDEX); }

}  // namespace

ConfigCollection::ConfigCollection(ConfigElementPtr owner, const CollectionSchema& schema)
    : owner_(std::move(owner)), schema_(schema) {}

const std::vector<MergedEntry>& ConfigCollection::Entries() {
  if (generation_ != owner_->Store().Generation()) {
    entries_ = CollectionMerge::Merge(owner_->Layers(), schema_);
    generation_ = owner_->Store().Generation();
  }
  return entries_;
}

HRESULT ConfigCollection::Count(DWORD& count) {
  const HRESULT status = owner_->Status();
  if (FAILED(status)) return status;
  count = static_cast<DWORD>(Entries().size());
  return S_OK;
}

HRESULT ConfigCollection::Item(size_t index, ConfigElementPtr& entry) {
  const HRESULT status = owner_->Status();
  if (FAILED(status)) return status;
  const auto& entries = Entries();
  if (index >= entries.size()) return InvalidIndex();
  entry = ConfigElement::Entry(owner_, entries[index].node, schema_.entry.get());
  return S_OK;
}

HRESULT ConfigCollection::Find(const ConfigElement& selector, size_t& index) {
  const auto layers = selector.Layers();
  if (layers.empty()) return InvalidIndex();
  const auto& entries = Entries();
  for (size_t i = 0; i < entries.size(); ++i) {
    if (CollectionMerge::Matches(entries[i].node, layers.back().node, schema_)) {
      index = i;
      return S_OK;
    }
  }
  return InvalidIndex();
}

HRESULT ConfigCollection::CreateNew(const std::string& name, ConfigElementPtr& entry) {
  const HRESULT status = owner_->Status();
  if (FAILED(status)) return status;
  const std::string tag = name.empty() ? schema_.addNames.front() : name;
  if (!schema_.IsAddName(tag)) return InvalidIndex();
  entry = ConfigElement::Detached(owner_, tag, schema_.entry.get());
  return S_OK;
}

// Where an entry added at `position` of the merged collection goes in this
// level's element. Entries of other levels cannot be moved, so a position
// among them means the start of this level's own entries.
pugi::xml_node ConfigCollection::PlaceFor(pugi::xml_node ownerNode, int position) {
  const auto& entries = Entries();
  if (position >= 0 && static_cast<size_t>(position) < entries.size()) {
    const auto target = entries[static_cast<size_t>(position)].node;
    if (target.parent() == ownerNode) return target;
    for (auto child : ownerNode.children()) {
      if (child.type() == pugi::node_element && schema_.IsAddName(child.name())) return child;
    }
  }
  return CollectionMerge::InsertionPoint(ownerNode, schema_);
}

HRESULT ConfigCollection::Add(const ConfigElementPtr& entry, int position) {
  if (!entry) return E_INVALIDARG;
  const auto detached = entry->DetachedNode();
  if (!detached || entry->StorePtr() != owner_->StorePtr() || !schema_.IsAddName(detached.name())) {
    return E_INVALIDARG;
  }
  const auto& entries = Entries();
  if (position < -1 || (position >= 0 && static_cast<size_t>(position) > entries.size())) {
    return InvalidIndex();
  }
  if (!schema_.keys.empty()) {
    const std::string primary = AttributeText(detached, schema_.keys.front().c_str());
    if (primary.empty()) return E_INVALIDARG;
    const bool duplicate =
        std::any_of(entries.begin(), entries.end(), [&](const MergedEntry& existing) {
          return CollectionMerge::Matches(existing.node, detached, schema_);
        });
    if (duplicate) return HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS);
  }
  pugi::xml_node ownerNode;
  const HRESULT hr = owner_->WritableNode(ownerNode);
  if (FAILED(hr)) return hr;
  auto& store = owner_->Store();
  const auto copy =
      store.Document().Layout().InsertCopy(ownerNode, PlaceFor(ownerNode, position), detached);
  store.Tokens().Retarget(detached, copy, nullptr);
  store.Scratch().remove_child(detached);
  entry->Attach(owner_);
  store.Changed();
  return S_OK;
}

HRESULT ConfigCollection::Delete(size_t index) {
  ConfigElementPtr entry;
  const HRESULT hr = Item(index, entry);
  if (FAILED(hr)) return hr;
  return entry->Clear();
}

void ConfigCollection::RemoveDirectives(ConfigStore& store, pugi::xml_node node) {
  std::vector<pugi::xml_node> directives;
  for (auto child : node.children()) {
    if (child.type() == pugi::node_element && schema_.IsDirective(child.name())) {
      directives.push_back(child);
    }
  }
  for (auto directive : directives) {
    store.Tokens().Forget(directive);
    XmlLayout::Remove(directive);
  }
  if (!directives.empty()) store.Changed();
}

HRESULT ConfigCollection::Clear() {
  const HRESULT status = owner_->Status();
  if (FAILED(status)) return status;
  auto& store = owner_->Store();
  if (!store.Writable()) return E_ACCESSDENIED;
  const auto kind = owner_->GetKind();
  if (kind != ConfigElement::Kind::Section && kind != ConfigElement::Kind::SectionChild) {
    // An entry's own collection has one level: the entry.
    pugi::xml_node ownerNode;
    const HRESULT hr = owner_->WritableNode(ownerNode);
    if (FAILED(hr)) return hr;
    RemoveDirectives(store, ownerNode);
    return S_OK;
  }
  std::vector<Layer> above;
  for (const auto& layer : owner_->Layers()) {
    if (SameLocation(layer.location, owner_->Location())) {
      RemoveDirectives(store, layer.node);
    } else {
      above.push_back(layer);
    }
  }
  if (!CollectionMerge::Merge(above, schema_).empty()) {
    pugi::xml_node ownerNode;
    const HRESULT hr = owner_->WritableNode(ownerNode);
    if (FAILED(hr)) return hr;
    pugi::xml_node first;
    for (auto child : ownerNode.children()) {
      if (child.type() == pugi::node_element) {
        first = child;
        break;
      }
    }
    store.Document().Layout().InsertElement(ownerNode, first, schema_.clearName.c_str());
    store.Changed();
  }
  for (const auto& layer : owner_->Layers()) {
    if (SameLocation(layer.location, owner_->Location())) store.Document().PruneEmpty(layer.node);
  }
  return S_OK;
}

}  // namespace apphost
