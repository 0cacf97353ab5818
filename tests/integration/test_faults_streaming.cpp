// Faults of the line while the chart streams at the line's pace, end to end:
// the engine, the scope model and the window's reactions to the notices. No
// fault may turn into a wrong sample, each loss and return is reported once,
// and the stream goes on when the line does.
#include <cstdio>

#include "tests/integration/fault_rig.h"

namespace tarvin::testing {
namespace {

using StreamFaults = FaultRig;

TEST_F(StreamFaults, HangupMidStreamClosesThePortOnceAndAChosenPortBringsTheStreamBack) {
  ConnectModel();
  PressStart();
  ASSERT_TRUE(Until([&] { return sink_.points.size() >= 100; }, 4 * kSecond));

  sim_.Send("hangup");
  ASSERT_TRUE(Until([&] { return !engine_->PortHeld(); }, 6 * kSecond));
  EXPECT_EQ(engine_->Exchange().TxFailCount, 3);
  EXPECT_EQ(engine_->LinkState(), LinkState::Lost);
  EXPECT_EQ(engine_->Exchange().Queue.Count, 0);
  EXPECT_EQ(engine_->Exchange().AwaitingReply, 0);
  EXPECT_EQ(sink_.port_status, "COM1 closed");
  EXPECT_EQ(sink_.link_state, LinkState::Lost);
  Step();  // the notices of the closing tick are handled after it
  EXPECT_EQ(Notices(Notice::LinkLost), 1);
  EXPECT_EQ(BoxesSaying("Нет связи с датчиком!"), 1);
  EXPECT_EQ(sink_.boxes.back().caption, "Ошибка");
  EXPECT_EQ(sink_.boxes.back().icon, BoxIcon::Error);
  EXPECT_EQ(sink_.pictures.back(), LinkSign::Silent);
  // The frame cut by the hang-up became no sample.
  const std::vector<ScopeSample> before_hangup = Samples();
  ExpectOnlyTheSensorsSamples(before_hangup, sim_.Stats().at("samples"));

  // Closed: the ticks go on (TimerRv stays on) but touch no port and count nothing.
  const LinkCounters counters = engine_->Counters();
  const std::size_t calls = sink_.calls.size();
  const double cpu_before = CpuSeconds();
  Steps(2 * kSecond);
  const double cpu_per_tick_us = (CpuSeconds() - cpu_before) * 1e6 / (2 * kSecond);
  std::printf("[ measured ] %.1f us of CPU per 40 ms tick (timers included) with the port closed\n",
              cpu_per_tick_us);
  EXPECT_TRUE(engine_->Ticking());
  EXPECT_EQ(engine_->Counters().N_rv_byte, counters.N_rv_byte);
  EXPECT_EQ(engine_->Counters().N_tr_byte, counters.N_tr_byte);
  EXPECT_EQ(engine_->Counters().Time_out, counters.Time_out);
  EXPECT_EQ(engine_->Counters().ChecksumErrors, counters.ChecksumErrors);
  EXPECT_EQ(engine_->Exchange().TxFailCount, 3);
  EXPECT_EQ(sink_.points.size(), before_hangup.size());
  EXPECT_EQ(Notices(Notice::LinkLost), 1);
  // Timer1 asks the version into an empty queue, and that is all that happens.
  for (std::size_t i = calls; i < sink_.calls.size(); ++i)
    ADD_FAILURE() << "after the close: " << sink_.calls[i];

  // The sensor returns; the operator chooses the port again.
  sim_.Send("return");
  ASSERT_TRUE(sim_.WaitFor("ready"));
  ASSERT_TRUE(session_->ChangePort(0, "COM1"));
  EXPECT_EQ(sink_.port_status, "COM1 open");
  EXPECT_EQ(engine_->LinkState(), LinkState::Opened);
  ASSERT_TRUE(
      Until([&] { return engine_->PollStage() == PollStage::Status && Notices(Notice::LinkRestored) == 2; },
            8 * kSecond));
  Step();
  EXPECT_EQ(BoxesSaying("Связь восстановлена!"), 2);
  EXPECT_EQ(sink_.pictures.back(), LinkSign::Answering);
  EXPECT_EQ(Notices(Notice::LinkLost), 1);

  // Whatever mode the new line found the sensor in, the operator stops and
  // starts the chart again (the button still says started).
  commands_->StartOrStopChart();
  PressStart();
  const std::size_t restarted_at = sink_.points.size();
  ASSERT_TRUE(Until([&] { return sink_.points.size() >= restarted_at + 50; }, 4 * kSecond));
  const std::vector<ScopeSample> all = Samples();
  const std::vector<ScopeSample> after(all.begin() + static_cast<long>(restarted_at), all.end());
  for (std::size_t i = 1; i < after.size(); ++i)
    ASSERT_EQ(after[i].ekClimate, after[i - 1].ekClimate + 1) << i;
  // The rest of a frame cut by the hang-up may reach the new line: one bad frame at most.
  EXPECT_LE(engine_->Counters().ChecksumErrors - counters.ChecksumErrors, 1);
}

TEST_F(StreamFaults, TenSecondsOfGarbageOverflowLoseTheLinkOnceAndTheStreamComesBack) {
  ConnectModel();
  PressStart();
  ASSERT_TRUE(Until([&] { return sink_.points.size() >= 50; }, 4 * kSecond));
  sim_.Send("garbage 10");
  Steps(10 * kSecond);
  // About 3840 characters a second with no frame end: an overflow every 1024.
  EXPECT_GE(engine_->Counters().Overflow_buffer, 25);
  EXPECT_LE(engine_->Counters().Overflow_buffer, 40);
  EXPECT_EQ(Notices(Notice::LinkLost), 1);  // no reply for longer than the give-up time
  EXPECT_EQ(BoxesSaying("Нет связи с датчиком!"), 1);

  ASSERT_TRUE(
      Until([&] { return Notices(Notice::LinkRestored) == 2 && engine_->PollStage() == PollStage::Status; },
            8 * kSecond));
  const std::size_t resumed_at = sink_.points.size();
  const int32_t overflows = engine_->Counters().Overflow_buffer;
  ASSERT_TRUE(Until([&] { return sink_.points.size() >= resumed_at + 100; }, 4 * kSecond));
  EXPECT_EQ(engine_->Counters().Overflow_buffer, overflows);
  EXPECT_EQ(Notices(Notice::LinkLost), 1);
  EXPECT_EQ(engine_->LinkState(), LinkState::Up);
  ExpectOnlyTheSensorsSamples(Samples(), sim_.Stats().at("samples"));
}

TEST_F(StreamFaults, TenPercentBadChecksumsAreCountedAndNoneBecomesASample) {
  ConnectModel();
  ASSERT_EQ(model_->SetWindowLength("100"), FieldResult::Accepted);
  PressStart();
  ASSERT_TRUE(Until([&] { return sink_.points.size() >= 20; }, 4 * kSecond));
  sim_.Send("corrupt 10");
  Steps(8 * kSecond);
  sim_.Send("corrupt 0");
  // Clean frames after the last bad one, so every bad frame falls inside the
  // span of recorded samples.
  Steps(kSecond);
  const auto stats = sim_.Stats();

  ASSERT_GT(stats.at("corrupt_stream"), 20);
  EXPECT_EQ(engine_->Counters().ChecksumErrors, stats.at("corrupt_stream") + stats.at("corrupt_replies"));
  // Only bad frames are missing between the first and the last sample: exactly
  // the corrupted chart frames (the stream's status frames are no samples).
  const std::vector<ScopeSample> s = Samples();
  ASSERT_FALSE(s.empty());
  const long missing =
      static_cast<long>(s.back().ekClimate - s.front().ekClimate + 1) - static_cast<long>(s.size());
  EXPECT_EQ(missing, stats.at("corrupt_samples"));
  ExpectOnlyTheSensorsSamples(s, sim_.Stats().at("samples"));
  // A bad reply costs a resend, never the link.
  EXPECT_EQ(Notices(Notice::LinkLost), 0);
  EXPECT_EQ(engine_->LinkState(), LinkState::Up);
  // What the model keeps is what arrived: the newest history entries are the last samples.
  const uint16_t window = model_->WindowLength();
  ASSERT_GE(s.size(), window);
  for (uint16_t i = 0; i < window; ++i) {
    const ScopeSample& x = s[s.size() - window + i];
    ASSERT_EQ(model_->ScopeHistory().ekClimate[i], x.ekClimate) << i;
    ASSERT_EQ(model_->ScopeHistory().useful[i], x.useful) << i;
  }
}

TEST_F(StreamFaults, SilenceLongerThanTheGiveUpLosesAndRestoresTheLinkOnceEach) {
  ConnectModel();
  PressStart();
  ASSERT_TRUE(Until([&] { return sink_.points.size() >= 50; }, 4 * kSecond));
  sim_.Send("silence 8");
  ASSERT_TRUE(Until([&] { return Notices(Notice::LinkLost) == 1; }, 8 * kSecond));
  EXPECT_EQ(engine_->Counters().Time_out, 6);
  EXPECT_TRUE(engine_->PortHeld());  // silence is no reason to close the port
  const std::size_t at_loss = sink_.points.size();
  ASSERT_TRUE(Until([&] { return Notices(Notice::LinkRestored) == 2; }, 10 * kSecond));
  ASSERT_TRUE(Until([&] { return sink_.points.size() >= at_loss + 100; }, 4 * kSecond));
  Steps(kSecond);
  EXPECT_EQ(Notices(Notice::LinkLost), 1);
  EXPECT_EQ(Notices(Notice::LinkRestored), 2);  // the first connection and the return
  EXPECT_EQ(BoxesSaying("Нет связи с датчиком!"), 1);
  EXPECT_EQ(BoxesSaying("Связь восстановлена!"), 2);
  EXPECT_EQ(engine_->LinkState(), LinkState::Up);
  EXPECT_EQ(engine_->PollStage(), PollStage::Status);
  EXPECT_EQ(engine_->Counters().ChecksumErrors, 0);
  ExpectOnlyTheSensorsSamples(Samples(), sim_.Stats().at("samples"));
}

}  // namespace
}  // namespace tarvin::testing
