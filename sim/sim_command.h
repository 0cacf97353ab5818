// The simulator's run-time commands: one text line each, read from standard
// input, and the same commands given as options at start. Parsing is kept apart
// from acting so that a typo never disturbs the running sensor.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tarvin::sim {

enum class CommandKind {
  Version,        // version WORD: firmware version word (low byte major, high byte minor)
  Busy,           // busy SECONDS: the version reply reports the sensor busy
  Silence,        // silence SECONDS: no replies and no stream
  Drop,           // drop PERCENT: share of replies not sent
  Delay,          // delay MS: every reply held back this long
  Corrupt,        // corrupt PERCENT: share of frames sent with a wrong LRC
  Garbage,        // garbage SECONDS: digits without CR LF instead of anything else
  Hangup,         // hangup: close the pseudo-terminal
  Return,         // return: a new pseudo-terminal at the same link path
  Unsolicited,    // unsolicited: a status reply nobody asked for
  Intrusion,      // intrusion [SECONDS]: useful signal over the threshold, alarm bits on
  ThresholdRise,  // threshold-rise LEVEL SECONDS: threshold pushed above LEVEL
  Balance,        // balance BITS: the flank-balance bits 0x30 of the status word
  Rate,           // rate N: chart samples per second, 0 = as fast as the line allows
  Stats,          // stats: one line of counters on standard output
  Quit,           // quit
};

struct Command {
  CommandKind kind = CommandKind::Quit;
  double a = 0.0;  // first argument (or its default)
  double b = 0.0;  // second argument
};

struct CommandForm {
  const char* name;
  CommandKind kind;
  int min_args;
  int max_args;
  const char* usage;  // argument names for the help text
  const char* help;
};

// The table of commands, in the order the help lists them.
const CommandForm* CommandTable(std::size_t* count);
const CommandForm* FindCommand(const std::string& name);

// Parses one line ("silence 5"). Blank lines and lines starting with '#' give
// false with an empty error; anything wrong gives false and says why.
bool ParseCommand(const std::string& line, Command* out, std::string* error);

// A number in decimal, or in hexadecimal with 0x.
bool ParseNumber(const std::string& text, double* out);

}  // namespace tarvin::sim
