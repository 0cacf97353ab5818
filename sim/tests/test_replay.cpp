// The replay's timing: the sensor's chunks keep their distance from the
// program's first byte, scaled by the pace.
#include <gtest/gtest.h>

#include "sim/replay.h"

namespace tarvin::sim {
namespace {

TEST(ReplaySchedule, AlignsOnTheFirstByteToTheSensorAndScalesByThePace) {
  const std::vector<LineChunk> chunks = {
      {0.010, LineDirection::FromSensor, "~early"},  // before the program spoke: at once
      {0.100, LineDirection::ToSensor, ":014DB2\r\n"}, {0.140, LineDirection::FromSensor, ":014D\r\n"},
      {1.100, LineDirection::ToSensor, ":0141BE\r\n"}, {1.300, LineDirection::FromSensor, ":0141\r\n"},
  };
  const std::vector<double> once = ReplaySchedule(chunks, 1.0);
  ASSERT_EQ(once.size(), 3u);
  EXPECT_DOUBLE_EQ(once[0], 0.0);
  EXPECT_NEAR(once[1], 0.040, 1e-9);
  EXPECT_NEAR(once[2], 1.200, 1e-9);
  const std::vector<double> twice = ReplaySchedule(chunks, 2.0);
  EXPECT_NEAR(twice[2], 0.600, 1e-9);
  // A recording of the sensor alone plays from its own start.
  EXPECT_NEAR(ReplaySchedule({{0.5, LineDirection::FromSensor, "x"}}, 1.0)[0], 0.5, 1e-9);
}

}  // namespace
}  // namespace tarvin::sim
