#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "package/ComponentSchema.h"
#include "package/Update.h"
#include "tests/package/MinimalPackage.h"
#include "tests/package/PackageBuilder.h"
#include "tests/support/TempMachine.h"
#include "tools/cvsp/Cvsp.h"
#include "tools/cvsp/PackageCheck.h"

using namespace package_test;
using cvsp::TypeName;

namespace {

const std::string kExamples = CVSP_EXAMPLES_DIR;

struct Result {
  int status;
  std::string out;
  std::string err;
};

// The temporary image's folder doubles as scratch space for host files.
class CvspToolTest : public quaver::test::TempMachineTest {
 protected:
  Result Run(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    int status = cvsp::Run(args, out, err);
    return {status, out.str(), err.str()};
  }
  std::string Path(const std::string& name) const { return (image.Root() / name).string(); }
  void Write(const std::string& name, const Bytes& bytes) {
    image.WriteHostFile(name, std::string(bytes.begin(), bytes.end()));
  }
  void Write(const std::string& name, const std::string& text) { image.WriteHostFile(name, text); }
  Bytes ReadBytes(const std::string& name) const { return Raw(image.ReadHostFile(name)); }
};

TEST_F(CvspToolTest, BuildsTheMinimalPackageByteForByte) {
  Result built = Run({"build", kExamples + "/minimal.json", "-o", Path("min.cvsp")});
  ASSERT_EQ(built.status, 0) << built.err;
  EXPECT_EQ(ReadBytes("min.cvsp"), MinimalPackage());

  // It parses; the only finding is the "INFO" that the header reader wants.
  Result checked = Run({"check", Path("min.cvsp")});
  EXPECT_EQ(checked.status, 3) << checked.err;
  EXPECT_NE(checked.out.find("components:     0"), std::string::npos) << checked.out;
  EXPECT_EQ(checked.err.rfind("warning: package: no \"INFO\" (STRING)", 0), 0u) << checked.err;
  // The header reader needs "INFO", which the smallest package lacks.
  Result info = Run({"info", Path("min.cvsp")});
  EXPECT_EQ(info.status, 1);
  EXPECT_EQ(info.err, "File error: Invalid file " + Path("min.cvsp") + "\n");
}

// A tree with every type and the values a manifest cannot spell as plain
// JSON: bytes that are not UTF-8, a lone surrogate, a NaN, large binaries.
ComponentVariable AwkwardRoot() {
  ComponentVariable root = PackageRoot();
  root.AddToMap("SETUP", StringNode("INFO", "caf\xE9 \x01\x7F"));
  ComponentVariable node;
  node.SetLong("long", -5);
  root.AddToMap("SETUP", node);
  node.SetLongLong("longlong", INT64_MIN);
  root.AddToMap("SETUP", node);
  node.SetULongLong("ulonglong", UINT64_MAX);
  root.AddToMap("SETUP", node);
  node.SetDouble("double", 0.1);
  root.AddToMap("SETUP", node);
  node.SetDouble("nan", std::numeric_limits<double>::quiet_NaN());
  root.AddToMap("SETUP", node);
  node.SetTime("time", CSPTime(1, 2, 3, 0));
  root.AddToMap("SETUP", node);
  node.SetDateTime("datetime", CSPDateTime(CSPDate(29, 2, 2000), CSPTime(59, 59, 23, 0), 0));
  root.AddToMap("SETUP", node);
  node.SetWString("wide", u"\u4E2D\xD800x");
  root.AddToMap("SETUP", node);
  node.SetWString("wide ok", u"\u00E9\u4E2D");
  root.AddToMap("SETUP", node);
  root.AddToMap("SETUP", BinaryNode("big", std::string(300, '\x9C')));
  root.AddToMap("SETUP", BinaryNode("\xFFname", ""));
  AddComponent(root, FileRecord("a.dll"));
  AddCondition(root, ConditionRecord(0, "IISVERSION", 1, 7, "", 6, 1));
  return root;
}

TEST_F(CvspToolTest, DumpThenBuildGivesTheSameBytes) {
  Bytes original = PackageFile(AwkwardRoot(), 0x10002);
  Write("in.cvsp", original);
  Result dumped = Run({"dump", Path("in.cvsp"), "-o", Path("in.json")});
  ASSERT_EQ(dumped.status, 0) << dumped.err;
  Result built = Run({"build", Path("in.json"), "-o", Path("out.cvsp")});
  ASSERT_EQ(built.status, 0) << built.err;
  EXPECT_EQ(ReadBytes("out.cvsp"), original);
  // Printed to standard output the binaries are inline, with the same result.
  Result printed = Run({"dump", Path("in.cvsp")});
  ASSERT_EQ(printed.status, 0);
  Write("printed.json", printed.out);
  ASSERT_EQ(Run({"build", Path("printed.json"), "-o", Path("printed.cvsp")}).status, 0);
  EXPECT_EQ(ReadBytes("printed.cvsp"), original);
}

TEST_F(CvspToolTest, CompressedNodesKeepTheirContent) {
  ASSERT_EQ(Run({"build", kExamples + "/sample.json", "-o", Path("s.cvsp")}).status, 0);
  Result dumped = Run({"dump", Path("s.cvsp"), "-o", Path("s.json")});
  ASSERT_EQ(dumped.status, 0) << dumped.err;
  ASSERT_EQ(Run({"build", Path("s.json"), "-o", Path("s2.cvsp")}).status, 0);
  EXPECT_EQ(Run({"dump", Path("s2.cvsp")}).out, Run({"dump", Path("s.cvsp")}).out);
  EXPECT_NE(image.ReadHostFile("s.json").find("\"compress\": true"), std::string::npos);
}

TEST_F(CvspToolTest, InfoAndCheckOfTheSample) {
  ASSERT_EQ(Run({"build", kExamples + "/sample.json", "-o", Path("s.cvsp")}).status, 0);
  Result info = Run({"info", Path("s.cvsp")});
  ASSERT_EQ(info.status, 0) << info.err;
  EXPECT_EQ(info.out,
            "version text:   4.0.9\n"
            "version number: 409\n"
            "version date:   2010-01-01\n"
            "info:           IIS Quaver Pro 4.0.9 sample package\n"
            "format version: 2.0\n");
  Result check = Run({"check", Path("s.cvsp")});
  ASSERT_EQ(check.status, 0) << check.err;
  EXPECT_EQ(check.err, "");
  EXPECT_NE(check.out.find("components:     4\n  #0 CDIR\n  #1 FILE\n  #2 IAFL\n"
                           "      skipped when IISMODEL == \"PIPELINE\"\n"
                           "  #3 IAGM\n      runs only when IISVERSION >= 7\n"),
            std::string::npos)
      << check.out;
  Result verbose = Run({"check", "--verbose", Path("s.cvsp")});
  EXPECT_NE(verbose.out.find("  #1 FILE  create a file\n"
                             "      DATA              41 bytes\n"
                             "      FILENAME          \"iquaver.dll\"\n"
                             "      OPTIONS           0\n"
                             "      PATH              \"bin\"\n"),
            std::string::npos)
      << verbose.out;
  // The tool leaves the process's own machine image selected.
  Update engine;
  image.WriteHostFile("drive_c/again.cvsp", image.ReadHostFile("s.cvsp"));
  EXPECT_TRUE(engine.ReadPackageInfo(u"C:\\again.cvsp"));
}

TEST_F(CvspToolTest, InfoInsideAMachineImage) {
  ASSERT_EQ(Run({"build", kExamples + "/sample.json", "-o", Path("drive_c/s.cvsp")}).status, 0);
  Result info = Run({"info", "--machine", image.Root().string(), "C:\\s.cvsp"});
  EXPECT_EQ(info.status, 0) << info.err;
  Result missing = Run({"info", "--machine", image.Root().string(), "C:\\none.cvsp"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "System error: Cannot open file C:\\none.cvsp\n");
}

struct ExitCase {
  std::vector<std::string> args;
  int status;
  std::string errStart;
};

TEST_F(CvspToolTest, ExitStatusAndMessages) {
  Write("report.cvsp", std::string("CVSETUPPCKG_ERROR:Server down"));
  Write("short.cvsp", std::string("CVSETUP"));
  Write("text.cvsp", std::string("just some text, not a package"));
  Write("broken.json", std::string("{\"root\": "));
  Write("v3.cvsp", PackageFile(PackageRoot(), 0x30000));
  ComponentVariable refused = PackageRoot();
  AddComponent(refused, FileRecord("a.dll"));
  AddComponent(refused, MapOf("", {StringNode("TYPE", "CDIR"), ULongNode("OPTIONS", 0)}));
  Write("refused.cvsp", PackageFile(refused));
  const ExitCase cases[] = {
      {{}, 2, "A subcommand is required"},
      {{"frobnicate"}, 2, ""},
      {{"build", "m.json"}, 2, "--output is required"},
      {{"check"}, 2, "FILE is required"},
      {{"check", "a", "b"}, 2, ""},
      {{"--help"}, 0, ""},
      {{"check", Path("none.cvsp")}, 1, "cvsp: cannot read "},
      {{"check", Path("report.cvsp")}, 1, "Update server error: Server down\n"},
      {{"check", Path("v3.cvsp")}, 1, "Version inconsistency: Unsupported file version\n"},
      {{"check", Path("short.cvsp")}, 1, "cvsp: "},
      {{"check", Path("refused.cvsp")},
       1,
       "Update data error: Update data format is invalid\n"
       "error: component #1 (CDIR): \"PATH\" (STRING) is missing: folder"},
      {{"check", Path("text.cvsp")},
       1,
       "Update server error: Unknown error\ncvsp: " + Path("text.cvsp") +
           " does not begin with \"CVSETUPPCKG:\": it is not a package\n"},
      {{"check", kExamples + "/sample.json"},
       1,
       "cvsp: " + kExamples + "/sample.json is a JSON manifest, not a package; `cvsp build "},
      {{"dump", kExamples + "/sample.json"}, 1, "cvsp: " + kExamples + "/sample.json is a JSON"},
      {{"info", kExamples + "/sample.json"}, 1, "cvsp: " + kExamples + "/sample.json is a JSON"},
      {{"dump", Path("short.cvsp")}, 1, "cvsp: "},
      {{"dump", Path("report.cvsp")}, 1, "Update server error: Server down\n"},
      {{"info", Path("none.cvsp")}, 1, "System error: Cannot open file " + Path("none.cvsp")},
      {{"info", Path("short.cvsp")}, 1, "File error: Invalid file " + Path("short.cvsp")},
      {{"build", Path("broken.json"), "-o", Path("x.cvsp")}, 1, "cvsp: " + Path("broken.json")},
      {{"build", Path("none.json"), "-o", Path("x.cvsp")}, 1, "cvsp: cannot read "},
  };
  for (const ExitCase& c : cases) {
    Result result = Run(c.args);
    std::string line;
    for (const std::string& arg : c.args) line += arg + " ";
    EXPECT_EQ(result.status, c.status) << line << result.err;
    EXPECT_EQ(result.err.compare(0, c.errStart.size(), c.errStart), 0) << line << result.err;
  }
}

struct ManifestCase {
  const char* manifest;
  const char* error;
};

TEST_F(CvspToolTest, ManifestMistakesNameTheNode) {
  std::string longName(256, 'n');
  std::string tooLong = "{\"root\": {\"children\": {\"" + longName + "\": 1}}}";
  const ManifestCase cases[] = {
      {"[]", "manifest: must be a JSON object"},
      {"{\"root\": {}, \"extra\": 1}", "manifest: unexpected key \"extra\""},
      {"{\"format_version\": \"two\", \"root\": {}}", "format_version: must be"},
      {"{\"root\": {\"children\": {\"N\": -1}}}", "root/N: a plain integer is a ULONG"},
      {"{\"root\": {\"children\": {\"N\": 4294967296}}}", "root/N: a plain integer is a ULONG"},
      {"{\"root\": {\"children\": {\"S\": \"\\u4e2d\"}}}", "root/S: character U+4E2D"},
      {"{\"root\": {\"children\": {\"L\": {\"type\": \"LIST\"}}}}",
       "root/L: an empty LIST needs its \"element_type\""},
      {"{\"root\": {\"children\": {\"L\": {\"type\": \"LIST\", \"elements\": [1, \"x\"]}}}}",
       "root/L[1]: a STRING in a LIST of ULONG"},
      {"{\"root\": {\"children\": {\"N\": {\"type\": \"ULONG\", \"value\": 1, \"compress\": "
       "true}}}}",
       "root/N: only BINARY"},
      {"{\"root\": {\"children\": {\"D\": {\"type\": \"DATE\", \"value\": \"2009-02-29\"}}}}",
       "root/D: not a valid date"},
      {"{\"root\": {\"children\": {\"B\": {\"type\": \"BINARY\", \"hex\": \"0g\"}}}}",
       "root/B: \"hex\" holds"},
      {"{\"root\": {\"children\": {\"B\": {\"type\": \"BINARY\", \"file\": \"none.bin\"}}}}",
       "root/B: \"file\" none.bin does not exist"},
      {"{\"root\": {\"children\": {\"X\": {\"type\": \"FLOAT\"}}}}", "root/X: unknown type"},
      {"{\"root\": {\"children\": {\"X\": {\"type\": \"STRING\", \"valu\": \"a\"}}}}",
       "root/X: unexpected key \"valu\""},
      {tooLong.c_str(), "a name is at most 255 bytes"},
  };
  for (const ManifestCase& c : cases) {
    Write("m.json", std::string(c.manifest));
    Result result = Run({"build", Path("m.json"), "-o", Path("m.cvsp")});
    EXPECT_EQ(result.status, 1) << c.manifest;
    EXPECT_NE(result.err.find(c.error), std::string::npos) << c.manifest << "\n" << result.err;
  }
}

// A manifest nested exactly as deep as the decoder accepts, and one level
// more: the leaf sits `depth` levels below the root.
std::string NestedManifest(int depth) {
  std::string text = "{\"root\": {\"children\": {\"a\": ";
  for (int level = 1; level < depth; ++level) text += "{\"type\": \"MAP\", \"children\": {\"a\": ";
  text += "1";
  for (int level = 1; level < depth; ++level) text += "}}";
  return text + "}}}";
}

TEST_F(CvspToolTest, NestingStopsWhereTheDecoderStops) {
  const int bound = static_cast<int>(ComponentVariable::kNestingBound);
  Write("deep.json", NestedManifest(bound));
  Result built = Run({"build", Path("deep.json"), "-o", Path("deep.cvsp"), "--force"});
  ASSERT_EQ(built.status, 0) << built.err;
  Result dumped = Run({"dump", Path("deep.cvsp")});
  EXPECT_EQ(dumped.status, 0) << dumped.err;

  std::string where = "root";
  for (int level = 0; level <= bound; ++level) where += "/a";
  // Far deeper ones too, which would otherwise exhaust the stack.
  for (int depth : {bound + 1, 10000}) {
    Write("deeper.json", NestedManifest(depth));
    Result refused = Run({"build", Path("deeper.json"), "-o", Path("deeper.cvsp"), "--force"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, "cvsp: " + where +
                               ": nested deeper than 64 levels below the root, the most a "
                               "package may hold\n");
    EXPECT_FALSE(std::filesystem::exists(Path("deeper.cvsp")));
  }
}

TEST_F(CvspToolTest, BinaryFilesAreRegularFilesBelowTheManifest) {
  namespace fs = std::filesystem;
  Write("sub/data.bin", std::string("data"));
  Write("outside.bin", std::string("secret"));
  fs::create_directories(Path("pkg/sub"));
  fs::create_directories(Path("pkg/folder"));
  Write("pkg/sub/data.bin", std::string("data"));
  fs::create_symlink(Path("outside.bin"), Path("pkg/link.bin"));
  fs::create_directory_symlink(Path("sub"), Path("pkg/linked"));
  ASSERT_EQ(::mkfifo(Path("pkg/fifo").c_str(), 0600), 0);
  // A sparse file one byte past what a BINARY value can hold.
  { std::ofstream(Path("pkg/big.bin")); }
  fs::resize_file(Path("pkg/big.bin"), uint64_t{1} << 32);

  struct FileCase {
    std::string file;
    bool allowOutside;
    std::string error;  // empty: built
  };
  const std::string fence = " (--allow-outside reads it anyway)\n";
  const FileCase cases[] = {
      {"sub/data.bin", false, ""},
      {"./sub/../sub/data.bin", false, ""},
      {"../outside.bin", false, "\"file\" ../outside.bin is outside the manifest's folder" + fence},
      {"sub/../../outside.bin", false,
       "\"file\" sub/../../outside.bin is outside the manifest's folder" + fence},
      {Path("outside.bin"), false,
       "\"file\" " + Path("outside.bin") + " is outside the manifest's folder" + fence},
      {"link.bin", false, "\"file\" link.bin is a symbolic link" + fence},
      {"linked/data.bin", false,
       "\"file\" linked/data.bin leads through the symbolic link linked" + fence},
      {"fifo", false, "\"file\" fifo is not a regular file (a device, FIFO or socket)\n"},
      {"folder", false, "\"file\" folder is a folder, not a file\n"},
      {"", false, "\"file\"  is a folder, not a file\n"},
      {"big.bin", false,
       "\"file\" big.bin holds 4294967296 bytes, more than the 4294967295 allowed\n"},
      {std::string("sub/data.bin\0/../../outside.bin", 31), false,
       "\"file\" holds a NUL character\n"},
      {"../outside.bin", true, ""},
      {"link.bin", true, ""},
      {"/dev/zero", true, "\"file\" /dev/zero is not a regular file (a device, FIFO or socket)\n"},
      {"fifo", true, "\"file\" fifo is not a regular file (a device, FIFO or socket)\n"},
  };
  for (const FileCase& c : cases) {
    nlohmann::json manifest = {
        {"root", {{"children", {{"B", {{"type", "BINARY"}, {"file", c.file}}}}}}}};
    Write("pkg/m.json", manifest.dump());
    std::vector<std::string> args = {"build", Path("pkg/m.json"), "-o", Path("m.cvsp"), "--force"};
    if (c.allowOutside) args.push_back("--allow-outside");
    Result result = Run(args);
    if (c.error.empty()) {
      EXPECT_EQ(result.status, 0) << c.file << "\n" << result.err;
    } else {
      EXPECT_EQ(result.status, 1) << c.file;
      EXPECT_EQ(result.err, "cvsp: root/B: " + c.error) << c.file;
    }
  }
}

TEST_F(CvspToolTest, InputsThatAreNoRegularFilesAreRefusedUnread) {
  std::filesystem::create_directories(Path("folder"));
  ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
  const std::string notRegular = ": it is not a regular file (a device, FIFO or socket)\n";
  const ExitCase cases[] = {
      {{"build", Path("folder"), "-o", Path("x.cvsp")},
       1,
       "cvsp: cannot read " + Path("folder") + ": it is a folder, not a file\n"},
      {{"build", Path("fifo"), "-o", Path("x.cvsp")},
       1,
       "cvsp: cannot read " + Path("fifo") + notRegular},
      {{"check", "/dev/zero"}, 1, "cvsp: cannot read /dev/zero" + notRegular},
      {{"dump", Path("fifo")}, 1, "cvsp: cannot read " + Path("fifo") + notRegular},
  };
  for (const ExitCase& c : cases) {
    Result result = Run(c.args);
    EXPECT_EQ(result.status, c.status) << c.args[1];
    EXPECT_EQ(result.err, c.errStart) << c.args[1];
  }
}

TEST_F(CvspToolTest, ManifestDefaultsAndConveniences) {
  Write("m.json", std::string(R"({"root": {"children": {
      "N": 7, "S": "caf\u00e9",
      "W": {"type": "WSTRING", "value": "\u4e2d"},
      "L": {"type": "LIST", "elements": [1, 2]},
      "V": {"type": "DOUBLE", "value": 2.5}}}})"));
  // No version keys or components: only --force writes it.
  Result built = Run({"build", Path("m.json"), "-o", Path("m.cvsp"), "--force"});
  ASSERT_EQ(built.status, 0) << built.err;
  EXPECT_EQ(built.out, "wrote " + Path("m.cvsp") + " (" +
                           std::to_string(ReadBytes("m.cvsp").size()) +
                           " bytes; the installer refuses it)\n");
  Update engine;
  engine.SetPackageData(BufferOf(ReadBytes("m.cvsp")));
  ComponentVariable root;
  ASSERT_TRUE(engine.DecodeRoot(root));
  EXPECT_EQ(engine.GetPackageVersion(), 0x20000u);
  EXPECT_EQ(root.GetName(), "SETUP");
  EXPECT_EQ(root.GetChild("N")->GetULong(), 7u);
  EXPECT_EQ(root.GetChild("S")->GetText(), "caf\xE9");
  EXPECT_EQ(root.GetChild("W")->GetWideText(), u"\u4E2D");
  EXPECT_EQ(root.GetChild("L")->GetElementType(), VariableType::ULONG);
  EXPECT_EQ(root.GetChild("V")->GetDouble(), 2.5);
}

// A manifest that differs from a good one by one mistake; build must refuse
// it, name the place and the reason, and leave the earlier output alone.
std::string ManifestWith(const std::string& rootExtra, const std::string& component,
                         const std::string& version = "2.0",
                         const std::string& versionKeys = R"("VERSION_STRING": "1.0", )") {
  return R"({"format_version": ")" + version + R"(", "root": {"children": {)" + versionKeys +
         R"("VERSION_NUMBER": 1, "VERSION_DATE": {"type": "DATE", "value": "2020-01-01"},
      "INFO": "test", )" +
         rootExtra +
         R"("COMPONENTS": {"type": "LIST", "element_type": "MAP", "elements": [
        {"type": "MAP", "children": {"TYPE": "CDIR", "OPTIONS": 0, "PATH": "bin"}}, )" +
         component + "]}}}}";
}

std::string Condition(const std::string& fields) {
  return R"("CONDITIONS": {"type": "LIST", "elements": [{"type": "MAP", "children": {)" + fields +
         "}}]}, ";
}

const char kGoodFile[] =
    R"({"type": "MAP", "children": {"TYPE": "FILE", "OPTIONS": 0, "PATH": "bin",
        "FILENAME": "a.dll", "DATA": {"type": "BINARY", "hex": "0102"}}})";
const char kFullCondition[] =
    R"("INDEX": 1, "NAME": "IISVERSION", "VALUE_TYPE": 1, "ULONG_VALUE": 7,
       "STRING_VALUE": "", "OPERATOR": 6, )";

struct RefusalCase {
  std::string manifest;
  std::string error;  // how standard error begins
};

TEST_F(CvspToolTest, BuildRefusesWhatTheInstallerRefuses) {
  const RefusalCase cases[] = {
      {ManifestWith("", R"({"type": "MAP", "children": {"TYPE": "FILE", "OPTIONS": 0,
                            "PATH": "bin", "FILENAME": "a.dll"}})"),
       "error: component #1 (FILE): \"DATA\" (BINARY) is missing: the file's bytes"},
      {ManifestWith("", R"({"type": "MAP", "children": {"TYPE": "CDIR", "OPTIONS": "0",
                            "PATH": "bin"}})"),
       "error: component #1 (CDIR): \"OPTIONS\" is a STRING; it must be a ULONG"},
      {ManifestWith("", R"({"type": "MAP", "children": {"OPTIONS": 0}})"),
       "error: component #1: \"TYPE\" (STRING) is missing"},
      {ManifestWith("", kGoodFile, "2.0", ""),
       "error: package: \"VERSION_STRING\" (STRING) is missing: the product version text"},
      {ManifestWith("", kGoodFile, "9.9"),
       "error: format version: 9.9 is not read by the installer, which takes 0.x to 2.x"},
      {ManifestWith(Condition(std::string(kFullCondition) + R"("EXECUTE": "1")"), kGoodFile),
       "error: condition #0: \"EXECUTE\" is a STRING; it must be a ULONG"},
      {ManifestWith(Condition(R"("INDEX": 1, "NAME": "IISVERSION", "VALUE_TYPE": 3,
                                 "ULONG_VALUE": 7, "STRING_VALUE": "", "OPERATOR": 7,
                                 "EXECUTE": 1)"),
                    kGoodFile),
       "error: condition #0: \"VALUE_TYPE\" 3 is refused: 1 number test, 2 text test"},
      {ManifestWith(R"("UPDATE_MODULES": {"type": "MAP", "children": {
                         "cvspmod.x64.dll": {"type": "BINARY", "hex": "00"}}}, )",
                    kGoodFile),
       "error: UPDATE_MODULES: \"cvspmod.dll\" is missing"},
  };
  Write("out.cvsp", std::string("earlier output"));
  for (const RefusalCase& c : cases) {
    Write("m.json", c.manifest);
    Result result = Run({"build", Path("m.json"), "-o", Path("out.cvsp")});
    EXPECT_EQ(result.status, 1) << c.manifest;
    EXPECT_EQ(result.err.rfind(c.error, 0), 0u) << c.manifest << "\n" << result.err;
    EXPECT_NE(result.err.find("cvsp: " + Path("out.cvsp") +
                              " not written: the installer would refuse this package "
                              "(--force writes it anyway)\n"),
              std::string::npos)
        << result.err;
    EXPECT_EQ(image.ReadHostFile("out.cvsp"), "earlier output");
    // --force writes it, and check then names the same fault.
    ASSERT_EQ(Run({"build", Path("m.json"), "-o", Path("forced.cvsp"), "--force"}).status, 0);
    Result checked = Run({"check", Path("forced.cvsp")});
    EXPECT_EQ(checked.status, 1);
    if (c.error.find("format version") == std::string::npos) {
      EXPECT_NE(checked.err.find("\n" + c.error), std::string::npos) << checked.err;
    }
  }
  // The good manifest itself is written and parses in the installer.
  Write("m.json",
        ManifestWith(Condition(std::string(kFullCondition) + R"("EXECUTE": 1)"), kGoodFile));
  Result good = Run({"build", Path("m.json"), "-o", Path("out.cvsp")});
  ASSERT_EQ(good.status, 0) << good.err;
  EXPECT_EQ(good.err, "");
  Update engine;
  engine.SetPackageData(BufferOf(ReadBytes("out.cvsp")));
  EXPECT_TRUE(engine.Parse());
  EXPECT_EQ(Run({"check", Path("out.cvsp")}).status, 0);
  // An output that cannot be written leaves nothing behind.
  Result unwritable = Run({"build", Path("m.json"), "-o", Path("no/such/dir/x.cvsp")});
  EXPECT_EQ(unwritable.status, 1);
  EXPECT_FALSE(std::filesystem::exists(Path("no")));
}

struct WarningCase {
  std::string manifest;
  std::string warning;  // a line of check's standard error
  std::string listed;   // a line check prints for the component
};

// What the installer accepts but does not do as its maker meant: build
// writes it, check lists it as the engine will run it and exits 3.
TEST_F(CvspToolTest, CheckWarnsAndDescribesConditionsAsTheEngineEvaluatesThem) {
  auto condition = [](const std::string& name, int valueType, const std::string& text, int compare,
                      int execute) {
    return Condition(R"("INDEX": 1, "NAME": ")" + name + R"(", "VALUE_TYPE": )" +
                     std::to_string(valueType) + R"(, "ULONG_VALUE": 7, "STRING_VALUE": ")" + text +
                     R"(", "OPERATOR": )" + std::to_string(compare) + R"(, "EXECUTE": )" +
                     std::to_string(execute));
  };
  const WarningCase cases[] = {
      {ManifestWith("", R"({"type": "MAP", "children": {"TYPE": "CDRI", "OPTIONS": 0,
                            "PATH": "bin"}})"),
       "warning: component #1: unknown type \"CDRI\": the installer accepts it and does "
       "nothing (did you mean CDIR?)",
       "  #1 \"CDRI\" (unknown type: does nothing)"},
      {ManifestWith("", R"({"type": "MAP", "children": {"TYPE": "CDIR", "OPTIONS": 0,
                            "PATH": "bin", "FILENAM": "x"}})"),
       "warning: component #1 (CDIR): \"FILENAM\" is not a field of CDIR", "  #1 CDIR"},
      {ManifestWith(condition("IISVERSION", 2, "7", 1, 0), kGoodFile),
       "warning: condition #0 (IISVERSION for component #1): always skipped: IISVERSION is a "
       "number, and a text test of it never holds",
       "      always skipped: IISVERSION is a number, and a text test of it never holds"},
      {ManifestWith(condition("IISMODEL", 1, "", 1, 1), kGoodFile),
       "warning: condition #0 (IISMODEL for component #1): always skipped: IISMODEL is a text, "
       "and a number test of it never holds",
       "      always skipped: IISMODEL is a text, and a number test of it never holds"},
      {ManifestWith(condition("NOSUCH", 1, "", 1, 0), kGoodFile),
       "warning: condition #0 (NOSUCH for component #1): NOSUCH matches no fact, so the "
       "condition is ignored",
       "      NOSUCH matches no fact, so the condition is ignored"},
      {ManifestWith(condition("iisversion", 1, "", 6, 1), kGoodFile),
       "warning: condition #0 (iisversion for component #1): iisversion matches no fact, so "
       "the condition is ignored (did you mean IISVERSION?)",
       "      iisversion matches no fact, so the condition is ignored (did you mean IISVERSION?)"},
      {ManifestWith(condition("IISVERSION", 0, "", 1, 0), kGoodFile),
       "warning: condition #0 (IISVERSION for component #1): always skipped: VALUE_TYPE 0 "
       "never holds",
       "      always skipped: VALUE_TYPE 0 never holds"},
      {ManifestWith(condition("X86CORE", 2, "YES", 0, 0), kGoodFile),
       "warning: condition #0 (X86CORE for component #1): always skipped: OPERATOR 0 never "
       "holds",
       "      always skipped: OPERATOR 0 never holds"},
      {ManifestWith(Condition(R"("INDEX": 2, "NAME": "IISVERSION", "VALUE_TYPE": 1,
                                 "ULONG_VALUE": 7, "STRING_VALUE": "", "OPERATOR": 6,
                                 "EXECUTE": 1)"),
                    kGoodFile),
       "warning: condition #0 (IISVERSION for component #2): there is no component #2 (INDEX "
       "counts from 0): the condition is never used",
       "  conditions for #2, which does not exist (never used):"},
  };
  for (const WarningCase& c : cases) {
    Write("m.json", c.manifest);
    Result built = Run({"build", Path("m.json"), "-o", Path("w.cvsp")});
    ASSERT_EQ(built.status, 0) << c.manifest << built.err;
    EXPECT_EQ(built.err, c.warning + "\n");
    Result checked = Run({"check", Path("w.cvsp")});
    EXPECT_EQ(checked.status, 3) << c.manifest;
    EXPECT_EQ(checked.err, c.warning + "\n");
    EXPECT_NE(checked.out.find("\n" + c.listed + "\n"), std::string::npos) << checked.out;
  }
}

TEST_F(CvspToolTest, InfoFollowsSymbolicLinks) {
  ASSERT_EQ(Run({"build", kExamples + "/sample.json", "-o", Path("s.cvsp")}).status, 0);
  std::filesystem::create_directories(Path("links"));
  std::filesystem::create_symlink("../s.cvsp", Path("links/relative.cvsp"));
  std::filesystem::create_symlink(Path("s.cvsp"), Path("absolute.cvsp"));
  for (const char* link : {"links/relative.cvsp", "absolute.cvsp"}) {
    Result info = Run({"info", Path(link)});
    EXPECT_EQ(info.status, 0) << link << info.err;
    EXPECT_NE(info.out.find("version text:   4.0.9\n"), std::string::npos);
  }
}

// A decoded empty list may carry any element type; its dump must build
// back into the same bytes.
TEST_F(CvspToolTest, EveryDumpBuildsAgain) {
  ComponentVariable root = PackageRoot();
  ComponentVariable odd;
  odd.SetList("ODD", 0x07);
  root.AddToMap("SETUP", odd);
  Bytes original = PackageFile(root);
  Write("odd.cvsp", original);
  Result dumped = Run({"dump", Path("odd.cvsp"), "-o", Path("odd.json")});
  ASSERT_EQ(dumped.status, 0) << dumped.err;
  EXPECT_NE(image.ReadHostFile("odd.json").find("\"element_type\": 7"), std::string::npos);
  Result built = Run({"build", Path("odd.json"), "-o", Path("odd2.cvsp")});
  ASSERT_EQ(built.status, 0) << built.err;
  EXPECT_EQ(ReadBytes("odd2.cvsp"), original);
}

// The README's component reference is the tool's own, so the two cannot
// drift apart.
TEST_F(CvspToolTest, ReadmeCarriesTheFieldReference) {
  std::ifstream readme(kExamples + "/../../../README.md");
  if (!readme) GTEST_SKIP() << "README.md not found";
  std::string text((std::istreambuf_iterator<char>(readme)), std::istreambuf_iterator<char>());
  Result fields = Run({"fields"});
  ASSERT_EQ(fields.status, 0);
  EXPECT_NE(text.find("```text\n" + fields.out + "```\n"), std::string::npos)
      << "README.md lacks the output of `cvsp fields`";
  // The walk-through's package builds cleanly and checks as the README shows.
  Result built = Run({"build", kExamples + "/hello.json", "-o", Path("hello.cvsp")});
  ASSERT_EQ(built.status, 0) << built.err;
  EXPECT_EQ(built.err, "");
  Result checked = Run({"check", Path("hello.cvsp")});
  EXPECT_EQ(checked.status, 0) << checked.err;
  std::string indented = "   ```text\n";
  for (size_t at = 0, end; at < checked.out.size(); at = end + 1) {
    end = checked.out.find('\n', at);
    indented += "   " + checked.out.substr(at, end - at) + "\n";
  }
  EXPECT_NE(text.find(indented + "   ```\n"), std::string::npos) << indented;
}

}  // namespace

namespace {

ComponentVariable FieldNode(const ComponentSchema::Field& field) {
  if (field.type == VariableType::ULONG) return ULongNode(field.name, 0);
  if (field.type == VariableType::BINARY) return BinaryNode(field.name, "x");
  return StringNode(field.name, "x");
}

// The engine and cvsp read the same schema: for every component type, the
// complete record passes both, and a record lacking any one field is
// refused by both, with cvsp naming that field.
TEST_F(CvspToolTest, EngineAndCheckAgreeOnEveryField) {
  for (size_t t = 0; t < ComponentSchema::TypeCount(); ++t) {
    const ComponentSchema::ComponentType& type = ComponentSchema::Types()[t];
    std::vector<ComponentSchema::Field> fields(type.fields, type.fields + type.fieldCount);
    fields.push_back(ComponentSchema::OptionsField());
    for (size_t left = 0; left <= fields.size(); ++left) {
      ComponentVariable record = MapOf("", {StringNode("TYPE", type.code)});
      for (size_t f = 0; f < fields.size(); ++f) {
        if (f != left) record.AddToMap("", FieldNode(fields[f]));
      }
      ComponentVariable root = PackageRoot();
      root.AddToMap("SETUP", StringNode("INFO", "i"));
      AddComponent(root, record);
      Write("p.cvsp", PackageFile(root));
      Update engine;
      engine.SetPackageData(BufferOf(ReadBytes("p.cvsp")));
      Result checked = Run({"check", Path("p.cvsp")});
      if (left == fields.size()) {
        EXPECT_TRUE(engine.Parse()) << type.code;
        EXPECT_EQ(checked.status, 0) << type.code << checked.err;
        continue;
      }
      EXPECT_FALSE(engine.Parse()) << type.code << " without " << fields[left].name;
      EXPECT_EQ(checked.status, 1);
      EXPECT_NE(checked.err.find(std::string("error: component #0 (") + type.code + "): \"" +
                                 fields[left].name + "\" (" + TypeName(fields[left].type) +
                                 ") is missing"),
                std::string::npos)
          << checked.err;
    }
  }
}

}  // namespace
