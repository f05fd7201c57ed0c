// Stores node bodies zlib-compressed when a package is written.
#pragma once

#include "package/ComponentVariable.h"

class ZlibPacker : public BodyPacker {
 public:
  explicit ZlibPacker(int level = 9) : level(level) {}
  bool Pack(const unsigned char* body, uint32_t length, CSPBuffer& packed) override;

 private:
  int level;
};
