// Host files for cvsp: packages read whole, outputs written so that a
// failure never leaves a truncated file under the name asked for.
#pragma once

#include <cstddef>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "core/CSPBuffer.h"

namespace cvsp {

// A failure of the tool itself, printed as "cvsp: <text>".
class ToolError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The file's bytes. A JSON manifest given where a package belongs is
// refused with a text that says so and how to build it.
CSPBuffer ReadPackageFile(const std::string& path);
void RefuseManifest(const std::string& path, const CSPBuffer& bytes);

// Writes beside the target and renames into place: the target is either
// untouched or complete.
void WriteAtomically(const std::string& path, const void* data, size_t size);

// Remembers which machine image the process had selected and selects it
// again (or none) when restored or destroyed, so a command that works on an
// image of its own leaves the caller's selection as it was.
class KeptSelection {
 public:
  KeptSelection();
  KeptSelection(const KeptSelection&) = delete;
  KeptSelection& operator=(const KeptSelection&) = delete;
  ~KeptSelection();
  // Best effort: the command's own result stands whatever happens here.
  void Restore() noexcept;

 private:
  std::filesystem::path previous;
  bool restored = false;
};

}  // namespace cvsp
