#include "osc/osc_png.h"

#include <QApplication>
#include <cstdio>
#include <iostream>

#include "chart/chart_render.h"
#include "osc/osc_outputs.h"

namespace tarvin::osc {
namespace {

// Qt's own notes (fonts, runtime folders) would mix with the tool's messages.
void QuietQt(QtMsgType type, const QMessageLogContext&, const QString& text) {
  if (type == QtFatalMsg) std::cerr << text.toStdString() << "\n";
}

}  // namespace

std::unique_ptr<QApplication> OffscreenApplication() {
  // A picture needs no screen: drawn offscreen unless the caller chose a platform.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  qInstallMessageHandler(QuietQt);
  static int argc = 1;
  static char name[] = "tarvin9-osc";
  static char* argv[] = {name, nullptr};
  return std::make_unique<QApplication>(argc, argv);
}

bool RenderPngs(const std::vector<std::string>& inputs, const std::vector<std::string>& outputs,
                const PngOptions& options) {
  const std::unique_ptr<QApplication> app = OffscreenApplication();

  OscillogramPicture picture(options.ymin, options.ymax);
  bool all_good = true;
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    Oscillogram o;
    const FileStatus read = ReadOscillogram(inputs[i], &o);
    if (read != FileStatus::Ok) {
      std::cerr << ReadFailureLine(read, inputs[i]) << "\n";
      all_good = false;
      continue;
    }
    const QImage image = picture.Render(o, QSize(options.width, options.height),
                                        QString::fromStdString(FileNameOf(inputs[i])));
    std::string reason;
    if (outputs[i] == "-") {  // one picture, to standard output
      const QByteArray png = PngBytes(image, &reason);
      const bool written = !png.isEmpty() && std::fwrite(png.constData(), 1, std::size_t(png.size()),
                                                         stdout) == std::size_t(png.size());
      if (written && std::fflush(stdout) == 0) continue;
      std::cerr << "tarvin9-osc: the picture could not be written to standard output\n";
      all_good = false;
      continue;
    }
    const FileStatus written = SavePng(image, outputs[i], &reason);
    if (written != FileStatus::Ok) {
      std::cerr << WriteFailureLine(written, outputs[i], reason) << "\n";
      all_good = false;
    }
  }
  return all_good;
}

}  // namespace tarvin::osc
