// Owns one heap object until it is handed on with Detach. Containers build
// each new element in one, so a failing step deletes the element instead of
// leaking it.
#pragma once

#include "core/CSPObject.h"

template <typename T>
class CSPPtr : public CSPObject {
 public:
  explicit CSPPtr(T* object = nullptr) : object(object) {}
  CSPPtr(const CSPPtr&) = delete;
  CSPPtr& operator=(const CSPPtr&) = delete;
  ~CSPPtr() override { delete object; }

  void Set(T* replacement) {
    if (replacement == object) return;
    T* old = object;
    object = replacement;
    delete old;
  }
  T* Get() const { return object; }
  bool IsNull() const { return object == nullptr; }
  T* Detach() {
    T* detached = object;
    object = nullptr;
    return detached;
  }
  T* operator->() const { return object; }
  T& operator*() const { return *object; }

 private:
  T* object;
};
