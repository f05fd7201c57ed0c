// Threads (processthreadsapi.h). A thread handle is a kernel object of the
// stand-in's handle table: WaitForSingleObject waits for the thread to end,
// CloseHandle drops the handle while the thread runs on, as on Windows.
//
// Deviations: the security attributes and the stack size are not applied;
// a thread that never returns keeps the process from ending cleanly.
#pragma once

#include <cstddef>

#include "platform/win/types.h"

typedef size_t SIZE_T;
typedef DWORD(WINAPI* PTHREAD_START_ROUTINE)(LPVOID lpThreadParameter);
typedef PTHREAD_START_ROUTINE LPTHREAD_START_ROUTINE;

#define CREATE_SUSPENDED 0x00000004u
#define STACK_SIZE_PARAM_IS_A_RESERVATION 0x00010000u
#define STILL_ACTIVE 259u

// Null, with ERROR_INVALID_PARAMETER for a null start routine or unknown
// flags, or ERROR_NOT_ENOUGH_MEMORY when no thread can be started.
HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES lpThreadAttributes, SIZE_T dwStackSize,
                           LPTHREAD_START_ROUTINE lpStartAddress, LPVOID lpParameter,
                           DWORD dwCreationFlags, LPDWORD lpThreadId);
// The previous suspend count; (DWORD)-1 with ERROR_INVALID_HANDLE.
DWORD WINAPI ResumeThread(HANDLE hThread);
// STILL_ACTIVE while the thread runs, then what its routine returned.
BOOL WINAPI GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode);
DWORD WINAPI GetCurrentThreadId();
