// Waiting (synchapi.h). Sleep follows the stand-in's clock (platform/clock.h),
// so tests can let simulated time pass without waiting.
#pragma once

#include "platform/win/types.h"

#define INFINITE 0xFFFFFFFFu

#define WAIT_OBJECT_0 0x00000000u
#define WAIT_ABANDONED 0x00000080u
#define WAIT_TIMEOUT 0x00000102u
#define WAIT_FAILED 0xFFFFFFFFu

void WINAPI Sleep(DWORD dwMilliseconds);

// Waits for a thread (platform/win/processthreadsapi.h) to end. The timeout
// is real time, since the thread runs for real. Deviation: other objects
// cannot be waited for (WAIT_FAILED, ERROR_INVALID_HANDLE).
DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);
