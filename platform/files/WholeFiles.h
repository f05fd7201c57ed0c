// Whole-file reads and writes through the file API, for the stand-in's
// parts that keep Windows files of their own format (shortcuts, profile
// files): errors come back as the Win32 codes CreateFileW and ReadFile gave.
#pragma once

#include <string>

#include "platform/win.h"

namespace machine::files {

DWORD ReadWindowsFile(const std::u16string& path, std::string& bytes);
// Creates or replaces the file; a file that cannot be written whole is
// removed again.
DWORD WriteWindowsFile(const std::u16string& path, const std::string& bytes);

}  // namespace machine::files
