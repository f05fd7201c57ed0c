// Local memory blocks (winbase.h). Security functions hand out SIDs,
// ACLs and descriptors in blocks that callers release with LocalFree.
#pragma once

#include "platform/win/types.h"

typedef void* HLOCAL;

#ifndef LMEM_FIXED
#define LMEM_FIXED 0x0000u
#endif
#ifndef LMEM_ZEROINIT
#define LMEM_ZEROINIT 0x0040u
#endif
#ifndef LPTR
#define LPTR (LMEM_FIXED | LMEM_ZEROINIT)
#endif

HLOCAL WINAPI LocalAlloc(UINT uFlags, size_t uBytes);
HLOCAL WINAPI LocalFree(HLOCAL hMem);
