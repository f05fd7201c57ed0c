// The collection of an element as its caller sees it: the merged entries
// of every level, and the changes IAppHostElementCollection makes to them
// at the caller's level.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/apphost/CollectionMerge.h"
#include "platform/apphost/ConfigElement.h"

namespace apphost {

class ConfigCollection {
 public:
  ConfigCollection(ConfigElementPtr owner, const CollectionSchema& schema);

  const ConfigElementPtr& Owner() const { return owner_; }
  HRESULT Count(DWORD& count);
  HRESULT Item(size_t index, ConfigElementPtr& entry);
  // The index of the entry with the same key as `selector`.
  HRESULT Find(const ConfigElement& selector, size_t& index);
  // `name` empty: the default add element.
  HRESULT CreateNew(const std::string& name, ConfigElementPtr& entry);
  // `position` -1 appends; otherwise the merged index to insert at.
  HRESULT Add(const ConfigElementPtr& entry, int position);
  HRESULT Delete(size_t index);
  HRESULT Clear();

 private:
  const std::vector<MergedEntry>& Entries();
  pugi::xml_node PlaceFor(pugi::xml_node ownerNode, int position);
  void RemoveDirectives(ConfigStore& store, pugi::xml_node node);

  ConfigElementPtr owner_;
  const CollectionSchema& schema_;
  uint64_t generation_ = UINT64_MAX;
  std::vector<MergedEntry> entries_;
};

}  // namespace apphost
