// What the recorder says on standard error, on a terminal and off one.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "recorder/console.h"
#include "recorder/options.h"

namespace tarvin {
namespace {

std::string Written(bool terminal, void (*script)(Console&)) {
  std::FILE* f = std::tmpfile();
  {
    Console console(f, terminal);
    script(console);
  }
  std::rewind(f);
  std::string out;
  for (int c; (c = std::fgetc(f)) != EOF;) out.push_back(static_cast<char>(c));
  std::fclose(f);
  return out;
}

void Script(Console& c) {
  c.Status("link up (2.0) | 78 samples/s");
  c.Event({{"time", "T"}, {"seq", 3}, {"event", "saved"}, {"path", "a b.bin"}, {"samples", 200}});
  c.Status("link up (2.0) | 77 samples/s");
}

TEST(Console, OffATerminalOnlyEventLines) {
  EXPECT_EQ(Written(false, Script), "T saved path=a b.bin samples=200\n");
}

TEST(Console, OnATerminalTheStatusLineIsRewrittenAroundEvents) {
  EXPECT_EQ(Written(true, Script),
            "link up (2.0) | 78 samples/s"
            "\r\x1b[KT saved path=a b.bin samples=200\n"
            "link up (2.0) | 78 samples/s"
            "\r\x1b[Klink up (2.0) | 77 samples/s"
            "\n");
}

TEST(RecorderOptions, ComPortNamesAndDevicePaths) {
  const struct {
    const char* port;
    int number;
  } cases[] = {{"COM1", 1}, {"com7", 7}, {"COM70", 70}, {"COM71", 0}, {"COM0", 0},
               {"COM", 0},  {"COM1x", 0}, {"/dev/ttyUSB0", 0}, {"./COM1", 0}};
  for (const auto& c : cases) EXPECT_EQ(ComPortNumber(c.port), c.number) << c.port;
}

TEST(RecorderOptions, DefaultsAndEveryOption) {
  RecorderOptions o;
  const char* minimal[] = {"tarvin9-recorder", "--port", "COM2"};
  ASSERT_FALSE(ParseRecorderOptions(3, minimal, &o));
  EXPECT_EQ(o.folder, "Chart4pF");
  EXPECT_EQ(o.journal, "journal.jsonl");
  EXPECT_EQ(o.window, 1000);
  EXPECT_EQ(o.save_level, 40);
  EXPECT_TRUE(o.save_on_alarm);
  EXPECT_FALSE(o.duration);

  RecorderOptions all;
  const char* full[] = {"tarvin9-recorder", "--port", "/dev/ttyUSB0", "--folder", "f", "--journal", "j",
                        "--window", "5000", "--save-level", "4", "--no-save-on-alarm", "--record-line",
                        "r", "--duration", "2.5"};
  ASSERT_FALSE(ParseRecorderOptions(16, full, &all));
  EXPECT_EQ(all.port, "/dev/ttyUSB0");
  EXPECT_EQ(all.window, 5000);
  EXPECT_EQ(all.save_level, 4);
  EXPECT_FALSE(all.save_on_alarm);
  EXPECT_EQ(all.record_line, "r");
  EXPECT_EQ(all.duration, 2.5);
}

}  // namespace
}  // namespace tarvin
