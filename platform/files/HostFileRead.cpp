#include "platform/files/HostFileRead.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/machine/UniqueFd.h"

namespace fs = std::filesystem;

namespace machine::files {
namespace {

std::string Why(int error) {
  switch (error) {
    case ENOENT:
      return "does not exist";
    case ELOOP:
      return "is a symbolic link";
    case ENOTDIR:
      return "has a part that is not a folder";
    default:
      return std::string("cannot be read: ") + std::strerror(error);
  }
}

// Reads the opened file whole once it is known to be a regular file within
// the limit. O_NONBLOCK at open time keeps a FIFO from blocking the open.
bool ReadOpened(int fd, uint64_t limit, std::string& bytes, std::string& error) {
  if (fd < 0) {
    error = Why(errno);
    return false;
  }
  struct stat status {};
  if (::fstat(fd, &status) != 0) {
    error = Why(errno);
    return false;
  }
  if (S_ISDIR(status.st_mode)) {
    error = "is a folder, not a file";
    return false;
  }
  if (!S_ISREG(status.st_mode)) {
    error = "is not a regular file (a device, FIFO or socket)";
    return false;
  }
  const uint64_t size = static_cast<uint64_t>(status.st_size);
  if (size > limit) {
    error = "holds " + std::to_string(size) + " bytes, more than the " + std::to_string(limit) +
            " allowed";
    return false;
  }
  bytes.resize(static_cast<size_t>(size));
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = Why(errno);
      return false;
    }
    if (n == 0) {
      error = "became shorter while being read";
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

bool ReadHostFile(const fs::path& path, uint64_t limit, std::string& bytes, std::string& error) {
  const machine::UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  return ReadOpened(file.Get(), limit, bytes, error);
}

bool ReadHostFileBelow(const fs::path& base, const fs::path& relative, uint64_t limit,
                       std::string& bytes, std::string& error) {
  const fs::path normal = relative.lexically_normal();
  std::vector<std::string> names;
  for (const fs::path& part : normal) {
    if (part == ".") continue;
    if (part.empty()) continue;  // the trailing "" of "dir/"
    names.push_back(part.string());
  }
  if (relative.is_absolute() || (!names.empty() && names.front() == "..")) {
    error = "is outside the folder";
    return false;
  }
  machine::UniqueFd folder(
      ::open(base.empty() ? "." : base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!folder.Valid()) {
    error = Why(errno);
    return false;
  }
  if (names.empty()) {
    error = "is a folder, not a file";
    return false;
  }
  for (size_t i = 0; i + 1 < names.size(); ++i) {
    const int next =
        ::openat(folder.Get(), names[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (next < 0) {
      // A link where a folder belongs fails as "not a folder"; say which.
      struct stat status {};
      const int opened = errno;
      error = ::fstatat(folder.Get(), names[i].c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
                      S_ISLNK(status.st_mode)
                  ? "leads through the symbolic link " + names[i]
                  : Why(opened);
      return false;
    }
    folder.Reset(next);
  }
  const machine::UniqueFd file(
      ::openat(folder.Get(), names.back().c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  return ReadOpened(file.Get(), limit, bytes, error);
}

}  // namespace machine::files
