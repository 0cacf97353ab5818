#include "scope/oscillogram_stats.h"

#include <algorithm>

namespace tarvin {

std::vector<Crossing> LevelCrossings(const Oscillogram& o, Signal signal, double level) {
  std::vector<Crossing> out;
  if (o.count == 0) return out;
  bool above = SignalValue(o, signal, 0) > level;
  for (std::size_t i = 1; i < o.count; ++i) {
    const bool now = SignalValue(o, signal, i) > level;
    if (now != above) out.push_back(Crossing{static_cast<uint32_t>(i), now});
    above = now;
  }
  return out;
}

OscillogramStats ComputeStats(const Oscillogram& o, double level) {
  OscillogramStats stats;
  stats.count = o.count;
  if (o.count > 0) {
    for (Signal s : kSignals) {
      SignalStats& st = stats.signals[static_cast<int>(s)];
      st.min = st.max = SignalValue(o, s, 0);
      double sum = 0.0;
      for (std::size_t i = 0; i < o.count; ++i) {
        const double v = SignalValue(o, s, i);
        st.min = std::min(st.min, v);
        st.max = std::max(st.max, v);
        sum += v;
      }
      st.mean = sum / o.count;
    }
  }
  stats.threshold_crossings = LevelCrossings(o, Signal::Threshold, level);
  stats.useful_crossings = LevelCrossings(o, Signal::Useful, level);
  return stats;
}

}  // namespace tarvin
