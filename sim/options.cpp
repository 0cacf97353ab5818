#include "sim/options.h"

#include <cmath>
#include <sstream>

namespace tarvin::sim {

namespace {

// Options that are not run-time commands. The run-time commands are options too:
// `--silence 5` at start is `silence 5` on standard input.
struct OptionSpec {
  const char* name;
  const char* arg;
  const char* help;
};

const OptionSpec kOptions[] = {
    {"--link", "PATH",
     "where to put the link to the pseudo-terminal (default COM1; also the first plain argument)"},
    {"--pace", "X", "multiply the line's 3840 characters/s by X, for soak and load tests (default 1)"},
    {"--rate", "N", "chart samples per second; 0 = as fast as the line allows (default 0, about 78/s)"},
    {"--status-every", "S", "seconds between stream status frames while the chart streams (default 2)"},
    {"--hangup-for", "S", "after a hangup, a new pseudo-terminal appears by itself S seconds later"},
    {"--random-intrusions", "S", "intrusions at random, S seconds apart on average"},
    {"--firmware", "WORD", "firmware version word at start (default 0x0002, version 2.0)"},
    {"--direct", "N", "threshold's constant component at start (default 30)"},
    {"--buffer", "N", "threshold's buffer length at start (default 56)"},
    {"--address", "N", "network address at start (default 1)"},
    {"--seed", "N", "seed of the signals and of the random faults (default 1)"},
    {"--log", "FILE", "log every frame each way to FILE instead of standard error"},
    {"--replay", "FILE",
     "play the sensor's side of a line recording (tarvin9-recorder --record-line) "
     "with its timing, scaled by --pace, instead of simulating"},
    {"--run", "N|all",
     "with --replay: play only run N of the recording (from 1; each start of the recorder "
     "began one), or all of them one after the other (default all)"},
    {"--log-max-mb", "N",
     "rotate the log FILE to FILE.1 at N megabytes, keeping one old file (default 4; 0 = never)"},
    {"--quiet", "", "log nothing"},
    {"--help", "", "this text"},
};

bool Number(const std::string& option, const char* text, double lo, double hi, double* out,
            std::string* error) {
  if (text == nullptr || !ParseNumber(text, out) || *out < lo || *out > hi) {
    std::ostringstream why;
    why << option << " expects a number from " << lo << " to " << hi;
    *error = why.str();
    return false;
  }
  return true;
}

}  // namespace

std::string HelpText() {
  std::ostringstream h;
  h << "Usage: tarvin_sim [OPTIONS] [LINK]\n"
       "\n"
       "Plays the perimeter sensor on a pseudo-terminal at the pace of its line\n"
       "(38400 baud 7O1). LINK (default COM1) becomes a symbolic link to the\n"
       "pseudo-terminal; the program opens it as its port. \"ready\" is printed on\n"
       "standard output once the link exists (and again after a hangup returns).\n"
       "The link is removed at the end; SIGINT and SIGTERM end the simulator.\n"
       "\n"
       "Options:\n";
  for (const OptionSpec& o : kOptions) {
    std::string head = std::string("  ") + o.name + (o.arg[0] ? " " : "") + o.arg;
    h << head << std::string(head.size() < 26 ? 26 - head.size() : 1, ' ') << o.help << "\n";
  }
  h << "\nRun-time commands, one a line on standard input; each is also an option\n"
       "applied at start (--silence 5, --intrusion 4, --threshold-rise 50 10):\n";
  std::size_t count = 0;
  const CommandForm* table = CommandTable(&count);
  for (std::size_t i = 0; i < count; ++i) {
    std::string head = std::string("  ") + table[i].name + (table[i].usage[0] ? " " : "") + table[i].usage;
    h << head << std::string(head.size() < 26 ? 26 - head.size() : 1, ' ') << table[i].help << "\n";
  }
  h << "\nShares are percentages (0 to 100); words may be hexadecimal (0x0102).\n"
       "Commands the sensor answers: 'M' version (word 3 the version, word 14 busy),\n"
       "'_' settings (words 12, 13), 'A' status (word 1: balance bits 0x30, alarm\n"
       "bits 0x06), ']' threshold, '[' mode flags (bit 0 starts the chart stream),\n"
       "0x60 address write, 'b' address read. A command with a bad LRC is ignored.\n"
       "Chart frames '~' 0x42 carry useful, ekNoise, ekClimate, input, threshold;\n"
       "ekClimate is a running sample counter, so a lost sample shows as a gap.\n";
  return h.str();
}

bool ParseCommandLine(int argc, char** argv, CommandLine* out, std::string* error) {
  bool have_link = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const char* next = i + 1 < argc ? argv[i + 1] : nullptr;
    double v = 0;
    if (arg == "--help" || arg == "-h") {
      out->help = true;
    } else if (arg == "--quiet") {
      out->quiet = true;
    } else if (arg == "--link" || arg == "--log" || arg == "--replay") {
      if (next == nullptr) {
        *error = arg + " expects a path";
        return false;
      }
      (arg == "--link" ? out->sim.link_path : arg == "--log" ? out->log_path : out->replay_path) = next;
      have_link = have_link || arg == "--link";
      ++i;
    } else if (arg == "--run") {
      if (next != nullptr && std::string(next) == "all") {
        out->replay_run = 0;
      } else if (Number(arg, next, 1, 1e6, &v, error) && v == std::floor(v)) {
        out->replay_run = static_cast<std::size_t>(v);
      } else {
        *error = "--run expects a run's number (1, 2 ...) or all";
        return false;
      }
      ++i;
    } else if (arg == "--log-max-mb") {
      if (!Number(arg, next, 0, 1e6, &out->log_max_mb, error)) return false;
      ++i;
    } else if (arg == "--pace") {
      if (!Number(arg, next, 0.01, 10000, &out->sim.pace, error)) return false;
      ++i;
    } else if (arg == "--rate") {
      if (!Number(arg, next, 0, 100000, &out->sim.rate, error)) return false;
      ++i;
    } else if (arg == "--status-every") {
      if (!Number(arg, next, 0.05, 3600, &out->sim.stream_status_every, error)) return false;
      ++i;
    } else if (arg == "--hangup-for") {
      if (!Number(arg, next, 0, 3600, &out->sim.hangup_for, error)) return false;
      ++i;
    } else if (arg == "--random-intrusions") {
      if (!Number(arg, next, 0, 1e6, &out->sim.random_intrusions, error)) return false;
      ++i;
    } else if (arg == "--firmware" || arg == "--direct" || arg == "--buffer" || arg == "--address" ||
               arg == "--seed") {
      if (!Number(arg, next, 0, arg == "--seed" ? 4294967295.0 : 65535, &v, error)) return false;
      if (v != std::floor(v)) {
        *error = arg + " expects a whole number";
        return false;
      }
      SensorSettings& s = out->sim.sensor;
      if (arg == "--seed")
        out->sim.seed = static_cast<uint32_t>(v);
      else
        (arg == "--firmware" ? s.version
         : arg == "--direct" ? s.direct
         : arg == "--buffer" ? s.buffer
                             : s.address) = static_cast<uint16_t>(v);
      ++i;
    } else if (arg.rfind("--", 0) == 0 && FindCommand(arg.substr(2)) != nullptr) {
      // A run-time command given at start: take as many numbers as it accepts.
      const CommandForm* form = FindCommand(arg.substr(2));
      std::string line = form->name;
      for (int taken = 0; taken < form->max_args && i + 1 < argc && ParseNumber(argv[i + 1], &v); ++taken)
        line += std::string(" ") + argv[++i];
      Command c;
      if (!ParseCommand(line, &c, error)) return false;
      out->sim.start_commands.push_back(line);
    } else if (arg.rfind("-", 0) != 0 && !have_link) {
      out->sim.link_path = arg;
      have_link = true;
    } else {
      *error = "unknown option " + arg + " (see --help)";
      return false;
    }
  }
  return true;
}

}  // namespace tarvin::sim
