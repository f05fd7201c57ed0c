// Journaled image files: records that a crash tore or that belong to an
// older base are never applied, the journal is folded in once it has grown,
// and a process that read the hive before applies just what another process
// appended, ending where a fresh reading ends.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/machine.h"
#include "platform/machine/JournaledFile.h"
#include "platform/registry/RegistryObjects.h"
#include "platform/security/AccessListFile.h"
#include "platform/services/ServiceFile.h"
#include "platform/services/Services.h"
#include "platform/win.h"
#include "tests/platform/RegistryTestSupport.h"
#include "tests/platform/SecurityTestSupport.h"
#include "tests/support/TempMachine.h"

namespace quaver::test {
namespace {

namespace fs = std::filesystem;
using machine::JournaledFile;

class Journal : public TempMachineTest {
 protected:
  fs::path Base() const { return image.Root() / "notes.txt"; }
  fs::path LogFile() const { return image.Root() / "notes.txt.log"; }

  // What a fresh reader gets: the base and the records after it.
  std::string ReadFresh() {
    JournaledFile file(Base());
    JournaledFile::Changes changes = file.Refresh();
    std::string text = changes.base;
    for (const std::string& record : changes.records) text += record;
    return text;
  }

  // Appends through a reader that is up to date, as every writer is.
  void AppendFresh(const std::string& record) {
    JournaledFile file(Base());
    std::string text = file.Refresh().base;
    file.Append(record, [&] { return text; });
  }
};

TEST_F(Journal, TornTailIsIgnoredAndCutByTheNextWriter) {
  machine::WriteFileAtomically(Base(), "base\n");
  AppendFresh("one\n");
  AppendFresh("two\n");
  const std::string whole = machine::ReadWholeFile(LogFile());
  const struct {
    const char* what;
    std::string tail;
  } cases[] = {
      {"half a frame line", "; record 4"},
      {"frame line without its record", "; record 6 00000000\n"},
      {"record shorter than its length", "; record 6 4a17b156\nthr"},
      {"record failing its check", "; record 6 00000000\nthree\n"},
      {"bytes that are no frame", std::string(4, '\0')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    machine::WriteFileAtomically(LogFile(), whole + c.tail);
    EXPECT_EQ(ReadFresh(), "base\none\ntwo\n");
    AppendFresh("four\n");
    EXPECT_EQ(ReadFresh(), "base\none\ntwo\nfour\n");
    // The torn bytes are gone: the new record follows the last whole one.
    const std::string journal = machine::ReadWholeFile(LogFile());
    EXPECT_EQ(journal.substr(0, whole.size()), whole);
    EXPECT_EQ(journal.size(), whole.size() + std::string("; record 5 01234567\nfour\n").size());
  }
}

TEST_F(Journal, JournalOfAnotherBaseIsIgnoredAndReplaced) {
  machine::WriteFileAtomically(Base(), "base\n");
  AppendFresh("old change\n");
  // A fold that died before it removed the journal leaves the new base
  // holding the change already; a person editing the base does the same.
  machine::WriteFileAtomically(Base(), "base\nold change\n");
  EXPECT_EQ(ReadFresh(), "base\nold change\n");
  AppendFresh("new change\n");
  EXPECT_EQ(ReadFresh(), "base\nold change\nnew change\n");
}

TEST_F(Journal, ReaderAppliesOnlyWhatWasAppendedSince) {
  machine::WriteFileAtomically(Base(), "base\n");
  JournaledFile reader(Base());
  EXPECT_TRUE(reader.Refresh().whole);
  AppendFresh("one\n");  // begins the journal
  JournaledFile::Changes changes = reader.Refresh();
  EXPECT_FALSE(changes.whole);
  EXPECT_EQ(changes.records, std::vector<std::string>{"one\n"});
  AppendFresh("two\n");
  AppendFresh("three\n");
  changes = reader.Refresh();
  EXPECT_FALSE(changes.whole);
  EXPECT_EQ(changes.records, (std::vector<std::string>{"two\n", "three\n"}));
  EXPECT_TRUE(reader.Refresh().records.empty());
}

TEST_F(Journal, GrownJournalIsFoldedIntoTheBase) {
  machine::WriteFileAtomically(Base(), "");
  JournaledFile writer(Base());
  writer.Refresh();
  std::string text;
  const std::string record = std::string(99, 'x') + "\n";
  size_t longest = 0;
  bool folded = false;
  for (int i = 0; i < 2000; ++i) {
    text += record;
    writer.Append(record, [&] { return text; });
    const machine::FileInfo journal = machine::InspectFile(LogFile());
    longest = std::max<size_t>(longest, journal.size);
    folded = folded || !journal.exists;
  }
  EXPECT_TRUE(folded);
  EXPECT_LE(longest, 64u * 1024 + 200);
  EXPECT_EQ(ReadFresh(), text);
  machine::FoldJournals(image.Root());  // knows nothing of notes.txt: leaves it
  EXPECT_EQ(ReadFresh(), text);
}

// ---- the registry's journal ---------------------------------------------------

void RunInChild(const std::function<void()>& body) {
  const pid_t pid = fork();
  if (pid == 0) {
    body();
    _exit(::testing::Test::HasFailure() ? 1 : 0);
  }
  ASSERT_GT(pid, 0);
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

std::u16string ExportOf(const char16_t* path) {
  std::u16string text;
  EXPECT_TRUE(machine::registry::ExportKeyText(path, u"\n", text));
  return text;
}

class HiveJournal : public TempMachineTest {};

TEST_F(HiveJournal, ChangeAppendsAndLeavesTheHiveFile) {
  ScopedKey key(MakeKey(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Vendor"));
  SetValue(key.get(), u"First", REG_DWORD, Dword(1));
  const fs::path hive = image.Root() / "registry" / "HKLM.reg";
  const std::string stamp = machine::StampOf(hive);
  const uint64_t journal = machine::InspectFile(image.Root() / "registry" / "HKLM.reg.log").size;
  SetValue(key.get(), u"Second", REG_SZ, Utf16(u"two"));
  EXPECT_EQ(machine::StampOf(hive), stamp);
  EXPECT_GT(machine::InspectFile(image.Root() / "registry" / "HKLM.reg.log").size, journal);
  EXPECT_NE(image.ReadHostFile("registry/HKLM.reg").find("\"Second\"=\"two\""), std::string::npos);
  EXPECT_FALSE(fs::exists(image.Root() / "registry" / "HKLM.reg.log"));
}

// Every kind of change another process makes reaches this one through the
// journal's tail, and leaves it where a fresh reading of the files does.
TEST_F(HiveJournal, OtherProcessChangesReplayAsAFreshReadingSees) {
  ScopedKey key(MakeKey(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Shared"));
  ScopedKey doomed(MakeKey(key.get(), u"Doomed\\Below"));
  SetValue(key.get(), u"Gone", REG_SZ, Utf16(u"x"));
  SetValue(key.get(), u"", REG_SZ, Utf16(u"default"));
  const std::u16string before = ExportOf(u"HKLM\\SOFTWARE\\Shared");
  RunInChild([] {
    ScopedKey shared(MakeKey(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Shared"));
    ScopedKey(MakeKey(shared.get(), u"New\\Deep \u03A9"));
    SetValue(shared.get(), u"name \"with\" \\ = [and]\nbreak", REG_BINARY, Bytes(200, 7));
    SetValue(shared.get(), std::u16string{u'a', char16_t(0xD800)}.c_str(), REG_SZ,
             Utf16(u"one\r\ntwo"));
    EXPECT_EQ(RegDeleteValueW(shared.get(), u"Gone"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueW(shared.get(), nullptr), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyW(shared.get(), u"Doomed\\Below"), ERROR_SUCCESS);
    machine::registry::ImportRegFile(
        "Windows Registry Editor Version 5.00\n\n[HKEY_CLASSES_ROOT\\.qvr]\n@=\"Quaver\"\n\n"
        "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Shared\\Doomed]\n\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Shared\\Imported]\n\"n\"=dword:00000005\n",
        "change.reg");
  });
  // The handle to the deleted key learns it without the hive being read anew.
  Bytes data = Dword(1);
  EXPECT_EQ(RegSetValueExW(doomed.get(), u"X", 0, REG_DWORD, data.data(), 4), ERROR_KEY_DELETED);
  const std::u16string replayed = ExportOf(u"HKLM\\SOFTWARE\\Shared");
  const std::u16string classes = ExportOf(u"HKCR\\.qvr");
  EXPECT_NE(replayed, before);
  EXPECT_NE(classes.find(u"@=\"Quaver\""), std::u16string::npos);

  { TempMachine other; }  // a new store: the next call reads the files afresh
  machine::SelectMachine(image.Root());
  EXPECT_EQ(ExportOf(u"HKLM\\SOFTWARE\\Shared"), replayed);
  machine::FoldJournals(image.Root());
  EXPECT_EQ(ExportOf(u"HKLM\\SOFTWARE\\Shared"), replayed);
  EXPECT_EQ(ExportOf(u"HKCR\\.qvr"), classes);
}

// ---- the access lists' journal -----------------------------------------------

std::string AccessListsSeen(const fs::path& root) {
  winsec::AccessListFile fresh(root);
  return fresh.Read().Serialize();
}

DWORD Protect(const char16_t* path, const char* entries) {
  TestAcl acl(entries);
  std::u16string name(path);
  return SetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT,
                               DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                               nullptr, nullptr, acl.get(), nullptr);
}

class AccessListJournal : public TempMachineTest {};

TEST_F(AccessListJournal, OtherProcessChangesReplayAsAFreshReadingSees) {
  for (const char* folder : {"A/B/C", "D"}) fs::create_directories(image.DriveC() / folder);
  ASSERT_EQ(Protect(u"C:\\A\\B", "(A;OICI;FA;;;BA)"), ERROR_SUCCESS);
  ASSERT_EQ(Protect(u"C:\\A\\B\\C", "(A;OICI;FA;;;SY)"), ERROR_SUCCESS);
  ASSERT_EQ(Protect(u"C:\\D", "(A;OICI;FA;;;BU)"), ERROR_SUCCESS);
  const fs::path sddl = image.Root() / "security.sddl";
  const std::string stamp = machine::StampOf(sddl);
  RunInChild([] {
    EXPECT_EQ(Protect(u"C:\\A", "(A;OICI;FA;;;WD)"), ERROR_SUCCESS);
    EXPECT_EQ(Protect(u"C:\\D", "(A;OICI;0x1200a9;;;BU)"), ERROR_SUCCESS);
    EXPECT_TRUE(RemoveDirectoryW(u"C:\\A\\B\\C"));  // forgets C
    TestAcl acl("(A;OICI;FA;;;BA)");
    SECURITY_DESCRIPTOR descriptor;
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&descriptor, TRUE, acl.get(), FALSE);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, &descriptor, FALSE};
    EXPECT_TRUE(CreateDirectoryW(u"C:\\E", &attributes));
  });
  EXPECT_EQ(machine::StampOf(sddl), stamp);  // the changes went to the journal only
  std::string seen;
  {
    std::lock_guard<machine::ImageLock> hold(machine::RequireMachine().Lock());
    seen = winsec::AccessListFile::Of(machine::RequireMachine()).Read().Serialize();
    EXPECT_EQ(AccessListsSeen(image.Root()), seen);
  }
  for (const char* line :
       {"file C:\\A D:P(A;OICI;FA;;;WD)\n", "file C:\\D D:P(A;OICI;0x1200a9;;;BU)\n",
        "file C:\\E D:(A;OICI;FA;;;BA)\n"}) {
    EXPECT_NE(seen.find(line), std::string::npos) << line << " in\n" << seen;
  }
  EXPECT_EQ(seen.find("C:\\A\\B\\C "), std::string::npos) << seen;
  EXPECT_EQ(image.ReadHostFile("security.sddl"), seen);
  EXPECT_FALSE(fs::exists(image.Root() / "security.sddl.log"));
}

// ---- the services' journal ---------------------------------------------------

constexpr char kServices[] =
    "; services kept by hand\n"
    "[W3SVC]\nState = running\nAccepts = stop\nStopPendingMs = 60000\n"
    "[WAS]\n; ends its stop at once\nState = stop pending\nPendingSince = 1\nAccepts = stop\n"
    "[FTPSVC]\nState = stopped\n";

bool Control(const char16_t* name, DWORD control) {
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  SC_HANDLE service = OpenServiceW(manager, name, SERVICE_ALL_ACCESS);
  SERVICE_STATUS status{};
  const BOOL done =
      control == 0 ? StartServiceW(service, 0, nullptr) : ControlService(service, control, &status);
  CloseServiceHandle(service);
  CloseServiceHandle(manager);
  return done;
}

std::string ServicesSeen(const fs::path& root) {
  machine::services::ServiceFile fresh(root);
  return fresh.Read().Serialize();
}

class ServiceJournal : public TempMachineTest {};

TEST_F(ServiceJournal, OtherProcessChangesReplayAsAFreshReadingSees) {
  image.WriteHostFile("services.ini", kServices);
  const fs::path file = image.Root() / "services.ini";
  ASSERT_TRUE(Control(u"FTPSVC", 0));  // read and changed here before the other process
  const std::string stamp = machine::StampOf(file);
  RunInChild([] {
    EXPECT_TRUE(Control(u"W3SVC", SERVICE_CONTROL_STOP));  // gains PendingSince
    EXPECT_TRUE(Control(u"WAS", 0));                       // loses it
    EXPECT_TRUE(machine::services::AddService("Extra", {{"State", "running"}}));
  });
  EXPECT_EQ(machine::StampOf(file), stamp);  // the changes went to the journal only
  const machine::IniFile seen = machine::services::ReadServices();
  EXPECT_EQ(ServicesSeen(image.Root()), seen.Serialize());
  EXPECT_EQ(seen.GetOr("W3SVC", "State", ""), "stop pending");
  EXPECT_NE(seen.Get("W3SVC", "PendingSince"), nullptr);
  EXPECT_EQ(seen.GetOr("WAS", "State", ""), "running");
  EXPECT_EQ(seen.Get("WAS", "PendingSince"), nullptr);
  EXPECT_EQ(seen.GetOr("FTPSVC", "State", ""), "running");
  EXPECT_EQ(seen.GetOr("Extra", "State", ""), "running");
  EXPECT_FALSE(machine::services::AddService("EXTRA", {{"State", "stopped"}}));

  const std::string folded = image.ReadHostFile("services.ini");
  EXPECT_EQ(folded, seen.Serialize());
  EXPECT_NE(folded.find("; ends its stop at once\n"), std::string::npos) << folded;
  EXPECT_FALSE(fs::exists(image.Root() / "services.ini.log"));
}

// A journal record the file's rules refuse is reported with the journal's
// name and line, as services.ini's own errors are.
TEST_F(ServiceJournal, MalformedRecordIsReportedNotSkipped) {
  image.WriteHostFile("services.ini", kServices);
  machine::JournaledFile journal(image.Root() / "services.ini");
  const std::string base = journal.Refresh().base;
  journal.Append("[W3SVC]\nState\n", [&] { return base; });
  try {
    ServicesSeen(image.Root());
    ADD_FAILURE() << "a malformed record was read";
  } catch (const machine::MachineError& error) {
    EXPECT_NE(std::string(error.what()).find("services.ini.log:2"), std::string::npos)
        << error.what();
  }
}

}  // namespace
}  // namespace quaver::test
