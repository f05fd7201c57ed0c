// A fresh machine image for a test: created in a temporary directory,
// selected for the process (environment seeded, current directory C:\), and
// deselected and removed again at the end.
//
//   TEST(Something, Works) {
//     quaver::test::TempMachine image;
//     // C:\x\y.txt is image.DriveC() / "x" / "y.txt"
//   }
//
// or derive the test class from quaver::test::TempMachineTest and use
// `image` in TEST_F. Tests in one executable run one after the other, so one
// selected image at a time is all they need.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>

namespace quaver::test {

class TempMachine {
 public:
  TempMachine();   // creates and selects; a failure is reported to the running test
  ~TempMachine();  // deselects and removes the whole directory
  TempMachine(const TempMachine&) = delete;
  TempMachine& operator=(const TempMachine&) = delete;

  const std::filesystem::path& Root() const { return root_; }
  std::filesystem::path DriveC() const { return root_ / "drive_c"; }

  // Host-side helpers for arranging and checking files behind the API's back;
  // `relative` is a host path below the image root, e.g. "drive_c/x/y.txt".
  // Both fold the image's journals first (FoldImageJournals), so that a
  // file read holds every change and a file written gets no journal
  // replayed over it.
  void WriteHostFile(std::string_view relative, std::string_view bytes) const;
  std::string ReadHostFile(std::string_view relative) const;  // "" when missing

 private:
  std::filesystem::path root_;
};

// machine::FoldJournals for a test: a failure is reported to the running
// test. Call it before comparing an image's files.
void FoldImageJournals(const std::filesystem::path& root);

class TempMachineTest : public ::testing::Test {
 protected:
  TempMachine image;
};

}  // namespace quaver::test
