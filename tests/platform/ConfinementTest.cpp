// Nothing leaves the machine image: not through a symbolic link in a drive,
// not through the image's own files or folders made links, not through a
// hard link, and not through a folder swapped for a link while the calls
// run. Every case keeps a guard folder beside the image and checks that it
// is untouched.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/machine.h"
#include "platform/metabase/AdminBase.h"
#include "platform/security/AccessListFile.h"
#include "platform/security/SecurityStore.h"
#include "platform/text.h"
#include "platform/win.h"
#include "tests/support/TempMachine.h"

namespace fs = std::filesystem;

namespace {

constexpr DWORD kSentinel = 0xDEADBEEF;

class Confinement : public quaver::test::TempMachineTest {
 protected:
  void SetUp() override {
    guard = image.Root().parent_path() / (image.Root().filename().string() + "-guard");
    fs::create_directories(guard);
    WriteGuardFile("secret.txt", kSecret);
  }
  void TearDown() override { fs::remove_all(guard); }

  void WriteGuardFile(const std::string& relative, const std::string& bytes) const {
    fs::create_directories((guard / relative).parent_path());
    std::ofstream(guard / relative, std::ios::binary) << bytes;
  }
  std::string ReadGuardFile(const std::string& relative) const {
    std::ifstream in(guard / relative, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
  }
  // Everything below the guard folder, as relative names.
  std::vector<std::string> GuardContents() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(guard)) {
      names.push_back(entry.path().lexically_relative(guard).string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  void ExpectGuardUntouched(const std::vector<std::string>& expected) const {
    EXPECT_EQ(GuardContents(), expected);
    EXPECT_EQ(ReadGuardFile("secret.txt"), kSecret);
  }

  static DWORD CreateFileError(const std::u16string& path, DWORD access, DWORD disposition) {
    SetLastError(kSentinel);
    HANDLE file = CreateFileW(path.c_str(), access, 0, nullptr, disposition, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return GetLastError();
    CloseHandle(file);
    return ERROR_SUCCESS;
  }

  static constexpr const char* kSecret = "SECRET-WORD and more\n";
  fs::path guard;
};

TEST_F(Confinement, LinksInADriveLeadOnlyIntoTheImagesDrivesAndShares) {
  fs::create_directories(image.DriveC() / "real");
  fs::create_directories(image.Root() / "drive_d" / "data");
  image.WriteHostFile("registry/HKLM.reg", "hive");
  const struct {
    const char* link;
    std::string target;
    DWORD error;
    const char* landsIn;  // where a created file ends up, below the image root
  } cases[] = {
      {"out", guard.string(), ERROR_ACCESS_DENIED, nullptr},
      {"up", "../../" + guard.filename().string(), ERROR_ACCESS_DENIED, nullptr},
      {"toRoot", image.Root().string(), ERROR_ACCESS_DENIED, nullptr},
      {"toRootRel", "..", ERROR_ACCESS_DENIED, nullptr},
      {"toRegistry", "../registry", ERROR_ACCESS_DENIED, nullptr},
      {"nowhere", "missing/x", ERROR_ACCESS_DENIED, nullptr},
      {"loopA", "loopB", ERROR_CANT_RESOLVE_FILENAME, nullptr},
      {"loopB", "loopA", ERROR_CANT_RESOLVE_FILENAME, nullptr},
      {"alias", "real", ERROR_SUCCESS, "drive_c/real"},
      {"absolute", (image.DriveC() / "real").string(), ERROR_SUCCESS, "drive_c/real"},
      {"otherDrive", "../drive_d/data", ERROR_SUCCESS, "drive_d/data"},
  };
  for (const auto& c : cases) fs::create_symlink(c.target, image.DriveC() / c.link);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.link);
    const std::u16string folder = u"C:\\" + machine::FromUtf8(c.link);
    EXPECT_EQ(CreateFileError(folder + u"\\new.txt", GENERIC_WRITE, CREATE_ALWAYS), c.error);
    SetLastError(kSentinel);
    EXPECT_EQ(CreateDirectoryW((folder + u"\\new folder").c_str(), nullptr),
              c.error == ERROR_SUCCESS);
    EXPECT_EQ(GetLastError(), c.error == ERROR_SUCCESS ? kSentinel : c.error);
    if (c.landsIn != nullptr) {
      EXPECT_TRUE(fs::is_regular_file(image.Root() / c.landsIn / "new.txt"));
      EXPECT_TRUE(fs::is_directory(image.Root() / c.landsIn / "new folder"));
      EXPECT_TRUE(DeleteFileW((folder + u"\\new.txt").c_str()));
      EXPECT_TRUE(RemoveDirectoryW((folder + u"\\new folder").c_str()));
    }
  }
  ExpectGuardUntouched({"secret.txt"});
  EXPECT_EQ(image.ReadHostFile("registry/HKLM.reg"), "hive");
}

// A link to the image root reaches neither the registry nor machine.ini,
// whatever is done with it; the link itself can still be listed and removed.
TEST_F(Confinement, ALinkToTheImageRootReachesNoneOfItsOwnFiles) {
  image.WriteHostFile("registry/HKLM.reg", "hive");
  fs::create_symlink(image.Root(), image.DriveC() / "toRoot");
  const char16_t* const paths[] = {u"C:\\toRoot\\registry\\HKLM.reg", u"C:\\toRoot\\machine.ini",
                                   u"C:\\toRoot\\registry"};
  for (const char16_t* path : paths) {
    SCOPED_TRACE(machine::ToUtf8(path));
    EXPECT_EQ(CreateFileError(path, GENERIC_READ, OPEN_EXISTING), ERROR_ACCESS_DENIED);
    SetLastError(kSentinel);
    EXPECT_FALSE(DeleteFileW(path));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    SetLastError(kSentinel);
    EXPECT_EQ(GetFileAttributesW(path), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  }
  SetLastError(kSentinel);
  EXPECT_FALSE(RemoveDirectoryW(u"C:\\toRoot\\registry"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(image.ReadHostFile("registry/HKLM.reg"), "hive");

  // Listed as a link with nothing read behind it.
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW(u"C:\\toRoot", &found);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  EXPECT_EQ(found.dwFileAttributes, FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_REPARSE_POINT);
  EXPECT_EQ(found.ftLastWriteTime.dwHighDateTime, 0u);
  FindClose(search);
  // A refused link is removed as itself, by either call (its kind is not known).
  fs::create_symlink(guard, image.DriveC() / "out");
  EXPECT_TRUE(DeleteFileW(u"C:\\toRoot"));
  EXPECT_TRUE(RemoveDirectoryW(u"C:\\out"));
  EXPECT_FALSE(fs::exists(fs::symlink_status(image.DriveC() / "toRoot")));
  EXPECT_FALSE(fs::exists(fs::symlink_status(image.DriveC() / "out")));
  EXPECT_TRUE(fs::exists(image.Root() / "machine.ini"));
}

// The image's own files and folders made links to the guard: every store
// refuses them, reads nothing from them and writes nothing there.
TEST_F(Confinement, TheImagesOwnFilesAsLinksAreRefused) {
  WriteGuardFile("registry/HKLM.reg", "Windows Registry Editor Version 5.00\n\n");
  WriteGuardFile("services.ini", "[Outside]\nState = running\n");
  fs::remove_all(image.Root() / "registry");
  fs::create_directory_symlink(guard / "registry", image.Root() / "registry");
  fs::create_symlink(guard / "secret.txt", image.Root() / "security.sddl");
  fs::create_symlink(guard / "services.ini", image.Root() / "services.ini");
  fs::create_symlink(guard / "shell.log", image.Root() / "shell.log");

  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Planted", 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_BADDB);
  try {
    winsec::AccessListFile::Of(machine::RequireMachine()).Read();
    ADD_FAILURE() << "security.sddl read through a link";
  } catch (const machine::MachineError& error) {
    EXPECT_EQ(std::string(error.what()).find("SECRET"), std::string::npos) << error.what();
    EXPECT_NE(std::string(error.what()).find("symbolic link"), std::string::npos) << error.what();
  }
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  ASSERT_NE(manager, nullptr);
  SetLastError(kSentinel);
  EXPECT_EQ(OpenServiceW(manager, u"Outside", SERVICE_ALL_ACCESS), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA));
  CloseServiceHandle(manager);
  EXPECT_LE(reinterpret_cast<intptr_t>(
                ShellExecuteW(nullptr, u"open", u"C:\\x.txt", nullptr, nullptr, SW_SHOW)),
            32);
  EXPECT_THROW(machine::WriteFileAtomically(image.Root() / "shell.log", "x"),
               machine::MachineError);

  ExpectGuardUntouched({"registry", "registry/HKLM.reg", "secret.txt", "services.ini"});
  EXPECT_EQ(ReadGuardFile("registry/HKLM.reg"), "Windows Registry Editor Version 5.00\n\n");
  EXPECT_EQ(ReadGuardFile("services.ini"), "[Outside]\nState = running\n");
}

TEST_F(Confinement, MachineIniAndTheLockFileAreNotFollowed) {
  // The lock file as a link to nowhere outside: locking creates nothing there.
  fs::remove(image.Root() / ".machine.lock");
  machine::DeselectMachine();
  fs::create_symlink(guard / "lock", image.Root() / ".machine.lock");
  machine::SelectMachine(image.Root());
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Locked", 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);

  machine::DeselectMachine();
  fs::remove(image.Root() / "machine.ini");
  fs::create_symlink(guard / "secret.txt", image.Root() / "machine.ini");
  EXPECT_THROW(machine::SelectMachine(image.Root()), machine::MachineError);
  ExpectGuardUntouched({"secret.txt"});
}

// The metabase's folder made a link to a copy outside: the service neither
// reads nor rewrites it, and no backup folder appears there.
TEST_F(Confinement, AMetabaseFolderLinkedOutIsNeitherReadNorWritten) {
  const std::string metabase =
      "<Metabase>\n  <Key name=\"LM\">\n    <Key name=\"W3SVC\"/>\n  </Key>\n</Metabase>\n";
  WriteGuardFile("inetsrv/MetaBase.xml", metabase);
  const fs::path inetsrv = image.DriveC() / "Windows" / "System32" / "inetsrv";
  fs::remove_all(inetsrv);
  fs::create_directories(inetsrv.parent_path());
  fs::create_directory_symlink(guard / "inetsrv", inetsrv);

  void* object = nullptr;
  ASSERT_EQ(metabase::CreateAdminBase(IID_IMSAdminBase_W, &object), S_OK);
  auto* admin = static_cast<IMSAdminBaseW*>(object);
  METADATA_HANDLE handle = 0;
  EXPECT_EQ(admin->OpenKey(METADATA_MASTER_ROOT_HANDLE, u"/LM/W3SVC",
                           METADATA_PERMISSION_READ | METADATA_PERMISSION_WRITE, 1000, &handle),
            MD_ERROR_READ_METABASE_FILE);
  EXPECT_EQ(admin->SaveData(), MD_ERROR_READ_METABASE_FILE);
  EXPECT_EQ(admin->Backup(u"Planted", MD_BACKUP_NEXT_VERSION, MD_BACKUP_FORCE_BACKUP),
            MD_ERROR_READ_METABASE_FILE);
  admin->Release();
  // Written directly, the service's files are refused as well.
  EXPECT_THROW(machine::WriteFileAtomically(inetsrv / "MetaBack" / "Planted.MD0", "x"),
               machine::MachineError);
  ExpectGuardUntouched({"inetsrv", "inetsrv/MetaBase.xml", "secret.txt"});
  EXPECT_EQ(ReadGuardFile("inetsrv/MetaBase.xml"), metabase);
}

// A file of the image that is a second name of a file outside is read, but
// never written through; its name in the image can be removed.
TEST_F(Confinement, HardLinksToFilesOutsideAreNotWrittenThrough) {
  fs::create_hard_link(guard / "secret.txt", image.DriveC() / "shared.txt");
  const struct {
    DWORD access;
    DWORD disposition;
  } writes[] = {
      {GENERIC_WRITE, OPEN_EXISTING},
      {GENERIC_WRITE, CREATE_ALWAYS},
      {GENERIC_WRITE, TRUNCATE_EXISTING},
      {FILE_APPEND_DATA, OPEN_ALWAYS},
      {GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS},
  };
  for (const auto& w : writes) {
    SCOPED_TRACE(std::to_string(w.access) + "/" + std::to_string(w.disposition));
    EXPECT_EQ(CreateFileError(u"C:\\shared.txt", w.access, w.disposition), ERROR_ACCESS_DENIED);
  }
  std::string bytes;
  HANDLE file = CreateFileW(u"C:\\shared.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  char buffer[64];
  DWORD read = 0;
  EXPECT_TRUE(ReadFile(file, buffer, sizeof buffer, &read, nullptr));
  EXPECT_EQ(std::string(buffer, read), kSecret);
  CloseHandle(file);

  // The image's own files are replaced by rename, which leaves the other name alone.
  fs::remove(image.Root() / "security.sddl");
  fs::create_hard_link(guard / "secret.txt", image.Root() / "security.sddl");
  machine::WriteFileAtomically(image.Root() / "security.sddl", "# replaced\n");
  EXPECT_EQ(image.ReadHostFile("security.sddl"), "# replaced\n");

  EXPECT_TRUE(DeleteFileW(u"C:\\shared.txt"));
  ExpectGuardUntouched({"secret.txt"});
}

TEST_F(Confinement, APipeInTheImageIsRefusedRatherThanWaitedOn) {
  ASSERT_EQ(::mkfifo((image.DriveC() / "pipe").c_str(), 0644), 0);
  EXPECT_EQ(CreateFileError(u"C:\\pipe", GENERIC_READ, OPEN_EXISTING), ERROR_ACCESS_DENIED);
  EXPECT_EQ(CreateFileError(u"C:\\pipe", GENERIC_WRITE, OPEN_EXISTING), ERROR_ACCESS_DENIED);
  EXPECT_THROW(machine::ReadWholeFile(image.DriveC() / "pipe"), machine::MachineError);
}

// One thread swaps a folder (or a file) of the image for a link to the
// guard and back, a fixed number of times, while this one creates files and
// folders through it: each call lands inside the image or fails.
class ConfinementRace : public Confinement {
 protected:
  static constexpr int kRounds = 8000;

  template <typename Swap, typename Use>
  void Race(Swap swap, Use use) {
    std::atomic<bool> done{false};
    std::thread swapper([&] {
      for (int round = 0; round < kRounds; ++round) swap();
      done = true;
    });
    for (int call = 0; !done; ++call) use(call);
    swapper.join();
  }
};

TEST_F(ConfinementRace, AFolderSwappedForALink) {
  const fs::path race = image.DriveC() / "race";
  const fs::path parked = image.DriveC() / "parked";
  fs::create_directories(race);
  Race(
      [&] {
        std::error_code ec;
        fs::rename(race, parked, ec);
        fs::create_directory_symlink(guard, race, ec);
        fs::remove(race, ec);
        fs::rename(parked, race, ec);
      },
      [](int call) {
        const std::u16string name = u"C:\\race\\" + machine::FromUtf8(std::to_string(call));
        HANDLE file = CreateFileW((name + u".txt").c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_ALWAYS, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        CreateDirectoryW(name.c_str(), nullptr);
      });
  ExpectGuardUntouched({"secret.txt"});
}

TEST_F(ConfinementRace, AFileSwappedForALink) {
  image.WriteHostFile("drive_c/race/leaf.txt", "inside");
  const fs::path leaf = image.DriveC() / "race" / "leaf.txt";
  const fs::path parked = image.DriveC() / "race" / "parked.txt";
  Race(
      [&] {
        std::error_code ec;
        fs::rename(leaf, parked, ec);
        fs::create_symlink(guard / "secret.txt", leaf, ec);
        fs::remove(leaf, ec);
        fs::rename(parked, leaf, ec);
      },
      [](int call) {
        const DWORD disposition = call % 2 == 0 ? OPEN_ALWAYS : CREATE_ALWAYS;
        HANDLE file =
            CreateFileW(u"C:\\race\\leaf.txt", GENERIC_WRITE, 0, nullptr, disposition, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return;
        DWORD written = 0;
        WriteFile(file, "planted", 7, &written, nullptr);
        CloseHandle(file);
      });
  ExpectGuardUntouched({"secret.txt"});
}

// Whoever can write where an image is being made plants links in it as soon
// as its folder appears: nothing of the new image lands outside it.
TEST_F(ConfinementRace, LinksPlantedInAnImageBeingMade) {
  constexpr int kImages = 60;
  int refused = 0;
  for (int round = 0; round < kImages; ++round) {
    const fs::path fresh = image.Root().parent_path() /
                           (image.Root().filename().string() + "-new" + std::to_string(round));
    std::atomic<bool> done{false};
    std::thread planter([&] {
      std::error_code ec;
      while (!done && !fs::exists(fresh, ec)) std::this_thread::yield();
      while (!done) {
        fs::create_directory_symlink(guard, fresh / "drive_c", ec);
        fs::create_directory_symlink(guard, fresh / "unc", ec);
        if (!ec) break;
      }
    });
    try {
      machine::CreateImage(fresh);
    } catch (const machine::MachineError&) {
      ++refused;
    }
    done = true;
    planter.join();
    fs::remove_all(fresh);
  }
  ExpectGuardUntouched({"secret.txt"});
  RecordProperty("refused", refused);
}

}  // namespace
