#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "package/Update.h"
#include "tests/package/MinimalPackage.h"
#include "tests/package/PackageBuilder.h"
#include "tests/support/TempMachine.h"

using namespace package_test;

namespace {

class ReadPackageInfoTest : public quaver::test::TempMachineTest {
 protected:
  // Writes the bytes as C:\p.cvsp and reads its header information.
  bool Read(const Bytes& bytes) {
    image.WriteHostFile("drive_c/p.cvsp", std::string(bytes.begin(), bytes.end()));
    return engine.ReadPackageInfo(u"C:\\p.cvsp");
  }
  std::string Title() const { return engine.GetErrorTitle().GetString(); }
  std::string Text() const { return engine.GetErrorText().GetString(); }

  static ComponentVariable RootWithInfo() {
    ComponentVariable root = PackageRoot();
    root.AddToMap("SETUP", StringNode("INFO", "Release notes"));
    AddComponent(root, FileRecord("a.dll"));
    return root;
  }

  Update engine;
};

TEST_F(ReadPackageInfoTest, ReadsTheHeaderKeys) {
  ASSERT_TRUE(Read(PackageFile(RootWithInfo(), 0x20001))) << Title() << ": " << Text();
  EXPECT_EQ(engine.GetVersionString(), u"4.0.9");
  EXPECT_EQ(engine.GetVersionNumber(), 409u);
  EXPECT_EQ(engine.GetVersionDate().GetYear(), 2010);
  EXPECT_EQ(engine.GetInfo(), u"Release notes");
  EXPECT_EQ(engine.GetPackageVersion(), 0x20001u);
  EXPECT_EQ(Title(), "");
  EXPECT_EQ(Text(), "");
  EXPECT_FALSE(engine.IsParsed());
}

// Lists and maps below the root are skipped by their length, never read, so
// a broken component list does not matter to the header reader.
TEST_F(ReadPackageInfoTest, SkipsTheComponentsUnread) {
  ComponentVariable root = RootWithInfo();
  Bytes bytes = PackageFile(root);
  Bytes components = Encoded(*root.GetChild("COMPONENTS"), true);
  auto at = std::search(bytes.begin(), bytes.end(), components.begin(), components.end());
  ASSERT_NE(at, bytes.end());
  size_t headerEnd = 6 + 1 + 10 + 1 + 1 + 2 + 5;
  std::fill(at + headerEnd, at + components.size(), 0xFF);
  ASSERT_TRUE(Read(bytes)) << Title() << ": " << Text();
  Update parser;
  parser.SetPackageData(BufferOf(bytes));
  EXPECT_FALSE(parser.Parse());
}

struct InfoCase {
  const char* what;
  Bytes bytes;
  const char* title;
  const char* text;
};

Bytes Cut(Bytes bytes, size_t size) {
  bytes.resize(size);
  return bytes;
}

TEST_F(ReadPackageInfoTest, Messages) {
  Bytes good = PackageFile(RootWithInfo());
  Bytes lengthBeyondFile = good;
  lengthBeyondFile[19] = 0x7F;  // root claims about 2 GiB
  Bytes totalBelowHeader = good;
  totalBelowHeader[16] = 5;
  totalBelowHeader[17] = totalBelowHeader[18] = totalBelowHeader[19] = 0;
  const char* fileError = "File error";
  const char* invalid = "Invalid file C:\\p.cvsp";
  const InfoCase cases[] = {
      {"empty file", {}, fileError, invalid},
      {"short magic", Cut(good, 11), fileError, invalid},
      {"other magic", Raw("CVSETUPPCKG_ERROR:Server down"), fileError, invalid},
      {"magic only", Cut(good, 12), fileError, invalid},
      {"frame cut short", Cut(good, 21), fileError, invalid},
      {"major version 3", PackageFile(RootWithInfo(), 0x30000), "Version inconsistency",
       "Unsupported file version"},
      {"total below header", totalBelowHeader, fileError, invalid},
      {"root beyond the file", lengthBeyondFile, fileError, invalid},
      {"body cut short", Cut(good, good.size() - 1), fileError, invalid},
      {"no INFO (the 144-byte package)", MinimalPackage(), fileError, invalid},
  };
  for (const InfoCase& c : cases) {
    EXPECT_FALSE(Read(c.bytes)) << c.what;
    EXPECT_EQ(Title(), c.title) << c.what;
    EXPECT_EQ(Text(), c.text) << c.what;
  }
}

TEST_F(ReadPackageInfoTest, MissingFile) {
  EXPECT_FALSE(engine.ReadPackageInfo(u"C:\\missing.cvsp"));
  EXPECT_EQ(Title(), "System error");
  EXPECT_EQ(Text(), "Cannot open file C:\\missing.cvsp");
}

TEST_F(ReadPackageInfoTest, PathIsNarrowedIntoTheMessage) {
  EXPECT_FALSE(engine.ReadPackageInfo(u"C:\\caf\u00E9.cvsp"));
  EXPECT_EQ(Text(), "Cannot open file C:\\caf\xE9.cvsp");
}

TEST_F(ReadPackageInfoTest, InfoOfAnotherTypeIsInvalid) {
  ComponentVariable root = PackageRoot();
  root.AddToMap("SETUP", ULongNode("INFO", 1));
  EXPECT_FALSE(Read(PackageFile(root)));
  EXPECT_EQ(Title(), "File error");
}

}  // namespace
