// The link engine through the POSIX port against the simulator over a real
// pseudo-terminal, driven by the window's three timers at their real pace:
// TimerRv every 40 ms, Timer1 every 25 ticks, Timer2 every 12.5 ticks.
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
#include "tests/integration/sim_process.h"
#include "tests/support/recorder_sink.h"
#include "tests/support/temp_folder.h"
#include "tests/support/engine_probe.h"

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
    engine_ = std::make_unique<LinkEngine>(*port_, sink_, scope_);
    ASSERT_EQ(engine_->Open_Port(1), 1);
    next_ = std::chrono::steady_clock::now();
  }

  // Up and polling the status: version checked, settings read, a status reply shown.
  void Connect(const std::vector<std::string>& args = {}) {
    StartAndOpen(args);
    ASSERT_TRUE(RunUntil([&] { return engine_->PollStage == 2 && sink_.Panel(0) == "65"; }, 8 * kSecond))
        << "no status poll; LinkState " << engine_->LinkState << ", PollStage " << engine_->PollStage;
  }

  // One 40 ms tick of the window's timers.
  void Tick() {
    using namespace std::chrono;
    next_ += milliseconds(40);
    const auto now = steady_clock::now();
    // After a stall on a loaded machine, go on from now rather than racing through missed ticks.
    if (next_ + milliseconds(40) < now) next_ = now;
    std::this_thread::sleep_until(next_);
    engine_->TimerRvTimer();
    ++ticks_;
    if (ticks_ % 25 == 0) engine_->Timer1Timer();
    if ((2 * ticks_) / 25 != (2 * (ticks_ - 1)) / 25) engine_->Timer2Timer();
  }

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
  std::unique_ptr<LinkEngine> engine_;
  std::chrono::steady_clock::time_point next_;
  long ticks_ = 0;
};

}  // namespace tarvin::testing
