// CreateThread and the waits on thread handles, over std::thread.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/handles.h"
#include "platform/threads.h"
#include "platform/win.h"

namespace {

std::atomic<DWORD> gRefusal{0};
std::atomic<DWORD> gNextThreadId{1000};

class ThreadObject : public machine::KernelObject {
 public:
  void Finish(DWORD code) {
    std::lock_guard<std::mutex> guard(lock);
    exitCode = code;
    done = true;
    finished.notify_all();
  }
  // False when the time ran out first.
  bool Wait(DWORD milliseconds) {
    std::unique_lock<std::mutex> guard(lock);
    if (milliseconds == INFINITE) {
      finished.wait(guard, [this] { return done; });
      return true;
    }
    return finished.wait_for(guard, std::chrono::milliseconds(milliseconds),
                             [this] { return done; });
  }
  DWORD ExitCode() {
    std::lock_guard<std::mutex> guard(lock);
    return done ? exitCode : STILL_ACTIVE;
  }

 private:
  std::mutex lock;
  std::condition_variable finished;
  bool done = false;
  DWORD exitCode = 0;
};

}  // namespace

namespace machine {

void RefuseNewThreads(DWORD error) { gRefusal = error; }

}  // namespace machine

HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE lpStartAddress,
                           LPVOID lpParameter, DWORD dwCreationFlags, LPDWORD lpThreadId) {
  if (lpStartAddress == nullptr || dwCreationFlags != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (const DWORD refusal = gRefusal.load()) {
    SetLastError(refusal);
    return nullptr;
  }
  auto object = std::make_shared<ThreadObject>();
  HANDLE handle = machine::RegisterHandle(object);
  try {
    std::thread([object, lpStartAddress, lpParameter] {
      object->Finish(lpStartAddress(lpParameter));
    }).detach();
  } catch (const std::system_error&) {
    machine::UnregisterHandleOf<ThreadObject>(handle);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (lpThreadId != nullptr) *lpThreadId = gNextThreadId++;
  return handle;
}

DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
  auto thread = machine::LookupHandle<ThreadObject>(hHandle);
  if (!thread) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  return thread->Wait(dwMilliseconds) ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

BOOL WINAPI GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode) {
  auto thread = machine::LookupHandle<ThreadObject>(hThread);
  if (!thread || lpExitCode == nullptr) {
    SetLastError(thread ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return FALSE;
  }
  *lpExitCode = thread->ExitCode();
  return TRUE;
}
