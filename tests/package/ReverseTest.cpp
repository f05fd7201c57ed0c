// Reverse components, the roll-back and the uninstall package: the reverse
// table, the written package, the roll-back after a failure at every
// position and an installation undone by its own uninstall package.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "tests/package/EngineImage.h"
#include "tests/package/PackageBuilder.h"

using namespace package_test;

namespace {

ComponentVariable File(const char* name, uint32_t options = 0) {
  return ComponentRecord(
      "FILE", {StringNode("PATH", "bin"), StringNode("FILENAME", name), BinaryNode("DATA", "MZ")},
      options);
}

ComponentVariable Value(const char* name, uint32_t type, const std::string& data) {
  return ComponentRecord(
      "REGK", {StringNode("PATH", "Software\\Corvane\\Quaver"), StringNode("REGNAME", name),
               ULongNode("REGTYPE", type), BinaryNode("DATA", data)});
}

ComponentVariable Filter() {
  return ComponentRecord(
      "IAFL", {StringNode("FILTERNAME", "Quaver"), StringNode("EXECUTABLE", "bin\\q.dll"),
               StringNode("DESCRIPTION", "IIS Quaver")});
}

ComponentVariable ScriptMap(const char* extension, const char* executable = "bin\\q.dll") {
  return ComponentRecord("IASM",
                         {StringNode("EXTENSION", extension), StringNode("EXECUTABLE", executable),
                          ULongNode("FLAGS", 1), StringNode("VERBS", "")});
}

// "TYPE", the copied fields and "OPTIONS" of a reverse record, as text.
std::string Describe(const UpdateComponent& component) {
  std::string out;
  const ComponentVariable& record = component.GetRecord();
  for (uint32_t i = 0; i < record.GetChildCount(); ++i) {
    const ComponentVariable* child = record.GetChildAt(i);
    out += std::string(child->GetName().GetString()) + "=";
    out += child->GetType() == VariableType::ULONG ? std::to_string(child->GetULong())
                                                   : std::string(child->GetText().GetString());
    out += ";";
  }
  return out;
}

TEST(MakeReverse, FollowsTheReverseTable) {
  const ComponentVariable name = StringNode("NAME", "Q");
  const ComponentVariable executable = StringNode("EXECUTABLE", "bin\\q.dll");
  struct Row {
    ComponentVariable forward;
    const char* reverse;  // null: none
  };
  const Row rows[] = {
      {File("a.dll"), "FILENAME=a.dll;OPTIONS=1;PATH=bin;TYPE=RFIL;"},
      {File("a.dll", 2), "FILENAME=a.dll;OPTIONS=1;PATH=bin;TYPE=RFIL;"},
      {File("a.dll", 0x14), "FILENAME=a.dll;OPTIONS=21;PATH=bin;TYPE=RFIL;"},
      {File("a.dll", 8), "FILENAME=a.dll;OPTIONS=9;PATH=bin;TYPE=RFIL;"},
      {File("a.dll", 0x1F), "FILENAME=a.dll;OPTIONS=29;PATH=bin;TYPE=RFIL;"},
      {ComponentRecord("SLNK", {StringNode("PATH", "bin"), StringNode("FILENAME", "l.dll"),
                                StringNode("TARGET", "q.dll")}),
       "FILENAME=l.dll;OPTIONS=1;PATH=bin;TYPE=RFIL;"},
      {ComponentRecord("CDIR", {StringNode("PATH", "logs")}), "OPTIONS=1;PATH=logs;TYPE=RDIR;"},
      {Value("RootDir", 1, "C:\\"),
       "OPTIONS=1;PATH=Software\\Corvane\\Quaver;REGNAME=RootDir;TYPE=RREG;"},
      {ComponentRecord("CSHC",
                       {StringNode("SHORTCUT_FOLDER", "IIS Quaver"),
                        StringNode("SHORTCUT_FILENAME", "Help.lnk"), StringNode("TARGET_PATH", ""),
                        StringNode("TARGET_FILENAME", "help.chm"), StringNode("DESCRIPTION", "")}),
       "OPTIONS=1;SHORTCUT_FILENAME=Help.lnk;SHORTCUT_FOLDER=IIS Quaver;TYPE=RSHC;"},
      {Filter(), "FILTERNAME=Quaver;OPTIONS=1;TYPE=IRFL;"},
      {ScriptMap("*", "%ProgramFiles%\\Corvane\\Quaver\\bin\\q.dll"),
       "EXECUTABLE=%ProgramFiles%\\Corvane\\Quaver\\bin\\q.dll;OPTIONS=1;TYPE=IRWM;"},
      {ScriptMap(".qvr"), "EXTENSION=.qvr;OPTIONS=1;TYPE=IRSM;"},
      {ComponentRecord("IAWR", {name, executable, StringNode("DESCRIPTION", "d")}),
       "NAME=Q;OPTIONS=1;TYPE=IRWR;"},
      {ComponentRecord("IAGM", {name, executable}), "NAME=Q;OPTIONS=1;TYPE=IRGM;"},
      {ComponentRecord("IAMD", {name}), "NAME=Q;OPTIONS=1;TYPE=IRMD;"},
      {ComponentRecord("IAHD", {name, StringNode("MODULENAME", "M"), StringNode("EXTENSION", "*"),
                                StringNode("ACCESS", "Script"), StringNode("VERBS", "*")}),
       "NAME=Q;OPTIONS=1;TYPE=IRHD;"},
      {ComponentRecord("EXEC", {StringNode("PATH", "bin"), StringNode("FILENAME", "s.cmd"),
                                BinaryNode("DATA", "")}),
       nullptr},
      {ComponentRecord("RFIL", {StringNode("PATH", "bin"), StringNode("FILENAME", "a.dll")}),
       nullptr},
      {ComponentRecord("IRFL", {StringNode("FILTERNAME", "Quaver")}), nullptr},
      {ComponentRecord("QUUX", {}), nullptr},
  };
  for (const Row& row : rows) {
    UpdateComponent forward = Component(row.forward, u"C:\\P");
    SCOPED_TRACE(row.forward.GetChild("TYPE")->GetText().GetString());
    UpdateComponent reverse;
    ASSERT_EQ(forward.MakeReverse(reverse), row.reverse != nullptr);
    if (row.reverse == nullptr) continue;
    EXPECT_EQ(Describe(reverse), row.reverse);
    EXPECT_TRUE(reverse.IsParsed());
    EXPECT_EQ(reverse.GetBasePath(), u"C:\\P\\");
  }
}

Update& WithReverses(Update& engine, std::initializer_list<ComponentVariable> forwards) {
  for (const ComponentVariable& record : forwards) {
    UpdateComponent forward = Component(record);
    UpdateComponent reverse;
    EXPECT_TRUE(forward.MakeReverse(reverse));
    engine.uninstallList.Add(reverse);
  }
  engine.versionString = u"4.0.9";
  engine.versionNumber = 409;
  engine.versionDate = CSPDate(1, 1, 2010);
  engine.packageVersion = 0x10002;
  return engine;
}

std::vector<std::string> TypesOf(const CSPBuffer& package, uint32_t& version) {
  Update reader;
  reader.SetPackageData(package);
  reader.basePath = kProductDir;
  EXPECT_TRUE(reader.Parse()) << reader.GetErrorText().GetString();
  version = reader.GetPackageVersion();
  EXPECT_EQ(reader.GetVersionString(), u"4.0.9");
  EXPECT_EQ(reader.GetVersionNumber(), 409u);
  std::vector<std::string> types;
  for (uint32_t i = 0; i < reader.GetComponentCount(); ++i) {
    types.push_back(UpdateComponent::CodeName(reader.GetComponent(i)->GetTypeCode()));
  }
  return types;
}

TEST(WriteUninstallPackage, HoldsTheReversesLastFirst) {
  Update engine;
  WithReverses(engine, {File("a.dll"), Value("RootDir", 1, "C:\\"), Filter(), File("b.dll", 0x14)});
  CSPBuffer package;
  ASSERT_TRUE(engine.WriteUninstallPackage(package, true));
  uint32_t version = 0;
  EXPECT_EQ(TypesOf(package, version), (std::vector<std::string>{"IRFL", "RREG", "RFIL"}));
  EXPECT_EQ(version, 0x10002u);
  ASSERT_TRUE(engine.WriteUninstallPackage(package, false));
  EXPECT_EQ(TypesOf(package, version), (std::vector<std::string>{"RFIL", "IRFL", "RREG", "RFIL"}));
}

TEST(WriteUninstallPackage, EverythingLeftOutStillReads) {
  Update engine;
  WithReverses(engine, {File("a.dll", 0x10)});
  CSPBuffer package;
  ASSERT_TRUE(engine.WriteUninstallPackage(package, true));
  uint32_t version = 0;
  EXPECT_TRUE(TypesOf(package, version).empty());

  Update none;
  CSPBuffer untouched;
  untouched.Set("keep", 4);
  EXPECT_FALSE(none.WriteUninstallPackage(untouched, true));
  EXPECT_EQ(untouched.GetSize(), 4u);
}

// ---------------------------------------------------------------------------
// Whole runs on images

// Fails without a reverse component: the file's folder does not exist.
ComponentVariable Failing() {
  return ComponentRecord("RFIL", {StringNode("PATH", "C:\\nowhere"), StringNode("FILENAME", "x")});
}

ComponentVariable Shortcut() {
  return ComponentRecord(
      "CSHC",
      {StringNode("SHORTCUT_FOLDER", "IIS Quaver"),
       StringNode("SHORTCUT_FILENAME", "Control Center.lnk"), StringNode("TARGET_PATH", "bin"),
       StringNode("TARGET_FILENAME", "q.dll"), StringNode("DESCRIPTION", "IIS Quaver")});
}

// Every component type that installs something, for ISAPI mode on IIS 6
// (SLNK needs a later Windows: it is in the pipeline package and in
// IsapiOnLaterWindows).
std::vector<ComponentVariable> IsapiPackage() {
  return {
      ComponentRecord("CDIR", {StringNode("PATH", "logs")}),
      File("q.dll"),
      Value("RootDir", 1, "C:\\Program Files\\Corvane\\"),
      Filter(),
      ScriptMap(".qvr"),
      ScriptMap("*"),
      ComponentRecord("IAWR", {StringNode("NAME", "Quaver"), StringNode("EXECUTABLE", "bin\\q.dll"),
                               StringNode("DESCRIPTION", "IIS Quaver")}),
      ComponentRecord("SARO", {ULongNode("OBJECT_TYPE", 1), StringNode("PATH", ""),
                               StringNode("USER_TYPE", "STANDARD"), ULongNode("STANDARD_USER", 5),
                               StringNode("NAMED_USER", ""), ULongNode("ACCESS_MODE", 1),
                               ULongNode("PERMISSIONS", 0x1200a9), ULongNode("INHERITANCE", 3)}),
      Value("Count", 2, std::string("\x02\0\0\0", 4)),
      File("kept.txt", 0x10),
      ComponentRecord("EXEC", {StringNode("PATH", "bin"), StringNode("FILENAME", "setup.cmd"),
                               BinaryNode("DATA", "@echo off")}),
      Shortcut(),
  };
}

std::vector<ComponentVariable> PipelinePackage() {
  const ComponentVariable name = StringNode("NAME", "QuaverModule");
  return {
      ComponentRecord("CDIR", {StringNode("PATH", "logs")}),
      File("q.dll"),
      ComponentRecord("IAGM", {name, StringNode("EXECUTABLE", "bin\\q.dll")}),
      ComponentRecord("IAMD", {name}),
      ComponentRecord(
          "IAHD", {StringNode("NAME", "QuaverHandler"), StringNode("MODULENAME", "QuaverModule"),
                   StringNode("EXTENSION", "*.qvr"), StringNode("ACCESS", "Script"),
                   StringNode("VERBS", "*")}),
      Value("RootDir", 1, "C:\\Program Files\\Corvane\\"),
      ComponentRecord("SLNK", {StringNode("PATH", "bin"), StringNode("FILENAME", "q32.dll"),
                               StringNode("TARGET", "q.dll")}),
      Shortcut(),
  };
}

// ISAPI mode through the metabase compatibility on IIS 7 and later: the
// ISAPI package and the symbolic link that Windows has there.
std::vector<ComponentVariable> IsapiOnLaterWindows() {
  std::vector<ComponentVariable> records = IsapiPackage();
  records.push_back(
      ComponentRecord("SLNK", {StringNode("PATH", "bin"), StringNode("FILENAME", "q32.dll"),
                               StringNode("TARGET", "q.dll")}));
  return records;
}

ComponentVariable RootOf(const std::vector<ComponentVariable>& records) {
  ComponentVariable root = PackageRoot();
  for (const ComponentVariable& record : records) AddComponent(root, record);
  return root;
}

// What the product keeps on purpose is taken out of the comparison: the
// access list "SARO" set on the product folder, the file "EXEC" wrote and
// the record of what it started.
Snapshot Comparable(Snapshot files) {
  files.erase("drive_c/Program Files/Corvane/Quaver/bin/setup.cmd");
  files.erase("shell.log");
  std::string& acl = files["security.sddl"];
  std::string kept;
  std::istringstream lines(acl);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("file C:\\Program Files\\Corvane\\Quaver ", 0) != 0) kept += line + "\n";
  }
  acl = kept;
  return WithoutEmptyLoadOrders(files);
}

struct Server {
  const char* iis;
  uint32_t mode;
  std::vector<ComponentVariable> (*package)();
  bool metabaseCompat;  // ISAPI mode through the metabase mapped onto the application host
};

const Server kServers[] = {{"6", 1, IsapiPackage, false},
                           {"10", 2, PipelinePackage, false},
                           {"7.5", 1, IsapiOnLaterWindows, true}};

std::string Name(const Server& server) {
  return std::string("IIS ") + server.iis + (server.metabaseCompat ? " metabase-compat" : "");
}

TEST(Rollback, AFailureAtAnyPositionLeavesTheImageAsItWas) {
  for (const Server& server : kServers) {
    const std::vector<ComponentVariable> records = server.package();
    for (size_t position = 0; position <= records.size(); ++position) {
      SCOPED_TRACE(Name(server) + ", failure at " + std::to_string(position));
      EngineImage image(server.iis, server.metabaseCompat);
      const Snapshot before = Comparable(TakeSnapshot(image));
      std::vector<ComponentVariable> failing = records;
      failing.insert(failing.begin() + long(position), Failing());
      Update engine;
      Prepare(engine, RootOf(failing), server.mode);
      engine.sites.Add(u"1");
      ASSERT_FALSE(engine.Execute());
      engine.Rollback();
      EXPECT_EQ(Difference(before, Comparable(TakeSnapshot(image))), "");
    }
  }
}

TEST(Uninstall, TheUninstallPackageRemovesTheInstallation) {
  for (const Server& server : kServers) {
    SCOPED_TRACE(Name(server));
    EngineImage image(server.iis, server.metabaseCompat);
    const Snapshot before = Comparable(TakeSnapshot(image));
    Update install;
    Prepare(install, RootOf(server.package()), server.mode);
    install.sites.Add(u"1");
    ASSERT_TRUE(install.Execute()) << install.GetErrorText().GetString();
    CSPBuffer package;
    ASSERT_TRUE(install.WriteUninstallPackage(package, true));

    Update uninstall;
    uninstall.SetPackageData(package);
    uninstall.basePath = kProductDir;
    uninstall.productKey = kProductKey;
    uninstall.makeBackup = false;
    uninstall.extensibilityMode = server.mode;
    ASSERT_TRUE(uninstall.Parse());
    ASSERT_TRUE(uninstall.Execute()) << uninstall.GetErrorText().GetString();
    EXPECT_STREQ(uninstall.GetFailureLog().GetString(), "");
    // What stays: the "Version" value and, in the ISAPI package, the file
    // whose reverse was left out of the uninstall package.
    std::string stays = "registry/HKLM.reg: gained \"Version\"=\"4.0.9\"\n";
    Snapshot after = Comparable(TakeSnapshot(image));
    const std::string kept = "drive_c/Program Files/Corvane/Quaver/bin/kept.txt";
    if (after.count(kept) != 0) {
      after.erase(kept);
      EXPECT_EQ(server.mode, 1u);
    }
    EXPECT_EQ(Difference(before, after), stays);
  }
}

}  // namespace
