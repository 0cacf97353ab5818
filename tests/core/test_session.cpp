// The session as a program with one loop drives it: the schedule, the chart
// kept running, a port closed under it and a refused firmware.
#include <gtest/gtest.h>

#include <chrono>

#include "session/sensor_session.h"
#include "tests/support/link_frames.h"

namespace tarvin::testing {
namespace {

using std::chrono::milliseconds;

struct LoopRig {
  FakePort port;
  RecorderSink sink;
  Journal journal;
  SensorSession session{port, sink, &journal, SessionOptions{false, true}};
  LinkEngine& engine = session.Engine();
  std::vector<std::string> events;
  SensorSession::Clock::time_point now{std::chrono::hours(1)};

  LoopRig() {
    journal.AddObserver([this](const nlohmann::ordered_json& e) { events.push_back(e.value("event", "")); });
    engine.OpenPort(1);
    session.Start(now);
  }
  // Steps to the next due time, with `bytes` arriving first; what the step's notices came to.
  Handled Step(const std::string& bytes = "") {
    port.Deliver(bytes);
    now = session.Step(now);
    return session.HandleRaised();
  }
};

TEST(SensorSession, RunsTheThreeCadencesWithoutABurstAfterAStall) {
  LoopRig rig;
  const auto t0 = rig.now;
  EXPECT_EQ(rig.session.Step(t0), t0 + milliseconds(40));  // poll and tick due at once
  EXPECT_EQ(rig.port.written.substr(0, 5), ":014D");         // the poll's request, written by the tick
  // Five seconds lost: one tick now, then the cadence again from here.
  const auto late = t0 + std::chrono::seconds(5);
  EXPECT_EQ(rig.session.Step(late), late + milliseconds(40));
  EXPECT_EQ(rig.session.Step(late + milliseconds(40)), late + milliseconds(80));
}

TEST(SensorSession, KeepsTheChartRunningAndJournalsAPortClosedUnderIt) {
  LoopRig rig;
  rig.Step();  // the version request goes out
  EXPECT_EQ(rig.engine.ChartTag(), 0);
  rig.Step(VersionReply(0x0002, 0));
  // Up, firmware 2.0, in standby: chart transmission is started at once.
  EXPECT_EQ(rig.engine.ChartTag(), 1);
  EXPECT_EQ(rig.events, (std::vector<std::string>{"link_up"}));

  rig.port.fail_writes = true;  // the adapter pulled out
  Handled handled;
  for (int i = 0; i < 20 && !handled.port_closed; ++i) handled = rig.Step();
  ASSERT_TRUE(handled.port_closed);
  EXPECT_FALSE(rig.engine.PortHeld());
  EXPECT_EQ(rig.events.back(), "port_closed");

  rig.port.fail_writes = false;
  ASSERT_TRUE(rig.engine.OpenPort(1));
  rig.session.PortOpened();
  EXPECT_EQ(rig.events.back(), "port_reopened");
}

TEST(SensorSession, ARefusedFirmwareStopsTheLinkAndShowsNothingWhenNothingIsShown) {
  LoopRig rig;
  rig.Step();
  const Handled handled = rig.Step(VersionReply(0x0102, 0));
  EXPECT_TRUE(handled.refused);
  EXPECT_FALSE(rig.engine.PortHeld());
  EXPECT_FALSE(rig.engine.Ticking());
  EXPECT_EQ(rig.engine.ChartTag(), 0);  // never started for a refused sensor
  EXPECT_TRUE(rig.sink.boxes.empty());
  EXPECT_EQ(rig.events, (std::vector<std::string>{"link_up", "wrong_firmware"}));
}

}  // namespace
}  // namespace tarvin::testing
