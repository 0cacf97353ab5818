#include "chart/chart_cursor.h"

#include <QLocale>
#include <cmath>

#include "chart/chart_view.h"

namespace tarvin {
namespace {

constexpr int kOffset = 14;  // pixels between the pointer and the readout

// The series in the order of the legend; hidden ones are left out.
constexpr Series kShownOrder[] = {Series::Series8, Series::Series12, Series::Series1, Series::LineSeries7,
                                  Series::LineSeries5};

QString ValueText(Series s, double value) {
  // The threshold as the grid shows it, the others as the integers they are.
  if (s == Series::Series8) {
    QLocale locale = QLocale::system();
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(value, 'f', 3);
  }
  return QString::number(static_cast<qulonglong>(value));
}

}  // namespace

ChartCursor::ChartCursor(ChartView& chart) : chart_(chart) {
  // QCustomPlot's top layer has a paint buffer of its own already: a layer
  // added for the readout would split the chart into more buffers to clear
  // and combine on every redraw of the running chart.
  layer_ = chart_.layer("overlay");

  line_ = new QCPItemStraightLine(&chart_);
  line_->setLayer(layer_);
  line_->setPen(QPen(QColor(0x60, 0x60, 0x60), 1, Qt::DashLine));
  line_->setSelectable(false);

  label_ = new QCPItemText(&chart_);
  label_->setObjectName("Chart4Readout");
  label_->setLayer(layer_);
  label_->setClipToAxisRect(false);
  label_->setSelectable(false);
  label_->setPositionAlignment(Qt::AlignLeft | Qt::AlignTop);
  label_->setTextAlignment(Qt::AlignLeft);
  label_->setPadding(QMargins(5, 3, 5, 3));
  label_->setPen(QPen(QColor(0x80, 0x80, 0x80)));
  label_->setBrush(QColor(255, 255, 225, 235));
  label_->position->setType(QCPItemPosition::ptAbsolute);
  line_->setVisible(false);
  label_->setVisible(false);
}

bool ChartCursor::Visible() const { return sample_ >= 0; }

QString ChartCursor::Text() const { return Visible() ? label_->text() : QString(); }

void ChartCursor::SetLayerVisible(bool visible) { layer_->setVisible(visible); }

void ChartCursor::Hide() {
  over_ = false;
  if (!label_->visible() && sample_ < 0) return;
  sample_ = -1;
  line_->setVisible(false);
  label_->setVisible(false);
  layer_->replot();
}

void ChartCursor::MoveTo(QPoint pixel) {
  pixel_ = pixel;
  over_ = true;
  Refresh();
  layer_->replot();
}

void ChartCursor::Refresh() {
  if (!over_) return;
  if (Place()) return;
  sample_ = -1;
  line_->setVisible(false);
  label_->setVisible(false);
}

bool ChartCursor::Place() {
  QCPAxisRect* rect = chart_.axisRect();
  if (!rect->rect().contains(pixel_)) return false;
  const double key = std::round(chart_.xAxis->pixelToCoord(pixel_.x()));
  QStringList lines;
  for (Series s : kShownOrder) {
    QCPGraph* g = chart_.Graph(s);
    if (!g->visible()) continue;
    const auto it = g->data()->findBegin(key, false);
    if (it == g->data()->constEnd() || it->key != key) continue;
    lines << g->name() + ": " + ValueText(s, it->value);
  }
  if (lines.isEmpty()) return false;
  sample_ = static_cast<long long>(key);
  lines.prepend(QStringLiteral("Отсчёт %1").arg(sample_));
  label_->setFont(chart_.font());
  label_->setText(lines.join('\n'));

  line_->point1->setCoords(key, 0);
  line_->point2->setCoords(key, 1);
  // Beside the pointer, turned to the other side near the right or bottom edge.
  const QFontMetrics metrics(label_->font());
  const QSize size = metrics.boundingRect(QRect(), 0, label_->text()).size() + QSize(10, 6);
  QPoint at = pixel_ + QPoint(kOffset, kOffset);
  if (at.x() + size.width() > chart_.width()) at.rx() = pixel_.x() - kOffset - size.width();
  if (at.y() + size.height() > chart_.height()) at.ry() = pixel_.y() - kOffset - size.height();
  label_->position->setCoords(at.x(), at.y());
  line_->setVisible(true);
  label_->setVisible(true);
  return true;
}

}  // namespace tarvin
