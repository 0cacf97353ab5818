// What the recorder says on standard error: a line per journal event, and,
// while standard error is a terminal, one status line rewritten in place.
#pragma once

#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>

namespace tarvin {

// True when `stream` is a terminal.
bool IsTerminal(std::FILE* stream);

class Console {
 public:
  Console(std::FILE* out, bool terminal) : out_(out), terminal_(terminal) {}
  ~Console() { EndStatus(); }

  bool Terminal() const { return terminal_; }
  // "<time> <event> <the other fields as JSON>".
  void Event(const nlohmann::ordered_json& event);
  // A line of its own (an error, a warning).
  void Line(const std::string& text);
  // The status line; only on a terminal.
  void Status(const std::string& text);
  // Leaves the status line as it is and moves below it.
  void EndStatus();

 private:
  void ClearStatus();
  void RedrawStatus();

  std::FILE* out_;
  bool terminal_;
  std::string status_;
};

// One line of events, for a reader: "saved path=... trigger=alarm samples=1000".
std::string EventSummary(const nlohmann::ordered_json& event);

}  // namespace tarvin
