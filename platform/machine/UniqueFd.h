// A host file descriptor with one owner, closed with it. Folders of an image
// are held open as these while the stand-in works in them, so that what it
// checked is what it uses (platform/machine/ConfinedWalk.h).
#pragma once

#include <unistd.h>

#include <memory>

namespace machine {

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) noexcept : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    Reset(other.Release());
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() { Reset(); }

  int Get() const { return fd_; }
  bool Valid() const { return fd_ >= 0; }
  int Release() noexcept {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void Reset(int fd = -1) noexcept {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }

 private:
  int fd_ = -1;
};

// A folder held open by whoever still needs it.
using SharedFd = std::shared_ptr<const UniqueFd>;

}  // namespace machine
