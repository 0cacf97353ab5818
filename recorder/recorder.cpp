#include "recorder/recorder.h"

#include <cstdio>
#include <thread>

namespace tarvin {
namespace {

constexpr auto kTick = std::chrono::milliseconds(40);
constexpr auto kPoll = std::chrono::milliseconds(1000);
constexpr auto kCountdown = std::chrono::milliseconds(500);
constexpr auto kStatusEvery = std::chrono::seconds(1);
constexpr auto kReopenEvery = std::chrono::seconds(2);

}  // namespace

Recorder::Recorder(const RecorderOptions& options, SerialPort& port, int16_t port_number,
                   std::string port_name, Journal& journal, Console& console)
    : options_(options),
      port_(port),
      port_number_(port_number),
      port_name_(std::move(port_name)),
      journal_(journal),
      console_(console),
      tracker_(journal),
      sink_(tracker_),
      scope_(sink_),
      engine_(port, sink_, scope_),
      commands_(engine_, scope_, sink_) {
  scope_.SetDefaults();
  scope_.WindowLength = static_cast<uint16_t>(options_.window);
  scope_.SaveLevel = static_cast<float>(options_.save_level);
  scope_.ScopeFolder = options_.folder;
  scope_.SetSaveListener(&tracker_);
  tracker_.SetSummaryPeriod(std::chrono::seconds(options_.summary_every));
  engine_.SaveAlarmTag = options_.save_on_alarm ? 1 : 0;
  engine_.PortText = port_name_;
}

bool Recorder::OpenPort() {
  if (engine_.Open_Port(port_number_) == 1) return true;
  open_device_ = port_.LastDevice().empty() ? port_name_ : port_.LastDevice();
  open_error_ = port_.LastError().empty() ? "not opened" : port_.LastError();
  return false;
}

int Recorder::Start(Clock::time_point now) {
  journal_.Write(
      "start", {{"port", port_name_},
                {"version", kRecorderVersion},
                {"options",
                 {{"folder", options_.folder},
                  {"journal", options_.journal},
                  {"window", options_.window},
                  {"save_level", options_.save_level},
                  {"save_on_alarm", options_.save_on_alarm},
                  {"record_line", options_.record_line},
                  {"duration", options_.duration ? nlohmann::ordered_json(*options_.duration) : nullptr}}}});
  if (!engine_.PortHeld()) {
    // The same fields as every stop, nothing taken; then the reason, last.
    journal_.Write("stop", {{"reason", "port_not_opened"},
                            {"samples", 0},
                            {"counters", CountersJson(engine_.Counters)},
                            {"device", open_device_},
                            {"error", open_error_}});
    console_.Line("tarvin9-recorder: cannot open " + open_device_ + ": " + open_error_);
    return kExitPortNotOpened;
  }
  next_tick_ = next_poll_ = now;
  next_countdown_ = now + kCountdown;
  next_status_ = now + kStatusEvery;
  return kExitOk;
}

Recorder::Clock::time_point Recorder::Step(Clock::time_point now) {
  if (now >= next_poll_) {
    engine_.Timer1Timer();
    next_poll_ += kPoll;
    if (next_poll_ <= now) next_poll_ = now + kPoll;  // after a stall: no burst of catching up
  }
  if (now >= next_countdown_) {
    engine_.Timer2Timer();
    next_countdown_ += kCountdown;
    if (next_countdown_ <= now) next_countdown_ = now + kCountdown;
  }
  if (now >= next_tick_) {
    engine_.TimerRvTimer();
    next_tick_ += kTick;
    if (next_tick_ <= now) next_tick_ = now + kTick;
    AfterTick(now);
  }
  if (port_lost_ && now >= next_reopen_) TryReopen(now);
  if (now >= next_status_) UpdateStatus(now);

  Clock::time_point next = std::min({next_tick_, next_poll_, next_countdown_, next_status_});
  if (port_lost_) next = std::min(next, next_reopen_);
  return next;
}

void Recorder::AfterTick(Clock::time_point now) {
  tracker_.AfterTick(engine_);
  // Notices in the order the tick raised them, as the window handles them.
  std::vector<Notice> notices;
  notices.swap(sink_.notices);
  for (const Notice notice : notices) {
    tracker_.HandleNotice(notice);
    if (notice == Notice::LinkRestored) chart_wanted_ = true;
    if (notice == Notice::WrongVersion && exit_code_ < 0) {
      console_.Line("tarvin9-recorder: the sensor runs firmware " + tracker_.FirmwareText() +
                    "; only 2.0 is supported: reprogram the sensor");
      engine_.SetTimerRv(false);
      if (engine_.PortHeld()) engine_.ClosePort();
      exit_code_ = kExitWrongFirmware;
    }
  }
  for (const std::string& text : sink_.boxes) console_.Line("tarvin9-recorder: " + text);
  sink_.boxes.clear();

  if (!port_lost_ && !engine_.PortHeld() && exit_code_ < 0) {
    // Three failed writes closed it: an unplugged adapter or a hang-up.
    port_lost_ = true;
    tracker_.PortClosed(port_name_);
    next_reopen_ = now + kReopenEvery;
  }
  KeepChartRunning();
  tracker_.Summarise(now, engine_.Counters, scope_.SaveLevel);
  journal_.Settle();
}

void Recorder::KeepChartRunning() {
  if (!chart_wanted_ || exit_code_ >= 0) return;
  if (engine_.LinkState != 1 || !tracker_.LinkUp() || engine_.SensorBusy != 0) return;
  chart_wanted_ = false;
  // After a loss the sensor may have been reset: start it afresh rather than
  // take the button's state for the sensor's.
  engine_.ChartTag = 0;
  commands_.BitBtnEnable4pFClick();
}

void Recorder::TryReopen(Clock::time_point now) {
  next_reopen_ = now + kReopenEvery;
  if (engine_.Open_Port(port_number_) == 1) {
    port_lost_ = false;
    last_open_error_.clear();
    tracker_.PortReopened(port_name_);
    return;
  }
  // Said once per reason, not every 2 s for days.
  if (port_.LastError() != last_open_error_) {
    last_open_error_ = port_.LastError();
    console_.Line("tarvin9-recorder: cannot reopen " + port_.LastDevice() + ": " + last_open_error_);
  }
}

void Recorder::UpdateStatus(Clock::time_point now) {
  const uint64_t samples = sink_.samples - samples_at_status_;
  samples_at_status_ = sink_.samples;
  next_status_ += kStatusEvery;
  if (next_status_ <= now) next_status_ = now + kStatusEvery;
  if (!console_.Terminal()) return;
  const LinkCounters& c = engine_.Counters;
  const long long errors = static_cast<long long>(c.KS_ERR) + c.Overflow_buffer + c.Time_out +
                           static_cast<long long>(tracker_.SaveFailures() + journal_.WriteErrors());
  const std::string link = port_lost_          ? "port closed"
                           : tracker_.LinkUp() ? "link up (" + tracker_.FirmwareText() + ")"
                                               : "no link";
  char text[200];
  std::snprintf(text, sizeof text, "%s | %llu samples/s | alarms %llu | saved %llu | errors %lld",
                link.c_str(), static_cast<unsigned long long>(samples),
                static_cast<unsigned long long>(tracker_.Alarms()),
                static_cast<unsigned long long>(tracker_.Saves()), errors);
  console_.Status(text);
}

void Recorder::Stop(const std::string& reason, Clock::duration drain) {
  if (engine_.PortHeld() && engine_.LinkState == 1 && engine_.ChartTag != 0) {
    commands_.StopChartTransmission();
    // The stop must reach the sensor, or it streams on to nobody.
    const Clock::time_point until = Clock::now() + drain;
    while (Clock::now() < until && engine_.PortHeld() &&
           (engine_.Queue.Count > 0 || engine_.AwaitingReply != 0)) {
      std::this_thread::sleep_for(kTick);
      engine_.TimerRvTimer();
      tracker_.AfterTick(engine_);
    }
  }
  // An alarm less than half a window before the stop still leaves its file.
  scope_.SavePendingAtStop();
  tracker_.FlushSummary(Clock::now(), engine_.Counters, scope_.SaveLevel);
  journal_.Write(
      "stop", {{"reason", reason}, {"samples", sink_.samples}, {"counters", CountersJson(engine_.Counters)}});
  journal_.Settle();
  console_.EndStatus();
  engine_.SetTimerRv(false);
  engine_.PurgeAndClosePort();
}

}  // namespace tarvin
