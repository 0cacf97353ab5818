// The sensor's end of the line goes away: three failed writes close the port,
// the engine then rests until the operator opens a port again.
#include "tests/integration/engine_rig.h"

namespace tarvin::testing {
namespace {

using PortFaults = EngineRig;

TEST_F(PortFaults, HangupClosesThePortAfterThreeFailedWrites) {
  Connect();
  sim_.Send("hangup");
  ASSERT_TRUE(RunUntil([&] { return !engine_->PortHeld(); }, 6 * kSecond));
  EXPECT_EQ(Notices(Notice::LinkLost), 1);
  EXPECT_EQ(engine_->Exchange().TxFailCount, 3);
  EXPECT_EQ(engine_->LinkState(), LinkState::Lost);
  EXPECT_EQ(engine_->PollStage(), PollStage::Version);
  EXPECT_EQ(engine_->Exchange().Queue.Count, 0);
  EXPECT_EQ(sink_.port_status, "COM1 closed");
  EXPECT_EQ(sink_.link_state, LinkState::Lost);

  // Later ticks do nothing: no byte either way, no counter moves, nothing posted.
  const LinkCounters before = engine_->Counters();
  Run(2 * kSecond);
  EXPECT_EQ(engine_->Counters().N_rv_byte, before.N_rv_byte);
  EXPECT_EQ(engine_->Counters().N_tr_byte, before.N_tr_byte);
  EXPECT_EQ(engine_->Counters().N_tr_frame, before.N_tr_frame);
  EXPECT_EQ(engine_->Counters().Time_out, before.Time_out);
  EXPECT_EQ(engine_->Exchange().TxFailCount, 3);
  EXPECT_EQ(Notices(Notice::LinkLost), 1);
  EXPECT_FALSE(engine_->PortHeld());

  // The sensor returns on a new pseudo-terminal; the operator chooses the port again.
  sim_.Send("return");
  ASSERT_TRUE(sim_.WaitFor("ready"));
  ASSERT_TRUE(engine_->OpenPort(1));
  EXPECT_EQ(engine_->Exchange().TxFailCount, 0);
  EXPECT_EQ(engine_->LinkState(), LinkState::Opened);
  ASSERT_TRUE(RunUntil(
      [&] { return engine_->PollStage() == PollStage::Status && Notices(Notice::LinkRestored) == 2; },
      6 * kSecond));
  EXPECT_EQ(Notices(Notice::LinkLost), 1);
}

TEST_F(PortFaults, OpeningAPortNobodyServesFails) {
  // No simulator: COM1 is no entry in the work folder, and /dev/ttyS0 is not ours to open.
  port_ = MakeNativePort(work_.Folder() + "missing/");
  own_engine_ = std::make_unique<LinkEngine>(*port_, sink_, scope_);
  engine_ = own_engine_.get();
  EXPECT_FALSE(engine_->OpenPort(71));
  EXPECT_EQ(engine_->LinkState(), LinkState::Lost);
  EXPECT_FALSE(engine_->PortHeld());
}

}  // namespace
}  // namespace tarvin::testing
