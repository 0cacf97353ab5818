// The recorder: a sensor's session run from a plain loop, with no window. It
// keeps chart transmission on, reopens a port that was closed under it, and
// writes every event to the journal.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "journal/journal.h"
#include "recorder/console.h"
#include "recorder/options.h"
#include "session/sensor_session.h"
#include "words/box_words.h"

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

// What the recorder shows of the sensor: boxes become console lines after
// the step, and every chart sample goes on to the observer.
class HeadlessSink : public NullSessionSink {
 public:
  void ShowBox(const Message& message) override { boxes.push_back(words::MessageText(message)); }
  void ScopeAddPoints(uint16_t, const ScopeSample& sample) override {
    if (sample_observer != nullptr) sample_observer->Sample(sample);
  }

  std::vector<std::string> boxes;
  SampleObserver* sample_observer = nullptr;
};

class Recorder {
 public:
  using Clock = std::chrono::steady_clock;

  Recorder(const RecorderOptions& options, SerialPort& port, int16_t port_number, std::string port_name,
           Journal& journal, Console& console);

  // Opens the port, before anything is written anywhere, and again after a
  // loss; a device it cannot set up is let go.
  bool OpenPort();
  // Writes `start`; when OpenPort() failed, `stop` and one line naming the
  // device and the reason. kExitOk, or kExitPortNotOpened. With `wait`, a
  // port that did not open is tried again each time `wait` returns true
  // (it waits the 2 s between tries), `port_open_failed` journalled once per
  // reason, until it opens or `wait` returns false.
  int Start(Clock::time_point now, const std::function<bool()>& wait = {});
  // Closes a port opened by OpenPort() when the files cannot be made.
  void ClosePort() { session_.PurgeAndClosePort(); }
  // Runs whatever is due at `now`: the 40 ms tick, the 1 s poll, the 0.5 s
  // countdown, a reopening, the status line. Returns the time of the next.
  Clock::time_point Step(Clock::time_point now);
  // An exit code once the recorder must end by itself (wrong firmware).
  bool Finished() const { return exit_code_ >= 0; }
  int ExitCode() const { return exit_code_ < 0 ? kExitOk : exit_code_; }
  // The session's stop: chart transmission stopped (waiting up to `drain` for
  // the sensor to take it), `stop` written, the port closed; then the status
  // line ended.
  void Stop(const std::string& reason, Clock::duration drain);

  // One line of the control pipe: a walk test begun or ended, or refused
  // with a `control_refused` event that names the line; nothing changes then.
  void Command(const std::string& line, Clock::time_point now);

  // Also hands every chart sample to `observer` (none: nullptr).
  void SetSampleObserver(SampleObserver* observer) { sink_.sample_observer = observer; }

  const LinkEngine& Engine() const { return session_.Engine(); }
  const ScopeModel& Scope() const { return session_.Scope(); }
  const EventTracker& Tracker() const { return *session_.Tracker(); }

 private:
  void AfterStep(Clock::time_point now);
  void TryReopen(Clock::time_point now);
  void UpdateStatus(Clock::time_point now);

  RecorderOptions options_;
  SerialPort& port_;
  int16_t port_number_;
  std::string port_name_;
  Journal& journal_;
  Console& console_;
  HeadlessSink sink_;
  SensorSession session_;

  Clock::time_point next_status_, next_reopen_;
  bool port_lost_ = false;  // closed under us; reopened every 2 s
  int exit_code_ = -1;
  uint64_t samples_at_status_ = 0;
  std::string last_open_error_;
  std::string open_device_, open_error_;  // why OpenPort() failed
};

}  // namespace tarvin
