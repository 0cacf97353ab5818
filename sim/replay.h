// Plays the sensor's side of a line recording (tarvin9-recorder --record-line)
// back onto the pseudo-terminal with the recorded timing, so the window or
// another recorder sees the recorded session again.
#pragma once

#include <csignal>
#include <string>
#include <vector>

#include "link/line_record.h"
#include "sim/frame_log.h"

namespace tarvin::sim {

struct ReplayOptions {
  std::string link_path = "COM1";
  double pace = 1.0;  // 2 plays twice as fast
};

// When each chunk from the sensor is due, in seconds after the program's
// first byte: the recording is aligned on its own first byte to the sensor,
// so replies follow the commands as closely as they did.
std::vector<double> ReplaySchedule(const std::vector<LineChunk>& chunks, double pace);

class Replay {
 public:
  Replay(ReplayOptions options, std::vector<LineChunk> chunks, FrameLog& log)
      : options_(std::move(options)), chunks_(std::move(chunks)), log_(log) {}

  // Opens the pseudo-terminal and the link and prints "ready"; plays from the
  // program's first byte until the recording ends (prints "done"), then holds
  // the line silent until a stop signal. 1 when the line cannot be made.
  int Run(const volatile std::sig_atomic_t* stop);

 private:
  ReplayOptions options_;
  std::vector<LineChunk> chunks_;
  FrameLog& log_;
};

}  // namespace tarvin::sim
