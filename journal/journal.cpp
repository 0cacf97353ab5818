#include "journal/journal.h"

#include <cerrno>
#include <cstring>
#include <ctime>

#include "base/file_io.h"
#include "base/local_time.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace tarvin {
namespace {}  // namespace

bool IsDurableEvent(Event event) {
  switch (event) {
    case Event::AlarmBegin:
    case Event::AlarmEnd:
    case Event::Saved:
    case Event::SaveFailed:
    case Event::Stop:
    case Event::WrongFirmware:
      return true;
    default:
      return false;
  }
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
  uint64_t end = 0;
  if (SeekFileEnd(file_, &end)) start_offset_ = end;
  return true;
}

const nlohmann::ordered_json& Journal::Write(Event event, nlohmann::ordered_json fields) {
  nlohmann::ordered_json line = nlohmann::ordered_json::object();
  line["time"] = LocalIsoTime(clock_());
  line["seq"] = ++seq_;
  line["event"] = std::string(EventName(event));
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
