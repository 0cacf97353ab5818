// The link engine through the POSIX port against the simulator over a real
// pseudo-terminal, driven at the real pace of its three cadences (SessionSchedule:
// the tick every 40 ms, the poll every second, the countdown every half second).
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/link_engine.h"
#include "link/serial_port.h"
#include "session/session_schedule.h"
#include "tests/support/engine_probe.h"
#include "tests/support/recorder_sink.h"
#include "tests/support/sim_process.h"
#include "tests/support/temp_folder.h"

namespace tarvin::testing {

// Most ticks a wait may take before the test gives up on the awaited state;
// counted in ticks, so a slow machine only makes the wait longer.
constexpr int kSecond = 25;

class EngineRig : public ::testing::Test {
 protected:
  void SetUp() override { scope_.samples.reserve(8000); }

  void TearDown() override {
    if (HasFailure()) std::cerr << "--- simulator's log, last lines ---\n" << sim_.LogTail(60);
    sim_.Stop();
  }

  // Starts the simulator with `args` and opens port 1 (the link COM1 in the work folder).
  void StartAndOpen(const std::vector<std::string>& args = {}) {
    ASSERT_TRUE(sim_.Start(work_.Folder(), args)) << "the simulator did not get ready";
    port_ = MakeNativePort(work_.Folder());
    own_engine_ = std::make_unique<LinkEngine>(*port_, sink_, scope_);
    engine_ = own_engine_.get();
    ASSERT_TRUE(engine_->OpenPort(1));
    StartSchedule();
  }

  void StartSchedule() {
    next_ = std::chrono::steady_clock::now();
    schedule_.SetTicking(true, next_);  // the rig ticks the engine whatever it says
    schedule_.Start(next_, SessionSchedule::FirstRun::AtOnce);
  }

  // Up and polling the status: version checked, settings read, a status reply shown.
  void Connect(const std::vector<std::string>& args = {}) {
    StartAndOpen(args);
    ASSERT_TRUE(RunUntil([&] { return engine_->PollStage() == PollStage::Status && sink_.reply_code == 65u; },
                         8 * kSecond))
        << "no status poll; LinkState " << static_cast<int>(engine_->LinkState()) << ", PollStage "
        << static_cast<int>(engine_->PollStage());
  }

  // Up to the next 40 ms tick, with the poll and the countdown when due on the way.
  void Tick() {
    for (;;) {
      std::this_thread::sleep_until(next_);
      const auto now = std::chrono::steady_clock::now();
      const SessionSchedule::Due due = schedule_.Take(now);
      next_ = schedule_.Next();
      if (due.poll) engine_->Poll();
      if (due.countdown) engine_->CountDown();
      if (due.tick) {
        RunTick();
        ++ticks_;
        return;
      }
    }
  }

  // The receive tick itself: the engine's own here, a session's in FaultRig.
  virtual void RunTick() { engine_->TimedTick(); }

  void Run(int ticks) {
    for (int i = 0; i < ticks; ++i) Tick();
  }

  // Ticks until `done` holds, at most `max_ticks`; true when it held.
  template <class Done>
  bool RunUntil(Done done, int max_ticks) {
    for (int i = 0; i < max_ticks; ++i) {
      if (done()) return true;
      Tick();
    }
    return done();
  }

  // Chart transmission started as the start button does it.
  void StartChart() {
    LinkEngineProbe::SetChartTag(*engine_, 1);
    engine_->QueueCommand(0x015B, {0x0001});
  }
  void StopChart() {
    LinkEngineProbe::SetChartTag(*engine_, 0);
    StopStream();
  }
  // The sensor told to stop, while frames still on the line are taken.
  void StopStream() { engine_->QueueCommand(0x015B, {0x0000}); }

  int Notices(Notice n) const { return sink_.CountNotices(n); }

  TempFolder work_;
  SimProcess sim_;
  RecorderSink sink_;
  RecorderScope scope_;
  std::unique_ptr<SerialPort> port_;
  std::unique_ptr<LinkEngine> own_engine_;
  LinkEngine* engine_ = nullptr;
  SessionSchedule schedule_;
  std::chrono::steady_clock::time_point next_;
  long ticks_ = 0;
};

}  // namespace tarvin::testing
