// Waiting (synchapi.h). Sleep follows the stand-in's clock (platform/clock.h),
// so tests can let simulated time pass without waiting.
#pragma once

#include "platform/win/types.h"

#define INFINITE 0xFFFFFFFFu

void WINAPI Sleep(DWORD dwMilliseconds);
