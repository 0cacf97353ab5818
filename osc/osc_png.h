// `tarvin9-osc png`: the chart as the window draws a stored oscillogram,
// rendered without a display. The only part of the tool that needs Qt.
#pragma once

#include <memory>
#include <string>
#include <vector>

class QApplication;

namespace tarvin::osc {

struct PngOptions {
  int width = 1200, height = 700;
  int ymin = 0, ymax = 100;  // the window's "Y мин" and "Y макс" at start
};

// The application the chart needs, drawing offscreen unless the caller chose
// a platform, with Qt's own notes kept off standard error.
std::unique_ptr<QApplication> OffscreenApplication();

// Each input drawn to its output ("-": standard output); a file that cannot be read or written is
// told on standard error and the rest are still done. False when any failed.
bool RenderPngs(const std::vector<std::string>& inputs, const std::vector<std::string>& outputs,
                const PngOptions& options);

}  // namespace tarvin::osc
