// Turns what the link engine and the automatic save report into journal
// events: the link's loss and return with the firmware, alarms begun and
// ended, the balance of the flanks, saves and failed saves, the port closed
// and opened again, and a summary of the chart samples every minute. The window and the recorder feed it from
// their sinks and after every tick; it writes the same events for both.
#pragma once

#include <chrono>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "engine/engine_sink.h"
#include "journal/journal.h"
#include "journal/signal_summary.h"
#include "journal/walk_test.h"
#include "link/counters.h"
#include "scope/scope_model.h"

namespace tarvin {

class LinkEngine;

// The diagnostics page's counters, as the `stop` event carries them.
nlohmann::ordered_json CountersJson(const LinkCounters& counters);

// "alarm" or "level".
const char* TriggerName(SaveTrigger trigger);

// How often the window writes a `summary`, and the recorder by default.
inline constexpr std::chrono::seconds kSummaryEvery{60};

// Summaries are for reports: lists of what happened leave them out.
bool IsSummary(const nlohmann::ordered_json& event);

class EventTracker : public SaveListener {
 public:
  using SteadyTime = std::chrono::steady_clock::time_point;

  explicit EventTracker(Journal& journal) : journal_(journal) {}

  // From the sink, as the engine reports.
  void Firmware(unsigned major, unsigned minor);
  void Balance(tarvin::Balance balance);
  // A posted notice, handled after the tick that raised it.
  void HandleNotice(Notice notice);
  // After every tick: the edges of the status word's alarm bits; and, for
  // the first status reply since `link_up`, `alarm_known` when no edge said
  // what the alarm is. A walk test past its limit ends here.
  void AfterTick(const LinkEngine& engine, SteadyTime now);
  void PortClosed(const std::string& port);
  void PortReopened(const std::string& port);

  // The sensor's settings as its replies report them, for the summaries.
  void DirectComponent(int value) { direct_component_ = value; }
  void BufferLength(int value) { buffer_length_ = value; }
  void NetworkAddress(unsigned address) { network_address_ = address; }
  // From the sink, inside the tick: one chart sample, only added up.
  void Sample(const ScopeSample& sample) {
    summary_.Add(sample);
    peak_.Add(sample);
    if (quiet_now_) quiet_pending_.Add(sample);
  }
  // Zero: no summaries.
  void SetSummaryPeriod(std::chrono::steady_clock::duration period) { summary_period_ = period; }
  // After every tick: a `summary` once its period has passed, when samples
  // came in it. The first call starts the first period.
  void Summarise(SteadyTime now, const LinkCounters& counters, float save_level);
  // At the end of a run: the samples since the last summary, if any.
  void FlushSummary(SteadyTime now, const LinkCounters& counters, float save_level);

  void AutoSaved(const AutoSaveReport& report) override;
  // Inside the tick that arms it, before that tick's AfterTick: the alarm
  // journalled then is the one the save names (`alarm_seq`, `alarm_begin`).
  void SaveArmedByAlarm() override;

  // A walk test: every alarm that begins while it runs is one of its
  // detections. Refused (and nothing written) when one runs already, without
  // the link, or with a note or limit out of bounds.
  WalkTestRefusal BeginWalkTest(const std::string& note, int limit_min, SteadyTime now);
  // Ended by the operator, with the passes made (none: as many as detected).
  WalkTestRefusal EndWalkTest(std::optional<int> passes, SteadyTime now);
  // At the end of a run: a test still running ends with reason "stop".
  void EndWalkTestAtStop(SteadyTime now);
  const std::optional<WalkTestRun>& RunningWalkTest() const { return walk_test_; }

  bool LinkUp() const { return link_up_; }
  const std::string& FirmwareText() const { return firmware_; }
  uint64_t Alarms() const { return alarms_; }
  uint64_t Saves() const { return saves_; }
  uint64_t SaveFailures() const { return save_failures_; }

 private:
  void LinkUpIfKnown();
  void WriteSummary(SteadyTime now, const LinkCounters& counters, float save_level);
  void WriteAlarmEdge(unsigned bits, bool save_armed, SteadyTime now);
  void FinishWalkTest(const char* reason, nlohmann::ordered_json passes, SteadyTime now);
  // The link went: nothing it would have shown is quiet, and a test ends.
  void LinkGone();
  void UpdateQuiet(bool read, SteadyTime now);

  Journal& journal_;
  std::string firmware_;
  std::optional<tarvin::Balance> balance_;
  bool firmware_seen_ = false;  // a version reply since the link was last lost
  bool link_up_pending_ = false;
  bool link_up_ = false;
  unsigned alarm_bits_ = 0;
  uint32_t status_replies_ = 0;  // the engine's count at the last tick
  bool alarm_known_ = false;
  uint64_t alarms_ = 0;
  uint64_t saves_ = 0;
  uint64_t save_failures_ = 0;

  std::optional<int> direct_component_, buffer_length_;
  std::optional<unsigned> network_address_;
  SignalSummary summary_;
  std::chrono::steady_clock::duration summary_period_ = kSummaryEvery;
  SteadyTime summary_begin_{};
  bool summary_started_ = false;
  uint64_t damaged_at_begin_ = 0;  // checksum errors and overflows

  // Walk tests and the quiet figures. Samples are quiet only once a status
  // reply after them says no alarm began: until then they wait in
  // quiet_pending_, since the alarm they may lead up to is read a poll later.
  std::optional<WalkTestRun> walk_test_;
  int walk_tests_ = 0;
  bool numbered_ = false;  // the journal's earlier tests looked up, at the first begin
  int alarm_walk_test_ = 0, alarm_detection_ = 0;  // of the alarm going on, 0: none
  DetectionPeak peak_;
  QuietFigures quiet_, quiet_pending_;
  bool quiet_now_ = false;
  SteadyTime quiet_from_{};  // kQuietAfter past the last alarm or test
  SteadyTime last_tick_{};
  bool ticked_ = false;

  bool save_armed_in_tick_ = false;
  nlohmann::ordered_json save_alarm_;  // the armed save's alarm: its seq and time, or null
};

}  // namespace tarvin
