// The session as a program with one loop drives it: the schedule, the chart
// kept running, a port closed under it and a refused firmware.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "session/sensor_session.h"
#include "tests/support/link_frames.h"
#include "tests/support/session_parts.h"

namespace tarvin::testing {
namespace {

using std::chrono::milliseconds;

struct LoopRig {
  FakePort port;
  RecorderSink sink;
  Journal journal;
  SensorSession session{
      port, sink, &journal,
      SessionOptions{SessionOptions::Notices::JournalledOnly, SessionOptions::Chart::KeptRunning}};
  LinkEngine& engine = SessionParts::Engine(session);
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
  EXPECT_EQ(rig.port.written.substr(0, 5), ":014D");       // the poll's request, written by the tick
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

  // Reopened through the session: the reopening is journalled with it, once.
  rig.port.fail_writes = false;
  ASSERT_TRUE(rig.session.ChangePort(0, "COM1"));
  EXPECT_EQ(rig.events.back(), "port_reopened");
  ASSERT_TRUE(rig.session.ChangePort(0, "COM1"));
  EXPECT_EQ(std::count(rig.events.begin(), rig.events.end(), "port_reopened"), 1);
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

// The window's phases: the tick from the moment the engine starts ticking, the
// poll and the countdown one period after the start, a poll and a tick falling
// together run in one step (the request goes out with that tick), and ticking
// switched off and on again restarts the tick's phase.
TEST(SessionSchedule, RunsTheWindowsCadencesInPhaseAndInOneOrder) {
  using Due = SessionSchedule::Due;
  const SessionSchedule::Clock::time_point t0{std::chrono::hours(1)};
  const auto at = [&](int ms) { return t0 + milliseconds(ms); };
  SessionSchedule schedule;
  schedule.SetTicking(true, t0);
  schedule.Start(t0, SessionSchedule::FirstRun::AfterOnePeriod);
  std::vector<std::pair<int, std::string>> steps;
  for (auto now = schedule.Next(); now <= at(1000); now = schedule.Next()) {
    const Due due = schedule.Take(now);
    std::string ran = std::string(due.poll ? "P" : "") + (due.countdown ? "C" : "") + (due.tick ? "T" : "");
    if (ran != "T") steps.emplace_back(static_cast<int>((now - t0) / milliseconds(1)), ran);
  }
  EXPECT_EQ(steps, (std::vector<std::pair<int, std::string>>{{500, "C"}, {1000, "PCT"}}));
  EXPECT_EQ(schedule.Next(), at(1040));

  schedule.SetTicking(false, at(1010));
  EXPECT_FALSE(schedule.Running(SessionSchedule::Cadence::Tick));
  EXPECT_EQ(schedule.Next(), at(1500));  // the countdown; no tick while the engine does not tick
  schedule.SetTicking(true, at(1210));
  EXPECT_EQ(schedule.Next(), at(1250));
  schedule.SetTicking(true, at(1230));  // already on: the phase stays
  EXPECT_EQ(schedule.Next(), at(1250));
  schedule.Halt(SessionSchedule::Cadence::Poll);
  const Due late = schedule.Take(at(3000));
  EXPECT_FALSE(late.poll);
  EXPECT_TRUE(late.countdown && late.tick);
  EXPECT_EQ(schedule.Next(), at(3040));
}

}  // namespace
}  // namespace tarvin::testing
