// One image changed by several processes at once: no change is lost, and a
// writer killed at any moment leaves the old or the new file and nothing
// that blocks the next writer.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/machine.h"
#include "platform/registry/RegistryStore.h"
#include "platform/text.h"
#include "platform/win.h"
#include "tests/platform/SecurityTestSupport.h"
#include "tests/support/TempMachine.h"

namespace quaver::test {
namespace {

namespace fs = std::filesystem;

// Runs body(0..count-1) in as many forked processes at once; true when every
// one of them returned 0.
bool RunInProcesses(int count, const std::function<int(int)>& body) {
  std::vector<pid_t> children;
  for (int i = 0; i < count; ++i) {
    const pid_t pid = fork();
    if (pid == 0) _exit(body(i));
    if (pid < 0) return false;
    children.push_back(pid);
  }
  bool ok = true;
  for (pid_t pid : children) {
    int status = 0;
    waitpid(pid, &status, 0);
    ok = ok && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
  return ok;
}

std::vector<std::string> Leftovers(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    if (name.find(".tmp-") != std::string::npos) names.push_back(name);
  }
  return names;
}

std::u16string Name(const char* prefix, int process, int i) {
  return machine::FromUtf8(prefix + std::to_string(process) + "-" + std::to_string(i));
}

HKEY OpenSoftwareKey() {
  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Shared", 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  return key;
}

LSTATUS SetDword(HKEY key, const std::u16string& name, DWORD value) {
  return RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                        sizeof value);
}

class ImageSharing : public TempMachineTest {};

TEST_F(ImageSharing, ParallelRegistryWritersLoseNoValue) {
  constexpr int kPerProcess = 150;
  RegCloseKey(OpenSoftwareKey());
  ASSERT_TRUE(RunInProcesses(2, [](int process) {
    HKEY key = OpenSoftwareKey();
    for (int i = 0; i < kPerProcess; ++i) {
      if (SetDword(key, Name("v", process, i), static_cast<DWORD>(i)) != ERROR_SUCCESS) return 1;
    }
    RegCloseKey(key);
    return 0;
  }));
  HKEY key = OpenSoftwareKey();
  for (int process = 0; process < 2; ++process) {
    for (int i = 0; i < kPerProcess; ++i) {
      DWORD value = 0;
      DWORD size = sizeof value;
      ASSERT_EQ(RegQueryValueExW(key, Name("v", process, i).c_str(), nullptr, nullptr,
                                 reinterpret_cast<BYTE*>(&value), &size),
                ERROR_SUCCESS)
          << "lost value of process " << process << ", number " << i;
      EXPECT_EQ(value, static_cast<DWORD>(i));
    }
  }
  RegCloseKey(key);
  EXPECT_TRUE(Leftovers(image.Root() / "registry").empty());
}

TEST_F(ImageSharing, ParallelAccessListWritersLoseNoRecord) {
  constexpr int kPerProcess = 40;
  for (int process = 0; process < 2; ++process) {
    for (int i = 0; i < kPerProcess; ++i) {
      fs::create_directories(image.DriveC() / machine::ToUtf8(Name("d", process, i)));
    }
  }
  ASSERT_TRUE(RunInProcesses(2, [](int process) {
    TestAcl acl("(A;OICI;FA;;;BA)");
    for (int i = 0; i < kPerProcess; ++i) {
      std::u16string path = u"C:\\" + Name("d", process, i);
      if (SetNamedSecurityInfoW(path.data(), SE_FILE_OBJECT,
                                DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                nullptr, nullptr, acl.get(), nullptr) != ERROR_SUCCESS) {
        return 1;
      }
    }
    return 0;
  }));
  const std::string sddl = image.ReadHostFile("security.sddl");
  for (int process = 0; process < 2; ++process) {
    for (int i = 0; i < kPerProcess; ++i) {
      const std::string line = "file C:\\" + machine::ToUtf8(Name("d", process, i)) + " D:P";
      EXPECT_NE(sddl.find(line), std::string::npos) << "lost record " << line;
    }
  }
}

TEST_F(ImageSharing, ParallelServiceStopsBothTakeEffect) {
  constexpr int kTrials = 15;
  for (int trial = 0; trial < kTrials; ++trial) {
    image.WriteHostFile("services.ini",
                        "[W3SVC]\nState = running\nAccepts = stop\nStopPendingMs = 60000\n"
                        "[WAS]\nState = running\nAccepts = stop\nStopPendingMs = 60000\n");
    ASSERT_TRUE(RunInProcesses(2, [](int process) {
      SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
      SC_HANDLE service = OpenServiceW(manager, process == 0 ? u"W3SVC" : u"WAS", SERVICE_STOP);
      SERVICE_STATUS status{};
      const BOOL stopped = ControlService(service, SERVICE_CONTROL_STOP, &status);
      CloseServiceHandle(service);
      CloseServiceHandle(manager);
      return stopped ? 0 : 1;
    }));
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    for (const char16_t* name : {u"W3SVC", u"WAS"}) {
      SC_HANDLE service = OpenServiceW(manager, name, SERVICE_QUERY_STATUS);
      SERVICE_STATUS status{};
      ASSERT_TRUE(QueryServiceStatus(service, &status));
      EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOP_PENDING))
          << machine::ToUtf8(name) << " in trial " << trial;
      CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
  }
}

// A temporary name that a writer with the same pid once held, as the first
// process of every container has, and one of a writer killed midway.
TEST_F(ImageSharing, LeftoversOfDeadWritersNeitherBlockNorStay) {
  const fs::path dir = image.Root() / "registry";
  fs::create_directories(dir);
  const std::string pid = std::to_string(getpid());
  for (const std::string& name :
       std::vector<std::string>{".HKLM.reg.tmp-1-0", ".HKLM.reg.tmp-" + pid + "-0",
                                ".HKLM.reg.tmp-" + pid + "-1f2e3d-0"}) {
    image.WriteHostFile("registry/" + name, "half a hive");
  }
  HKEY key = OpenSoftwareKey();
  EXPECT_EQ(SetDword(key, u"After", 1), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(Leftovers(dir), std::vector<std::string>());
}

// Kills a process that rewrites `file` over and over at random moments; each
// time the file must be one of the states written and the next write must
// succeed and leave no temporary file behind.
void KillWriterRepeatedly(const fs::path& file, const std::function<void(int)>& write,
                          const std::function<void(const std::string&)>& check) {
  std::mt19937 random(12345);
  for (int round = 0; round < 8; ++round) {
    const pid_t pid = fork();
    if (pid == 0) {
      for (int i = 0;; ++i) write(i);
    }
    ASSERT_GT(pid, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(20 + random() % 80));
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    check(machine::ReadWholeFile(file));
    write(round);
    EXPECT_EQ(Leftovers(file.parent_path()), std::vector<std::string>()) << "round " << round;
  }
}

TEST_F(ImageSharing, KilledHiveWriterLeavesAReadableHive) {
  std::string hive =
      "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Shared]\n"
      "\"Counter\"=dword:00000000\n";
  for (int i = 0; i < 20000; ++i) {
    hive += "\"big0-" + std::to_string(i) + "\"=hex:" + std::string(3 * 60 - 1, '5') + "\n";
  }
  for (size_t i = hive.find("=hex:"); i != std::string::npos; i = hive.find("=hex:", i + 1)) {
    for (size_t j = i + 7; j < i + 5 + 3 * 60 - 1; j += 3) hive[j] = ',';
  }
  image.WriteHostFile("registry/HKLM.reg", hive);
  HKEY key = OpenSoftwareKey();
  KillWriterRepeatedly(
      image.Root() / "registry" / "HKLM.reg",
      [key](int i) {
        if (SetDword(key, u"Counter", static_cast<DWORD>(i)) != ERROR_SUCCESS) _exit(1);
      },
      [key](const std::string&) {
        DWORD value = 0;
        DWORD size = sizeof value;
        EXPECT_EQ(RegQueryValueExW(key, u"big0-19999", nullptr, nullptr, nullptr, &size),
                  ERROR_SUCCESS);
        EXPECT_EQ(RegQueryValueExW(key, u"Counter", nullptr, nullptr,
                                   reinterpret_cast<BYTE*>(&value), &size),
                  ERROR_SUCCESS);
      });
  RegCloseKey(key);
}

// A small hive folds its journal every few hundred changes, so the writer
// is killed while appending and while folding alike. Each change sets V<i>
// and then Counter = i: whatever the state left, it holds every V up to
// the Counter it shows, and nothing torn.
TEST_F(ImageSharing, KilledJournalWriterLeavesAnEarlierState) {
  std::string hive =
      "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Filler]\n";
  for (int i = 0; i < 2000; ++i) hive += "\"f" + std::to_string(i) + "\"=dword:00000001\n";
  image.WriteHostFile("registry/HKLM.reg", hive);
  HKEY key = OpenSoftwareKey();
  KillWriterRepeatedly(
      image.Root() / "registry" / "HKLM.reg",
      [key](int i) {
        if (SetDword(key, Name("V", 0, i), static_cast<DWORD>(i)) != ERROR_SUCCESS ||
            SetDword(key, u"Counter", static_cast<DWORD>(i)) != ERROR_SUCCESS) {
          _exit(1);
        }
      },
      [key](const std::string&) {
        DWORD counter = 0;
        DWORD size = sizeof counter;
        ASSERT_EQ(RegQueryValueExW(key, u"Counter", nullptr, nullptr,
                                   reinterpret_cast<BYTE*>(&counter), &size),
                  ERROR_SUCCESS);
        for (DWORD i = 0; i <= counter; ++i) {
          DWORD value = 0;
          size = sizeof value;
          ASSERT_EQ(RegQueryValueExW(key, Name("V", 0, static_cast<int>(i)).c_str(), nullptr,
                                     nullptr, reinterpret_cast<BYTE*>(&value), &size),
                    ERROR_SUCCESS)
              << "V" << i << " missing below Counter " << counter;
          EXPECT_EQ(value, i);
        }
        // What this process reports written, a fresh reading finds.
        const DWORD probe = counter + 1000000;
        ASSERT_EQ(SetDword(key, u"Probe", probe), ERROR_SUCCESS);
        EXPECT_TRUE(RunInProcesses(1, [probe](int) {
          machine::registry::Store::Current()->Invalidate(machine::registry::Hive::LocalMachine);
          HKEY fresh = OpenSoftwareKey();
          DWORD value = 0;
          DWORD size = sizeof value;
          const LSTATUS status = RegQueryValueExW(fresh, u"Probe", nullptr, nullptr,
                                                  reinterpret_cast<BYTE*>(&value), &size);
          return status == ERROR_SUCCESS && value == probe ? 0 : 1;
        }));
      });
  RegCloseKey(key);
}

TEST_F(ImageSharing, KilledConfigWriterLeavesOldOrNewFile) {
  const fs::path file = image.DriveC() / "Windows/System32/inetsrv/config/applicationHost.config";
  std::string states[2];
  for (int which = 0; which < 2; ++which) {
    states[which] = "<configuration>\n<system.applicationHost>\n<sites>\n";
    for (int site = 0; site < 20000; ++site) {
      states[which] += "<site name=\"s" + std::to_string(site) + "\" id=\"" +
                       std::to_string(site + which) + "\" />\n";
    }
    states[which] += "</sites>\n</system.applicationHost>\n</configuration>\n";
  }
  machine::WriteFileAtomically(file, states[0]);
  KillWriterRepeatedly(
      file,
      [&](int i) {
        std::lock_guard<machine::ImageLock> hold(machine::RequireMachine().Lock());
        machine::WriteFileAtomically(file, states[i % 2]);
      },
      [&](const std::string& text) {
        EXPECT_TRUE(text == states[0] || text == states[1]) << "torn file of " << text.size();
      });
}

}  // namespace
}  // namespace quaver::test
