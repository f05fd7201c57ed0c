#include "tools/cvsp/HostFiles.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "platform/files/HostFileRead.h"
#include "platform/machine.h"

namespace fs = std::filesystem;

namespace cvsp {

CSPBuffer ReadPackageFile(const std::string& path) {
  std::string bytes, error;
  if (!machine::files::ReadHostFile(path, UINT32_MAX, bytes, error)) {
    throw ToolError("cannot read " + path + ": it " + error);
  }
  CSPBuffer out;
  out.Set(bytes.data(), static_cast<uint32_t>(bytes.size()));
  RefuseManifest(path, out);
  return out;
}

void RefuseManifest(const std::string& path, const CSPBuffer& bytes) {
  const char* data = reinterpret_cast<const char*>(bytes.GetData());
  const char* end = data + bytes.GetSize();
  while (data != end && std::isspace(static_cast<unsigned char>(*data))) ++data;
  if (data == end || *data != '{') return;
  if (!nlohmann::json::accept(data, end)) return;
  throw ToolError(path + " is a JSON manifest, not a package; `cvsp build " + path +
                  " -o FILE.cvsp` makes a package of it");
}

void WriteAtomically(const std::string& path, const void* data, size_t size) {
  const fs::path target(path);
  const fs::path partial = target.parent_path() / ("." + target.filename().string() + ".part-" +
                                                   std::to_string(::getpid()));
  {
    std::ofstream file(partial, std::ios::binary | std::ios::trunc);
    file.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    file.close();
    if (!file) {
      std::error_code ignored;
      fs::remove(partial, ignored);
      throw ToolError("cannot write " + path);
    }
  }
  std::error_code ec;
  fs::rename(partial, target, ec);
  if (ec) {
    std::error_code ignored;
    fs::remove(partial, ignored);
    throw ToolError("cannot write " + path + ": " + ec.message());
  }
}

KeptSelection::KeptSelection() {
  if (machine::CurrentMachine() != nullptr) previous = machine::CurrentMachine()->Root();
}

KeptSelection::~KeptSelection() { Restore(); }

void KeptSelection::Restore() noexcept {
  if (restored) return;
  restored = true;
  try {
    if (previous.empty()) {
      machine::DeselectMachine();
    } else {
      machine::SelectMachine(previous);
    }
  } catch (const std::exception&) {
  }
}

}  // namespace cvsp
