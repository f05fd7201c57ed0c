// The in-memory form of one registry hive: keys with case-kept names that
// match without regard to case, and their values in the order they were
// first set (the order RegEnumValue reports).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace machine::registry {

struct RegValue {
  std::u16string name;  // empty: the key's default value
  uint32_t type = 0;
  std::vector<uint8_t> data;
};

class RegNode {
 public:
  explicit RegNode(std::u16string name, RegNode* parent = nullptr)
      : name_(std::move(name)), parent_(parent) {}

  const std::u16string& Name() const { return name_; }
  RegNode* Parent() const { return parent_; }
  bool Deleted() const { return deleted_; }
  bool Volatile() const { return volatile_; }
  void SetVolatile(bool value) { volatile_ = value; }

  std::shared_ptr<RegNode> Child(std::u16string_view name) const;
  // Returns the existing child of that name or adds it.
  std::shared_ptr<RegNode> AddChild(std::u16string_view name, bool* created = nullptr);
  // Detaches the child and marks it and everything below it deleted, so open
  // handles to them see ERROR_KEY_DELETED.
  bool RemoveChild(std::u16string_view name);
  // Children in the order Windows enumerates them: by upper-cased name.
  std::vector<std::shared_ptr<RegNode>> Children() const;
  size_t ChildCount() const { return children_.size(); }

  const RegValue* Value(std::u16string_view name) const;
  void SetValue(std::u16string_view name, uint32_t type, std::vector<uint8_t> data);
  bool RemoveValue(std::u16string_view name);
  const std::vector<RegValue>& Values() const { return values_; }

  // The names from the hive root down to this key, root excluded.
  std::vector<std::u16string> PathFromRoot() const;

 private:
  void MarkDeleted();

  std::u16string name_;
  RegNode* parent_;
  bool deleted_ = false;
  bool volatile_ = false;
  std::map<std::u16string, std::shared_ptr<RegNode>> children_;  // by upper-cased name
  std::vector<RegValue> values_;
  std::unordered_map<std::u16string, size_t> valueIndex_;  // upper-cased name -> value
};

// Splits "a\b\c" into its names. One trailing backslash is allowed; an empty
// name inside the path makes the result false.
bool SplitKeyPath(std::u16string_view path, std::vector<std::u16string>& names);

// Windows' limits on names: 255 characters for a key name, 16383 for a value
// name;
constexpr size_t kMaxKeyNameLength = 255;
constexpr size_t kMaxValueNameLength = 16383;
// and on the depth of a tree: 512 levels below a hive's root.
constexpr size_t kMaxKeyDepth = 512;
inline constexpr char kTooDeepText[] = "key nested deeper than 512 levels";

}  // namespace machine::registry
