// What the program does with each good frame from the sensor: replies to
// commands (':') and frames the sensor streams by itself ('~').
#include <cstdint>
#include <cstring>

#include "engine/link_engine.h"
#include "link/frame_codec.h"
#include "link/sensor_protocol.h"

namespace tarvin {
namespace {

using protocol::Code;
using protocol::HoldsWord;

uint16_t Word(const char* body, int k) {
  return Get_Word(body, static_cast<int16_t>(protocol::WordOffset(k)));
}

// The settings' words are signed on the line.
int Signed(uint16_t w) { return static_cast<int16_t>(w); }

uint32_t Pair(const char* body, int k) {
  return static_cast<uint32_t>(Word(body, k)) | (static_cast<uint32_t>(Word(body, k + 1)) << 16);
}

}  // namespace

void LinkEngine::DispatchReply(uint16_t code, uint16_t body_length) {
  const char* body = s_.RxBuffer;
  namespace status = protocol::status;
  switch (static_cast<Code>(code)) {
    case Code::kStatus: {
      if (!HoldsWord(body_length, status::kWord)) return;
      const uint16_t word = Word(body, status::kWord);
      switch (word & status::kBalanceMask) {
        case status::kBalanced:
          sink_.SetBalance(Balance::Balanced);
          break;
        case status::kFirstFlankLow:
          sink_.SetBalance(Balance::FirstFlankLow);
          break;
        case status::kSecondFlankLow:
          sink_.SetBalance(Balance::SecondFlankLow);
          break;
        default:
          break;  // both bits: the label keeps what it shows
      }
      const bool was_on = s_.AlarmBits[0] != 0 || s_.AlarmBits[1] != 0;
      s_.AlarmBits[0] = static_cast<uint8_t>(word & status::kAlarmFirst);
      s_.AlarmBits[1] = static_cast<uint8_t>(word & status::kAlarmSecond);
      const bool is_on = s_.AlarmBits[0] != 0 || s_.AlarmBits[1] != 0;
      ++s_.StatusReplies;
      if (is_on && !was_on && save_alarm_tag_ == 1) scope_.ArmSaveOnAlarm();
      sink_.SetReplyCode(s_.ReplyCode);
      break;
    }
    case Code::kVersion: {
      if (!HoldsWord(body_length, protocol::version::kBusyWord)) return;
      const uint16_t version = Word(body, protocol::version::kWord);
      const unsigned major = protocol::version::Major(version);
      const unsigned minor = protocol::version::Minor(version);
      sink_.SetFirmware(major, minor);
      if ((major != static_cast<unsigned>(kRequiredMajor) ||
           minor != static_cast<unsigned>(kRequiredMinor)) &&
          s_.VersionWarned != 1) {
        s_.VersionWarned = 1;
        sink_.Post(Notice::WrongVersion);
      }
      s_.SensorBusy = static_cast<int16_t>(Word(body, protocol::version::kBusyWord));
      if (s_.SensorBusy == 0) s_.poll = tarvin::PollStage::Settings;
      break;
    }
    case Code::kModeFlags:
      if (!HoldsWord(body_length, protocol::mode::kWord)) return;
      sensor_flags_ = Word(body, protocol::mode::kWord);
      break;
    case Code::kThreshold:
      if (!HoldsWord(body_length, protocol::threshold::kBufferLengthWord)) return;
      sink_.SetDirectComponent(Signed(Word(body, protocol::threshold::kConstantWord)));
      sink_.SetBufferLength(Signed(Word(body, protocol::threshold::kBufferLengthWord)));
      break;
    case Code::kSettings:
      if (!HoldsWord(body_length, protocol::settings::kLastWord)) return;
      sink_.SetDirectComponent(Signed(Word(body, protocol::settings::kConstantWord)));
      sink_.SetBufferLength(Signed(Word(body, protocol::settings::kBufferLengthWord)));
      s_.poll = tarvin::PollStage::Status;
      break;
    case Code::kAddressRead:
      if (!HoldsWord(body_length, protocol::address::kWord)) return;
      sink_.SetNetworkAddressRead(Word(body, protocol::address::kWord));
      break;
    default:
      break;  // the answer to the address write, and codes this program does not know
  }
}

void LinkEngine::DispatchStream(uint16_t code, uint16_t body_length) {
  const char* body = s_.RxBuffer;
  namespace chart = protocol::chart;
  switch (static_cast<Code>(code)) {
    case Code::kStatus:
      if (!HoldsWord(body_length, protocol::status::kConstantWord)) return;
      if (Word(body, protocol::status::kWord) != 1)
        sink_.SetDirectComponent(Word(body, protocol::status::kConstantWord));
      break;
    case Code::kChart: {
      if (chart_tag_ == 0 || !HoldsWord(body_length, chart::kLastWord)) return;
      ScopeSample sample;
      sample.useful = Pair(body, chart::kUsefulPair);
      sample.ekNoise = Pair(body, chart::kNoisePair);
      sample.ekClimate = Pair(body, chart::kClimatePair);
      sample.input = Pair(body, chart::kInputPair);
      const uint32_t threshold_bits = Pair(body, chart::kThresholdPair);
      std::memcpy(&sample.threshold, &threshold_bits, sizeof sample.threshold);
      scope_.AppendScopeSample(sample);
      break;
    }
    default:
      break;
  }
}

}  // namespace tarvin
