#include "platform/machine/ImageFiles.h"

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
#include "platform/machine/ConfinedWalk.h"

namespace fs = std::filesystem;

namespace machine {
namespace {

[[noreturn]] void Fail(const std::string& what, const fs::path& path, int error) {
  const std::string reason = error == EXDEV
                                 ? "a symbolic link on the way leaves the image or leads nowhere"
                                 : std::strerror(error);
  throw MachineError("cannot " + what + " " + path.string() + ": " + reason);
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

std::string ReadFrom(int fd, uint64_t offset, const fs::path& shown) {
  std::string bytes;
  char chunk[65536];
  for (auto at = static_cast<off_t>(offset);;) {
    const ssize_t n = ::pread(fd, chunk, sizeof chunk, at);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) Fail("read", shown, errno);
    if (n == 0) break;
    bytes.append(chunk, static_cast<size_t>(n));
    at += n;
  }
  return bytes;
}

// Only a regular file is an image's file: a folder, FIFO or device in its
// place would fail late, hang or never end.
void RequireRegularFile(int fd, const std::string& what, const fs::path& shown) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) Fail(what, shown, errno);
  if (!S_ISREG(info.st_mode)) {
    throw MachineError("cannot " + what + " " + shown.string() + ": " +
                       (S_ISDIR(info.st_mode) ? "a folder" : "not a regular file") +
                       " is in the file's place");
  }
}

// Temporary names carry a random part besides the pid, so that no other
// process can hold the same name, not even one that had the same pid before
// (the first process of every container is pid 1).
std::string TemporaryPrefix(const std::string& name) { return "." + name + ".tmp-"; }

std::string TemporaryName(const std::string& name) {
  static std::mutex lock;
  static std::mt19937_64 random{std::random_device{}()};
  static unsigned counter = 0;
  std::ostringstream temp;
  {
    std::lock_guard<std::mutex> hold(lock);
    temp << TemporaryPrefix(name) << ::getpid() << "-" << std::hex << random() << "-" << counter++;
  }
  return temp.str();
}

// Removes the temporary files that writers of `name` left when they died.
// A writer holds a lock on its temporary file from creation to rename, so
// one that can be locked belongs to nobody; it is unlinked while locked, and
// a writer that raced to create it notices that its name is gone.
void RemoveLeftovers(int folder, const std::string& name) {
  const std::string prefix = TemporaryPrefix(name);
  for (const std::string& entry : ListFolder(folder)) {
    if (entry.compare(0, prefix.size(), prefix) != 0) continue;
    const UniqueFd fd(
        ::openat(folder, entry.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    if (fd.Valid() && ::flock(fd.Get(), LOCK_EX | LOCK_NB) == 0) {
      ::unlinkat(folder, entry.c_str(), 0);
    }
  }
}

// Creates a temporary file beside `name`, locked against RemoveLeftovers.
int CreateTemporary(int folder, const std::string& name, std::string& temp) {
  for (;;) {
    temp = TemporaryName(name);
    const int fd =
        ::openat(folder, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return -1;
    }
    while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
    struct stat mine {
    }, named{};
    if (::fstat(fd, &mine) == 0 &&
        ::fstatat(folder, temp.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
        mine.st_ino == named.st_ino && mine.st_dev == named.st_dev) {
      return fd;
    }
    ::close(fd);  // taken for a left-over between creation and lock
  }
}

// Replaces `name` in `folder`. The rename replaces the name, so another
// name of the old file (a hard link) is never written through.
void WriteIn(int folder, const std::string& name, const fs::path& shown, std::string_view bytes) {
  RemoveLeftovers(folder, name);
  std::string temp;
  const int fd = CreateTemporary(folder, name, temp);
  if (fd < 0) Fail("create a temporary file for", shown, errno);
  int error = 0;
  if (!WriteAll(fd, bytes) || ::fsync(fd) != 0) error = errno != 0 ? errno : EIO;
  // Closed only after the rename: the lock on it tells it from a left-over.
  if (error == 0 && ::renameat(folder, temp.c_str(), folder, name.c_str()) != 0) error = errno;
  if (error != 0) ::unlinkat(folder, temp.c_str(), 0);
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error != 0) Fail("write", shown, error);
  ::fsync(folder);  // makes the rename itself durable
}

WalkResult Walk(const SharedFd& root, const fs::path& rootPath, const fs::path& relative,
                bool createFolders) {
  std::vector<std::string> names;
  for (const fs::path& part : relative) {
    if (!part.empty() && part != ".") names.push_back(part.string());
  }
  WalkOptions options;
  options.createFolders = createFolders;
  options.rules = !names.empty() && IsDriveOrShares(names.front()) ? WalkRules::WindowsNames
                                                                   : WalkRules::ImageFiles;
  return WalkBelow(root, rootPath, names, options);
}

// Where a host path lies: inside the selected image, reached by a walk from
// its root; anywhere else, the host's as given.
struct Place {
  bool inImage = false;
  WalkResult walk;
};

Place Locate(const fs::path& path, bool createFolders = false) {
  Place place;
  const Machine* image = CurrentMachine();
  if (image == nullptr || path.empty()) return place;
  const fs::path relative = fs::absolute(path).lexically_normal().lexically_relative(image->Root());
  if (relative.empty() || relative == "." || *relative.begin() == "..") return place;
  place.inImage = true;
  place.walk = Walk(image->RootFd(), image->Root(), relative, createFolders);
  return place;
}

int OpenForReading(const WalkResult& walk, const fs::path& shown) {
  if (walk.error != 0) Fail("read", shown, walk.error);
  if (!walk.target.exists) Fail("read", shown, ENOENT);
  // Not blocking: a pipe or device planted in an image is refused below
  // rather than waited on.
  UniqueFd fd(::openat(walk.target.folder->Get(), walk.target.name.c_str(),
                       O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
  if (!fd.Valid()) Fail("read", shown, errno == ELOOP ? EXDEV : errno);
  RequireRegularFile(fd.Get(), "read", shown);
  return fd.Release();
}

}  // namespace

void WriteFileAtomically(const fs::path& path, std::string_view bytes) {
  const Place place = Locate(path, true);
  if (place.inImage) {
    const WalkResult& walk = place.walk;
    if (walk.error != 0) Fail("write", path, walk.error);
    if (walk.target.IsDirectory()) Fail("write", path, EISDIR);
    WriteIn(walk.target.folder->Get(), walk.target.name, path, bytes);
    return;
  }
  const fs::path parent = path.has_parent_path() ? path.parent_path() : fs::path(".");
  std::error_code ec;
  fs::create_directories(parent, ec);
  if (ec) Fail("create the folder of", path, ec.value());
  const UniqueFd folder(::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!folder.Valid()) Fail("write", path, errno);
  WriteIn(folder.Get(), path.filename().string(), path, bytes);
}

std::string ReadFileFrom(const fs::path& path, uint64_t offset) {
  const Place place = Locate(path);
  UniqueFd fd;
  if (place.inImage) {
    fd.Reset(OpenForReading(place.walk, path));
  } else {
    // Without O_NONBLOCK a FIFO in the file's place would block the open.
    fd.Reset(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.Valid()) Fail("read", path, errno);
    RequireRegularFile(fd.Get(), "read", path);
  }
  return ReadFrom(fd.Get(), offset, path);
}

std::string ReadWholeFile(const fs::path& path) { return ReadFileFrom(path, 0); }

std::string ReadImageFile(const SharedFd& root, const fs::path& rootPath,
                          const fs::path& relative) {
  const WalkResult walk = Walk(root, rootPath, relative, false);
  const fs::path shown = rootPath / relative;
  const UniqueFd fd(OpenForReading(walk, shown));
  return ReadFrom(fd.Get(), 0, shown);
}

void MakeImageFolder(const SharedFd& root, const fs::path& rootPath, const fs::path& relative) {
  const WalkResult walk = Walk(root, rootPath, relative, true);
  const fs::path shown = rootPath / relative;
  if (walk.error != 0) Fail("create", shown, walk.error);
  if (walk.target.exists) {
    if (!walk.target.IsDirectory()) Fail("create", shown, EEXIST);
    return;
  }
  if (::mkdirat(walk.target.folder->Get(), walk.target.name.c_str(), 0755) != 0 && errno != EEXIST)
    Fail("create", shown, errno);
}

void WriteImageFile(const SharedFd& root, const fs::path& rootPath, const fs::path& relative,
                    std::string_view bytes) {
  const WalkResult walk = Walk(root, rootPath, relative, true);
  const fs::path shown = rootPath / relative;
  if (walk.error != 0) Fail("write", shown, walk.error);
  if (walk.target.IsDirectory()) Fail("write", shown, EISDIR);
  WriteIn(walk.target.folder->Get(), walk.target.name, shown, bytes);
}

bool FileExists(const fs::path& path) {
  const Place place = Locate(path);
  if (!place.inImage) {
    std::error_code ec;
    return fs::exists(path, ec);
  }
  if (place.walk.error == ENOENT || place.walk.error == ENOTDIR) return false;
  return place.walk.error != 0 || place.walk.target.exists;
}

bool RemoveFile(const fs::path& path) {
  const Place place = Locate(path);
  if (!place.inImage) {
    std::error_code ec;
    return fs::remove(path, ec);
  }
  const HostEntry& entry = place.walk.entry;
  if (!entry.folder || !entry.exists || entry.IsDirectory()) return false;
  return ::unlinkat(entry.folder->Get(), entry.name.c_str(), 0) == 0;
}

std::vector<FolderEntry> ListFolderEntries(const fs::path& folder) {
  const Place place = Locate(folder);
  UniqueFd fd;
  if (!place.inImage) {
    fd.Reset(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  } else if (place.walk.error == 0 && place.walk.target.IsDirectory()) {
    fd.Reset(OpenFolderAt(place.walk.target.folder->Get(), place.walk.target.name.c_str()));
  }
  std::vector<FolderEntry> entries;
  if (!fd.Valid()) return entries;
  for (std::string& name : ListFolder(fd.Get())) {
    struct stat info {};
    if (::fstatat(fd.Get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
    entries.push_back({std::move(name), S_ISREG(info.st_mode), info.st_mtim});
  }
  return entries;
}

std::string StampOf(const fs::path& path) {
  const Place place = Locate(path);
  struct stat info {};
  if (!place.inImage) {
    if (::stat(path.c_str(), &info) != 0) return "missing";
  } else if (place.walk.error == ENOENT || place.walk.error == ENOTDIR) {
    return "missing";
  } else if (place.walk.error != 0) {
    return "unreachable";  // reading it fails and says why
  } else if (!place.walk.target.exists) {
    return "missing";
  } else {
    info = place.walk.target.info;
  }
  return std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino) + ":" +
         std::to_string(info.st_size) + ":" + std::to_string(info.st_mtim.tv_sec) + "." +
         std::to_string(info.st_mtim.tv_nsec) + ":" + std::to_string(info.st_ctim.tv_nsec);
}

FileInfo InspectFile(const fs::path& path) {
  const Place place = Locate(path);
  struct stat status {};
  FileInfo info;
  if (!place.inImage) {
    if (::stat(path.c_str(), &status) != 0) {
      if (errno == ENOENT || errno == ENOTDIR) return info;
      Fail("look at", path, errno);
    }
  } else if (place.walk.error == ENOENT || place.walk.error == ENOTDIR) {
    return info;
  } else if (place.walk.error != 0) {
    Fail("look at", path, place.walk.error);
  } else if (!place.walk.target.exists) {
    return info;
  } else {
    status = place.walk.target.info;
  }
  info.exists = true;
  info.device = static_cast<uint64_t>(status.st_dev);
  info.inode = static_cast<uint64_t>(status.st_ino);
  info.size = static_cast<uint64_t>(status.st_size);
  return info;
}

namespace {

// Opens a file to change it in place. A file with a second name (a hard
// link, perhaps to a file outside the image) is refused: changing it in
// place would change the other name's file too.
int OpenForChange(const fs::path& path, int flags, const std::string& what) {
  const Place place = Locate(path, (flags & O_CREAT) != 0);
  UniqueFd fd;
  if (place.inImage) {
    const WalkResult& walk = place.walk;
    if (walk.error != 0) Fail(what, path, walk.error);
    fd.Reset(::openat(walk.target.folder->Get(), walk.target.name.c_str(),
                      flags | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0644));
    if (!fd.Valid()) Fail(what, path, errno == ELOOP ? EXDEV : errno);
  } else {
    fd.Reset(::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0644));
    if (!fd.Valid()) Fail(what, path, errno);
  }
  RequireRegularFile(fd.Get(), what, path);
  struct stat info {};
  if (::fstat(fd.Get(), &info) != 0) Fail(what, path, errno);
  if (info.st_nlink > 1) {
    throw MachineError("cannot " + what + " " + path.string() +
                       ": the file has another name (a hard link)");
  }
  return fd.Release();
}

}  // namespace

// One write(2) call for a whole record where the kernel allows it, so that
// a killed writer leaves at most one torn record at the end.
void AppendToFile(const fs::path& path, std::string_view bytes) {
  const UniqueFd fd(OpenForChange(path, O_WRONLY | O_APPEND | O_CREAT, "append to"));
  struct stat status {};
  const bool sized = ::fstat(fd.Get(), &status) == 0;
  int error = WriteAll(fd.Get(), bytes) ? 0 : (errno != 0 ? errno : EIO);
  // What did get written is cut off again: the file keeps whole records only.
  if (error != 0 && sized && ::ftruncate(fd.Get(), status.st_size) != 0) error = errno;
  if (error != 0) Fail("append to", path, error);
}

void TruncateFile(const fs::path& path, uint64_t size) {
  const UniqueFd fd(OpenForChange(path, O_WRONLY, "shorten"));
  if (::ftruncate(fd.Get(), static_cast<off_t>(size)) != 0) Fail("shorten", path, errno);
}

void RemoveLeftovers(const fs::path& path) {
  const Place place = Locate(path);
  if (place.inImage) {
    const WalkResult& walk = place.walk;
    if (walk.error == 0 && walk.target.folder)
      RemoveLeftovers(walk.target.folder->Get(), walk.target.name);
    return;
  }
  const fs::path parent = path.has_parent_path() ? path.parent_path() : fs::path(".");
  const UniqueFd folder(::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.Valid()) RemoveLeftovers(folder.Get(), path.filename().string());
}

}  // namespace machine
