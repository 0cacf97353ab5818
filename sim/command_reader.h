// Collects the program's commands from the line: ':' starts a frame, CR LF
// ends it. Anything between frames is dropped; an overlong frame is dropped.
#pragma once

#include <cstddef>

namespace tarvin::sim {

class CommandReader {
 public:
  static constexpr std::size_t kCapacity = 64;  // commands of the system have at most 17 characters

  // Feeds one character. True when a frame has ended: Body() is its text
  // between ':' and CR, NUL-terminated.
  bool Feed(char c) {
    if (c == ':') {
      length_ = 0;
      collecting_ = true;
      return false;
    }
    if (!collecting_) return false;
    if (c == '\n' && length_ > 0 && body_[length_ - 1] == '\r') {
      body_[length_ - 1] = '\0';
      last_length_ = length_ - 1;
      collecting_ = false;
      return true;
    }
    if (length_ + 1 >= kCapacity) {
      collecting_ = false;
      return false;
    }
    body_[length_++] = c;
    return false;
  }

  const char* Body() const { return body_; }
  std::size_t Length() const { return last_length_; }

 private:
  char body_[kCapacity] = {};
  std::size_t length_ = 0;
  std::size_t last_length_ = 0;
  bool collecting_ = false;
};

}  // namespace tarvin::sim
