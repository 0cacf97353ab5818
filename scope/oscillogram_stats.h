// What a stored oscillogram holds in numbers: the minimum, maximum and mean of
// each signal, and where a signal crosses a level. Shared by the window and
// the command-line tool.
#pragma once

#include <cstdint>
#include <vector>

#include "scope/oscillogram_file.h"

namespace tarvin {

struct SignalStats {
  double min = 0.0, max = 0.0, mean = 0.0;  // all 0 for an empty file
};

// The first sample on the other side of the level: rising when the sample
// before was at or below it and this one is above it (the automatic save's
// "above"), falling the other way round.
struct Crossing {
  uint32_t sample = 0;
  bool rising = false;
};

struct OscillogramStats {
  uint16_t count = 0;
  SignalStats signals[5];  // in the order of kSignals
  std::vector<Crossing> threshold_crossings, useful_crossings;

  const SignalStats& Of(Signal s) const { return signals[static_cast<int>(s)]; }
};

std::vector<Crossing> LevelCrossings(const Oscillogram& o, Signal signal, double level);
OscillogramStats ComputeStats(const Oscillogram& o, double level);

}  // namespace tarvin
