// What commissioning proves, measured while the link runs: the walk tests an
// engineer makes (each alarm inside one is a detection, with how far its peak
// rose over the threshold), and the quiet figures (how far below the
// threshold the useful signal stays when nothing happens). Fed one chart
// sample at a time inside the tick, so per sample it only compares and adds.
#pragma once

#include <chrono>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "engine/scope_sample.h"

namespace tarvin {

inline constexpr int kWalkTestMaxPasses = 999;
inline constexpr std::size_t kWalkTestMaxNoteChars = 200;
inline constexpr int kWalkTestDefaultLimitMin = 30;
inline constexpr int kWalkTestMaxLimitMin = 24 * 60;
// After an alarm or a test ends the signal settles: not yet quiet.
inline constexpr std::chrono::seconds kQuietAfter{10};

// Why a walk test command changed nothing.
enum class WalkTestRefusal {
  kNone,
  kRunning,     // a second start while one runs
  kNotRunning,  // an end with none running
  kNoLink,      // nothing could be detected
  kNoteTooLong,
  kNoteControl,  // control characters in the note
  kNoteNotText,  // not UTF-8
  kPassesRange,  // not 0..999
  kLimitRange,   // not 1..1440 minutes
  kNoJournal,    // tests are made of journal events: none without a journal
};

// In the journal's language (English, as its other reasons).
const char* WalkTestRefusalText(WalkTestRefusal refusal);

// kNone for a note a test may carry.
WalkTestRefusal CheckWalkTestNote(const std::string& note);

// The useful signal's figures over a set of samples: the smallest margin to
// the threshold, the largest value and the standard deviation (Welford's
// running sums, so two sets merge exactly).
class QuietFigures {
 public:
  void Add(const ScopeSample& sample);
  void Merge(const QuietFigures& other);
  void Reset() { *this = QuietFigures(); }
  uint64_t Samples() const { return samples_; }
  double MarginMin() const { return margin_min_; }
  double UsefulMax() const { return useful_max_; }
  double UsefulDeviation() const;
  // {"samples", "margin_min", "useful_max", "useful_mean", "useful_sd"}; null
  // figures for none. The mean lets a report pool many periods exactly.
  nlohmann::ordered_json Json() const;

 private:
  uint64_t samples_ = 0;
  double margin_min_ = 0, useful_max_ = 0, mean_ = 0, m2_ = 0;
};

// The peak of one excursion of the useful signal: its largest value, the
// threshold of that sample, and the time spent at or over the threshold,
// apportioned tick by tick (the samples of a tick arrived over its period).
class DetectionPeak {
 public:
  void Add(const ScopeSample& sample);
  void EndTick(double tick_seconds);
  void Reset() { *this = DetectionPeak(); }
  bool Seen() const { return seen_; }
  // {"peak", "threshold", "margin", "over_threshold_s"}, null before a sample.
  void AddTo(nlohmann::ordered_json& event) const;

 private:
  bool seen_ = false;
  double peak_ = 0, threshold_ = 0, over_seconds_ = 0;
  uint32_t tick_samples_ = 0, tick_over_ = 0;
};

// How a walk test's passes add up. One pass can raise two alarms (a walker
// slowing by the fence, the flanks one after the other), so the alarms are
// not the passes detected: those are at most the passes made, and
// passes = detected + missed whatever the alarms were.
struct WalkTestTally {
  int detected = 0;  // passes that raised an alarm
  int missed = 0;    // passes that raised none
  int extra = 0;     // alarms beyond the passes: some pass raised more than one
};
WalkTestTally TallyWalkTest(int passes, int detections);

// The highest walk test number the journal at `path` holds before byte
// `end` (0 for none), so a new run numbers its tests on from there rather
// than giving a control room a second "№ 1". Reads the whole of it, but
// parses only the lines that name a walk test's begin or end.
int HighestWalkTestNumber(const std::string& path, uint64_t end);

// One walk test as it runs.
struct WalkTestRun {
  int number = 0;
  std::string note;
  int limit_min = kWalkTestDefaultLimitMin;
  std::chrono::steady_clock::time_point begin;
  int detections = 0;
};

}  // namespace tarvin
