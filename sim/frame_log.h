// The exchange as the simulator saw it: every frame each way and every fault
// switched, with the time since start, so a failing test shows what happened.
#pragma once

#include <cstddef>
#include <cstdio>

namespace tarvin::sim {

class FrameLog {
 public:
  FrameLog() = default;
  ~FrameLog();
  FrameLog(const FrameLog&) = delete;
  FrameLog& operator=(const FrameLog&) = delete;

  // "-" or empty: standard error. False when the file cannot be opened.
  bool OpenFile(const char* path);
  void Quiet() { out_ = nullptr; }

  // dir: '<' received from the program, '>' sent to it. The frame's CR LF is not shown.
  void Frame(double t, char dir, const char* frame, std::size_t length, const char* note = "");
  void Note(double t, const char* format, ...) __attribute__((format(printf, 3, 4)));

 private:
  std::FILE* out_ = stderr;
  bool owned_ = false;
};

}  // namespace tarvin::sim
