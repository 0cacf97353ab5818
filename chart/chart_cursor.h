// The chart's hover readout: a thin vertical line at the sample under the
// pointer and, beside the pointer, the sample's number and the value of each
// visible series there. Drawn on the chart's buffered top layer, so moving the
// pointer redraws only the readout, never the 5000-point series.
#pragma once

#include <QPoint>
#include <QString>

class QCPItemStraightLine;
class QCPItemText;
class QCPLayer;

namespace tarvin {

class ChartView;

class ChartCursor {
 public:
  explicit ChartCursor(ChartView& chart);

  // The pointer is at `pixel` (the chart's coordinates): shows the sample
  // nearest to it, or hides the readout outside the axis rect or the points.
  void MoveTo(QPoint pixel);
  void Hide();
  // After the points moved under a still pointer (the live chart scrolled).
  void Refresh();

  bool Visible() const;
  // The sample shown and the readout's lines; -1 and empty when hidden.
  long long Sample() const { return sample_; }
  QString Text() const;

  // Kept out of pictures of the chart.
  void SetLayerVisible(bool visible);

 private:
  // The readout for the pointer at pixel_; false when there is nothing to show.
  bool Place();

  ChartView& chart_;
  QCPLayer* layer_ = nullptr;
  QCPItemStraightLine* line_ = nullptr;
  QCPItemText* label_ = nullptr;
  QPoint pixel_;
  bool over_ = false;
  long long sample_ = -1;
};

}  // namespace tarvin
