// Faults of the line: each ends in the state and the counters the link
// supervision prescribes, and the link comes back when the sensor does.
#include "tests/integration/engine_rig.h"
#include "tests/support/engine_probe.h"

namespace tarvin::testing {
namespace {

using LinkFaults = EngineRig;

TEST_F(LinkFaults, SilenceTimesOutResendsThenLosesAndRestoresTheLink) {
  Connect();
  const int32_t timeouts = engine_->Counters().Time_out;
  const int32_t sent = engine_->Counters().N_tr_frame;
  const long asked = sim_.Stats().at("A");
  sim_.Send("silence 60");
  ASSERT_TRUE(RunUntil([&] { return Notices(Notice::LinkLost) > 0; }, 9 * kSecond));
  // One command, written once and resent five times, timed out six times.
  EXPECT_EQ(engine_->Counters().Time_out - timeouts, 6);
  EXPECT_GE(engine_->Counters().N_tr_frame - sent, 5);
  EXPECT_LE(engine_->Counters().N_tr_frame - sent, 6);
  EXPECT_GE(sim_.Stats().at("A") - asked, 6);  // the resends reached the sensor
  EXPECT_EQ(std::string(engine_->Tr_Frame()), ":0141BE\r\n");
  EXPECT_EQ(engine_->LinkState(), LinkState::Lost);
  EXPECT_EQ(engine_->PollStage(), PollStage::Version);
  EXPECT_EQ(engine_->Exchange().Queue.Count, 0);
  EXPECT_EQ(sink_.link_state, LinkState::Lost);
  EXPECT_TRUE(engine_->PortHeld());  // silence does not close the port

  // Still silent: the version is asked and given up again, and nothing more is posted.
  Run(7 * kSecond);
  EXPECT_EQ(Notices(Notice::LinkLost), 1);
  EXPECT_GT(engine_->Counters().Time_out - timeouts, 6);

  sim_.Send("silence 0");
  ASSERT_TRUE(RunUntil([&] { return Notices(Notice::LinkRestored) == 2; }, 4 * kSecond));
  ASSERT_TRUE(RunUntil([&] { return engine_->PollStage() == PollStage::Status; }, 4 * kSecond));
  EXPECT_EQ(engine_->LinkState(), LinkState::Up);
  EXPECT_EQ(sink_.link_state, LinkState::Up);
  EXPECT_EQ(Notices(Notice::LinkLost), 1);
}

TEST_F(LinkFaults, DroppedRepliesAreMadeUpByResends) {
  Connect();
  sim_.Send("drop 40");
  Run(8 * kSecond);
  sim_.Send("drop 0");
  Run(2 * kSecond);
  const auto stats = sim_.Stats();
  EXPECT_GT(stats.at("dropped"), 0);
  // Every dropped reply was one time-out and one resend; the link held.
  EXPECT_EQ(engine_->Counters().Time_out, stats.at("dropped"));
  EXPECT_EQ(Notices(Notice::LinkLost), 0);
  EXPECT_EQ(engine_->LinkState(), LinkState::Up);
  EXPECT_EQ(engine_->PollStage(), PollStage::Status);
}

TEST_F(LinkFaults, CorruptFramesCountAsChecksumErrorsAndNeverBecomeSamples) {
  Connect();
  StartChart();
  ASSERT_TRUE(RunUntil([&] { return !scope_.samples.empty(); }, 2 * kSecond));
  sim_.Send("corrupt 20");
  Run(6 * kSecond);
  sim_.Send("corrupt 0");
  StopStream();
  ASSERT_TRUE(RunUntil([&] { return engine_->SensorFlags() == 0; }, 3 * kSecond));
  Run(kSecond);
  const auto stats = sim_.Stats();

  ASSERT_GT(stats.at("corrupt_stream"), 0);
  EXPECT_EQ(engine_->Counters().ChecksumErrors, stats.at("corrupt_stream") + stats.at("corrupt_replies"));
  // Exactly the corrupted samples are missing (the stream's status frames are
  // corrupted too, and are no samples); every sample recorded is one the sensor sent.
  const auto& s = scope_.samples;
  EXPECT_EQ(static_cast<long>(s.size()) + stats.at("corrupt_samples"), stats.at("samples"));
  for (std::size_t i = 1; i < s.size(); ++i) ASSERT_GT(s[i].ekClimate, s[i - 1].ekClimate) << i;
  EXPECT_LT(s.back().ekClimate, static_cast<uint32_t>(stats.at("samples")));
  EXPECT_EQ(Notices(Notice::LinkLost), 0);
  EXPECT_EQ(engine_->LinkState(), LinkState::Up);
}

TEST_F(LinkFaults, GarbageOverflowsTheReceiveBufferAndTheLinkRecovers) {
  Connect();
  sim_.Send("garbage 60");
  ASSERT_TRUE(RunUntil([&] { return Notices(Notice::LinkLost) > 0; }, 9 * kSecond));
  // About 3840 characters a second without a frame end: one overflow per 1024.
  EXPECT_GE(engine_->Counters().Overflow_buffer, 10);
  EXPECT_EQ(engine_->Counters().ChecksumErrors, 0);
  sim_.Send("garbage 0");
  ASSERT_TRUE(RunUntil(
      [&] { return engine_->PollStage() == PollStage::Status && Notices(Notice::LinkRestored) == 2; },
      6 * kSecond));
  const int32_t overflows = engine_->Counters().Overflow_buffer;
  const int32_t frames = engine_->Counters().N_rv_frame;
  Run(2 * kSecond);
  EXPECT_EQ(engine_->Counters().Overflow_buffer, overflows);
  EXPECT_GT(engine_->Counters().N_rv_frame, frames);
  EXPECT_EQ(sink_.reply_code, 65u);
  EXPECT_EQ(Notices(Notice::LinkLost), 1);
}

TEST_F(LinkFaults, UnsolicitedReplyIsCountedAndDisturbsNothing) {
  Connect();
  for (int i = 0; i < 5; ++i) {
    sim_.Send("unsolicited");
    Run(kSecond);
  }
  EXPECT_EQ(engine_->Counters().ChecksumErrors, 0);
  EXPECT_EQ(Notices(Notice::LinkLost), 0);
  EXPECT_EQ(engine_->PollStage(), PollStage::Status);
  EXPECT_EQ(engine_->LinkState(), LinkState::Up);
}

}  // namespace
}  // namespace tarvin::testing
