// `tarvin9-osc info`: for each file its count, the minimum, maximum and mean
// of every signal, and where the threshold and the useful signal cross a
// level; as text or as JSON.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "scope/oscillogram_stats.h"

namespace tarvin::osc {

void PrintInfoText(std::ostream& out, const std::string& path, const OscillogramStats& stats, double level);

// One file of the call: its numbers, or the message that says why there are none.
struct InfoEntry {
  std::string path;
  std::optional<OscillogramStats> stats;
  std::string error;
};

// One JSON document for the whole call, the files in the order given.
std::string InfoJsonText(const std::vector<InfoEntry>& entries, double level);

}  // namespace tarvin::osc
