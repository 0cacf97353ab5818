// What the benchmarks share: a sink that shows nothing, and chart frames as
// the sensor streams them.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "engine/engine_sink.h"
#include "link/frame_codec.h"
#include "engine/scope_sample.h"

namespace tarvin::bench {

// The line: 38400 baud 7O1 carries 3840 characters a second.
constexpr double kLineCharsPerSecond = 3840.0;

using NullSink = NullEngineSink;

// A sample that moves a little from one call to the next, below the automatic
// save's level, with ekClimate counting samples as the simulator does.
inline ScopeSample SampleNumber(uint32_t n) {
  ScopeSample s;
  s.threshold = 30.0f + static_cast<float>(n % 7);
  s.useful = 20 + (n * 7) % 40;
  s.ekNoise = 2000 + n % 13;
  s.ekClimate = n;
  s.input = 50 + (n * 13) % 30;
  return s;
}

// The chart frame '~' 0x42 carrying `s`: 49 characters on the line.
inline std::string ChartFrame(const ScopeSample& s) {
  uint32_t threshold_bits = 0;
  static_assert(sizeof threshold_bits == sizeof s.threshold);
  std::memcpy(&threshold_bits, &s.threshold, sizeof threshold_bits);
  const uint32_t values[5] = {s.useful, s.ekNoise, s.ekClimate, s.input, threshold_bits};
  std::vector<uint16_t> words = {0x0142};
  for (uint32_t v : values) {
    words.push_back(static_cast<uint16_t>(v & 0xFFFF));
    words.push_back(static_cast<uint16_t>(v >> 16));
  }
  words.push_back(Calc_KS(words.data(), static_cast<uint16_t>(words.size())));
  std::string out(FrameLength(static_cast<uint16_t>(words.size())), '\0');
  Write_Frame(kStreamStart, words.data(), static_cast<uint16_t>(words.size()), out.data(), out.size());
  return out;
}

}  // namespace tarvin::bench
