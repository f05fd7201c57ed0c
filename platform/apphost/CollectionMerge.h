// How a collection reads when its levels are laid over one another: each
// level may <clear/> what it inherits, <remove/> entries by key and add its
// own, after the inherited entries (or before them, for collections such as
// handlers whose deeper entries take precedence).
#pragma once

#include <pugixml.hpp>
#include <string>
#include <utility>
#include <vector>

#include "platform/apphost/AppHostSchema.h"
#include "platform/apphost/ConfigElement.h"

namespace apphost {

struct MergedEntry {
  pugi::xml_node node;
  std::string location;  // the level that added it
};

class CollectionMerge {
 public:
  static std::vector<MergedEntry> Merge(const std::vector<Layer>& layers,
                                        const CollectionSchema& schema);
  // The attributes that identify an entry, with their values (schema
  // defaults where the file leaves a key out). Without a schema key: "name"
  // when the entry has one, else all its attributes.
  static std::vector<std::pair<std::string, std::string>> KeyOf(pugi::xml_node entry,
                                                                const CollectionSchema& schema);
  // Whether `directive` (an entry or a <remove>) names `entry`. Keys
  // compare without regard to case.
  static bool Matches(pugi::xml_node entry, pugi::xml_node directive,
                      const CollectionSchema& schema);
  // Where a new directive goes in a level's collection: after its last
  // directive, or before its first child element when it has none yet.
  static pugi::xml_node InsertionPoint(pugi::xml_node owner, const CollectionSchema& schema);
};

}  // namespace apphost
