#include "app/window_journal.h"

#include "journal/event_tracker.h"
#include "journal/journal_reader.h"

namespace tarvin {

WindowJournal::WindowJournal() {
  journal_.AddObserver([this](const nlohmann::ordered_json& event) {
    // A minute's summary would push a week's alarms out of the list.
    if (IsSummary(event)) return;
    run_events_.push_back(event);
    if (run_events_.size() > kKeptEvents) run_events_.pop_front();
  });
}

bool WindowJournal::Open(const std::string& path, std::string* reason) {
  const bool ok = journal_.Open(path, &open_error_);
  if (reason != nullptr) *reason = open_error_;
  return ok;
}

void WindowJournal::Start(const std::string& port) {
  journal_.Write(Event::Start, {{"port", port}, {"version", kWindowVersion}});
}

std::vector<nlohmann::ordered_json> WindowJournal::EarlierEvents(uint64_t max_bytes) const {
  if (!journal_.IsOpen()) return {};
  return ReadJournalEvents(journal_.Path(), journal_.StartOffset(), max_bytes);
}

}  // namespace tarvin
