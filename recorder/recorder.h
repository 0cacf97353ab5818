// The recorder: the window's link, supervision, reply handlers and automatic
// save, run without a window. It keeps chart transmission on, reopens a port
// that was closed under it, and writes every event to the journal.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/engine_sink.h"
#include "engine/link_engine.h"
#include "journal/event_tracker.h"
#include "journal/journal.h"
#include "recorder/console.h"
#include "recorder/options.h"
#include "scope/scope_model.h"
#include "control/sensor_commands.h"

namespace tarvin {

// Exit codes.
inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitWrongFirmware = 3;
inline constexpr int kExitPortNotOpened = 4;

// Sees every chart sample as it arrives (a broker's chart summaries); called
// inside the tick, so it must be cheap.
class SampleObserver {
 public:
  virtual ~SampleObserver() = default;
  virtual void Sample(const ScopeSample& sample) = 0;
};

// What the engine reports, kept until the tick has ended.
class HeadlessSink : public NullEngineSink {
 public:
  explicit HeadlessSink(EventTracker& tracker) : tracker_(tracker) {}

  void Post(Notice notice) override { notices.push_back(notice); }
  void ShowBox(const Box& box) override { boxes.push_back(box.text); }
  void SetBalance(const std::string& text, uint32_t, uint32_t) override { tracker_.Balance(text); }
  void SetFirmware(const std::string& major, const std::string& minor) override {
    tracker_.Firmware(major, minor);
  }
  void SetDirectComponentText(const std::string& text) override { tracker_.DirectComponent(text); }
  void SetBufferLengthText(const std::string& text) override { tracker_.BufferLength(text); }
  void SetNetworkAddressRead(const std::string& text) override { tracker_.NetworkAddress(text); }
  void ScopeAddPoints(uint16_t, const ScopeSample& sample) override {
    ++samples;
    tracker_.Sample(sample);
    if (sample_observer != nullptr) sample_observer->Sample(sample);
  }

  std::vector<Notice> notices;
  std::vector<std::string> boxes;
  uint64_t samples = 0;
  SampleObserver* sample_observer = nullptr;

 private:
  EventTracker& tracker_;
};

class Recorder {
 public:
  using Clock = std::chrono::steady_clock;

  Recorder(const RecorderOptions& options, SerialPort& port, int16_t port_number, std::string port_name,
           Journal& journal, Console& console);

  // Opens the port, before anything is written anywhere.
  bool OpenPort();
  // Writes `start`; when OpenPort() failed, `stop` and one line naming the
  // device and the reason. kExitOk, or kExitPortNotOpened.
  int Start(Clock::time_point now);
  // Closes a port opened by OpenPort() when the files cannot be made.
  void ClosePort() { engine_.PurgeAndClosePort(); }
  // Runs whatever is due at `now`: the 40 ms tick, the 1 s poll, the 0.5 s
  // countdown, a reopening, the status line. Returns the time of the next.
  Clock::time_point Step(Clock::time_point now);
  // An exit code once the recorder must end by itself (wrong firmware).
  bool Finished() const { return exit_code_ >= 0; }
  int ExitCode() const { return exit_code_ < 0 ? kExitOk : exit_code_; }
  // Stops chart transmission (waiting up to `drain` for the sensor to take
  // it), writes `stop` and closes the port.
  void Stop(const std::string& reason, Clock::duration drain);

  // Also hands every chart sample to `observer` (none: nullptr).
  void SetSampleObserver(SampleObserver* observer) { sink_.sample_observer = observer; }

  LinkEngine& Engine() { return engine_; }
  ScopeModel& Scope() { return scope_; }
  const EventTracker& Tracker() const { return tracker_; }

 private:
  void AfterTick(Clock::time_point now);
  void KeepChartRunning();
  void TryReopen(Clock::time_point now);
  void UpdateStatus(Clock::time_point now);

  RecorderOptions options_;
  SerialPort& port_;
  int16_t port_number_;
  std::string port_name_;
  Journal& journal_;
  Console& console_;
  EventTracker tracker_;
  HeadlessSink sink_;
  ScopeModel scope_;
  LinkEngine engine_;
  SensorCommands commands_;

  Clock::time_point next_tick_, next_poll_, next_countdown_, next_status_, next_reopen_;
  bool port_lost_ = false;    // closed under us; reopened every 2 s
  bool chart_wanted_ = true;  // start chart transmission once the sensor is ready
  int exit_code_ = -1;
  uint64_t samples_at_status_ = 0;
  std::string last_open_error_;
  std::string open_device_, open_error_;  // why OpenPort() failed
};

}  // namespace tarvin
