// CreateThread and its companions over std::thread. The thread's state is
// shared by the running thread and its handle, so either may go first.
#include "platform/threads.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/handles.h"
#include "platform/win.h"

namespace {

std::atomic<DWORD> gNextThreadId{0x1004};
thread_local DWORD tThreadId = 0;

struct ThreadState {
  std::mutex lock;
  std::condition_variable changed;
  DWORD suspendCount = 0;
  bool finished = false;
  DWORD exitCode = STILL_ACTIVE;
};

class ThreadObject : public machine::KernelObject {
 public:
  explicit ThreadObject(std::shared_ptr<ThreadState> state) : state(std::move(state)) {}
  const std::shared_ptr<ThreadState> state;
};

DWORD NewThreadId() { return gNextThreadId.fetch_add(4); }

std::shared_ptr<ThreadState> StateOf(HANDLE handle) {
  const auto thread = machine::LookupHandle<ThreadObject>(handle);
  return thread ? thread->state : nullptr;
}

void Run(std::shared_ptr<ThreadState> state, LPTHREAD_START_ROUTINE start, LPVOID parameter,
         DWORD id) {
  tThreadId = id;
  {
    std::unique_lock<std::mutex> hold(state->lock);
    state->changed.wait(hold, [&] { return state->suspendCount == 0; });
  }
  const DWORD code = start(parameter);
  std::lock_guard<std::mutex> hold(state->lock);
  state->exitCode = code;
  state->finished = true;
  state->changed.notify_all();
}

// Set by tests that need the server to be out of threads.
std::atomic<DWORD> gRefusal{0};

}  // namespace

namespace machine {

void RefuseNewThreads(DWORD error) { gRefusal = error; }

}  // namespace machine

HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE lpStartAddress,
                           LPVOID lpParameter, DWORD dwCreationFlags, LPDWORD lpThreadId) {
  if (lpStartAddress == nullptr ||
      (dwCreationFlags & ~(CREATE_SUSPENDED | STACK_SIZE_PARAM_IS_A_RESERVATION)) != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (const DWORD refusal = gRefusal.load(); refusal != 0) {
    SetLastError(refusal);
    return nullptr;
  }
  auto state = std::make_shared<ThreadState>();
  state->suspendCount = (dwCreationFlags & CREATE_SUSPENDED) ? 1 : 0;
  const DWORD id = NewThreadId();
  // The handle exists before the thread runs, so the thread may close it.
  HANDLE handle = machine::RegisterHandle(std::make_shared<ThreadObject>(state));
  try {
    std::thread(Run, state, lpStartAddress, lpParameter, id).detach();
  } catch (const std::system_error&) {
    machine::UnregisterHandleOf<ThreadObject>(handle);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (lpThreadId != nullptr) *lpThreadId = id;
  return handle;
}

DWORD WINAPI ResumeThread(HANDLE hThread) {
  const auto state = StateOf(hThread);
  if (!state) {
    SetLastError(ERROR_INVALID_HANDLE);
    return static_cast<DWORD>(-1);
  }
  std::lock_guard<std::mutex> hold(state->lock);
  const DWORD previous = state->suspendCount;
  if (previous > 0 && --state->suspendCount == 0) state->changed.notify_all();
  return previous;
}

BOOL WINAPI GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode) {
  const auto state = StateOf(hThread);
  if (!state || lpExitCode == nullptr) {
    SetLastError(state ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return FALSE;
  }
  std::lock_guard<std::mutex> hold(state->lock);
  *lpExitCode = state->exitCode;
  return TRUE;
}

DWORD WINAPI GetCurrentThreadId() {
  if (tThreadId == 0) tThreadId = NewThreadId();
  return tThreadId;
}

DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
  const auto state = StateOf(hHandle);
  if (!state) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  std::unique_lock<std::mutex> hold(state->lock);
  const auto done = [&] { return state->finished; };
  if (dwMilliseconds == INFINITE) {
    state->changed.wait(hold, done);
    return WAIT_OBJECT_0;
  }
  return state->changed.wait_for(hold, std::chrono::milliseconds(dwMilliseconds), done)
             ? WAIT_OBJECT_0
             : WAIT_TIMEOUT;
}
