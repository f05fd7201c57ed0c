#include "tests/package/EngineImage.h"

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "platform/win.h"
#include "tests/package/PackageBuilder.h"
#include "tools/quaver-machine/MetabaseCommands.h"
#include "tools/quaver-machine/ToolInternals.h"

namespace package_test {

EngineImage::EngineImage(const std::string& iisVersion, bool metabaseCompat) {
  quaver_machine::RunCreateHooks({Root(), iisVersion});
  if (metabaseCompat) quaver_machine::InstallMetabaseCompatibility();
  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kProductKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

Snapshot TakeSnapshot(const quaver::test::TempMachine& image) {
  Snapshot files;
  quaver::test::FoldImageJournals(image.Root());
  for (const auto& entry : std::filesystem::recursive_directory_iterator(image.Root())) {
    if (!entry.is_regular_file()) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    files[std::filesystem::relative(entry.path(), image.Root()).generic_string()] = bytes.str();
  }
  return files;
}

Snapshot WithoutEmptyLoadOrders(Snapshot files) {
  auto found = files.find("drive_c/Windows/System32/inetsrv/MetaBase.xml");
  if (found == files.end()) return files;
  std::string kept;
  std::istringstream lines(found->second);
  for (std::string line; std::getline(lines, line);) {
    const size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line.substr(start) != "FilterLoadOrder=\"\"") {
      kept += line + "\n";
    }
  }
  found->second = kept;
  return files;
}

namespace {

std::istringstream Lines(const std::string& text) { return std::istringstream(text); }

// The lines of one file that the other lacks, each way.
void LineDifference(const std::string& name, const std::string& before, const std::string& after,
                    std::string& out) {
  std::multiset<std::string> left, right;
  std::string line;
  for (auto in = Lines(before); std::getline(in, line);) left.insert(line);
  for (auto in = Lines(after); std::getline(in, line);) right.insert(line);
  for (const std::string& l : left) {
    if (right.count(l) < left.count(l)) out += name + ": lost   " + l + "\n";
  }
  for (const std::string& r : right) {
    if (left.count(r) < right.count(r)) out += name + ": gained " + r + "\n";
  }
  if (left == right) out += name + ": lines reordered\n";
}

}  // namespace

std::string Difference(const Snapshot& before, const Snapshot& after) {
  std::string out;
  for (const auto& [name, bytes] : before) {
    auto found = after.find(name);
    if (found == after.end()) {
      out += name + ": removed\n";
    } else if (found->second != bytes) {
      LineDifference(name, bytes, found->second, out);
    }
  }
  for (const auto& [name, bytes] : after) {
    if (before.count(name) == 0) out += name + ": added\n";
  }
  return out;
}

UpdateComponent Component(const ComponentVariable& record, const char16_t* basePath) {
  UpdateComponent component;
  component.SetBasePath(basePath);
  EXPECT_TRUE(component.ParseRecord(record));
  return component;
}

void Prepare(Update& engine, const ComponentVariable& root, uint32_t mode) {
  Bytes bytes = PackageFile(root);
  CSPBuffer data;
  data.Set(bytes.data(), uint32_t(bytes.size()));
  engine.SetPackageData(data);
  engine.basePath = kProductDir;
  engine.productKey = kProductKey;
  engine.productName = u"IIS Quaver";
  engine.makeBackup = false;
  engine.extensibilityMode = mode;
  ASSERT_TRUE(engine.Parse()) << engine.GetErrorText().GetString();
}

}  // namespace package_test
