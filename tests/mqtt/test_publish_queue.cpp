// What every outlet has while its peer is away: the queue that holds its
// messages (order, bounds, what goes first when it overflows) and the backoff
// of its attempts to reach the peer again.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "outlets/backoff.h"
#include "outlets/publish_queue.h"

namespace tarvin {
namespace {

OutMessage EventMessage(int n) { return {MessageKind::Event, "t/event", "e" + std::to_string(n), ""}; }
OutMessage Sample(int n) { return {MessageKind::Sample, "t/samples", "s" + std::to_string(n), ""}; }
OutMessage File(int n) {
  return {MessageKind::File, "t/oscillogram", "f" + std::to_string(n), "n" + std::to_string(n)};
}

std::vector<std::string> Drain(PublishQueue& q) {
  std::vector<std::string> out;
  while (!q.Empty()) out.push_back(q.TakeFront().payload);
  return out;
}

TEST(PublishQueue, KeepsOrderAndTheDefaultBoundsHoldWhatAnOutageNeeds) {
  PublishQueue q;
  for (int i = 0; i < 10000; ++i) q.Push(EventMessage(i));
  for (int i = 0; i < 50; ++i) q.Push(File(i));
  EXPECT_EQ(q.Size(), 10050u);
  EXPECT_EQ(q.Files(), 50u);
  EXPECT_EQ(q.TakeDrops().Total(), 0u);
  EXPECT_EQ(q.Front().payload, "e0");
  const auto all = Drain(q);
  EXPECT_EQ(all[9999], "e9999");
  EXPECT_EQ(all[10000], "f0");
  EXPECT_EQ(q.Files(), 0u);
}

TEST(PublishQueue, OverflowDropsTheOldestSamplesFirstThenTheOldestEvents) {
  PublishQueue q(4, 2);
  q.Push(EventMessage(1));
  q.Push(Sample(1));
  q.Push(EventMessage(2));
  q.Push(Sample(2));
  q.Push(EventMessage(3));  // over: sample 1 goes
  q.Push(EventMessage(4));  // over: sample 2 goes
  q.Push(EventMessage(5));  // over, no samples left: event 1 goes
  DropCounts d = q.TakeDrops();
  EXPECT_EQ(d.samples, 2u);
  EXPECT_EQ(d.events, 1u);
  EXPECT_EQ(d.files, 0u);
  EXPECT_EQ(q.TakeDrops().Total(), 0u);  // counted once
  // A new sample into a queue full of events is the oldest sample: it goes.
  q.Push(Sample(3));
  EXPECT_EQ(q.TakeDrops().samples, 1u);
  EXPECT_EQ(Drain(q), (std::vector<std::string>{"e2", "e3", "e4", "e5"}));
}

TEST(PublishQueue, FilesAreBoundedOnTheirOwnOldestFirst) {
  PublishQueue q(2, 2);
  q.Push(File(1));
  q.Push(EventMessage(1));
  q.Push(File(2));
  q.Push(EventMessage(2));
  q.Push(File(3));  // the third file: file 1 goes, the events stay
  const DropCounts d = q.TakeDrops();
  EXPECT_EQ(d.files, 1u);
  EXPECT_EQ(d.events, 0u);
  EXPECT_EQ(q.Files(), 2u);
  EXPECT_EQ(Drain(q), (std::vector<std::string>{"e1", "f2", "e2", "f3"}));
}

TEST(PublishQueue, UnacknowledgedMessagesGoBackToTheFrontInOrder) {
  PublishQueue q(5, 5);
  for (int i = 1; i <= 4; ++i) q.Push(EventMessage(i));
  std::deque<OutMessage> sent;
  sent.push_back(q.TakeFront());
  sent.push_back(q.TakeFront());
  q.Push(EventMessage(5));
  q.Requeue(std::move(sent));
  EXPECT_EQ(q.TakeDrops().Total(), 0u);
  EXPECT_EQ(Drain(q), (std::vector<std::string>{"e1", "e2", "e3", "e4", "e5"}));

  // Over the bound after requeueing: the oldest still goes first.
  PublishQueue full(2, 1);
  full.Push(EventMessage(3));
  full.Push(EventMessage(4));
  std::deque<OutMessage> back;
  back.push_back(EventMessage(1));
  back.push_back(File(2));
  back.push_back(Sample(2));
  full.Requeue(std::move(back));
  const DropCounts d = full.TakeDrops();
  EXPECT_EQ(d.samples, 1u);
  EXPECT_EQ(d.events, 1u);
  EXPECT_EQ(Drain(full), (std::vector<std::string>{"f2", "e3", "e4"}));
}

TEST(Backoff, DoublesToThirtySecondsStartsAgainOnAnAnswerAndWaitsLongestOnARefusal) {
  using std::chrono::seconds;
  Backoff backoff;
  const Backoff::Clock::time_point t0{};
  EXPECT_TRUE(backoff.Due(t0));
  std::vector<long long> waits;
  for (int i = 0; i < 7; ++i) {
    backoff.Failed(t0);
    waits.push_back(std::chrono::duration_cast<seconds>(backoff.Next() - t0).count());
  }
  EXPECT_EQ(waits, (std::vector<long long>{1, 2, 4, 8, 16, 30, 30}));
  EXPECT_FALSE(backoff.Due(t0 + seconds(29)));
  backoff.Answered();
  backoff.Failed(t0);
  EXPECT_EQ(backoff.Next(), t0 + seconds(1));
  backoff.Refused();
  backoff.Failed(t0);
  EXPECT_EQ(backoff.Next(), t0 + seconds(30));
}

}  // namespace
}  // namespace tarvin
