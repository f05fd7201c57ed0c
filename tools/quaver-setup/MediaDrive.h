// The setup media as a drive of the simulated server: the media folder's
// files are placed on the first drive letter from D: on that the image does
// not have yet, for as long as this object lives, and that drive's root is
// made the current directory.
#pragma once

#include <filesystem>
#include <string>

namespace quaver_setup {

class MediaDrive {
 public:
  MediaDrive() = default;
  MediaDrive(const MediaDrive&) = delete;
  MediaDrive& operator=(const MediaDrive&) = delete;
  // Takes the drive away again and makes C:\ the current directory.
  ~MediaDrive();

  // False with `error` set when the media cannot be placed.
  bool Mount(const std::filesystem::path& imageRoot, const std::filesystem::path& media,
             std::string& error);
  char Letter() const { return letter; }

 private:
  std::filesystem::path hostDrive;
  char letter = 0;
};

}  // namespace quaver_setup
