#include "platform/registry/RegistryTree.h"

#include "platform/text.h"

namespace machine::registry {

std::shared_ptr<RegNode> RegNode::Child(std::u16string_view name) const {
  auto found = children_.find(UpperCase(name));
  return found == children_.end() ? nullptr : found->second;
}

std::shared_ptr<RegNode> RegNode::AddChild(std::u16string_view name, bool* created) {
  auto& slot = children_[UpperCase(name)];
  if (created) *created = !slot;
  if (!slot) slot = std::make_shared<RegNode>(std::u16string(name), this);
  return slot;
}

bool RegNode::RemoveChild(std::u16string_view name) {
  auto found = children_.find(UpperCase(name));
  if (found == children_.end()) return false;
  found->second->MarkDeleted();
  children_.erase(found);
  return true;
}

void RegNode::MarkDeleted() {
  deleted_ = true;
  parent_ = nullptr;
  for (auto& entry : children_) entry.second->MarkDeleted();
  children_.clear();
  values_.clear();
  valueIndex_.clear();
}

std::vector<std::shared_ptr<RegNode>> RegNode::Children() const {
  std::vector<std::shared_ptr<RegNode>> result;
  result.reserve(children_.size());
  for (const auto& entry : children_) result.push_back(entry.second);
  return result;
}

const RegValue* RegNode::Value(std::u16string_view name) const {
  const auto it = valueIndex_.find(UpperCase(name));
  return it == valueIndex_.end() ? nullptr : &values_[it->second];
}

void RegNode::SetValue(std::u16string_view name, uint32_t type, std::vector<uint8_t> data) {
  const auto [it, added] = valueIndex_.emplace(UpperCase(name), values_.size());
  if (!added) {
    // Windows keeps the case of the name the value was created with.
    RegValue& value = values_[it->second];
    value.type = type;
    value.data = std::move(data);
    return;
  }
  values_.push_back(RegValue{std::u16string(name), type, std::move(data)});
}

bool RegNode::RemoveValue(std::u16string_view name) {
  const auto it = valueIndex_.find(UpperCase(name));
  if (it == valueIndex_.end()) return false;
  const size_t at = it->second;
  valueIndex_.erase(it);
  values_.erase(values_.begin() + static_cast<std::ptrdiff_t>(at));
  // The values after it keep their order and move up by one.
  for (auto& entry : valueIndex_) {
    if (entry.second > at) --entry.second;
  }
  return true;
}

std::vector<std::u16string> RegNode::PathFromRoot() const {
  std::vector<std::u16string> names;
  for (const RegNode* node = this; node && node->parent_; node = node->parent_) {
    names.insert(names.begin(), node->name_);
  }
  return names;
}

bool SplitKeyPath(std::u16string_view path, std::vector<std::u16string>& names) {
  names.clear();
  if (!path.empty() && path.back() == u'\\') path.remove_suffix(1);
  if (path.empty()) return true;
  size_t start = 0;
  while (true) {
    size_t end = path.find(u'\\', start);
    std::u16string_view name =
        path.substr(start, end == std::u16string_view::npos ? end : end - start);
    if (name.empty()) return false;
    names.emplace_back(name);
    if (end == std::u16string_view::npos) return true;
    start = end + 1;
  }
}

}  // namespace machine::registry
