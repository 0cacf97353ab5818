// The simulated zone's signals stay where the program's default view and
// saving level expect them, and faults move them as the operator would see.
#include <gtest/gtest.h>

#include "sim/signal_model.h"

namespace tarvin::sim {
namespace {

TEST(SignalModel, CalmZoneStaysInItsBands) {
  SignalModel model(3);
  for (double t = 0; t < 600; t += 0.0128) {
    const SignalSample s = model.At(t, 30);
    ASSERT_GE(s.input, 50u) << t;
    ASSERT_LE(s.input, 70u) << t;
    ASSERT_GE(s.useful, 5u) << t;
    ASSERT_LE(s.useful, 15u) << t;
    ASSERT_GE(s.threshold, 25.0f) << t;
    ASSERT_LE(s.threshold, 30.0f) << t;
    ASSERT_LT(s.threshold, 40.0f);  // below the default saving level
    ASSERT_FALSE(model.Alarm(t)) << t;
  }
}

TEST(SignalModel, IntrusionLiftsUsefulOverThresholdWithAlarm) {
  SignalModel model(5);
  for (double t = 0; t < 30; t += 0.0128) model.At(t, 30);
  model.StartIntrusion(30.0, 3.0);
  int over = 0, samples = 0;
  for (double t = 30.0; t < 33.0; t += 0.0128, ++samples) {
    const SignalSample s = model.At(t, 30);
    EXPECT_TRUE(model.Alarm(t)) << t;
    over += s.useful > s.threshold ? 1 : 0;
  }
  EXPECT_GT(over, samples * 3 / 4);
  EXPECT_FALSE(model.Alarm(33.1));
  // Afterwards the threshold has not learnt the intrusion.
  EXPECT_LE(model.At(34.0, 30).threshold, 30.0f);
}

TEST(SignalModel, ThresholdRiseHoldsItAboveTheLevel) {
  SignalModel model(9);
  model.StartThresholdRise(1.0, 50.0, 2.0);
  for (double t = 1.0; t < 3.0; t += 0.05) EXPECT_GT(model.At(t, 30).threshold, 50.0f) << t;
  EXPECT_LT(model.At(3.5, 30).threshold, 40.0f);
}

TEST(SignalModel, ThresholdFollowsTheConstantComponent) {
  SignalModel model(11);
  EXPECT_GT(model.At(0.0, 300).threshold, 250.0f);
}

}  // namespace
}  // namespace tarvin::sim
