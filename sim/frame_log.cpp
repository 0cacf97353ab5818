#include "sim/frame_log.h"

#include <cstdarg>
#include <cstring>

namespace tarvin::sim {

FrameLog::~FrameLog() {
  if (owned_ && out_ != nullptr) std::fclose(out_);
}

bool FrameLog::OpenFile(const char* path) {
  if (path == nullptr || path[0] == '\0' || std::strcmp(path, "-") == 0) return true;
  std::FILE* f = std::fopen(path, "w");
  if (f == nullptr) return false;
  // Line-buffered: the log must be complete up to the moment the simulator is killed.
  std::setvbuf(f, nullptr, _IOLBF, 0);
  out_ = f;
  owned_ = true;
  return true;
}

void FrameLog::Frame(double t, char dir, const char* frame, std::size_t length, const char* note) {
  if (out_ == nullptr) return;
  while (length > 0 && (frame[length - 1] == '\n' || frame[length - 1] == '\r')) --length;
  std::fprintf(out_, "%10.3f %c %.*s%s%s\n", t, dir, static_cast<int>(length), frame, note[0] ? "  " : "",
               note);
}

void FrameLog::Note(double t, const char* format, ...) {
  if (out_ == nullptr) return;
  std::fprintf(out_, "%10.3f # ", t);
  va_list args;
  va_start(args, format);
  std::vfprintf(out_, format, args);
  va_end(args);
  std::fputc('\n', out_);
}

}  // namespace tarvin::sim
