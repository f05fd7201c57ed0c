// The service control manager over services.ini, on a driven clock.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/clock.h"
#include "platform/machine.h"
#include "platform/services/Services.h"
#include "platform/win.h"
#include "tests/support/TempMachine.h"

namespace quaver::test {
namespace {

constexpr const char* kServices =
    "[W3SVC]\n"
    "DisplayName = World Wide Web Publishing Service\n"
    "State = running\n"
    "Accepts = stop, pause\n"
    "StartPendingMs = 1500\n"
    "StopPendingMs = 2000\n"
    "PausePendingMs = 500\n"
    "[Stuck]\n"
    "State = running\n"
    "StopPendingMs = 1000\n"
    "Hang = stop\n"
    "[Off]\n"
    "State = stopped\n"
    "StartType = disabled\n"
    "[Quick]\n"
    "State = stopped\n";

class ServiceControl : public TempMachineTest {
 protected:
  void SetUp() override {
    image.WriteHostFile("services.ini", kServices);
    manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    ASSERT_NE(manager, nullptr);
  }
  void TearDown() override {
    for (SC_HANDLE handle : opened) CloseServiceHandle(handle);
    CloseServiceHandle(manager);
  }
  SC_HANDLE Open(const char16_t* name, DWORD access = SERVICE_ALL_ACCESS) {
    SC_HANDLE handle = OpenServiceW(manager, name, access);
    EXPECT_NE(handle, nullptr) << "opening a test service";
    opened.push_back(handle);
    return handle;
  }
  SERVICE_STATUS Query(SC_HANDLE service) {
    SERVICE_STATUS status{};
    EXPECT_TRUE(QueryServiceStatus(service, &status));
    return status;
  }

  machine::ManualClock clock;
  SC_HANDLE manager = nullptr;
  std::vector<SC_HANDLE> opened;
};

TEST_F(ServiceControl, StopStaysPendingForItsTime) {
  SC_HANDLE w3svc = Open(u"w3svc");
  SERVICE_STATUS status{};
  ASSERT_TRUE(ControlService(w3svc, SERVICE_CONTROL_STOP, &status));
  EXPECT_EQ(status.dwCurrentState, SERVICE_STOP_PENDING);
  EXPECT_EQ(status.dwWaitHint, 2000u);
  EXPECT_EQ(status.dwCheckPoint, 1u);
  EXPECT_NE(image.ReadHostFile("services.ini").find("stop pending"), std::string::npos);

  clock.Advance(1999);
  EXPECT_EQ(Query(w3svc).dwCurrentState, SERVICE_STOP_PENDING);
  clock.Advance(1);
  status = Query(w3svc);
  EXPECT_EQ(status.dwCurrentState, SERVICE_STOPPED);
  EXPECT_EQ(status.dwControlsAccepted, 0u);
}

TEST_F(ServiceControl, StartAndPauseRunTheirTransitions) {
  SC_HANDLE quick = Open(u"Quick");
  ASSERT_TRUE(StartServiceW(quick, 0, nullptr));
  EXPECT_EQ(Query(quick).dwCurrentState, SERVICE_RUNNING) << "no start time set: running at once";

  SC_HANDLE w3svc = Open(u"W3SVC");
  EXPECT_EQ(Query(w3svc).dwControlsAccepted, SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_PAUSE_CONTINUE);
  SERVICE_STATUS status{};
  ASSERT_TRUE(ControlService(w3svc, SERVICE_CONTROL_PAUSE, &status));
  EXPECT_EQ(status.dwCurrentState, SERVICE_PAUSE_PENDING);
  clock.Advance(500);
  EXPECT_EQ(Query(w3svc).dwCurrentState, SERVICE_PAUSED);
  ASSERT_TRUE(ControlService(w3svc, SERVICE_CONTROL_CONTINUE, &status));
  EXPECT_EQ(Query(w3svc).dwCurrentState, SERVICE_RUNNING) << "no continue time set";
}

TEST_F(ServiceControl, HangingServiceNeverLeavesPending) {
  SC_HANDLE stuck = Open(u"Stuck");
  SERVICE_STATUS status{};
  ASSERT_TRUE(ControlService(stuck, SERVICE_CONTROL_STOP, &status));
  clock.Advance(24 * 3600 * 1000);
  EXPECT_EQ(Query(stuck).dwCurrentState, SERVICE_STOP_PENDING);
}

struct Refusal {
  const char16_t* service;
  DWORD access;
  DWORD control;  // 0: StartServiceW
  DWORD error;
};

class ServiceRefusals : public ServiceControl, public ::testing::WithParamInterface<Refusal> {};

TEST_P(ServiceRefusals, RequestFailsWithTheDocumentedError) {
  const Refusal& refusal = GetParam();
  SC_HANDLE service = Open(refusal.service, refusal.access);
  std::string before = image.ReadHostFile("services.ini");
  SetLastError(0);
  SERVICE_STATUS status{};
  BOOL result = refusal.control ? ControlService(service, refusal.control, &status)
                                : StartServiceW(service, 0, nullptr);
  EXPECT_FALSE(result);
  EXPECT_EQ(GetLastError(), refusal.error);
  EXPECT_EQ(image.ReadHostFile("services.ini"), before);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ServiceRefusals,
    ::testing::Values(
        Refusal{u"W3SVC", SERVICE_ALL_ACCESS, 0, ERROR_SERVICE_ALREADY_RUNNING},
        Refusal{u"Quick", SERVICE_ALL_ACCESS, SERVICE_CONTROL_STOP, ERROR_SERVICE_NOT_ACTIVE},
        Refusal{u"Off", SERVICE_ALL_ACCESS, 0, ERROR_SERVICE_DISABLED},
        Refusal{u"Stuck", SERVICE_ALL_ACCESS, SERVICE_CONTROL_PAUSE, ERROR_INVALID_SERVICE_CONTROL},
        // 0xF003F grants start and stop but not pause and continue.
        Refusal{u"W3SVC", 0xF003F, SERVICE_CONTROL_PAUSE, ERROR_ACCESS_DENIED},
        Refusal{u"W3SVC", SERVICE_QUERY_STATUS, SERVICE_CONTROL_STOP, ERROR_ACCESS_DENIED},
        Refusal{u"Quick", SERVICE_QUERY_STATUS, 0, ERROR_ACCESS_DENIED},
        Refusal{u"W3SVC", SERVICE_ALL_ACCESS, 77, ERROR_INVALID_PARAMETER}));

TEST_F(ServiceControl, PendingServiceCannotTakeControls) {
  SC_HANDLE w3svc = Open(u"W3SVC");
  SERVICE_STATUS status{};
  ASSERT_TRUE(ControlService(w3svc, SERVICE_CONTROL_STOP, &status));
  status.dwCurrentState = 0;
  EXPECT_FALSE(ControlService(w3svc, SERVICE_CONTROL_STOP, &status));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_CANNOT_ACCEPT_CTRL));
  EXPECT_EQ(status.dwCurrentState, SERVICE_STOP_PENDING) << "the latest status comes back anyway";
}

TEST_F(ServiceControl, OpeningRefusals) {
  EXPECT_EQ(OpenServiceW(manager, u"NoSuchService", SERVICE_ALL_ACCESS), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
  EXPECT_EQ(OpenServiceW(manager, u"bad\\name", SERVICE_ALL_ACCESS), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));
  EXPECT_EQ(OpenServiceA(manager, nullptr, SERVICE_ALL_ACCESS), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));
  EXPECT_EQ(OpenSCManagerW(u"\\\\ELSEWHERE", nullptr, SC_MANAGER_ALL_ACCESS), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(RPC_S_SERVER_UNAVAILABLE));
  EXPECT_EQ(OpenSCManagerW(nullptr, u"Elsewhere", SC_MANAGER_ALL_ACCESS), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DATABASE_DOES_NOT_EXIST));

  SC_HANDLE service = OpenServiceA(manager, "w3svc", SERVICE_ALL_ACCESS);
  ASSERT_NE(service, nullptr);
  EXPECT_FALSE(CloseHandle(reinterpret_cast<HANDLE>(service))) << "not a kernel handle";
  EXPECT_TRUE(CloseServiceHandle(service));
  EXPECT_FALSE(CloseServiceHandle(service));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  SERVICE_STATUS status{};
  EXPECT_FALSE(QueryServiceStatus(service, &status));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(ServiceControl, MalformedSettingIsReportedNotGuessed) {
  SC_HANDLE w3svc = Open(u"W3SVC");
  image.WriteHostFile("services.ini", "[W3SVC]\nState = sleeping\n");
  SERVICE_STATUS status{};
  EXPECT_FALSE(QueryServiceStatus(w3svc, &status));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA));
  EXPECT_NE(machine::services::LastServicesError().find(
                "services.ini:2: [W3SVC] State = \"sleeping\" is not a service state"),
            std::string::npos)
      << machine::services::LastServicesError();
}

// A FIFO in the file's place is refused at once instead of waited on.
TEST_F(ServiceControl, ServicesFileThatIsNoFileIsRefused) {
  const std::filesystem::path file = image.Root() / "services.ini";
  std::filesystem::remove(file);
  ASSERT_EQ(::mkfifo(file.c_str(), 0644), 0);
  EXPECT_EQ(OpenServiceW(manager, u"W3SVC", SERVICE_QUERY_STATUS), nullptr);
  EXPECT_NE(machine::services::LastServicesError().find("services.ini: not a regular file"),
            std::string::npos)
      << machine::services::LastServicesError();
}

TEST_F(ServiceControl, SleepMovesOnlyTheManualClock) {
  uint64_t start = clock.Now();
  Sleep(500);
  Sleep(250);
  EXPECT_EQ(clock.Now() - start, 750u);
  EXPECT_EQ(clock.Sleeps(), 2u);
  EXPECT_EQ(machine::ClockNow(), clock.Now());
}

}  // namespace
}  // namespace quaver::test
