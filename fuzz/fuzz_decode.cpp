// Decode from memory. Input: one option byte (bit 0: the node carries its
// name; bits 1-7: the maximum depth, 127 for none), then one framed node.
// Whatever decodes must also encode, and decode back to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "package/ByteFormat.h"
#include "package/ComponentVariable.h"

namespace {

bool Frame(const unsigned char* data, size_t size, uint32_t& total, uint32_t& header) {
  if (size < 6) return false;
  total = PackageBytes::GetU32(data);
  header = PackageBytes::GetU16(data + 4);
  return total >= header && total <= size - 6;
}

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  bool withName = (data[0] & 1) != 0;
  uint32_t maxDepth = (data[0] >> 1) == 127 ? 0xFFFFFFFFu : data[0] >> 1;
  uint32_t total, header;
  if (!Frame(data + 1, size - 1, total, header)) return 0;
  ComponentVariable node;
  if (!node.Decode(data + 7, total, header, maxDepth, 0, withName)) return 0;

  CSPBuffer first, second;
  Check(node.Encode(first, withName));
  Check(Frame(first.GetData(), first.GetSize(), total, header));
  ComponentVariable again;
  Check(again.Decode(first.GetData() + 6, total, header, 0xFFFFFFFFu, 0, withName));
  Check(again.Encode(second, withName));
  Check(first == second);
  return 0;
}
