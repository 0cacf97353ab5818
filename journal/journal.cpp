#include "journal/journal.h"

#include <cerrno>
#include <cstring>
#include <ctime>

#include "scope/oscillogram_file.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace tarvin {
namespace {

// Seconds east of UTC of the local time `local` at the moment `t`.
long UtcOffsetSeconds(std::time_t t, const std::tm& local) {
#ifdef _WIN32
  std::tm copy = local;
  const std::time_t as_utc = _mkgmtime(&copy);
  return static_cast<long>(as_utc - t);
#else
  (void)t;
  return local.tm_gmtoff;
#endif
}

}  // namespace

std::string LocalIsoTime(std::chrono::system_clock::time_point when) {
  using namespace std::chrono;
  const std::time_t t = system_clock::to_time_t(when);
  auto millis = duration_cast<milliseconds>(when.time_since_epoch()).count() % 1000;
  if (millis < 0) millis += 1000;
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &t);
#else
  localtime_r(&t, &local);
#endif
  const long offset = UtcOffsetSeconds(t, local);
  const long offset_minutes = (offset < 0 ? -offset : offset) / 60;
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02ld:%02ld", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                static_cast<int>(millis), offset < 0 ? '-' : '+', offset_minutes / 60, offset_minutes % 60);
  return text;
}

bool IsDurableEvent(const std::string& event) {
  return event == "alarm_begin" || event == "alarm_end" || event == "saved" || event == "save_failed" ||
         event == "stop" || event == "wrong_firmware";
}

Journal::~Journal() {
  if (file_ == nullptr) return;
  Settle();
  std::fclose(file_);
}

bool Journal::Open(const std::string& path, std::string* reason) {
  path_ = path;
  errno = 0;
  file_ = OpenFileUtf8(path, "ab");
  if (file_ == nullptr) {
    if (reason != nullptr) *reason = errno != 0 ? std::strerror(errno) : "cannot open";
    return false;
  }
  if (std::fseek(file_, 0, SEEK_END) == 0) {
    const long end = std::ftell(file_);
    start_offset_ = end > 0 ? static_cast<uint64_t>(end) : 0;
  }
  return true;
}

const nlohmann::ordered_json& Journal::Write(const std::string& event, nlohmann::ordered_json fields) {
  nlohmann::ordered_json line = nlohmann::ordered_json::object();
  line["time"] = LocalIsoTime(clock_());
  line["seq"] = ++seq_;
  line["event"] = event;
  if (fields.is_object())
    for (auto& item : fields.items()) line[item.key()] = std::move(item.value());

  if (file_ != nullptr) {
    // A device's bytes may be anything: never let a bad byte lose the line.
    const std::string text =
        line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
    const bool whole = std::fwrite(text.data(), 1, text.size(), file_) == text.size();
    if (std::fflush(file_) != 0 || !whole) {
      ++write_errors_;
      std::clearerr(file_);
    }
    if (IsDurableEvent(event)) sync_pending_ = true;
  }
  // Observers see this event's own object: one that writes an event of its
  // own (a report) must not change what the observers after it are shown.
  for (std::size_t i = 0; i < observers_.size(); ++i) observers_[i](line);
  last_ = std::move(line);
  return last_;
}

void Journal::Settle() {
  if (!sync_pending_ || file_ == nullptr) return;
  sync_pending_ = false;
#ifdef _WIN32
  _commit(_fileno(file_));
#else
  ::fsync(::fileno(file_));
#endif
}

}  // namespace tarvin
