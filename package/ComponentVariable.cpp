#include "package/ComponentVariable.h"

#include <libdeflate.h>

#include <cstring>
#include <memory>

#include "core/CSPPtr.h"
#include "package/ByteFormat.h"

using PackageBytes::GetU16;
using PackageBytes::GetU32;
using PackageBytes::GetU64;

namespace VariableType {

bool IsValid(uint8_t type) { return Name(type) != nullptr; }

uint32_t FixedSize(uint8_t type) {
  switch (type) {
    case LONG:
    case ULONG:
    case DATE:
    case TIME:
      return 4;
    case LONGLONG:
    case ULONGLONG:
    case DOUBLE:
    case DATETIME:
      return 8;
    default:
      return 0;
  }
}

const char* Name(uint8_t type) {
  switch (type) {
    case LONG:
      return "LONG";
    case ULONG:
      return "ULONG";
    case LONGLONG:
      return "LONGLONG";
    case ULONGLONG:
      return "ULONGLONG";
    case DOUBLE:
      return "DOUBLE";
    case DATE:
      return "DATE";
    case DATETIME:
      return "DATETIME";
    case TIME:
      return "TIME";
    case BINARY:
      return "BINARY";
    case STRING:
      return "STRING";
    case WSTRING:
      return "WSTRING";
    case MAP:
      return "MAP";
    case LIST:
      return "LIST";
    default:
      return nullptr;
  }
}

}  // namespace VariableType

namespace {

const uint8_t kFirstSizedType = VariableType::BINARY;

uint32_t DateWord(const CSPDate& date) {
  return static_cast<uint32_t>(date.GetDay()) | (static_cast<uint32_t>(date.GetMonth()) << 8) |
         (static_cast<uint32_t>(date.GetYear()) << 16);
}

uint32_t TimeWord(const CSPTime& time) {
  return static_cast<uint32_t>(time.GetSecond()) | (static_cast<uint32_t>(time.GetMinute()) << 8) |
         (static_cast<uint32_t>(time.GetHour()) << 16);
}

// A date word can only carry a real day of years 0 to 65535.
bool IsEncodableDate(const CSPDate& date) {
  int32_t month = date.GetMonth();
  int32_t year = date.GetYear();
  if (year < 0 || year > 0xFFFF || month < 1 || month > 12) return false;
  return date.GetDay() >= 1 && date.GetDay() <= CSPDate::DaysInMonth(month, year);
}

// Reads exactly n bytes at the current position. The file's own length
// bounds the allocation, whatever a hostile header claims.
bool ReadExactly(CSPFile& file, uint32_t n, CSPBuffer& out) {
  out.throwOnError = false;
  if (n == 0) {
    out.Free();
    return true;
  }
  uint32_t position = file.GetPosition();
  uint32_t fileSize = file.GetSize();
  if (position == 0xFFFFFFFFu || position > fileSize || fileSize - position < n) return false;
  return file.Read(out, n) && file.GetLastCount() == n;
}

// Moves past n bytes that are not needed; the end must lie inside the file.
bool Skip(CSPFile& file, uint32_t n) {
  if (n == 0) return true;
  uint32_t position = file.GetPosition();
  if (position == 0xFFFFFFFFu) return false;
  uint64_t target = static_cast<uint64_t>(position) + n;
  // Seek takes a signed 32-bit offset from the start.
  if (target > file.GetSize() || target > 0x7FFFFFFFu) return false;
  return file.Seek(static_cast<int32_t>(target));
}

}  // namespace

// ---------------------------------------------------------------------------
// Construction and setters

ComponentVariable& ComponentVariable::operator=(const ComponentVariable& other) {
  if (this == &other) return *this;
  // `other` may be a node inside this tree, which member-wise copies would
  // free while still reading it: copy it whole first.
  ComponentVariable copy(other);
  TakeFrom(copy);
  return *this;
}

// Moves the content of `source` here without copying values or children;
// `source` is left empty.
void ComponentVariable::TakeFrom(ComponentVariable& source) {
  name = source.name;
  type = source.type;
  elementType = source.elementType;
  size = source.size;
  compressedSize = source.compressedSize;
  count = source.count;
  wideText = source.wideText;
  text = source.text;
  bytes.Take(source.bytes);
  dateTime = source.dateTime;
  compressed = source.compressed;
  number = source.number;
  // The children change hands whole; this node's former ones go with
  // `source`'s.
  children.Swap(source.children);
  source.children.RemoveAll(true);
  elements.Swap(source.elements);
  source.elements.RemoveAll(true);
}

void ComponentVariable::Take(ComponentVariable& source) {
  if (&source == this) return;
  TakeFrom(source);
  source.Reset();
}

void ComponentVariable::Reset() {
  name.Empty();
  text.Empty();
  wideText.Empty();
  bytes.Free();
  type = 0;
  elementType = 0;
  size = 0;
  compressedSize = 0;
  count = 0;
  compressed = 0;
  // The whole cell, so that no earlier 64-bit value shows through a later
  // 32-bit one.
  number = 0;
  dateTime.GetDate().Clear();
  dateTime.GetTime().SetTime(0, 0, 0, 0);
  children.RemoveAll(true);
  elements.RemoveAll(true);
}

// Every setter starts afresh. The name is copied first because it may be
// this node's own name, which Reset empties.
void ComponentVariable::StartValue(const CSPString& nodeName, uint8_t newType, uint32_t newSize) {
  CSPString newName(nodeName);
  Reset();
  name = newName;
  type = newType;
  size = newSize;
}

void ComponentVariable::SetLong(const CSPString& nodeName, int32_t value) {
  SetULong(nodeName, static_cast<uint32_t>(value));
  type = VariableType::LONG;
}

void ComponentVariable::SetULong(const CSPString& nodeName, uint32_t value) {
  StartValue(nodeName, VariableType::ULONG, 4);
  number = value;
}

void ComponentVariable::SetLongLong(const CSPString& nodeName, int64_t value) {
  SetULongLong(nodeName, static_cast<uint64_t>(value));
  type = VariableType::LONGLONG;
}

void ComponentVariable::SetULongLong(const CSPString& nodeName, uint64_t value) {
  StartValue(nodeName, VariableType::ULONGLONG, 8);
  number = value;
}

void ComponentVariable::SetDouble(const CSPString& nodeName, double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  SetULongLong(nodeName, bits);
  type = VariableType::DOUBLE;
}

double ComponentVariable::GetDouble() const {
  double value;
  std::memcpy(&value, &number, sizeof value);
  return value;
}

void ComponentVariable::SetDate(const CSPString& nodeName, const CSPDate& value) {
  CSPDate date(value);
  StartValue(nodeName, VariableType::DATE, 4);
  dateTime.GetDate() = date;
}

void ComponentVariable::SetTime(const CSPString& nodeName, const CSPTime& value) {
  CSPTime time(value);
  StartValue(nodeName, VariableType::TIME, 4);
  dateTime.GetTime() = time;
}

void ComponentVariable::SetDateTime(const CSPString& nodeName, const CSPDateTime& value) {
  CSPDateTime both(value);
  StartValue(nodeName, VariableType::DATETIME, 8);
  dateTime = both;
}

void ComponentVariable::SetBinary(const CSPString& nodeName, const CSPBuffer& value) {
  CSPBuffer copy(value);
  StartValue(nodeName, VariableType::BINARY, copy.GetSize());
  bytes.Take(copy);
}

void ComponentVariable::SetString(const CSPString& nodeName, const CSPString& value) {
  CSPString copy(value);
  StartValue(nodeName, VariableType::STRING, copy.GetLength());
  text = copy;
}

void ComponentVariable::SetWString(const CSPString& nodeName, const CSPWString& value) {
  CSPWString copy(value);
  // A CSPWString holds at most 0x7FFFFFFE units, so twice that fits.
  StartValue(nodeName, VariableType::WSTRING, copy.GetLength() * 2);
  wideText = copy;
}

void ComponentVariable::SetMap(const CSPString& nodeName) {
  StartValue(nodeName, VariableType::MAP, 0);
}

void ComponentVariable::SetList(const CSPString& nodeName, uint8_t listElementType) {
  StartValue(nodeName, VariableType::LIST, 0);
  elementType = listElementType;
}

bool ComponentVariable::SetCompressed(bool value) {
  if (type < kFirstSizedType) return false;
  compressed = value ? 1 : 0;
  return true;
}

// ---------------------------------------------------------------------------
// Containers

bool ComponentVariable::AddToList(const CSPString& nodeName, const ComponentVariable& element) {
  bool restart = type != VariableType::LIST || elementType != element.type;
  uint64_t added = element.GetEncodedLength(false);
  uint64_t base = restart ? 0 : size;
  if (base + added > UINT32_MAX) return false;
  if (!restart && elements.GetCount() >= kMaxChildren) return false;
  // The element may live inside the list that a restart discards.
  ComponentVariable copy(element);
  uint8_t newElementType = element.type;
  CSPString newName(nodeName);
  if (restart) Reset();
  // Appending an adopted pointer would search the whole list each time.
  if (!elements.Add(ComponentVariable())) return false;
  elements.GetAt(elements.GetCount() - 1).TakeFrom(copy);
  name = newName;
  type = VariableType::LIST;
  elementType = newElementType;
  count = static_cast<uint16_t>(elements.GetCount());
  size = static_cast<uint32_t>(base + added);
  return true;
}

bool ComponentVariable::AddToMap(const CSPString& nodeName, const ComponentVariable& child) {
  bool restart = type != VariableType::MAP;
  const ComponentVariable* replaced = restart ? nullptr : children.Lookup(child.name);
  uint64_t base = restart ? 0 : size;
  if (replaced != nullptr) base -= replaced->GetEncodedLength(true);
  uint64_t grown = base + child.GetEncodedLength(true);
  if (grown > UINT32_MAX) return false;
  if (!restart && replaced == nullptr && children.GetCount() >= kMaxChildren) return false;
  CSPPtr<ComponentVariable> copy(new ComponentVariable(child));
  CSPString newName(nodeName);
  if (restart) Reset();
  if (!children.SetAtPtr(copy->name, copy.Get())) return false;
  copy.Detach();
  name = newName;
  type = VariableType::MAP;
  count = static_cast<uint16_t>(children.GetCount());
  size = static_cast<uint32_t>(grown);
  return true;
}

const ComponentVariable* ComponentVariable::GetChild(const CSPString& key) const {
  return type == VariableType::MAP ? children.Lookup(key) : nullptr;
}

ComponentVariable* ComponentVariable::GetChild(const CSPString& key) {
  return type == VariableType::MAP ? children.Lookup(key) : nullptr;
}

const ComponentVariable* ComponentVariable::GetChildAt(uint32_t index) const {
  return index < children.GetCount() ? &children.GetValueAt(index) : nullptr;
}

const ComponentVariable* ComponentVariable::GetListElement(uint32_t index) const {
  return elements.GetPtrAt(index);
}

ComponentVariable* ComponentVariable::GetListElement(uint32_t index) {
  return elements.GetPtrAt(index);
}

// ---------------------------------------------------------------------------
// Encoding

uint32_t ComponentVariable::HeaderLength(bool withName, bool packed) const {
  uint32_t length = 1;
  if (withName) length += 1 + name.GetLength();
  if (type == VariableType::LIST) length += 1;
  if (IsContainer()) length += 2;
  if (type >= kFirstSizedType) length += packed ? 9 : 5;
  return length;
}

// A container's `size` is always the plain length of the children it holds
// (kept by AddToList, AddToMap and the decoders), so no length needs a walk
// over the tree.
uint64_t ComponentVariable::BodyLength() const {
  switch (type) {
    case VariableType::BINARY:
      return bytes.GetSize();
    case VariableType::STRING:
      return text.GetLength();
    case VariableType::WSTRING:
      return static_cast<uint64_t>(wideText.GetLength()) * 2;
    case VariableType::MAP:
    case VariableType::LIST:
      return size;
    default:
      return VariableType::FixedSize(type);
  }
}

uint64_t ComponentVariable::GetEncodedLength(bool withName) const {
  return 6 + static_cast<uint64_t>(HeaderLength(withName, false)) + BodyLength();
}

bool ComponentVariable::Encode(CSPBuffer& out, bool withName) const {
  uint64_t length = GetEncodedLength(withName);
  if (length > UINT32_MAX) return false;
  ByteWriter writer(static_cast<uint32_t>(length));
  if (!writer.Ok() || !Write(writer, withName, nullptr)) return false;
  return writer.Finish(out);
}

bool ComponentVariable::Encode(CSPBuffer& out, bool withName, BodyPacker& packer) const {
  ByteWriter writer;
  if (!Write(writer, withName, &packer)) return false;
  return writer.Finish(out);
}

bool ComponentVariable::Write(ByteWriter& writer, bool withName, BodyPacker* packer) const {
  if (!VariableType::IsValid(type)) return false;
  if (withName && name.GetLength() > kMaxNameLength) return false;
  if (children.GetCount() > kMaxChildren || elements.GetCount() > kMaxChildren) return false;
  bool packed = packer != nullptr && compressed != 0 && type >= kFirstSizedType;
  uint32_t start = writer.Position();
  uint32_t headerLength = HeaderLength(withName, packed);
  if (!writer.PutU32(0) || !writer.PutU16(static_cast<uint16_t>(headerLength))) return false;
  if (packed) {
    ByteWriter plain;
    CSPBuffer stored;
    stored.throwOnError = false;
    if (!WriteBody(plain, packer) || !plain.Ok()) return false;
    if (!packer->Pack(plain.Data(), plain.Position(), stored)) return false;
    if (!WriteHeader(writer, withName, plain.Position(), true, stored.GetSize())) return false;
    if (!writer.Put(stored.GetData(), stored.GetSize())) return false;
  } else {
    if (!WriteHeader(writer, withName, 0, false, 0)) return false;
    uint32_t bodyStart = writer.Position();
    if (!WriteBody(writer, packer)) return false;
    // The size field is the last 4 bytes of the header.
    if (type >= kFirstSizedType) writer.PatchU32(bodyStart - 4, writer.Position() - bodyStart);
  }
  writer.PatchU32(start, writer.Position() - start - 6);
  return true;
}

bool ComponentVariable::WriteHeader(ByteWriter& writer, bool withName, uint32_t bodySize,
                                    bool packed, uint32_t packedSize) const {
  if (withName) {
    writer.PutU8(static_cast<uint8_t>(name.GetLength()));
    writer.Put(name.GetString(), name.GetLength());
  }
  writer.PutU8(type);
  if (type == VariableType::LIST) writer.PutU8(elementType);
  if (type == VariableType::MAP) writer.PutU16(static_cast<uint16_t>(children.GetCount()));
  if (type == VariableType::LIST) writer.PutU16(static_cast<uint16_t>(elements.GetCount()));
  if (type >= kFirstSizedType) {
    writer.PutU8(packed ? 1 : 0);
    writer.PutU32(bodySize);
    if (packed) writer.PutU32(packedSize);
  }
  return writer.Ok();
}

bool ComponentVariable::WriteDate(ByteWriter& writer) const {
  if (!IsEncodableDate(dateTime.GetDate())) return false;
  return writer.PutU32(DateWord(dateTime.GetDate()));
}

bool ComponentVariable::WriteBody(ByteWriter& writer, BodyPacker* packer) const {
  switch (type) {
    case VariableType::LONG:
    case VariableType::ULONG:
      return writer.PutU32(static_cast<uint32_t>(number));
    case VariableType::LONGLONG:
    case VariableType::ULONGLONG:
    case VariableType::DOUBLE:
      return writer.PutU64(number);
    case VariableType::DATE:
      return WriteDate(writer);
    case VariableType::TIME:
      return writer.PutU32(TimeWord(dateTime.GetTime()));
    case VariableType::DATETIME:
      return writer.PutU32(TimeWord(dateTime.GetTime())) && WriteDate(writer);
    case VariableType::BINARY:
      return writer.Put(bytes.GetData(), bytes.GetSize());
    case VariableType::STRING:
      return writer.Put(text.GetString(), text.GetLength());
    case VariableType::WSTRING:
      for (uint32_t i = 0; i < wideText.GetLength(); ++i) {
        if (!writer.PutU16(static_cast<uint16_t>(wideText.GetString()[i]))) return false;
      }
      return true;
    case VariableType::MAP:
      for (uint32_t i = 0; i < children.GetCount(); ++i) {
        if (!children.GetValueAt(i).Write(writer, true, packer)) return false;
      }
      return true;
    case VariableType::LIST:
      for (uint32_t i = 0; i < elements.GetCount(); ++i) {
        const ComponentVariable& element = elements.GetAt(i);
        // An element of another type would make the whole list undecodable.
        if (element.type != elementType || !element.Write(writer, false, packer)) return false;
      }
      return true;
    default:
      return false;
  }
}

// ---------------------------------------------------------------------------
// Decoding

bool ComponentVariable::ReadHeader(const unsigned char* header, uint32_t headerLength,
                                   bool withName) {
  uint32_t cursor = 0;
  auto fits = [&](uint32_t width) { return width <= headerLength - cursor; };
  if (withName) {
    if (!fits(1)) return false;
    uint32_t nameLength = header[cursor++];
    if (!fits(nameLength)) return false;
    name.Append(reinterpret_cast<const char*>(header + cursor), nameLength);
    cursor += nameLength;
  }
  if (!fits(1)) return false;
  type = header[cursor++];
  if (type == VariableType::LIST) {
    if (!fits(1)) return false;
    elementType = header[cursor++];
  }
  if (IsContainer()) {
    if (!fits(2)) return false;
    count = GetU16(header + cursor);
    cursor += 2;
  }
  if (type >= kFirstSizedType) {
    if (!fits(5)) return false;
    compressed = header[cursor];
    size = GetU32(header + cursor + 1);
    cursor += 5;
    if (compressed != 0) {
      if (!fits(4)) return false;
      compressedSize = GetU32(header + cursor);
      cursor += 4;
    }
  }
  return cursor == headerLength;
}

namespace {

// One decompressor a thread, made on first use: making one per node would
// cost more than inflating a small body.
libdeflate_decompressor* Decompressor() {
  struct Free {
    void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
  };
  thread_local std::unique_ptr<libdeflate_decompressor, Free> decompressor(
      libdeflate_alloc_decompressor());
  return decompressor.get();
}

}  // namespace

bool ComponentVariable::Inflate(const unsigned char* body, uint32_t bodyLength,
                                CSPBuffer& inflated) const {
  if (bodyLength != compressedSize) return false;
  // Refused before a buffer of `size` bytes exists.
  if (size > static_cast<uint64_t>(compressedSize) * kMaxInflateRatio) return false;
  libdeflate_decompressor* decompressor = Decompressor();
  if (decompressor == nullptr) return false;
  inflated.throwOnError = false;
  if (!inflated.SetSize(size)) return false;
  // Without a place for the produced length, a stream that yields more or
  // fewer bytes than the stated size fails.
  return libdeflate_zlib_decompress(decompressor, body, bodyLength, inflated.GetData(), size,
                                    nullptr) == LIBDEFLATE_SUCCESS;
}

bool ComponentVariable::Decode(const unsigned char* data, uint32_t totalLength,
                               uint32_t headerLength, uint32_t maxDepth, uint32_t depth,
                               bool withName) {
  if (maxDepth < depth || depth > kNestingBound) return false;
  Reset();
  if (headerLength > totalLength || !ReadHeader(data, headerLength, withName)) return false;
  if (depth == maxDepth) {
    count = 0;
    if (IsContainer()) {
      size = 0;  // holds no children
      return true;
    }
  }
  const unsigned char* body = data + headerLength;
  uint32_t bodyLength = totalLength - headerLength;
  CSPBuffer inflated;
  if (compressed != 0) {
    if (!Inflate(body, bodyLength, inflated)) return false;
    body = inflated.GetData();
    bodyLength = size;
  }
  return ReadBody(body, bodyLength, maxDepth, depth, inflated);
}

// `owned` holds the body when it was inflated; a BINARY value may take it
// over instead of copying it.
bool ComponentVariable::ReadBody(const unsigned char* body, uint32_t bodyLength, uint32_t maxDepth,
                                 uint32_t depth, CSPBuffer& owned) {
  uint32_t fixed = VariableType::FixedSize(type);
  if (fixed != 0) size = fixed;
  if (bodyLength < size || !VariableType::IsValid(type)) return false;
  if (IsContainer()) return ReadChildren(body, bodyLength, maxDepth, depth);
  return ReadValue(body, owned);
}

bool ComponentVariable::ReadDate(uint32_t word) {
  int32_t day = static_cast<int32_t>(word & 0xFF);
  int32_t month = static_cast<int32_t>((word >> 8) & 0xFF);
  int32_t year = static_cast<int32_t>(word >> 16);
  // Checked here so that a bad date is a refusal, not an exception.
  if (month < 1 || month > 12 || day < 1 || day > CSPDate::DaysInMonth(month, year)) {
    return false;
  }
  dateTime.GetDate().SetDate(day, month, year);
  return true;
}

bool ComponentVariable::ReadValue(const unsigned char* body, CSPBuffer& owned) {
  switch (type) {
    case VariableType::LONG:
    case VariableType::ULONG:
      number = GetU32(body);
      return true;
    case VariableType::LONGLONG:
    case VariableType::ULONGLONG:
    case VariableType::DOUBLE:
      number = GetU64(body);
      return true;
    case VariableType::DATE:
      return ReadDate(GetU32(body));
    case VariableType::TIME: {
      uint32_t word = GetU32(body);
      dateTime.GetTime().SetTime(word & 0xFF, (word >> 8) & 0xFF, (word >> 16) & 0xFF, 0);
      return true;
    }
    case VariableType::DATETIME: {
      uint32_t word = GetU32(body);
      dateTime.GetTime().SetTime(word & 0xFF, (word >> 8) & 0xFF, (word >> 16) & 0xFF, 0);
      return ReadDate(GetU32(body + 4));
    }
    case VariableType::BINARY:
      if (owned.GetSize() == size && owned.GetData() == body) {
        bytes.Take(owned);
        return true;
      }
      return bytes.Set(body, size);
    case VariableType::STRING:
      text.Append(reinterpret_cast<const char*>(body), size);
      return true;
    case VariableType::WSTRING: {
      uint32_t units = size / 2;
      CSPScalarArray<char16_t> wide;
      if (!wide.SetSize(units)) return false;
      for (uint32_t i = 0; i < units; ++i) {
        wide.GetData()[i] = static_cast<char16_t>(GetU16(body + 2 * i));
      }
      wideText.Append(wide.GetData(), units);
      return true;
    }
    default:
      return false;
  }
}

// Lists decode each element in place at the end of the list (appending an
// adopted pointer would search the whole list each time); map children are
// decoded apart and stored under the name they carry.
ComponentVariable* ComponentVariable::OpenChild(CSPPtr<ComponentVariable>& loose) {
  if (type == VariableType::MAP) {
    loose.Set(new ComponentVariable);
    return loose.Get();
  }
  if (!elements.Add(ComponentVariable())) return nullptr;
  return elements.GetPtrAt(elements.GetCount() - 1);
}

bool ComponentVariable::CloseChild(ComponentVariable* child, CSPPtr<ComponentVariable>& loose) {
  if (type == VariableType::LIST) return child->type == elementType;
  // A repeated name replaces the earlier child: the last one wins.
  return children.SetAtPtr(child->name, loose.Detach());
}

bool ComponentVariable::ReadChildren(const unsigned char* body, uint32_t bodyLength,
                                     uint32_t maxDepth, uint32_t depth) {
  bool isMap = type == VariableType::MAP;
  if (!isMap) elements.SetSize(count);
  uint32_t offset = 0;
  for (uint32_t i = 0; i < count; ++i) {
    if (bodyLength - offset < 6) return false;
    uint32_t childTotal = GetU32(body + offset);
    uint32_t childHeader = GetU16(body + offset + 4);
    if (childTotal < childHeader || childTotal > bodyLength - offset - 6) return false;
    CSPPtr<ComponentVariable> loose;
    ComponentVariable* child = OpenChild(loose);
    if (child == nullptr ||
        !child->Decode(body + offset + 6, childTotal, childHeader, maxDepth, depth + 1, isMap)) {
      return false;
    }
    if (!CloseChild(child, loose)) return false;
    offset += 6 + childTotal;
  }
  return offset == bodyLength && HoldChildren();
}

// After the children are read, `count` and `size` describe what is held, as
// it encodes: repeated map names leave fewer children than announced, and
// compressed descendants encode longer than they were stored.
bool ComponentVariable::HoldChildren() {
  bool isMap = type == VariableType::MAP;
  uint32_t held = isMap ? children.GetCount() : elements.GetCount();
  uint64_t plain = 0;
  for (uint32_t i = 0; i < held; ++i) {
    plain += (isMap ? children.GetValueAt(i) : elements.GetAt(i)).GetEncodedLength(isMap);
  }
  // A tree that could not be written again is refused.
  if (plain > UINT32_MAX) return false;
  count = static_cast<uint16_t>(held);
  size = static_cast<uint32_t>(plain);
  return true;
}

// ---------------------------------------------------------------------------
// Decoding from a file

bool ComponentVariable::DecodeFromFile(CSPFile& file, uint32_t totalLength, uint32_t headerLength,
                                       uint32_t maxDepth, uint32_t depth, bool withName) {
  if (maxDepth < depth || depth > kNestingBound) return false;
  Reset();
  if (headerLength > totalLength) return false;
  CSPBuffer header;
  if (!ReadExactly(file, headerLength, header)) return false;
  if (!ReadHeader(header.GetData(), headerLength, withName)) return false;
  uint32_t bodyLength = totalLength - headerLength;
  if (depth == maxDepth) {
    count = 0;
    if (IsContainer()) {
      size = 0;  // holds no children
      return Skip(file, bodyLength);
    }
  }
  return ReadFileBody(file, bodyLength, maxDepth, depth);
}

bool ComponentVariable::ReadFileBody(CSPFile& file, uint32_t bodyLength, uint32_t maxDepth,
                                     uint32_t depth) {
  CSPBuffer body;
  if (compressed != 0) {
    CSPBuffer stored;
    if (bodyLength != compressedSize || !ReadExactly(file, bodyLength, stored)) return false;
    if (!Inflate(stored.GetData(), stored.GetSize(), body)) return false;
    return ReadBody(body.GetData(), size, maxDepth, depth, body);
  }
  uint32_t fixed = VariableType::FixedSize(type);
  if (fixed != 0) size = fixed;
  if (bodyLength < size || !VariableType::IsValid(type)) return false;
  if (IsContainer()) return ReadFileChildren(file, bodyLength, maxDepth, depth);
  if (!ReadExactly(file, size, body)) return false;
  if (!ReadValue(body.GetData(), body)) return false;
  // Bytes beyond `size` are not part of the value.
  return Skip(file, bodyLength - size);
}

bool ComponentVariable::ReadFileChildren(CSPFile& file, uint32_t bodyLength, uint32_t maxDepth,
                                         uint32_t depth) {
  bool isMap = type == VariableType::MAP;
  if (!isMap) elements.SetSize(count);
  uint32_t consumed = 0;
  CSPBuffer prefix;
  for (uint32_t i = 0; i < count; ++i) {
    if (bodyLength - consumed < 6 || !ReadExactly(file, 6, prefix)) return false;
    uint32_t childTotal = GetU32(prefix.GetData());
    uint32_t childHeader = GetU16(prefix.GetData() + 4);
    if (childTotal < childHeader || childTotal > bodyLength - consumed - 6) return false;
    CSPPtr<ComponentVariable> loose;
    ComponentVariable* child = OpenChild(loose);
    if (child == nullptr ||
        !child->DecodeFromFile(file, childTotal, childHeader, maxDepth, depth + 1, isMap)) {
      return false;
    }
    if (!CloseChild(child, loose)) return false;
    consumed += 6 + childTotal;
  }
  return consumed == bodyLength && HoldChildren();
}
