#include <gtest/gtest.h>

#include <string>

#include "platform/clock.h"
#include "system/ServiceHelper.h"
#include "tests/support/TempMachine.h"

namespace quaver::test {
namespace {

// The web service stops within two seconds; the others show the ways a
// wait can end.
constexpr const char* kServices =
    "[W3SVC]\n"
    "State = running\n"
    "Accepts = stop, pause\n"
    "StartPendingMs = 1500\n"
    "StopPendingMs = 2000\n"
    "[Stuck]\n"
    "State = running\n"
    "Hang = stop\n"
    "[Stopped]\n"
    "State = stopped\n"
    "StartPendingMs = 1000\n"
    "[Failing]\n"
    "State = stopped\n"
    "StartPendingMs = 1000\n"
    "FailsToStart = yes\n"
    "[Paused]\n"
    "State = paused\n"
    "Accepts = stop, pause\n";

class ServiceHelperTest : public TempMachineTest {
 protected:
  void SetUp() override { image.WriteHostFile("services.ini", kServices); }
  std::string ServicesFile() const { return image.ReadHostFile("services.ini"); }

  machine::ManualClock clock;
  ServiceHelper helper;
};

TEST_F(ServiceHelperTest, StopWithWaitSucceedsAfterAFewPolls) {
  ASSERT_TRUE(helper.Open("W3SVC"));
  EXPECT_EQ(helper.GetState(), static_cast<uint32_t>(SERVICE_RUNNING));
  EXPECT_TRUE(helper.Stop(true));
  EXPECT_EQ(helper.GetState(), static_cast<uint32_t>(SERVICE_STOPPED));
  // Polls at 0, 500, 1000, 1500 ms find it pending; the fifth, at 2000, stopped.
  EXPECT_EQ(clock.Sleeps(), 4u);
  EXPECT_EQ(clock.Slept(), 2000u);
}

TEST_F(ServiceHelperTest, HangingStopGivesFalseAfterOneHundredPolls) {
  ASSERT_TRUE(helper.Open("Stuck"));
  EXPECT_FALSE(helper.Stop(true));
  EXPECT_EQ(clock.Sleeps(), 100u);
  EXPECT_EQ(helper.GetState(), static_cast<uint32_t>(SERVICE_STOP_PENDING));
}

TEST_F(ServiceHelperTest, StartEndingStoppedGivesFalse) {
  ASSERT_TRUE(helper.Open("Failing"));
  EXPECT_FALSE(helper.Start(true));
  EXPECT_EQ(clock.Sleeps(), 2u);
  EXPECT_EQ(helper.GetState(), static_cast<uint32_t>(SERVICE_STOPPED));
}

TEST_F(ServiceHelperTest, StartWithoutWaitLeavesItPending) {
  ASSERT_TRUE(helper.Open("Stopped"));
  EXPECT_TRUE(helper.Start(false));
  EXPECT_EQ(helper.GetState(), static_cast<uint32_t>(SERVICE_START_PENDING));
  EXPECT_EQ(clock.Sleeps(), 0u);
  clock.Advance(1000);
  EXPECT_EQ(helper.GetState(), static_cast<uint32_t>(SERVICE_RUNNING));
}

struct AtOnce {
  const char* service;
  bool (ServiceHelper::*operation)(bool);
  const char* what;
};

class DoneAlready : public ServiceHelperTest, public ::testing::WithParamInterface<AtOnce> {};

// A request here would fail (the manager refuses to stop a stopped service,
// to start a running one, and the handle cannot pause), so true shows that
// none was sent; the file shows that nothing changed.
TEST_P(DoneAlready, SucceedsWithoutARequest) {
  ASSERT_TRUE(helper.Open(GetParam().service));
  std::string before = ServicesFile();
  EXPECT_TRUE((helper.*GetParam().operation)(true));
  EXPECT_EQ(ServicesFile(), before);
  EXPECT_EQ(clock.Sleeps(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Cases, DoneAlready,
                         ::testing::Values(AtOnce{"Stopped", &ServiceHelper::Stop, "StopStopped"},
                                           AtOnce{"W3SVC", &ServiceHelper::Start, "StartRunning"},
                                           AtOnce{"Paused", &ServiceHelper::Pause, "PausePaused"},
                                           AtOnce{"W3SVC", &ServiceHelper::Continue,
                                                  "ContinueRunning"}),
                         [](const auto& info) { return std::string(info.param.what); });

TEST_F(ServiceHelperTest, PauseAndContinueFailAtTheRequest) {
  ASSERT_TRUE(helper.Open("W3SVC"));
  EXPECT_FALSE(helper.Pause(false));
  EXPECT_EQ(helper.GetState(), static_cast<uint32_t>(SERVICE_RUNNING));
  ASSERT_TRUE(helper.Open("Paused"));
  EXPECT_FALSE(helper.Continue(true));
  EXPECT_EQ(helper.GetState(), static_cast<uint32_t>(SERVICE_PAUSED));
}

TEST_F(ServiceHelperTest, WithoutAServiceEverythingFails) {
  EXPECT_EQ(helper.GetState(), 0u);
  EXPECT_FALSE(helper.Stop(true));
  EXPECT_FALSE(helper.Start(false));
  EXPECT_FALSE(helper.Pause(true));
  EXPECT_FALSE(helper.Continue(false));
  EXPECT_FALSE(helper.WaitForState(SERVICE_STOP_PENDING, SERVICE_STOPPED));

  EXPECT_FALSE(helper.Open("NoSuchService"));
  EXPECT_EQ(helper.GetState(), 0u);
  EXPECT_FALSE(helper.Stop(false));
  EXPECT_FALSE(helper.Open(nullptr));
}

TEST_F(ServiceHelperTest, OpenAgainReplacesTheService) {
  ASSERT_TRUE(helper.Open(CSPString("stopped")));
  ASSERT_TRUE(helper.Open(CSPString("w3svc")));
  EXPECT_EQ(helper.GetState(), static_cast<uint32_t>(SERVICE_RUNNING));
  helper.Close();
  EXPECT_EQ(helper.GetState(), 0u);
}

TEST_F(ServiceHelperTest, WaitEndsWhenThePendingStateEnds) {
  ASSERT_TRUE(helper.Open("W3SVC"));
  EXPECT_TRUE(helper.WaitForState(SERVICE_STOP_PENDING, SERVICE_RUNNING))
      << "not pending: the state is compared at once";
  EXPECT_FALSE(helper.WaitForState(SERVICE_STOP_PENDING, SERVICE_STOPPED));
  EXPECT_EQ(clock.Sleeps(), 0u);
}

// The installation's sequence: remember, stop with wait, start without.
TEST_F(ServiceHelperTest, InstallationSequenceRestartsTheService) {
  ASSERT_TRUE(helper.Open("W3SVC"));
  uint32_t remembered = helper.GetState();
  ASSERT_NE(remembered, static_cast<uint32_t>(SERVICE_STOPPED));
  EXPECT_TRUE(helper.Stop(true));
  EXPECT_TRUE(helper.Start(false));
  EXPECT_EQ(helper.GetState(), static_cast<uint32_t>(SERVICE_START_PENDING));
  clock.Advance(1500);
  EXPECT_EQ(helper.GetState(), static_cast<uint32_t>(SERVICE_RUNNING));
}

}  // namespace
}  // namespace quaver::test
