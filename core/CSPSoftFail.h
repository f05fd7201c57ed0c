// The soft-failure rule of buffers, files and containers: throw while the
// object's throwOnError is set, otherwise report the failure as false.
#pragma once

#include "core/CSPObject.h"
#include "core/CSPThrow.h"

inline bool CSPSoftOutOfMemory(const CSPObject& object) {
  if (object.throwOnError) CSPThrowOutOfMemory();
  return false;
}

inline bool CSPSoftOutOfRange(const CSPObject& object) {
  if (object.throwOnError) CSPThrowOutOfRange();
  return false;
}
