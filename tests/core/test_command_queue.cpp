#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "link/command_queue.h"
#include "link/frame_codec.h"

namespace tarvin {
namespace {

// A command as the senders build it: head word, data words, checksum word.
std::vector<uint16_t> Command(uint16_t head, std::initializer_list<uint16_t> data = {}) {
  std::vector<uint16_t> words{head};
  words.insert(words.end(), data.begin(), data.end());
  words.push_back(Calc_KS(words.data(), static_cast<uint16_t>(words.size())));
  return words;
}

PutResult Put(CommandQueue& q, const std::vector<uint16_t>& words, bool awaiting = false) {
  return q.Put(':', words.data(), static_cast<uint16_t>(words.size()), awaiting);
}

bool SlotIsZero(const CommandSlot& slot) {
  if (slot.usCode != 0 || slot.ucStart != 0 || slot.usDataLen != 0) return false;
  for (uint16_t w : slot.usData) {
    if (w != 0) return false;
  }
  return true;
}

TEST(CommandQueue, StoresACopyWithCodeStartAndLength) {
  CommandQueue q;
  std::vector<uint16_t> words = Command(0x015D, {0x012C, 0x0038});
  ASSERT_EQ(Put(q, words), PutResult::Stored);
  words[1] = 0xDEAD;  // the sender's array may be reused at once
  EXPECT_EQ(q.Count, 1);
  EXPECT_EQ(q.Slots[0].usCode, 0x5D);
  EXPECT_EQ(q.Slots[0].ucStart, ':');
  EXPECT_EQ(q.Slots[0].usDataLen, 4);
  EXPECT_EQ(q.Slots[0].usData[1], 0x012C);
  EXPECT_EQ(q.Slots[0].usData[3], 0xFE3E);
  EXPECT_EQ(q.Slots[0].usData[4], 0);
}

TEST(CommandQueue, RefusalRules) {
  struct Case {
    const char* what;
    std::vector<std::vector<uint16_t>> before;
    std::vector<uint16_t> command;
    bool awaiting;
    PutResult result;
  };
  const Case cases[] = {
      {"status while awaiting", {}, Command(0x0141), true, PutResult::StatusWhileAwaiting},
      {"status while idle", {}, Command(0x0141), false, PutResult::Stored},
      {"version while awaiting", {}, Command(0x014D), true, PutResult::Stored},
      {"second version", {Command(0x014D)}, Command(0x014D), false, PutResult::Duplicate},
      {"version behind another",
       {Command(0x014D), Command(0x015F)},
       Command(0x014D),
       false,
       PutResult::Duplicate},
      {"flags with other data",
       {Command(0x015B, {0x0001})},
       Command(0x015B, {0x0003}),
       false,
       PutResult::Stored},
      {"flags with same data",
       {Command(0x015B, {0x0003})},
       Command(0x015B, {0x0003}),
       false,
       PutResult::Duplicate},
      // Only the code and the checksum word are compared: equal sums collide.
      {"threshold, equal sum",
       {Command(0x015D, {0x0010, 0x0020})},
       Command(0x015D, {0x0020, 0x0010}),
       false,
       PutResult::Duplicate},
      {"other code, same checksum position", {Command(0x015F)}, Command(0x014D), false, PutResult::Stored},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CommandQueue q;
    for (const auto& words : c.before) ASSERT_EQ(Put(q, words), PutResult::Stored);
    const int16_t count = q.Count;
    EXPECT_EQ(Put(q, c.command, c.awaiting), c.result);
    EXPECT_EQ(q.Count, count + (c.result == PutResult::Stored ? 1 : 0));
  }
}

TEST(CommandQueue, LengthLimits) {
  CommandQueue q;
  static uint16_t big[SIZE_TR_BUF + 1] = {0x0101};
  EXPECT_EQ(q.Put(':', big, SIZE_TR_BUF + 1, false), PutResult::TooLong);
  EXPECT_EQ(q.Put(':', big, 1, false), PutResult::TooShort);
  EXPECT_EQ(q.Put(':', big, 0, false), PutResult::TooShort);
  EXPECT_EQ(q.Count, 0);
  EXPECT_EQ(q.Put(':', big, SIZE_TR_BUF, false), PutResult::Stored);
  EXPECT_EQ(q.Slots[0].usDataLen, SIZE_TR_BUF);
}

TEST(CommandQueue, ThirtyThirdCommandIsLost) {
  CommandQueue q;
  for (uint16_t i = 0; i < SIZE_CMD_QUEUE; ++i) ASSERT_EQ(Put(q, Command(0x015B, {i})), PutResult::Stored);
  EXPECT_EQ(Put(q, Command(0x015B, {0x00FF})), PutResult::Full);
  EXPECT_EQ(q.Count, SIZE_CMD_QUEUE);
}

TEST(CommandQueue, RemoveHeadShiftsAndZeroesTheFreedSlot) {
  CommandQueue q;
  for (uint16_t i = 0; i < 3; ++i) ASSERT_EQ(Put(q, Command(0x015B, {i})), PutResult::Stored);
  q.RemoveHead();
  ASSERT_EQ(q.Count, 2);
  EXPECT_EQ(q.Slots[0].usData[1], 1);
  EXPECT_EQ(q.Slots[1].usData[1], 2);
  for (int i = 2; i < SIZE_CMD_QUEUE; ++i) EXPECT_TRUE(SlotIsZero(q.Slots[i])) << i;
  q.RemoveHead();
  q.RemoveHead();
  EXPECT_EQ(q.Count, 0);
  q.RemoveHead();  // never below 0
  EXPECT_EQ(q.Count, 0);
  for (const CommandSlot& slot : q.Slots) EXPECT_TRUE(SlotIsZero(slot));
}

TEST(CommandQueue, RemoveHeadOfAFullQueueZeroesTheLastSlot) {
  CommandQueue q;
  for (uint16_t i = 0; i < SIZE_CMD_QUEUE; ++i) ASSERT_EQ(Put(q, Command(0x015B, {i})), PutResult::Stored);
  q.RemoveHead();
  EXPECT_EQ(q.Count, SIZE_CMD_QUEUE - 1);
  EXPECT_EQ(q.Slots[30].usData[1], 31);
  EXPECT_TRUE(SlotIsZero(q.Slots[31]));
  // After removal the removed command may be queued again.
  EXPECT_EQ(Put(q, Command(0x015B, {0})), PutResult::Stored);
}

TEST(CommandQueue, ClearZeroesEverySlot) {
  CommandQueue q;
  for (uint16_t i = 0; i < 5; ++i) ASSERT_EQ(Put(q, Command(0x015B, {i})), PutResult::Stored);
  q.Clear();
  EXPECT_EQ(q.Count, 0);
  for (const CommandSlot& slot : q.Slots) EXPECT_TRUE(SlotIsZero(slot));
}

}  // namespace
}  // namespace tarvin
