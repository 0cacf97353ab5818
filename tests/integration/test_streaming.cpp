// The chart stream at the full pace of the line: every sample arrives, in order,
// with nothing counted as broken, while the status polls go on between frames.
#include <cstdio>

#include "tests/integration/engine_rig.h"
#include "tests/support/engine_probe.h"

namespace tarvin::testing {
namespace {

using Streaming = EngineRig;

TEST_F(Streaming, TenSecondsAtLineRateLoseNoSampleAndNoFrame) {
  Connect();
  StartChart();
  ASSERT_TRUE(RunUntil([&] { return !scope_.samples.empty(); }, 2 * kSecond));
  const auto start = std::chrono::steady_clock::now();
  const int32_t bytes_before = engine_->Counters().N_rv_byte;
  Run(10 * kSecond);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double chars_per_second = (engine_->Counters().N_rv_byte - bytes_before) / seconds;

  StopStream();
  ASSERT_TRUE(RunUntil([&] { return engine_->SensorFlags() == 0; }, 2 * kSecond));
  Run(kSecond / 2);  // the last frames in flight
  const auto stats = sim_.Stats();

  const auto& s = scope_.samples;
  ASSERT_FALSE(s.empty());
  std::printf("[ measured ] %zu samples, %.0f characters/s received (line: 3840), %.1f samples/s\n", s.size(),
              chars_per_second, (s.back().ekClimate - s.front().ekClimate) / seconds);
  // Numbered by the sensor: consecutive means none lost, none doubled.
  for (std::size_t i = 1; i < s.size(); ++i) ASSERT_EQ(s[i].ekClimate, s[i - 1].ekClimate + 1) << i;
  EXPECT_EQ(static_cast<long>(s.size()), stats.at("samples"));
  EXPECT_GE(s.size(), 600u);  // about 78 a second at line rate
  EXPECT_GT(chars_per_second, 3000);
  EXPECT_EQ(engine_->Counters().ChecksumErrors, 0);
  EXPECT_EQ(engine_->Counters().Overflow_buffer, 0);
  EXPECT_EQ(engine_->Counters().Time_out, 0);
  EXPECT_EQ(Notices(Notice::LinkLost), 0);
  // The status polls shared the line with the stream.
  EXPECT_EQ(engine_->PollStage(), PollStage::Status);
  EXPECT_GE(stats.at("A"), 10);
  // Values as a calm zone gives them, in the view's default range.
  for (const ScopeSample& x : s) {
    ASSERT_GE(x.threshold, 20.0f);
    ASSERT_LE(x.threshold, 35.0f);
    ASSERT_GE(x.input, 45u);
    ASSERT_LE(x.input, 75u);
  }
  // The stream's own status frames show the constant component.
  EXPECT_EQ(sink_.direct_component.back(), 30);
}

TEST_F(Streaming, StopButtonEndsTheStreamAndChartFramesAreIgnoredWhenNotStarted) {
  Connect({"--rate", "20"});
  StartChart();
  ASSERT_TRUE(RunUntil([&] { return scope_.samples.size() >= 20; }, 3 * kSecond));
  // Frames that arrive while the button says stopped are not drawn.
  LinkEngineProbe::SetChartTag(*engine_, 0);
  const std::size_t shown = scope_.samples.size();
  Run(kSecond);
  EXPECT_EQ(scope_.samples.size(), shown);
  StopChart();
  ASSERT_TRUE(RunUntil([&] { return engine_->SensorFlags() == 0 && engine_->Exchange().Queue.Count == 0; },
                       2 * kSecond));
  Run(kSecond / 2);
  const long sent = sim_.Stats().at("samples");
  Run(kSecond);
  EXPECT_EQ(sim_.Stats().at("samples"), sent);
}

TEST_F(Streaming, IntrusionAndThresholdRiseShowInTheSamples) {
  Connect({"--rate", "50"});
  StartChart();
  ASSERT_TRUE(RunUntil([&] { return scope_.samples.size() >= 50; }, 3 * kSecond));
  sim_.Send("intrusion 1");
  Run(kSecond + kSecond / 2);
  sim_.Send("threshold-rise 50 1");
  Run(kSecond + kSecond / 2);
  int over_threshold = 0, raised = 0;
  for (const ScopeSample& x : scope_.samples) {
    over_threshold += static_cast<float>(x.useful) > x.threshold ? 1 : 0;
    raised += x.threshold > 50.0f ? 1 : 0;
  }
  // About a second's worth of each, at 50 samples a second.
  EXPECT_GE(over_threshold, 25);
  EXPECT_GE(raised, 25);
  EXPECT_EQ(engine_->Counters().ChecksumErrors, 0);
}

}  // namespace
}  // namespace tarvin::testing
