// Small helpers for the registry stand-in's tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/win.h"

namespace quaver::test {

using Bytes = std::vector<uint8_t>;

inline Bytes Utf16(std::u16string_view text, bool terminate = true) {
  Bytes bytes;
  for (char16_t c : text) {
    bytes.push_back(static_cast<uint8_t>(c & 0xFF));
    bytes.push_back(static_cast<uint8_t>(c >> 8));
  }
  if (terminate) bytes.insert(bytes.end(), {0, 0});
  return bytes;
}

inline Bytes Dword(uint32_t value) {
  return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
          static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
}

// Closes the key at the end of the scope.
class ScopedKey {
 public:
  ScopedKey() = default;
  explicit ScopedKey(HKEY key) : key_(key) {}
  ~ScopedKey() {
    if (key_) RegCloseKey(key_);
  }
  ScopedKey(const ScopedKey&) = delete;
  ScopedKey& operator=(const ScopedKey&) = delete;
  HKEY get() const { return key_; }
  HKEY* out() { return &key_; }
  HKEY release() {
    HKEY key = key_;
    key_ = nullptr;
    return key;
  }

 private:
  HKEY key_ = nullptr;
};

inline HKEY MakeKey(HKEY parent, const char16_t* path, REGSAM access = KEY_ALL_ACCESS) {
  HKEY key = nullptr;
  LSTATUS status = RegCreateKeyExW(parent, path, 0, nullptr, 0, access, nullptr, &key, nullptr);
  EXPECT_EQ(status, ERROR_SUCCESS) << "creating a test key";
  return key;
}

inline void SetValue(HKEY key, const char16_t* name, DWORD type, const Bytes& data) {
  ASSERT_EQ(RegSetValueExW(key, name, 0, type, data.data(), static_cast<DWORD>(data.size())),
            ERROR_SUCCESS);
}

// The value's data, or nullopt when the query failed.
inline std::optional<Bytes> QueryValue(HKEY key, const char16_t* name, DWORD* type = nullptr) {
  DWORD size = 0;
  if (RegQueryValueExW(key, name, nullptr, type, nullptr, &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  Bytes data(size);
  if (RegQueryValueExW(key, name, nullptr, type, data.data(), &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  data.resize(size);
  return data;
}

// A file of ../shared/fixtures, or nullopt when the folder is not there.
inline std::optional<std::string> ReadSharedFixture(const std::string& name) {
  std::vector<std::filesystem::path> candidates;
  if (const char* shared = std::getenv("QUAVER_SHARED")) {
    candidates.push_back(std::filesystem::path(shared) / "fixtures" / name);
  }
  candidates.push_back(std::filesystem::path("../shared/fixtures") / name);
  candidates.push_back(std::filesystem::path(__FILE__).parent_path() / "../../../shared/fixtures" /
                       name);
  for (const auto& path : candidates) {
    std::ifstream in(path, std::ios::binary);
    if (!in) continue;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
  }
  return std::nullopt;
}

}  // namespace quaver::test
