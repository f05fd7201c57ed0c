// An owning map kept sorted by key, so that index order is key order and a
// lookup is a binary search. Keys are CSPString, CSPWString (ordinal,
// case-sensitive) or unsigned 32-bit numbers. A map never removes a single
// key and its capacity only grows; RemoveAll empties it.
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

template <typename K, typename V>
class CSPMap : public CSPObject {
 public:
  // A key and the value it owns.
  class Pair {
   public:
    Pair(const K& key, V* value) : key(key), value(value) {}
    Pair(const Pair&) = delete;
    Pair& operator=(const Pair&) = delete;
    ~Pair() { delete value; }

    K key;
    V* value;
  };

  CSPMap() = default;
  // Copies always throw OutOfMemory when an allocation fails, after deleting
  // what they had copied.
  CSPMap(const CSPMap& other) : CSPObject(other) { CopyFrom(other); }
  // The target keeps its own throwOnError; on failure it is unchanged.
  CSPMap& operator=(const CSPMap& other) {
    if (&other == this) return *this;
    CSPMap copy(other);
    Swap(copy);
    return *this;
  }
  ~CSPMap() override { RemoveAll(true); }

  // Replaces the value of an equal key (the key object stays) or inserts a
  // new pair at its sorted place.
  bool SetAt(const K& key, const V& value) {
    CSPPtr<V> copy(new (std::nothrow) V(value));
    if (copy.IsNull()) return CSPSoftOutOfMemory(*this);
    return Store(key, copy);
  }

  // The map owns `value` from this call on, also when it fails (then it is
  // deleted).
  bool SetAtPtr(const K& key, V* value) {
    if (value == nullptr) return false;
    CSPPtr<V> adopted(value);
    return Store(key, adopted);
  }

  V* Lookup(const K& key) const {
    uint32_t index = Search(key);
    return Matches(index, key) ? items[index]->value : nullptr;
  }

  uint32_t GetCount() const { return count; }
  uint32_t GetCapacity() const { return capacity; }

  // Both always throw OutOfRange beyond the count.
  const K& GetKeyAt(uint32_t index) const {
    if (index >= count) CSPThrowOutOfRange();
    return items[index]->key;
  }
  V& GetValueAt(uint32_t index) const {
    if (index >= count) CSPThrowOutOfRange();
    return *items[index]->value;
  }

  // Exchanges the contents; each side keeps its own throwOnError.
  void Swap(CSPMap& other) {
    std::swap(items, other.items);
    std::swap(capacity, other.capacity);
    std::swap(count, other.count);
  }

  // Without deleteItems the values are left to whoever else holds them; the
  // pairs themselves are the map's and always go.
  void RemoveAll(bool deleteItems) {
    for (uint32_t i = 0; i < count; ++i) {
      if (!deleteItems) items[i]->value = nullptr;
      delete items[i];
    }
    std::free(items);
    items = nullptr;
    count = 0;
    capacity = 0;
  }

 private:
  static size_t SlotBytes(uint32_t n) { return static_cast<size_t>(n) * sizeof(Pair*); }

  // The index of the equal key, or of the first greater key (the insertion
  // point that keeps the order).
  uint32_t Search(const K& key) const {
    uint32_t low = 0;
    uint32_t high = count;
    while (low < high) {
      uint32_t middle = low + (high - low) / 2;
      if (items[middle]->key < key) {
        low = middle + 1;
      } else {
        high = middle;
      }
    }
    return low;
  }

  bool Matches(uint32_t index, const K& key) const {
    return index < count && items[index]->key == key;
  }

  // 0 -> 10 -> 20 -> 40 ...
  bool MakeRoom() {
    if (count < capacity) return true;
    if (capacity > UINT32_MAX / 2) return false;
    uint32_t slots = capacity * 2 < 10 ? 10 : capacity * 2;
    Pair** resized = static_cast<Pair**>(std::realloc(items, SlotBytes(slots)));
    if (resized == nullptr) return false;
    items = resized;
    capacity = slots;
    return true;
  }

  bool Store(const K& key, CSPPtr<V>& value) {
    uint32_t index = Search(key);
    if (Matches(index, key)) {
      Pair* pair = items[index];
      if (pair->value != value.Get()) {
        delete pair->value;
        pair->value = value.Get();
      }
      value.Detach();
      return true;
    }
    if (!MakeRoom()) return CSPSoftOutOfMemory(*this);
    // A new pair is never a soft failure.
    Pair* pair = new (std::nothrow) Pair(key, nullptr);
    if (pair == nullptr) CSPThrowOutOfMemory();
    pair->value = value.Detach();
    std::memmove(items + index + 1, items + index, SlotBytes(count - index));
    items[index] = pair;
    ++count;
    return true;
  }

  void CopyFrom(const CSPMap& other) {
    if (other.capacity == 0) return;
    items = static_cast<Pair**>(std::malloc(SlotBytes(other.capacity)));
    if (items == nullptr) CSPThrowOutOfMemory();
    capacity = other.capacity;
    try {
      for (uint32_t i = 0; i < other.count; ++i) {
        CSPPtr<V> value(new (std::nothrow) V(*other.items[i]->value));
        if (value.IsNull()) CSPThrowOutOfMemory();
        items[i] = new (std::nothrow) Pair(other.items[i]->key, nullptr);
        if (items[i] == nullptr) CSPThrowOutOfMemory();
        items[i]->value = value.Detach();
        ++count;
      }
    } catch (...) {
      RemoveAll(true);
      throw;
    }
  }

  Pair** items = nullptr;
  uint32_t capacity = 0;
  uint32_t count = 0;
};
