#include "platform/win/errors.h"

namespace {
thread_local DWORD lastError = ERROR_SUCCESS;
}

DWORD WINAPI GetLastError() { return lastError; }

void WINAPI SetLastError(DWORD dwErrCode) { lastError = dwErrCode; }
