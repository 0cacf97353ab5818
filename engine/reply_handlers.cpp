// What the program does with each good frame from the sensor: replies to
// commands (':') and frames the sensor streams by itself ('~').
#include <cstdio>
#include <cstring>
#include <string>

#include "engine/link_engine.h"
#include "link/frame_codec.h"

namespace tarvin {
namespace {

// Word k stands at 4k; a body holding it also holds the two LRC digits after it.
constexpr bool HoldsWord(uint16_t body_length, int k) { return body_length >= 4 * k + 6; }

uint16_t Word(const char* body, int k) { return Get_Word(body, static_cast<int16_t>(4 * k)); }

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
  switch (code) {
    case 0x41: {
      if (!HoldsWord(body_length, 1)) return;
      const uint16_t status = Word(body, 1);
      switch (status & 0x30) {
        case 0x00: sink_.SetBalance(BalancedText(), Balance::Balanced); break;
        case 0x10: sink_.SetBalance(FirstFlankLowText(), Balance::Unbalanced); break;
        case 0x20: sink_.SetBalance(SecondFlankLowText(), Balance::Unbalanced); break;
        default: break;  // both bits: the label keeps what it shows
      }
      const bool was_on = s_.AlarmBits[0] != 0 || s_.AlarmBits[1] != 0;
      s_.AlarmBits[0] = static_cast<uint8_t>(status & 0x02);
      s_.AlarmBits[1] = static_cast<uint8_t>(status & 0x04);
      const bool is_on = s_.AlarmBits[0] != 0 || s_.AlarmBits[1] != 0;
      ++s_.StatusReplies;
      if (is_on && !was_on && save_alarm_tag_ == 1) scope_.ArmSaveOnAlarm();
      sink_.SetReplyCodeText(Unsigned(s_.ReplyCode));
      break;
    }
    case 0x4D: {
      if (!HoldsWord(body_length, 14)) return;
      const uint16_t version = Word(body, 3);
      const unsigned major = version & 0xFF;
      const unsigned minor = version >> 8;
      sink_.SetFirmware(Unsigned(major), Unsigned(minor));
      if ((major != static_cast<unsigned>(kRequiredMajor) || minor != static_cast<unsigned>(kRequiredMinor)) &&
          s_.VersionWarned != 1) {
        s_.VersionWarned = 1;
        sink_.Post(Notice::WrongVersion);
      }
      s_.SensorBusy = static_cast<int16_t>(Word(body, 14));
      if (s_.SensorBusy == 0) s_.poll = tarvin::PollStage::Settings;
      break;
    }
    case 0x5B:
      if (!HoldsWord(body_length, 1)) return;
      sensor_flags_ = Word(body, 1);
      break;
    case 0x5D:
      if (!HoldsWord(body_length, 2)) return;
      sink_.SetDirectComponentText(Signed(Word(body, 1)));
      sink_.SetBufferLengthText(Signed(Word(body, 2)));
      break;
    case 0x5F:
      if (!HoldsWord(body_length, 13)) return;
      sink_.SetDirectComponentText(Signed(Word(body, 12)));
      sink_.SetBufferLengthText(Signed(Word(body, 13)));
      s_.poll = tarvin::PollStage::Status;
      break;
    case 0x62:
      if (!HoldsWord(body_length, 1)) return;
      sink_.SetNetworkAddressRead(Unsigned(Word(body, 1)));
      break;
    default:
      break;  // the answer to the address write, and codes this program does not know
  }
}

void LinkEngine::DispatchStream(uint16_t code, uint16_t body_length) {
  const char* body = s_.RxBuffer;
  switch (code) {
    case 0x41:
      if (!HoldsWord(body_length, 2)) return;
      if (Word(body, 1) != 1) sink_.SetDirectComponentText(Unsigned(Word(body, 2)));
      break;
    case 0x42: {
      if (chart_tag_ == 0 || !HoldsWord(body_length, 10)) return;
      ScopeSample sample;
      sample.useful = Pair(body, 1);
      sample.ekNoise = Pair(body, 3);
      sample.ekClimate = Pair(body, 5);
      sample.input = Pair(body, 7);
      const uint32_t threshold_bits = Pair(body, 9);
      std::memcpy(&sample.threshold, &threshold_bits, sizeof sample.threshold);
      scope_.AppendScopeSample(sample);
      break;
    }
    default:
      break;
  }
}

}  // namespace tarvin
