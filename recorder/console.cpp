#include "recorder/console.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "journal/journal_event.h"

namespace tarvin {

bool IsTerminal(std::FILE* stream) {
#ifdef _WIN32
  return _isatty(_fileno(stream)) != 0;
#else
  return ::isatty(::fileno(stream)) != 0;
#endif
}

std::string EventSummary(const nlohmann::ordered_json& event) {
  const JournalEvent e(event);
  std::string text = e.Text("time") + " " + e.Name();
  for (const auto& item : event.items()) {
    if (item.key() == "time" || item.key() == "event" || item.key() == "seq") continue;
    const nlohmann::ordered_json& value = item.value();
    text +=
        " " + item.key() + "=" +
        (value.is_string() ? value.get<std::string>()
                           : value.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace));
  }
  return text;
}

void Console::ClearStatus() {
  if (terminal_ && !status_.empty()) std::fputs("\r\x1b[K", out_);
}

void Console::RedrawStatus() {
  if (terminal_ && !status_.empty()) std::fputs(status_.c_str(), out_);
  std::fflush(out_);
}

void Console::Event(const nlohmann::ordered_json& event) { Line(EventSummary(event)); }

void Console::Line(const std::string& text) {
  ClearStatus();
  std::fprintf(out_, "%s\n", text.c_str());
  RedrawStatus();
}

void Console::Status(const std::string& text) {
  if (!terminal_) return;
  ClearStatus();
  status_ = text;
  RedrawStatus();
}

void Console::EndStatus() {
  if (!terminal_ || status_.empty()) return;
  std::fputs("\n", out_);
  std::fflush(out_);
  status_.clear();
}

}  // namespace tarvin
