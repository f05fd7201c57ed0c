// The whole installation: quaver-setup --unattended installing the demo
// package on fresh servers, the image diff it leaves, the roll-back of a
// failing package, the uninstall package, the progress bar's accounting and
// the installation thread.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/apphost/AppHostServers.h"
#include "platform/com/ComRegistration.h"
#include "platform/machine.h"
#include "platform/metabase/DefaultMetabase.h"
#include "platform/metabase/MetabaseService.h"
#include "platform/metabase/MetabaseXml.h"
#include "platform/threads.h"
#include "tests/setup/SetupTestSupport.h"
#include "tools/cvsp/Cvsp.h"
#include "tools/cvsp/Manifest.h"
#include "tools/quaver-setup/MediaDrive.h"
#include "tools/quaver-setup/QuaverSetup.h"

namespace quaver::test {
namespace {

namespace fs = std::filesystem;
using Files = std::map<std::string, std::string>;
using Strings = std::vector<std::string>;

const char kProductFolder[] = "drive_c/Program Files/Corvane/Quaver/";

Files Snapshot(const fs::path& root) {
  Files files;
  FoldImageJournals(root);
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (!entry.is_regular_file()) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    files[fs::relative(entry.path(), root).generic_string()] = bytes.str();
  }
  return files;
}

// Paths added, changed or removed.
std::set<std::string> Changed(const Files& before, const Files& after) {
  std::set<std::string> changed;
  for (const auto& [path, bytes] : after) {
    auto old = before.find(path);
    if (old == before.end() || old->second != bytes) changed.insert(path);
  }
  for (const auto& [path, bytes] : before) {
    if (after.count(path) == 0) changed.insert(path);
  }
  return changed;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// Lines of `after` that `before` does not have.
Strings NewLines(const std::string& before, const std::string& after) {
  std::set<std::string> old;
  std::stringstream in(before);
  for (std::string line; std::getline(in, line);) old.insert(line);
  Strings added;
  std::stringstream out(after);
  for (std::string line; std::getline(out, line);) {
    if (old.count(line) == 0) added.push_back(line);
  }
  return added;
}

// A fresh server (see SetupImage for "7.5c").
class Server : public SetupImage {
 public:
  explicit Server(const std::string& version) : SetupImage(version) {}

  int Install(const Strings& options, const std::string& media = QUAVER_DEMO_MEDIA) {
    Strings args = {"--unattended", "--machine", Root().string(), "--dir", "C:\\Program Files",
                    "--media",      media};
    args.insert(args.end(), options.begin(), options.end());
    std::ostringstream out;
    std::ostringstream err;
    const int status = quaver_setup::Run(args, out, err, false);
    report = out.str();
    messages = err.str();
    return status;
  }

  std::string report;
  std::string messages;
};

std::string WithoutEmptyLoadOrders(std::string text) {
  const std::string line = "\t\tFilterLoadOrder=\"\"\n";
  for (size_t at = text.find(line); at != std::string::npos; at = text.find(line, at)) {
    text.erase(at, line.size());
  }
  return text;
}

struct InstallCase {
  const char* name;
  const char* iis;
  Strings options;
  const char* iisFile;  // the configuration the product registers in
  Strings iisAdded;     // lines it adds there
};

class DemoInstall : public ::testing::TestWithParam<InstallCase> {};

TEST_P(DemoInstall, InstallsExactlyTheProductAndUninstallsIt) {
  const InstallCase& c = GetParam();
  Server server(c.iis);
  const Files before = Snapshot(server.Root());
  ASSERT_EQ(server.Install(c.options), quaver_setup::kInstalled) << server.messages;
  EXPECT_EQ(server.report, "IIS Quaver Pro v4.0 setup is completed succesfully!\n");
  const Files after = Snapshot(server.Root());
  const Strings allowed = {
      kProductFolder, "drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/IIS Quaver/",
      "registry/HKLM.reg", "security.sddl", "services.ini",
      "drive_c/Users/Administrator/Desktop/IIS Quaver Control Center.lnk",
      // Windows Server 2003 keeps profiles elsewhere.
      "drive_c/Documents and Settings/All Users/Start Menu/Programs/IIS Quaver/",
      "drive_c/Documents and Settings/Administrator/Desktop/"
      "IIS Quaver Control Center.lnk",
      c.iisFile, "drive_c/Windows/System32/inetsrv/MetaBack/IIS Quaver Backup",
      std::string(c.iisFile) + ".IIS Quaver Backup"};
  for (const std::string& path : Changed(before, after)) {
    bool expected = false;
    for (const std::string& prefix : allowed) expected = expected || StartsWith(path, prefix);
    EXPECT_TRUE(expected) << path;
  }
  for (const char* file : {"Quaver.txt", "iquaverctlld.exe", "Uninstall.exe", "Uninstall.cvsp",
                           "Updates/Update_4.0.9.cvsp"}) {
    EXPECT_EQ(after.count(kProductFolder + std::string(file)), 1u) << file;
  }
  Strings added = NewLines(before.at(c.iisFile), after.at(c.iisFile));
  for (const std::string& line : c.iisAdded) {
    bool found = false;
    for (const std::string& a : added) found = found || a.find(line) != std::string::npos;
    EXPECT_TRUE(found) << line;
  }

  // The uninstall package left behind takes the product away again.
  std::ostringstream out;
  std::ostringstream err;
  EXPECT_EQ(cvsp::Run({"run", server.Root().string() + "/" + kProductFolder + "Uninstall.cvsp",
                       "--machine", server.Root().string(), "--product-dir",
                       "C:\\Program Files\\Corvane\\Quaver\\"},
                      out, err),
            0)
      << err.str();
  const Files removed = Snapshot(server.Root());
  // Removing the last filter of a website leaves its emptied load order,
  // as IIS 6 does.
  EXPECT_EQ(WithoutEmptyLoadOrders(removed.at(c.iisFile)), before.at(c.iisFile));
  EXPECT_EQ(removed.count(kProductFolder + std::string("iquaverctlld.exe")), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Servers, DemoInstall,
    ::testing::Values(
        InstallCase{"Iis6Filter",
                    "6",
                    {"--mode", "isapi", "--sites", "1,3"},
                    "drive_c/Windows/System32/inetsrv/MetaBase.xml",
                    {"Location =\"/LM/W3SVC/1/Filters/Quaver\"", "Quaver,IIS Quaver"}},
        InstallCase{"Iis75Module",
                    "7.5",
                    {"--mode", "pipeline", "--sites", "all"},
                    "drive_c/Windows/System32/inetsrv/config/applicationHost.config",
                    {"<add name=\"QuaverModule\" image=", "<add name=\"QuaverModule\""}},
        InstallCase{"Iis75Filter",
                    "7.5c",
                    {"--mode", "isapi", "--sites", "1", "--desktop-icon"},
                    "drive_c/Windows/System32/inetsrv/config/applicationHost.config",
                    {"<filter name=\"Quaver\""}},
        InstallCase{"Iis10Module",
                    "10",
                    {"--mode", "pipeline", "--sites", "1,2", "--no-backup", "--no-webroot-access"},
                    "drive_c/Windows/System32/inetsrv/config/applicationHost.config",
                    {"<add name=\"QuaverModule\" image="}}),
    [](const auto& info) { return std::string(info.param.name); });

// The demo package with a last component that cannot succeed.
std::string BrokenMedia(const fs::path& folder) {
  nlohmann::json manifest;
  std::ifstream source(std::string(QUAVER_SOURCE_DIR) + "/demo/Quaver_Pro_v4.0.9.json");
  source >> manifest;
  manifest["root"]["children"]["COMPONENTS"]["elements"].push_back(
      {{"type", "MAP"},
       {"children",
        {{"TYPE", "FILE"},
         {"OPTIONS", 0u},
         {"PATH", ""},
         {"FILENAME", "C:\\NoSuchFolder\\x\\y.dll"},
         {"DATA", {{"type", "BINARY"}, {"hex", "00"}}}}}});
  cvsp::PackageImage image;
  cvsp::ReadManifest(manifest, fs::path(QUAVER_SOURCE_DIR) / "demo", image);
  CSPBuffer bytes;
  cvsp::EncodePackage(image, bytes);
  fs::create_directories(folder);
  std::ofstream(folder / "Quaver_Pro_v4.0.9.cvsp", std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.GetData()), bytes.GetSize());
  return folder.string();
}

struct FailureCase {
  const char* iis;
  const char* mode;
  const char* iisFile;
};

class ForcedFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(ForcedFailure, RollsBackRegistryDirectoriesAndIis) {
  Server server(GetParam().iis);
  const std::string media =
      BrokenMedia(server.Root().parent_path() / (server.Root().filename().string() + "-media"));
  const Files before = Snapshot(server.Root());
  EXPECT_EQ(server.Install({"--mode", GetParam().mode, "--sites", "1"}, media),
            quaver_setup::kFailed);
  fs::remove_all(media);
  EXPECT_EQ(server.report,
            "IIS Quaver Pro v4.0 Setup failed.\n\nCREATE FILE: C:\\NoSuchFolder\\x\\y.dll  FAILED: "
            "File system error. Cannot create file.\n\n");
  const Files after = Snapshot(server.Root());
  // What stays: the web service's state, the permanent configuration backup
  // the package asked for, the access lists and the product key of the
  // 32-bit view (only on IIS 7 and later).
  for (const std::string& path : Changed(before, after)) {
    if (path == "services.ini" || path.find("IIS Quaver Backup") != std::string::npos) continue;
    if (path == "registry/HKLM.reg" || path == "security.sddl") {
      for (const std::string& line : NewLines(before.at(path), after.at(path))) {
        EXPECT_TRUE(line.empty() || line.find("Wow6432Node") != std::string::npos ||
                    StartsWith(line, "\"") || line.find("Start Menu") != std::string::npos)
            << path << ": " << line;
      }
      EXPECT_TRUE(NewLines(after.at(path), before.at(path)).empty()) << path;
      continue;
    }
    ADD_FAILURE() << path;
  }
  EXPECT_EQ(after.at(GetParam().iisFile), before.at(GetParam().iisFile));
}

// Damaged access lists or accounts in the image: the setup stops with its
// report before it changes the server, as on a Windows server whose security
// database is damaged, instead of ending the process.
TEST(DamagedImage, SetupFailsAndChangesNothing) {
  struct Damage {
    const char* file;
    const char* find;     // replaced in the file ...
    const char* replace;  // ... by this
    const char* message;  // in what the setup says
  };
  const Damage damages[] = {
      {"security.sddl", "", "file C:\\x\n", "Cannot create installation directory"},
      {"machine.ini", "BUILTIN\\Guests=S-1-5-32-546", "BUILTIN\\Guests=S-1-=bad",
       "Cannot resolve user IIS_IUSRS"},
  };
  for (const Damage& damage : damages) {
    Server server("10");
    std::string text = server.ReadHostFile(damage.file);
    const size_t at = text.find(damage.find);
    ASSERT_NE(at, std::string::npos) << damage.file;
    text.replace(at, std::string(damage.find).size(), damage.replace);
    server.WriteHostFile(damage.file, text);
    const Files before = Snapshot(server.Root());
    EXPECT_EQ(server.Install({"--mode", "pipeline", "--sites", "all"}), quaver_setup::kFailed)
        << damage.file;
    EXPECT_NE(server.messages.find(damage.message), std::string::npos)
        << damage.file << ": " << server.messages;
    EXPECT_EQ(Changed(before, Snapshot(server.Root())), std::set<std::string>()) << damage.file;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Servers, ForcedFailure,
    ::testing::Values(FailureCase{"6", "isapi", "drive_c/Windows/System32/inetsrv/MetaBase.xml"},
                      FailureCase{"7.5", "pipeline",
                                  "drive_c/Windows/System32/inetsrv/config/applicationHost.config"},
                      FailureCase{
                          "10", "pipeline",
                          "drive_c/Windows/System32/inetsrv/config/applicationHost.config"}),
    [](const auto& info) {
      return std::string("Iis") + (info.param.iis[1] == '.' ? "75" : info.param.iis);
    });

TEST(QuaverSetupUsage, ErrorsExitWith64AndAUsageLine) {
  Server server("6");
  const std::vector<Strings> wrong = {
      {"--unattended", "--mode", "isapi"},
      {"--unattended", "--machine", server.Root().string(), "--dir", "C:\\", "--mode", "both"},
      {"--unattended", "--machine", server.Root().string(), "--dir", "C:\\", "--mode", "isapi",
       "--sites", "1,9", "--media", QUAVER_DEMO_MEDIA},
      {"--unattended", "--machine", server.Root().string(), "--dir", "C:\\", "--mode", "isapi",
       "--unknown"},
      {"--machine", server.Root().string(), "--dir", "C:\\", "--mode", "isapi"},
  };
  for (const Strings& args : wrong) {
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(quaver_setup::Run(args, out, err, false), quaver_setup::kUsageError) << err.str();
    EXPECT_NE(err.str().find("usage: quaver-setup --unattended"), std::string::npos);
  }
}

// A folder that is no image is a wrong argument; an image whose machine.ini
// is damaged is a failure, named with its line and without a usage line.
TEST(QuaverSetupUsage, ImageThatCannotBeSelected) {
  Server server("10");
  const Strings options = {"--mode", "pipeline"};
  std::ostringstream out;
  std::ostringstream err;
  const Strings notAnImage = {"--unattended", "--machine", server.Root().string() + "-missing",
                              "--dir",        "C:\\",      "--mode",
                              "pipeline"};
  EXPECT_EQ(quaver_setup::Run(notAnImage, out, err, false), quaver_setup::kUsageError);
  EXPECT_NE(err.str().find("usage: quaver-setup --unattended"), std::string::npos) << err.str();
  server.WriteHostFile("machine.ini", server.ReadHostFile("machine.ini") + "garbage\n");
  EXPECT_EQ(server.Install(options), quaver_setup::kFailed);
  EXPECT_NE(server.messages.find("machine.ini:"), std::string::npos) << server.messages;
  EXPECT_NE(server.messages.find(": expected key=value"), std::string::npos) << server.messages;
  EXPECT_EQ(server.messages.find("usage:"), std::string::npos) << server.messages;
}

// Installations driven directly, as the progress page drives them.
struct ProgressCase {
  const char* iis;
  int32_t mode;
  bool webRoot;
  bool scripts;
  bool icon;
};

class Progress : public ::testing::TestWithParam<ProgressCase> {};

TEST_P(Progress, EndsAtExactlyOneHundredPercent) {
  const ProgressCase& c = GetParam();
  Server server(c.iis);
  quaver_setup::MediaDrive media;
  std::string error;
  ASSERT_TRUE(media.Mount(server.Root(), QUAVER_DEMO_MEDIA, error)) << error;
  RecordingUi ui;
  IQVSetupCore core(&ui);
  core.installDir = u"C:\\Program Files\\";
  core.extensibilityMode = c.mode;
  core.addWebRootAccess = c.webRoot;
  core.allowScriptExecution = c.scripts;
  core.createDesktopIcon = c.icon;
  core.selectedSites.Add(u"1");
  ASSERT_TRUE(core.StartInstallation(&ui, &ui, &ui));
  ASSERT_EQ(WaitForSingleObject(core.installThread, INFINITE), WAIT_OBJECT_0);
  EXPECT_FALSE(core.failed);
  EXPECT_TRUE(ui.WasNextPressed());
  EXPECT_EQ(core.report.GetLength(), 0u) << core.report.GetString();
  int32_t low = 0;
  int32_t high = 0;
  ui.GetProgressRange(low, high);
  EXPECT_EQ(ui.GetProgressPosition(), high);
  EXPECT_EQ(Utf8(ui.GetPercentText()), "100%");
  EXPECT_EQ(Utf8(core.installDir), "C:\\Program Files\\Corvane\\Quaver\\");
  EXPECT_EQ(Utf8(core.rootDir), "C:\\Program Files\\Corvane\\");
}

INSTANTIATE_TEST_SUITE_P(
    Options, Progress,
    ::testing::Values(ProgressCase{"6", IQVSetupCore::ModeIsapi, true, true, true},
                      ProgressCase{"6", IQVSetupCore::ModeIsapi, false, true, false},
                      ProgressCase{"6", IQVSetupCore::ModeIsapi, true, false, false},
                      ProgressCase{"6", IQVSetupCore::ModeIsapi, false, false, true},
                      ProgressCase{"10", IQVSetupCore::ModePipeline, true, true, false},
                      ProgressCase{"10", IQVSetupCore::ModePipeline, false, true, true},
                      ProgressCase{"10", IQVSetupCore::ModePipeline, true, false, true},
                      ProgressCase{"10", IQVSetupCore::ModePipeline, false, false, false}));

TEST(InstallationThread, RefusedThreadEndsAsFailed) {
  Server server("6");
  RecordingUi ui;
  IQVSetupCore core(&ui);
  machine::RefuseNewThreads(ERROR_NOT_ENOUGH_MEMORY);
  const bool started = core.StartInstallation(&ui, &ui, &ui);
  machine::RefuseNewThreads(0);
  EXPECT_FALSE(started);
  EXPECT_TRUE(core.failed);
  EXPECT_TRUE(ui.WasNextPressed());
  EXPECT_EQ(ui.messages, Strings{"Fatal error: Cannot start the installation."});
}

TEST(InstallationSteps, MissingDirectoryAndPackage) {
  Server server("6");
  RecordingUi ui;
  IQVSetupCore core(&ui);
  core.progressBar = core.percentLabel = &ui;
  core.installDir = u"C:\\Nowhere";
  EXPECT_FALSE(core.Installation());
  core.installDir = u"C:\\Program Files";
  EXPECT_FALSE(core.Installation());  // the current directory C:\ holds no package
  EXPECT_EQ(ui.messages,
            (Strings{"Invalid path: The path you provided is invalid or does not exist.\n "
                     "Please, select another path.",
                     "File error: Setup cannot open installation file."}));
}

}  // namespace
}  // namespace quaver::test
