#include "sim/sensor.h"

#include "link/frame_codec.h"
#include "link/sensor_protocol.h"

namespace tarvin::sim {

namespace {

using protocol::Code;
using protocol::HeadWord;

// Body length of a command with k data words: head, k words, two LRC digits.
constexpr std::size_t BodyLength(std::size_t k) { return 4 * (k + 1) + 2; }

}  // namespace

uint16_t Seal(uint16_t* words, uint16_t n) {
  words[n] = Calc_KS(words, n);
  return static_cast<uint16_t>(n + 1);
}

uint16_t Sensor::StatusReply(const SensorMoment& now, uint16_t* out) const {
  namespace status = protocol::status;
  out[0] = HeadWord(Code::kStatus);
  out[status::kWord] =
      static_cast<uint16_t>((s_.balance & status::kBalanceMask) | (now.alarm ? status::kAlarmMask : 0));
  out[status::kConstantWord] = s_.direct;
  return Seal(out, status::kConstantWord + 1);
}

uint16_t Sensor::Answer(const char* body, std::size_t length, const SensorMoment& now, uint16_t* out) {
  if (length < BodyLength(0)) return 0;
  const uint16_t code = protocol::CodeOf(Get_Word(body, 0));
  auto word = [&](int i) { return Get_Word(body, static_cast<int16_t>(protocol::WordOffset(i))); };
  switch (static_cast<Code>(code)) {
    case Code::kStatus:
      return StatusReply(now, out);
    case Code::kVersion: {
      namespace version = protocol::version;
      for (uint16_t i = 1; i <= version::kBusyWord; ++i) out[i] = 0;
      out[0] = HeadWord(Code::kVersion);
      out[version::kDeviceTypeWord] = 0x0009;  // never read by the program
      out[version::kSerialWord] = 0x1234;      // never read by the program
      out[version::kWord] = s_.version;
      out[version::kBusyWord] = now.busy ? 1 : 0;
      return Seal(out, version::kBusyWord + 1);
    }
    case Code::kSettings: {
      namespace settings = protocol::settings;
      for (uint16_t i = 1; i <= settings::kLastWord; ++i) out[i] = 0;
      out[0] = HeadWord(Code::kSettings);
      out[settings::kFlagsWord] = s_.flags;
      out[settings::kAddressWord] = s_.address;
      out[settings::kConstantWord] = s_.direct;
      out[settings::kBufferLengthWord] = s_.buffer;
      return Seal(out, settings::kLastWord + 1);
    }
    case Code::kThreshold: {  // stored and echoed
      namespace threshold = protocol::threshold;
      if (length < BodyLength(threshold::kBufferLengthWord)) return 0;
      s_.direct = word(threshold::kConstantWord);
      s_.buffer = word(threshold::kBufferLengthWord);
      out[0] = HeadWord(Code::kThreshold);
      out[threshold::kConstantWord] = s_.direct;
      out[threshold::kBufferLengthWord] = s_.buffer;
      return Seal(out, threshold::kBufferLengthWord + 1);
    }
    case Code::kModeFlags:  // stored and echoed; the chart bit starts or stops the stream
      if (length < BodyLength(protocol::mode::kWord)) return 0;
      s_.flags = word(protocol::mode::kWord);
      out[0] = HeadWord(Code::kModeFlags);
      out[protocol::mode::kWord] = s_.flags;
      return Seal(out, protocol::mode::kWord + 1);
    case Code::kAddressWrite:  // the address, then the confirmation word, echoed
      if (length < BodyLength(protocol::address::kWord + 1)) return 0;
      s_.address = word(protocol::address::kWord);
      out[0] = HeadWord(Code::kAddressWrite);
      out[protocol::address::kWord] = s_.address;
      out[protocol::address::kWord + 1] = word(protocol::address::kWord + 1);
      return Seal(out, protocol::address::kWord + 2);
    case Code::kAddressRead:
      out[0] = HeadWord(Code::kAddressRead);
      out[protocol::address::kWord] = s_.address;
      return Seal(out, protocol::address::kWord + 1);
    case Code::kChart:  // streamed only, never asked
    default:
      return 0;  // a code the sensor does not know goes unanswered
  }
}

}  // namespace tarvin::sim
