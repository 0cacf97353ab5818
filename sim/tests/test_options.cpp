// The command line: options, run-time commands given at start, and refusals.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/sim_options.h"

namespace tarvin::sim {
namespace {

bool Parse(std::vector<std::string> args, CommandLine* cl, std::string* error) {
  args.insert(args.begin(), "tarvin_sim");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  return ParseCommandLine(static_cast<int>(argv.size()), argv.data(), cl, error);
}

TEST(Options, OptionsAndStartCommandsAreTaken) {
  CommandLine cl;
  std::string error;
  ASSERT_TRUE(Parse({"--pace", "50", "--rate", "20", "--silence", "5", "--threshold-rise", "50", "10",
                     "--intrusion", "--firmware", "0x0102", "--log", "x.log", "COM7"},
                    &cl, &error))
      << error;
  EXPECT_DOUBLE_EQ(cl.sim.pace, 50);
  EXPECT_DOUBLE_EQ(cl.sim.rate, 20);
  EXPECT_EQ(cl.sim.sensor.version, 0x0102);
  EXPECT_EQ(cl.log_path, "x.log");
  EXPECT_EQ(cl.sim.link_path, "COM7");
  const std::vector<std::string> expected = {"silence 5", "threshold-rise 50 10", "intrusion"};
  EXPECT_EQ(cl.sim.start_commands, expected);
}

TEST(Options, WrongCommandLinesAreRefused) {
  const std::vector<std::vector<std::string>> wrong = {
      {"--pace"},                  // no value
      {"--pace", "0"},             // no line at all
      {"--firmware", "1.5"},       // not a word
      {"--drop", "150"},           // not a share
      {"--threshold-rise", "50"},  // one of two
      {"--nosuch"},
      {"COM1", "COM2"},  // one link only
  };
  for (const auto& args : wrong) {
    CommandLine cl;
    std::string error;
    EXPECT_FALSE(Parse(args, &cl, &error)) << args[0];
    EXPECT_FALSE(error.empty()) << args[0];
  }
}

TEST(Options, StartCommandsKeepTheirOrderAndNumbersAreReadAsTheCommandsReadThem) {
  CommandLine cl;
  std::string error;
  // `--intrusion` takes a number only: COM7 after it is the link, as scripts/run.sh passes it.
  ASSERT_TRUE(Parse({"--silence", "5", "--intrusion", "--silence", "0", "--hangup", "--firmware", "0x0102",
                     "--seed", "4294967295", "--pace", "010", "--run", "3", "--intrusion", "COM7"},
                    &cl, &error))
      << error;
  const std::vector<std::string> expected = {"silence 5", "intrusion", "silence 0", "hangup", "intrusion"};
  EXPECT_EQ(cl.sim.start_commands, expected);
  EXPECT_EQ(cl.sim.link_path, "COM7");
  EXPECT_EQ(cl.sim.sensor.version, 0x0102);
  EXPECT_EQ(cl.sim.seed, 4294967295u);
  EXPECT_DOUBLE_EQ(cl.sim.pace, 10);  // decimal, never octal
  EXPECT_EQ(cl.replay_run, 3u);

  CommandLine later;  // a plain word, then --link: the option names the link
  ASSERT_TRUE(Parse({"B", "--link", "A", "--run", "all"}, &later, &error)) << error;
  EXPECT_EQ(later.sim.link_path, "A");
  EXPECT_EQ(later.replay_run, 0u);
}

TEST(Options, ARefusalNamesTheOptionOrWordFirst) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> wrong = {
      {{"--pace", "0"}, "--pace: 0 is out of range; expected a number from 0.01 to 10000"},
      {{"--drop", "150"}, "--drop: a share from 0 to 100"},
      {{"--silence", "--quiet"}, "--silence: expects SECONDS"},
      {{"--run", "0"}, "--run: \"0\" is neither a run's number"},
      {{"--hangup=3"}, "--hangup"},
      {{"--link", "A", "B"}, "B: unexpected word"},
      {{"-x", "--quiet"}, "-x: no such option"},
  };
  for (const auto& [args, start] : wrong) {
    CommandLine cl;
    std::string error;
    EXPECT_FALSE(Parse(args, &cl, &error)) << args[0];
    EXPECT_EQ(error.rfind(start, 0), 0u) << error;
  }
}

TEST(Options, HelpNamesEveryRunTimeCommand) {
  const std::string help = HelpText();
  std::size_t count = 0;
  const CommandForm* table = CommandTable(&count);
  for (std::size_t i = 0; i < count; ++i)
    EXPECT_NE(help.find(std::string("  ") + table[i].name), std::string::npos);
}

}  // namespace
}  // namespace tarvin::sim
