#include "platform/metabase/MetabaseKey.h"

#include <algorithm>
#include <cstring>

#include "platform/text.h"

namespace metabase {

Property MakeProperty(DWORD id, DWORD dataType, DWORD attributes, DWORD userType,
                      std::vector<uint8_t> data) {
  Property property;
  property.id = id;
  property.dataType = dataType;
  property.attributes = attributes;
  property.userType = userType;
  property.data = std::move(data);
  return property;
}

Key* Key::FindChild(std::u16string_view name) {
  const auto found = byName_.find(machine::UpperCase(name));
  return found == byName_.end() ? nullptr : found->second;
}

const Key* Key::FindChild(std::u16string_view name) const {
  return const_cast<Key*>(this)->FindChild(name);
}

Key& Key::AddChild(std::u16string name) {
  children_.push_back(std::make_unique<Key>(std::move(name)));
  Key* child = children_.back().get();
  // A repeated name keeps finding the first subkey of that name.
  byName_.emplace(machine::UpperCase(child->name_), child);
  return *child;
}

// Points the index at the first subkey now called `folded`, if any.
void Key::IndexName(const std::u16string& folded) {
  byName_.erase(folded);
  for (const auto& child : children_) {
    if (machine::UpperCase(child->name_) == folded) {
      byName_.emplace(folded, child.get());
      return;
    }
  }
}

bool Key::RemoveChild(std::u16string_view name) {
  Key* child = FindChild(name);
  if (child == nullptr) return false;
  const std::u16string folded = machine::UpperCase(child->name_);
  children_.erase(std::find_if(children_.begin(), children_.end(),
                               [child](const auto& each) { return each.get() == child; }));
  IndexName(folded);
  return true;
}

bool Key::RenameChild(std::u16string_view name, std::u16string newName) {
  Key* child = FindChild(name);
  if (child == nullptr) return false;
  const std::u16string before = machine::UpperCase(child->name_);
  child->name_ = std::move(newName);
  IndexName(before);
  IndexName(machine::UpperCase(child->name_));
  return true;
}

const Property* Key::FindProperty(DWORD id) const {
  for (const Property& property : properties_) {
    if (property.id == id) return &property;
  }
  return nullptr;
}

void Key::SetProperty(Property property) {
  auto it = std::lower_bound(properties_.begin(), properties_.end(), property.id,
                             [](const Property& p, DWORD id) { return p.id < id; });
  if (it != properties_.end() && it->id == property.id) {
    *it = std::move(property);
  } else {
    properties_.insert(it, std::move(property));
  }
}

bool Key::RemoveProperty(DWORD id) {
  for (auto it = properties_.begin(); it != properties_.end(); ++it) {
    if (it->id == id) {
      properties_.erase(it);
      return true;
    }
  }
  return false;
}

std::unique_ptr<Key> Key::Clone() const {
  auto copy = std::make_unique<Key>(name_);
  copy->properties_ = properties_;
  copy->layout_ = layout_;
  for (const auto& child : children_) {
    copy->children_.push_back(child->Clone());
    copy->byName_.emplace(machine::UpperCase(child->name_), copy->children_.back().get());
  }
  return copy;
}

std::vector<std::u16string> SplitPath(std::u16string_view path) {
  std::vector<std::u16string> pieces;
  std::u16string piece;
  for (char16_t c : path) {
    if (c == u'/' || c == u'\\') {
      if (!piece.empty()) pieces.push_back(std::move(piece));
      piece.clear();
    } else {
      piece.push_back(c);
    }
  }
  if (!piece.empty()) pieces.push_back(std::move(piece));
  return pieces;
}

std::u16string JoinPath(const std::vector<std::u16string>& pieces) {
  if (pieces.empty()) return u"/";
  std::u16string path;
  for (const auto& piece : pieces) path += u"/" + piece;
  return path;
}

namespace {

void AppendUnits(std::vector<uint8_t>& out, std::u16string_view text) {
  const size_t at = out.size();
  out.resize(at + (text.size() + 1) * sizeof(char16_t));
  std::memcpy(out.data() + at, text.data(), text.size() * sizeof(char16_t));
  // The terminator is already zero from resize.
}

std::u16string CopyUnits(const uint8_t* data, size_t bytes) {
  std::u16string units(bytes / sizeof(char16_t), u'\0');
  std::memcpy(units.data(), data, units.size() * sizeof(char16_t));
  return units;
}

size_t UnterminatedLength(const uint8_t* data) {
  size_t n = 0;
  char16_t unit = 0;
  for (;; ++n) {
    std::memcpy(&unit, data + n * sizeof(char16_t), sizeof unit);
    if (unit == 0) return n;
  }
}

// Bytes of a multi-string up to and including its closing empty string.
size_t ListBytes(const uint8_t* data) {
  size_t units = 0;
  for (;;) {
    const size_t n = UnterminatedLength(data + units * sizeof(char16_t));
    units += n + 1;
    if (n == 0) return units * sizeof(char16_t);
  }
}

}  // namespace

std::vector<uint8_t> EncodeString(std::u16string_view text) {
  std::vector<uint8_t> out;
  AppendUnits(out, text.substr(0, text.find(u'\0')));
  return out;
}

std::vector<uint8_t> EncodeMultiString(const std::vector<std::u16string>& strings) {
  std::vector<uint8_t> out;
  for (const auto& s : strings) {
    if (s.empty()) break;  // an empty string would end the list
    AppendUnits(out, std::u16string_view(s).substr(0, s.find(u'\0')));
  }
  // The closing empty string; an empty list still carries two terminators.
  if (out.empty()) AppendUnits(out, u"");
  AppendUnits(out, u"");
  return out;
}

std::vector<uint8_t> EncodeDword(DWORD value) {
  std::vector<uint8_t> out(sizeof value);
  std::memcpy(out.data(), &value, sizeof value);
  return out;
}

std::u16string DecodeString(const std::vector<uint8_t>& data) {
  std::u16string text = CopyUnits(data.data(), data.size());
  return text.substr(0, text.find(u'\0'));
}

std::vector<std::u16string> DecodeMultiString(const std::vector<uint8_t>& data) {
  const std::u16string units = CopyUnits(data.data(), data.size());
  std::vector<std::u16string> strings;
  size_t start = 0;
  while (start < units.size()) {
    const size_t end = std::min(units.find(u'\0', start), units.size());
    if (end == start) break;
    strings.push_back(units.substr(start, end - start));
    start = end + 1;
  }
  return strings;
}

DWORD DecodeDword(const std::vector<uint8_t>& data) {
  DWORD value = 0;
  std::memcpy(&value, data.data(), std::min(data.size(), sizeof value));
  return value;
}

std::string HexText(const std::vector<uint8_t>& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (uint8_t b : bytes) {
    text += kDigits[b >> 4];
    text += kDigits[b & 0xF];
  }
  return text;
}

bool ParseHex(std::string_view text, std::vector<uint8_t>& bytes) {
  auto digit = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  if (text.size() % 2 != 0) return false;
  bytes.clear();
  for (size_t i = 0; i < text.size(); i += 2) {
    const int hi = digit(text[i]);
    const int lo = digit(text[i + 1]);
    if (hi < 0 || lo < 0) return false;
    bytes.push_back(static_cast<uint8_t>(hi * 16 + lo));
  }
  return true;
}

HRESULT NormalizeData(DWORD dataType, const uint8_t* data, DWORD length,
                      std::vector<uint8_t>& stored) {
  if (data == nullptr && (length > 0 || dataType == DWORD_METADATA)) return E_INVALIDARG;
  switch (dataType) {
    case DWORD_METADATA: {
      DWORD value = 0;
      std::memcpy(&value, data, sizeof value);
      stored = EncodeDword(value);
      return S_OK;
    }
    case STRING_METADATA:
    case EXPANDSZ_METADATA: {
      if (data == nullptr) {
        stored = EncodeString(u"");
        return S_OK;
      }
      // Windows reads to the terminator whatever the length says; a length
      // given keeps the stand-in from reading past the caller's buffer.
      const size_t units = length > 0 ? length / sizeof(char16_t) : UnterminatedLength(data);
      stored = EncodeString(CopyUnits(data, units * sizeof(char16_t)));
      return S_OK;
    }
    case MULTISZ_METADATA: {
      if (data != nullptr && length == 0) length = static_cast<DWORD>(ListBytes(data));
      const std::u16string units = data == nullptr ? std::u16string() : CopyUnits(data, length);
      std::vector<uint8_t> given(units.size() * sizeof(char16_t));
      std::memcpy(given.data(), units.data(), given.size());
      stored = EncodeMultiString(DecodeMultiString(given));
      return S_OK;
    }
    case BINARY_METADATA:
      stored.assign(data, data + length);
      return S_OK;
    default:
      return E_INVALIDARG;
  }
}

}  // namespace metabase
