#include "chart/chart_view.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "chart/chart_cursor.h"

namespace tarvin {

namespace {

// A legend entry with a check box in front of the series' icon: the box shows
// whether the series is drawn, a click on the entry toggles it.
class CheckLegendItem : public QCPPlottableLegendItem {
 public:
  CheckLegendItem(QCPLegend* legend, QCPAbstractPlottable* plottable)
      : QCPPlottableLegendItem(legend, plottable) {}

 protected:
  static constexpr int kBox = 12;
  static constexpr int kGap = 5;

  QSize minimumOuterSizeHint() const override {
    QSize size = QCPPlottableLegendItem::minimumOuterSizeHint();
    size.rwidth() += kBox + kGap;
    return size;
  }

  void draw(QCPPainter* painter) override {
    const QRect box(mRect.left(), mRect.top() + (mRect.height() - kBox) / 2, kBox, kBox);
    painter->setPen(QPen(Qt::black, 1));
    painter->setBrush(Qt::white);
    painter->drawRect(box);
    if (mPlottable->visible()) {
      painter->setPen(QPen(Qt::black, 2));
      painter->drawLine(QLineF(box.left() + 2, box.center().y(), box.left() + 5, box.bottom() - 2));
      painter->drawLine(QLineF(box.left() + 5, box.bottom() - 2, box.right() - 2, box.top() + 2));
    }
    // The base class draws the icon and the title inside mRect: shift it past the box.
    const QRect whole = mRect;
    mRect.setLeft(mRect.left() + kBox + kGap);
    QCPPlottableLegendItem::draw(painter);
    mRect = whole;
  }
};

// A graph whose 2-pixel line is drawn as three 1-pixel polylines, each shifted
// by a pixel: the same pixels as the aliased 2-pixel stroke, but Qt's raster
// engine draws 1-pixel lines on its fast path, while a wider pen makes it
// stroke every segment as a filled outline, several times slower.
class WideLineGraph : public QCPGraph {
 public:
  using QCPGraph::QCPGraph;

 protected:
  void drawLinePlot(QCPPainter* painter, const QVector<QPointF>& lines) const override {
    const bool plain = !antialiased() && pen().style() == Qt::SolidLine &&
                       qFuzzyCompare(pen().widthF(), 2.0) &&
                       !painter->modes().testFlag(QCPPainter::pmVectorized);
    if (!plain || lineStyle() == lsNone || lines.size() < 2) {
      QCPGraph::drawLinePlot(painter, lines);
      return;
    }
    applyDefaultAntialiasingHint(painter);
    QPen thin = pen();
    thin.setWidth(0);  // cosmetic: one pixel whatever the transformation
    painter->setPen(thin);
    painter->setBrush(Qt::NoBrush);
    for (const QPointF shift : {QPointF(0, 0), QPointF(-1, 0), QPointF(0, -1)}) {
      painter->translate(shift);
      // One call per run of finite points: NaN leaves a gap, as in QCustomPlot.
      int start = 0;
      for (int i = 0; i <= lines.size(); ++i) {
        if (i < lines.size() && std::isfinite(lines[i].x()) && std::isfinite(lines[i].y())) continue;
        if (i - start > 1) painter->drawPolyline(lines.constData() + start, i - start);
        start = i + 1;
      }
      painter->translate(-shift);
    }
  }
};

struct SeriesLook {
  const char* name;
  const char* title;
  QColor colour;
  bool shown;
};

// Colours given as 0x00BBGGRR: clBlack, 0x00408000 (dark green), clMaroon, clBlue.
const SeriesLook kLooks[kSeriesCount] = {
    {"Series8", "Порог", QColor(Qt::red), true},
    {"Series12", "Входной сигнал с СЗ", QColor(0, 0, 0), true},
    {"Series1", "Полезный сигнал", QColor(0x00, 0x80, 0x40), true},
    {"LineSeries7", "Э-К (эл. помеха)", QColor(0x80, 0x00, 0x00), false},
    {"LineSeries5", "Э-К (климатика)", QColor(0x00, 0x00, 0xFF), false},
};

}  // namespace

ChartView::ChartView(QWidget* parent) : QCustomPlot(parent) {
  setObjectName("Chart4");
  setPlottingHint(QCP::phFastPolylines, true);
  setNotAntialiasedElements(QCP::aeAll);
  setBackground(Qt::white);

  legend->setVisible(true);
  legend->setBrush(QColor(0xC0, 0xC0, 0xC0));
  legend->setFillOrder(QCPLayoutGrid::foColumnsFirst);
  legend->setWrap(0);
  // The legend above the axis rect, across the top.
  plotLayout()->insertRow(0);
  plotLayout()->addElement(0, 0, legend);
  legend->setMargins(QMargins(4, 2, 4, 2));
  plotLayout()->setRowStretchFactor(0, 0.001);

  for (int i = 0; i < kSeriesCount; ++i) {
    QCPGraph* g = new WideLineGraph(xAxis, yAxis);
    g->setObjectName(kLooks[i].name);
    g->setName(QString::fromUtf8(kLooks[i].title));
    g->setPen(QPen(kLooks[i].colour, 2));
    g->setLineStyle(QCPGraph::lsLine);
    g->setScatterStyle(QCPScatterStyle::ssNone);
    g->setAdaptiveSampling(true);
    g->setAntialiased(false);
    // The dropped points are compacted by DropOldest, one series at a time,
    // instead of all five series in the same tick.
    g->data()->setAutoSqueeze(false);
    legend->removeItem(legend->itemWithPlottable(g));
    if (kLooks[i].shown) {
      legend->addItem(new CheckLegendItem(legend, g));
    } else {
      g->setVisible(false);
    }
    graphs_[i] = g;
  }
  // Samples are counted: ticks fall on whole numbers only.
  QSharedPointer<QCPAxisTickerFixed> whole(new QCPAxisTickerFixed);
  whole->setTickStep(1.0);
  whole->setScaleStrategy(QCPAxisTickerFixed::ssMultiples);
  xAxis->setTicker(whole);
  xAxis->setLabel(QStringLiteral("Отсчёты"));
  yAxis->setLabel(QStringLiteral("Сигнал, [дискр. АЦП]"));
  yAxis->setRange(0, 100);
  xAxis->setRange(0, 1);

  // Only the bottom axis is zoomed and dragged, and only while reviewing.
  axisRect()->setRangeDrag(Qt::Horizontal);
  axisRect()->setRangeZoom(Qt::Horizontal);
  axisRect()->setRangeZoomAxes(xAxis, nullptr);
  axisRect()->setRangeDragAxes(xAxis, nullptr);
  SetReviewing(true);
  connect(xAxis, QOverload<const QCPRange&>::of(&QCPAxis::rangeChanged), this, [this](const QCPRange& asked) {
    if (!setting_range_ && reviewing_) KeepZoomInBounds(asked);
  });

  cursor_ = std::make_unique<ChartCursor>(*this);
  setMouseTracking(true);
  menu_ = new QMenu(this);
  menu_->setObjectName("Chart4Menu");

  connect(this, &QCustomPlot::legendClick, this,
          [this](QCPLegend*, QCPAbstractLegendItem* item, QMouseEvent*) {
            auto* entry = dynamic_cast<QCPPlottableLegendItem*>(item);
            if (!entry) return;
            for (int i = 0; i < kSeriesCount; ++i)
              if (graphs_[i] == entry->plottable()) ToggleSeries(static_cast<Series>(i));
          });
}

ChartView::~ChartView() = default;

void ChartView::AddPoints(uint16_t x, const ScopeSample& s) {
  const double key = x;
  Graph(Series::Series1)->addData(key, static_cast<double>(s.useful));
  Graph(Series::LineSeries7)->addData(key, static_cast<double>(s.ekNoise));
  Graph(Series::LineSeries5)->addData(key, static_cast<double>(s.ekClimate));
  Graph(Series::Series12)->addData(key, static_cast<double>(s.input));
  Graph(Series::Series8)->addData(key, static_cast<double>(s.threshold));
  dirty_ = true;
}

void ChartView::ClearSeries() {
  for (Series s :
       {Series::LineSeries5, Series::LineSeries7, Series::Series1, Series::Series8, Series::Series12})
    Graph(s)->data()->clear();
  zoomed_ = false;
  SetFileTitle(QString());
  dirty_ = true;
}

void ChartView::DropOldest() {
  ++drops_;
  for (Series s :
       {Series::Series1, Series::LineSeries7, Series::LineSeries5, Series::Series8, Series::Series12}) {
    auto data = Graph(s)->data();
    if (data->isEmpty()) continue;
    // Removing from the front only moves the container's start: no copying.
    const double first = data->constBegin()->key;
    data->removeBefore(std::nextafter(first, std::numeric_limits<double>::infinity()));
    // Now and then the dropped space is given back by moving the window's points
    // to the front; each series in its own tick, so no tick pays for all five.
    const uint32_t phase = static_cast<uint32_t>(s) * (kSqueezeEvery / kSeriesCount);
    if ((drops_ + phase) % kSqueezeEvery == 0) data->squeeze(true, false);
  }
  dirty_ = true;
}

void ChartView::SetLeftAxis(int32_t min, int32_t max) {
  yAxis->setRange(min, max);
  // A range given upside down would be normalised: keep the limits as set.
  yAxis->setRangeLower(min);
  yAxis->setRangeUpper(max);
  dirty_ = true;
}

void ChartView::ShowStored(const Oscillogram& stored) {
  ClearSeries();
  for (uint16_t i = 0; i < stored.count; ++i) {
    const double key = i;
    if (i < stored.threshold.size()) Graph(Series::Series8)->addData(key, stored.threshold[i]);
    if (i < stored.useful.size()) Graph(Series::Series1)->addData(key, stored.useful[i]);
    if (i < stored.ekNoise.size()) Graph(Series::LineSeries7)->addData(key, stored.ekNoise[i]);
    if (i < stored.ekClimate.size()) Graph(Series::LineSeries5)->addData(key, stored.ekClimate[i]);
    if (i < stored.input.size()) Graph(Series::Series12)->addData(key, stored.input[i]);
  }
  dirty_ = true;
}

void ChartView::ToggleSeries(Series s) {
  QCPGraph* g = Graph(s);
  g->setVisible(!g->visible());
  dirty_ = true;
  ReplotIfDirty();
}

bool ChartView::Extent(double* lo, double* hi) const {
  *lo = std::numeric_limits<double>::infinity();
  *hi = -*lo;
  for (QCPGraph* g : graphs_) {
    if (g->data()->isEmpty()) continue;
    *lo = std::min(*lo, g->data()->constBegin()->key);
    *hi = std::max(*hi, (g->data()->constEnd() - 1)->key);
  }
  return *lo <= *hi;
}

void ChartView::FollowPoints() {
  double lo = 0.0, hi = 0.0;
  if (!Extent(&lo, &hi)) return;  // nothing drawn: keep the last range
  if (hi - lo < 1) hi = lo + 1;
  setting_range_ = true;
  xAxis->setRange(lo, hi);
  setting_range_ = false;
}

void ChartView::ReplotIfDirty() {
  if (!dirty_) return;
  dirty_ = false;
  if (!zoomed_) FollowPoints();
  cursor_->Refresh();
  replot(QCustomPlot::rpQueuedReplot);
}

void ChartView::SetReviewing(bool on) {
  reviewing_ = on;
  setInteractions(on ? QCP::Interactions(QCP::iRangeDrag | QCP::iRangeZoom) : QCP::Interactions());
  if (!on) {
    SetFileTitle(QString());
    if (zoomed_) ShowWhole();
  }
}

void ChartView::ShowWhole() {
  zoomed_ = false;
  dirty_ = true;
  ReplotIfDirty();
}

void ChartView::KeepZoomInBounds(const QCPRange& asked) {
  double lo = 0.0, hi = 0.0;
  if (!Extent(&lo, &hi)) return;
  // Ten samples are nine steps of X; a file shorter than that is shown whole.
  const double whole = std::max(hi - lo, 1.0);
  const double narrowest = std::min<double>(kMinZoomSamples - 1, whole);
  const double size = std::clamp(asked.size(), narrowest, whole);
  double lower = size == asked.size() ? asked.lower : asked.center() - size / 2;
  lower = std::clamp(lower, lo, lo + whole - size);
  zoomed_ = true;
  if (lower == asked.lower && size == asked.size()) return;
  setting_range_ = true;
  xAxis->setRange(lower, lower + size);
  setting_range_ = false;
}

void ChartView::SetFileTitle(const QString& title) {
  if (title.isEmpty()) {
    if (title_ == nullptr) return;
    plotLayout()->remove(title_);  // deletes it
    plotLayout()->simplify();
    title_ = nullptr;
    dirty_ = true;
    return;
  }
  if (title_ == nullptr) {
    plotLayout()->insertRow(0);
    QFont bold = font();
    bold.setBold(true);
    title_ = new QCPTextElement(this, title, bold);
    title_->setObjectName("Chart4Title");
    plotLayout()->addElement(0, 0, title_);
    plotLayout()->setRowStretchFactor(0, 0.001);
  }
  title_->setText(title);
  dirty_ = true;
}

QString ChartView::FileTitle() const { return title_ ? title_->text() : QString(); }

QAction* ChartView::AddContextAction(const QString& text) { return menu_->addAction(text); }

Oscillogram ChartView::Shown(uint32_t* first_key) const {
  int n = std::numeric_limits<uint16_t>::max();
  for (QCPGraph* g : graphs_) n = std::min(n, g->data()->size());
  Oscillogram o;
  o.count = static_cast<uint16_t>(n);
  *first_key = n > 0 ? static_cast<uint32_t>(Graph(Series::Series8)->data()->constBegin()->key) : 0;
  const auto values = [&](Series s, auto& out) {
    auto it = Graph(s)->data()->constBegin();
    out.resize(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i, ++it) out[i] = static_cast<std::decay_t<decltype(out[i])>>(it->value);
  };
  values(Series::Series8, o.threshold);
  values(Series::Series1, o.useful);
  values(Series::LineSeries7, o.ekNoise);
  values(Series::LineSeries5, o.ekClimate);
  values(Series::Series12, o.input);
  return o;
}

void ChartView::mouseMoveEvent(QMouseEvent* event) {
  QCustomPlot::mouseMoveEvent(event);
  cursor_->MoveTo(event->pos());
}

void ChartView::mouseDoubleClickEvent(QMouseEvent* event) {
  QCustomPlot::mouseDoubleClickEvent(event);
  if (reviewing_ && event->button() == Qt::LeftButton) ShowWhole();
}

void ChartView::leaveEvent(QEvent* event) {
  QCustomPlot::leaveEvent(event);
  cursor_->Hide();
}

void ChartView::contextMenuEvent(QContextMenuEvent* event) {
  if (menu_->isEmpty()) return;
  menu_->popup(event->globalPos());
}

}  // namespace tarvin
