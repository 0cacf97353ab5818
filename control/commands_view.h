// What the operator's commands and the port's supervision show besides boxes:
// the link's picture, whether the chart runs and whether an alarm saves the
// oscillogram. The window maps them to its picture and buttons.
#pragma once

namespace tarvin {

// The link as a picture: before any answer, with a sensor, without one.
enum class Picture { Smile, Ok, NoConnection };

class CommandsView {
 public:
  virtual ~CommandsView() = default;
  virtual void SetPicture(Picture picture) = 0;
  virtual void ShowChartRunning(bool running) = 0;
  virtual void ShowSaveOnAlarm(bool enabled) = 0;
};

}  // namespace tarvin
