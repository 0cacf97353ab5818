// The port, the three cadences and the diagnostics of the link engine.
#include "engine/link_engine.h"

#include <chrono>
#include <cstring>

#include "link/sensor_protocol.h"

namespace tarvin {
namespace {

using protocol::Code;
using protocol::HeadWord;
using protocol::mode::kAutoChartBit;
using protocol::mode::kChartBit;

constexpr int16_t kRepeatGuardCountdowns = 3;

int64_t SteadyNowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

LinkEngine::LinkEngine(SerialPort& port, EngineSink& sink, ScopeInput& scope)
    : port_(port), sink_(sink), scope_(scope), now_ns_(&SteadyNowNs) {}

bool LinkEngine::OpenPort(int16_t number) {
  const OpenResult result = port_.Open(number);
  if (result != OpenResult::Opened) {
    // After SettingsUnreadable the device stays held until the next choice or the exit.
    s_.link = tarvin::LinkState::Lost;
    return false;
  }
  port_.PurgeInputOutput();
  s_.FrameState = 0;
  s_.AwaitingReply = 0;
  s_.RetryCount = 0;
  s_.Queue.Count = 0;
  s_.link = tarvin::LinkState::Opened;
  s_.TxFailCount = 0;
  s_.Queue.Clear();
  // A half frame left from the previous port must not be glued to the first
  // characters of this one.
  s_.RxLength = 0;
  sink_.SetLinkState(LinkState::Opened);
  SetTicking(true);
  return true;
}

void LinkEngine::ClosePort() { port_.Close(); }

void LinkEngine::PurgeAndClosePort() {
  if (!port_.IsOpen()) return;
  port_.PurgeInputOutput();
  port_.Close();
}

void LinkEngine::SetTicking(bool on) {
  ticking_ = on;
  sink_.SetTicking(on);
}

void LinkEngine::TimedTick() {
  if (!ticking_) return;
  const int64_t before = now_ns_();
  LinkTick();
  const int64_t after = now_ns_();
  const auto duration_us = static_cast<int32_t>((after - before) / 1000);
  if (duration_us > cycle_max_us_) cycle_max_us_ = duration_us;
  if (++cycle_ticks_ >= kCycleWindowTicks) {
    slowest_tick_us_ = cycle_max_us_;
    cycle_ticks_ = 0;
    cycle_max_us_ = 0;
    ++s_.DiagGeneration;
  }
}

void LinkEngine::Poll() {
  switch (s_.poll) {
    case tarvin::PollStage::Version:
      QueueCommand(HeadWord(Code::kVersion));
      break;
    case tarvin::PollStage::Settings:
      RequestSettings();
      break;
    case tarvin::PollStage::Status:
      QueueCommand(HeadWord(Code::kStatus));
      break;
  }
}

void LinkEngine::WriteThreshold(uint16_t direct_component, uint16_t buffer_length) {
  QueueCommand(HeadWord(Code::kThreshold), {direct_component, buffer_length});
}

void LinkEngine::RequestSettings() { QueueCommand(HeadWord(Code::kSettings)); }

void LinkEngine::WriteNetworkAddress(uint16_t address) {
  QueueCommand(HeadWord(Code::kAddressWrite), {address, protocol::address::kWriteConfirm});
}

void LinkEngine::ReadNetworkAddress() { QueueCommand(HeadWord(Code::kAddressRead)); }

void LinkEngine::CountDown() {
  if (repeat_guard_ != 0) --repeat_guard_;
}

void LinkEngine::ResetDiagnostics() {
  s_.Counters.N_rv_byte = 0;
  std::strcpy(s_.Rv_Frame, "---");
  s_.Counters.N_rv_frame = 0;
  s_.Counters.Time_out = 0;
  s_.Counters.ChecksumErrors = 0;
  s_.Counters.Overflow_buffer = 0;
  std::strcpy(s_.Tr_Frame, "---");
  s_.Counters.N_tr_byte = 0;
  s_.Counters.N_tr_byte_shown = 0;
  s_.Counters.N_tr_frame = 0;
  ++s_.DiagGeneration;
}

void LinkEngine::StartChart() {
  sensor_flags_ &= uint16_t(~kAutoChartBit);
  QueueCommand(HeadWord(Code::kModeFlags), {sensor_flags_});
  chart_tag_ = 1;
  sensor_flags_ |= kChartBit;
  QueueCommand(HeadWord(Code::kModeFlags), {sensor_flags_});
}

void LinkEngine::StopChart() {
  chart_tag_ = 0;
  sensor_flags_ &= uint16_t(~kChartBit);
  QueueCommand(HeadWord(Code::kModeFlags), {sensor_flags_});
}

bool LinkEngine::ArmRepeatGuard() {
  if (repeat_guard_ != 0) return false;
  repeat_guard_ = kRepeatGuardCountdowns;
  return true;
}

void LinkEngine::ForgetSensorModes() {
  chart_tag_ = 0;
  save_alarm_tag_ = 0;
  sensor_flags_ = 0;
}

}  // namespace tarvin
