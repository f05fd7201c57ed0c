// A byte buffer: raw file contents and the bytes of 8-bit or 16-bit text.
// 16-bit text is stored as two bytes per code unit, little-endian, without a
// terminator.
#pragma once

#include <cstdint>

#include "core/CSPObject.h"
#include "core/CSPScalarArray.h"

class CSPString;
class CSPWString;

class CSPBuffer : public CSPObject {
 public:
  CSPBuffer() = default;
  CSPBuffer(const CSPBuffer& other) = default;
  // Assignment is Set; the target keeps its own throwOnError.
  CSPBuffer& operator=(const CSPBuffer& other);
  CSPBuffer& operator=(const CSPScalarArray<unsigned char>& other);
  CSPBuffer& operator=(const CSPString& text);
  CSPBuffer& operator=(const CSPWString& text);
  ~CSPBuffer() override = default;

  bool SetSize(uint32_t n) { return Bytes().SetSize(n); }
  bool Resize(uint32_t n) { return Bytes().Resize(n); }
  bool Grow(uint32_t n) { return Bytes().Grow(n); }
  bool Shrink(uint32_t n) { return Bytes().Shrink(n); }
  uint32_t GetSize() const { return bytes.GetSize(); }
  unsigned char* GetData() { return bytes.GetData(); }
  const unsigned char* GetData() const { return bytes.GetData(); }

  bool Set(const void* source, uint32_t n);
  bool Set(const CSPBuffer& other);
  bool Set(const CSPScalarArray<unsigned char>& other);
  bool Set(const CSPString& text);
  bool Set(const CSPWString& text);

  bool Append(const void* source, uint32_t n);
  bool Append(const CSPBuffer& other);
  bool Append(const CSPScalarArray<unsigned char>& other);
  bool Append(const CSPString& text);
  bool Append(const CSPWString& text);
  CSPBuffer& operator+=(const CSPBuffer& other);
  CSPBuffer& operator+=(const CSPScalarArray<unsigned char>& other);
  CSPBuffer& operator+=(const CSPString& text);
  CSPBuffer& operator+=(const CSPWString& text);

  bool operator==(const CSPBuffer& other) const { return bytes == other.bytes; }
  bool operator!=(const CSPBuffer& other) const { return bytes != other.bytes; }

  // Always throws OutOfRange beyond the size.
  unsigned char& GetAt(uint32_t index) { return bytes.GetAt(index); }
  const unsigned char& GetAt(uint32_t index) const { return bytes.GetAt(index); }
  bool SetAt(uint32_t index, unsigned char value) { return Bytes().SetAt(index, value); }

  unsigned char* Detach() { return bytes.Detach(); }
  void Attach(unsigned char* block, uint32_t n) { bytes.Attach(block, n); }
  void Take(CSPBuffer& other) { bytes.Take(other.bytes); }
  void Free() { bytes.Free(); }

 private:
  // The bytes answer to this buffer's throwOnError, which callers may change
  // at any time.
  CSPScalarArray<unsigned char>& Bytes() {
    bytes.throwOnError = throwOnError;
    return bytes;
  }

  CSPScalarArray<unsigned char> bytes;
};
