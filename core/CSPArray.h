// A fixed-size array of value-initialised elements, used as a character
// buffer for Windows calls that fill caller-supplied memory.
#pragma once

#include <cstdint>
#include <new>

#include "core/CSPObject.h"
#include "core/CSPSoftFail.h"
#include "core/CSPThrow.h"

template <typename T>
class CSPArray : public CSPObject {
 public:
  // Throws OutOfMemory when the block cannot be allocated: a constructor has
  // no result to report it in.
  explicit CSPArray(uint32_t n = 0) {
    if (n == 0) return;
    data = new (std::nothrow) T[n]();
    if (data == nullptr) CSPThrowOutOfMemory();
    size = n;
  }
  // Owns its block; copying is not part of its use.
  CSPArray(const CSPArray&) = delete;
  CSPArray& operator=(const CSPArray&) = delete;
  ~CSPArray() override { delete[] data; }

  // Discards every element; the old ones are gone also when it fails.
  bool SetSize(uint32_t n) {
    delete[] data;
    data = nullptr;
    size = 0;
    if (n == 0) return true;
    data = new (std::nothrow) T[n]();
    if (data == nullptr) return CSPSoftOutOfMemory(*this);
    size = n;
    return true;
  }

  uint32_t GetSize() const { return size; }
  T* GetData() { return data; }
  const T* GetData() const { return data; }

  // Always throws OutOfRange beyond the size.
  T& GetAt(uint32_t index) {
    if (index >= size) CSPThrowOutOfRange();
    return data[index];
  }
  const T& GetAt(uint32_t index) const {
    if (index >= size) CSPThrowOutOfRange();
    return data[index];
  }

 private:
  T* data = nullptr;
  uint32_t size = 0;
};
