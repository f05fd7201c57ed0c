// Windows paths of the selected machine image: where a path such as
// C:\Windows\win.ini lives on the host, and back.
//
//   C:\x\y.txt              <image>/drive_c/x/y.txt   (drive_d/ for D:, ...)
//   \\SERVER\SHARE\x        <image>/unc/SERVER/SHARE/x
//   \x                      the root of the current directory's drive
//   x, ..\x, D:x            against the process's current directory
//
// '/' separates like '\'; '.' and '..' are applied textually and '..' stops
// at the drive (or share) root, as on Windows. Existing names match without
// regard to case; new names keep the case given. Host names are UTF-8. No
// path leaves the image: the path is walked from the image root one folder
// at a time, each held open (machine/ConfinedWalk.h); a symbolic link is
// followed only into the image's drives and shares (never to its registry,
// security.sddl, ... beside them), and one that points elsewhere or nowhere
// is refused. Safe to call from several threads.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/machine/ConfinedWalk.h"
#include "platform/win/types.h"

namespace machine {

struct ResolvedPath {
  // Inside the image, existing parts in their on-disk case: for messages and
  // the image-file calls of machine.h, which walk it again.
  std::filesystem::path host;
  std::u16string windows;  // full Windows form, e.g. C:\x\y.txt
  bool exists = false;     // the last component exists (a link: its target)
  bool isDirectory = false;
  bool isRoot = false;  // a drive root (C:\) or a share root (\\S\SHARE)
  bool isLink = false;  // the last component is a symbolic link
  // The last component in the folder that holds it, that folder held open:
  // `entry` is the name itself, `target` where a link there leads (the same
  // as `entry` for anything else). Host calls go through these (*at calls
  // with O_NOFOLLOW), never through `host`, so that nothing swapped in
  // after the check is followed.
  machine::HostEntry entry;
  machine::HostEntry target;
  std::vector<std::string> targetFolder;  // target.folder as names below the image root
};

// Whether the last component may hold the wildcards '*' and '?'
// (FindFirstFileW patterns); they are invalid anywhere else.
enum class Wildcards { Refuse, AllowInLastComponent };

// Turns a Windows path into its full form without touching the image:
// C:\a\.\b\..\c -> C:\a\c. Returns ERROR_SUCCESS, ERROR_INVALID_NAME (bad
// characters, reserved device names) or ERROR_BAD_PATHNAME (an incomplete
// UNC root). A relative path needs a selected machine (the current directory
// is the stand-in's): without one, ERROR_PATH_NOT_FOUND.
DWORD FullWindowsPath(std::u16string_view path, std::u16string& full,
                      Wildcards wildcards = Wildcards::Refuse);

// Resolves a Windows path into the selected image. ERROR_SUCCESS also when
// only the last component is missing (then `exists` is false: the caller
// decides between creating it and ERROR_FILE_NOT_FOUND). Errors: the ones of
// FullWindowsPath; ERROR_PATH_NOT_FOUND for a missing (or non-folder) parent,
// a missing drive folder, or no selected machine (a stand-in rule: nothing
// ever falls back to the host); ERROR_BAD_NETPATH / ERROR_BAD_NET_NAME for an
// unknown server / share; ERROR_ACCESS_DENIED for a symbolic link that leaves
// the image's drives and shares or leads nowhere; ERROR_CANT_RESOLVE_FILENAME
// for links that lead on to more than 40 links. When the last component is
// a link refused so, `isLink` and `entry` are set all the same (to remove it).
DWORD ResolveWindowsPath(std::u16string_view path, ResolvedPath& resolved,
                         Wildcards wildcards = Wildcards::Refuse);

// Opens a resolved folder (its target) for listing; -1 with errno set when
// it is no folder (any more).
int OpenResolvedFolder(const ResolvedPath& folder);

// The Windows path of a host path inside the selected image (drive and UNC
// folders only); nullopt for anything else.
std::optional<std::u16string> WindowsPathOf(const std::filesystem::path& hostPath);

// The process's current directory in full Windows form ("C:\" after
// selection); empty when no machine is selected.
std::u16string CurrentDirectory();

}  // namespace machine
