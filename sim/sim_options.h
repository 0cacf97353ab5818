// The simulator's command line.
#pragma once

#include <string>

#include "sim/simulator.h"

namespace tarvin::sim {

struct CommandLine {
  SimOptions sim;
  std::string log_path;        // empty or "-": standard error
  std::string replay_path;     // a line recording to play back instead of simulating
  std::size_t replay_run = 0;  // which run of it (from 1); 0: all, one after the other
  double log_max_mb = 4;       // a log file's limit before it is rotated; 0: none
  bool quiet = false;
  bool help = false;
};

// False with a reason when the command line is wrong.
bool ParseCommandLine(int argc, char** argv, CommandLine* out, std::string* error);
std::string HelpText();

}  // namespace tarvin::sim
