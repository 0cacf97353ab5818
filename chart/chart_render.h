// The chart as a picture, drawn without a screen: the window's "Сохранить
// изображение (PNG)…" and `tarvin9-osc png` share it, so a file rendered from
// the command line looks as the window draws it.
#pragma once

#include <QImage>
#include <QSize>
#include <memory>
#include <string>

#include "scope/oscillogram_file.h"

class QCPPainter;

namespace tarvin {

class ChartView;

// The fonts the window gives its chart.
void StyleLikeWindow(ChartView& chart);

// The chart as it is now (zoom included, hover readout left out) at `size`.
QImage RenderChart(ChartView& chart, QSize size);
// The same onto `painter` (an image, a PDF page) from its origin, `size` in
// its units.
void PaintChart(ChartView& chart, QCPPainter* painter, QSize size);

// The PNG's bytes; empty, with *reason, when it cannot be encoded.
QByteArray PngBytes(const QImage& image, std::string* reason = nullptr);
// Written whole or not at all (a temporary file renamed); CannotOpen or
// WriteFailed with *reason.
FileStatus SavePng(const QImage& image, const std::string& path, std::string* reason = nullptr);

// A stored oscillogram drawn whole, as "Открыть" shows it, on a chart of its
// own that is reused from one file to the next.
class OscillogramPicture {
 public:
  // The left axis from ymin to ymax, as the fields "Y мин" and "Y макс" set it.
  OscillogramPicture(int32_t ymin, int32_t ymax);
  ~OscillogramPicture();
  QImage Render(const Oscillogram& stored, QSize size, const QString& title = QString());
  void Paint(const Oscillogram& stored, QCPPainter* painter, QSize size, const QString& title = QString());

 private:
  std::unique_ptr<ChartView> chart_;
};

}  // namespace tarvin
