// The data half of the oscilloscope: the sample history, the view's window and
// axis limits, and the automatic save on alarm or threshold rise.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "base/number_range.h"
#include "engine/engine_sink.h"
#include "engine/scope_sample.h"
#include "scope/oscillogram_file.h"
#include "scope/scope_view.h"

namespace tarvin {

constexpr uint16_t kHistorySize = 5000;

// What the window's fields, the recorder's options and its settings file
// accept and start from: the samples an oscillogram spans, and the threshold
// level above which one is saved.
constexpr uint16_t kWindowMin = 10;
constexpr uint16_t kWindowMax = kHistorySize;
constexpr uint16_t kWindowDefault = 1000;
constexpr double kSaveLevelMin = 4;
constexpr double kSaveLevelMax = 4095;
constexpr float kSaveLevelDefault = 40.0f;
// The chart's vertical axis, its lower and its upper end.
constexpr NumberRange kAxisMinRange{0, 4095};
constexpr NumberRange kAxisMaxRange{0, 65535};
constexpr uint16_t kPointCountWrap = 65535;

// Five arrays, oldest entry first. Allocated once for the program's lifetime.
struct ScopeHistoryArrays {
  float threshold[kHistorySize];
  uint32_t useful[kHistorySize];
  uint32_t ekNoise[kHistorySize];
  uint32_t ekClimate[kHistorySize];
  uint32_t input[kHistorySize];
};

// What a field's exit handler tells the window.
enum class FieldResult { Accepted, Refused /* message shown, put the focus back */ };

using LocalTimeFn = LocalTime (*)();

// What an automatic save was for: an alarm that began while it was armed,
// else the threshold rising above the level. An alarm inside a threshold rise
// names the save, so every alarm's oscillogram can be found by its trigger.
enum class SaveTrigger { Alarm, Level };

// What became of an automatic save, for journals. The window's boxes say the
// same to the operator; this is for programs that keep a record.
struct AutoSaveReport {
  bool ok = false;
  std::string path;
  SaveTrigger trigger = SaveTrigger::Level;
  bool level_exceeded = false;  // the threshold was above the level while it was armed
  bool at_stop = false;         // written early, by a stop, with the samples there were
  uint16_t samples = 0;
  std::string reason;  // the system's words, when !ok
};

class SaveListener {
 public:
  virtual ~SaveListener() = default;
  // Called inside the tick that saved; it must not block or open boxes.
  virtual void AutoSaved(const AutoSaveReport& report) = 0;
  // Called inside the tick in which an alarm armed the save that is not yet
  // armed by one: that alarm is the one the save is for.
  virtual void SaveArmedByAlarm() {}
};

class ScopeModel : public ScopeInput {
 public:
  // Boxes go to `boxes`, the chart to `view`.
  ScopeModel(EngineSink& boxes, ScopeView& view);

  void AppendScopeSample(const ScopeSample& sample) override;
  void ArmSaveOnAlarm() override;

  // Arms on a threshold above SaveLevel, counts while armed and saves half a
  // window later. Runs inside the engine's tick: a failed save only requests
  // its box, which the window shows after the tick.
  void AutoSaveStep(float threshold);
  // Writes the window under the automatic name; a name already taken in the
  // same minute gets " (2)", " (3)" ... so no earlier oscillogram is lost.
  // Only samples received since the history was cleared or the window
  // changed: fewer than the window makes a shorter file, never one padded.
  void SaveOscillogramAuto();
  // At a clean stop, or before the history is cleared to start the chart
  // afresh: an armed save that is not yet due is written now with the samples
  // there are (from where the full window would have begun), and reported as
  // such, or reported unsaved with the reason. False when none was armed.
  bool SavePendingAtStop();

  // PointCount 0 and the five series cleared.
  void ResetView();
  // All 5000 entries of the five arrays set to 0.
  void ZeroHistory();
  // Start-up defaults: window 1000, axis 0..100, series cleared, history zeroed.
  void SetDefaults();

  // Shows a stored oscillogram instead of the live series; nothing else changes.
  void ShowStored(const Oscillogram& stored) { view_.ScopeShowStored(stored); }

  // The exits of EditX, EditYmin and EditYmax.
  FieldResult SetWindowLength(const std::string& text);
  FieldResult SetAxisMin(const std::string& text);
  FieldResult SetAxisMax(const std::string& text);

  // The manual save under `name` at the moment `t`, replacing a file of the
  // same name. False when the file could not be written (box requested).
  bool SaveManual(const std::string& name, const LocalTime& t);
  // The point-count check of the manual save, made before the name is asked.
  bool ManualSaveAllowed();

  void SetLocalTime(LocalTimeFn fn) { local_time_ = fn; }
  void SetSaveListener(SaveListener* listener) { save_listener_ = listener; }

  // --- settings, made before the chart runs (a program's options) -----------
  void SetScopeFolder(std::string folder) { scope_folder_ = std::move(folder); }
  void SetSaveLevel(float level) { save_level_ = level; }
  // The window's length as given; no view reset, no history cut (before any sample).
  void ChooseWindowLength(uint16_t length) { window_length_ = length; }

  // --- state, read by the documentation's names ---------------------------
  const ScopeHistoryArrays& ScopeHistory() const { return *history_; }
  uint16_t WindowLength() const { return window_length_; }
  uint16_t PointCount() const { return point_count_; }
  int32_t YMin() const { return y_min_; }
  int32_t YMax() const { return y_max_; }
  uint8_t SaveOnAlarm() const { return save_on_alarm_; }
  uint8_t LevelExceeded() const { return level_exceeded_; }
  uint16_t PostTriggerCount() const { return post_trigger_count_; }
  float SaveLevel() const { return save_level_; }  // what EditValuePorogSaveOscill shows at start
  // WorkDir + separator + "Chart4pF" + separator.
  const std::string& ScopeFolder() const { return scope_folder_; }
  const std::string& LastSaveName() const { return last_save_name_; }
  const std::string& LastAutoSavePath() const {
    return last_auto_save_path_;
  }  // the last automatic save's file

 private:
  // WindowLength kept within the arrays, whatever was stored in it.
  uint16_t Window() const;
  // Writes entries 0..count-1 to `path`; a failure is answered with a plain box.
  bool Write(const std::string& path, const ScopeHistoryArrays& history, uint16_t count,
             std::string* reason = nullptr);
  // The typed integer when it is one within `range`; else the box: not an
  // integer, or `out_of_range`.
  bool ReadTypedNumber(const std::string& text, NumberRange range, MessageCode out_of_range,
                       long long* value);
  void Show(MessageCode code, const std::string& path = std::string());

  friend class ScopeModelProbe;  // tests set the view's state up directly

  EngineSink& boxes_;
  ScopeView& view_;
  LocalTimeFn local_time_;
  SaveListener* save_listener_ = nullptr;
  // Reports a save of the newest `count` entries of the window.
  void SaveAuto(uint16_t count, bool at_stop);
  void Disarm();

  std::unique_ptr<ScopeHistoryArrays> history_;
  uint16_t window_length_ = kWindowDefault;
  uint16_t point_count_ = 0;
  int32_t y_min_ = 0;
  int32_t y_max_ = 100;
  uint8_t save_on_alarm_ = 0;
  uint8_t level_exceeded_ = 0;
  uint16_t post_trigger_count_ = 0;
  float save_level_ = kSaveLevelDefault;
  std::string scope_folder_;
  std::string last_save_name_;
  std::string last_auto_save_path_;
  uint16_t filled_ = 0;  // newest entries of the window that hold samples, in order
};

}  // namespace tarvin
