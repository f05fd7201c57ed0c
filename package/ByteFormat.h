// Little-endian integers of the package encoding, read and written one byte
// at a time so that the host's byte order never matters, and ByteWriter, the
// cursor the encoder writes a node tree through.
#pragma once

#include <cstdint>
#include <cstring>

#include "core/CSPBuffer.h"

namespace PackageBytes {

inline uint16_t GetU16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

inline uint32_t GetU32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

inline uint64_t GetU64(const unsigned char* p) {
  return static_cast<uint64_t>(GetU32(p)) | (static_cast<uint64_t>(GetU32(p + 4)) << 32);
}

inline void PutU16(unsigned char* p, uint16_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
}

inline void PutU32(unsigned char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

inline void PutU64(unsigned char* p, uint64_t v) {
  PutU32(p, static_cast<uint32_t>(v));
  PutU32(p + 4, static_cast<uint32_t>(v >> 32));
}

}  // namespace PackageBytes

// Appends bytes to a buffer that grows by doubling, so that an encoding of
// unknown length costs amortised linear time; a writer created with the
// exact final length never reallocates. Positions are byte offsets from the
// start, and a 32-bit size can be patched in once it is known.
class ByteWriter {
 public:
  explicit ByteWriter(uint32_t expectedLength = 0) {
    buffer.throwOnError = false;
    if (expectedLength != 0) ok = buffer.SetSize(expectedLength);
  }

  bool Ok() const { return ok; }
  uint32_t Position() const { return used; }

  bool Put(const void* data, uint32_t n) {
    if (n == 0) return ok;
    if (!MakeRoom(n)) return false;
    std::memcpy(buffer.GetData() + used, data, n);
    used += n;
    return true;
  }
  bool PutU8(uint8_t v) { return Put(&v, 1); }
  bool PutU16(uint16_t v) {
    unsigned char b[2];
    PackageBytes::PutU16(b, v);
    return Put(b, 2);
  }
  bool PutU32(uint32_t v) {
    unsigned char b[4];
    PackageBytes::PutU32(b, v);
    return Put(b, 4);
  }
  bool PutU64(uint64_t v) {
    unsigned char b[8];
    PackageBytes::PutU64(b, v);
    return Put(b, 8);
  }

  // `at` must be a position already written.
  void PatchU32(uint32_t at, uint32_t v) { PackageBytes::PutU32(buffer.GetData() + at, v); }

  const unsigned char* Data() const { return buffer.GetData(); }

  // Hands the written bytes to `out`, replacing its content.
  bool Finish(CSPBuffer& out) {
    if (!ok) return false;
    if (used == 0) {
      out.Free();
      return true;
    }
    if (used != buffer.GetSize() && !buffer.Resize(used)) return false;
    out.Take(buffer);
    used = 0;
    return true;
  }

 private:
  bool MakeRoom(uint32_t n) {
    if (!ok) return false;
    if (n > UINT32_MAX - used) return ok = false;
    uint32_t needed = used + n;
    if (needed <= buffer.GetSize()) return true;
    uint64_t grown = static_cast<uint64_t>(buffer.GetSize()) * 2;
    if (grown < needed) grown = needed;
    if (grown < 256) grown = 256;
    if (grown > UINT32_MAX) grown = UINT32_MAX;
    return ok = buffer.Resize(static_cast<uint32_t>(grown));
  }

  CSPBuffer buffer;
  uint32_t used = 0;
  bool ok = true;
};
