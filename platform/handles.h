// The stand-in's handle table. Every HANDLE it hands out (files, find
// searches, and later threads or events) names an object here; values are
// never 0 or INVALID_HANDLE_VALUE and are not reused within a run, so a stale
// handle fails with ERROR_INVALID_HANDLE instead of reaching another object.
#pragma once

#include <memory>

#include "platform/win/types.h"

namespace machine {

class HandleObject {
 public:
  virtual ~HandleObject() = default;
};

// Objects that CloseHandle closes. Find searches are not kernel objects:
// only FindClose ends them, as on Windows.
class KernelObject : public HandleObject {};

HANDLE RegisterHandle(std::shared_ptr<HandleObject> object);
std::shared_ptr<HandleObject> LookupHandleObject(HANDLE handle);
// Removes the handle when it names an object for which `accept` holds.
bool UnregisterHandle(HANDLE handle, bool (*accept)(const HandleObject&));

template <typename T>
std::shared_ptr<T> LookupHandle(HANDLE handle) {
  return std::dynamic_pointer_cast<T>(LookupHandleObject(handle));
}

template <typename T>
bool UnregisterHandleOf(HANDLE handle) {
  return UnregisterHandle(handle, [](const HandleObject& object) {
    return dynamic_cast<const T*>(&object) != nullptr;
  });
}

}  // namespace machine
