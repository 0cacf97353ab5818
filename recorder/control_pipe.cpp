#include "recorder/control_pipe.h"

#include <cctype>
#include <cerrno>
#include <cstring>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "journal/walk_test.h"

namespace tarvin {
namespace {

std::string Trimmed(const std::string& text) {
  const char* blanks = " \t\r";
  const std::size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// The first word of `text` and the rest, trimmed.
std::pair<std::string, std::string> FirstWord(const std::string& text) {
  const std::size_t end = text.find_first_of(" \t");
  if (end == std::string::npos) return {text, std::string()};
  return {text.substr(0, end), Trimmed(text.substr(end))};
}

}  // namespace

ControlCommand ParseControlLine(const std::string& line) {
  ControlCommand command;
  // TakeLines hands an overlong line on cut, marked: refused for its length,
  // not for whatever its first 1024 bytes would say.
  if (line.size() > ControlPipe::kMaxLine) {
    command.error = "the line is longer than " + std::to_string(ControlPipe::kMaxLine) + " bytes";
    return command;
  }
  const auto [noun, rest] = FirstWord(Trimmed(line));
  if (noun.empty()) return command;
  const auto [verb, argument] = FirstWord(rest);
  if (noun != "walk-test" || (verb != "start" && verb != "end")) {
    command.error = "unknown command: walk-test start [NOTE] or walk-test end [PASSES]";
    return command;
  }
  if (verb == "start") {
    command.kind = ControlCommand::Kind::kWalkTestStart;
    command.note = argument;
    return command;
  }
  command.kind = ControlCommand::Kind::kWalkTestEnd;
  if (argument.empty()) return command;
  const bool digits = argument.size() <= 3 && argument.find_first_not_of("0123456789") == std::string::npos;
  if (!digits) {
    command.kind = ControlCommand::Kind::kNone;
    command.error = WalkTestRefusalText(WalkTestRefusal::kPassesRange);
    return command;
  }
  command.passes = std::stoi(argument);
  return command;
}

#ifdef _WIN32

ControlPipe::~ControlPipe() = default;

bool ControlPipe::Open(const std::string&, std::string* error) {
  *error = "there are no named pipes here: start and end walk tests in the window";
  return false;
}

std::vector<std::string> ControlPipe::TakeLines() { return {}; }

#else

ControlPipe::~ControlPipe() {
  if (read_fd_ >= 0) ::close(read_fd_);
  if (keep_fd_ >= 0) ::close(keep_fd_);
}

bool ControlPipe::Open(const std::string& path, std::string* error) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) {
    // Writable by the recorder's group too: the engineer's account.
    if (errno != ENOENT || ::mkfifo(path.c_str(), 0660) != 0) {
      *error = std::string("cannot make the pipe: ") + std::strerror(errno);
      return false;
    }
  } else if (!S_ISFIFO(st.st_mode)) {
    *error = "something other than a named pipe is there";
    return false;
  }
  read_fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (read_fd_ >= 0) keep_fd_ = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  if (read_fd_ < 0 || keep_fd_ < 0) {
    *error = std::string("cannot open the pipe: ") + std::strerror(errno);
    return false;
  }
  return true;
}

std::vector<std::string> ControlPipe::TakeLines() {
  std::vector<std::string> lines;
  if (read_fd_ < 0) return lines;
  char buffer[512];
  for (;;) {
    const ssize_t got = ::read(read_fd_, buffer, sizeof buffer);
    if (got <= 0) break;  // EAGAIN: nothing more now
    for (ssize_t i = 0; i < got; ++i) {
      const char c = buffer[i];
      if (c == '\n') {
        if (overlong_) partial_ += "…";
        lines.push_back(std::move(partial_));
        partial_.clear();
        overlong_ = false;
      } else if (partial_.size() < kMaxLine) {
        partial_ += c;
      } else {
        overlong_ = true;
      }
    }
  }
  return lines;
}

#endif

}  // namespace tarvin
