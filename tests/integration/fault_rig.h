// Faults end to end: the sensor's session (the engine, the oscilloscope's data
// half, the commands and the reactions to the notices) against the simulator,
// each tick's notices handled after it as the window handles them. Chart
// samples are read back from what the model drew (the sink's points).
#pragma once

#include <sys/resource.h>

#include <memory>
#include <string>
#include <vector>

#include "session/sensor_session.h"
#include "tests/integration/engine_rig.h"
#include "tests/support/session_parts.h"

namespace tarvin::testing {

class FaultRig : public EngineRig {
 protected:
  void SetUp() override {
    EngineRig::SetUp();
    sink_.points.reserve(20000);
  }

  // The simulator started with `args`, port 1 opened as the window opens it at
  // start-up, then ticks until the status is polled.
  void ConnectModel(const std::vector<std::string>& args = {}) {
    ASSERT_TRUE(sim_.Start(work_.Folder(), args)) << "the simulator did not get ready";
    port_ = MakeNativePort(work_.Folder());
    session_ = std::make_unique<SensorSession>(*port_, sink_, nullptr);
    engine_ = &SessionParts::Engine(*session_);
    model_ = &SessionParts::Scope(*session_);
    model_->SetScopeFolder(work_.Folder());
    commands_ = &session_->Commands();
    model_->SetDefaults();
    ASSERT_TRUE(session_->OpenAtStartup(0, "COM1"));
    StartSchedule();
    ASSERT_TRUE(Until([&] { return engine_->PollStage() == PollStage::Status && sink_.reply_code == 65u; },
                      8 * kSecond))
        << "no status poll; LinkState " << static_cast<int>(engine_->LinkState()) << ", PollStage "
        << static_cast<int>(engine_->PollStage());
  }

  void RunTick() override { session_->Tick(); }

  // One tick, then the notices it raised, in order, as the window handles them.
  void Step() {
    Tick();
    for (const Notice notice : session_->TakeRaised().notices) {
      sink_.notices.push_back(notice);
      session_->HandleNotice(notice);
    }
  }
  void Steps(int ticks) {
    for (int i = 0; i < ticks; ++i) Step();
  }
  template <class Done>
  bool Until(Done done, int max_ticks) {
    for (int i = 0; i < max_ticks; ++i) {
      if (done()) return true;
      Step();
    }
    return done();
  }

  // The start button, as the operator presses it (history zeroed, view reset).
  void PressStart() {
    ASSERT_EQ(engine_->ChartTag(), 0);
    commands_->StartOrStopChart();
    ASSERT_EQ(engine_->ChartTag(), 1);
  }

  std::vector<ScopeSample> Samples() const {
    std::vector<ScopeSample> out;
    out.reserve(sink_.points.size());
    for (const auto& p : sink_.points) out.push_back(p.sample);
    return out;
  }

  int BoxesSaying(const std::string& text) const {
    int n = 0;
    for (const Box& b : sink_.boxes) n += b.text == text ? 1 : 0;
    return n;
  }

  // Samples are numbered by the sensor in ekClimate: a wrong sample (glued from
  // two frames, or from a frame whose check should have failed) breaks the
  // order or leaves the calm zone's bands.
  static void ExpectOnlyTheSensorsSamples(const std::vector<ScopeSample>& s, long sent) {
    for (std::size_t i = 1; i < s.size(); ++i) ASSERT_GT(s[i].ekClimate, s[i - 1].ekClimate) << i;
    if (!s.empty()) {
      EXPECT_LE(s.back().ekClimate, static_cast<uint32_t>(sent));
    }
    for (const ScopeSample& x : s) {
      ASSERT_GE(x.input, 45u);
      ASSERT_LE(x.input, 75u);
      ASSERT_LE(x.useful, 40u);
      ASSERT_LE(x.ekNoise, 20u);
      ASSERT_GE(x.threshold, 20.0f);
      ASSERT_LE(x.threshold, 60.0f);
    }
  }

  static double CpuSeconds() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
  }

  std::unique_ptr<SensorSession> session_;
  ScopeModel* model_ = nullptr;
  SensorCommands* commands_ = nullptr;
};

}  // namespace tarvin::testing
