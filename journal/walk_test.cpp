#include "journal/walk_test.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <string_view>
#include <vector>

#include "base/file_io.h"
#include "journal/journal.h"

namespace tarvin {

const char* WalkTestRefusalText(WalkTestRefusal refusal) {
  switch (refusal) {
    case WalkTestRefusal::kNone:
      return "";
    case WalkTestRefusal::kRunning:
      return "a walk test is running already";
    case WalkTestRefusal::kNotRunning:
      return "no walk test is running";
    case WalkTestRefusal::kNoLink:
      return "no link with the sensor";
    case WalkTestRefusal::kNoteTooLong:
      return "the note is longer than 200 characters";
    case WalkTestRefusal::kNoteControl:
      return "the note holds control characters";
    case WalkTestRefusal::kNoteNotText:
      return "the note is not UTF-8 text";
    case WalkTestRefusal::kPassesRange:
      return "the passes are not a whole number from 0 to 999";
    case WalkTestRefusal::kLimitRange:
      return "the limit is not a whole number of minutes from 1 to 1440";
    case WalkTestRefusal::kNoJournal:
      return "no journal is kept";
  }
  return "";
}

WalkTestRefusal CheckWalkTestNote(const std::string& note) {
  // The journal's JSON library refuses to write what is not UTF-8: checked
  // here, with its own rules, rather than thrown from inside a write.
  try {
    (void)nlohmann::json(note).dump();
  } catch (const nlohmann::json::type_error&) {
    return WalkTestRefusal::kNoteNotText;
  }
  std::size_t chars = 0;
  for (std::size_t i = 0; i < note.size(); ++i) {
    const auto byte = static_cast<unsigned char>(note[i]);
    if (byte < 0x20 || byte == 0x7F) return WalkTestRefusal::kNoteControl;
    // U+0080..U+009F, the C1 controls, are 0xC2 0x80..0x9F.
    if (byte == 0xC2 && i + 1 < note.size() && static_cast<unsigned char>(note[i + 1]) < 0xA0)
      return WalkTestRefusal::kNoteControl;
    if ((byte & 0xC0) != 0x80) ++chars;  // a lead byte: one character
  }
  return chars > kWalkTestMaxNoteChars ? WalkTestRefusal::kNoteTooLong : WalkTestRefusal::kNone;
}

WalkTestTally TallyWalkTest(int passes, int detections) {
  WalkTestTally tally;
  tally.detected = std::min(passes, detections);
  tally.missed = passes - tally.detected;
  tally.extra = detections - tally.detected;
  return tally;
}

namespace {

// The walk test number of one journal line, when it is a test's begin or end.
int WalkTestNumberOf(std::string_view line) {
  if (line.find("\"walk_test_") == std::string_view::npos) return 0;  // most lines: not parsed
  const nlohmann::ordered_json json = nlohmann::ordered_json::parse(line.begin(), line.end(), nullptr, false);
  const JournalEvent e(json);
  if (e.Kind() != Event::WalkTestBegin && e.Kind() != Event::WalkTestEnd) return 0;
  const std::optional<uint64_t> number = e.Count("walk_test");
  return number && *number <= static_cast<uint64_t>(INT_MAX) ? static_cast<int>(*number) : 0;
}

}  // namespace

int HighestWalkTestNumber(const std::string& path, uint64_t end) {
  std::FILE* file = end > 0 ? OpenFileUtf8(path, "rb") : nullptr;
  if (file == nullptr) return 0;
  int highest = 0;
  std::string text;
  std::vector<char> chunk(1 << 20);
  for (uint64_t left = end; left > 0;) {
    const std::size_t got =
        std::fread(chunk.data(), 1, static_cast<std::size_t>(std::min<uint64_t>(left, chunk.size())), file);
    if (got == 0) break;
    left -= got;
    text.append(chunk.data(), got);
    std::size_t from = 0;
    for (std::size_t eol; (eol = text.find('\n', from)) != std::string::npos; from = eol + 1)
      highest = std::max(highest, WalkTestNumberOf(std::string_view(text).substr(from, eol - from)));
    text.erase(0, from);  // a line not whole yet waits for the next chunk
  }
  std::fclose(file);
  return highest;
}

void QuietFigures::Add(const ScopeSample& s) {
  const double useful = static_cast<double>(s.useful);
  const double margin = static_cast<double>(s.threshold) - useful;
  const bool first = samples_ == 0;
  ++samples_;
  if (first || margin < margin_min_) margin_min_ = margin;
  if (first || useful > useful_max_) useful_max_ = useful;
  const double delta = useful - mean_;
  mean_ += delta / static_cast<double>(samples_);
  m2_ += delta * (useful - mean_);
}

void QuietFigures::Merge(const QuietFigures& o) {
  if (o.samples_ == 0) return;
  if (samples_ == 0) {
    *this = o;
    return;
  }
  const double n = static_cast<double>(samples_), m = static_cast<double>(o.samples_);
  const double delta = o.mean_ - mean_;
  mean_ += delta * m / (n + m);
  m2_ += o.m2_ + delta * delta * n * m / (n + m);
  samples_ += o.samples_;
  margin_min_ = std::min(margin_min_, o.margin_min_);
  useful_max_ = std::max(useful_max_, o.useful_max_);
}

double QuietFigures::UsefulDeviation() const {
  return samples_ > 0 ? std::sqrt(m2_ / static_cast<double>(samples_)) : 0.0;
}

nlohmann::ordered_json QuietFigures::Json() const {
  if (samples_ == 0)
    return {{"samples", 0},
            {"margin_min", nullptr},
            {"useful_max", nullptr},
            {"useful_mean", nullptr},
            {"useful_sd", nullptr}};
  return {{"samples", samples_},
          {"margin_min", JournalFigure(margin_min_)},
          {"useful_max", JournalFigure(useful_max_)},
          {"useful_mean", JournalFigure(mean_)},
          {"useful_sd", JournalFigure(UsefulDeviation())}};
}

void DetectionPeak::Add(const ScopeSample& s) {
  const double useful = static_cast<double>(s.useful);
  if (!seen_ || useful > peak_) {
    peak_ = useful;
    threshold_ = static_cast<double>(s.threshold);
  }
  seen_ = true;
  ++tick_samples_;
  if (useful >= static_cast<double>(s.threshold)) ++tick_over_;
}

void DetectionPeak::EndTick(double tick_seconds) {
  if (tick_samples_ > 0 && tick_over_ > 0)
    over_seconds_ += tick_seconds * static_cast<double>(tick_over_) / static_cast<double>(tick_samples_);
  tick_samples_ = tick_over_ = 0;
}

void DetectionPeak::AddTo(nlohmann::ordered_json& event) const {
  if (!seen_) {
    for (const char* key : {"peak", "threshold", "margin", "over_threshold_s"}) event[key] = nullptr;
    return;
  }
  event["peak"] = JournalFigure(peak_);
  event["threshold"] = JournalFigure(threshold_);
  event["margin"] = JournalFigure(peak_ - threshold_);
  event["over_threshold_s"] = std::round(over_seconds_ * 100.0) / 100.0;
}

}  // namespace tarvin
