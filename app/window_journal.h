// The window's event journal: journal.jsonl in the working folder, written by
// the sensor's session as the recorder's is, with this run's events kept for
// the list and the earlier runs' read back from the file. Plain C++.
#pragma once

#include <cstdint>
#include <deque>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "journal/journal.h"

namespace tarvin {

// The version the window's `start` event names, as Label1 shows it.
inline constexpr const char* kWindowVersion = "4.0";
// The journal's file in the working folder.
inline constexpr const char* kJournalFile = "journal.jsonl";

class WindowJournal {
 public:
  WindowJournal();

  // Opens the file; when it cannot be opened the events still reach the list.
  bool Open(const std::string& path, std::string* reason = nullptr);
  void Start(const std::string& port);

  Journal& Events() { return journal_; }
  const Journal& Events() const { return journal_; }
  const std::string& OpenError() const { return open_error_; }
  // This run's events, oldest first: the newest kKeptEvents of them.
  const std::deque<nlohmann::ordered_json>& RunEvents() const { return run_events_; }
  // Earlier runs' events in the file, oldest first, from its last `max_bytes`.
  std::vector<nlohmann::ordered_json> EarlierEvents(uint64_t max_bytes) const;

  static constexpr std::size_t kKeptEvents = 5000;

 private:
  Journal journal_;
  std::string open_error_;
  std::deque<nlohmann::ordered_json> run_events_;
};

}  // namespace tarvin
