// What each reply and stream frame does, through the tick that receives it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/support/engine_probe.h"
#include "tests/support/link_frames.h"

namespace tarvin {
namespace {

using testing::EngineRig;
using testing::FrameText;
using testing::Reply;
using testing::Stream;
using testing::VersionReply;

// A rig whose link is up and which awaits a reply to a status request.
struct AwaitingRig : EngineRig {
  AwaitingRig() {
    LinkEngineProbe::State(engine).link = LinkState::Up;
    Await();
  }
  void Await() {
    LinkEngineProbe::State(engine).Queue.Clear();
    LinkEngineProbe::State(engine).AwaitingReply = 0;
    engine.QueueCommand(0x0162);
    engine.LinkTick();
  }
  // Delivers an awaited reply and runs its tick.
  void Answer(const std::string& frame) {
    Await();
    sink.Clear();
    port.Deliver(frame);
    engine.LinkTick();
  }
};

TEST(StatusReply, FlankBalanceTable) {
  struct Case {
    uint16_t status;
    Balance balance;
  };
  const Case cases[] = {
      {0x0000, Balance::Balanced},
      {0x0010, Balance::FirstFlankLow},
      {0x0020, Balance::SecondFlankLow},
      {0xFFCF, Balance::Balanced},
  };
  for (const Case& c : cases) {
    AwaitingRig rig;
    rig.Answer(Reply(0x41, {c.status}));
    ASSERT_EQ(rig.sink.balances.size(), 1u) << c.status;
    EXPECT_EQ(rig.sink.balances[0], c.balance);
    EXPECT_EQ(rig.sink.reply_code, 65u);
  }
  AwaitingRig rig;
  rig.Answer(Reply(0x41, {0x0030}));  // both bits: unchanged
  EXPECT_TRUE(rig.sink.balances.empty());
  EXPECT_EQ(rig.sink.reply_code, 65u);
}

TEST(StatusReply, OnlyTheAlarmEdgeArmsTheSave) {
  AwaitingRig rig;
  LinkEngineProbe::SetSaveAlarmTag(rig.engine, 1);
  const uint16_t statuses[] = {0x00, 0x02, 0x06, 0x04, 0x00, 0x04};
  const int arms_after[] = {0, 1, 1, 1, 1, 2};
  for (int i = 0; i < 6; ++i) {
    rig.Answer(Reply(0x41, {statuses[i]}));
    EXPECT_EQ(rig.scope.arms, arms_after[i]) << "reply " << i;
  }
  EXPECT_EQ(rig.engine.AlarmBits()[0], 0);
  EXPECT_EQ(rig.engine.AlarmBits()[1], 4);
}

TEST(StatusReply, DisabledSavingStillFollowsTheAlarm) {
  AwaitingRig rig;
  rig.Answer(Reply(0x41, {0x02}));
  EXPECT_EQ(rig.scope.arms, 0);
  LinkEngineProbe::SetSaveAlarmTag(rig.engine, 1);  // enabled during a long alarm
  rig.Answer(Reply(0x41, {0x02}));
  EXPECT_EQ(rig.scope.arms, 0);
  rig.Answer(Reply(0x41, {0x00}));
  rig.Answer(Reply(0x41, {0x02}));
  EXPECT_EQ(rig.scope.arms, 1);
}

TEST(VersionReply, WrongVersionIsNoticedOnce) {
  struct Case {
    uint16_t version;
    unsigned major, minor;
    bool wrong;
  };
  const Case cases[] = {
      {0x0002, 2, 0, false},
      {0x0102, 2, 1, true},
      {0x0003, 3, 0, true},
      {0xFFFF, 255, 255, true},
  };
  for (const Case& c : cases) {
    AwaitingRig rig;
    for (int i = 0; i < 3; ++i) {
      rig.Answer(VersionReply(c.version, 1));
      ASSERT_EQ(rig.sink.firmware.size(), 1u);
      EXPECT_EQ(rig.sink.firmware[0].major, c.major);
      EXPECT_EQ(rig.sink.firmware[0].minor, c.minor);
      const bool posted = rig.sink.CountNotices(Notice::WrongVersion) == 1;
      EXPECT_EQ(posted, c.wrong && i == 0) << c.version << " reply " << i;
    }
    EXPECT_EQ(rig.engine.Exchange().VersionWarned, c.wrong ? 1 : 0);
    EXPECT_EQ(rig.engine.PollStage(), PollStage::Version);  // busy: keep asking the version
    EXPECT_EQ(rig.engine.SensorBusy(), 1);
  }
}

TEST(VersionReply, StandbyMovesToTheSettings) {
  AwaitingRig rig;
  rig.Answer(VersionReply(0x0002, 0));
  EXPECT_EQ(rig.engine.SensorBusy(), 0);
  EXPECT_EQ(rig.engine.PollStage(), PollStage::Settings);
  rig.Answer(VersionReply(0x0002, 0xFFFF));
  EXPECT_EQ(rig.engine.SensorBusy(), -1);
  EXPECT_EQ(rig.engine.PollStage(), PollStage::Settings);  // not moved back by a busy reply
}

TEST(OtherReplies, SettingsThresholdFlagsAndAddress) {
  AwaitingRig rig;
  rig.Answer(Reply(0x5D, {0xFFFF, 56}));
  EXPECT_EQ(rig.sink.direct_component, std::vector<int>{-1});
  EXPECT_EQ(rig.sink.buffer_length, std::vector<int>{56});

  LinkEngineProbe::State(rig.engine).poll = PollStage::Settings;
  rig.Answer(Reply(0x5F, {9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 4095, 0x8000}));
  EXPECT_EQ(rig.sink.direct_component, std::vector<int>{4095});
  EXPECT_EQ(rig.sink.buffer_length, std::vector<int>{-32768});
  EXPECT_EQ(rig.engine.PollStage(), PollStage::Status);

  rig.Answer(Reply(0x5B, {0x0003}));
  EXPECT_EQ(rig.engine.SensorFlags(), 0x0003);

  rig.Answer(Reply(0x62, {0xFFFF}));
  EXPECT_EQ(rig.sink.network_address, std::vector<unsigned>{65535});

  // The address write's answer and unknown codes do nothing beyond ending the command.
  for (uint16_t code : {0x60, 0x42, 0x00, 0xFF}) {
    rig.Answer(Reply(code, {1, 2, 3}));
    EXPECT_TRUE(rig.sink.calls.empty()) << code;
    EXPECT_EQ(rig.engine.Exchange().Queue.Count, 0);
  }
}

TEST(OtherReplies, FramesShorterThanTheirWordsAreIgnored) {
  // Each frame is good but stops before the last word its handler reads; the
  // buffer behind it holds a longer, older frame that must not be read.
  AwaitingRig rig;
  LinkEngineProbe::SetChartTag(rig.engine, 1);
  rig.Answer(Reply(0x41, {0x1234, 0x5678, 0x9ABC, 0xDEF0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
  LinkEngineProbe::State(rig.engine).poll = PollStage::Version;
  LinkEngineProbe::SetSensorFlags(rig.engine, 7);
  const std::string shorts[] = {
      Reply(0x41),      Reply(0x4D, {0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), Reply(0x5B),
      Reply(0x5D, {1}), Reply(0x5F, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}), Reply(0x62),
  };
  for (const std::string& frame : shorts) {
    rig.Answer(frame);
    EXPECT_TRUE(rig.sink.calls.empty()) << frame;
  }
  EXPECT_EQ(rig.engine.PollStage(), PollStage::Version);
  EXPECT_EQ(rig.engine.SensorFlags(), 7);
  EXPECT_EQ(rig.engine.Exchange().VersionWarned, 0);

  rig.sink.Clear();
  rig.port.Deliver(Stream(0x41, {0}) + Stream(0x42, {1, 2, 3, 4, 5, 6, 7, 8, 9}));
  rig.engine.LinkTick();
  EXPECT_TRUE(rig.sink.calls.empty());
  EXPECT_TRUE(rig.scope.samples.empty());
}

TEST(StreamFrames, DirectComponentUnlessWordOneIsOne) {
  EngineRig rig;
  rig.port.Deliver(Stream(0x41, {0, 0xFFFF}) + Stream(0x41, {1, 5}) + Stream(0x41, {2, 7}));
  rig.engine.LinkTick();
  EXPECT_EQ(rig.sink.direct_component, (std::vector<int>{65535, 7}));
}

TEST(StreamFrames, ChartSampleDecodedLowWordFirst) {
  EngineRig rig;
  const float threshold = 42.5f;
  uint32_t bits = 0;
  std::memcpy(&bits, &threshold, sizeof bits);
  const std::string frame = Stream(0x42, {0x5678, 0x1234, 0x0001, 0x0000, 0xFFFF, 0xFFFF, 0x0000, 0x8000,
                                          static_cast<uint16_t>(bits), static_cast<uint16_t>(bits >> 16)});
  rig.port.Deliver(frame);
  rig.engine.LinkTick();
  EXPECT_TRUE(rig.scope.samples.empty());  // chart not started: ignored

  LinkEngineProbe::SetChartTag(rig.engine, 1);
  rig.port.Deliver(frame);
  rig.engine.LinkTick();
  ASSERT_EQ(rig.scope.samples.size(), 1u);
  const ScopeSample& s = rig.scope.samples[0];
  EXPECT_EQ(s.useful, 0x12345678u);
  EXPECT_EQ(s.ekNoise, 1u);
  EXPECT_EQ(s.ekClimate, 0xFFFFFFFFu);
  EXPECT_EQ(s.input, 0x80000000u);
  EXPECT_EQ(s.threshold, threshold);
}

TEST(StreamFrames, EachDispatchKnowsOnlyItsOwnCodes) {
  EngineRig rig;
  LinkEngineProbe::SetChartTag(rig.engine, 1);
  rig.sink.Clear();
  rig.port.Deliver(Stream(0x5B, {3}) + Stream(0x4D, {0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}) +
                   Stream(0x5F, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1}));
  rig.engine.LinkTick();
  EXPECT_EQ(rig.engine.SensorFlags(), 0);
  EXPECT_EQ(rig.engine.Exchange().VersionWarned, 0);
  EXPECT_EQ(rig.engine.PollStage(), PollStage::Version);
  EXPECT_TRUE(rig.sink.calls.empty());

  // An awaited reply with the chart code only ends the command in flight.
  AwaitingRig awaiting;
  LinkEngineProbe::SetChartTag(awaiting.engine, 1);
  awaiting.Answer(Reply(0x42, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
  EXPECT_TRUE(awaiting.scope.samples.empty());
  EXPECT_EQ(awaiting.engine.Exchange().AwaitingReply, 0);
}

}  // namespace
}  // namespace tarvin
