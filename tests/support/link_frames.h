// Frames as the sensor sends them, and a link engine over the fake port, for
// tests that drive the engine tick by tick.
#pragma once

#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "engine/link_engine.h"
#include "link/frame_codec.h"
#include "link/port_fake.h"
#include "tests/support/recorder_sink.h"

namespace tarvin::testing {

// start, the words, their LRC, CR LF.
inline std::string FrameText(char start, std::vector<uint16_t> words) {
  words.push_back(Calc_KS(words.data(), static_cast<uint16_t>(words.size())));
  std::string out(FrameLength(static_cast<uint16_t>(words.size())), '\0');
  out.resize(Write_Frame(start, words.data(), static_cast<uint16_t>(words.size()), out.data(), out.size()));
  return out;
}

// A reply with `code` in the head word and the data words after it.
inline std::string Reply(uint16_t code, std::initializer_list<uint16_t> data = {}) {
  std::vector<uint16_t> words{static_cast<uint16_t>(0x0100 | code)};
  words.insert(words.end(), data.begin(), data.end());
  return FrameText(kReplyStart, words);
}

inline std::string Stream(uint16_t code, std::initializer_list<uint16_t> data = {}) {
  std::vector<uint16_t> words{static_cast<uint16_t>(0x0100 | code)};
  words.insert(words.end(), data.begin(), data.end());
  return FrameText(kStreamStart, words);
}

// A chart sample's frame: useful, ekNoise 7, ekClimate, input 60 and the
// threshold, each in two words, low first.
inline std::string ChartFrame(uint32_t useful, uint32_t climate, float threshold) {
  uint32_t bits = 0;
  std::memcpy(&bits, &threshold, sizeof bits);
  return Stream(0x42, {static_cast<uint16_t>(useful), static_cast<uint16_t>(useful >> 16), 7, 0,
                       static_cast<uint16_t>(climate), static_cast<uint16_t>(climate >> 16), 60, 0,
                       static_cast<uint16_t>(bits), static_cast<uint16_t>(bits >> 16)});
}

// What the engine sends to ask the sensor's version: the first frame of every
// link, and the probe of a lost one.
inline constexpr const char* kVersionRequest = ":014DB2\r\n";

// A version reply: word 3 the version (low byte major), word 14 the busy word.
inline std::string VersionReply(uint16_t version, uint16_t busy) {
  std::vector<uint16_t> words(15, 0);
  words[0] = 0x014D;
  words[3] = version;
  words[14] = busy;
  return FrameText(kReplyStart, words);
}

// The engine over a fake port, with the port opened.
struct EngineRig {
  FakePort port;
  RecorderSink sink;
  RecorderScope scope;
  LinkEngine engine{port, sink, scope};

  EngineRig() { engine.OpenPort(1); }

  void Ticks(int n) {
    for (int i = 0; i < n; ++i) engine.LinkTick();
  }
  // Queues a command and runs the tick that writes it.
  void SendCommand(uint16_t head) {
    engine.QueueCommand(head);
    engine.LinkTick();
  }
  // Takes and forgets what was written so far.
  std::string TakeWritten() {
    std::string out;
    out.swap(port.written);
    return out;
  }
};

}  // namespace tarvin::testing
