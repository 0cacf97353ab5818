// Chart4: the oscillogram drawn with QCustomPlot. Points arrive one sample at a
// time from the engine's tick; the chart is marked dirty and redrawn at most
// once per tick (ReplotIfDirty), never when nothing changed.
#pragma once

#include <qcustomplot.h>

#include <cstdint>

#include "scope/scope_sample.h"

namespace tarvin {

struct Oscillogram;

// The series in the order they are fed: the index into Graph().
enum class Series { Series8, Series12, Series1, LineSeries7, LineSeries5 };
constexpr int kSeriesCount = 5;

class ChartView : public QCustomPlot {
  Q_OBJECT
 public:
  explicit ChartView(QWidget* parent = nullptr);

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

 private:
  void FollowPoints();

  static constexpr uint32_t kSqueezeEvery = 4000;  // dropped points a series keeps at most
  QCPGraph* graphs_[kSeriesCount] = {};
  bool dirty_ = false;
  uint32_t drops_ = 0;
};

}  // namespace tarvin
