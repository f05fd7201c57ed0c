#include "platform/handles.h"

#include <mutex>
#include <unordered_map>

#include "platform/win/errors.h"
#include "platform/win/fileapi.h"

namespace machine {
namespace {

std::mutex lock;
uintptr_t nextValue = 0x1000;
std::unordered_map<uintptr_t, std::shared_ptr<HandleObject>>& Table() {
  static std::unordered_map<uintptr_t, std::shared_ptr<HandleObject>> table;
  return table;
}

}  // namespace

HANDLE RegisterHandle(std::shared_ptr<HandleObject> object) {
  std::lock_guard<std::mutex> guard(lock);
  const uintptr_t value = nextValue;
  nextValue += 4;  // Windows handle values are multiples of four
  Table()[value] = std::move(object);
  return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<HandleObject> LookupHandleObject(HANDLE handle) {
  std::lock_guard<std::mutex> guard(lock);
  const auto it = Table().find(reinterpret_cast<uintptr_t>(handle));
  return it == Table().end() ? nullptr : it->second;
}

bool UnregisterHandle(HANDLE handle, bool (*accept)(const HandleObject&)) {
  std::shared_ptr<HandleObject> closing;  // destroyed outside the lock
  {
    std::lock_guard<std::mutex> guard(lock);
    const auto it = Table().find(reinterpret_cast<uintptr_t>(handle));
    if (it == Table().end() || !accept(*it->second)) return false;
    closing = std::move(it->second);
    Table().erase(it);
  }
  return true;
}

}  // namespace machine

// Deviation: INVALID_HANDLE_VALUE is the current-process pseudo-handle on
// Windows, and closing it succeeds there; the stand-in has no process
// objects and reports ERROR_INVALID_HANDLE, which is what a caller closing
// the failure value of CreateFile needs to hear.
BOOL WINAPI CloseHandle(HANDLE hObject) {
  if (!machine::UnregisterHandleOf<machine::KernelObject>(hObject)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}
