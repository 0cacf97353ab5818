// One sensor, whichever program drives it: the link engine on its port, the
// oscilloscope's data, the operator's commands, the reactions to the link's
// notices and, given a journal, the events they make. The window runs it from
// its three timers, the recorder from its loop, tests, the fuzz target and the
// benchmarks directly; none of them wires the parts by hand.
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
#include <string>
#include <vector>

#include "control/sensor_commands.h"
#include "control/supervision.h"
#include "engine/engine_sink.h"
#include "engine/link_engine.h"
#include "engine/link_schedule.h"
#include "journal/event_tracker.h"
#include "journal/journal.h"
#include "scope/scope_model.h"
#include "session/session_sink.h"

namespace tarvin {

struct SessionOptions {
  // Boxes and pictures for the notices (the window); a recorder only journals them.
  bool show_notices = true;
  // Chart transmission started whenever the sensor is up and in standby, and
  // again after every loss of the link (the recorder).
  bool keep_chart_running = false;
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
  using Clock = LinkSchedule::Clock;

  // `journal` null: no events at all.
  SensorSession(SerialPort& port, SessionSink& sink, Journal* journal, SessionOptions options = {});
  ~SensorSession();
  SensorSession(const SensorSession&) = delete;
  SensorSession& operator=(const SensorSession&) = delete;

  LinkEngine& Engine() { return engine_; }
  const LinkEngine& Engine() const { return engine_; }
  ScopeModel& Scope() { return scope_; }
  SensorCommands& Commands() { return commands_; }
  Supervision& Supervisor() { return supervision_; }
  // Null without a journal.
  EventTracker* Tracker() { return tracker_.get(); }
  const EventTracker* Tracker() const { return tracker_.get(); }

  // --- the three cadences, one call each (the window's timers) ------------
  // The timed link tick, then what it reported journalled.
  void Tick(Clock::time_point now = Clock::now());
  void Poll() { engine_.Poll(); }
  void CountDown() { engine_.CountDown(); }

  // --- or from one loop -----------------------------------------------------
  void Start(Clock::time_point now) { schedule_.Start(now); }
  // Runs what is due at `now`; returns when it next needs to run.
  Clock::time_point Step(Clock::time_point now);

  // --- after a step -----------------------------------------------------------
  Raised TakeRaised();
  // One notice: journalled, then shown (when the options say so) and acted
  // upon. CloseWindow: the firmware was refused and the link stopped.
  NoticeOutcome HandleNotice(Notice notice);
  // TakeRaised and every notice handled in order, for a program with one loop;
  // a kept-running chart is started again once the sensor is ready.
  Handled HandleRaised();
  // The engine closed the port: journalled. The next PortOpened says it reopened.
  void PortClosed();
  void PortOpened();

  // The end of the run, once: the minute's summary so far and `stop` with the
  // samples taken and the counters (and `extra` fields after them).
  void EndRun(const std::string& reason, const nlohmann::ordered_json& extra = nlohmann::ordered_json::object());

  // Chart samples the engine has handed on since the start.
  uint64_t Samples() const;

 private:
  class Reports;  // the program's sink, with the journal's share held to the tick's end
  void WriteHeld();
  void KeepChartRunning();

  std::unique_ptr<EventTracker> tracker_;
  std::unique_ptr<Reports> reports_;
  Journal* journal_;
  SessionOptions options_;
  ScopeModel scope_;
  LinkEngine engine_;
  SensorCommands commands_;
  Supervision supervision_;
  LinkSchedule schedule_;
  bool port_closed_ = false;     // journalled as closed, not yet opened again
  bool closed_in_step_ = false;  // for the next TakeRaised
  bool chart_wanted_ = true;
  bool ended_ = false;
};

}  // namespace tarvin
