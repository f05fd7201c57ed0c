#include "platform/machine.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/env/Environment.h"
#include "platform/files/CurrentDirectory.h"
#include "platform/machine/ImageFiles.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace machine {
namespace {

std::mutex selectionLock;
std::unique_ptr<Machine>& Selected() {
  static std::unique_ptr<Machine> selected;
  return selected;
}

constexpr const char* kHowToSelect =
    "no machine image selected: set QUAVER_MACHINE to an image directory or pass "
    "--machine DIR (create one with 'quaver-machine create DIR')";

}  // namespace

Machine::Machine(fs::path root) : root_(std::move(root)), lock_(root_ / ImageLock::kFileName) {
  const int fd = ::open(root_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    throw MachineError("cannot open machine image " + root_.string() + ": " + std::strerror(errno));
  }
  rootFd_ = std::make_shared<const UniqueFd>(fd);
  const fs::path ini = root_ / "machine.ini";
  struct stat info {};
  if (::fstatat(fd, "machine.ini", &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode)) {
    throw MachineError(root_.string() +
                       " is not a machine image: it has no machine.ini (create one with "
                       "'quaver-machine create DIR')");
  }
  settings_ = IniFile::Parse(ReadImageFile(rootFd_, root_, "machine.ini"), ini.string());
}

void Machine::SaveSettings() const { settings_.Save(root_ / "machine.ini"); }

void SelectMachine(const fs::path& root) {
  std::error_code ec;
  const fs::path canonical = fs::canonical(root, ec);
  if (ec) {
    throw MachineError("cannot select machine image " + root.string() + ": " + ec.message());
  }
  auto image = std::make_unique<Machine>(canonical);
  env::Variables variables;
  for (const auto& [name, value] : image->Settings().Entries("environment")) {
    variables.emplace_back(FromUtf8(name), FromUtf8(value));
  }
  {
    std::lock_guard<std::mutex> guard(selectionLock);
    Selected() = std::move(image);
  }
  env::Replace(variables);
  files::SetCurrentDirectoryUnchecked(u"C:\\");
}

bool SelectMachineFromEnvironment() {
  const char* dir = std::getenv("QUAVER_MACHINE");
  if (dir == nullptr || *dir == '\0') return false;
  SelectMachine(dir);
  return true;
}

void DeselectMachine() {
  {
    std::lock_guard<std::mutex> guard(selectionLock);
    Selected().reset();
  }
  env::Replace({});
  files::SetCurrentDirectoryUnchecked(u"");
}

Machine* CurrentMachine() {
  std::lock_guard<std::mutex> guard(selectionLock);
  return Selected().get();
}

Machine& RequireMachine() {
  Machine* image = CurrentMachine();
  if (image == nullptr) throw MachineError(kHowToSelect);
  return *image;
}

}  // namespace machine
