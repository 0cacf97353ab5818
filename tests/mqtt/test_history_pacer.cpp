// The history's retained messages go out when they change, each at most once
// a second, and all of them again on a new connection.
#include <gtest/gtest.h>

#include "outlets/mqtt/history_pacer.h"

namespace tarvin {
namespace {

TEST(HistoryPacer, EachChangedMessageAtMostOnceASecondAndAllAfterForget) {
  using namespace std::chrono_literals;
  HistoryPacer pacer;
  std::vector<HistoryMessage> wanted = {{"history/alarm/00", "a"}, {"history/link/0", ""}};
  const auto send = [&](HistoryPacer::Clock::time_point at, bool all = false) {
    std::string sent;
    for (const HistoryMessage* m : pacer.Due(wanted, at, all)) {
      sent += m->topic + "=" + m->payload + " ";
      pacer.Sent(*m, at);
    }
    return sent;
  };
  const HistoryPacer::Clock::time_point t0{};
  EXPECT_EQ(send(t0), "history/alarm/00=a history/link/0= ");  // cleared ones too
  EXPECT_EQ(send(t0 + 100ms), "");
  wanted[0].payload = "ab";
  EXPECT_EQ(send(t0 + 500ms), "");
  EXPECT_TRUE(pacer.Waiting());
  EXPECT_EQ(send(t0 + 1s), "history/alarm/00=ab ");
  EXPECT_FALSE(pacer.Waiting());
  wanted[0].payload = "abc";
  EXPECT_EQ(send(t0 + 1100ms, true), "history/alarm/00=abc ");  // the stop sends what waits
  pacer.Forget();
  EXPECT_EQ(send(t0 + 1200ms), "history/alarm/00=abc history/link/0= ");
}

}  // namespace
}  // namespace tarvin
