#include "platform/machine/ImageLock.h"

#include <fcntl.h>
#include <sys/file.h>
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
// call; only the outermost lock of the holding thread reaches the kernel. A
// forked child opens its own: a lock belongs to the open file, which the
// child would otherwise share with its parent.
void ImageLock::LockFile() {
  if (fd_ >= 0 && owner_ != ::getpid()) {
    ::close(fd_);
    fd_ = -1;
  }
  if (fd_ < 0) {
    owner_ = ::getpid();
    // Never through a link: a lock file planted as one would be created or
    // opened outside the image.
    fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd_ < 0 && errno != ELOOP) fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd_ < 0) return;
  }
  while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
  }
}

}  // namespace machine
