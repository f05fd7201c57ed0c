// Walks a path below an image's root one name at a time, each folder held
// open and the next name looked up in it without following a symbolic link
// by the host's rules. Whatever another process renames or swaps for a link
// meanwhile, the walk never leaves the root: the folder it ends in is one it
// opened itself, and the caller works in that folder (openat, mkdirat,
// unlinkat, renameat with O_NOFOLLOW where it applies), never by path.
//
// Links are read and followed by the walk itself, by these rules:
// - WindowsNames (drive_X/ and unc/SERVER/SHARE/, what Windows paths reach):
//   names match without regard to case (the exact name first); a link's
//   target is read from the link's folder (relative) or, when absolute, must
//   name a place inside the image root; either way it must lead into one of
//   the image's drives or shares, never to the image's own files beside
//   them (registry/, security.sddl, ...), and must lead to something that
//   exists. Otherwise the walk fails with EXDEV.
// - ImageFiles (the image's own files): exact names, and no link at all.
#pragma once

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/machine/UniqueFd.h"

namespace machine {

enum class WalkRules { WindowsNames, ImageFiles };

// A name in a folder the walk opened.
struct HostEntry {
  SharedFd folder;
  std::string name;  // as the disk spells it; as given when it does not exist
  bool exists = false;
  struct stat info {};  // of the name itself (lstat), when it exists

  bool IsDirectory() const { return exists && S_ISDIR(info.st_mode); }
  bool IsLink() const { return exists && S_ISLNK(info.st_mode); }
};

struct WalkResult {
  // errno of the failure: ENOENT or ENOTDIR for a folder on the way that is
  // missing or no folder, EXDEV for a link that leaves the image (or its
  // drives) or leads nowhere, ELOOP for too many links, or what the host
  // reported.
  int error = 0;
  size_t failedAt = 0;             // index of the given name being resolved then
  std::vector<std::string> names;  // the given names as the disk spells them
  HostEntry entry;                 // the last name itself: a link there is not followed
  HostEntry target;                // where a link in the last name leads; `entry` otherwise
  // Where target.folder is, as names below the root (links resolved).
  std::vector<std::string> targetFolder;
};

struct WalkOptions {
  WalkRules rules = WalkRules::WindowsNames;
  bool createFolders = false;  // make missing folders on the way (not through links)
};

// `root` is the image root, opened by the caller; `rootPath` is its host
// path, against which absolute link targets are judged. `names` are single
// names (no separators, no "." or ".."); the first is a drive_X or "unc"
// folder under WindowsNames.
WalkResult WalkBelow(const SharedFd& root, const std::filesystem::path& rootPath,
                     const std::vector<std::string>& names, const WalkOptions& options);

// "drive_X" or "unc": the folders of the image that Windows paths reach.
bool IsDriveOrShares(const std::string& name);

// Opens a folder for walking in or listing: a folder, never a link.
int OpenFolderAt(int folder, const char* name);

// The names in a folder held open, without "." and "..".
std::vector<std::string> ListFolder(int folder);

}  // namespace machine
