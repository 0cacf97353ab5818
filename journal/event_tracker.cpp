#include "journal/event_tracker.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "engine/link_engine.h"

namespace tarvin {
namespace {

// A frame that failed its check or overflowed the buffer: while the chart
// streams, nearly every frame is a sample, so each is a sample lost.
uint64_t DamagedFrames(const LinkCounters& c) {
  return static_cast<uint64_t>(c.ChecksumErrors) + static_cast<uint64_t>(c.Overflow_buffer);
}

template <typename T>
nlohmann::ordered_json ValueOrNull(const std::optional<T>& value) {
  return value ? nlohmann::ordered_json(*value) : nlohmann::ordered_json(nullptr);
}

}  // namespace

nlohmann::ordered_json CountersJson(const LinkCounters& c) {
  return {{"bytes_received", c.N_rv_byte},
          {"frames_received", c.N_rv_frame},
          {"bytes_sent", c.N_tr_byte},
          {"frames_sent", c.N_tr_frame},
          {"checksum_errors", c.ChecksumErrors},
          {"overflows", c.Overflow_buffer},
          {"timeouts", c.Time_out}};
}

bool IsSummary(const nlohmann::ordered_json& event) { return JournalEvent(event).Kind() == Event::Summary; }

const char* TriggerName(SaveTrigger trigger) { return trigger == SaveTrigger::Alarm ? "alarm" : "level"; }

void EventTracker::Firmware(unsigned major, unsigned minor) {
  firmware_ = std::to_string(major) + "." + std::to_string(minor);
  firmware_seen_ = true;
  LinkUpIfKnown();
}

void EventTracker::Balance(tarvin::Balance balance) {
  if (balance == balance_) return;
  balance_ = balance;
  journal_.Write(Event::Balance, {{"value", std::string(BalanceName(balance))}});
}

void EventTracker::HandleNotice(Notice notice) {
  switch (notice) {
    case Notice::LinkRestored:
      link_up_pending_ = true;
      LinkUpIfKnown();
      break;
    case Notice::LinkLost:
      // A return that never got as far as the version reply still shows as one.
      if (link_up_pending_) journal_.Write(Event::LinkUp, {{"firmware", nullptr}});
      link_up_pending_ = false;
      link_up_ = false;
      firmware_seen_ = false;
      journal_.Write(Event::LinkLost);
      LinkGone();
      break;
    case Notice::WrongVersion:
      journal_.Write(Event::WrongFirmware, {{"firmware", firmware_}});
      break;
  }
}

void EventTracker::LinkUpIfKnown() {
  if (!link_up_pending_ || !firmware_seen_) return;
  link_up_pending_ = false;
  link_up_ = true;
  alarm_known_ = false;
  journal_.Write(Event::LinkUp, {{"firmware", firmware_}});
}

void EventTracker::AfterTick(const LinkEngine& engine, SteadyTime now) {
  const double tick_seconds =
      ticked_ ? std::min(1.0, std::chrono::duration<double>(now - last_tick_).count()) : 0;
  last_tick_ = now;
  ticked_ = true;
  peak_.EndTick(tick_seconds);
  const unsigned bits = static_cast<unsigned>(engine.AlarmBits()[0] | engine.AlarmBits()[1]);
  const bool save_armed = std::exchange(save_armed_in_tick_, false);
  const bool read = engine.StatusReplies() != status_replies_;
  status_replies_ = engine.StatusReplies();
  const bool said = bits != alarm_bits_ && (alarm_bits_ == 0 || bits == 0);
  if (bits != alarm_bits_) {
    WriteAlarmEdge(bits, save_armed, now);
    // A change from one alarm bit to the other is the same alarm going on.
    alarm_bits_ = bits;
  }
  if (walk_test_ && now - walk_test_->begin >= std::chrono::minutes(walk_test_->limit_min))
    FinishWalkTest("limit", nullptr, now);
  // Until a status reply is read after the link came up, the bits are those
  // from before (or none at all): the alarm is not known. The first one says
  // it, by its edge or, with none, as it is.
  if (read && link_up_ && !alarm_known_) {
    alarm_known_ = true;
    if (!said) journal_.Write(Event::AlarmKnown, {{"alarm_bits", bits}});
  }
  UpdateQuiet(read, now);
}

void EventTracker::WriteAlarmEdge(unsigned bits, bool save_armed, SteadyTime now) {
  if (alarm_bits_ == 0) {
    ++alarms_;
    nlohmann::ordered_json fields = {{"alarm_bits", bits}};
    alarm_walk_test_ = alarm_detection_ = 0;
    if (walk_test_) {
      alarm_walk_test_ = walk_test_->number;
      alarm_detection_ = ++walk_test_->detections;
      fields["walk_test"] = alarm_walk_test_;
      fields["detection"] = alarm_detection_;
    }
    // What waited to be called quiet led up to this alarm.
    quiet_pending_.Reset();
    const nlohmann::ordered_json& begun = journal_.Write(Event::AlarmBegin, std::move(fields));
    if (save_armed) save_alarm_ = {{"alarm_seq", begun["seq"]}, {"alarm_begin", begun["time"]}};
  } else if (bits == 0) {
    nlohmann::ordered_json fields = {{"alarm_bits", alarm_bits_}};
    if (alarm_walk_test_ != 0) {
      fields["walk_test"] = alarm_walk_test_;
      fields["detection"] = alarm_detection_;
    }
    peak_.AddTo(fields);
    peak_.Reset();
    alarm_walk_test_ = alarm_detection_ = 0;
    quiet_from_ = now + kQuietAfter;
    journal_.Write(Event::AlarmEnd, std::move(fields));
  }
}

void EventTracker::UpdateQuiet(bool read, SteadyTime now) {
  if (read && alarm_bits_ == 0) {
    // No alarm began up to this reply: what came before it was quiet, and
    // the next alarm's peak is looked for from here.
    quiet_.Merge(quiet_pending_);
    quiet_pending_.Reset();
    peak_.Reset();
  }
  quiet_now_ = link_up_ && alarm_known_ && alarm_bits_ == 0 && !walk_test_ && now >= quiet_from_;
}

void EventTracker::LinkGone() {
  quiet_pending_.Reset();
  quiet_now_ = false;
  if (walk_test_) FinishWalkTest("link_lost", nullptr, last_tick_);
}

WalkTestRefusal EventTracker::BeginWalkTest(const std::string& note, int limit_min, SteadyTime now) {
  if (walk_test_) return WalkTestRefusal::kRunning;
  if (!link_up_) return WalkTestRefusal::kNoLink;
  if (limit_min < 1 || limit_min > kWalkTestMaxLimitMin) return WalkTestRefusal::kLimitRange;
  const WalkTestRefusal refusal = CheckWalkTestNote(note);
  if (refusal != WalkTestRefusal::kNone) return refusal;
  // Numbered on through the journal: a control room sees one "№ 1", not one a run.
  if (!numbered_)
    walk_tests_ = std::max(walk_tests_, HighestWalkTestNumber(journal_.Path(), journal_.StartOffset()));
  numbered_ = true;
  walk_test_ = WalkTestRun{++walk_tests_, note, limit_min, now, 0};
  // The engineer may be walking already.
  quiet_pending_.Reset();
  quiet_now_ = false;
  journal_.Write(Event::WalkTestBegin,
                 {{"walk_test", walk_test_->number}, {"note", note}, {"limit_min", limit_min}});
  return WalkTestRefusal::kNone;
}

WalkTestRefusal EventTracker::EndWalkTest(std::optional<int> passes, SteadyTime now) {
  if (!walk_test_) return WalkTestRefusal::kNotRunning;
  if (passes && (*passes < 0 || *passes > kWalkTestMaxPasses)) return WalkTestRefusal::kPassesRange;
  FinishWalkTest("operator", passes.value_or(walk_test_->detections), now);
  return WalkTestRefusal::kNone;
}

void EventTracker::EndWalkTestAtStop(SteadyTime now) {
  if (walk_test_) FinishWalkTest("stop", nullptr, now);
}

void EventTracker::FinishWalkTest(const char* reason, nlohmann::ordered_json passes, SteadyTime now) {
  const WalkTestRun test = *walk_test_;
  walk_test_.reset();
  // Nobody said how many passes were made: none can be called detected or missed.
  nlohmann::ordered_json detected = nullptr, missed = nullptr;
  if (passes.is_number()) {
    const WalkTestTally tally = TallyWalkTest(passes.get<int>(), test.detections);
    detected = tally.detected;
    missed = tally.missed;
  }
  const double seconds = std::chrono::duration<double>(now - test.begin).count();
  quiet_from_ = now + kQuietAfter;
  quiet_now_ = false;
  journal_.Write(Event::WalkTestEnd, {{"walk_test", test.number},
                                      {"passes", std::move(passes)},
                                      {"detections", test.detections},
                                      {"detected", std::move(detected)},
                                      {"missed", std::move(missed)},
                                      {"reason", reason},
                                      {"seconds", std::round(seconds * 10.0) / 10.0}});
}

void EventTracker::PortClosed(const std::string& port) {
  link_up_ = false;
  journal_.Write(Event::PortClosed, {{"port", port}});
  LinkGone();
}

void EventTracker::PortReopened(const std::string& port) {
  journal_.Write(Event::PortReopened, {{"port", port}});
}

void EventTracker::AutoSaved(const AutoSaveReport& report) {
  nlohmann::ordered_json fields = {{"path", report.path}, {"trigger", TriggerName(report.trigger)}};
  if (report.ok) {
    ++saves_;
    fields["samples"] = report.samples;
  } else {
    ++save_failures_;
    fields["reason"] = report.reason;
  }
  // An alarm inside a threshold rise: its trigger says alarm, and this the rise.
  fields["level_exceeded"] = report.level_exceeded;
  if (report.at_stop) fields["at_stop"] = true;
  // The alarm that armed it, so a report pairs them without guessing by time.
  if (report.trigger == SaveTrigger::Alarm && save_alarm_.is_object())
    for (const auto& item : save_alarm_.items()) fields[item.key()] = item.value();
  save_alarm_ = nullptr;
  journal_.Write(report.ok ? Event::Saved : Event::SaveFailed, std::move(fields));
}

void EventTracker::SaveArmedByAlarm() {
  save_armed_in_tick_ = true;
  save_alarm_ = nullptr;
}

void EventTracker::Summarise(SteadyTime now, const LinkCounters& counters, float save_level) {
  if (summary_period_ <= SteadyTime::duration::zero()) return;
  if (!summary_started_) {
    summary_started_ = true;
    summary_begin_ = now;
    damaged_at_begin_ = DamagedFrames(counters);
    return;
  }
  if (now - summary_begin_ < summary_period_) return;
  WriteSummary(now, counters, save_level);
}

void EventTracker::FlushSummary(SteadyTime now, const LinkCounters& counters, float save_level) {
  if (summary_started_ && summary_period_ > SteadyTime::duration::zero())
    WriteSummary(now, counters, save_level);
}

void EventTracker::WriteSummary(SteadyTime now, const LinkCounters& counters, float save_level) {
  const uint64_t damaged = DamagedFrames(counters);
  // Counters reset by the operator start the count again.
  const uint64_t lost = damaged >= damaged_at_begin_ ? damaged - damaged_at_begin_ : damaged;
  if (summary_.Samples() > 0) {
    const double seconds = std::chrono::duration<double>(now - summary_begin_).count();
    nlohmann::ordered_json event = {
        {"seconds", std::round(seconds * 1000.0) / 1000.0}, {"samples", summary_.Samples()}, {"lost", lost}};
    summary_.AddTo(event);
    event["quiet"] = quiet_.Json();
    event["settings"] = {{"direct_component", ValueOrNull(direct_component_)},
                         {"buffer_length", ValueOrNull(buffer_length_)},
                         {"network_address", ValueOrNull(network_address_)},
                         {"save_level", std::round(static_cast<double>(save_level) * 1000.0) / 1000.0}};
    journal_.Write(Event::Summary, std::move(event));
  }
  summary_.Reset();
  quiet_.Reset();
  damaged_at_begin_ = damaged;
  // After a stall the next period starts now rather than catching up.
  summary_begin_ = now - summary_begin_ >= 2 * summary_period_ ? now : summary_begin_ + summary_period_;
}

}  // namespace tarvin
