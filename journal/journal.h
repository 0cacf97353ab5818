// The event journal: JSON Lines, one whole object a line, each flushed at once.
// Every object carries `time` (local ISO 8601 with milliseconds and offset),
// `seq` (from 1 within a run) and `event`. Shared by the window and the
// recorder; observers (the window's list, a broker publisher) see every event
// as it is written.
#pragma once

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "base/local_time.h"
#include "journal/journal_event.h"
#include "journal/journal_events.h"

namespace tarvin {

using WallClock = std::chrono::system_clock::time_point (*)();

// A measured figure as the journal writes it: three decimals are more than a
// signal's meaning, and keep a line short.
inline double JournalFigure(double value) { return std::round(value * 1000.0) / 1000.0; }

class Journal {
 public:
  using Observer = std::function<void(const nlohmann::ordered_json&)>;

  Journal() = default;
  ~Journal();
  Journal(const Journal&) = delete;
  Journal& operator=(const Journal&) = delete;

  // Appends to `path` (created when missing). False, with the system's words
  // in *reason, when it cannot be opened; the journal then only feeds its
  // observers, so a read-only folder never stops the program.
  bool Open(const std::string& path, std::string* reason = nullptr);
  bool IsOpen() const { return file_ != nullptr; }
  const std::string& Path() const { return path_; }
  // Where this run's lines begin in the file: its size when it was opened.
  uint64_t StartOffset() const { return start_offset_; }

  // Writes one event: `fields` (an object, may be empty) after time, seq and
  // event. Returns the object as written.
  const nlohmann::ordered_json& Write(Event event,
                                      nlohmann::ordered_json fields = nlohmann::ordered_json::object());

  // Events that matter most (alarms, saves) are synced to the disk, but not
  // inside a link tick: the owner calls Settle() after the tick.
  void Settle();
  bool SyncPending() const { return sync_pending_; }

  void AddObserver(Observer observer) { observers_.push_back(std::move(observer)); }
  void SetClock(WallClock clock) { clock_ = clock; }
  uint64_t LastSeq() const { return seq_; }
  // Lines that could not be written whole (a full disk): counted, never fatal.
  uint64_t WriteErrors() const { return write_errors_; }

 private:
  std::FILE* file_ = nullptr;
  std::string path_;
  uint64_t seq_ = 0;
  uint64_t start_offset_ = 0;
  uint64_t write_errors_ = 0;
  bool sync_pending_ = false;
  WallClock clock_ = &std::chrono::system_clock::now;
  nlohmann::ordered_json last_;
  std::vector<Observer> observers_;
};

// Events after which the journal is synced to the disk.
bool IsDurableEvent(Event event);

}  // namespace tarvin
