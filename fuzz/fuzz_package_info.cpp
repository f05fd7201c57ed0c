// DecodeFromFile through ReadPackageInfo: each input becomes C:\fuzz.cvsp in
// a machine image made for the run (host calls here are the harness's, as in
// the tests' temporary images).
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "package/Update.h"
#include "platform/machine.h"

namespace {

std::filesystem::path imageRoot;

void RemoveImage() {
  machine::DeselectMachine();
  std::error_code ignored;
  std::filesystem::remove_all(imageRoot, ignored);
}

}  // namespace

// Rewriting one file for every input is slow on a journalling disk; a
// memory file system keeps the target's speed up where there is one.
std::filesystem::path ScratchBase() {
  std::error_code ec;
  if (std::filesystem::is_directory("/dev/shm", ec)) return "/dev/shm";
  return std::filesystem::temp_directory_path();
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::string pattern = (ScratchBase() / "fuzz-image-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) std::abort();
  imageRoot = pattern;
  machine::CreateImage(imageRoot);
  machine::SelectMachine(imageRoot);
  std::atexit(RemoveImage);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  {
    std::ofstream file(imageRoot / "drive_c" / "fuzz.cvsp", std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  Update engine;
  engine.ReadPackageInfo(u"C:\\fuzz.cvsp");
  return 0;
}
