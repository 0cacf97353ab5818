// What the program does with each good frame from the sensor: replies to
// commands (':') and frames the sensor streams by itself ('~').
#include <cstdio>
#include <cstring>
#include <string>

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

// Short decimal texts stay in the string's own buffer: nothing is allocated.
std::string Signed(uint16_t w) {
  char text[8];
  std::snprintf(text, sizeof text, "%d", static_cast<int>(static_cast<int16_t>(w)));
  return text;
}

std::string Unsigned(unsigned value) {
  char text[12];
  std::snprintf(text, sizeof text, "%u", value);
  return text;
}

uint32_t Pair(const char* body, int k) {
  return static_cast<uint32_t>(Word(body, k)) | (static_cast<uint32_t>(Word(body, k + 1)) << 16);
}

const std::string& BalancedText() {
  static const std::string text = "Фланги СЗ сбалансированы";
  return text;
}
const std::string& FirstFlankLowText() {
  static const std::string text =
      "  Недопустимый разбаланс флангов СЗ ! Ёмкость первого фланга меньше ёмкости второго  ";
  return text;
}
const std::string& SecondFlankLowText() {
  static const std::string text =
      "  Недопустимый разбаланс флангов СЗ ! Ёмкость второго фланга меньше ёмкости первого  ";
  return text;
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
          sink_.SetBalance(BalancedText(), Balance::Balanced);
          break;
        case status::kFirstFlankLow:
          sink_.SetBalance(FirstFlankLowText(), Balance::Unbalanced);
          break;
        case status::kSecondFlankLow:
          sink_.SetBalance(SecondFlankLowText(), Balance::Unbalanced);
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
      sink_.SetReplyCodeText(Unsigned(s_.ReplyCode));
      break;
    }
    case Code::kVersion: {
      if (!HoldsWord(body_length, protocol::version::kBusyWord)) return;
      const uint16_t version = Word(body, protocol::version::kWord);
      const unsigned major = protocol::version::Major(version);
      const unsigned minor = protocol::version::Minor(version);
      sink_.SetFirmware(Unsigned(major), Unsigned(minor));
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
      sink_.SetDirectComponentText(Signed(Word(body, protocol::threshold::kConstantWord)));
      sink_.SetBufferLengthText(Signed(Word(body, protocol::threshold::kBufferLengthWord)));
      break;
    case Code::kSettings:
      if (!HoldsWord(body_length, protocol::settings::kLastWord)) return;
      sink_.SetDirectComponentText(Signed(Word(body, protocol::settings::kConstantWord)));
      sink_.SetBufferLengthText(Signed(Word(body, protocol::settings::kBufferLengthWord)));
      s_.poll = tarvin::PollStage::Status;
      break;
    case Code::kAddressRead:
      if (!HoldsWord(body_length, protocol::address::kWord)) return;
      sink_.SetNetworkAddressRead(Unsigned(Word(body, protocol::address::kWord)));
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
        sink_.SetDirectComponentText(Unsigned(Word(body, protocol::status::kConstantWord)));
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
