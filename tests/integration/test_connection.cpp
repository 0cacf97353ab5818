// The engine meets the simulated sensor: link restored, version checked,
// settings read once, then the status asked once a second.
#include "tests/integration/engine_rig.h"
#include "tests/support/engine_probe.h"

namespace tarvin::testing {
namespace {

using Connection = EngineRig;

TEST_F(Connection, RestoresTheLinkChecksTheVersionAndSettlesOnStatusPolls) {
  Connect();
  EXPECT_EQ(Notices(Notice::LinkRestored), 1);
  EXPECT_EQ(Notices(Notice::LinkLost), 0);
  EXPECT_EQ(Notices(Notice::WrongVersion), 0);
  EXPECT_EQ(engine_->LinkState(), LinkState::Up);
  EXPECT_EQ(engine_->SensorBusy(), 0);
  ASSERT_FALSE(sink_.firmware.empty());
  EXPECT_EQ(sink_.firmware.back().major, 2u);
  EXPECT_EQ(sink_.firmware.back().minor, 0u);
  ASSERT_FALSE(sink_.direct_component.empty());
  EXPECT_EQ(sink_.direct_component.back(), 30);
  EXPECT_EQ(sink_.buffer_length.back(), 56);
  EXPECT_EQ(sink_.link_state, LinkState::Up);
  EXPECT_EQ(sink_.balances.back(), Balance::Balanced);

  const auto before = sim_.Stats();
  const int32_t frames_before = engine_->Counters().N_rv_frame;
  Run(5 * kSecond);
  const auto after = sim_.Stats();
  // Once a second, and nothing else: the version and the settings were asked once.
  EXPECT_GE(after.at("A") - before.at("A"), 4);
  EXPECT_LE(after.at("A") - before.at("A"), 6);
  EXPECT_EQ(after.at("M"), 1);
  EXPECT_EQ(after.at("_"), 1);
  EXPECT_EQ(engine_->PollStage(), PollStage::Status);
  EXPECT_EQ(sink_.reply_code, 65u);
  // One reply per request; a request may be on its way at either reading.
  EXPECT_NEAR(engine_->Counters().N_rv_frame - frames_before, after.at("A") - before.at("A"), 1);
  EXPECT_EQ(engine_->Counters().ChecksumErrors, 0);
  EXPECT_EQ(engine_->Counters().Time_out, 0);
  EXPECT_EQ(engine_->Counters().Overflow_buffer, 0);
  EXPECT_EQ(std::string(engine_->Tr_Frame()), ":0141BE\r\n");
  EXPECT_EQ(Notices(Notice::LinkRestored), 1);
}

TEST_F(Connection, ImbalanceAndAlarmReachTheStatusHandlers) {
  Connect({"--balance", "0x20"});
  EXPECT_EQ(sink_.balances.back(), Balance::SecondFlankLow);
  LinkEngineProbe::SetSaveAlarmTag(*engine_, 1);
  sim_.Send("intrusion 3");
  ASSERT_TRUE(RunUntil([&] { return scope_.arms > 0; }, 3 * kSecond));
  EXPECT_NE(engine_->AlarmBits()[0] | engine_->AlarmBits()[1], 0);
  // One alarm, one arming, however many status replies carry it.
  Run(2 * kSecond);
  EXPECT_EQ(scope_.arms, 1);
}

TEST_F(Connection, WrongFirmwareIsReportedOnce) {
  StartAndOpen({"--version", "0x0102"});
  ASSERT_TRUE(RunUntil([&] { return Notices(Notice::WrongVersion) > 0; }, 4 * kSecond));
  EXPECT_EQ(sink_.firmware.back().major, 2u);
  EXPECT_EQ(sink_.firmware.back().minor, 1u);
  // The window ends the program on this notice; the engine alone must not repeat it,
  // however many such replies follow.
  for (int i = 0; i < 3; ++i) {
    engine_->QueueCommand(0x014D);
    Run(kSecond);
  }
  EXPECT_GE(sim_.Stats().at("M"), 4);
  EXPECT_EQ(Notices(Notice::WrongVersion), 1);
}

TEST_F(Connection, BusySensorIsAskedItsVersionEachSecondThenItsSettingsOnce) {
  StartAndOpen({"--busy", "4"});
  ASSERT_TRUE(RunUntil([&] { return engine_->PollStage() != PollStage::Version; }, 10 * kSecond));
  const long ticks_busy = ticks_;
  const auto at_standby = sim_.Stats();
  // The version every second while busy: the first at tick 25, then one each 25 ticks.
  EXPECT_GE(at_standby.at("M"), 3);
  EXPECT_NEAR(static_cast<double>(at_standby.at("M")), ticks_busy / 25.0, 1.0);
  EXPECT_EQ(at_standby.at("_"), 0);
  EXPECT_EQ(Notices(Notice::LinkRestored), 1);

  ASSERT_TRUE(RunUntil([&] { return engine_->PollStage() == PollStage::Status; }, 3 * kSecond));
  Run(3 * kSecond);
  const auto later = sim_.Stats();
  EXPECT_EQ(later.at("_"), 1);
  EXPECT_EQ(later.at("M"), at_standby.at("M"));
  EXPECT_GE(later.at("A"), 2);
  EXPECT_EQ(engine_->SensorBusy(), 0);
}

}  // namespace
}  // namespace tarvin::testing
