#include "tools/cvsp/ZlibPacker.h"

#include <zlib.h>

bool ZlibPacker::Pack(const unsigned char* body, uint32_t length, CSPBuffer& packed) {
  uLong bound = compressBound(length);
  if (bound > UINT32_MAX) return false;
  packed.throwOnError = false;
  if (!packed.SetSize(static_cast<uint32_t>(bound))) return false;
  uLongf produced = bound;
  // compress2 wants a valid pointer even for an empty body.
  static const unsigned char kNothing = 0;
  if (compress2(packed.GetData(), &produced, length == 0 ? &kNothing : body, length, level) !=
      Z_OK) {
    return false;
  }
  return packed.Resize(static_cast<uint32_t>(produced));
}
