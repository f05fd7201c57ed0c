// The stand-in's process current directory, kept in full Windows form.
// Selecting a machine sets it to C:\, deselecting clears it.
#pragma once

#include <string>

namespace machine::files {

void SetCurrentDirectoryUnchecked(std::u16string fullPath);

}  // namespace machine::files
