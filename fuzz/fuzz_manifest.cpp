// The cvsp manifest reader: the JSON parsed, checked and turned into a
// package in memory. "file" paths lead into a folder that does not exist.
#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>

#include "tools/cvsp/Manifest.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const nlohmann::json manifest = nlohmann::json::parse(data, data + size, nullptr, false);
  if (manifest.is_discarded()) return 0;
  cvsp::PackageImage image;
  try {
    cvsp::ReadManifest(manifest, "/nonexistent/fuzz-manifest", image);
    CSPBuffer package;
    cvsp::EncodePackage(image, package);
  } catch (const cvsp::ManifestError&) {
  }
  return 0;
}
