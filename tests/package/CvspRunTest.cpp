// `cvsp run` on machine images: the log as it goes, the summary, the
// roll-back on failure, --what-if and the uninstall package it writes.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/package/EngineImage.h"
#include "tests/package/PackageBuilder.h"
#include "tools/cvsp/Cvsp.h"

using namespace package_test;

namespace {

struct Result {
  int status;
  std::string out;
  std::string err;
};

class CvspRun : public ::testing::Test {
 protected:
  Result Run(std::vector<std::string> args) {
    std::ostringstream out, err;
    int status = cvsp::Run(args, out, err);
    return {status, out.str(), err.str()};
  }
  std::string Write(const std::string& name, const ComponentVariable& root) {
    Bytes bytes = PackageFile(root);
    image.WriteHostFile(name, std::string(bytes.begin(), bytes.end()));
    return (image.Root() / name).string();
  }
  std::vector<std::string> Args(const std::string& package) {
    return {"run",           package,
            "--machine",     image.Root().string(),
            "--product-dir", "C:\\Program Files\\Corvane\\Quaver"};
  }
  ComponentVariable Package() {
    ComponentVariable root = PackageRoot();
    AddComponent(root, FileRecord("q.dll"));
    AddComponent(root, ComponentRecord("IAFL", {StringNode("FILTERNAME", "Quaver"),
                                                StringNode("EXECUTABLE", "bin\\q.dll"),
                                                StringNode("DESCRIPTION", "IIS Quaver")}));
    AddComponent(root, ComponentRecord("IAGM", {StringNode("NAME", "QuaverModule"),
                                                StringNode("EXECUTABLE", "bin\\q.dll")}));
    AddCondition(root, ConditionRecord(2, "IISMODEL", 2, 0, "PIPELINE", 1, 1));
    return root;
  }

  EngineImage image{"6"};
};

TEST_F(CvspRun, InstallsAndItsUninstallPackageRemovesIt) {
  const std::string package = Write("q.cvsp", Package());
  const std::string uninstall = (image.Root() / "Uninstall.cvsp").string();
  const Snapshot before = WithoutEmptyLoadOrders(TakeSnapshot(image));
  std::vector<std::string> args = Args(package);
  args.insert(args.end(), {"--mode", "isapi", "--uninstall", uninstall});
  Result run = Run(args);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("CREATE FILE: C:\\Program Files\\Corvane\\Quaver\\bin\\q.dll  OK\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("ADD IIS FILTER: Quaver, executable: "), std::string::npos);
  EXPECT_NE(
      run.out.find("components: 3, executed: 2, skipped: 1, failed: 0, reverse components: 2"),
      std::string::npos)
      << run.out;
  // Every website of the server got the filter.
  const std::string metabase = image.ReadHostFile("drive_c/Windows/System32/inetsrv/MetaBase.xml");
  EXPECT_NE(metabase.find("Quaver"), std::string::npos);

  Result removed = Run(Args(uninstall));
  ASSERT_EQ(removed.status, 0) << removed.err;
  EXPECT_NE(removed.out.find("REMOVE IIS FILTER: Quaver  OK"), std::string::npos) << removed.out;
  EXPECT_NE(removed.out.find("REMOVE FILE: "), std::string::npos);
  Snapshot after = WithoutEmptyLoadOrders(TakeSnapshot(image));
  after.erase("q.cvsp");
  after.erase("Uninstall.cvsp");
  std::string difference = Difference(before, after);
  // Kept on purpose: the product key's values and the IIS backup.
  EXPECT_NE(difference.find("gained \"Version\"=\"4.0.9\""), std::string::npos) << difference;
  EXPECT_NE(difference.find("gained \"ExtensibilityMode\"=dword:00000001"), std::string::npos);
  EXPECT_EQ(difference.find("MetaBase.xml"), std::string::npos) << difference;
  EXPECT_EQ(difference.find("drive_c/Program Files"), std::string::npos) << difference;
}

TEST_F(CvspRun, FailureRollsBackAndNamesTheCause) {
  ComponentVariable root = Package();
  AddComponent(root, ComponentRecord(
                         "RFIL", {StringNode("PATH", "C:\\nowhere"), StringNode("FILENAME", "x")}));
  const std::string package = Write("q.cvsp", root);
  const Snapshot before = WithoutEmptyLoadOrders(TakeSnapshot(image));
  std::vector<std::string> args = Args(package);
  args.insert(args.end(), {"--sites", "1,3", "--mode", "isapi"});
  Result run = Run(args);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "Update engine error: File system error. Cannot remove file.\n");
  EXPECT_NE(
      run.out.find("REMOVE FILE: C:\\nowhere\\x  FAILED: File system error. Cannot remove file.\n"
                   "rolled back\n"),
      std::string::npos)
      << run.out;
  Snapshot after = WithoutEmptyLoadOrders(TakeSnapshot(image));
  after.erase("q.cvsp");
  // The product key the run created stays; nothing else changed.
  std::string difference = Difference(before, after);
  EXPECT_EQ(difference.find("MetaBase.xml"), std::string::npos) << difference;
  EXPECT_EQ(difference.find("drive_c/Program Files/Corvane/Quaver/bin/q.dll"), std::string::npos);
}

TEST_F(CvspRun, WhatIfChangesNothing) {
  const std::string package = Write("q.cvsp", Package());
  const Snapshot before = WithoutEmptyLoadOrders(TakeSnapshot(image));
  std::vector<std::string> args = Args(package);
  args.push_back("--what-if");
  Result run = Run(args);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "mode: isapi, IIS 6\n"
            "#0 FILE: runs (no conditions on the facts)\n"
            "#1 IAFL: runs (no conditions on the facts)\n"
            "#2 IAGM: skipped (IISMODEL is ISAPIX64, wants == PIPELINE)\n");
  EXPECT_EQ(Difference(before, TakeSnapshot(image)), "");
}

TEST_F(CvspRun, UsageErrors) {
  const std::string package = Write("q.cvsp", Package());
  std::vector<std::string> args = Args(package);
  args.insert(args.end(), {"--mode", "cgi"});
  EXPECT_EQ(Run(args).status, 2);
  EXPECT_EQ(Run({"run", package}).status, 2);
}

}  // namespace

namespace {

// Pipeline mode on IIS 10: without --sites every website of the
// application host gets the per-website module.
TEST(CvspRunPipeline, EveryWebsiteByDefault) {
  EngineImage image("10");
  ComponentVariable root = PackageRoot();
  AddComponent(root, ComponentRecord("IAGM", {StringNode("NAME", "QuaverModule"),
                                              StringNode("EXECUTABLE", "bin\\q.dll")}));
  AddComponent(root, ComponentRecord("IAMD", {StringNode("NAME", "QuaverModule")}));
  Bytes bytes = PackageFile(root);
  image.WriteHostFile("q.cvsp", std::string(bytes.begin(), bytes.end()));
  std::ostringstream out, err;
  int status =
      cvsp::Run({"run", (image.Root() / "q.cvsp").string(), "--machine", image.Root().string(),
                 "--product-dir", "C:\\Quaver", "--mode", "pipeline"},
                out, err);
  ASSERT_EQ(status, 0) << err.str();
  const std::string config =
      image.ReadHostFile("drive_c/Windows/System32/inetsrv/config/applicationHost.config");
  size_t count = 0;
  for (size_t at = config.find("<add name=\"QuaverModule\""); at != std::string::npos;
       at = config.find("<add name=\"QuaverModule\"", at + 1)) {
    ++count;
  }
  EXPECT_EQ(count, 3u) << config;  // the global module and the two websites
}

}  // namespace
