// Threads (processthreadsapi.h) and waiting on them (synchapi.h). A thread
// handle is a kernel object: CloseHandle closes it, and the thread runs on
// whether or not its handle is still open. Only creation flags 0 are known.
#pragma once

#include <cstddef>

#include "platform/win/types.h"

typedef size_t SIZE_T;
typedef DWORD(WINAPI* LPTHREAD_START_ROUTINE)(LPVOID lpThreadParameter);

#define WAIT_OBJECT_0 0x00000000u
#define WAIT_TIMEOUT 0x00000102u
#define WAIT_FAILED 0xFFFFFFFFu
#define STILL_ACTIVE 0x00000103u

HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES lpThreadAttributes, SIZE_T dwStackSize,
                           LPTHREAD_START_ROUTINE lpStartAddress, LPVOID lpParameter,
                           DWORD dwCreationFlags, LPDWORD lpThreadId);
DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);
BOOL WINAPI GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode);
