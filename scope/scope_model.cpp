#include "scope/scope_model.h"

#include <algorithm>
#include <cstring>

#include "scope/number_text.h"

namespace tarvin {
namespace {

// Entry i takes entry i+1; the newest value goes last.
template <typename T>
void ShiftIn(T* array, uint16_t window, T value) {
  std::memmove(array, array + 1, sizeof(T) * (window - 1u));
  array[window - 1u] = value;
}

}  // namespace

ScopeModel::ScopeModel(EngineSink& boxes, ScopeView& view)
    : boxes_(boxes),
      view_(view),
      local_time_(LocalTimeNow),
      history_(std::make_unique<ScopeHistoryArrays>()) {}

uint16_t ScopeModel::Window() const { return std::clamp<uint16_t>(window_length_, 1, kHistorySize); }

void ScopeModel::AppendScopeSample(const ScopeSample& sample) {
  view_.ScopeGrid(sample.threshold, sample.useful, sample.input);

  ScopeHistoryArrays& h = *history_;
  const uint16_t window = Window();
  ShiftIn(h.useful, window, sample.useful);
  ShiftIn(h.ekNoise, window, sample.ekNoise);
  ShiftIn(h.ekClimate, window, sample.ekClimate);
  ShiftIn(h.input, window, sample.input);
  ShiftIn(h.threshold, window, sample.threshold);
  if (filled_ < kHistorySize) ++filled_;

  AutoSaveStep(sample.threshold);

  view_.ScopeAddPoints(point_count_, sample);
  ++point_count_;
  if (point_count_ >= kPointCountWrap) {
    point_count_ = 0;
    view_.ScopeClear();
  }
  if (point_count_ > window_length_) view_.ScopeDropOldest();
}

void ScopeModel::ArmSaveOnAlarm() {
  // Armed again while armed, the count goes on: the first alarm names the save.
  if (save_on_alarm_ == 1) return;
  save_on_alarm_ = 1;
  if (save_listener_ != nullptr) save_listener_->SaveArmedByAlarm();
}

void ScopeModel::AutoSaveStep(float threshold) {
  if (threshold > save_level_) level_exceeded_ = 1;
  if (save_on_alarm_ != 1 && level_exceeded_ != 1) return;
  ++post_trigger_count_;
  if (post_trigger_count_ > window_length_ / 2) SaveOscillogramAuto();
}

void ScopeModel::Disarm() {
  // Cleared before writing: a failed save is not retried.
  post_trigger_count_ = 0;
  save_on_alarm_ = 0;
  level_exceeded_ = 0;
}

void ScopeModel::SaveOscillogramAuto() { SaveAuto(std::min(Window(), filled_), false); }

bool ScopeModel::SavePendingAtStop() {
  if (save_on_alarm_ != 1 && level_exceeded_ != 1) return false;
  // The window that would have been written, cut off at the newest sample.
  const int missing = Window() / 2 + 1 - post_trigger_count_;
  const int count = std::min<int>(Window() - std::max(missing, 0), std::min(filled_, Window()));
  SaveAuto(static_cast<uint16_t>(std::max(count, 0)), true);
  return true;
}

void ScopeModel::SaveAuto(uint16_t count, bool at_stop) {
  AutoSaveReport report;
  report.trigger = save_on_alarm_ == 1 ? SaveTrigger::Alarm : SaveTrigger::Level;
  report.level_exceeded = level_exceeded_ == 1;
  report.at_stop = at_stop;
  report.samples = count;
  Disarm();
  // Saves of one minute share a name; each keeps its own file.
  report.path = UniquePath(AutoFileName(scope_folder_, local_time_()));
  if (count == 0) {
    report.reason = "no samples yet";
  } else if (count == Window()) {
    report.ok = Write(report.path, *history_, count, &report.reason);
  } else {
    // The newest entries, oldest first, as a file of their count.
    auto newest = std::make_unique<ScopeHistoryArrays>();
    const ScopeHistoryArrays& h = *history_;
    const uint16_t from = Window() - count;
    std::copy_n(h.threshold + from, count, newest->threshold);
    std::copy_n(h.useful + from, count, newest->useful);
    std::copy_n(h.ekNoise + from, count, newest->ekNoise);
    std::copy_n(h.ekClimate + from, count, newest->ekClimate);
    std::copy_n(h.input + from, count, newest->input);
    report.ok = Write(report.path, *newest, count, &report.reason);
  }
  if (report.ok) last_auto_save_path_ = report.path;
  if (save_listener_ != nullptr) save_listener_->AutoSaved(report);
}

bool ScopeModel::Write(const std::string& path, const ScopeHistoryArrays& history, uint16_t count,
                       std::string* reason) {
  switch (WriteOscillogram(path, history, count, reason)) {
    case FileStatus::Ok:
      return true;
    case FileStatus::CannotOpen:
      Show(MessageCode::SaveCannotOpen);
      return false;
    default:
      Show(MessageCode::CannotWriteFile, path);
      return false;
  }
}

void ScopeModel::ResetView() {
  point_count_ = 0;
  view_.ScopeClear();
}

void ScopeModel::ZeroHistory() {
  std::memset(history_.get(), 0, sizeof(ScopeHistoryArrays));
  filled_ = 0;
}

void ScopeModel::SetDefaults() {
  window_length_ = kWindowDefault;
  y_min_ = 0;
  y_max_ = 100;
  view_.ScopeAxis(y_min_, y_max_);
  ResetView();
  ZeroHistory();
}

bool ScopeModel::ReadTypedNumber(const std::string& text, NumberRange range, MessageCode out_of_range,
                                 long long* value) {
  const std::optional<MessageCode> refusal =
      TypedIntegerRefusal(text, range, MessageCode::ChartNotAnInteger, out_of_range, value);
  if (refusal) Show(*refusal);
  return !refusal;
}

FieldResult ScopeModel::SetWindowLength(const std::string& text) {
  long long value = 0;
  if (!ReadTypedNumber(text, NumberRange{kWindowMin, kWindowMax}, MessageCode::WindowOutOfRange, &value))
    return FieldResult::Refused;
  // The entries a longer window takes in were never part of it, and a shorter
  // one keeps samples from before a gap: only what comes next is in order.
  if (value != Window()) filled_ = 0;
  window_length_ = static_cast<uint16_t>(value);
  ResetView();
  return FieldResult::Accepted;
}

FieldResult ScopeModel::SetAxisMin(const std::string& text) {
  long long value = 0;
  if (!ReadTypedNumber(text, kAxisMinRange, MessageCode::AxisMinOutOfRange, &value))
    return FieldResult::Refused;
  y_min_ = static_cast<int32_t>(value);
  view_.ScopeAxis(y_min_, y_max_);
  ResetView();
  return FieldResult::Accepted;
}

FieldResult ScopeModel::SetAxisMax(const std::string& text) {
  long long value = 0;
  if (!ReadTypedNumber(text, kAxisMaxRange, MessageCode::AxisMaxOutOfRange, &value))
    return FieldResult::Refused;
  y_max_ = static_cast<int32_t>(value);
  view_.ScopeAxis(y_min_, y_max_);
  ResetView();
  return FieldResult::Accepted;
}

bool ScopeModel::ManualSaveAllowed() {
  if (point_count_ >= window_length_) return true;
  Show(MessageCode::TooFewPoints);
  return false;
}

bool ScopeModel::SaveManual(const std::string& name, const LocalTime& t) {
  last_save_name_ = name;
  // The same name in the same minute replaces the operator's earlier file.
  return Write(ManualFileName(scope_folder_, t, name), *history_, Window());
}

void ScopeModel::Show(MessageCode code, const std::string& path) { boxes_.ShowBox(Message{code, path, {}}); }

}  // namespace tarvin
