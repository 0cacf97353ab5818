// What the recorder says on standard error, on a terminal and off one.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "recorder/console.h"
#include "recorder/options.h"
#include "tests/support/temp_folder.h"

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
  } cases[] = {{"COM1", 1}, {"com7", 7},  {"COM70", 70},       {"COM71", 0}, {"COM0", 0},
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
  const char* full[] = {"tarvin9-recorder",
                        "--port",
                        "/dev/ttyUSB0",
                        "--folder",
                        "f",
                        "--journal",
                        "j",
                        "--window",
                        "5000",
                        "--save-level",
                        "4",
                        "--no-save-on-alarm",
                        "--record-line",
                        "r",
                        "--duration",
                        "2.5"};
  ASSERT_FALSE(ParseRecorderOptions(16, full, &all));
  EXPECT_EQ(all.port, "/dev/ttyUSB0");
  EXPECT_EQ(all.window, 5000);
  EXPECT_EQ(all.save_level, 4);
  EXPECT_FALSE(all.save_on_alarm);
  EXPECT_EQ(all.record_line, "r");
  EXPECT_EQ(all.duration, 2.5);
}

// A settings file is read as the command line is; a line that sets nothing
// is refused by its number rather than dropped, and one complaint is made.
TEST(RecorderOptions, ASettingsFileIsReadWholeOrRefusedByItsLine) {
  testing::TempFolder dir;
  const auto parse = [&](const std::string& text, std::vector<std::string> args, RecorderOptions* o) {
    std::ofstream(dir.Folder() + "r.ini") << text;
    args.insert(args.begin(), {"tarvin9-recorder", "--settings", dir.Folder() + "r.ini"});
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    std::vector<std::string> complaints;
    const auto code = ParseRecorderOptions(static_cast<int>(argv.size()), argv.data(), o,
                                           [&](const std::string& line) { complaints.push_back(line); });
    EXPECT_LE(complaints.size(), 1u);
    EXPECT_EQ(code.has_value(), !complaints.empty());
    return complaints.empty() ? std::string() : complaints.front();
  };
  RecorderOptions o;
  EXPECT_EQ(parse("# the gate\nport = COM7\nwindow = 200\n\nsave-level=60\n", {}, &o), "");
  EXPECT_EQ(o.port, "COM7");
  EXPECT_EQ(o.window, 200);
  EXPECT_EQ(o.save_level, 60);
  RecorderOptions given;
  EXPECT_EQ(parse("window = 300\n", {"--port", "COM3"}, &given), "") << "the port given beside the file";
  EXPECT_EQ(given.port, "COM3");

  const std::pair<const char*, const char*> refused[] = {
      {"port = COM7\nwindwo = 200\n", "r.ini line 2: \"windwo = 200\" sets no option"},
      {"port COM7\n", "r.ini line 1: \"port COM7\" sets no option"},
      {"[gate]\nport = COM7\n", "r.ini line 1: sections are not used"},
      {"port = COM7\nservice = true\n", "r.ini line 2:"},
      {"site = north\n", "r.ini: no port=... line"},
      {"port = COM7\nwindow = abc\n", "--window: \"abc\" is not a number"},
  };
  for (const auto& [text, said] : refused) {
    RecorderOptions bad;
    EXPECT_NE(parse(text, {}, &bad).find(said), std::string::npos) << text;
  }
}

}  // namespace
}  // namespace tarvin
