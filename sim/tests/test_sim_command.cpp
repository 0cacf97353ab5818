// Run-time commands: what each line means, and what is refused.
#include <gtest/gtest.h>

#include "sim/sim_command.h"

namespace tarvin::sim {
namespace {

TEST(SimCommand, LinesParseToTheirCommand) {
  struct Case {
    const char* line;
    CommandKind kind;
    double a, b;
  };
  const Case cases[] = {
      {"version 0x0102", CommandKind::Version, 0x0102, 0},
      {"busy 3", CommandKind::Busy, 3, 0},
      {"  silence   2.5 ", CommandKind::Silence, 2.5, 0},
      {"drop 30", CommandKind::Drop, 30, 0},
      {"delay 300", CommandKind::Delay, 300, 0},
      {"corrupt 100", CommandKind::Corrupt, 100, 0},
      {"garbage 4", CommandKind::Garbage, 4, 0},
      {"hangup", CommandKind::Hangup, 0, 0},
      {"return", CommandKind::Return, 0, 0},
      {"unsolicited", CommandKind::Unsolicited, 0, 0},
      {"intrusion", CommandKind::Intrusion, 3, 0},  // default length
      {"intrusion 6", CommandKind::Intrusion, 6, 0},
      {"threshold-rise 50 10", CommandKind::ThresholdRise, 50, 10},
      {"balance 0x10", CommandKind::Balance, 0x10, 0},
      {"rate 20", CommandKind::Rate, 20, 0},
      {"stats", CommandKind::Stats, 0, 0},
      {"quit", CommandKind::Quit, 0, 0},
  };
  for (const Case& c : cases) {
    Command command;
    std::string error;
    ASSERT_TRUE(ParseCommand(c.line, &command, &error)) << c.line << ": " << error;
    EXPECT_EQ(command.kind, c.kind) << c.line;
    EXPECT_DOUBLE_EQ(command.a, c.a) << c.line;
    EXPECT_DOUBLE_EQ(command.b, c.b) << c.line;
  }
}

TEST(SimCommand, WrongLinesAreRefusedWithAReason) {
  const char* wrong[] = {
      "silense 5",          // unknown
      "busy",               // missing argument
      "threshold-rise 50",  // one of two
      "hangup now",         // takes none
      "drop 120",           // not a share
      "corrupt -1",
      "delay ten",
      "version 0x10000",  // beyond 16 bits
      "balance 0x08",     // not a balance pattern
      "silence -2",
  };
  for (const char* line : wrong) {
    Command command;
    std::string error;
    EXPECT_FALSE(ParseCommand(line, &command, &error)) << line;
    EXPECT_FALSE(error.empty()) << line;
  }
}

TEST(SimCommand, BlankLinesAndCommentsAreNoCommandAndNoError) {
  for (const char* line : {"", "   ", "# a comment"}) {
    Command command;
    std::string error = "x";
    EXPECT_FALSE(ParseCommand(line, &command, &error));
    EXPECT_TRUE(error.empty()) << line;
  }
}

}  // namespace
}  // namespace tarvin::sim
