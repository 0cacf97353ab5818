// A NUL inside a frame (a 0x00 byte, or 0x80 with the parity bit stripped, on a
// noisy line) ends the text the checksum covers; no handler may read beyond it.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/engine_probe.h"
#include "tests/support/link_frames.h"

namespace tarvin::testing {
namespace {

TEST(FrameNul, WordsAfterANulAreNeverDecoded) {
  EngineRig rig;
  LinkEngineProbe::SetChartTag(rig.engine, 1);
  // "0142BD" is a whole chart-code frame without data words; the ten data
  // words after the NUL were never checked.
  const std::string data_words(40, '1');
  rig.port.Deliver(std::string("~0142BD") + '\0' + data_words + "00\r\n");
  // The same for a status reply to a command in flight: its status word after the NUL.
  rig.SendCommand(0x0141);
  rig.port.Deliver(std::string(":0141BE") + '\0' + "0006" + "00\r\n");
  LinkEngineProbe::SetSaveAlarmTag(rig.engine, 1);
  rig.engine.LinkTick();

  EXPECT_TRUE(rig.scope.samples.empty());
  EXPECT_EQ(rig.scope.arms, 0);
  EXPECT_TRUE(rig.sink.balances.empty());
  // Both count as good frames all the same, and the reply ends the status
  // request (the version request of the link's restore follows it).
  EXPECT_EQ(rig.engine.Counters().N_rv_frame, 2);
  EXPECT_EQ(rig.engine.Counters().ChecksumErrors, 0);
  EXPECT_EQ(rig.engine.Exchange().Queue.Count, 1);
  EXPECT_EQ(rig.engine.Exchange().Queue.Slots[0].usCode, 0x4D);
}

}  // namespace
}  // namespace tarvin::testing
