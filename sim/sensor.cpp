#include "sim/sensor.h"

#include "link/frame_codec.h"

namespace tarvin::sim {

namespace {

constexpr uint16_t kHead = 0x0100;
// Body length of a command with k data words: head, k words, two LRC digits.
constexpr std::size_t BodyLength(std::size_t k) { return 4 * (k + 1) + 2; }

}  // namespace

uint16_t Seal(uint16_t* words, uint16_t n) {
  words[n] = Calc_KS(words, n);
  return static_cast<uint16_t>(n + 1);
}

uint16_t Sensor::StatusReply(const SensorMoment& now, uint16_t* out) const {
  out[0] = kHead | 0x41;
  out[1] = static_cast<uint16_t>((s_.balance & 0x30) | (now.alarm ? kAlarmBits : 0));
  out[2] = s_.direct;
  return Seal(out, 3);
}

uint16_t Sensor::Answer(const char* body, std::size_t length, const SensorMoment& now, uint16_t* out) {
  if (length < BodyLength(0)) return 0;
  const uint16_t code = Get_Word(body, 0) & 0xFF;
  auto word = [&](int i) { return Get_Word(body, static_cast<int16_t>(4 * i)); };
  switch (code) {
    case 0x41:  // status
      return StatusReply(now, out);
    case 0x4D: {  // firmware version; word 14 the busy word
      for (uint16_t i = 1; i <= 14; ++i) out[i] = 0;
      out[0] = kHead | 0x4D;
      out[1] = 0x0009;  // device type: never read by the program
      out[2] = 0x1234;  // serial number: never read by the program
      out[3] = s_.version;
      out[14] = now.busy ? 1 : 0;
      return Seal(out, 15);
    }
    case 0x5F: {  // settings; words 12 and 13 are the ones the program reads
      for (uint16_t i = 1; i <= 13; ++i) out[i] = 0;
      out[0] = kHead | 0x5F;
      out[1] = s_.flags;
      out[2] = s_.address;
      out[12] = s_.direct;
      out[13] = s_.buffer;
      return Seal(out, 14);
    }
    case 0x5D:  // threshold: constant component and buffer length, stored and echoed
      if (length < BodyLength(2)) return 0;
      s_.direct = word(1);
      s_.buffer = word(2);
      out[0] = kHead | 0x5D;
      out[1] = s_.direct;
      out[2] = s_.buffer;
      return Seal(out, 3);
    case 0x5B:  // mode flags; bit 0 starts or stops the chart stream
      if (length < BodyLength(1)) return 0;
      s_.flags = word(1);
      out[0] = kHead | 0x5B;
      out[1] = s_.flags;
      return Seal(out, 2);
    case 0x60:  // network-address write: address, then 0x0001
      if (length < BodyLength(2)) return 0;
      s_.address = word(1);
      out[0] = kHead | 0x60;
      out[1] = s_.address;
      out[2] = word(2);
      return Seal(out, 3);
    case 0x62:  // network-address read
      out[0] = kHead | 0x62;
      out[1] = s_.address;
      return Seal(out, 2);
    default:
      return 0;  // a code the sensor does not know goes unanswered
  }
}

}  // namespace tarvin::sim
