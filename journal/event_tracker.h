// Turns what the link engine and the automatic save report into journal
// events: the link's loss and return with the firmware, alarms begun and
// ended, the balance of the flanks, saves and failed saves, the port closed
// and opened again. The window and the recorder feed it from their sinks and
// after every tick; it writes the same events for both.
#pragma once

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "engine/engine_sink.h"
#include "journal/journal.h"
#include "link/counters.h"
#include "scope/scope_model.h"

namespace tarvin {

class LinkEngine;

// The diagnostics page's counters, as the `stop` event carries them.
nlohmann::ordered_json CountersJson(const LinkCounters& counters);

// "alarm" or "level".
const char* TriggerName(SaveTrigger trigger);

class EventTracker : public SaveListener {
 public:
  explicit EventTracker(Journal& journal) : journal_(journal) {}

  // From the sink, as the engine reports.
  void Firmware(const std::string& major, const std::string& minor);
  void Balance(const std::string& text);
  // A posted notice, handled after the tick that raised it.
  void HandleNotice(Notice notice);
  // After every tick: the edges of the status word's alarm bits.
  void AfterTick(const LinkEngine& engine);
  void PortClosed(const std::string& port);
  void PortReopened(const std::string& port);

  void AutoSaved(const AutoSaveReport& report) override;

  bool LinkUp() const { return link_up_; }
  const std::string& FirmwareText() const { return firmware_; }
  uint64_t Alarms() const { return alarms_; }
  uint64_t Saves() const { return saves_; }
  uint64_t SaveFailures() const { return save_failures_; }

 private:
  void LinkUpIfKnown();

  Journal& journal_;
  std::string firmware_;
  std::string balance_;
  bool firmware_seen_ = false;  // a version reply since the link was last lost
  bool link_up_pending_ = false;
  bool link_up_ = false;
  unsigned alarm_bits_ = 0;
  uint64_t alarms_ = 0;
  uint64_t saves_ = 0;
  uint64_t save_failures_ = 0;
};

}  // namespace tarvin
