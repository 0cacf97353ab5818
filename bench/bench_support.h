// What the benchmarks share: a sink that shows nothing, chart frames as the
// sensor streams them, and the chart started as the operator starts it.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "engine/link_engine.h"
#include "engine/scope_sample.h"
#include "link/frame_codec.h"
#include "link/port_fake.h"
#include "link/sensor_protocol.h"
#include "session/session_sink.h"

namespace tarvin::bench {

// The line: 38400 baud 7O1 carries 3840 characters a second.
constexpr double kLineCharsPerSecond = 3840.0;

using NullSink = NullSessionSink;

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

// The sensor's empty answer ':' to the command with head word `head`.
inline std::string EmptyReply(uint16_t head) {
  uint16_t words[2] = {head, 0};
  words[1] = Calc_KS(words, 1);
  std::string out(FrameLength(2), '\0');
  Write_Frame(kReplyStart, words, 2, out.data(), out.size());
  return out;
}

// Starts the chart through the engine's own operation and answers every
// command it writes (and the version request of the link coming up), so the
// timed ticks find the link up, nothing awaiting a reply and the chart running.
inline void StartChartAnswered(FakePort& port, LinkEngine& engine) {
  engine.StartChart();
  for (int i = 0; i < 8 && engine.CommandsPending(); ++i) {
    engine.LinkTick();  // writes the queue's head
    port.Deliver(EmptyReply(engine.Exchange().Queue.Slots[0].usData[0]));
    engine.LinkTick();  // takes its answer
  }
  port.written.clear();
}

// The chart frame '~' carrying `s`: 49 characters on the line.
inline std::string ChartFrame(const ScopeSample& s) {
  uint32_t threshold_bits = 0;
  static_assert(sizeof threshold_bits == sizeof s.threshold);
  std::memcpy(&threshold_bits, &s.threshold, sizeof threshold_bits);
  const uint32_t values[5] = {s.useful, s.ekNoise, s.ekClimate, s.input, threshold_bits};
  std::vector<uint16_t> words = {protocol::HeadWord(protocol::Code::kChart)};
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
