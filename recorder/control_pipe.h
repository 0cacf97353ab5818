// The recorder's commands from outside: a named pipe (Linux) that takes one
// command a line from whoever writes to it (`echo ... > FIFO`), and the
// commands' words. A service has no terminal; this is how an engineer on the
// machine starts and ends a walk test.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tarvin {

// One line, parsed. `error` non-empty: refused, with why.
struct ControlCommand {
  enum class Kind { kNone, kWalkTestStart, kWalkTestEnd } kind = Kind::kNone;
  std::string note;           // walk-test start [NOTE]
  std::optional<int> passes;  // walk-test end [PASSES]
  std::string error;
};

// kNone without an error for a blank line.
ControlCommand ParseControlLine(const std::string& line);

class ControlPipe {
 public:
  // Longer lines are refused whole, not cut into commands.
  static constexpr std::size_t kMaxLine = 1024;

  ControlPipe() = default;
  ~ControlPipe();
  ControlPipe(const ControlPipe&) = delete;
  ControlPipe& operator=(const ControlPipe&) = delete;

  // Makes the pipe at `path` when nothing is there, or opens the pipe that
  // is; anything else there (a file, a folder) is refused. False with the
  // reason in *error, and on a system without named pipes.
  bool Open(const std::string& path, std::string* error);
  // The lines that came whole since the last call, without their ends; a
  // line over kMaxLine comes as one line of its first kMaxLine bytes and
  // "…", so it is refused and named.
  std::vector<std::string> TakeLines();

 private:
  int read_fd_ = -1;
  int keep_fd_ = -1;  // our own writer: the pipe never reads as ended
  std::string partial_;
  bool overlong_ = false;
};

}  // namespace tarvin
