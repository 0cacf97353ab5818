// The window's event journal: the recorder's events (journal/), written to
// journal.jsonl in the working folder through the same Journal and
// EventTracker. What the engine reports inside a tick (the firmware, the
// balance, an automatic save) is only noted there and written after the tick,
// so the journal's file writes never lengthen a LinkTick. Plain C++.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "engine/engine_sink.h"
#include "journal/event_tracker.h"
#include "journal/journal.h"
#include "link/counters.h"
#include "scope/scope_model.h"

namespace tarvin {

class LinkEngine;

// The version the window's `start` event names, as Label1 shows it.
inline constexpr const char* kWindowVersion = "4.0";
// The journal's file in the working folder.
inline constexpr const char* kJournalFile = "journal.jsonl";

class WindowJournal : public SaveListener {
 public:
  // `in_tick` is true while the engine's tick runs.
  explicit WindowJournal(const bool& in_tick);

  // Opens the file; when it cannot be opened the events still reach the list.
  bool Open(const std::string& path, std::string* reason = nullptr);
  void Start(const std::string& port);
  // Written once, with the chart samples taken; later calls do nothing.
  void Stop(const std::string& reason, uint64_t samples, const LinkCounters& counters, float save_level);

  // From the sink and the automatic save: inside a tick, held for AfterTick.
  void Firmware(const std::string& major, const std::string& minor);
  void Balance(const std::string& text);
  void AutoSaved(const AutoSaveReport& report) override;
  // Only noted, never written, so they may come inside the tick.
  void Sample(const ScopeSample& sample) { tracker_.Sample(sample); }
  void DirectComponent(const std::string& text) { tracker_.DirectComponent(text); }
  void BufferLength(const std::string& text) { tracker_.BufferLength(text); }
  void NetworkAddress(const std::string& text) { tracker_.NetworkAddress(text); }

  // After every tick: what the tick reported, in order, then the alarm edges,
  // then the minute's summary when it is due.
  void AfterTick(const LinkEngine& engine, float save_level,
                 std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now());
  // A posted notice, before the window reacts to it.
  void HandleNotice(Notice notice);
  // The engine closed the port after failed writes.
  void PortClosed(const std::string& port);
  // The operator opened a port; after a closed one that is "port_reopened".
  void PortOpened(const std::string& port);

  Journal& Events() { return journal_; }
  const Journal& Events() const { return journal_; }
  const std::string& OpenError() const { return open_error_; }
  // This run's events, oldest first: the newest kKeptEvents of them.
  const std::deque<nlohmann::ordered_json>& RunEvents() const { return run_events_; }
  // Earlier runs' events in the file, oldest first, from its last `max_bytes`.
  std::vector<nlohmann::ordered_json> EarlierEvents(uint64_t max_bytes) const;

  static constexpr std::size_t kKeptEvents = 5000;

 private:
  struct Held {
    enum class Kind { Firmware, Balance, Saved } kind;
    std::string first, second;
    AutoSaveReport report;
  };
  void WriteHeld();

  const bool& in_tick_;
  Journal journal_;
  EventTracker tracker_{journal_};
  std::vector<Held> held_;
  std::string last_balance_;
  std::string open_error_;
  std::deque<nlohmann::ordered_json> run_events_;
  bool port_closed_ = false;
  bool stopped_ = false;
};

}  // namespace tarvin
