#include "osc/osc_info.h"

#include <charconv>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>

namespace tarvin::osc {
namespace {

// The threshold with a float's precision, the others as the integers they are.
std::string Number(Signal s, double v) {
  char text[40];
  const auto end = s == Signal::Threshold
                       ? std::to_chars(text, text + sizeof text, static_cast<float>(v)).ptr
                       : std::to_chars(text, text + sizeof text, static_cast<uint64_t>(v)).ptr;
  return std::string(text, end);
}

std::string Mean(double v) {
  char text[400];
  return std::string(text, std::to_chars(text, text + sizeof text, v, std::chars_format::fixed, 3).ptr);
}

std::string CrossingsText(const std::vector<Crossing>& crossings) {
  if (crossings.empty()) return "none";
  std::string out;
  for (const Crossing& c : crossings) {
    if (!out.empty()) out += ", ";
    out += std::to_string(c.sample) + (c.rising ? " up" : " down");
  }
  return out;
}

// A float as JSON's double that prints as the float does (0.1, not 0.100000001).
double AsFloat(double v) {
  const std::string text = Number(Signal::Threshold, v);
  double out = v;
  std::from_chars(text.data(), text.data() + text.size(), out);
  return out;
}

nlohmann::ordered_json CrossingsJson(const std::vector<Crossing>& crossings) {
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  for (const Crossing& c : crossings)
    list.push_back({{"sample", c.sample}, {"direction", c.rising ? "up" : "down"}});
  return list;
}

}  // namespace

void PrintInfoText(std::ostream& out, const std::string& path, const OscillogramStats& st, double level) {
  char line[160];
  out << path << "\n  samples: " << st.count << "\n";
  std::snprintf(line, sizeof line, "  %-10s %14s %14s %16s\n", "signal", "min", "max", "mean");
  out << line;
  for (Signal s : kSignals) {
    const SignalStats& v = st.Of(s);
    const bool none = st.count == 0;
    std::snprintf(line, sizeof line, "  %-10s %14s %14s %16s\n", SignalName(s),
                  none ? "-" : Number(s, v.min).c_str(), none ? "-" : Number(s, v.max).c_str(),
                  none ? "-" : Mean(v.mean).c_str());
    out << line;
  }
  const std::string at = Number(Signal::Threshold, level);
  out << "  threshold crosses " << at << " at: " << CrossingsText(st.threshold_crossings) << "\n";
  out << "  useful crosses " << at << " at: " << CrossingsText(st.useful_crossings) << "\n";
}

std::string InfoJsonText(const std::vector<InfoEntry>& entries, double level) {
  nlohmann::ordered_json files = nlohmann::ordered_json::array();
  for (const InfoEntry& entry : entries) {
    if (!entry.stats) {
      files.push_back({{"file", entry.path}, {"error", entry.error}});
      continue;
    }
    const OscillogramStats& st = *entry.stats;
    nlohmann::ordered_json signals = nlohmann::ordered_json::object();
    for (Signal s : kSignals) {
      const SignalStats& v = st.Of(s);
      if (st.count == 0) {
        signals[SignalName(s)] = {{"min", nullptr}, {"max", nullptr}, {"mean", nullptr}};
      } else if (s == Signal::Threshold) {
        signals[SignalName(s)] = {{"min", AsFloat(v.min)}, {"max", AsFloat(v.max)}, {"mean", v.mean}};
      } else {
        signals[SignalName(s)] = {{"min", uint64_t(v.min)}, {"max", uint64_t(v.max)}, {"mean", v.mean}};
      }
    }
    files.push_back({{"file", entry.path},
                     {"count", st.count},
                     {"signals", signals},
                     {"crossings",
                      {{"threshold", CrossingsJson(st.threshold_crossings)},
                       {"useful", CrossingsJson(st.useful_crossings)}}}});
  }
  return nlohmann::ordered_json{{"level", level}, {"files", files}}.dump(2) + "\n";
}

}  // namespace tarvin::osc
