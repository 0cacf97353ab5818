// Chart4: the oscillogram drawn with QCustomPlot. Points arrive one sample at a
// time from the engine's tick; the chart is marked dirty and redrawn at most
// once per tick (ReplotIfDirty), never when nothing changed.
// While the chart does not run (a stored oscillogram shown, or transmission
// stopped) it can be reviewed: the wheel zooms the bottom axis about the
// pointer, dragging pans, a double click shows everything again. Hovering
// shows the values under the pointer (ChartCursor) whether it runs or not.
#pragma once

#include <qcustomplot.h>

#include <QMenu>
#include <cstdint>
#include <memory>

#include "engine/scope_sample.h"
#include "scope/oscillogram_file.h"

namespace tarvin {

class ChartCursor;

// The series in the order they are fed: the index into Graph().
enum class Series { Series8, Series12, Series1, LineSeries7, LineSeries5 };
constexpr int kSeriesCount = 5;

class ChartView : public QCustomPlot {
  Q_OBJECT
 public:
  explicit ChartView(QWidget* parent = nullptr);
  ~ChartView() override;

  // One point on each series at X = x.
  void AddPoints(uint16_t x, const ScopeSample& sample);
  void ClearSeries();
  void DropOldest();
  void SetLeftAxis(int32_t min, int32_t max);
  void ShowStored(const Oscillogram& stored);

  // Redraws once when something changed since the last redraw.
  void ReplotIfDirty();
  bool Dirty() const { return dirty_; }

  QCPGraph* Graph(Series s) const { return graphs_[static_cast<int>(s)]; }
  int PointsOf(Series s) const { return Graph(s)->data()->size(); }
  // Shows or hides a series, as its legend check box does.
  void ToggleSeries(Series s);

  // Off while chart transmission runs: then wheel, drag and double click do
  // nothing, any zoom is forgotten and the title goes.
  void SetReviewing(bool on);
  bool Reviewing() const { return reviewing_; }
  // The bottom axis over every point drawn; the zoom is forgotten.
  void ShowWhole();
  // The bottom axis over every point drawn, without a redraw.
  void FollowPoints();
  // A zoom narrower than this many samples is widened to it.
  static constexpr int kMinZoomSamples = 10;

  // The name shown above the chart (the opened file's); empty removes it.
  // Cleared with the series.
  void SetFileTitle(const QString& title);
  QString FileTitle() const;

  // The chart's context menu, built here; the window adds its actions.
  QMenu* ContextMenu() const { return menu_; }
  QAction* AddContextAction(const QString& text);

  // What the chart draws, as an oscillogram (at most 65535 samples); *first_key
  // receives the X of its first point.
  Oscillogram Shown(uint32_t* first_key) const;

  ChartCursor& Cursor() { return *cursor_; }

 protected:
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  // X range of every point drawn; false when nothing is drawn.
  bool Extent(double* lo, double* hi) const;
  // Keeps a zoom or pan within the points and at least kMinZoomSamples wide.
  void KeepZoomInBounds(const QCPRange& asked);

  static constexpr uint32_t kSqueezeEvery = 4000;  // dropped points a series keeps at most
  QCPGraph* graphs_[kSeriesCount] = {};
  bool dirty_ = false;
  uint32_t drops_ = 0;
  bool reviewing_ = true;  // the chart is stopped at start
  bool zoomed_ = false;    // the operator's zoom or pan holds the bottom axis
  bool setting_range_ = false;
  QCPTextElement* title_ = nullptr;
  QMenu* menu_ = nullptr;
  std::unique_ptr<ChartCursor> cursor_;
};

}  // namespace tarvin
