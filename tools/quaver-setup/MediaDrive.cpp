#include "tools/quaver-setup/MediaDrive.h"

#include <system_error>

#include "platform/machine.h"
#include "platform/win.h"

namespace fs = std::filesystem;

namespace quaver_setup {

bool MediaDrive::Mount(const fs::path& imageRoot, const fs::path& media, std::string& error) {
  std::error_code failure;
  if (!fs::is_directory(media, failure)) {
    error = "the setup media folder " + media.string() + " does not exist";
    return false;
  }
  for (char candidate = 'd'; candidate <= 'z' && letter == 0; ++candidate) {
    const fs::path drive = imageRoot / (std::string("drive_") + candidate);
    if (!fs::exists(drive, failure) && fs::create_directory(drive, failure)) {
      hostDrive = drive;
      letter = static_cast<char>(candidate - 'a' + 'A');
    }
  }
  if (letter == 0) {
    error = "the server has no free drive letter for the setup media";
    return false;
  }
  // Only the files of the media folder itself: the setup reads nothing else.
  // Written as the image's files are, so that nothing swapped into the new
  // drive meanwhile leads them out of the image.
  for (const auto& entry : fs::directory_iterator(media, failure)) {
    if (!entry.is_regular_file(failure)) continue;
    try {
      machine::WriteFileAtomically(hostDrive / entry.path().filename(),
                                   machine::ReadWholeFile(entry.path()));
    } catch (const machine::MachineError& e) {
      error = "cannot place " + entry.path().string() + " on the server: " + e.what();
      return false;
    }
  }
  const char16_t root[] = {static_cast<char16_t>(letter), u':', u'\\', 0};
  if (!SetCurrentDirectoryW(root)) {
    error = "cannot make the setup media the current directory";
    return false;
  }
  return true;
}

MediaDrive::~MediaDrive() {
  if (letter == 0) return;
  SetCurrentDirectoryW(u"C:\\");
  std::error_code ignored;
  fs::remove_all(hostDrive, ignored);
}

}  // namespace quaver_setup
