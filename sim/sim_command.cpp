#include "sim/sim_command.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "link/sensor_protocol.h"

namespace tarvin::sim {

namespace {

using protocol::status::kBalanced;
using protocol::status::kBalanceMask;
using protocol::status::kFirstFlankLow;
using protocol::status::kSecondFlankLow;

const CommandForm kCommands[] = {
    {"version", CommandKind::Version, 1, 1, "WORD",
     "firmware version word the version reply carries (0x0002 is 2.0; 0x0102 is 2.1)"},
    {"busy", CommandKind::Busy, 1, 1, "SECONDS", "report the sensor busy (word 14 = 1) for SECONDS"},
    {"silence", CommandKind::Silence, 1, 1, "SECONDS", "send nothing at all, replies or stream, for SECONDS"},
    {"drop", CommandKind::Drop, 1, 1, "PERCENT", "leave this share of commands unanswered (0 ends it)"},
    {"delay", CommandKind::Delay, 1, 1, "MS", "hold every reply back MS milliseconds (0 ends it)"},
    {"corrupt", CommandKind::Corrupt, 1, 1, "PERCENT",
     "send this share of frames, replies and stream, with a wrong LRC (0 ends it)"},
    {"garbage", CommandKind::Garbage, 1, 1, "SECONDS",
     "send hex digits without CR LF for SECONDS instead of replies and stream"},
    {"hangup", CommandKind::Hangup, 0, 0, "",
     "close the pseudo-terminal: the program's writes fail with EIO"},
    {"return", CommandKind::Return, 0, 0, "", "after a hangup: a new pseudo-terminal at the same link path"},
    {"unsolicited", CommandKind::Unsolicited, 0, 0, "", "send a status reply nobody asked for"},
    {"intrusion", CommandKind::Intrusion, 0, 1, "[SECONDS]",
     "an intrusion now: useful signal over the threshold, alarm bits set (default 3 s)"},
    {"threshold-rise", CommandKind::ThresholdRise, 2, 2, "LEVEL SECONDS",
     "push the threshold above LEVEL for SECONDS"},
    {"balance", CommandKind::Balance, 1, 1, "BITS",
     "flank-balance bits of the status word: 0x00, 0x10, 0x20 or 0x30"},
    {"rate", CommandKind::Rate, 1, 1, "N", "chart samples per second; 0 = as fast as the line allows"},
    {"stats", CommandKind::Stats, 0, 0, "", "print one line of counters on standard output"},
    {"quit", CommandKind::Quit, 0, 0, "", "end the simulator"},
};

bool CheckRange(const CommandForm& form, const Command& c, std::string* error) {
  auto fail = [&](const char* why) {
    *error = std::string(form.name) + ": " + why;
    return false;
  };
  switch (c.kind) {
    case CommandKind::Version:
      if (c.a < 0 || c.a > 0xFFFF || c.a != std::floor(c.a)) return fail("a 16-bit word");
      break;
    case CommandKind::Balance:
      // Both bits at once is what a sensor may send too: the program must keep its label.
      if (c.a != kBalanced && c.a != kFirstFlankLow && c.a != kSecondFlankLow && c.a != kBalanceMask)
        return fail("0x00, 0x10, 0x20 or 0x30");
      break;
    case CommandKind::Drop:
    case CommandKind::Corrupt:
      if (c.a < 0 || c.a > 100) return fail("a share from 0 to 100");
      break;
    case CommandKind::ThresholdRise:
      if (c.b < 0) return fail("seconds must not be negative");
      break;
    case CommandKind::Busy:
    case CommandKind::Silence:
    case CommandKind::Delay:
    case CommandKind::Garbage:
    case CommandKind::Intrusion:
    case CommandKind::Rate:
      if (c.a < 0) return fail("must not be negative");
      break;
    default:
      break;
  }
  return true;
}

}  // namespace

const CommandForm* CommandTable(std::size_t* count) {
  *count = sizeof kCommands / sizeof kCommands[0];
  return kCommands;
}

const CommandForm* FindCommand(const std::string& name) {
  for (const CommandForm& form : kCommands)
    if (name == form.name) return &form;
  return nullptr;
}

bool ParseNumber(const std::string& text, double* out) {
  if (text.empty()) return false;
  const char* s = text.c_str();
  char* end = nullptr;
  errno = 0;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    const unsigned long v = std::strtoul(s + 2, &end, 16);
    if (end == s + 2) return false;
    *out = static_cast<double>(v);
  } else {
    *out = std::strtod(s, &end);
  }
  return errno == 0 && *end == '\0' && std::isfinite(*out);
}

bool ParseCommand(const std::string& line, Command* out, std::string* error) {
  error->clear();
  std::istringstream in(line);
  std::string name;
  if (!(in >> name) || name[0] == '#') return false;
  const CommandForm* form = FindCommand(name);
  if (form == nullptr) {
    *error = "unknown command \"" + name + "\" (see --help)";
    return false;
  }
  double args[2] = {0.0, 0.0};
  int count = 0;
  for (std::string word; in >> word;) {
    if (count == form->max_args) {
      *error = name + ": too many arguments";
      return false;
    }
    if (!ParseNumber(word, &args[count])) {
      *error = name + ": \"" + word + "\" is not a number";
      return false;
    }
    ++count;
  }
  if (count < form->min_args) {
    *error = name + ": expects " + form->usage;
    return false;
  }
  Command c;
  c.kind = form->kind;
  c.a = args[0];
  c.b = args[1];
  if (c.kind == CommandKind::Intrusion && count == 0) c.a = 3.0;
  if (!CheckRange(*form, c, error)) return false;
  *out = c;
  return true;
}

}  // namespace tarvin::sim
