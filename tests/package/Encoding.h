// Spells package encodings out byte by byte for tests, and turns them into
// nodes and engine inputs.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "core/CSPBuffer.h"
#include "package/ComponentVariable.h"

namespace package_test {

using Bytes = std::vector<unsigned char>;

inline Bytes& Put(Bytes& out, std::initializer_list<int> bytes) {
  for (int b : bytes) out.push_back(static_cast<unsigned char>(b));
  return out;
}
inline Bytes& U16(Bytes& out, uint32_t v) { return Put(out, {int(v & 0xFF), int(v >> 8 & 0xFF)}); }
inline Bytes& U32(Bytes& out, uint32_t v) {
  return Put(out, {int(v & 0xFF), int(v >> 8 & 0xFF), int(v >> 16 & 0xFF), int(v >> 24 & 0xFF)});
}
inline Bytes& Text(Bytes& out, const std::string& text) {
  out.insert(out.end(), text.begin(), text.end());
  return out;
}
inline Bytes& Append(Bytes& out, const Bytes& more) {
  out.insert(out.end(), more.begin(), more.end());
  return out;
}

inline Bytes Raw(const std::string& text) { return Bytes(text.begin(), text.end()); }

// A whole node: the 6-byte length prefix, then header and body.
inline Bytes Frame(const Bytes& header, const Bytes& body) {
  Bytes out;
  U32(out, static_cast<uint32_t>(header.size() + body.size()));
  U16(out, static_cast<uint32_t>(header.size()));
  Append(out, header);
  return Append(out, body);
}

// Header of a named node: name length, name, type.
inline Bytes Named(const std::string& name, int type) {
  Bytes out;
  Put(out, {int(name.size())});
  Text(out, name);
  return Put(out, {type});
}

inline Bytes NamedULong(const std::string& name, uint32_t value) {
  Bytes body;
  return Frame(Named(name, VariableType::ULONG), U32(body, value));
}

inline Bytes NamedString(const std::string& name, const std::string& value) {
  Bytes header = Named(name, VariableType::STRING);
  Put(header, {0});
  U32(header, static_cast<uint32_t>(value.size()));
  Bytes body;
  return Frame(header, Text(body, value));
}

// A container header after the name: (element type,) count, flag 0, size.
inline Bytes ContainerHeader(Bytes header, int elementType, uint32_t count, uint32_t size) {
  if (elementType >= 0) Put(header, {elementType});
  U16(header, count);
  Put(header, {0});
  return U32(header, size);
}

inline Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) Append(out, part);
  return out;
}

// Decodes a framed node from memory with the engine's decoder.
inline bool DecodeFramed(ComponentVariable& node, const Bytes& framed, bool withName,
                         uint32_t maxDepth = 0xFFFFFFFFu) {
  if (framed.size() < 6) return false;
  uint32_t total = framed[0] | framed[1] << 8 | framed[2] << 16 | uint32_t(framed[3]) << 24;
  uint32_t header = framed[4] | framed[5] << 8;
  if (total < header || total > framed.size() - 6) return false;
  return node.Decode(framed.data() + 6, total, header, maxDepth, 0, withName);
}

inline CSPBuffer BufferOf(const Bytes& bytes) {
  CSPBuffer out;
  out.Set(bytes.data(), static_cast<uint32_t>(bytes.size()));
  return out;
}

inline Bytes BytesOf(const CSPBuffer& buffer) {
  return Bytes(buffer.GetData(), buffer.GetData() + buffer.GetSize());
}

inline Bytes Encoded(const ComponentVariable& node, bool withName) {
  CSPBuffer out;
  if (!node.Encode(out, withName)) return Bytes();
  return BytesOf(out);
}

// The magic and version word in front of an encoded root.
inline Bytes PackageOf(const Bytes& root, uint32_t version = 0x20000) {
  Bytes out;
  Text(out, "CVSETUPPCKG:");
  U32(out, version);
  return Append(out, root);
}

}  // namespace package_test
