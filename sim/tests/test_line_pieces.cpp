// The small pieces of the line: the pace, the command reader and the reply queue.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "sim/command_reader.h"
#include "sim/pacer.h"
#include "sim/reply_queue.h"

namespace tarvin::sim {
namespace {

// Drains the pacer at irregular moments, each within a bucket's time, for
// `seconds` and returns the characters sent.
double SendFlatOut(double pace, double seconds, uint32_t seed) {
  Pacer pacer(pace, 0.0);
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> step(0.0, 0.019);
  double sent = 0;
  for (double t = 0; t < seconds; t += step(rng)) {
    const std::size_t n = pacer.Allowed(t);
    pacer.Spend(n);
    sent += static_cast<double>(n);
  }
  return sent;
}

TEST(Pacer, NeverRunsAheadOfTheLineAndKeepsUpWithIt) {
  for (double pace : {1.0, 50.0}) {
    const double line = kLineCharsPerSecond * pace * 10.0;  // ten seconds' worth
    const double sent = SendFlatOut(pace, 10.0, 7);
    const double burst = Pacer(pace).Burst();
    EXPECT_LE(sent, line + burst) << pace;
    EXPECT_GE(sent, line - 2 * burst) << pace;
  }
}

TEST(Pacer, IdleTimeDoesNotBuildUpABurst) {
  Pacer pacer(1.0, 0.0);
  EXPECT_LE(pacer.Allowed(60.0), pacer.Burst());
  pacer.Spend(pacer.Allowed(60.0));
  EXPECT_EQ(pacer.Allowed(60.0), 0u);
  // The next chunk waits for its own line time.
  const double wait = pacer.When(60.0, 49) - 60.0;
  EXPECT_GT(wait, 0.0);
  EXPECT_LE(wait, (pacer.Chunk() + 1) / kLineCharsPerSecond);
  EXPECT_GE(pacer.Allowed(60.0 + wait) + 1, pacer.Chunk());
}

TEST(CommandReader, AssemblesFramesBetweenColonAndCrLf) {
  struct Case {
    std::string line;
    std::vector<std::string> bodies;
  };
  const Case cases[] = {
      {":014DB2\r\n", {"014DB2"}},
      {"xx:014DB2\r\n:0141BE\r\n", {"014DB2", "0141BE"}},            // noise before a frame
      {":01:014DB2\r\n", {"014DB2"}},                                // ':' restarts
      {"014DB2\r\n", {}},                                            // no start character
      {":01\n4DB2\r\n", {"01\n4DB2"}},                               // LF alone is a character
      {":" + std::string(80, '0') + "\r\n:0141BE\r\n", {"0141BE"}},  // overlong dropped
  };
  for (const Case& c : cases) {
    CommandReader reader;
    std::vector<std::string> got;
    for (char ch : c.line)
      if (reader.Feed(ch)) got.emplace_back(reader.Body(), reader.Length());
    EXPECT_EQ(got, c.bodies) << c.line;
  }
}

TEST(ReplyQueue, RepliesLeaveInOrderWhenDue) {
  ReplyQueue q;
  const uint16_t a[] = {0x0141, 1, 2};
  const uint16_t b[] = {0x014D, 3};
  q.Push(1.0, a, 3);
  q.Push(1.5, b, 2);
  EXPECT_EQ(q.Due(0.9), nullptr);
  ASSERT_NE(q.Due(1.0), nullptr);
  EXPECT_EQ(q.Due(1.0)->words[0], 0x0141);
  q.Pop();
  EXPECT_EQ(q.Due(1.2), nullptr);
  EXPECT_DOUBLE_EQ(q.NextDue(), 1.5);
  q.Pop();
  EXPECT_EQ(q.Size(), 0);
  EXPECT_LT(q.NextDue(), 0);
}

TEST(ReplyQueue, AFullQueueLosesItsOldest) {
  ReplyQueue q;
  for (uint16_t i = 0; i < ReplyQueue::kSlots + 2; ++i) {
    const uint16_t w[] = {i, 0};
    q.Push(0.0, w, 2);
  }
  EXPECT_EQ(q.Size(), ReplyQueue::kSlots);
  EXPECT_EQ(q.Due(0.0)->words[0], 2);
}

}  // namespace
}  // namespace tarvin::sim
