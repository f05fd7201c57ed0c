#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <random>
#include <sstream>

#include "platform/machine.h"

namespace fs = std::filesystem;

namespace machine {
namespace {

[[noreturn]] void Fail(const std::string& what, const fs::path& path, int error) {
  throw MachineError("cannot " + what + " " + path.string() + ": " + std::strerror(error));
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// Temporary names carry a random part besides the pid, so that no other
// process can hold the same name, not even one that had the same pid before
// (the first process of every container is pid 1).
std::string TemporaryPrefix(const fs::path& path) { return "." + path.filename().string() + ".tmp-"; }

fs::path TemporaryBeside(const fs::path& path) {
  static std::mutex lock;
  static std::mt19937_64 random{std::random_device{}()};
  static unsigned counter = 0;
  std::ostringstream name;
  {
    std::lock_guard<std::mutex> hold(lock);
    name << TemporaryPrefix(path) << ::getpid() << "-" << std::hex << random() << "-" << counter++;
  }
  return path.parent_path() / name.str();
}

}  // namespace

// A writer holds a lock on its temporary file from creation to rename, so
// one that can be locked belongs to nobody; it is unlinked while locked, and
// a writer that raced to create it notices that its name is gone.
void RemoveLeftovers(const fs::path& path) {
  const std::string prefix = TemporaryPrefix(path);
  std::error_code ec;
  for (fs::directory_iterator it(path.parent_path(), ec), end; !ec && it != end;
       it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    const int fd = ::open(it->path().c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) continue;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) ::unlink(it->path().c_str());
    ::close(fd);
  }
}

namespace {

// Creates a temporary file beside `path`, locked against RemoveLeftovers.
int CreateTemporary(const fs::path& path, fs::path& temp) {
  for (;;) {
    temp = TemporaryBeside(path);
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return -1;
    }
    while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
    struct stat mine {}, named {};
    if (::fstat(fd, &mine) == 0 && ::stat(temp.c_str(), &named) == 0 &&
        mine.st_ino == named.st_ino && mine.st_dev == named.st_dev) {
      return fd;
    }
    ::close(fd);  // taken for a left-over between creation and lock
  }
}

// Makes the rename itself durable.
void SyncDirectory(const fs::path& dir) {
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
}

}  // namespace

void WriteFileAtomically(const fs::path& path, std::string_view bytes) {
  const fs::path parent = path.has_parent_path() ? path.parent_path() : fs::path(".");
  std::error_code ec;
  fs::create_directories(parent, ec);
  if (ec) Fail("create the folder of", path, ec.value());
  const fs::path target = parent / path.filename();
  RemoveLeftovers(target);
  fs::path temp;
  const int fd = CreateTemporary(target, temp);
  if (fd < 0) Fail("create a temporary file for", path, errno);
  int error = 0;
  if (!WriteAll(fd, bytes) || ::fsync(fd) != 0) error = errno != 0 ? errno : EIO;
  // Closed only after the rename: the lock on it tells it from a left-over.
  if (error == 0 && ::rename(temp.c_str(), path.c_str()) != 0) error = errno;
  if (error != 0) ::unlink(temp.c_str());
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error != 0) Fail("write", path, error);
  SyncDirectory(parent);
}

FileInfo InspectFile(const fs::path& path) {
  FileInfo info;
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return info;
    Fail("look at", path, errno);
  }
  info.exists = true;
  info.device = static_cast<uint64_t>(status.st_dev);
  info.inode = static_cast<uint64_t>(status.st_ino);
  info.size = static_cast<uint64_t>(status.st_size);
  return info;
}

std::string ReadFileFrom(const fs::path& path, uint64_t offset) {
  // Without O_NONBLOCK a FIFO in the file's place would block the open.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) Fail("read", path, errno);
  // Only a regular file is an image's file: a folder, FIFO or device in its
  // place would fail late, hang or never end.
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    const int error = errno;
    ::close(fd);
    Fail("read", path, error);
  }
  if (!S_ISREG(info.st_mode)) {
    ::close(fd);
    throw MachineError("cannot read " + path.string() + ": " +
                       (S_ISDIR(info.st_mode) ? "a folder" : "not a regular file") +
                       " is in the file's place");
  }
  std::string bytes;
  char chunk[65536];
  for (auto at = static_cast<off_t>(offset);;) {
    const ssize_t n = ::pread(fd, chunk, sizeof chunk, at);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int error = errno;
      ::close(fd);
      Fail("read", path, error);
    }
    if (n == 0) break;
    bytes.append(chunk, static_cast<size_t>(n));
    at += n;
  }
  ::close(fd);
  return bytes;
}

std::string ReadWholeFile(const fs::path& path) { return ReadFileFrom(path, 0); }

// One write(2) call for a whole record where the kernel allows it, so that
// a killed writer leaves at most one torn record at the end.
void AppendToFile(const fs::path& path, std::string_view bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) Fail("append to", path, errno);
  struct stat status {};
  const bool sized = ::fstat(fd, &status) == 0;
  int error = WriteAll(fd, bytes) ? 0 : (errno != 0 ? errno : EIO);
  // What did get written is cut off again: the file keeps whole records only.
  if (error != 0 && sized && ::ftruncate(fd, status.st_size) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error != 0) Fail("append to", path, error);
}

void TruncateFile(const fs::path& path, uint64_t size) {
  if (::truncate(path.c_str(), static_cast<off_t>(size)) != 0) Fail("shorten", path, errno);
}

void RemoveFile(const fs::path& path) {
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) Fail("remove", path, errno);
}

}  // namespace machine
