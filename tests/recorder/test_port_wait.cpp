// A recorder whose port will not open at start: once, it ends (the desk's
// user sees why); run as a service, it tries again until the port opens,
// saying so once per reason, not every two seconds for days.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "journal/journal.h"
#include "link/port_fake.h"
#include "recorder/console.h"
#include "recorder/options.h"
#include "recorder/recorder.h"
#include "tests/support/read_text.h"
#include "tests/support/temp_folder.h"

namespace tarvin {
namespace {

TEST(RecorderStart, APortThatWillNotOpenIsWaitedForOnlyWhenAskedAndSaidOncePerReason) {
  for (const bool opens_later : {true, false}) {
    testing::TempFolder dir;
    RecorderOptions options;
    options.port = "COM7";
    options.journal = dir.Folder() + "journal.jsonl";
    Journal journal;
    ASSERT_TRUE(journal.Open(options.journal));
    Console console(std::tmpfile(), false);
    FakePort port;
    port.open_result = OpenResult::NotOpened;
    Recorder recorder(options, port, 7, "COM7", journal, console);
    ASSERT_FALSE(recorder.OpenPort());
    int waits = 0;
    const int code = recorder.Start(Recorder::Clock::now(), [&] {
      if (++waits == 3 && opens_later) port.open_result = OpenResult::Opened;
      return waits < 4;
    });
    if (opens_later) {
      EXPECT_EQ(code, kExitOk);
      recorder.Stop("signal", std::chrono::seconds(0));
    } else {
      EXPECT_EQ(code, kExitPortNotOpened);
    }
    std::vector<nlohmann::json> events;
    std::istringstream lines(testing::ReadText(options.journal));
    for (std::string line; std::getline(lines, line);) events.push_back(nlohmann::json::parse(line));
    int failures = 0;
    for (const auto& e : events) failures += e["event"] == "port_open_failed";
    EXPECT_EQ(failures, 1) << "the same reason said again";
    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ(events.front()["event"], "start");
    EXPECT_EQ(events.back()["event"], "stop");
    EXPECT_EQ(events.back()["reason"], opens_later ? "signal" : "port_not_opened");
  }
}

}  // namespace
}  // namespace tarvin
