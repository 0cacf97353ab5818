// The report's pages: A4, text from the top down, a new page when the next
// block does not fit, and the same footer (with the page's number) on every
// page. The painter is the chart's own kind, so the window's chart can draw
// straight onto a page.
#pragma once

#include <qcustomplot.h>

#include <QFont>
#include <QPdfWriter>
#include <QRect>
#include <QString>
#include <QStringList>
#include <vector>

namespace tarvin {

class ReportPage {
 public:
  // `footer` goes at the foot of every page, before the page's number.
  ReportPage(QPdfWriter& writer, QString footer);
  ~ReportPage();

  QCPPainter& Painter() { return painter_; }
  int Width() const { return width_; }
  // Device units in a millimetre.
  double Mm() const { return mm_; }
  static QFont Font(double points, bool bold = false);

  void Title(const QString& text);
  // Kept on one page with the `keep_mm` that follow it.
  void Heading(const QString& text, double keep_mm = 25);
  // Wrapped to the page's width.
  void Paragraph(const QString& text, bool bold = false);
  // Columns of the given shares of the width; a long table goes on over pages
  // with its header repeated.
  void Table(const QStringList& header, const std::vector<QStringList>& rows,
             const std::vector<double>& shares);
  // A block `height` high for a picture: on this page when it fits, else on a new one.
  QRect Reserve(int height);
  void Gap(double mm) { y_ += static_cast<int>(mm * mm_); }
  void Finish();

 private:
  void NewPage();
  void Footer();
  int RowHeight(const QStringList& cells, const std::vector<int>& widths, bool bold);
  void Row(const QStringList& cells, const std::vector<int>& widths, bool bold);

  QPdfWriter& writer_;
  QCPPainter painter_;
  QString footer_;
  int width_ = 0, bottom_ = 0, y_ = 0, page_ = 1;
  double mm_ = 1;
};

}  // namespace tarvin
