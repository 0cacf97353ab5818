// The exchange as the simulator saw it: every frame each way and every fault
// switched, with the time since start, so a failing test shows what happened.
// A log file is bounded: past its limit it becomes FILE.1 (one older file is
// kept) and a fresh FILE begins, so a simulator left running for days holds
// at most twice the limit on the disk.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace tarvin::sim {

// The default limit of one log file: about 25 minutes of a full-rate stream.
inline constexpr std::size_t kDefaultLogLimit = 4u * 1024u * 1024u;

class FrameLog {
 public:
  FrameLog() = default;
  ~FrameLog();
  FrameLog(const FrameLog&) = delete;
  FrameLog& operator=(const FrameLog&) = delete;

  // "-" or empty: standard error, never rotated. False when the file cannot be
  // opened. `limit` bytes a file (0: no limit).
  bool OpenFile(const char* path, std::size_t limit = kDefaultLogLimit);
  void Quiet() { Close(); }

  // dir: '<' received from the program, '>' sent to it. The frame's CR LF is not shown.
  void Frame(double t, char dir, const char* frame, std::size_t length, const char* note = "");
  void Note(double t, const char* format, ...) __attribute__((format(printf, 3, 4)));

  // Files begun after the first because the limit was reached.
  unsigned Rotations() const { return rotations_; }

 private:
  void Close();
  // Counts a written line and starts a fresh file once the limit is passed.
  void Account(int written);

  std::FILE* out_ = stderr;
  bool owned_ = false;
  std::string path_;
  std::size_t limit_ = 0;
  std::size_t size_ = 0;
  unsigned rotations_ = 0;
};

}  // namespace tarvin::sim
