// Reading a file of the host (not of a machine image) for the tools that
// take host files as input: only regular files are read, and their size is
// checked on the opened file before anything is read, so that a device, a
// FIFO or a folder put where a file belongs is refused instead of read
// forever, waited on or mistaken for an empty file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace machine::files {

// The file at `path`, following symbolic links. False with why (e.g. "is a
// folder, not a file") when it is no regular file, holds more than `limit`
// bytes or cannot be read.
bool ReadHostFile(const std::filesystem::path& path, uint64_t limit, std::string& bytes,
                  std::string& error);

// The file at `relative` below the folder `base`, opened one name at a time
// without following symbolic links, so that neither ".." nor a link leads
// out of the folder, not even one put there while the file is opened.
bool ReadHostFileBelow(const std::filesystem::path& base, const std::filesystem::path& relative,
                       uint64_t limit, std::string& bytes, std::string& error);

}  // namespace machine::files
