// A COM interface reference held by a local variable of IISHelper's
// operations: released when it goes out of scope, so that every early
// return of an operation releases what it obtained.
#pragma once

#include "platform/win.h"

template <class T>
class ComRef {
 public:
  ComRef() = default;
  ~ComRef() { Reset(); }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;

  T* Get() const { return pointer; }
  T* operator->() const { return pointer; }
  bool IsNull() const { return pointer == nullptr; }
  // For an out parameter: whatever was held is released first.
  T** Out() {
    Reset();
    return &pointer;
  }
  // Hands the reference over to the caller.
  T* Detach() {
    T* detached = pointer;
    pointer = nullptr;
    return detached;
  }
  void Reset() {
    if (pointer != nullptr) pointer->Release();
    pointer = nullptr;
  }

 private:
  T* pointer = nullptr;
};

// Replaces a member reference: the old one is released, the new one is
// taken over as it is (no reference added).
template <class T>
void ReplaceRef(T*& member, T* replacement) {
  if (member != nullptr) member->Release();
  member = replacement;
}

template <class T>
void ReleaseRef(T*& member) {
  ReplaceRef(member, static_cast<T*>(nullptr));
}
