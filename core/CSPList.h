// An owning list of heap objects. It stores pointers, so growing, inserting
// and removing move only pointers. Removal fills the hole with the last
// element: the order of a list is not stable across RemoveAt.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include "core/CSPObject.h"
#include "core/CSPPtr.h"
#include "core/CSPSoftFail.h"
#include "core/CSPThrow.h"

template <typename T>
class CSPList : public CSPObject {
 public:
  CSPList() = default;
  // Copies always throw OutOfMemory when an allocation fails, after deleting
  // what they had copied.
  CSPList(const CSPList& other) : CSPObject(other) { CopyFrom(other); }
  // The target keeps its own throwOnError; on failure it is unchanged.
  CSPList& operator=(const CSPList& other) {
    if (&other == this) return *this;
    CSPList copy(other);
    Swap(copy);
    return *this;
  }
  ~CSPList() override { RemoveAll(true); }

  bool Add(const T& value) {
    CSPPtr<T> element(new (std::nothrow) T(value));
    if (element.IsNull()) return CSPSoftOutOfMemory(*this);
    return Store(element, count);
  }

  // The list owns `object` from this call on, also when it fails (then it is
  // deleted). A pointer already held is not added twice.
  bool AddPtr(T* object) {
    if (object == nullptr) return false;
    if (IndexOf(object) < count) return true;
    CSPPtr<T> element(object);
    return Store(element, count);
  }

  // index may equal the count (append); beyond it always throws OutOfRange.
  bool InsertAt(const T& value, uint32_t index) {
    if (index > count) CSPThrowOutOfRange();
    CSPPtr<T> element(new (std::nothrow) T(value));
    if (element.IsNull()) return CSPSoftOutOfMemory(*this);
    return Store(element, index);
  }

  bool RemoveAt(uint32_t index) {
    if (index >= count) return false;
    delete items[index];
    items[index] = items[count - 1];
    items[count - 1] = nullptr;
    --count;
    if (count < capacity / 4) Reallocate(capacity / 2);
    return true;
  }

  // Always throws OutOfRange beyond the count.
  T& GetAt(uint32_t index) {
    if (index >= count) CSPThrowOutOfRange();
    return *items[index];
  }
  const T& GetAt(uint32_t index) const {
    if (index >= count) CSPThrowOutOfRange();
    return *items[index];
  }
  T* GetPtrAt(uint32_t index) const { return index < count ? items[index] : nullptr; }

  uint32_t GetCount() const { return count; }
  uint32_t GetCapacity() const { return capacity; }

  // Sets the number of slots; elements beyond n are deleted.
  bool SetSize(uint32_t n) {
    if (n == 0) {
      RemoveAll(true);
      return true;
    }
    if (n < count) {
      // Allocate before deleting, so a failure leaves the list as it was.
      T** slots = static_cast<T**>(std::malloc(SlotBytes(n)));
      if (slots == nullptr) return CSPSoftOutOfMemory(*this);
      std::memcpy(slots, items, SlotBytes(n));
      for (uint32_t i = n; i < count; ++i) delete items[i];
      std::free(items);
      items = slots;
      count = n;
      capacity = n;
      return true;
    }
    if (!Reallocate(n)) return CSPSoftOutOfMemory(*this);
    return true;
  }

  // Exchanges the contents; each side keeps its own throwOnError.
  void Swap(CSPList& other) {
    std::swap(items, other.items);
    std::swap(capacity, other.capacity);
    std::swap(count, other.count);
  }

  // Without deleteItems the elements are left to whoever else holds them.
  void RemoveAll(bool deleteItems) {
    if (deleteItems) {
      for (uint32_t i = 0; i < count; ++i) delete items[i];
    }
    std::free(items);
    items = nullptr;
    count = 0;
    capacity = 0;
  }

 private:
  static size_t SlotBytes(uint32_t n) { return static_cast<size_t>(n) * sizeof(T*); }

  uint32_t IndexOf(const T* object) const {
    for (uint32_t i = 0; i < count; ++i) {
      if (items[i] == object) return i;
    }
    return count;
  }

  // Resizes the slot array in place; the count must fit.
  bool Reallocate(uint32_t slots) {
    T** resized = static_cast<T**>(std::realloc(items, SlotBytes(slots)));
    if (resized == nullptr) return false;
    items = resized;
    capacity = slots;
    return true;
  }

  // 0 -> 2 -> 6 -> 14 -> 30 ...
  bool MakeRoom() {
    if (count < capacity) return true;
    if (capacity > (UINT32_MAX - 2) / 2) return false;
    return Reallocate(capacity * 2 + 2);
  }

  bool Store(CSPPtr<T>& element, uint32_t index) {
    if (!MakeRoom()) return CSPSoftOutOfMemory(*this);
    std::memmove(items + index + 1, items + index, SlotBytes(count - index));
    items[index] = element.Detach();
    ++count;
    return true;
  }

  void CopyFrom(const CSPList& other) {
    if (other.capacity == 0) return;
    items = static_cast<T**>(std::malloc(SlotBytes(other.capacity)));
    if (items == nullptr) CSPThrowOutOfMemory();
    capacity = other.capacity;
    try {
      for (uint32_t i = 0; i < other.count; ++i) {
        items[i] = new (std::nothrow) T(*other.items[i]);
        if (items[i] == nullptr) CSPThrowOutOfMemory();
        ++count;
      }
    } catch (...) {
      RemoveAll(true);
      throw;
    }
  }

  T** items = nullptr;
  uint32_t capacity = 0;
  uint32_t count = 0;
};
