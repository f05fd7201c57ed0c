#include "platform/apphost/NodeTokens.h"

#include <algorithm>
#include <map>

namespace apphost {

namespace {

bool IsWithin(pugi::xml_node node, pugi::xml_node subtree) {
  for (; node; node = node.parent()) {
    if (node == subtree) return true;
  }
  return false;
}

void Flatten(pugi::xml_node node, std::vector<pugi::xml_node>& out) {
  out.push_back(node);
  for (auto child : node.children()) Flatten(child, out);
}

}  // namespace

std::shared_ptr<NodeToken> NodeTokens::Track(pugi::xml_node node, std::string view) {
  tokens_.erase(
      std::remove_if(tokens_.begin(), tokens_.end(),
                     [](const std::weak_ptr<NodeToken>& token) { return token.expired(); }),
      tokens_.end());
  auto token = std::make_shared<NodeToken>();
  token->node = node;
  token->view = std::move(view);
  tokens_.push_back(token);
  return token;
}

template <typename Visit>
void NodeTokens::ForEachInSubtree(pugi::xml_node subtree, Visit visit) {
  for (const auto& weak : tokens_) {
    const auto token = weak.lock();
    if (token && token->alive && IsWithin(token->node, subtree)) visit(*token);
  }
}

void NodeTokens::Forget(pugi::xml_node subtree) {
  ForEachInSubtree(subtree, [](NodeToken& token) {
    token.alive = false;
    token.node = {};
  });
}

void NodeTokens::ForgetForView(pugi::xml_node subtree, const std::string& view) {
  ForEachInSubtree(subtree, [&](NodeToken& token) {
    if (token.view != view) return;
    token.alive = false;
    token.node = {};
  });
}

void NodeTokens::Retarget(pugi::xml_node original, pugi::xml_node copy, const std::string* view) {
  std::vector<pugi::xml_node> from;
  std::vector<pugi::xml_node> to;
  Flatten(original, from);
  Flatten(copy, to);
  std::map<pugi::xml_node_struct*, pugi::xml_node> mapping;
  for (size_t i = 0; i < from.size() && i < to.size(); ++i) {
    mapping[from[i].internal_object()] = to[i];
  }
  ForEachInSubtree(original, [&](NodeToken& token) {
    if (view && token.view != *view) return;
    const auto found = mapping.find(token.node.internal_object());
    if (found != mapping.end()) token.node = found->second;
  });
}

}  // namespace apphost
