// The sensor's own vocabulary on the line: its command codes, where each
// value stands in a frame's words, and what the bits of a word mean. The
// program's engine and the simulator both speak from here, so that the two
// sides of the line cannot drift apart.
#pragma once

#include <cstdint>

#include "base/number_range.h"

namespace tarvin::protocol {

// A frame's first word: the sensor's group in the high byte, the code in the
// low byte. Every command the program sends and every frame the sensor
// answers or streams carries the group 0x01.
constexpr uint16_t kHead = 0x0100;
constexpr uint16_t kCodeMask = 0x00FF;

enum class Code : uint8_t {
  kStatus = 0x41,        // asked (':'): balance and alarm; streamed ('~'): the constant component
  kChart = 0x42,         // streamed only: one sample of the signals
  kVersion = 0x4D,       // the firmware version and the busy word
  kModeFlags = 0x5B,     // the mode flags, written whole and echoed
  kThreshold = 0x5D,     // the constant component and the buffer length, written and echoed
  kSettings = 0x5F,      // every setting; the program reads two of them
  kAddressWrite = 0x60,  // the RS-485 address, then kAddressWriteConfirm
  kAddressRead = 0x62,
};

constexpr uint16_t HeadWord(Code code) { return kHead | static_cast<uint16_t>(code); }
constexpr uint16_t CodeOf(uint16_t head_word) { return head_word & kCodeMask; }
constexpr bool Is(uint16_t code, Code known) { return code == static_cast<uint16_t>(known); }

// Word k of a frame's body stands at character 4k; a body that holds it also
// holds the two LRC digits after it.
constexpr int WordOffset(int k) { return 4 * k; }
constexpr bool HoldsWord(uint16_t body_length, int k) { return body_length >= 4 * k + 6; }

// The status reply's word 1.
namespace status {
constexpr int kWord = 1;
constexpr uint16_t kBalanceMask = 0x30;  // both bits at once: the sensor does not say
constexpr uint16_t kBalanced = 0x00;
constexpr uint16_t kFirstFlankLow = 0x10;
constexpr uint16_t kSecondFlankLow = 0x20;
constexpr uint16_t kAlarmFirst = 0x02;
constexpr uint16_t kAlarmSecond = 0x04;
constexpr uint16_t kAlarmMask = kAlarmFirst | kAlarmSecond;
constexpr int kConstantWord = 2;  // the constant component, streamed while word 1 is not 1
}  // namespace status

// The version reply: word 3 the version (low byte major, high byte minor),
// word 14 the busy word (0 once the sensor has started).
namespace version {
constexpr int kDeviceTypeWord = 1;
constexpr int kSerialWord = 2;
constexpr int kWord = 3;
constexpr int kBusyWord = 14;
constexpr unsigned Major(uint16_t word) { return word & 0xFFu; }
constexpr unsigned Minor(uint16_t word) { return word >> 8; }
}  // namespace version

// The settings reply (14 words); the program reads the two threshold words.
namespace settings {
constexpr int kFlagsWord = 1;
constexpr int kAddressWord = 2;
constexpr int kConstantWord = 12;
constexpr int kBufferLengthWord = 13;
constexpr int kLastWord = 13;
}  // namespace settings

// The threshold command and its echo.
namespace threshold {
constexpr int kConstantWord = 1;
constexpr int kBufferLengthWord = 2;
// What the sensor accepts in them.
constexpr NumberRange kConstantRange{1, 4095};
constexpr NumberRange kBufferLengthRange{1, 56};
}  // namespace threshold

// The mode flags command and its echo: bit 0 runs the chart stream.
namespace mode {
constexpr int kWord = 1;
constexpr uint16_t kChartBit = 0x0001;
constexpr uint16_t kAutoChartBit = 0x0002;
}  // namespace mode

// The address write carries the address and then 1; the read answers it.
namespace address {
constexpr int kWord = 1;
constexpr uint16_t kWriteConfirm = 1;
constexpr NumberRange kRange{0, 65535};
}  // namespace address

// A streamed chart sample: five 32-bit values, each a pair of words, low word
// first; the threshold's pair holds the bits of a float.
namespace chart {
constexpr int kUsefulPair = 1;
constexpr int kNoisePair = 3;
constexpr int kClimatePair = 5;
constexpr int kInputPair = 7;
constexpr int kThresholdPair = 9;
constexpr int kLastWord = 10;
}  // namespace chart

}  // namespace tarvin::protocol
