// The operator's commands to the sensor: chart transmission, threshold,
// settings re-read, saving switches, network address, opening an oscillogram.
// Each checks its conditions, answers refusals with boxes and queues commands.
#pragma once

#include <string>

#include "control/commands_view.h"
#include "engine/engine_sink.h"
#include "engine/link_engine.h"
#include "scope/number_text.h"
#include "scope/scope_model.h"

namespace tarvin {

// What became of a threshold entry. Refused: a sensor check or the repeat
// guard said no (warning shown). FocusDirectComponent: its text was wrong, put
// the focus back. BufferLengthInvalid: the hidden buffer length was wrong; it
// cannot take the focus, so only the message was shown and nothing was sent.
enum class ThresholdResult { Queued, Refused, FocusDirectComponent, BufferLengthInvalid };

class SensorCommands {
 public:
  // Boxes go to `boxes`; the chart's and the saving's state to `view`.
  SensorCommands(LinkEngine& engine, ScopeModel& scope, EngineSink& boxes, CommandsView& view);

  // What the window's controls ask (their handlers carry the controls' names).
  void StartOrStopChart();  // BitBtnEnable4pF
  // No checks: the callers have made them (a kept-running chart, the file opening).
  void StartChartTransmission();
  void StopChartTransmission();
  // EDirect_component's exit, with the hidden buffer length's text.
  ThresholdResult SetThreshold(const std::string& direct_text, const std::string& buffer_text);
  void ReadSettings();                                // BitBtn2
  void ToggleSaveOnAlarm();                           // BitBtnEnableSaveChartAlarm
  FieldResult SetSaveLevel(const std::string& text);  // EditValuePorogSaveOscill's exit
  // Refused only for a wrong address text (focus back to NetworkAdr); a write
  // stopped by a sensor check answers Accepted after its warning.
  FieldResult WriteNetworkAddress(const std::string& address_text);  // BitBtnWriteNetworkData
  void ReadNetworkAddress();                                         // BitBtnReadNetworkData
  // After a port failed to open: both buttons back to tag 0, SensorFlags 0.
  void ResetAfterFailedOpen();
  // The chart's fields' exits (EditX, EditYmin, EditYmax) and the manual save.
  FieldResult SetWindowLength(const std::string& text) { return scope_.SetWindowLength(text); }
  FieldResult SetAxisMin(const std::string& text) { return scope_.SetAxisMin(text); }
  FieldResult SetAxisMax(const std::string& text) { return scope_.SetAxisMax(text); }
  bool ManualSaveAllowed() { return scope_.ManualSaveAllowed(); }
  bool SaveManual(const std::string& name, const LocalTime& t) { return scope_.SaveManual(name, t); }
  // Opens an oscillogram for viewing: stops chart transmission, then draws it.
  // True when the file was drawn.
  bool OpenOscillogram(const std::string& path);

  // The oscillogram last opened for viewing; it outlives the drawing call, so
  // the view may keep a reference to it.
  Oscillogram Stored;

 private:
  bool CheckLinkUp();   // the link up, else the "no link" warning
  bool CheckStandby();  // SensorBusy 0, else the standby warning
  void Show(MessageCode code);
  // The operator's integer within `range`, else the box that says why: not a
  // number, or `out_of_range`.
  bool ReadTypedNumber(const std::string& text, NumberRange range, MessageCode out_of_range,
                       long long* value);

  LinkEngine& engine_;
  ScopeModel& scope_;
  EngineSink& boxes_;
  CommandsView& view_;
};

}  // namespace tarvin
