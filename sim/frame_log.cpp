#include "sim/frame_log.h"

#include <cstdarg>
#include <cstring>

namespace tarvin::sim {

namespace {

// Line-buffered: the log must be complete up to the moment the simulator is killed.
std::FILE* OpenLine(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "w");
  if (f != nullptr) std::setvbuf(f, nullptr, _IOLBF, 0);
  return f;
}

}  // namespace

FrameLog::~FrameLog() { Close(); }

void FrameLog::Close() {
  if (owned_ && out_ != nullptr) std::fclose(out_);
  out_ = nullptr;
  owned_ = false;
}

bool FrameLog::OpenFile(const char* path, std::size_t limit) {
  if (path == nullptr || path[0] == '\0' || std::strcmp(path, "-") == 0) return true;
  std::FILE* f = OpenLine(path);
  if (f == nullptr) return false;
  Close();
  out_ = f;
  owned_ = true;
  path_ = path;
  limit_ = limit;
  size_ = 0;
  return true;
}

void FrameLog::Account(int written) {
  if (written > 0) size_ += static_cast<std::size_t>(written);
  if (!owned_ || limit_ == 0 || size_ < limit_) return;
  // Rotated between lines, so each file holds whole lines only.
  std::fclose(out_);
  out_ = nullptr;
  owned_ = false;
  const std::string older = path_ + ".1";
  std::remove(older.c_str());
  std::rename(path_.c_str(), older.c_str());
  out_ = OpenLine(path_);
  // A folder that became unwritable ends the log, not the simulator.
  owned_ = out_ != nullptr;
  size_ = 0;
  ++rotations_;
}

void FrameLog::Frame(double t, char dir, const char* frame, std::size_t length, const char* note) {
  if (out_ == nullptr) return;
  while (length > 0 && (frame[length - 1] == '\n' || frame[length - 1] == '\r')) --length;
  Account(std::fprintf(out_, "%10.3f %c %.*s%s%s\n", t, dir, static_cast<int>(length), frame,
                       note[0] ? "  " : "", note));
}

void FrameLog::Note(double t, const char* format, ...) {
  if (out_ == nullptr) return;
  int written = std::fprintf(out_, "%10.3f # ", t);
  va_list args;
  va_start(args, format);
  const int body = std::vfprintf(out_, format, args);
  va_end(args);
  if (std::fputc('\n', out_) != EOF && body >= 0 && written >= 0) written += body + 1;
  Account(written);
}

}  // namespace tarvin::sim
