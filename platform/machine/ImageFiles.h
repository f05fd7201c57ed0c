// The image-file primitives of machine.h for a file below a given image
// root, for the image's own work before it is selected.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "platform/machine/UniqueFd.h"

namespace machine {

// `relative` is below `rootPath`, whose folder `root` holds open.
std::string ReadImageFile(const SharedFd& root, const std::filesystem::path& rootPath,
                          const std::filesystem::path& relative);
// Makes the folder `relative` and those on the way; one that exists is fine.
void MakeImageFolder(const SharedFd& root, const std::filesystem::path& rootPath,
                     const std::filesystem::path& relative);
// Writes the file atomically, making the folders on the way.
void WriteImageFile(const SharedFd& root, const std::filesystem::path& rootPath,
                    const std::filesystem::path& relative, std::string_view bytes);

}  // namespace machine
