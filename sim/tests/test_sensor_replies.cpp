// The sensor's replies as they appear on the line, pinned as known frames.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "link/frame_codec.h"
#include "sim/sensor.h"

namespace tarvin::sim {
namespace {

// The reply line (without CR LF) to one command line ("" when there is none).
std::string Exchange(Sensor& sensor, const std::string& command, SensorMoment moment = {}) {
  const std::string body = command.substr(1);  // after ':'
  if (Check_KS(body.c_str()) != 0) return "bad command in test";
  uint16_t words[kMaxReplyWords];
  const uint16_t n = sensor.Answer(body.c_str(), body.size(), moment, words);
  if (n == 0) return "";
  char line[128];
  const std::size_t length = Write_Frame(':', words, n, line, sizeof line);
  return std::string(line, length - 2);
}

TEST(SensorReplies, EachCommandGetsItsKnownFrame) {
  struct Case {
    const char* command;
    const char* reply;
  };
  const Case cases[] = {
      // word 3 version 2.0, word 14 busy 0
      {":014DB2", ":014D0009123400020000000000000000000000000000000000000000000073"},
      // words 12 and 13: constant component 30, buffer length 56
      {":015FA0", ":015F00000001000000000000000000000000000000000000001E003849"},
      // status: balanced, no alarm; word 2 the constant component
      {":0141BE", ":01410000001EA0"},
      // threshold stored and echoed (LRC 3E: the high byte of 0x012C does not count)
      {":015D012C00383E", ":015D012C00383E"},
      // mode flags echoed
      {":015B0003A1", ":015B0003A1"},
      // address write: address and 0x0001 echoed
      {":01600007000197", ":01600007000197"},
      // address read after the write
      {":01629D", ":0162000796"},
  };
  Sensor sensor{SensorSettings{}};
  for (const Case& c : cases) EXPECT_EQ(Exchange(sensor, c.command), c.reply) << c.command;
}

TEST(SensorReplies, EveryReplyPassesTheProgramsCheck) {
  const char* commands[] = {":014DB2", ":015FA0", ":0141BE", ":015D012C00383E", ":015B0003A1", ":01629D"};
  Sensor sensor{SensorSettings{}};
  for (const char* command : commands) {
    const std::string reply = Exchange(sensor, command);
    ASSERT_FALSE(reply.empty()) << command;
    EXPECT_EQ(Check_KS(reply.c_str() + 1), 0) << reply;
  }
}

TEST(SensorReplies, StoredSettingsShowInLaterReplies) {
  Sensor sensor{SensorSettings{}};
  Exchange(sensor, ":015D012C00383E");  // constant component 300, buffer 56
  const std::string settings = Exchange(sensor, ":015FA0");
  EXPECT_EQ(Get_Word(settings.c_str() + 1, 48), 300);
  EXPECT_EQ(Get_Word(settings.c_str() + 1, 52), 56);

  EXPECT_FALSE(sensor.Streaming());
  Exchange(sensor, ":015B0001A3");
  EXPECT_TRUE(sensor.Streaming());
  Exchange(sensor, ":015B0002A2");  // bit 1 alone: automatic transmission, no stream
  EXPECT_FALSE(sensor.Streaming());
}

TEST(SensorReplies, BusyAlarmAndBalanceShapeTheWords) {
  SensorSettings settings;
  settings.balance = 0x20;
  settings.version = 0x0102;
  Sensor sensor{settings};
  const std::string version = Exchange(sensor, ":014DB2", SensorMoment{true, false});
  EXPECT_EQ(Get_Word(version.c_str() + 1, 12), 0x0102);
  EXPECT_EQ(Get_Word(version.c_str() + 1, 56), 1);
  const std::string status = Exchange(sensor, ":0141BE", SensorMoment{false, true});
  EXPECT_EQ(Get_Word(status.c_str() + 1, 4), 0x20 | 0x02 | 0x04);
}

TEST(SensorReplies, UnknownOrShortCommandsGoUnanswered) {
  Sensor sensor{SensorSettings{}};
  EXPECT_EQ(Exchange(sensor, ":0142BD"), "");  // a stream code is not a command
  EXPECT_EQ(Exchange(sensor, ":015DA2"), "");  // threshold without its words
  EXPECT_EQ(Exchange(sensor, ":015BA4"), "");  // flags without the flags word
  EXPECT_FALSE(sensor.Streaming());
}

}  // namespace
}  // namespace tarvin::sim
