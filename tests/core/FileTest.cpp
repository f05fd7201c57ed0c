#include <gtest/gtest.h>

#include <string>

#include "core/CSPBuffer.h"
#include "core/CSPException.h"
#include "core/CSPFile.h"
#include "core/CSPString.h"
#include "tests/support/TempMachine.h"

namespace {

const uint32_t kReadWrite = CSPFile::modeRead | CSPFile::modeWrite;

std::string Text(const CSPBuffer& buffer, uint32_t count) {
  return std::string(reinterpret_cast<const char*>(buffer.GetData()), count);
}

class FileTest : public quaver::test::TempMachineTest {
 protected:
  // A 25-byte file at C:\data.bin.
  void MakeDataFile() { image.WriteHostFile("drive_c/data.bin", "ABCDEFGHIJKLMNOPQRSTUVWXY"); }
};

TEST_F(FileTest, WindowsPathLandsInDriveFolderAndOpensWithoutRegardToCase) {
  image.WriteHostFile("drive_c/x/.keep", "");
  CSPFile file;
  ASSERT_TRUE(file.Create(u"C:\\x\\y.txt", CSPFile::modeWrite));
  ASSERT_TRUE(file.Write(CSPString("hello")));
  EXPECT_EQ(file.GetLastCount(), 5u);
  file.Close();
  EXPECT_EQ(file.GetLastCount(), 0u);
  EXPECT_EQ(image.ReadHostFile("drive_c/x/y.txt"), "hello");

  ASSERT_TRUE(file.Open("c:\\X\\Y.TXT", CSPFile::modeRead));
  CSPBuffer buffer;
  ASSERT_TRUE(file.Read(buffer, 0));
  EXPECT_EQ(Text(buffer, buffer.GetSize()), "hello");
}

TEST_F(FileTest, CreateTruncatesAnExistingFile) {
  image.WriteHostFile("drive_c/old.txt", std::string(100, 'x'));
  CSPFile file;
  ASSERT_TRUE(file.Create(CSPWString(u"C:\\old.txt"), kReadWrite));
  EXPECT_EQ(file.GetSize(), 0u);
  file.Close();
  EXPECT_EQ(image.ReadHostFile("drive_c/old.txt"), "");
}

TEST_F(FileTest, ReadRestOfFileAfterSeek) {
  MakeDataFile();
  CSPFile file;
  ASSERT_TRUE(file.Open(CSPString("C:\\data.bin"), CSPFile::modeRead));
  ASSERT_TRUE(file.Seek(10));
  CSPBuffer buffer;
  ASSERT_TRUE(file.Read(buffer, 0));
  EXPECT_EQ(buffer.GetSize(), 15u);
  EXPECT_EQ(file.GetLastCount(), 15u);
  EXPECT_EQ(Text(buffer, 15), "KLMNOPQRSTUVWXY");
  EXPECT_EQ(file.GetPosition(), 25u);
}

// Past the end there is nothing left: the rest of the file is empty, not a
// size worked out from a position larger than the file.
TEST_F(FileTest, ReadRestOfFileAfterSeekBeyondEndReadsNothing) {
  MakeDataFile();
  CSPFile file;
  ASSERT_TRUE(file.Open("C:\\data.bin", CSPFile::modeRead));
  ASSERT_TRUE(file.Seek(40));
  CSPBuffer buffer;
  EXPECT_TRUE(file.Read(buffer, 0));
  EXPECT_EQ(buffer.GetSize(), 0u);
  EXPECT_EQ(file.GetLastCount(), 0u);
}

TEST_F(FileTest, ReadMoreThanTheFileKeepsRequestedSizeAndCountsBytes) {
  image.WriteHostFile("drive_c/forty.bin", std::string(40, 'f'));
  CSPFile file;
  ASSERT_TRUE(file.Open("C:\\forty.bin", CSPFile::modeRead));
  CSPBuffer buffer;
  ASSERT_TRUE(file.Read(buffer, 100));
  EXPECT_EQ(file.GetLastCount(), 40u);
  EXPECT_EQ(buffer.GetSize(), 100u);
}

TEST_F(FileTest, ReadWithCountZeroFillsANonEmptyBuffer) {
  MakeDataFile();
  CSPFile file;
  ASSERT_TRUE(file.Open("C:\\data.bin", CSPFile::modeRead));
  CSPBuffer buffer;
  buffer.SetSize(4);
  ASSERT_TRUE(file.Read(buffer, 0));
  EXPECT_EQ(Text(buffer, 4), "ABCD");
  EXPECT_EQ(file.GetPosition(), 4u);
}

TEST_F(FileTest, WritesTextWithoutTerminatorAndTruncatesAtPosition) {
  CSPFile file;
  ASSERT_TRUE(file.Create("C:\\text.bin", kReadWrite));
  ASSERT_TRUE(file.Write(CSPWString(u"A\u00E9\u4E2D")));
  EXPECT_EQ(file.GetLastCount(), 6u);
  CSPBuffer tail;
  tail.Set("tail", 4);
  ASSERT_TRUE(file.Write(tail));
  EXPECT_EQ(file.GetSize(), 10u);
  ASSERT_TRUE(file.Seek(2));
  ASSERT_TRUE(file.Truncate());
  EXPECT_EQ(file.GetSize(), 2u);
  ASSERT_TRUE(file.SeekToEnd());
  EXPECT_EQ(file.GetPosition(), 2u);
  ASSERT_TRUE(file.SeekToBegin());
  EXPECT_EQ(file.GetPosition(), 0u);
  file.Close();
  EXPECT_EQ(image.ReadHostFile("drive_c/text.bin"), std::string("A\0", 2));
}

TEST_F(FileTest, FailedOpenClosesTheFileOpenBefore) {
  MakeDataFile();
  CSPFile file;
  file.throwOnError = false;
  ASSERT_TRUE(file.Open("C:\\data.bin", CSPFile::modeRead));
  EXPECT_FALSE(file.Open("C:\\missing.bin", CSPFile::modeRead));
  EXPECT_EQ(file.GetSize(), 0u);
  EXPECT_EQ(file.GetPosition(), 0u);
  CSPBuffer buffer;
  EXPECT_FALSE(file.Read(buffer, 1));
}

// Each failure once without throwOnError (a false result) and once with it
// (a CSPException carrying the fixed message and code 0).
struct FailureCase {
  const char* name;
  bool (*act)(CSPFile& file);
  const char* message;
};

class FileFailure : public quaver::test::TempMachineTest,
                    public ::testing::WithParamInterface<FailureCase> {
 protected:
  void SetUp() override {
    image.WriteHostFile("drive_c/data.bin", "0123456789");
    image.WriteHostFile("drive_c/ro.bin", "0123456789");
  }
};

TEST_P(FileFailure, ReturnsFalseOrThrowsTheMessage) {
  CSPFile file;
  file.throwOnError = false;
  EXPECT_FALSE(GetParam().act(file));

  CSPFile throwing;
  try {
    GetParam().act(throwing);
    FAIL() << "no exception";
  } catch (const CSPException& e) {
    EXPECT_EQ(e.GetText(), GetParam().message);
    EXPECT_EQ(e.GetCode(), 0);
  }
}

bool OpenWriteOnly(CSPFile& file) { return file.Open("C:\\data.bin", CSPFile::modeWrite); }
bool OpenReadOnly(CSPFile& file) { return file.Open("C:\\ro.bin", CSPFile::modeRead); }

INSTANTIATE_TEST_SUITE_P(
    Messages, FileFailure,
    ::testing::Values(
        FailureCase{"OpenNullName",
                    [](CSPFile& f) { return f.Open(static_cast<const char*>(nullptr), 1); },
                    "Passed null pointer as a filename"},
        FailureCase{"CreateNullWideName",
                    [](CSPFile& f) { return f.Create(static_cast<const char16_t*>(nullptr), 2); },
                    "Passed null pointer as a filename"},
        FailureCase{"OpenMissing",
                    [](CSPFile& f) { return f.Open(u"C:\\missing.bin", CSPFile::modeRead); },
                    "Cannot open file"},
        FailureCase{"CreateInMissingFolder",
                    [](CSPFile& f) { return f.Create("C:\\no\\such.bin", kReadWrite); },
                    "Cannot open file"},
        FailureCase{"ReadClosed",
                    [](CSPFile& f) {
                      CSPBuffer b;
                      return f.Read(b, 0);
                    },
                    "Cannot read from file. File not open."},
        FailureCase{"ReadWriteOnly",
                    [](CSPFile& f) {
                      CSPBuffer b;
                      return OpenWriteOnly(f) && f.Read(b, 4);
                    },
                    "Cannot read from file"},
        FailureCase{"WriteClosed", [](CSPFile& f) { return f.Write(CSPString("x")); },
                    "Cannot write to file. File not open."},
        FailureCase{"WriteWideClosed", [](CSPFile& f) { return f.Write(CSPWString(u"x")); },
                    "Cannot write to file. File not open."},
        FailureCase{"WriteBufferClosed", [](CSPFile& f) { return f.Write(CSPBuffer()); },
                    "Cannot write to file. File not open."},
        FailureCase{"WriteReadOnly",
                    [](CSPFile& f) { return OpenReadOnly(f) && f.Write(CSPString("x")); },
                    "Cannot write to file"},
        FailureCase{"SeekClosed", [](CSPFile& f) { return f.Seek(0); },
                    "Cannot set file pointer. File not open."},
        FailureCase{"SeekNegative", [](CSPFile& f) { return OpenReadOnly(f) && f.Seek(-1); },
                    "Cannot set file pointer"},
        FailureCase{"SeekToEndClosed", [](CSPFile& f) { return f.SeekToEnd(); },
                    "Cannot go to EOF. File not open."},
        FailureCase{"SeekToBeginClosed", [](CSPFile& f) { return f.SeekToBegin(); },
                    "Cannot go to BOF. File not open."},
        FailureCase{"GetPositionClosed", [](CSPFile& f) { return f.GetPosition() != 0; },
                    "Cannot get file pointer. File not open."},
        FailureCase{"TruncateClosed", [](CSPFile& f) { return f.Truncate(); },
                    "Cannot set End Of File. File not open."},
        FailureCase{"TruncateReadOnly", [](CSPFile& f) { return OpenReadOnly(f) && f.Truncate(); },
                    "Cannot set End Of File"}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return info.param.name; });

TEST(FileClosed, SizeAndPositionAreZeroWithoutThrowOnError) {
  CSPFile file;
  file.throwOnError = false;
  EXPECT_EQ(file.GetSize(), 0u);
  EXPECT_EQ(file.GetPosition(), 0u);
  file.throwOnError = true;
  EXPECT_EQ(file.GetSize(), 0u);  // GetSize has no message of its own
}

}  // namespace
