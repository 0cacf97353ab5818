// What the operator's commands and the port's supervision show besides boxes:
// what is known of the sensor's answers, whether the chart runs and whether an
// alarm saves the oscillogram. The window maps them to its picture and buttons.
#pragma once

namespace tarvin {

// What the port's supervision knows of the sensor: nothing yet, answering,
// silent. The window shows each as its picture.
enum class LinkSign { Unknown, Answering, Silent };

class CommandsView {
 public:
  virtual ~CommandsView() = default;
  virtual void ShowLinkSign(LinkSign sign) = 0;
  virtual void ShowChartRunning(bool running) = 0;
  virtual void ShowSaveOnAlarm(bool enabled) = 0;
};

}  // namespace tarvin
