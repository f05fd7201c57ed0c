// Window and module handles (windef.h, minwindef.h). The stand-in has no
// windows: an HWND is accepted where an owner window is optional and is
// never looked at.
#pragma once

#include "platform/win/types.h"

#define DECLARE_HANDLE(name) \
  struct name##__ {          \
    int unused;              \
  };                         \
  typedef struct name##__* name

DECLARE_HANDLE(HWND);
DECLARE_HANDLE(HINSTANCE);
typedef HINSTANCE HMODULE;

typedef LONG_PTR INT_PTR;
// Deviation: the SDK returns INT_PTR here. With no result, GCC lets callers
// cast an export to its real type without -Wcast-function-type.
typedef void(WINAPI* FARPROC)();
