// The lock that serialises changes to a machine image between processes as
// well as between threads, as Windows serialises registry and service
// control manager changes.
//
// Every read-change-write of an image file (hives, services.ini,
// security.sddl, the metabase, applicationHost.config, ...) runs while the
// lock is held:
//
//   std::lock_guard<machine::ImageLock> hold(machine::RequireMachine().Lock());
//   if (StampOf(file) != stampAsRead) ...read the file again...;
//   ...change...; WriteFileAtomically(file, text); stampAsRead = StampOf(file);
//
// - Holding it excludes every other process and thread that takes the lock
//   of the same image; it is recursive within a process, so a locked
//   operation may call another.
// - Across processes it is an advisory whole-file lock (flock) on
//   ".machine.lock" in the image root, which the kernel drops when the
//   holder dies: a killed process never blocks the next one.
// - A process keeps what it read in memory only as long as the file's
//   FileStamp is unchanged; once it holds the lock it compares the stamp and
//   reads the file again when another process replaced it.
// - An image whose lock file cannot be created (a read-only copy) is still
//   served, guarded within the process only: nobody can change it.
#pragma once

#include <filesystem>
#include <mutex>
#include <string>

namespace machine {

class ImageLock {
 public:
  explicit ImageLock(std::filesystem::path lockFile);
  ~ImageLock();
  ImageLock(const ImageLock&) = delete;
  ImageLock& operator=(const ImageLock&) = delete;

  // Blocks until this thread holds the lock (BasicLockable).
  void lock();
  void unlock();

  // The name of the lock file in every image root.
  static constexpr const char* kFileName = ".machine.lock";

 private:
  void LockFile();

  std::filesystem::path path_;
  std::recursive_mutex mutex_;
  int depth_ = 0;  // how often the holding thread has locked
  int fd_ = -1;
  int owner_ = 0;  // the process that opened fd_
};

// Identifies the content of a file as last seen: every write replaces the
// file, so a change shows in its identity even when size and time match.
// "missing" for a file that does not exist, "unreachable" for one that
// reading would refuse (ImageFiles.cpp, which keeps it beside the reads).
std::string StampOf(const std::filesystem::path& path);

}  // namespace machine
