// Handles on elements of the configuration tree that stay safe while the
// tree changes under them. A COM element object holds a token instead of a
// bare pugixml node: the store kills the token before the node is deleted
// and moves it when an inherited entry is copied down to the level that
// changes it, so no object ever touches freed memory or a stale copy.
#pragma once

#include <memory>
#include <pugixml.hpp>
#include <string>
#include <vector>

namespace apphost {

struct NodeToken {
  pugi::xml_node node;
  std::string view;  // the location the holder looks from
  bool alive = true;
};

class NodeTokens {
 public:
  std::shared_ptr<NodeToken> Track(pugi::xml_node node, std::string view);
  // Before `subtree` is deleted: no holder may use it again.
  void Forget(pugi::xml_node subtree);
  // The holders looking from `view` no longer see `subtree`.
  void ForgetForView(pugi::xml_node subtree, const std::string& view);
  // `copy` is a deep copy of `original`: holders looking from `view` (or all
  // holders, when `view` is null) follow the copy, node for node.
  void Retarget(pugi::xml_node original, pugi::xml_node copy, const std::string* view);

 private:
  template <typename Visit>
  void ForEachInSubtree(pugi::xml_node subtree, Visit visit);
  std::vector<std::weak_ptr<NodeToken>> tokens_;
};

}  // namespace apphost
