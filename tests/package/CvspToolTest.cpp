#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "package/Update.h"
#include "tests/package/MinimalPackage.h"
#include "tests/package/PackageBuilder.h"
#include "tests/support/TempMachine.h"
#include "tools/cvsp/Cvsp.h"

using namespace package_test;

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

  Result checked = Run({"check", Path("min.cvsp")});
  EXPECT_EQ(checked.status, 0) << checked.err;
  EXPECT_NE(checked.out.find("components:     0"), std::string::npos) << checked.out;
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
  EXPECT_NE(check.out.find("components:     4\n  #0 CDIR\n  #1 FILE\n  #2 IAFL\n"
                           "      if IISMODEL == \"PIPELINE\", runs when it does not hold\n"
                           "  #3 IAGM\n      if IISVERSION >= 7, runs when it holds\n"),
            std::string::npos)
      << check.out;
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
      {{"check", Path("refused.cvsp")}, 1,
       "Update data error: Update data format is invalid\ncvsp: component #1 (\"CDIR\") lacks a field"},
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
      {"{\"root\": {\"children\": {\"N\": {\"type\": \"ULONG\", \"value\": 1, \"compress\": true}}}}",
       "root/N: only BINARY"},
      {"{\"root\": {\"children\": {\"D\": {\"type\": \"DATE\", \"value\": \"2009-02-29\"}}}}",
       "root/D: not a valid date"},
      {"{\"root\": {\"children\": {\"B\": {\"type\": \"BINARY\", \"hex\": \"0g\"}}}}",
       "root/B: \"hex\" holds"},
      {"{\"root\": {\"children\": {\"B\": {\"type\": \"BINARY\", \"file\": \"none.bin\"}}}}",
       "root/B: cannot read"},
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

TEST_F(CvspToolTest, ManifestDefaultsAndConveniences) {
  Write("m.json", std::string(R"({"root": {"children": {
      "N": 7, "S": "caf\u00e9",
      "W": {"type": "WSTRING", "value": "\u4e2d"},
      "L": {"type": "LIST", "elements": [1, 2]},
      "V": {"type": "DOUBLE", "value": 2.5}}}})"));
  ASSERT_EQ(Run({"build", Path("m.json"), "-o", Path("m.cvsp")}).status, 0);
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

}  // namespace
