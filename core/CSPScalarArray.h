// A heap block of plain values (characters or bytes) with an exact size.
// Blocks come from std::malloc so that Resize can grow them in place; a block
// handed out by Detach is freed with std::free, and Attach expects one.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "core/CSPObject.h"
#include "core/CSPSoftFail.h"
#include "core/CSPThrow.h"

template <typename T>
class CSPScalarArray : public CSPObject {
  static_assert(std::is_trivially_copyable<T>::value, "plain values only");

 public:
  CSPScalarArray() = default;
  // A copy that cannot be allocated throws whatever throwOnError says: a
  // constructor has no result to report it in.
  CSPScalarArray(const CSPScalarArray& other) : CSPObject(other) {
    if (other.size == 0) return;
    data = Allocate(other.size);
    if (data == nullptr) CSPThrowOutOfMemory();
    std::memcpy(data, other.data, Bytes(other.size));
    size = other.size;
  }
  // Assignment is Set; the target keeps its own throwOnError.
  CSPScalarArray& operator=(const CSPScalarArray& other) {
    Set(other);
    return *this;
  }
  ~CSPScalarArray() override { std::free(data); }

  // Discards the contents; the new elements are uninitialised. The old
  // contents are gone also when the allocation fails.
  bool SetSize(uint32_t n) {
    Free();
    if (n == 0) return true;
    data = Allocate(n);
    if (data == nullptr) return CSPSoftOutOfMemory(*this);
    size = n;
    return true;
  }

  // Keeps the first min(old, n) elements; unchanged when it fails.
  bool Resize(uint32_t n) {
    if (n == 0) {
      Free();
      return true;
    }
    if (n == size) return true;
    T* resized = static_cast<T*>(std::realloc(data, Bytes(n)));
    if (resized == nullptr) return CSPSoftOutOfMemory(*this);
    data = resized;
    size = n;
    return true;
  }

  bool Grow(uint32_t n) {
    if (n > UINT32_MAX - size) return CSPSoftOutOfMemory(*this);
    return Resize(size + n);
  }

  bool Shrink(uint32_t n) {
    if (n > size) return CSPSoftOutOfRange(*this);
    return Resize(size - n);
  }

  uint32_t GetSize() const { return size; }
  T* GetData() { return data; }
  const T* GetData() const { return data; }

  // A null source counts as empty.
  bool Set(const T* source, uint32_t n) {
    if (source == nullptr) n = 0;
    if (n == 0) {
      Free();
      return true;
    }
    // A new block first: the source may lie inside the current one.
    T* block = Allocate(n);
    if (block == nullptr) {
      Free();
      return CSPSoftOutOfMemory(*this);
    }
    std::memcpy(block, source, Bytes(n));
    std::free(data);
    data = block;
    size = n;
    return true;
  }
  bool Set(const CSPScalarArray& other) {
    if (&other == this) return true;
    return Set(other.data, other.size);
  }

  // A null source appends nothing.
  bool Append(const T* source, uint32_t n) {
    if (source == nullptr || n == 0) return true;
    uint32_t oldSize = size;
    // Growing may move the block; a source inside it moves with it.
    bool inside = data != nullptr && source >= data && source < data + size;
    size_t offset = inside ? static_cast<size_t>(source - data) : 0;
    if (!Grow(n)) return false;
    if (inside) source = data + offset;
    std::memmove(data + oldSize, source, Bytes(n));
    return true;
  }
  bool Append(const CSPScalarArray& other) { return Append(other.data, other.size); }
  CSPScalarArray& operator+=(const CSPScalarArray& other) {
    Append(other);
    return *this;
  }

  bool operator==(const CSPScalarArray& other) const {
    return size == other.size && (size == 0 || std::memcmp(data, other.data, Bytes(size)) == 0);
  }
  bool operator!=(const CSPScalarArray& other) const { return !(*this == other); }

  // Always throws OutOfRange beyond the size, whatever throwOnError says.
  T& GetAt(uint32_t index) {
    if (index >= size) CSPThrowOutOfRange();
    return data[index];
  }
  const T& GetAt(uint32_t index) const {
    if (index >= size) CSPThrowOutOfRange();
    return data[index];
  }

  bool SetAt(uint32_t index, T value) {
    if (index >= size) return CSPSoftOutOfRange(*this);
    data[index] = value;
    return true;
  }

  // The caller owns the returned block (std::free) and the array is empty.
  T* Detach() {
    T* detached = data;
    data = nullptr;
    size = 0;
    return detached;
  }

  // Adopts a std::malloc block of n elements.
  void Attach(T* block, uint32_t n) {
    if (block == data) {
      size = block == nullptr ? 0 : n;
      return;
    }
    Free();
    data = block;
    size = block == nullptr ? 0 : n;
  }

  void Take(CSPScalarArray& other) {
    if (&other == this) return;
    Free();
    data = other.data;
    size = other.size;
    other.data = nullptr;
    other.size = 0;
  }

  void Free() {
    std::free(data);
    data = nullptr;
    size = 0;
  }

 private:
  static size_t Bytes(uint32_t n) { return static_cast<size_t>(n) * sizeof(T); }
  static T* Allocate(uint32_t n) { return static_cast<T*>(std::malloc(Bytes(n))); }

  T* data = nullptr;
  uint32_t size = 0;
};
