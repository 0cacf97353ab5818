// The receive loop and the exchange supervision, driven tick by tick.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/engine_probe.h"
#include "tests/support/link_frames.h"

namespace tarvin {
namespace {

using testing::EngineRig;
using testing::Reply;
using testing::Stream;

using testing::kVersionRequest;

TEST(OpenPort, SuccessResetsTheLinkAndStartsTheTimer) {
  EngineRig rig;
  LinkEngine& e = rig.engine;
  e.QueueCommand(0x015B, {1});
  LinkEngineProbe::State(e).AwaitingReply = 1;
  LinkEngineProbe::State(e).RetryCount = 4;
  LinkEngineProbe::State(e).TxFailCount = 2;
  LinkEngineProbe::State(e).FrameState = 1;
  LinkEngineProbe::State(e).link = LinkState::Lost;
  rig.port.Deliver(":01");  // arrived before the open: discarded
  rig.sink.Clear();

  EXPECT_TRUE(e.OpenPort(7));
  EXPECT_EQ(rig.port.last_number, 7);
  EXPECT_EQ(rig.port.Pending(), 0u);
  EXPECT_EQ(e.LinkState(), LinkState::Opened);
  EXPECT_EQ(e.Exchange().FrameState, 0);
  EXPECT_EQ(e.Exchange().AwaitingReply, 0);
  EXPECT_EQ(e.Exchange().RetryCount, 0);
  EXPECT_EQ(e.Exchange().TxFailCount, 0);
  EXPECT_EQ(e.Exchange().Queue.Count, 0);
  EXPECT_EQ(e.Exchange().Queue.Slots[0].usCode, 0);
  EXPECT_TRUE(e.Ticking());
  EXPECT_EQ((std::vector<std::string>{"SetLinkState 2", "SetTicking on"}), rig.sink.calls);
  EXPECT_TRUE(rig.port.written.empty());  // the open sends nothing
}

TEST(OpenPort, FailuresLeaveTheTimerOffAndTheLinkDown) {
  for (OpenResult failure : {OpenResult::NotOpened, OpenResult::SettingsUnreadable}) {
    FakePort port;
    testing::RecorderSink sink;
    testing::RecorderScope scope;
    LinkEngine e(port, sink, scope);
    port.open_result = failure;
    EXPECT_FALSE(e.OpenPort(3));
    EXPECT_EQ(e.LinkState(), LinkState::Lost);
    EXPECT_FALSE(e.Ticking());
    EXPECT_TRUE(sink.calls.empty());
    // Only after unreadable settings is the device still held.
    EXPECT_EQ(e.PortHeld(), failure == OpenResult::SettingsUnreadable);
    e.TimedTick();
    EXPECT_TRUE(port.written.empty());
  }
}

TEST(ReceivePhase, ReplySplitOverTicksIsAssembled) {
  EngineRig rig;
  rig.SendCommand(0x0160);
  ASSERT_EQ(rig.engine.Exchange().AwaitingReply, 1);
  const std::string reply = Reply(0x60);  // ":0160" + LRC + CR LF
  rig.port.Deliver(reply.substr(0, 3));
  rig.engine.LinkTick();
  EXPECT_EQ(rig.engine.Exchange().FrameState, 1);
  EXPECT_EQ(rig.engine.Exchange().RxLength, 2);
  rig.port.Deliver(reply.substr(3, 5));  // through the CR
  rig.engine.LinkTick();
  EXPECT_EQ(rig.engine.Exchange().AwaitingReply, 1);
  rig.port.Deliver("\n");  // LF in a later tick than its CR
  rig.TakeWritten();
  rig.engine.LinkTick();
  EXPECT_EQ(rig.engine.LinkState(), LinkState::Up);
  EXPECT_EQ(rig.port.written, kVersionRequest);  // the restore's request, the write answered
  EXPECT_EQ(rig.engine.Counters().N_rv_frame, 1);
  EXPECT_EQ(rig.engine.Counters().N_rv_byte, static_cast<int32_t>(reply.size()));
  EXPECT_STREQ(rig.engine.Rv_Frame(), reply.substr(1, reply.size() - 3).c_str());
}

TEST(ReceivePhase, StartCharacterInsideAFrameRestartsIt) {
  for (const char* restart : {":", "~"}) {
    EngineRig rig;
    rig.SendCommand(0x0160);
    const std::string good = restart[0] == ':' ? Reply(0x60) : Stream(0x5B);
    rig.port.Deliver(":01604B" + good);  // a broken start, then a whole frame
    rig.engine.LinkTick();
    EXPECT_EQ(rig.engine.Counters().ChecksumErrors, 0) << restart;
    EXPECT_EQ(rig.engine.Counters().N_rv_frame, 1) << restart;
    EXPECT_STREQ(rig.engine.Rv_Frame(), good.substr(1, good.size() - 3).c_str());
    // Only a ':' frame answers the command; then the restore's 'M' is in flight.
    EXPECT_EQ(rig.engine.Exchange().Queue.Slots[0].usCode, restart[0] == ':' ? 0x4D : 0x60) << restart;
  }
}

TEST(ReceivePhase, LfWithoutCrIsStoredAndLinesWithoutStartAreFrames) {
  EngineRig rig;
  rig.port.Deliver("AB\nCD\r\n");
  rig.engine.LinkTick();
  EXPECT_STREQ(rig.engine.Rv_Frame(), "AB\nCD");
  EXPECT_EQ(rig.engine.Counters().ChecksumErrors, 1);

  // An LF at position 0 is stored too; a valid line without start is counted only.
  rig.port.Deliver("\n\r\n014DB2\r\n");
  rig.engine.LinkTick();
  EXPECT_STREQ(rig.engine.Rv_Frame(), "014DB2");
  EXPECT_EQ(rig.engine.Counters().ChecksumErrors, 2);
  EXPECT_EQ(rig.engine.Counters().N_rv_frame, 1);
  EXPECT_TRUE(rig.sink.notices.empty());
}

TEST(ReceivePhase, BufferHoldsAtMost1022CharactersAndItsCr) {
  EngineRig rig;
  rig.port.Deliver(":" + std::string(1022, '0') + "\r\n");
  rig.engine.LinkTick();
  EXPECT_EQ(rig.engine.Counters().Overflow_buffer, 0);
  EXPECT_EQ(rig.engine.Counters().N_rv_frame + rig.engine.Counters().ChecksumErrors, 1);
  EXPECT_EQ(std::string(rig.engine.Rv_Frame()).size(), 1022u);

  rig.port.Deliver(":" + std::string(1023, '0') + "\r\n");
  rig.engine.LinkTick();
  EXPECT_EQ(rig.engine.Counters().Overflow_buffer, 1);
  EXPECT_EQ(rig.engine.Exchange().FrameState, 0);
  EXPECT_EQ(rig.engine.Exchange().RxLength, 1);  // the LF, now at position 0
  EXPECT_EQ(rig.engine.Counters().N_rv_frame + rig.engine.Counters().ChecksumErrors, 1);
}

TEST(ReceivePhase, ReplyNobodyAwaitsIsCountedOnly) {
  EngineRig rig;
  rig.engine.QueueCommand(0x015B, {3});  // queued, sent only at the end of the tick
  rig.port.Deliver(Reply(0x5B, {7}));
  rig.engine.LinkTick();
  EXPECT_EQ(rig.engine.Counters().N_rv_frame, 1);
  EXPECT_EQ(rig.engine.SensorFlags(), 0);
  EXPECT_EQ(rig.engine.Exchange().FrameState, 1);  // left as it was
  EXPECT_EQ(rig.engine.LinkState(), LinkState::Opened);
  EXPECT_EQ(rig.engine.Exchange().Queue.Count, 1);
  EXPECT_EQ(rig.port.written, ":015B0003A1\r\n");
}

TEST(ReceivePhase, AnyGoodReplyEndsTheCommandAndTheNextIsSentInTheSameTick) {
  EngineRig rig;
  rig.engine.QueueCommand(0x0162);
  rig.engine.QueueCommand(0x015B, {1});
  rig.engine.LinkTick();
  EXPECT_EQ(rig.TakeWritten(), ":01629D\r\n");
  rig.port.Deliver(Reply(0x42));  // another code still answers it
  rig.engine.LinkTick();
  EXPECT_EQ(rig.engine.Exchange().Queue.Count, 2);  // the 'b' gone, '[' in flight, 'M' of the restore queued
  EXPECT_EQ(rig.engine.Exchange().Queue.Slots[0].usCode, 0x5B);
  EXPECT_EQ(rig.engine.Exchange().Queue.Slots[1].usCode, 0x4D);
  EXPECT_EQ(rig.TakeWritten(), ":015B0001A3\r\n");
  EXPECT_EQ(rig.engine.Exchange().AwaitingReply, 1);
  EXPECT_EQ(rig.engine.Exchange().WaitTicks, 0);
}

TEST(ReceivePhase, StreamFrameWhileWaitingDoesNotEndTheWait) {
  EngineRig rig;
  rig.SendCommand(0x014D);
  rig.Ticks(5);
  rig.port.Deliver(Stream(0x41, {0, 0x0123}));
  rig.engine.LinkTick();
  EXPECT_EQ(rig.engine.Exchange().AwaitingReply, 1);
  EXPECT_EQ(rig.engine.Exchange().WaitTicks, 6);
  EXPECT_EQ(rig.engine.Exchange().Queue.Count, 1);
  EXPECT_EQ(rig.engine.LinkState(), LinkState::Opened);
  EXPECT_EQ(rig.sink.direct_component, std::vector<int>{291});
}

TEST(ReceivePhase, BadReplyIsCountedAndTheWaitGoesOn) {
  EngineRig rig;
  rig.SendCommand(0x014D);
  rig.port.Deliver(":014DB3\r\n");
  rig.engine.LinkTick();
  EXPECT_EQ(rig.engine.Counters().ChecksumErrors, 1);
  EXPECT_STREQ(rig.engine.Rv_Frame(), "014DB3");
  EXPECT_EQ(rig.engine.Exchange().AwaitingReply, 1);
  EXPECT_EQ(rig.engine.Exchange().FrameState, 0);
  EXPECT_EQ(rig.engine.Exchange().TickErrorMark, 0);  // cleared at the end of the tick
}

}  // namespace
}  // namespace tarvin
