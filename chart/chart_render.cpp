#include "chart/chart_render.h"

#include <QBuffer>
#include <QImageWriter>

#include "chart/chart_cursor.h"
#include "chart/chart_view.h"
#include "chart/fonts.h"

namespace tarvin {

void StyleLikeWindow(ChartView& chart) {
  chart.setFont(SansFont(12));
  for (QCPAxis* axis : {chart.xAxis, chart.yAxis}) {
    axis->setTickLabelFont(SansFont(12));
    axis->setLabelFont(SerifFont(15, true));
  }
  chart.legend->setFont(SansFont(12));
}

void PaintChart(ChartView& chart, QCPPainter* painter, QSize size) {
  chart.Cursor().SetLayerVisible(false);
  chart.toPainter(painter, size.width(), size.height());
  chart.Cursor().SetLayerVisible(true);
}

QImage RenderChart(ChartView& chart, QSize size) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(Qt::white);
  {
    QCPPainter painter(&image);
    PaintChart(chart, &painter, size);
  }
  return image;
}

QByteArray PngBytes(const QImage& image, std::string* reason) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, "png");
  // Qt maps quality 80 to zlib's level 1: a chart is mostly flat colour, so the
  // file is hardly larger, and encoding takes a fraction of the default's time.
  writer.setQuality(80);
  if (writer.write(image)) return bytes;
  if (reason != nullptr) *reason = writer.errorString().toStdString();
  return QByteArray();
}

FileStatus SavePng(const QImage& image, const std::string& path, std::string* reason) {
  const QByteArray bytes = PngBytes(image, reason);
  if (bytes.isEmpty()) return FileStatus::WriteFailed;
  const auto fill = [&](std::FILE* f) {
    return std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), f) == std::size_t(bytes.size());
  };
  return StatusOf(WriteFileAtomically(path, fill, Durability::Renamed, reason));
}

OscillogramPicture::OscillogramPicture(int32_t ymin, int32_t ymax) : chart_(std::make_unique<ChartView>()) {
  StyleLikeWindow(*chart_);
  chart_->SetLeftAxis(ymin, ymax);
}

OscillogramPicture::~OscillogramPicture() = default;

QImage OscillogramPicture::Render(const Oscillogram& stored, QSize size, const QString& title) {
  chart_->ShowStored(stored);
  chart_->SetFileTitle(title);
  chart_->FollowPoints();
  return RenderChart(*chart_, size);
}

void OscillogramPicture::Paint(const Oscillogram& stored, QCPPainter* painter, QSize size,
                               const QString& title) {
  chart_->ShowStored(stored);
  chart_->SetFileTitle(title);
  chart_->FollowPoints();
  PaintChart(*chart_, painter, size);
}

}  // namespace tarvin
