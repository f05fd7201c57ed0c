// Host file times as Windows FILETIMEs, for every part of the stand-in that
// reports a file's times (searches, metabase backups).
#pragma once

#include <sys/stat.h>

#include <cstdint>

#include "platform/win/types.h"

namespace machine::files {

inline FILETIME FileTimeOf(const timespec& t) {
  // 100-nanosecond intervals since 1601-01-01.
  const uint64_t ticks = (static_cast<uint64_t>(t.tv_sec) + 11644473600ull) * 10000000ull +
                         static_cast<uint64_t>(t.tv_nsec) / 100;
  return {static_cast<DWORD>(ticks & 0xFFFFFFFFu), static_cast<DWORD>(ticks >> 32)};
}

}  // namespace machine::files
