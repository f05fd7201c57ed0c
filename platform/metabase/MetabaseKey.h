// One key of the metabase tree with its numbered properties. Property data
// is held in the form GetData hands out, so reads copy bytes and nothing
// else; the helpers below translate to and from typed values.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/text/XmlDocument.h"
#include "platform/win.h"

namespace metabase {

// The deepest key the metabase file can hold: the earlier file form nests a
// <Key> element per level inside <Metabase>, with the deepest key's
// <Property> and <Value> below it, all within the XML readers' nesting
// bound. Keys are neither read nor made deeper, so every file the service
// writes reads again.
inline constexpr size_t kMaxKeyDepth = machine::kXmlNestingBound - 3;

// How a key was written in the file it was read from (MetabaseLayout.h).
struct KeyLayout;

struct Property {
  DWORD id = 0;
  DWORD attributes = METADATA_NO_ATTRIBUTES;
  DWORD userType = 0;
  DWORD dataType = STRING_METADATA;
  std::vector<uint8_t> data;

  bool operator==(const Property& other) const {
    return id == other.id && attributes == other.attributes && userType == other.userType &&
           dataType == other.dataType && data == other.data;
  }
  bool operator!=(const Property& other) const { return !(*this == other); }
};

Property MakeProperty(DWORD id, DWORD dataType, DWORD attributes, DWORD userType,
                      std::vector<uint8_t> data);

class Key {
 public:
  explicit Key(std::u16string name) : name_(std::move(name)) {}

  const std::u16string& Name() const { return name_; }

  // Subkeys keep the order they were added in; names match ignoring case.
  Key* FindChild(std::u16string_view name);
  const Key* FindChild(std::u16string_view name) const;
  Key& AddChild(std::u16string name);
  bool RemoveChild(std::u16string_view name);
  // Gives the subkey `name` the name `newName`; false when there is none.
  bool RenameChild(std::u16string_view name, std::u16string newName);
  const std::vector<std::unique_ptr<Key>>& Children() const { return children_; }

  // Properties are kept in ascending identifier order.
  const Property* FindProperty(DWORD id) const;
  void SetProperty(Property property);
  bool RemoveProperty(DWORD id);
  const std::vector<Property>& Properties() const { return properties_; }

  std::unique_ptr<Key> Clone() const;

  // Null for a key the file did not hold.
  const KeyLayout* Layout() const { return layout_.get(); }
  void SetLayout(std::shared_ptr<const KeyLayout> layout) { layout_ = std::move(layout); }

 private:
  std::u16string name_;
  std::shared_ptr<const KeyLayout> layout_;
  std::vector<Property> properties_;
  std::vector<std::unique_ptr<Key>> children_;
  // Upper-cased name -> the first subkey of that name, so that finding one
  // of a thousand websites does not compare a thousand names.
  std::unordered_map<std::u16string, Key*> byName_;
  void IndexName(const std::u16string& folded);
};

// Metabase paths use '/' (a '\' separates too); empty pieces are ignored,
// so "", "/" and "//" all name the key the path starts from.
std::vector<std::u16string> SplitPath(std::u16string_view path);
// "/" for no pieces, otherwise "/a/b".
std::u16string JoinPath(const std::vector<std::u16string>& pieces);

// Typed values in the stored form.
std::vector<uint8_t> EncodeString(std::u16string_view text);
std::vector<uint8_t> EncodeMultiString(const std::vector<std::u16string>& strings);
std::vector<uint8_t> EncodeDword(DWORD value);
std::u16string DecodeString(const std::vector<uint8_t>& data);
std::vector<std::u16string> DecodeMultiString(const std::vector<uint8_t>& data);
DWORD DecodeDword(const std::vector<uint8_t>& data);
// Binary data as lower-case hex digits, and back (either case).
std::string HexText(const std::vector<uint8_t>& bytes);
bool ParseHex(std::string_view text, std::vector<uint8_t>& bytes);

// Brings the data a caller passes to SetData into the stored form: strings
// end at their first terminator (or at the length given), a multi-string at
// its first empty string, a DWORD is its four bytes. E_INVALIDARG for a
// type the metabase does not know or data it cannot hold.
HRESULT NormalizeData(DWORD dataType, const uint8_t* data, DWORD length,
                      std::vector<uint8_t>& stored);

}  // namespace metabase
