// One node of the package value tree: a number, a date or time, a byte
// block, an 8-bit or 16-bit text, a map of named children or a list of
// unnamed children of one type.
//
// Byte format of one encoded node (every integer little-endian, no padding):
//
//   offset 0   4 bytes   total length T = header length + body length
//   offset 4   2 bytes   header length H
//   offset 6   H bytes   header:
//                          name length n (1) and name (n)  only when encoded with its name
//                          type (1)
//                          element type (1)                LIST only
//                          count (2)                       MAP and LIST
//                          compressed flag (1), size (4)   types 0x40 and above
//                          compressed size (4)             when the flag is non-zero
//   offset 6+H T-H bytes body:
//                          LONG, ULONG: 4 bytes; LONGLONG, ULONGLONG, DOUBLE: 8 bytes
//                          DATE: day | month << 8 | year << 16
//                          TIME: second | minute << 8 | hour << 16
//                          DATETIME: the TIME word, then the DATE word
//                          BINARY, STRING: the raw bytes; WSTRING: UTF-16LE units
//                          MAP: every child's full encoding with its name, in
//                               ascending ordinal order of the names
//                          LIST: every element's full encoding without a name
//                        A compressed body is the zlib stream of that body;
//                        `size` is then the inflated length.
//
// Example: a ULONG named "OPTIONS" holding 2 is 0D 00 00 00 | 09 00 |
// 07 "OPTIONS" 02 | 02 00 00 00, 19 bytes.
#pragma once

#include <cstdint>

#include "core/CSPBuffer.h"
#include "core/CSPDateTime.h"
#include "core/CSPFile.h"
#include "core/CSPList.h"
#include "core/CSPMap.h"
#include "core/CSPPtr.h"
#include "core/CSPString.h"

class ByteWriter;

// The type byte of a node. Every other value, 0 included, is invalid in an
// encoding; 0 marks a node that holds nothing yet.
namespace VariableType {
constexpr uint8_t LONG = 0x01;
constexpr uint8_t ULONG = 0x02;
constexpr uint8_t LONGLONG = 0x03;
constexpr uint8_t ULONGLONG = 0x04;
constexpr uint8_t DOUBLE = 0x05;
constexpr uint8_t DATE = 0x20;
constexpr uint8_t DATETIME = 0x21;
constexpr uint8_t TIME = 0x22;
constexpr uint8_t BINARY = 0x40;
constexpr uint8_t STRING = 0x41;
constexpr uint8_t WSTRING = 0x42;
constexpr uint8_t MAP = 0x60;
constexpr uint8_t LIST = 0x61;

bool IsValid(uint8_t type);
// 4 or 8 for the numbers, dates and times; 0 for every other type.
uint32_t FixedSize(uint8_t type);
// "ULONG", "MAP", ...; null for an invalid type.
const char* Name(uint8_t type);
}  // namespace VariableType

// Turns a node body into the form stored on the wire. The engine itself
// never compresses; package makers' tools supply one (zlib) so that nodes
// marked with SetCompressed are stored deflated.
class BodyPacker {
 public:
  virtual ~BodyPacker() = default;
  // Replaces `packed` with the stored form of the body; false refuses.
  virtual bool Pack(const unsigned char* body, uint32_t length, CSPBuffer& packed) = 0;
};

class ComponentVariable {
 public:
  // Deepest nesting the decoders accept: real packages stay below 5 levels,
  // and the bound keeps hostile nesting from exhausting the stack.
  static const uint32_t kNestingBound = 64;
  static const uint32_t kMaxNameLength = 255;
  static const uint32_t kMaxChildren = 65535;
  // A deflate stream cannot inflate to more than 1032 times its length, so a
  // larger claimed size is refused before anything is allocated for it.
  static const uint32_t kMaxInflateRatio = 1032;

  ComponentVariable() = default;
  ComponentVariable(const ComponentVariable& other) = default;
  ComponentVariable& operator=(const ComponentVariable& other);
  virtual ~ComponentVariable() = default;

  void Reset();
  // Moves the value and children of `source` here without copying them and
  // leaves `source` empty. `source` must not lie inside this node.
  void Take(ComponentVariable& source);

  void SetLong(const CSPString& nodeName, int32_t value);
  void SetULong(const CSPString& nodeName, uint32_t value);
  void SetLongLong(const CSPString& nodeName, int64_t value);
  void SetULongLong(const CSPString& nodeName, uint64_t value);
  void SetDouble(const CSPString& nodeName, double value);
  void SetDate(const CSPString& nodeName, const CSPDate& value);
  void SetTime(const CSPString& nodeName, const CSPTime& value);
  void SetDateTime(const CSPString& nodeName, const CSPDateTime& value);
  void SetBinary(const CSPString& nodeName, const CSPBuffer& value);
  void SetString(const CSPString& nodeName, const CSPString& value);
  void SetWString(const CSPString& nodeName, const CSPWString& value);
  // An empty MAP, and an empty LIST whose elements will be of elementType:
  // a package needs its list of components even when it has none.
  void SetMap(const CSPString& nodeName);
  void SetList(const CSPString& nodeName, uint8_t listElementType);

  // An element of another type than the list's discards the earlier ones.
  // False (node unchanged) when the list already holds kMaxChildren elements
  // or its body would pass 4 GiB.
  bool AddToList(const CSPString& nodeName, const ComponentVariable& element);
  // Stores a copy under the child's own name, replacing a child of that
  // name. False (node unchanged) for a new name beyond kMaxChildren children
  // or a body beyond 4 GiB.
  bool AddToMap(const CSPString& nodeName, const ComponentVariable& child);

  // Asks an Encode with a BodyPacker to store this node's body packed. Only
  // byte, text and container nodes (type 0x40 and above) can carry it.
  bool SetCompressed(bool value);

  // The map child named exactly `key`, or null.
  const ComponentVariable* GetChild(const CSPString& key) const;
  ComponentVariable* GetChild(const CSPString& key);
  // Children of a map, in ascending name order.
  uint32_t GetChildCount() const { return children.GetCount(); }
  const ComponentVariable* GetChildAt(uint32_t index) const;
  // Elements of a list, in order; null beyond the end.
  uint32_t GetElementCount() const { return elements.GetCount(); }
  const ComponentVariable* GetListElement(uint32_t index) const;
  ComponentVariable* GetListElement(uint32_t index);

  // Accessors do not check the type; callers check it first.
  const CSPString& GetName() const { return name; }
  uint8_t GetType() const { return type; }
  uint8_t GetElementType() const { return elementType; }
  uint32_t GetSize() const { return size; }
  uint32_t GetCompressedSize() const { return compressedSize; }
  uint16_t GetCount() const { return count; }
  bool IsCompressed() const { return compressed != 0; }
  int32_t GetLong() const { return static_cast<int32_t>(static_cast<uint32_t>(number)); }
  uint32_t GetULong() const { return static_cast<uint32_t>(number); }
  int64_t GetLongLong() const { return static_cast<int64_t>(number); }
  uint64_t GetULongLong() const { return number; }
  double GetDouble() const;
  const CSPDate& GetDate() const { return dateTime.GetDate(); }
  const CSPTime& GetTime() const { return dateTime.GetTime(); }
  const CSPDateTime& GetDateTime() const { return dateTime; }
  const CSPString& GetText() const { return text; }
  const CSPWString& GetWideText() const { return wideText; }
  const CSPBuffer& GetBytes() const { return bytes; }

  // Replaces `out` with the node's encoding, 6-byte length prefix included.
  // Refuses (false, `out` unchanged) anything that would not decode back to
  // the same tree: an invalid type, a name over 255 bytes, more than 65,535
  // children, a list element of another type, a date that is not a valid
  // day, a node over 4 GiB. Every body is written plain.
  bool Encode(CSPBuffer& out, bool withName) const;
  // The same, storing the bodies of nodes marked with SetCompressed through
  // `packer`.
  bool Encode(CSPBuffer& out, bool withName, BodyPacker& packer) const;
  // Length of the plain encoding, prefix included.
  uint64_t GetEncodedLength(bool withName) const;

  // `data` points at the node's header; the body follows it, totalLength -
  // headerLength bytes. Nodes at maxDepth keep no children: a container
  // there decodes as empty without its body being looked at.
  bool Decode(const unsigned char* data, uint32_t totalLength, uint32_t headerLength,
              uint32_t maxDepth, uint32_t depth, bool withName);
  // The same from the current position of an open file; afterwards the
  // position is the end of the node. Containers at maxDepth are skipped.
  bool DecodeFromFile(CSPFile& file, uint32_t totalLength, uint32_t headerLength, uint32_t maxDepth,
                      uint32_t depth, bool withName);

 private:
  // Reset, then the name, type and size of a new value.
  void StartValue(const CSPString& nodeName, uint8_t newType, uint32_t newSize);
  void TakeFrom(ComponentVariable& source);
  bool IsContainer() const { return type == VariableType::MAP || type == VariableType::LIST; }
  uint32_t HeaderLength(bool withName, bool packed) const;
  uint64_t BodyLength() const;

  bool Write(ByteWriter& writer, bool withName, BodyPacker* packer) const;
  bool WriteBody(ByteWriter& writer, BodyPacker* packer) const;
  bool WriteDate(ByteWriter& writer) const;
  bool WriteHeader(ByteWriter& writer, bool withName, uint32_t bodySize, bool packed,
                   uint32_t packedSize) const;

  bool ReadHeader(const unsigned char* header, uint32_t headerLength, bool withName);
  bool ReadBody(const unsigned char* body, uint32_t bodyLength, uint32_t maxDepth, uint32_t depth,
                CSPBuffer& owned);
  bool ReadValue(const unsigned char* body, CSPBuffer& owned);
  bool ReadDate(uint32_t word);
  bool HoldChildren();
  bool ReadChildren(const unsigned char* body, uint32_t bodyLength, uint32_t maxDepth,
                    uint32_t depth);
  ComponentVariable* OpenChild(CSPPtr<ComponentVariable>& loose);
  bool CloseChild(ComponentVariable* child, CSPPtr<ComponentVariable>& loose);
  bool Inflate(const unsigned char* body, uint32_t bodyLength, CSPBuffer& inflated) const;
  bool ReadFileBody(CSPFile& file, uint32_t bodyLength, uint32_t maxDepth, uint32_t depth);
  bool ReadFileChildren(CSPFile& file, uint32_t bodyLength, uint32_t maxDepth, uint32_t depth);

  CSPString name;
  uint8_t type = 0;
  uint8_t elementType = 0;
  // Body length: fixed for numbers, dates and times; the value's length for
  // bytes and texts; for MAP and LIST the plain length of the children held.
  uint32_t size = 0;
  uint32_t compressedSize = 0;
  uint16_t count = 0;
  CSPWString wideText;
  CSPString text;
  CSPBuffer bytes;
  CSPDateTime dateTime;
  uint8_t compressed = 0;
  // LONG and ULONG use the low 32 bits; DOUBLE keeps its IEEE 754 bits here.
  uint64_t number = 0;
  CSPMap<CSPString, ComponentVariable> children;
  CSPList<ComponentVariable> elements;
};
