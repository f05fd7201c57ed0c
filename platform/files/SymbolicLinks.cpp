// CreateSymbolicLinkW over host symbolic links (see platform/win/symlink.h).
#include <unistd.h>

#include "platform/files/HostErrors.h"
#include "platform/paths.h"
#include "platform/security/ObjectSecurity.h"
#include "platform/win/errors.h"
#include "platform/win/symlink.h"

namespace fs = std::filesystem;

namespace {

constexpr DWORD kKnownFlags =
    SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE;

BOOLEAN Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

// Windows reads a relative target from the link's folder, not from the
// current directory, and a rooted one ("\x") from the link's drive.
std::u16string TargetAsSeenFromLink(std::u16string_view target, const std::u16string& linkFull) {
  const bool driveQualified = target.size() >= 2 && target[1] == u':';
  const bool rooted = !target.empty() && IsSeparator(target[0]);
  const bool unc = rooted && target.size() >= 2 && IsSeparator(target[1]);
  if (driveQualified || unc) return std::u16string(target);
  if (rooted)
    return linkFull[1] == u':' ? linkFull.substr(0, 2) + std::u16string(target)
                               : std::u16string(target);
  return linkFull.substr(0, linkFull.find_last_of(u'\\') + 1) + std::u16string(target);
}

}  // namespace

BOOLEAN WINAPI CreateSymbolicLinkW(LPCWSTR lpSymlinkFileName, LPCWSTR lpTargetFileName,
                                   DWORD dwFlags) {
  if (lpSymlinkFileName == nullptr || lpTargetFileName == nullptr || (dwFlags & ~kKnownFlags)) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  machine::ResolvedPath link;
  if (const DWORD error = machine::ResolveWindowsPath(lpSymlinkFileName, link)) return Fail(error);
  if (link.exists || link.isRoot) return Fail(ERROR_ALREADY_EXISTS);
  if (*lpTargetFileName == 0) return Fail(ERROR_PATH_NOT_FOUND);
  machine::ResolvedPath target;
  const std::u16string targetPath = TargetAsSeenFromLink(lpTargetFileName, link.windows);
  if (const DWORD error = machine::ResolveWindowsPath(targetPath, target)) return Fail(error);
  if (!target.exists) return Fail(ERROR_FILE_NOT_FOUND);

  // Stored relative, from where the link's folder really is to where the
  // target really is (links on both ways resolved), so the image can move.
  fs::path from, to;
  for (const auto& name : link.targetFolder) from /= name;
  for (const auto& name : target.targetFolder) to /= name;
  const fs::path stored = (to / target.target.name).lexically_relative(from);
  if (::symlinkat(stored.c_str(), link.entry.folder->Get(), link.entry.name.c_str()) != 0) {
    return Fail(machine::files::FromErrno(errno, ERROR_PATH_NOT_FOUND));
  }
  // A new link never inherits an access list recorded for an old object.
  if (const DWORD error =
          winsec::RecordNewObjectSecurity(winsec::ObjectKind::File, link.windows, nullptr)) {
    ::unlinkat(link.entry.folder->Get(), link.entry.name.c_str(), 0);
    return Fail(error);
  }
  return TRUE;
}
