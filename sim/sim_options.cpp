#include "sim/sim_options.h"

#include <CLI/CLI.hpp>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "cli/number_option.h"

namespace tarvin::sim {

namespace {

// A number as the run-time commands take it: decimal, or hexadecimal with
// 0x; handed on in decimal, so that 0x0102 is stored as 258 and 010 is ten.
CLI::Validator SimNumber(double low, double high, bool whole = false) {
  return Between(low, high, whole, ParseNumber);
}

// --run: a run's number, from 1, or all (stored as 0).
CLI::Validator RunNumber() {
  return CLI::Validator(
      [](std::string& text) -> std::string {
        double value = 0;
        if (text == "all") {
          text = "0";
        } else if (ParseNumber(text, &value) && value >= 1 && value <= 1e6 && value == std::floor(value)) {
          text = ShownNumber(value);
        } else {
          return "\"" + text + "\" is neither a run's number (1, 2 ...) nor all";
        }
        return std::string();
      },
      "");
}

const char* const kDescription =
    "tarvin_sim: plays the perimeter sensor on a pseudo-terminal at the pace of its line\n"
    "(38400 baud 7O1). LINK (default COM1) becomes a symbolic link to the\n"
    "pseudo-terminal; the program opens it as its port. \"ready\" is printed on\n"
    "standard output once the link exists (and again after a hangup returns).\n"
    "The link is removed at the end; SIGINT and SIGTERM end the simulator.\n";

// The run-time commands, which the options list leaves out, and what the sensor answers.
std::string Footer() {
  std::ostringstream h;
  h << "Run-time commands, one a line on standard input; each is also an option\n"
       "applied at start (--silence 5, --intrusion 4, --threshold-rise 50 10):\n";
  std::size_t count = 0;
  const CommandForm* table = CommandTable(&count);
  for (std::size_t i = 0; i < count; ++i) {
    std::string head = std::string("  ") + table[i].name + (table[i].usage[0] ? " " : "") + table[i].usage;
    // Aligned with the options above, whose column CLI11 makes 30 wide.
    h << head << (head.size() < 30 ? std::string(30 - head.size(), ' ') : "\n" + std::string(30, ' '))
      << table[i].help << "\n";
  }
  h << "\nShares are percentages (0 to 100); words may be hexadecimal (0x0102).\n"
       "Commands the sensor answers: 'M' version (word 3 the version, word 14 busy),\n"
       "'_' settings (words 12, 13), 'A' status (word 1: balance bits 0x30, alarm\n"
       "bits 0x06), ']' threshold, '[' mode flags (bit 0 starts the chart stream),\n"
       "0x60 address write, 'b' address read. A command with a bad LRC is ignored.\n"
       "Chart frames '~' 0x42 carry useful, ekNoise, ekClimate, input, threshold;\n"
       "ekClimate is a running sample counter, so a lost sample shows as a gap.";
  return h.str();
}

// The command line as CLI11 sees it, filling *out. The options that name the
// link or take run-time commands act as they are met, so that the first plain
// word names the link unless --link came before it, and the commands given at
// start keep their order.
class Parser {
 public:
  explicit Parser(CommandLine* out);

  CLI::App app{kDescription, "tarvin_sim"};

  // Once the words are parsed: false, with the reason, for a word left over.
  bool Finish(std::string* error);

 private:
  // The options, in the order --help lists them.
  void AddLinkOptions();
  void AddSignalOptions();
  void AddSensorOptions();
  void AddFileOptions();
  void AddCommandOptions();
  void StartCommand(const CommandForm& form, const CLI::results_t& words);
  void PlainWord(const std::string& word);
  // CLI11 stores a plain word as LINK without calling back: it is taken up
  // before the next option that acts, and at the end.
  void TakeUpLinkWord();

  CommandLine* out_;
  CLI::Option* link_word_ = nullptr;
  bool link_word_taken_ = false;
  bool have_link_ = false;
  std::string surplus_;  // a plain word after the link was named
};

Parser::Parser(CommandLine* out) : out_(out) {
  app.set_help_flag("-h,--help", "this text");
  AddLinkOptions();
  AddSignalOptions();
  AddSensorOptions();
  AddFileOptions();
  AddCommandOptions();
  app.footer(Footer());
  // Unknown words are collected, not thrown, and named once all is parsed.
  app.allow_extras();
}

void Parser::AddLinkOptions() {
  link_word_ = app.add_option("LINK", "where to put the link (default COM1); the same as --link");
  app.add_option_function<std::string>(
         "--link",
         [this](const std::string& path) {
           TakeUpLinkWord();
           out_->sim.link_path = path;
           have_link_ = true;
         },
         "where to put the link to the pseudo-terminal (default COM1; also the first plain argument)")
      ->type_name("PATH")
      ->trigger_on_parse();
}

void Parser::AddSignalOptions() {
  SimOptions& sim = out_->sim;
  app.add_option("--pace", sim.pace,
                 "multiply the line's 3840 characters/s by X, for soak and load tests (default 1)")
      ->type_name("X")
      ->transform(SimNumber(0.01, 10000));
  app.add_option("--rate", sim.rate,
                 "chart samples per second; 0 = as fast as the line allows (default 0, about 78/s)")
      ->type_name("N")
      ->transform(SimNumber(0, 100000));
  app.add_option("--status-every", sim.stream_status_every,
                 "seconds between stream status frames while the chart streams (default 2)")
      ->type_name("S")
      ->transform(SimNumber(0.05, 3600));
  app.add_option("--hangup-for", sim.hangup_for,
                 "after a hangup, a new pseudo-terminal appears S seconds later (default 0: at return)")
      ->type_name("S")
      ->transform(SimNumber(0, 3600));
  app.add_option("--random-intrusions", sim.random_intrusions,
                 "intrusions at random, S seconds apart on average (default 0: none)")
      ->type_name("S")
      ->transform(SimNumber(0, 1e6));
}

void Parser::AddSensorOptions() {
  SensorSettings& sensor = out_->sim.sensor;
  app.add_option("--firmware", sensor.version, "firmware version word at start (default 0x0002, version 2.0)")
      ->type_name("WORD")
      ->transform(SimNumber(0, 65535, true));
  app.add_option("--direct", sensor.direct, "threshold's constant component at start (default 30)")
      ->type_name("N")
      ->transform(SimNumber(0, 65535, true));
  app.add_option("--buffer", sensor.buffer, "threshold's buffer length at start (default 56)")
      ->type_name("N")
      ->transform(SimNumber(0, 65535, true));
  app.add_option("--address", sensor.address, "network address at start (default 1)")
      ->type_name("N")
      ->transform(SimNumber(0, 65535, true));
  app.add_option("--seed", out_->sim.seed, "seed of the signals and of the random faults (default 1)")
      ->type_name("N")
      ->transform(SimNumber(0, 4294967295.0, true));
}

void Parser::AddFileOptions() {
  CommandLine* out = out_;
  app.add_option("--log", out->log_path, "log every frame each way to FILE instead of standard error")
      ->type_name("FILE");
  app.add_option(
         "--replay", out->replay_path,
         "play the sensor's side of a line recording (tarvin9-recorder --record-line) with its timing, "
         "scaled by --pace, instead of simulating")
      ->type_name("FILE");
  app.add_option("--run", out->replay_run,
                 "with --replay: play only run N of the recording (from 1; each start of the recorder began "
                 "one), or all of them one after the other (default all)")
      ->type_name("N|all")
      ->transform(RunNumber());
  app.add_option("--log-max-mb", out->log_max_mb,
                 "rotate the log FILE to FILE.1 at N megabytes, keeping one old file (default 4; 0 = never)")
      ->type_name("N")
      ->transform(SimNumber(0, 1e6));
  app.add_flag("--quiet", out->quiet, "log nothing");
}

void Parser::AddCommandOptions() {
  // The run-time commands as options, listed in the footer instead. A command
  // takes as many numbers as it accepts; a word after them is a plain word
  // (`--intrusion COM1`). --rate is already the option above, with the same effect.
  std::size_t count = 0;
  const CommandForm* table = CommandTable(&count);
  for (std::size_t i = 0; i < count; ++i) {
    const CommandForm& form = table[i];
    const std::string name = std::string("--") + form.name;
    if (app.get_option_no_throw(name) != nullptr) continue;
    app.add_option(name,
                   [this, &form](const CLI::results_t& words) {
                     StartCommand(form, words);
                     return true;
                   })
        ->expected(0, form.max_args)
        ->group("")
        ->trigger_on_parse()
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  }
}

void Parser::StartCommand(const CommandForm& form, const CLI::results_t& words) {
  TakeUpLinkWord();
  // A command without numbers has a word only as `--hangup=3`.
  if (form.max_args == 0 && !words.empty() && !words.front().empty())
    throw CLI::ValidationError(std::string("--") + form.name, "takes no value");
  std::string line = form.name;
  std::size_t i = 0;
  double number = 0;
  for (; i < words.size() && static_cast<int>(i) < form.max_args && ParseNumber(words[i], &number); ++i)
    line += " " + words[i];
  Command command;
  std::string error;
  if (!ParseCommand(line, &command, &error)) throw CLI::ValidationError("--" + error);
  out_->sim.start_commands.push_back(line);
  for (; i < words.size(); ++i)
    if (!words[i].empty()) PlainWord(words[i]);
}

void Parser::PlainWord(const std::string& word) {
  if (!have_link_) {
    out_->sim.link_path = word;
    have_link_ = true;
  } else if (surplus_.empty()) {
    surplus_ = word;
  }
}

void Parser::TakeUpLinkWord() {
  if (link_word_taken_ || link_word_->count() == 0) return;
  link_word_taken_ = true;
  PlainWord(link_word_->results().front());
}

bool Parser::Finish(std::string* error) {
  TakeUpLinkWord();
  const std::vector<std::string> extras = app.remaining();
  const std::string& word = extras.empty() ? surplus_ : extras.front();
  if (word.empty()) return true;
  *error = word + ": " +
           (word[0] == '-' ? std::string("no such option")
                           : "unexpected word: the link is " + out_->sim.link_path + " already") +
           " (see --help)";
  return false;
}

}  // namespace

std::string HelpText() {
  CommandLine unused;
  return Parser(&unused).app.help();
}

bool ParseCommandLine(int argc, char** argv, CommandLine* out, std::string* error) {
  Parser parser(out);
  try {
    parser.app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    out->help = true;
    return true;
  } catch (const CLI::ParseError& e) {
    *error = std::string(e.what()) + " (see --help)";
    return false;
  }
  return parser.Finish(error);
}

}  // namespace tarvin::sim
