#include "tests/support/TempMachine.h"

#include <stdlib.h>

#include <fstream>
#include <sstream>

#include "platform/machine.h"

namespace fs = std::filesystem;

namespace quaver::test {

TempMachine::TempMachine() {
  std::string pattern = (fs::temp_directory_path() / "quaver-image-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    ADD_FAILURE() << "cannot create a temporary directory";
    return;
  }
  root_ = fs::canonical(pattern);
  try {
    machine::CreateImage(root_);
    machine::SelectMachine(root_);
  } catch (const std::exception& e) {
    ADD_FAILURE() << "cannot set up a machine image: " << e.what();
  }
}

TempMachine::~TempMachine() {
  machine::DeselectMachine();
  std::error_code ec;
  if (!root_.empty()) fs::remove_all(root_, ec);
}

void FoldImageJournals(const fs::path& root) {
  try {
    machine::FoldJournals(root);
  } catch (const machine::MachineError& e) {
    ADD_FAILURE() << "cannot fold the journals of the image: " << e.what();
  }
}

void TempMachine::WriteHostFile(std::string_view relative, std::string_view bytes) const {
  FoldImageJournals(root_);
  const fs::path path = root_ / relative;
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string TempMachine::ReadHostFile(std::string_view relative) const {
  FoldImageJournals(root_);
  std::ifstream in(root_ / relative, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

}  // namespace quaver::test
