// Queuing and writing commands, and the link's diagnostics.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "tests/support/engine_probe.h"
#include "tests/support/link_frames.h"

namespace tarvin {
namespace {

using testing::EngineRig;
using testing::Reply;

// Fails every write after the first `good` ones.
class BreakingPort : public FakePort {
 public:
  int good = 0;
  bool WriteByte(uint8_t byte) override {
    if (good == 0) return false;
    --good;
    return FakePort::WriteByte(byte);
  }
};

TEST(Transmitter, TooLongCommandsShowTheirBoxAndGoNowhere) {
  EngineRig rig;
  static uint16_t words[SIZE_TR_BUF + 1] = {0x014D};
  LinkEngineProbe::Enqueue(rig.engine, ':', words, SIZE_TR_BUF + 1);
  EXPECT_EQ(rig.engine.Exchange().Queue.Count, 0);
  EXPECT_FALSE(LinkEngineProbe::WriteFrame(rig.engine, ':', words, SIZE_TR_BUF + 1));
  ASSERT_EQ(rig.sink.boxes.size(), 2u);
  EXPECT_EQ(rig.sink.boxes[0].text, "Put_Cmd: usDataLen>SIZE_TR_BUF!");
  EXPECT_EQ(rig.sink.boxes[1].text, "Send_Cmd1: usDataLen>SIZE_TR_BUF!");
  for (const Box& box : rig.sink.boxes) {
    EXPECT_EQ(box.caption, "Внимание");
    EXPECT_EQ(box.icon, BoxIcon::Warning);
  }
  EXPECT_TRUE(rig.port.written.empty());
  EXPECT_EQ(rig.engine.Exchange().AwaitingReply, 0);
  // Refusals of other kinds are silent.
  LinkEngineProbe::Enqueue(rig.engine, ':', words, 1);
  EXPECT_EQ(rig.sink.boxes.size(), 2u);
}

TEST(Transmitter, WritesOneFramePurgingOutputFirst) {
  EngineRig rig;
  rig.engine.QueueCommand(0x015D, {0x012C, 0x0038});
  rig.engine.LinkTick();
  EXPECT_EQ(rig.port.written, ":015D012C00383E\r\n");
  EXPECT_EQ(rig.port.purges_output, 1);
  EXPECT_STREQ(rig.engine.Tr_Frame(), ":015D012C00383E\r\n");
  EXPECT_EQ(rig.engine.Exchange().AwaitingReply, 1);
  EXPECT_EQ(rig.engine.Exchange().WaitTicks, 0);
  EXPECT_EQ(rig.engine.Exchange().Queue.Count, 1);  // stays until its reply

  // A shorter frame after a longer one shows alone.
  rig.port.Deliver(Reply(0x5D, {0x012C, 0x0038}));
  rig.engine.LinkTick();  // the reply; the restore's 'M' is written
  EXPECT_STREQ(rig.engine.Tr_Frame(), ":014DB2\r\n");
  EXPECT_EQ(rig.engine.Counters().N_tr_byte, 17 + 9);
  EXPECT_EQ(rig.engine.Counters().N_tr_frame, 2);
}

TEST(Transmitter, FailedWriteMidFrameKeepsTextsAndCountsTheBytes) {
  BreakingPort port;
  testing::RecorderSink sink;
  testing::RecorderScope scope;
  LinkEngine e(port, sink, scope);
  ASSERT_TRUE(e.OpenPort(1));
  port.good = 9;
  e.QueueCommand(0x014D);
  e.LinkTick();
  ASSERT_EQ(e.Counters().N_tr_byte, 9);
  port.good = 4;
  const uint16_t words[] = {0x015B, 0x0003, 0xFFA1};
  EXPECT_FALSE(LinkEngineProbe::WriteFrame(e, ':', words, 3));
  EXPECT_EQ(port.written, ":014DB2\r\n:015");  // the broken frame stays written
  EXPECT_EQ(e.Counters().N_tr_byte, 13);
  EXPECT_EQ(e.Counters().N_tr_byte_shown, 9);
  EXPECT_EQ(e.Counters().N_tr_frame, 1);
  EXPECT_STREQ(e.Tr_Frame(), ":014DB2\r\n");
}

TEST(Transmitter, FailedFirstSendIsTriedAgainAtTheNextTick) {
  EngineRig rig;
  rig.port.fail_writes = true;
  rig.engine.QueueCommand(0x014D);
  rig.engine.LinkTick();
  EXPECT_EQ(rig.engine.Exchange().TxFailCount, 1);
  EXPECT_EQ(rig.engine.Exchange().AwaitingReply, 0);
  rig.port.fail_writes = false;
  rig.engine.LinkTick();
  EXPECT_EQ(rig.engine.Exchange().TxFailCount, 0);
  EXPECT_EQ(rig.port.written, ":014DB2\r\n");
}

TEST(Diagnostics, OneRequestAddsNineBytesAndOneFrame) {
  EngineRig rig;
  const uint32_t generation = rig.engine.DiagGeneration();
  rig.engine.Poll();
  rig.engine.LinkTick();
  EXPECT_EQ(rig.engine.Counters().N_tr_byte, 9);
  EXPECT_EQ(rig.engine.Counters().N_tr_byte_shown, 9);
  EXPECT_EQ(rig.engine.Counters().N_tr_frame, 1);
  EXPECT_STREQ(rig.engine.Tr_Frame(), ":014DB2\r\n");
  EXPECT_NE(rig.engine.DiagGeneration(), generation);

  rig.port.Deliver(":014DB2\r\n");
  rig.engine.LinkTick();
  EXPECT_EQ(rig.engine.Counters().N_rv_byte, 9);
  EXPECT_EQ(rig.engine.Counters().N_rv_frame, 1);
  EXPECT_STREQ(rig.engine.Rv_Frame(), "014DB2");
}

TEST(Diagnostics, ResetClearsTheCountersAndFramesOnly) {
  EngineRig rig;
  rig.engine.Poll();
  rig.engine.LinkTick();
  rig.port.Deliver(":014DB3\r\n" + std::string(1030, '0'));
  rig.engine.LinkTick();
  rig.Ticks(21);
  LinkEngineProbe::SetSlowestTickUs(rig.engine, 123);
  ASSERT_NE(rig.engine.Counters().ChecksumErrors, 0);
  ASSERT_NE(rig.engine.Counters().Overflow_buffer, 0);
  ASSERT_NE(rig.engine.Counters().Time_out, 0);
  const uint32_t generation = rig.engine.DiagGeneration();
  const int16_t retries = rig.engine.Exchange().RetryCount;

  rig.engine.ResetDiagnostics();
  const LinkCounters& c = rig.engine.Counters();
  for (int32_t value : {c.N_rv_byte, c.N_rv_frame, c.ChecksumErrors, c.Overflow_buffer, c.Time_out,
                        c.N_tr_byte, c.N_tr_byte_shown, c.N_tr_frame}) {
    EXPECT_EQ(value, 0);
  }
  EXPECT_STREQ(rig.engine.Rv_Frame(), "---");
  EXPECT_STREQ(rig.engine.Tr_Frame(), "---");
  EXPECT_EQ(rig.engine.SlowestTickUs(), 123);
  EXPECT_NE(rig.engine.DiagGeneration(), generation);
  EXPECT_EQ(rig.engine.Exchange().RetryCount, retries);
  EXPECT_EQ(rig.engine.Exchange().AwaitingReply, 1);
  EXPECT_EQ(rig.engine.Exchange().Queue.Count, 1);
}

TEST(Diagnostics, CountersWrapWithoutOverflow) {
  EngineRig rig;
  LinkCounters& c = LinkEngineProbe::State(rig.engine).Counters;
  c.N_rv_byte = INT32_MAX;
  c.N_rv_frame = INT32_MAX;
  c.N_tr_byte = INT32_MAX - 8;
  c.N_tr_frame = INT32_MAX;
  rig.engine.Poll();
  rig.engine.LinkTick();
  rig.port.Deliver("X");
  rig.engine.LinkTick();
  EXPECT_EQ(c.N_rv_byte, INT32_MIN);
  EXPECT_EQ(c.N_tr_byte, INT32_MIN);  // nine bytes past MAX - 8
  EXPECT_EQ(c.N_tr_frame, INT32_MIN);
  int32_t counter = -1;
  Bump(counter);
  EXPECT_EQ(counter, 0);
}

// A clock that advances by a scripted step at every reading.
int64_t g_clock_ns = 0;
int64_t g_step_ns[2] = {0, 0};
int g_reading = 0;
int64_t ScriptedClock() {
  g_clock_ns += g_step_ns[g_reading++ % 2];
  return g_clock_ns;
}

TEST(Diagnostics, SlowestTickOfEvery50Ticks) {
  EngineRig rig;
  rig.engine.SetClock(&ScriptedClock);
  g_clock_ns = 0;
  g_reading = 0;
  g_step_ns[0] = 40'000'000;  // between ticks
  g_step_ns[1] = 250'999;     // the tick itself: 250 us, truncated
  rig.engine.SetTicking(false);
  rig.engine.TimedTick();  // not ticking: nothing measured
  EXPECT_EQ(g_reading, 0);
  rig.engine.SetTicking(true);
  for (int i = 0; i < 49; ++i) rig.engine.TimedTick();
  EXPECT_FALSE(rig.engine.SlowestTickUs().has_value());  // not measured yet
  g_step_ns[1] = 1'700'000;
  rig.engine.TimedTick();  // the 50th, and the slowest
  EXPECT_EQ(rig.engine.SlowestTickUs(), 1700);
  g_step_ns[1] = 12'000;
  for (int i = 0; i < 50; ++i) rig.engine.TimedTick();
  EXPECT_EQ(rig.engine.SlowestTickUs(), 12);
  // A clock that stands still gives 0, which is shown as 0 at the window's end.
  g_step_ns[1] = 0;
  for (int i = 0; i < 50; ++i) rig.engine.TimedTick();
  EXPECT_EQ(rig.engine.SlowestTickUs(), 0);
}

}  // namespace
}  // namespace tarvin
