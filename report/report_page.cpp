#include "report/report_page.h"

#include <QFontMetrics>

namespace tarvin {
namespace {

constexpr double kFooterMm = 9;

int TextHeight(QPainter& painter, const QFont& font, int width, const QString& text) {
  painter.setFont(font);
  return painter.boundingRect(QRect(0, 0, width, 100000), Qt::TextWordWrap, text).height();
}

}  // namespace

QFont ReportPage::Font(double points, bool bold) {
  QFont f;
  // Families with Cyrillic on every machine the kit runs on.
  f.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans"), QStringLiteral("Arial")});
  f.setPointSizeF(points);
  f.setBold(bold);
  return f;
}

ReportPage::ReportPage(QPdfWriter& writer, QString footer)
    : writer_(writer), painter_(&writer), footer_(std::move(footer)) {
  painter_.setMode(QCPPainter::pmVectorized);
  painter_.setMode(QCPPainter::pmNoCaching);
  width_ = writer.width();
  mm_ = writer.resolution() / 25.4;
  bottom_ = writer.height() - static_cast<int>(kFooterMm * mm_);
}

ReportPage::~ReportPage() {
  if (painter_.isActive()) painter_.end();
}

void ReportPage::NewPage() {
  Footer();
  writer_.newPage();
  ++page_;
  y_ = 0;
}

void ReportPage::Footer() {
  painter_.save();
  painter_.setFont(Font(7.5));
  painter_.setPen(Qt::darkGray);
  const int top = bottom_ + static_cast<int>(2 * mm_);
  painter_.drawLine(QLineF(0, top, width_, top));
  const QRect area(0, top + static_cast<int>(mm_), width_, writer_.height() - top);
  painter_.drawText(area, Qt::AlignLeft | Qt::TextWordWrap, footer_);
  painter_.drawText(area, Qt::AlignRight, QStringLiteral("стр. %1").arg(page_));
  painter_.restore();
}

void ReportPage::Finish() {
  Footer();
  painter_.end();
}

QRect ReportPage::Reserve(int height) {
  if (y_ > 0 && y_ + height > bottom_) NewPage();
  const QRect block(0, y_, width_, height);
  y_ += height;
  return block;
}

void ReportPage::Title(const QString& text) {
  const QFont font = Font(16, true);
  const QRect r = Reserve(TextHeight(painter_, font, width_, text));
  painter_.setFont(font);
  painter_.setPen(Qt::black);
  painter_.drawText(r, Qt::TextWordWrap, text);
  Gap(3);
}

void ReportPage::Heading(const QString& text, double keep_mm) {
  Gap(4);
  const QFont font = Font(12.5, true);
  // A heading never stands alone at the foot of a page.
  const int height = TextHeight(painter_, font, width_, text);
  if (y_ + height + static_cast<int>(keep_mm * mm_) > bottom_) NewPage();
  const QRect r = Reserve(height);
  painter_.setFont(font);
  painter_.setPen(Qt::black);
  painter_.drawText(r, Qt::TextWordWrap, text);
  Gap(1.5);
}

void ReportPage::Paragraph(const QString& text, bool bold) {
  const QFont font = Font(10, bold);
  const QRect r = Reserve(TextHeight(painter_, font, width_, text));
  painter_.setFont(font);
  painter_.setPen(Qt::black);
  painter_.drawText(r, Qt::TextWordWrap, text);
  Gap(1);
}

int ReportPage::RowHeight(const QStringList& cells, const std::vector<int>& widths, bool bold) {
  const int pad = static_cast<int>(mm_);
  int height = 0;
  for (int i = 0; i < cells.size() && i < static_cast<int>(widths.size()); ++i)
    height = std::max(height, TextHeight(painter_, Font(9, bold), widths[i] - 2 * pad, cells[i]));
  return height;
}

void ReportPage::Row(const QStringList& cells, const std::vector<int>& widths, bool bold) {
  const QFont font = Font(9, bold);
  const int pad = static_cast<int>(mm_);
  const int height = RowHeight(cells, widths, bold);
  const QRect r = Reserve(height + pad);
  painter_.setFont(font);
  painter_.setPen(Qt::black);
  int x = 0;
  for (int i = 0; i < cells.size() && i < static_cast<int>(widths.size()); ++i) {
    painter_.drawText(QRect(x + pad, r.top(), widths[i] - 2 * pad, height), Qt::TextWordWrap, cells[i]);
    x += widths[i];
  }
  painter_.setPen(QPen(Qt::lightGray, 0));
  painter_.drawLine(QLineF(0, r.bottom(), width_, r.bottom()));
}

void ReportPage::Table(const QStringList& header, const std::vector<QStringList>& rows,
                       const std::vector<double>& shares) {
  std::vector<int> widths;
  for (double share : shares) widths.push_back(static_cast<int>(share * width_));
  Row(header, widths, true);
  for (const QStringList& row : rows) {
    if (y_ + RowHeight(row, widths, false) + static_cast<int>(mm_) > bottom_) {
      NewPage();  // a long table goes on with its header again
      Row(header, widths, true);
    }
    Row(row, widths, false);
  }
  Gap(2);
}

}  // namespace tarvin
