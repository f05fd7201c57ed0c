#include "platform/machine/ImageLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace machine {

ImageLock::ImageLock(std::filesystem::path lockFile) : path_(std::move(lockFile)) {}

ImageLock::~ImageLock() {
  if (fd_ >= 0) ::close(fd_);
}

void ImageLock::lock() {
  mutex_.lock();
  if (depth_++ == 0) LockFile();
}

void ImageLock::unlock() {
  if (--depth_ == 0 && fd_ >= 0) ::flock(fd_, LOCK_UN);
  mutex_.unlock();
}

// The file stays open for the life of the image so that each lock costs one
// call; only the outermost lock of the holding thread reaches the kernel.
void ImageLock::LockFile() {
  if (fd_ < 0) {
    fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) return;
  }
  while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
  }
}

std::string StampOf(const std::filesystem::path& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return "missing";
  return std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino) + ":" +
         std::to_string(info.st_size) + ":" + std::to_string(info.st_mtim.tv_sec) + "." +
         std::to_string(info.st_mtim.tv_nsec) + ":" + std::to_string(info.st_ctim.tv_nsec);
}

}  // namespace machine
