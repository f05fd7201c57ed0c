#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

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

fs::path TemporaryBeside(const fs::path& path) {
  static std::atomic<unsigned> counter{0};
  return path.parent_path() / ("." + path.filename().string() + ".tmp-" +
                               std::to_string(::getpid()) + "-" + std::to_string(counter++));
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
  const fs::path temp = TemporaryBeside(parent / path.filename());
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) Fail("create a temporary file for", path, errno);
  int error = 0;
  if (!WriteAll(fd, bytes) || ::fsync(fd) != 0) error = errno != 0 ? errno : EIO;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && ::rename(temp.c_str(), path.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temp.c_str());
    Fail("write", path, error);
  }
  SyncDirectory(parent);
}

std::string ReadWholeFile(const fs::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) Fail("read", path, errno);
  std::string bytes;
  char chunk[65536];
  for (;;) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int error = errno;
      ::close(fd);
      Fail("read", path, error);
    }
    if (n == 0) break;
    bytes.append(chunk, static_cast<size_t>(n));
  }
  ::close(fd);
  return bytes;
}

}  // namespace machine
