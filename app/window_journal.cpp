#include "app/window_journal.h"

#include "engine/link_engine.h"
#include "journal/journal_reader.h"

namespace tarvin {

WindowJournal::WindowJournal(const bool& in_tick) : in_tick_(in_tick) {
  // A tick reports a few things at most: holding them never allocates the list.
  held_.reserve(8);
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
  journal_.Write("start", {{"port", port}, {"version", kWindowVersion}});
}

void WindowJournal::Stop(const std::string& reason, uint64_t samples, const LinkCounters& counters,
                         float save_level) {
  if (stopped_) return;
  stopped_ = true;
  WriteHeld();
  tracker_.FlushSummary(std::chrono::steady_clock::now(), counters, save_level);
  journal_.Write("stop", {{"reason", reason}, {"samples", samples}, {"counters", CountersJson(counters)}});
  journal_.Settle();
}

void WindowJournal::Firmware(const std::string& major, const std::string& minor) {
  if (!in_tick_) {
    tracker_.Firmware(major, minor);
    return;
  }
  held_.push_back(Held{Held::Kind::Firmware, major, minor, {}});
}

void WindowJournal::Balance(const std::string& text) {
  // Every status reply repeats the balance: only a change is worth holding.
  if (text == last_balance_) return;
  last_balance_ = text;
  if (!in_tick_) {
    tracker_.Balance(text);
    return;
  }
  held_.push_back(Held{Held::Kind::Balance, text, {}, {}});
}

void WindowJournal::AutoSaved(const AutoSaveReport& report) {
  if (!in_tick_) {
    tracker_.AutoSaved(report);
    return;
  }
  held_.push_back(Held{Held::Kind::Saved, {}, {}, report});
}

void WindowJournal::WriteHeld() {
  for (const Held& h : held_) {
    switch (h.kind) {
      case Held::Kind::Firmware:
        tracker_.Firmware(h.first, h.second);
        break;
      case Held::Kind::Balance:
        tracker_.Balance(h.first);
        break;
      case Held::Kind::Saved:
        tracker_.AutoSaved(h.report);
        break;
    }
  }
  held_.clear();
}

void WindowJournal::AfterTick(const LinkEngine& engine, float save_level,
                              std::chrono::steady_clock::time_point now) {
  WriteHeld();
  tracker_.AfterTick(engine);
  tracker_.Summarise(now, engine.Counters, save_level);
  journal_.Settle();
}

void WindowJournal::HandleNotice(Notice notice) {
  WriteHeld();
  tracker_.HandleNotice(notice);
  journal_.Settle();
}

void WindowJournal::PortClosed(const std::string& port) {
  port_closed_ = true;
  tracker_.PortClosed(port);
}

void WindowJournal::PortOpened(const std::string& port) {
  if (!port_closed_) return;
  port_closed_ = false;
  tracker_.PortReopened(port);
}

std::vector<nlohmann::ordered_json> WindowJournal::EarlierEvents(uint64_t max_bytes) const {
  if (!journal_.IsOpen()) return {};
  return ReadJournalEvents(journal_.Path(), journal_.StartOffset(), max_bytes);
}

}  // namespace tarvin
