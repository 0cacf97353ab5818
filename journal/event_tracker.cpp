#include "journal/event_tracker.h"

#include "engine/link_engine.h"

namespace tarvin {

nlohmann::ordered_json CountersJson(const LinkCounters& c) {
  return {{"bytes_received", c.N_rv_byte}, {"frames_received", c.N_rv_frame},
          {"bytes_sent", c.N_tr_byte},     {"frames_sent", c.N_tr_frame},
          {"checksum_errors", c.KS_ERR},   {"overflows", c.Overflow_buffer},
          {"timeouts", c.Time_out}};
}

const char* TriggerName(SaveTrigger trigger) { return trigger == SaveTrigger::Alarm ? "alarm" : "level"; }

void EventTracker::Firmware(const std::string& major, const std::string& minor) {
  firmware_ = major + "." + minor;
  firmware_seen_ = true;
  LinkUpIfKnown();
}

void EventTracker::Balance(const std::string& text) {
  if (text == balance_) return;
  balance_ = text;
  journal_.Write("balance", {{"text", text}});
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
  journal_.Write("link_up", {{"firmware", firmware_}});
}

void EventTracker::AfterTick(const LinkEngine& engine) {
  const unsigned bits = static_cast<unsigned>(engine.AlarmBits[0] | engine.AlarmBits[1]);
  if (bits == alarm_bits_) return;
  if (alarm_bits_ == 0) {
    ++alarms_;
    journal_.Write("alarm_begin", {{"alarm_bits", bits}});
  } else if (bits == 0) {
    journal_.Write("alarm_end", {{"alarm_bits", alarm_bits_}});
  }
  // A change from one alarm bit to the other is the same alarm going on.
  alarm_bits_ = bits;
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
  journal_.Write(report.ok ? "saved" : "save_failed", std::move(fields));
}

}  // namespace tarvin
