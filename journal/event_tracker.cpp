#include "journal/event_tracker.h"

#include <cmath>
#include <utility>

#include "engine/link_engine.h"

namespace tarvin {
namespace {

// A frame that failed its check or overflowed the buffer: while the chart
// streams, nearly every frame is a sample, so each is a sample lost.
uint64_t DamagedFrames(const LinkCounters& c) {
  return static_cast<uint64_t>(c.KS_ERR) + static_cast<uint64_t>(c.Overflow_buffer);
}

nlohmann::ordered_json TextOrNull(const std::string& text) {
  return text.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(text);
}

}  // namespace

nlohmann::ordered_json CountersJson(const LinkCounters& c) {
  return {{"bytes_received", c.N_rv_byte}, {"frames_received", c.N_rv_frame},
          {"bytes_sent", c.N_tr_byte},     {"frames_sent", c.N_tr_frame},
          {"checksum_errors", c.KS_ERR},   {"overflows", c.Overflow_buffer},
          {"timeouts", c.Time_out}};
}

bool IsSummary(const nlohmann::ordered_json& event) {
  const auto it = event.find("event");
  return it != event.end() && it->is_string() && it->get_ref<const std::string&>() == kSummaryEvent;
}

const char* TriggerName(SaveTrigger trigger) { return trigger == SaveTrigger::Alarm ? "alarm" : "level"; }

void EventTracker::Firmware(const std::string& major, const std::string& minor) {
  firmware_ = major + "." + minor;
  firmware_seen_ = true;
  LinkUpIfKnown();
}

void EventTracker::Balance(const std::string& text) {
  // The window's label pads the sensor's message with blanks; the journal
  // keeps only its words.
  const std::size_t first = text.find_first_not_of(' ');
  const std::string words =
      first == std::string::npos ? std::string() : text.substr(first, text.find_last_not_of(' ') - first + 1);
  if (words == balance_) return;
  balance_ = words;
  journal_.Write("balance", {{"text", words}});
}

void EventTracker::HandleNotice(Notice notice) {
  switch (notice) {
    case Notice::LinkRestored:
      link_up_pending_ = true;
      LinkUpIfKnown();
      break;
    case Notice::LinkLost:
      // A return that never got as far as the version reply still shows as one.
      if (link_up_pending_) journal_.Write("link_up", {{"firmware", nullptr}});
      link_up_pending_ = false;
      link_up_ = false;
      firmware_seen_ = false;
      journal_.Write("link_lost");
      break;
    case Notice::WrongVersion:
      journal_.Write("wrong_firmware", {{"firmware", firmware_}});
      break;
  }
}

void EventTracker::LinkUpIfKnown() {
  if (!link_up_pending_ || !firmware_seen_) return;
  link_up_pending_ = false;
  link_up_ = true;
  alarm_known_ = false;
  journal_.Write("link_up", {{"firmware", firmware_}});
}

void EventTracker::AfterTick(const LinkEngine& engine) {
  const unsigned bits = static_cast<unsigned>(engine.AlarmBits()[0] | engine.AlarmBits()[1]);
  const bool save_armed = std::exchange(save_armed_in_tick_, false);
  const bool read = engine.StatusReplies() != status_replies_;
  status_replies_ = engine.StatusReplies();
  bool said = false;
  if (bits != alarm_bits_) {
    if (alarm_bits_ == 0) {
      ++alarms_;
      const nlohmann::ordered_json& begun = journal_.Write("alarm_begin", {{"alarm_bits", bits}});
      if (save_armed) save_alarm_ = {{"alarm_seq", begun["seq"]}, {"alarm_begin", begun["time"]}};
      said = true;
    } else if (bits == 0) {
      journal_.Write("alarm_end", {{"alarm_bits", alarm_bits_}});
      said = true;
    }
    // A change from one alarm bit to the other is the same alarm going on.
    alarm_bits_ = bits;
  }
  // Until a status reply is read after the link came up, the bits are those
  // from before (or none at all): the alarm is not known. The first one says
  // it, by its edge or, with none, as it is.
  if (!read || !link_up_ || alarm_known_) return;
  alarm_known_ = true;
  if (!said) journal_.Write("alarm_known", {{"alarm_bits", bits}});
}

void EventTracker::PortClosed(const std::string& port) {
  link_up_ = false;
  journal_.Write("port_closed", {{"port", port}});
}

void EventTracker::PortReopened(const std::string& port) {
  journal_.Write("port_reopened", {{"port", port}});
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
  journal_.Write(report.ok ? "saved" : "save_failed", std::move(fields));
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
    event["settings"] = {{"direct_component", TextOrNull(direct_component_)},
                         {"buffer_length", TextOrNull(buffer_length_)},
                         {"network_address", TextOrNull(network_address_)},
                         {"save_level", std::round(static_cast<double>(save_level) * 1000.0) / 1000.0}};
    journal_.Write(kSummaryEvent, std::move(event));
  }
  summary_.Reset();
  damaged_at_begin_ = damaged;
  // After a stall the next period starts now rather than catching up.
  summary_begin_ = now - summary_begin_ >= 2 * summary_period_ ? now : summary_begin_ + summary_period_;
}

}  // namespace tarvin
