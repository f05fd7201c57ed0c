// ControlService decides by the controls the service accepts at the moment
// it is asked, and knows every control code Windows lets a caller send.
#include <gtest/gtest.h>

#include <vector>

#include "platform/clock.h"
#include "platform/win.h"
#include "tests/support/TempMachine.h"

namespace quaver::test {
namespace {

constexpr const char* kServices =
    "[W3SVC]\n"
    "State = running\n"
    "Accepts = stop, pause\n"
    "StopPendingMs = 2000\n"
    "PausePendingMs = 500\n"
    "ContinuePendingMs = 500\n";

class ServiceControlCodes : public TempMachineTest {
 protected:
  void SetUp() override {
    image.WriteHostFile("services.ini", kServices);
    manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    ASSERT_NE(manager, nullptr);
    service = OpenServiceW(manager, u"W3SVC", SERVICE_ALL_ACCESS);
    ASSERT_NE(service, nullptr);
  }
  void TearDown() override {
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
  }
  // The error of a refused control, with the status it reported.
  DWORD Refusal(DWORD control, SERVICE_STATUS& status) {
    SetLastError(0);
    EXPECT_FALSE(ControlService(service, control, &status)) << control;
    return GetLastError();
  }

  machine::ManualClock clock;
  SC_HANDLE manager = nullptr;
  SC_HANDLE service = nullptr;
};

TEST_F(ServiceControlCodes, PendingPauseOrContinueTakesNoControlButInterrogation) {
  SERVICE_STATUS status{};
  ASSERT_TRUE(ControlService(service, SERVICE_CONTROL_PAUSE, &status));
  ASSERT_EQ(status.dwCurrentState, SERVICE_PAUSE_PENDING);
  for (DWORD control : {SERVICE_CONTROL_STOP, SERVICE_CONTROL_PAUSE, SERVICE_CONTROL_CONTINUE}) {
    EXPECT_EQ(Refusal(control, status), static_cast<DWORD>(ERROR_INVALID_SERVICE_CONTROL));
    EXPECT_EQ(status.dwCurrentState, SERVICE_PAUSE_PENDING);
    EXPECT_EQ(status.dwControlsAccepted, 0u);
  }
  EXPECT_TRUE(ControlService(service, SERVICE_CONTROL_INTERROGATE, &status));

  clock.Advance(500);
  ASSERT_TRUE(ControlService(service, SERVICE_CONTROL_CONTINUE, &status));
  ASSERT_EQ(status.dwCurrentState, SERVICE_CONTINUE_PENDING);
  EXPECT_EQ(Refusal(SERVICE_CONTROL_STOP, status),
            static_cast<DWORD>(ERROR_INVALID_SERVICE_CONTROL));

  clock.Advance(500);
  ASSERT_TRUE(ControlService(service, SERVICE_CONTROL_STOP, &status));
  EXPECT_EQ(status.dwCurrentState, SERVICE_STOP_PENDING);
}

TEST_F(ServiceControlCodes, PausedServiceCanBeStopped) {
  SERVICE_STATUS status{};
  ASSERT_TRUE(ControlService(service, SERVICE_CONTROL_PAUSE, &status));
  clock.Advance(500);
  ASSERT_TRUE(ControlService(service, SERVICE_CONTROL_STOP, &status));
  EXPECT_EQ(status.dwCurrentState, SERVICE_STOP_PENDING);
}

// Parameter and binding changes need the pause-and-continue right and a
// service that announces it takes them; these services take none.
TEST_F(ServiceControlCodes, ParameterAndBindingChangesAreDefinedCodes) {
  SC_HANDLE stopOnly = OpenServiceW(manager, u"W3SVC", SERVICE_STOP | SERVICE_QUERY_STATUS);
  ASSERT_NE(stopOnly, nullptr);
  for (DWORD control :
       {SERVICE_CONTROL_PARAMCHANGE, SERVICE_CONTROL_NETBINDADD, SERVICE_CONTROL_NETBINDREMOVE,
        SERVICE_CONTROL_NETBINDENABLE, SERVICE_CONTROL_NETBINDDISABLE}) {
    SERVICE_STATUS status{};
    EXPECT_EQ(Refusal(control, status), static_cast<DWORD>(ERROR_INVALID_SERVICE_CONTROL));
    EXPECT_EQ(status.dwCurrentState, SERVICE_RUNNING);
    SetLastError(0);
    EXPECT_FALSE(ControlService(stopOnly, control, &status));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED)) << control;
  }
  CloseServiceHandle(stopOnly);
  // Shutdown is the system's own and cannot be sent.
  SERVICE_STATUS status{};
  EXPECT_EQ(Refusal(SERVICE_CONTROL_SHUTDOWN, status), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

}  // namespace
}  // namespace quaver::test
