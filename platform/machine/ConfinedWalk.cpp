#include "platform/machine/ConfinedWalk.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <deque>

#include "platform/text.h"

#if __has_include(<linux/openat2.h>) && defined(SYS_openat2)
#include <linux/openat2.h>
#define QUAVER_HAVE_OPENAT2 1
#endif

namespace fs = std::filesystem;

namespace machine {
namespace {

constexpr int kMaxLinks = 40;  // as the kernel counts them
// A name that keeps changing between a look and an open (a folder swapped
// for a link and back) is looked at again this often before the walk gives
// up with EBUSY.
constexpr int kMaxRetries = 16;
// Not an errno: the walk starts over without its short cut.
constexpr int kStartOver = -1;

struct Pending {
  std::string name;
  size_t given;   // the given name it is, or that led to it through a link
  bool fromLink;  // part of a link's target
};

std::vector<std::string> SplitTarget(const std::string& text) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == '/') {
      if (i > start) parts.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  return parts;
}

bool ReadLink(int folder, const std::string& name, std::string& text) {
  char buffer[4096];
  const ssize_t n = ::readlinkat(folder, name.c_str(), buffer, sizeof buffer);
  if (n < 0) return false;
  if (static_cast<size_t>(n) >= sizeof buffer) {
    errno = ENAMETOOLONG;
    return false;
  }
  text.assign(buffer, static_cast<size_t>(n));
  return true;
}

// The first name (in byte order, so the choice is stable) that equals
// `wanted` without regard to case.
bool FindNoCase(int folder, const std::string& wanted, std::string& found) {
  const std::u16string name = FromUtf8(wanted);
  bool any = false;
  for (std::string& candidate : ListFolder(folder)) {
    if ((!any || candidate < found) && EqualNoCase(FromUtf8(candidate), name)) {
      found = std::move(candidate);
      any = true;
    }
  }
  return any;
}

class Walker {
 public:
  Walker(const SharedFd& root, const fs::path& rootPath, const WalkOptions& options)
      : root_(root), rootPath_(rootPath), options_(options) {}

  WalkResult Run(const std::vector<std::string>& names, bool shortCut) {
    result_.names = names;
    for (size_t i = 0; i < names.size(); ++i) pending_.push_back({names[i], i, false});
    if (names.empty()) Fail(ENOENT, 0);
    if (shortCut) TakeShortCut(names);
    while (!done_ && result_.error == 0 && !pending_.empty()) {
      Pending step = std::move(pending_.front());
      pending_.pop_front();
      if (step.name.empty() || step.name == ".") {
        if (pending_.empty()) EndAtCurrentFolder(step);
      } else if (step.name == "..") {
        if (stack_.empty()) {
          Fail(EXDEV, step.given);  // above the image root
        } else {
          stack_.pop_back();
          if (pending_.empty()) EndAtCurrentFolder(step);
        }
      } else if (stack_.empty() && options_.rules == WalkRules::WindowsNames &&
                 !IsDriveOrShares(step.name)) {
        Fail(EXDEV, step.given);
      } else if (pending_.empty()) {
        LastName(step);
      } else {
        IntoFolder(step);
      }
    }
    if (result_.error == 0 && !done_) Fail(EXDEV, names.size() - 1);
    return std::move(result_);
  }

  bool MustStartOver() const { return startOver_; }

 private:
  struct Level {
    SharedFd fd;  // null for a folder the short cut passed through
    std::string name;
  };

  int Top() const { return stack_.empty() ? root_->Get() : stack_.back().fd->Get(); }
  const SharedFd& Current() const { return stack_.empty() ? root_ : stack_.back().fd; }
  bool Caseless() const { return options_.rules == WalkRules::WindowsNames && !stack_.empty(); }

  void Fail(int error, size_t given) {
    result_.error = error;
    result_.failedAt = given;
  }

  void Spell(const Pending& step, const std::string& name) {
    if (!step.fromLink) result_.names[step.given] = name;
  }

  // All folders but the last name in one call when every one of them is a
  // plain folder spelt exactly as given: the common case, where a walk of
  // its own would cost a call per folder. Anything else (a link, another
  // spelling, a missing folder) is left to the walk, which then decides.
  void TakeShortCut(const std::vector<std::string>& names) {
#ifdef QUAVER_HAVE_OPENAT2
    static std::atomic<bool> available{true};
    if (names.size() < 2 || !available.load(std::memory_order_relaxed)) return;
    std::string path;
    for (size_t i = 0; i + 1 < names.size(); ++i) {
      if (i > 0) path += '/';
      path += names[i];
    }
    open_how how{};
    how.flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    const long fd = ::syscall(SYS_openat2, root_->Get(), path.c_str(), &how, sizeof how);
    if (fd < 0) {
      // Kernels before 5.6, or a sandbox that refuses the call.
      if (errno == ENOSYS || errno == EPERM) available.store(false, std::memory_order_relaxed);
      return;
    }
    for (size_t i = 0; i + 2 < names.size(); ++i) stack_.push_back({nullptr, names[i]});
    stack_.push_back(
        {std::make_shared<const UniqueFd>(static_cast<int>(fd)), names[names.size() - 2]});
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(names.size() - 1));
#else
    (void)names;
#endif
  }

  void IntoFolder(const Pending& step) {
    std::string name = step.name;
    for (int attempt = 0; attempt < kMaxRetries; ++attempt) {
      const int fd = OpenFolderAt(Top(), name.c_str());
      if (fd >= 0) {
        Spell(step, name);
        stack_.push_back({std::make_shared<const UniqueFd>(fd), name});
        return;
      }
      const int error = errno;
      if (error == ENOENT) {
        std::string other;
        if (Caseless() && FindNoCase(Top(), step.name, other) && other != name) {
          name = std::move(other);
          continue;
        }
        if (options_.createFolders && !step.fromLink) {
          if (::mkdirat(Top(), name.c_str(), 0755) == 0 || errno == EEXIST) continue;
          Fail(errno, step.given);
          return;
        }
        Fail(step.fromLink ? EXDEV : ENOENT, step.given);
        return;
      }
      if (error != ENOTDIR && error != ELOOP) {
        Fail(error, step.given);
        return;
      }
      struct stat info {};
      if (::fstatat(Top(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
      if (S_ISLNK(info.st_mode)) {
        Spell(step, name);
        FollowLink(step, name);
        return;
      }
      if (!S_ISDIR(info.st_mode)) {
        Fail(step.fromLink ? EXDEV : ENOTDIR, step.given);
        return;
      }
    }
    Fail(EBUSY, step.given);
  }

  void LastName(const Pending& step) {
    struct stat info {};
    std::string name = step.name;
    bool found = ::fstatat(Top(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
    if (!found && errno == ENOENT && Caseless() && FindNoCase(Top(), step.name, name)) {
      found = ::fstatat(Top(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
    }
    if (!found && errno != ENOENT) {
      Fail(errno, step.given);
      return;
    }
    if (!found && step.fromLink) {
      Fail(EXDEV, step.given);  // a link to nothing
      return;
    }
    Spell(step, found ? name : step.name);
    const HostEntry here{Current(), found ? name : step.name, found, info};
    if (!step.fromLink) result_.entry = here;
    if (found && S_ISLNK(info.st_mode)) {
      FollowLink(step, name);
      return;
    }
    Finish(here);
  }

  void Finish(const HostEntry& target) {
    result_.target = target;
    if (!result_.entry.folder) result_.entry = target;
    result_.targetFolder.clear();
    for (const Level& level : stack_) result_.targetFolder.push_back(level.name);
    done_ = true;
  }

  // A link's target ended in "." or "..": it names the folder the walk is
  // in. (Only a walk without the short cut follows links, so every folder
  // on the way is held.)
  void EndAtCurrentFolder(const Pending& step) {
    if (stack_.empty()) {
      Fail(EXDEV, step.given);  // the image root is no Windows object
      return;
    }
    const Level here = stack_.back();
    stack_.pop_back();
    HostEntry entry{Current(), here.name, true, {}};
    if (::fstat(here.fd->Get(), &entry.info) != 0) {
      Fail(errno, step.given);
      return;
    }
    Finish(entry);
  }

  void FollowLink(const Pending& step, const std::string& name) {
    if (options_.rules == WalkRules::ImageFiles) {
      Fail(EXDEV, step.given);
      return;
    }
    for (const Level& level : stack_) {
      if (!level.fd) {
        // The short cut kept no folders to go back up through.
        startOver_ = true;
        Fail(kStartOver, step.given);
        return;
      }
    }
    std::string text;
    if (++links_ > kMaxLinks) {
      Fail(ELOOP, step.given);
      return;
    }
    if (!ReadLink(Top(), name, text)) {
      Fail(errno, step.given);
      return;
    }
    std::vector<std::string> parts;
    if (!text.empty() && text[0] == '/') {
      const fs::path inside = fs::path(text).lexically_normal().lexically_relative(rootPath_);
      if (inside.empty() || *inside.begin() == "..") {
        Fail(EXDEV, step.given);
        return;
      }
      stack_.clear();
      for (const fs::path& part : inside) parts.push_back(part.string());
    } else {
      parts = SplitTarget(text);
    }
    if (parts.empty()) parts.push_back(".");
    for (auto it = parts.rbegin(); it != parts.rend(); ++it) {
      pending_.push_front({*it, step.given, true});
    }
  }

  const SharedFd& root_;
  const fs::path& rootPath_;
  const WalkOptions& options_;
  std::vector<Level> stack_;
  std::deque<Pending> pending_;
  WalkResult result_;
  int links_ = 0;
  bool done_ = false;
  bool startOver_ = false;
};

}  // namespace

bool IsDriveOrShares(const std::string& name) {
  return name == "unc" || (name.size() == 7 && name.compare(0, 6, "drive_") == 0 &&
                           name[6] >= 'a' && name[6] <= 'z');
}

int OpenFolderAt(int folder, const char* name) {
  const int fd = ::openat(folder, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  // A folder that may be passed but not read (search permission only).
  if (fd < 0 && errno == EACCES) {
    return ::openat(folder, name, O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  }
  return fd;
}

std::vector<std::string> ListFolder(int folder) {
  std::vector<std::string> names;
  const int fd = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return names;
  DIR* dir = ::fdopendir(fd);
  if (dir == nullptr) {
    ::close(fd);
    return names;
  }
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  ::closedir(dir);
  return names;
}

WalkResult WalkBelow(const SharedFd& root, const fs::path& rootPath,
                     const std::vector<std::string>& names, const WalkOptions& options) {
  Walker walker(root, rootPath, options);
  WalkResult result = walker.Run(names, true);
  if (!walker.MustStartOver()) return result;
  return Walker(root, rootPath, options).Run(names, false);
}

}  // namespace machine
