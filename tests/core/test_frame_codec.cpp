#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/frame_codec.h"

namespace tarvin {
namespace {

struct KnownFrame {
  std::vector<uint16_t> words;  // before the checksum word
  uint16_t checksum;
  const char* frame;
};

const KnownFrame kKnownFrames[] = {
    {{0x014D}, 0xFFB2, ":014DB2\r\n"},
    {{0x015B, 0x0003}, 0xFFA1, ":015B0003A1\r\n"},
    {{0x015D, 0x012C, 0x0038}, 0xFE3E, ":015D012C00383E\r\n"},
    {{0x015F}, 0xFFA0, ":015FA0\r\n"},
    {{0x0141}, 0xFFBE, ":0141BE\r\n"},
    {{0x0162}, 0xFF9D, ":01629D\r\n"},
    // The sum wraps at 16 bits: 0x01 + 0x60 + 0xFFFF + 0x0001 = 0x0061.
    {{0x0160, 0xFFFF, 0x0001}, 0xFF9F, ":0160FFFF00019F\r\n"},
};

TEST(FrameCodec, KnownFramesChecksumWriteAndCheck) {
  for (const KnownFrame& known : kKnownFrames) {
    SCOPED_TRACE(known.frame);
    std::vector<uint16_t> words = known.words;
    const uint16_t checksum = Calc_KS(words.data(), static_cast<uint16_t>(words.size()));
    EXPECT_EQ(checksum, known.checksum);
    words.push_back(checksum);

    char out[64];
    const std::size_t n =
        Write_Frame(':', words.data(), static_cast<uint16_t>(words.size()), out, sizeof out);
    EXPECT_EQ(std::string(out, n), known.frame);
    EXPECT_EQ(n, FrameLength(static_cast<uint16_t>(words.size())));

    // What the sensor would send back with the same body passes the check.
    const std::string body(known.frame + 1, std::string(known.frame).size() - 3);
    EXPECT_EQ(Check_KS(body.c_str()), 0);
  }
}

TEST(FrameCodec, CheckAcceptsAndRejectsBodies) {
  struct Case {
    const char* body;
    int16_t result;
  };
  const Case cases[] = {
      {"014DB2", 0},
      {"014DB3", -9},
      {"014DB", -9},  // odd length
      {"014db2", 0},  // lower-case digits on receipt
      {"015D012C00383E", 0},
      {"015D012C00383D", -9},  // the LRC over all bytes would be 3D
      {"015DFF2C00383E", 0},   // high byte of a data word is outside the LRC
      {"025D012C00383E", -9},  // head word's high byte counts
      {"015D012D00383E", -9},  // low byte of a data word counts
      {"015D012C00393E", -9},
      {"", -9},  // shorter than a head word and an LRC
      {"01", -9},
      {"014D", -9},
      {"01G DB2", -9},   // odd, and not digits anyway
      {"01GGB2", -9},    // not digits: decoded as 0, the LRC fails
      {"014DB2FF", -9},  // irregular even length: the LRC decides
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Check_KS(c.body), c.result) << '"' << c.body << '"';
  }
}

TEST(FrameCodec, IrregularEvenLengthIsDecidedByTheLrcAlone) {
  // Eight characters: the word at 4 is read across the LRC digits, and only
  // the comparison decides. "00000000" sums to 0 and expects 00: accepted.
  EXPECT_EQ(Check_KS("00000000"), 0);
  EXPECT_EQ(Check_KS("014D0000"), -9);  // expects B2, carries 00
  EXPECT_EQ(Check_KS("0100FFFF"), -9);  // sum wraps to 0, expects 00, carries FF
}

TEST(FrameCodec, DigitsBothWays) {
  const char digits[] = "0123456789ABCDEF";
  for (int16_t v = 0; v < 16; ++v) {
    EXPECT_EQ(Bin_To_Hex(v), digits[v]);
    EXPECT_EQ(Hex_To_Bin(digits[v]), v);
  }
  const char lower[] = "abcdef";
  for (int i = 0; i < 6; ++i) EXPECT_EQ(Hex_To_Bin(lower[i]), 10 + i);
  for (char other : {'G', 'g', ' ', ':', '~', '\r', '\0', '/', '@'})
    EXPECT_EQ(Hex_To_Bin(other), 0) << int(other);
}

TEST(FrameCodec, GetWordReadsFourDigitsAtAPosition) {
  const char* body = "015D012C00383E";
  EXPECT_EQ(Get_Word(body, 0), 0x015D);
  EXPECT_EQ(Get_Word(body, 4), 0x012C);
  EXPECT_EQ(Get_Word(body, 8), 0x0038);
  EXPECT_EQ(Get_Word("ffFF", 0), 0xFFFF);
  EXPECT_EQ(Get_Word("x1a2", 0), 0x01A2);
}

TEST(FrameCodec, WriteFrameRefusesWhatDoesNotFit) {
  const uint16_t words[] = {0x014D, 0xFFB2};
  char out[9];
  EXPECT_EQ(Write_Frame(':', words, 2, out, 8), 0u);  // one short
  EXPECT_EQ(Write_Frame(':', words, 2, out, 9), 9u);
  EXPECT_EQ(Write_Frame(':', words, 1, out, 9), 0u);  // no checksum word
  EXPECT_EQ(Write_Frame(':', words, 0, out, 9), 0u);
  EXPECT_EQ(FrameLength(1), 0u);
  EXPECT_EQ(FrameLength(4), 17u);  // the longest command of the system
}

TEST(FrameCodec, StreamStartIsWrittenAsGiven) {
  uint16_t words[] = {0x0141, 0x0002, 0x0123, 0};
  words[3] = Calc_KS(words, 3);
  char out[32];
  const std::size_t n = Write_Frame('~', words, 4, out, sizeof out);
  ASSERT_EQ(n, 17u);
  EXPECT_EQ(out[0], '~');
  const std::string body(out + 1, n - 3);
  EXPECT_EQ(Check_KS(body.c_str()), 0);
}

}  // namespace
}  // namespace tarvin
