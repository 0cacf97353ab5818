// One sensor, whichever program drives it: the link engine on its port, the
// oscilloscope's data, the operator's commands, the reactions to the link's
// notices and, given a journal, the events they make. The session keeps the
// schedule of the engine's three cadences and runs them in its own order: the
// window steps it from one timer, the recorder from its loop; tests, the fuzz
// target and the benchmarks also call a cadence directly. None of them wires
// the parts by hand, and all of them end it with Stop.
//
// What a tick reports is shown through the program's SessionSink as it comes;
// the notices it raises are kept and handed out after the step, and what the
// journal is told inside the tick (firmware, balance, a save) is written after
// it, so no file write or message box ever lengthens a tick.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "control/sensor_commands.h"
#include "control/supervision.h"
#include "engine/engine_sink.h"
#include "engine/link_engine.h"
#include "journal/event_tracker.h"
#include "journal/journal.h"
#include "scope/scope_model.h"
#include "session/session_schedule.h"
#include "session/session_sink.h"

namespace tarvin {

struct SessionOptions {
  // Boxes and pictures for the notices (the window), or the notices only
  // journalled (a recorder).
  enum class Notices { Shown, JournalledOnly } notices = Notices::Shown;
  // KeptRunning: chart transmission started whenever the sensor is up and in
  // standby, and again after every loss of the link (the recorder); such a
  // session also stops it at the end, and saves an alarm's window still
  // pending. AsOperatorLeavesIt: the window leaves both to the operator.
  enum class Chart { AsOperatorLeavesIt, KeptRunning } chart = Chart::AsOperatorLeavesIt;
};

// What a program without a window sets before it starts (the recorder's
// options): the oscilloscope's defaults with these over them.
struct SessionSettings {
  std::string folder;  // where oscillograms are saved, with its separator at the end
  uint16_t window = kWindowDefault;
  float save_level = kSaveLevelDefault;
  bool save_on_alarm = true;
  std::chrono::seconds summary_every = kSummaryEvery;
};

// What a step raised, handed out once after it.
struct Raised {
  std::vector<Notice> notices;  // in the order the ticks raised them
  bool port_closed = false;     // the engine closed the port under the program (failed writes)
};

// What handling a step's notices came to, for a program with one loop.
struct Handled {
  bool refused = false;      // the firmware was refused: the link is stopped, the run must end
  bool port_closed = false;  // journalled; reopening it is the program's choice
};

class SensorSession {
 public:
  using Clock = SessionSchedule::Clock;
  using Due = SessionSchedule::Due;

  // `journal` null: no events at all.
  SensorSession(SerialPort& port, SessionSink& sink, Journal* journal, SessionOptions options = {});
  ~SensorSession();
  SensorSession(const SensorSession&) = delete;
  SensorSession& operator=(const SensorSession&) = delete;

  // The parts, to read what they hold: a program changes them only through
  // the operations below, so the journal hears of every change it must.
  const LinkEngine& Engine() const { return engine_; }
  const ScopeModel& Scope() const { return scope_; }
  // Null without a journal.
  const EventTracker* Tracker() const { return tracker_.get(); }
  // The operator's commands: to the sensor, and the chart's fields and saves.
  SensorCommands& Commands() { return commands_; }

  // --- the schedule ---------------------------------------------------------
  // The poll and the countdown begin (the tick runs while the engine ticks).
  void Start(Clock::time_point now, SessionSchedule::FirstRun first = SessionSchedule::FirstRun::AtOnce);
  // Runs what is due at `now`; returns when it next needs to run
  // (Clock::time_point::max() when nothing runs).
  Clock::time_point Step(Clock::time_point now);
  // The given cadences now, in the same order, outside the schedule's turn.
  void Run(Due due, Clock::time_point now);
  Clock::time_point Next() const { return schedule_.Next(); }
  const SessionSchedule& Schedule() const { return schedule_; }
  void Halt(SessionSchedule::Cadence cadence) { schedule_.Halt(cadence); }

  // --- one cadence each, for tests, the fuzz target and the benchmarks -------
  // The timed link tick, then what it reported journalled.
  void Tick(Clock::time_point now = Clock::now());
  void Poll() { engine_.Poll(); }
  void CountDown() { engine_.CountDown(); }

  // --- after a step -----------------------------------------------------------
  Raised TakeRaised();
  // One notice: journalled, then shown (when the options say so) and acted
  // upon. CloseWindow: the firmware was refused and the link stopped.
  NoticeOutcome HandleNotice(Notice notice);
  // TakeRaised and every notice handled in order, for a program with one loop;
  // a kept-running chart is started again once the sensor is ready.
  Handled HandleRaised();
  // The engine closed the port: journalled. The next opening says it reopened.
  void PortClosed();

  // --- the operator's and the program's operations ---------------------------
  void Configure(const SessionSettings& settings);
  // The window's start: where its oscillograms go, and the chart's defaults.
  void SetScopeFolder(const std::string& folder) { scope_.SetScopeFolder(folder); }
  void SetScopeDefaults() { scope_.SetDefaults(); }
  // The window's first port, its list's item `index` (a box says why it did not open).
  bool OpenAtStartup(int index, const std::string& name) { return supervision_.OpenAtStartup(index, name); }
  // The port `name` (as the operator named it) opened as number `number`.
  // An opening after the engine closed the port journals its reopening.
  bool OpenPort(const std::string& name, int16_t number);
  // Another port chosen in the window (its list's `index`): the tick stops,
  // the old port is closed, the new one opened (a box says why it did not);
  // its opening after a closing is journalled as a reopening.
  bool ChangePort(int index, const std::string& name);
  // The port closed if held: as it is (a device that is no sensor's port),
  // or with pending input and output discarded first (the end).
  void ClosePort() { engine_.ClosePort(); }
  void PurgeAndClosePort() { engine_.PurgeAndClosePort(); }
  // The diagnostics page's counters and frame texts back to their start.
  void ResetDiagnostics() { engine_.ResetDiagnostics(); }
  // A walk test begun or ended by the operator or a control line (kNoJournal
  // without a journal).
  WalkTestRefusal BeginWalkTest(const std::string& note, int limit_min, Clock::time_point now);
  WalkTestRefusal EndWalkTest(std::optional<int> passes, Clock::time_point now);

  // The end of the session, once, whoever ends it: a kept-running chart
  // stopped (given up to `drain` to reach the sensor) and an alarm's pending
  // window saved; EndRun(reason); ticking off and a port still held purged
  // and closed.
  void Stop(const std::string& reason, Clock::duration drain = Clock::duration::zero());

  // The end of the run, once: the minute's summary so far and `stop` with the
  // samples taken and the counters (and `extra` fields after them).
  void EndRun(const std::string& reason,
              const nlohmann::ordered_json& extra = nlohmann::ordered_json::object());

  // Chart samples the engine has handed on since the start.
  uint64_t Samples() const;

 private:
  friend struct SessionParts;  // tests, the fuzz target and the benchmarks reach the parts
  class Reports;               // the program's sink, with the journal's share held to the tick's end
  void WriteHeld();
  void KeepChartRunning();
  void PortOpened();
  void StopChartAndDrain(Clock::duration drain);

  SessionSchedule schedule_;  // before the reports, which follow the ticking into it
  std::unique_ptr<EventTracker> tracker_;
  std::unique_ptr<Reports> reports_;
  Journal* journal_;
  SessionOptions options_;
  ScopeModel scope_;
  LinkEngine engine_;
  SensorCommands commands_;
  Supervision supervision_;
  bool port_closed_ = false;     // journalled as closed, not yet opened again
  bool closed_in_step_ = false;  // for the next TakeRaised
  bool chart_wanted_ = true;
  bool ended_ = false;
  bool stopped_ = false;
};

}  // namespace tarvin
