// Time-outs, resends, the loss and return of the link, the engine's own port
// close and the poll cycle, driven tick by tick.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/engine_probe.h"
#include "tests/support/link_frames.h"

namespace tarvin {
namespace {

using testing::EngineRig;
using testing::Reply;
using testing::VersionReply;

using testing::kVersionRequest;

std::string Times(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

TEST(Supervision, TimeOutComesAtThe21stTickAfterTheWrite) {
  EngineRig rig;
  rig.SendCommand(0x014D);
  EXPECT_EQ(rig.TakeWritten(), kVersionRequest);
  rig.Ticks(20);
  EXPECT_EQ(rig.engine.Counters().Time_out, 0);
  EXPECT_EQ(rig.engine.Exchange().WaitTicks, 20);
  EXPECT_TRUE(rig.port.written.empty());
  rig.engine.LinkTick();
  EXPECT_EQ(rig.engine.Counters().Time_out, 1);
  EXPECT_EQ(rig.engine.Exchange().RetryCount, 1);
  EXPECT_EQ(rig.engine.Exchange().WaitTicks, 0);
  EXPECT_EQ(rig.TakeWritten(), kVersionRequest);  // sent again
}

TEST(Supervision, SixSendsThenGiveUpWithOneLossAndAnEmptyQueue) {
  EngineRig rig;
  rig.SendCommand(0x014D);
  rig.engine.QueueCommand(0x015B, {1});  // dropped with the command that timed out
  LinkEngineProbe::State(rig.engine).poll = PollStage::Status;
  rig.Ticks(6 * 21 - 1);
  EXPECT_EQ(rig.port.written, Times(kVersionRequest, 6));
  EXPECT_TRUE(rig.sink.notices.empty());
  const int purges = rig.port.purges_all;
  rig.engine.LinkTick();  // the sixth time-out
  EXPECT_EQ(rig.engine.Counters().Time_out, 6);
  EXPECT_EQ(rig.engine.LinkState(), LinkState::Lost);
  EXPECT_EQ(rig.engine.Exchange().AwaitingReply, 0);
  EXPECT_EQ(rig.engine.Exchange().RetryCount, 0);
  EXPECT_EQ(rig.engine.PollStage(), PollStage::Version);
  EXPECT_EQ(rig.engine.Exchange().Queue.Count, 0);
  EXPECT_EQ(rig.engine.Exchange().Queue.Slots[1].usCode, 0);
  EXPECT_EQ(rig.port.purges_all, purges + 1);
  EXPECT_TRUE(rig.engine.PortHeld());  // the loss of replies does not close the port
  EXPECT_EQ(rig.sink.notices, std::vector<Notice>{Notice::LinkLost});
  EXPECT_EQ(rig.sink.link_state, LinkState::Lost);
  EXPECT_EQ(rig.port.written, Times(kVersionRequest, 6));

  // Later silence: the queue is emptied again, nothing more is posted.
  rig.sink.Clear();
  rig.engine.Poll();
  rig.Ticks(6 * 21 + 1);
  EXPECT_EQ(rig.engine.Exchange().Queue.Count, 0);
  EXPECT_TRUE(rig.sink.calls.empty());
  EXPECT_EQ(rig.port.purges_all, purges + 1);

  // The first answer restores the link, once.
  rig.engine.Poll();
  rig.engine.LinkTick();
  rig.port.Deliver(Reply(0x4D));
  rig.engine.LinkTick();
  rig.port.Deliver(Reply(0x4D));
  rig.engine.LinkTick();
  EXPECT_EQ(rig.engine.LinkState(), LinkState::Up);
  EXPECT_EQ(rig.sink.notices, std::vector<Notice>{Notice::LinkRestored});
  EXPECT_EQ(rig.sink.link_state, LinkState::Up);
}

TEST(Supervision, BadReplyInTheTimeOutTickIsNotAlsoATimeOut) {
  EngineRig rig;
  rig.SendCommand(0x014D);
  rig.Ticks(20);
  rig.port.Deliver(":014DB3\r\n");
  rig.engine.LinkTick();
  EXPECT_EQ(rig.engine.Counters().ChecksumErrors, 1);
  EXPECT_EQ(rig.engine.Counters().Time_out, 0);
  EXPECT_EQ(rig.engine.Exchange().RetryCount, 1);  // still a resend
  // An overflow of the awaited reply counts the same way.
  rig.Ticks(20);
  rig.port.Deliver(":" + std::string(1024, '0'));
  rig.engine.LinkTick();
  EXPECT_EQ(rig.engine.Counters().Overflow_buffer, 1);
  EXPECT_EQ(rig.engine.Counters().Time_out, 0);
  EXPECT_EQ(rig.engine.Exchange().RetryCount, 2);
  rig.Ticks(21);
  EXPECT_EQ(rig.engine.Counters().Time_out, 1);
}

TEST(Supervision, ThreeFailedWritesCloseThePort) {
  EngineRig rig;
  LinkEngineProbe::SetPortText(rig.engine, "COM5");
  LinkEngineProbe::State(rig.engine).poll = PollStage::Status;
  rig.port.fail_writes = true;
  rig.engine.QueueCommand(0x014D);
  rig.Ticks(2);
  EXPECT_EQ(rig.engine.Exchange().TxFailCount, 2);
  EXPECT_TRUE(rig.engine.PortHeld());
  rig.engine.LinkTick();
  EXPECT_FALSE(rig.engine.PortHeld());
  EXPECT_EQ(rig.port.closes, 1);
  EXPECT_EQ(rig.engine.Exchange().TxFailCount, 3);  // kept until the next open
  EXPECT_EQ(rig.engine.LinkState(), LinkState::Lost);
  EXPECT_EQ(rig.engine.PollStage(), PollStage::Version);
  EXPECT_EQ(rig.engine.Exchange().Queue.Count, 0);
  EXPECT_EQ(rig.sink.port_status, "COM5 closed");
  EXPECT_EQ(rig.sink.link_state, LinkState::Lost);
  EXPECT_EQ(rig.sink.notices, std::vector<Notice>{Notice::LinkLost});

  // From now on the ticks do nothing, even with a timer still running.
  rig.sink.Clear();
  rig.engine.Poll();
  rig.port.Deliver(":014DB2\r\n");
  for (int i = 0; i < 30; ++i) rig.engine.TimedTick();
  EXPECT_EQ(rig.engine.Counters().N_rv_byte, 0);
  EXPECT_TRUE(rig.sink.calls.empty());
  EXPECT_EQ(rig.engine.Exchange().TxFailCount, 3);

  // The next open starts afresh.
  rig.port.fail_writes = false;
  EXPECT_TRUE(rig.engine.OpenPort(5));
  EXPECT_EQ(rig.engine.Exchange().TxFailCount, 0);
  EXPECT_EQ(rig.engine.LinkState(), LinkState::Opened);
}

TEST(Supervision, PortCloseWithTheLinkAlreadyDownPostsNothing) {
  EngineRig rig;
  LinkEngineProbe::State(rig.engine).link = LinkState::Lost;
  rig.port.fail_writes = true;
  rig.engine.QueueCommand(0x014D);
  rig.sink.Clear();
  rig.Ticks(3);
  EXPECT_FALSE(rig.engine.PortHeld());
  EXPECT_EQ(rig.engine.Exchange().Queue.Count, 0);
  EXPECT_TRUE(rig.sink.calls.empty());
}

TEST(Supervision, FailedResendsCountTowardsTheClose) {
  EngineRig rig;
  rig.SendCommand(0x014D);
  rig.port.fail_writes = true;
  rig.Ticks(21);  // resend fails: still awaiting, the next try comes at the next time-out
  EXPECT_EQ(rig.engine.Exchange().TxFailCount, 1);
  EXPECT_EQ(rig.engine.Exchange().AwaitingReply, 1);
  rig.Ticks(42);
  EXPECT_FALSE(rig.engine.PortHeld());
  EXPECT_EQ(rig.sink.CountNotices(Notice::LinkLost), 1);
}

TEST(Supervision, EmptyQueueWhileIdleSendsNothing) {
  EngineRig rig;
  rig.Ticks(100);
  EXPECT_TRUE(rig.port.written.empty());
  EXPECT_TRUE(rig.sink.notices.empty());
}

TEST(PollCycle, VersionThenSettingsThenStatus) {
  EngineRig rig;
  rig.engine.Poll();
  rig.engine.LinkTick();
  EXPECT_EQ(rig.TakeWritten(), kVersionRequest);

  // Busy sensor: the version is asked again.
  rig.port.Deliver(VersionReply(0x0002, 1));
  rig.engine.LinkTick();  // the restore's 'M' was a duplicate of the one in flight
  EXPECT_EQ(rig.engine.PollStage(), PollStage::Version);
  EXPECT_EQ(rig.engine.Exchange().Queue.Count, 0);
  EXPECT_TRUE(rig.TakeWritten().empty());
  rig.engine.Poll();
  rig.engine.LinkTick();
  EXPECT_EQ(rig.TakeWritten(), kVersionRequest);

  rig.port.Deliver(VersionReply(0x0002, 0));
  rig.engine.LinkTick();
  EXPECT_EQ(rig.engine.PollStage(), PollStage::Settings);
  EXPECT_EQ(rig.engine.SensorBusy(), 0);
  rig.engine.Poll();
  rig.engine.LinkTick();
  EXPECT_EQ(rig.TakeWritten(), ":015FA0\r\n");

  std::initializer_list<uint16_t> settings = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 300, 56};
  rig.port.Deliver(Reply(0x5F, settings));
  rig.engine.LinkTick();
  EXPECT_EQ(rig.engine.PollStage(), PollStage::Status);
  rig.engine.Poll();
  rig.engine.LinkTick();
  EXPECT_EQ(rig.TakeWritten(), ":0141BE\r\n");

  // Status requests do not pile up while one is awaited.
  rig.engine.Poll();
  rig.engine.Poll();
  EXPECT_EQ(rig.engine.Exchange().Queue.Count, 1);

  // Other stages ask nothing.
  EngineRig idle;
  LinkEngineProbe::State(idle.engine).poll = static_cast<PollStage>(3);
  idle.engine.Poll();
  LinkEngineProbe::State(idle.engine).poll = static_cast<PollStage>(-1);
  idle.engine.Poll();
  EXPECT_EQ(idle.engine.Exchange().Queue.Count, 0);
}

TEST(PollCycle, RepeatGuardCountsDownToZero) {
  EngineRig rig;
  LinkEngineProbe::SetRepeatGuard(rig.engine, 3);
  const int16_t expected[] = {2, 1, 0, 0};
  for (int16_t value : expected) {
    rig.engine.CountDown();
    EXPECT_EQ(rig.engine.RepeatGuard(), value);
  }
}

}  // namespace
}  // namespace tarvin
