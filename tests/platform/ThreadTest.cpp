// Threads as the installation uses them: started on the state object,
// joined by the wizard, their exit code read, their handle closed.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>

#include "platform/win.h"
#include "tests/support/TempMachine.h"

namespace {

constexpr DWORD kSentinel = 0xDEADBEEF;

struct Work {
  std::atomic<bool> release{false};
  std::atomic<bool> done{false};
  DWORD threadId = 0;
  HRESULT apartment = E_FAIL;
  DWORD lastErrorSeen = 0;
};

DWORD WINAPI Install(LPVOID parameter) {
  auto* work = static_cast<Work*>(parameter);
  work->threadId = GetCurrentThreadId();
  // A new thread has its own apartment and its own last error.
  work->apartment = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  work->lastErrorSeen = GetLastError();
  SetLastError(ERROR_ACCESS_DENIED);
  HANDLE file = CreateFileW(u"C:\\installed.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  CloseHandle(file);
  while (!work->release) Sleep(1);
  CoUninitialize();
  work->done = true;
  return 7;
}

class ThreadTest : public quaver::test::TempMachineTest {};

TEST_F(ThreadTest, StartJoinAndExitCode) {
  Work work;
  DWORD id = 0;
  ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
  HANDLE thread = CreateThread(nullptr, 0, &Install, &work, 0, &id);
  ASSERT_NE(thread, nullptr);
  EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_TIMEOUT);
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, STILL_ACTIVE);

  SetLastError(kSentinel);
  work.release = true;
  EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(GetLastError(), kSentinel);
  EXPECT_TRUE(work.done);
  EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0);  // stays signalled
  EXPECT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, 7u);
  EXPECT_EQ(work.threadId, id);
  EXPECT_NE(id, GetCurrentThreadId());
  EXPECT_EQ(work.apartment, S_OK);
  EXPECT_EQ(work.lastErrorSeen, static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_TRUE(std::filesystem::exists(image.DriveC() / "installed.txt"));
  CoUninitialize();

  EXPECT_TRUE(CloseHandle(thread));
  EXPECT_FALSE(CloseHandle(thread));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(ThreadTest, SuspendedUntilResumedAndRunsOnAfterClose) {
  Work work;
  work.release = true;
  HANDLE thread = CreateThread(nullptr, 0, &Install, &work, CREATE_SUSPENDED, nullptr);
  ASSERT_NE(thread, nullptr);
  EXPECT_EQ(WaitForSingleObject(thread, 20), WAIT_TIMEOUT);
  EXPECT_FALSE(work.done);
  EXPECT_EQ(ResumeThread(thread), 1u);
  EXPECT_EQ(ResumeThread(thread), 0u);
  // Closing the handle does not stop the thread.
  EXPECT_TRUE(CloseHandle(thread));
  while (!work.done) Sleep(1);
}

TEST_F(ThreadTest, Refusals) {
  Work work;
  SetLastError(kSentinel);
  EXPECT_EQ(CreateThread(nullptr, 0, nullptr, &work, 0, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(CreateThread(nullptr, 0, &Install, &work, 0x1, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

  HANDLE file = CreateFileW(u"C:\\f.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD code = kSentinel;
  const HANDLE notThreads[] = {file, nullptr, INVALID_HANDLE_VALUE};
  for (HANDLE handle : notThreads) {
    EXPECT_EQ(WaitForSingleObject(handle, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(GetExitCodeThread(handle, &code));
    EXPECT_EQ(ResumeThread(handle), static_cast<DWORD>(-1));
  }
  EXPECT_EQ(code, kSentinel);
  CloseHandle(file);
}

}  // namespace
