#include "report/report_charts.h"

#include <QDateTime>
#include <QLocale>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "report/report_page.h"

namespace tarvin {
namespace {

// Most columns a chart is drawn with: a week of minutes is folded to this,
// each column keeping its extremes, so a short spike never hides.
constexpr int kMaxColumns = 1200;

const QColor kThreshold(Qt::red);        // as the window draws the threshold
const QColor kUseful(0x00, 0x80, 0x40);  // and the useful signal
const QColor kMargin(0x00, 0x40, 0xC0);
const QColor kQuiet(0x80, 0x20, 0xA0);
const QColor kWalkTest(0xFF, 0xC0, 0x40, 0x70);  // the walk tests' shade: the grid shows through
const QColor kDetection(0x90, 0x90, 0x90);

// A round step giving about `count` ticks over `span`.
double NiceStep(double span, int count) {
  const double raw = span / std::max(count, 1);
  const double power = std::pow(10.0, std::floor(std::log10(raw > 0 ? raw : 1)));
  for (const double m : {1.0, 2.0, 5.0, 10.0})
    if (raw <= m * power) return m * power;
  return 10 * power;
}

// Round local times between the period's ends, about one every 25 mm, each
// with a grid line and its time below where it does not crowd the ends' own.
void TimeTicks(QPainter& p, const QRect& plot, const QRect& under, int64_t from, int64_t to, int zone,
               double mm, int end_label) {
  constexpr int64_t kMinute = 60000;
  const int64_t span = to - from;
  const int most = std::max(1, static_cast<int>(plot.width() / (25 * mm)));
  int64_t step = 0;
  for (const int64_t minutes : {1, 2, 5, 10, 15, 30, 60, 120, 180, 360, 720, 1440, 2880, 10080})
    if (span / (minutes * kMinute) <= most) {
      step = minutes * kMinute;
      break;
    }
  if (step == 0 || span <= 0) return;
  const int64_t offset = static_cast<int64_t>(zone) * 1000;
  const int64_t first = ((from + offset) / step + ((from + offset) % step > 0 ? 1 : 0)) * step - offset;
  const QString format = step < 1440 * kMinute ? "HH:mm" : "dd.MM";
  for (int64_t t = first; t < to; t += step) {
    if (t <= from) continue;
    const int x = plot.left() + static_cast<int>(static_cast<double>(t - from) / span * plot.width());
    p.setPen(QPen(QColor(0xDD, 0xDD, 0xDD), 0));
    p.drawLine(x, plot.top(), x, plot.bottom());
    const QString text = QDateTime::fromMSecsSinceEpoch(t, Qt::OffsetFromUTC, zone).toString(format);
    const int half = p.fontMetrics().horizontalAdvance(text) / 2 + static_cast<int>(2 * mm);
    if (x - half < under.left() + end_label || x + half > under.right() - end_label) continue;
    p.setPen(Qt::black);
    p.drawText(QRect(x - half, under.top(), 2 * half, under.height()), Qt::AlignHCenter | Qt::AlignTop, text);
  }
}

// The frame, the value grid with its numbers on the left, and the period's
// ends and round times between them below. Returns the plotting area.
// `whole`: the values are counts, numbered by whole steps.
QRect Axes(QPainter& p, QRect area, double ymin, double ymax, int64_t from, int64_t to, int zone, double mm,
           bool whole = false) {
  p.setFont(ReportPage::Font(7.5));
  const int label = static_cast<int>(12 * mm), below = static_cast<int>(5 * mm);
  const QRect plot(area.left() + label, area.top(), area.width() - label, area.height() - below);
  const double step = std::max(NiceStep(ymax - ymin, 5), whole ? 1.0 : 0.0);
  for (double v = std::ceil(ymin / step) * step; v <= ymax + step * 1e-6; v += step) {
    const int y = plot.bottom() - static_cast<int>((v - ymin) / (ymax - ymin) * plot.height());
    p.setPen(QPen(QColor(0xDD, 0xDD, 0xDD), 0));
    p.drawLine(plot.left(), y, plot.right(), y);
    p.setPen(Qt::black);
    p.drawText(QRect(area.left(), y - label, label - static_cast<int>(mm), 2 * label),
               Qt::AlignRight | Qt::AlignVCenter, QLocale(QLocale::Russian).toString(v, 'g', 6));
  }
  if (ymin < 0 && ymax > 0) {  // zero: where the margin runs out
    const int y = plot.bottom() - static_cast<int>(-ymin / (ymax - ymin) * plot.height());
    p.setPen(QPen(Qt::black, 0.3 * mm, Qt::DashLine));
    p.drawLine(plot.left(), y, plot.right(), y);
  }
  const auto stamp = [zone](int64_t ms) {
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::OffsetFromUTC, zone).toString("dd.MM HH:mm");
  };
  const QRect under(plot.left(), plot.bottom() + static_cast<int>(mm), plot.width(), below);
  TimeTicks(p, plot, under, from, to, zone, mm, p.fontMetrics().horizontalAdvance(stamp(from)));
  p.setPen(QPen(Qt::black, 0.2 * mm));
  p.setBrush(Qt::NoBrush);
  p.drawRect(plot);
  p.drawText(under, Qt::AlignLeft | Qt::AlignTop, stamp(from));
  p.drawText(under, Qt::AlignRight | Qt::AlignTop, stamp(to));
  return plot;
}

double XOf(const QRect& plot, int64_t t, int64_t from, int64_t to) {
  return plot.left() +
         static_cast<double>(t - from) / static_cast<double>(std::max<int64_t>(to - from, 1)) * plot.width();
}

struct LegendItem {
  QColor colour;
  QString text;
  bool area = false;  // a shade or a bar, not a line
};

// Drawn from the area's top, in rows as wide as the area. Returns the height taken.
int Legend(QPainter& p, QRect area, const std::vector<LegendItem>& items, double mm) {
  p.setFont(ReportPage::Font(8));
  const int row = static_cast<int>(5 * mm), left = area.left() + static_cast<int>(14 * mm);
  int x = left, top = area.top();
  for (const auto& [colour, text, shade] : items) {
    const int width = static_cast<int>(14 * mm) + p.fontMetrics().horizontalAdvance(text);
    if (x > left && x + width > area.right()) {  // the next row
      x = left;
      top += row;
    }
    if (shade) {
      p.fillRect(QRectF(x, top + 0.5 * mm, 6 * mm, 3 * mm), colour);
    } else {
      p.setPen(QPen(colour, 0.6 * mm));
      p.drawLine(x, top + static_cast<int>(2 * mm), x + static_cast<int>(6 * mm),
                 top + static_cast<int>(2 * mm));
    }
    p.setPen(Qt::black);
    p.drawText(QRect(x + static_cast<int>(8 * mm), top, area.width(), static_cast<int>(4 * mm)),
               Qt::AlignLeft | Qt::AlignVCenter, text);
    x += width;
  }
  return top + row - area.top();
}

// Consecutive summaries folded together, keeping the extremes that matter
// (the highest useful signal, the lowest threshold and margin), over the time
// they cover.
struct Span {
  int64_t begin = 0, end = 0;
  double useful = 0, threshold = 0, margin = 0;
  double quiet = std::nan("");  // none: no quiet sample in it
};

std::vector<Span> Spans(const ReportData& d) {
  const std::size_t n = d.minutes.size();
  const std::size_t per = std::max<std::size_t>(1, (n + kMaxColumns - 1) / kMaxColumns);
  std::vector<Span> spans;
  for (std::size_t i = 0; i < n; i += per) {
    const ReportMinute& first = d.minutes[i];
    Span s{first.at - static_cast<int64_t>(first.seconds * 1000),
           first.at,
           first.useful_max,
           first.threshold_min,
           first.margin_min,
           first.quiet_margin.value_or(std::nan(""))};
    for (std::size_t j = i + 1; j < std::min(n, i + per); ++j) {
      const ReportMinute& m = d.minutes[j];
      s.end = m.at;
      s.useful = std::max(s.useful, m.useful_max);
      s.threshold = std::min(s.threshold, m.threshold_min);
      s.margin = std::min(s.margin, m.margin_min);
      if (m.quiet_margin)
        s.quiet = std::isnan(s.quiet) ? *m.quiet_margin : std::min(s.quiet, *m.quiet_margin);
    }
    spans.push_back(s);
  }
  return spans;
}

}  // namespace

int AlarmBinMinutes(const ReportData& d) {
  const double minutes = std::max(d.PeriodSeconds() / 60.0, 1.0);
  for (const int bin : {1, 2, 5, 10, 15, 30, 60})
    if (minutes / bin <= 48) return bin;
  // An hour a bar, or more hours a bar when the period is long.
  return 60 * std::max(1, static_cast<int>(std::ceil(minutes / 60.0 / 400.0)));
}

void DrawAlarmsPerBin(QPainter& p, QRect area, const ReportData& d, double mm) {
  const int64_t bin = AlarmBinMinutes(d) * int64_t{60000};
  const int64_t span = std::max<int64_t>(d.to - d.from, 1);
  const int bars = static_cast<int>((span + bin - 1) / bin);
  // Each bin's alarms outside the walk tests, and its detections stacked on them.
  std::vector<std::pair<int, int>> counts(static_cast<std::size_t>(bars), {0, 0});
  for (const ReportAlarm& a : d.alarms) {
    const int64_t at = std::max(a.begin, d.from);
    const int i = static_cast<int>((at - d.from) / bin);
    auto& count = counts[static_cast<std::size_t>(std::clamp(i, 0, bars - 1))];
    ++(a.InTest() ? count.second : count.first);
  }
  int most = 1;
  for (const auto& [outside, detected] : counts) most = std::max(most, outside + detected);
  if (std::any_of(d.alarms.begin(), d.alarms.end(), [](const ReportAlarm& a) { return a.InTest(); })) {
    area.setTop(area.top() +
                Legend(p, area,
                       {{kThreshold, "вне проверок", true}, {kDetection, "обнаружения проверок", true}}, mm));
  }
  const QRect plot = Axes(p, area, 0, most + 0.5, d.from, d.to, d.zone, mm, true);
  p.save();
  p.setPen(Qt::NoPen);
  for (int i = 0; i < bars; ++i) {
    const auto [outside, detected] = counts[static_cast<std::size_t>(i)];
    if (outside + detected == 0) continue;
    // The last bin is cut at the period's end, and so is its bar.
    const double left = XOf(plot, d.from + i * bin, d.from, d.to);
    const double right = XOf(plot, std::min(d.from + (i + 1) * bin, d.to), d.from, d.to);
    const double width = right - left;
    const double unit = plot.height() / (most + 0.5);
    const QRectF bar(left + width * 0.1, plot.bottom() - (outside + detected) * unit,
                     std::max(width * 0.8, 0.3 * mm), (outside + detected) * unit);
    p.fillRect(bar.adjusted(0, 0, 0, -outside * unit), kDetection);
    p.fillRect(bar.adjusted(0, detected * unit, 0, 0), kThreshold);
  }
  p.restore();
}

// The walk tests as shades over the whole height, behind the lines.
void ShadeWalkTests(QPainter& p, const QRect& plot, const ReportData& d, double mm) {
  for (const ReportWalkTest& t : d.tests) {
    const double x0 = XOf(plot, std::max(t.begin, d.from), d.from, d.to);
    const double x1 = XOf(plot, std::min(t.end, d.to), d.from, d.to);
    // A short test stays visible on a week's chart.
    p.fillRect(QRectF(x0, plot.top(), std::max(x1 - x0, 0.4 * mm), plot.height()), kWalkTest);
  }
}

void DrawSignal(QPainter& p, QRect area, const ReportData& d, double mm) {
  const std::vector<Span> spans = Spans(d);
  const bool quiet =
      std::any_of(spans.begin(), spans.end(), [](const Span& c) { return !std::isnan(c.quiet); });
  std::vector<LegendItem> items{{kUseful, "полезный сигнал, макс."},
                                {kThreshold, "порог, мин."},
                                {kMargin, "запас (порог − полезный), мин."}};
  if (quiet) items.push_back({kQuiet, "запас в покое, мин."});
  if (!d.tests.empty()) items.push_back({kWalkTest, "проверка обнаружения", true});
  area.setTop(area.top() + Legend(p, area, items, mm));
  double lo = 0, hi = 1;
  for (const Span& c : spans) {
    lo = std::min({lo, c.margin, c.useful, c.threshold});
    hi = std::max({hi, c.margin, c.useful, c.threshold});
  }
  const double pad = (hi - lo) * 0.05;
  const QRect plot = Axes(p, area, lo - pad, hi + pad, d.from, d.to, d.zone, mm);
  // Each span a level from its start to its end; a break where no summary
  // came (the chart stopped, the link was down, the program was not running)
  // or, for the quiet margin, where a span had no quiet sample.
  const auto line = [&](QColor colour, double Span::*value, double width) {
    QPainterPath path;
    int64_t last_end = 0;
    bool drawing = false;
    for (const Span& c : spans) {
      if (std::isnan(c.*value)) {
        drawing = false;
        continue;
      }
      const double y = plot.bottom() - (c.*value - (lo - pad)) / (hi - lo + 2 * pad) * plot.height();
      const double x0 = XOf(plot, c.begin, d.from, d.to), x1 = XOf(plot, c.end, d.from, d.to);
      drawing&& c.begin <= last_end + 2000 ? path.lineTo(x0, y) : path.moveTo(x0, y);
      path.lineTo(x1, y);
      last_end = c.end;
      drawing = true;
    }
    p.setPen(QPen(colour, width * mm));
    p.drawPath(path);
  };
  p.save();
  p.setClipRect(plot);
  ShadeWalkTests(p, plot, d, mm);
  line(kThreshold, &Span::threshold, 0.35);
  line(kUseful, &Span::useful, 0.35);
  line(kMargin, &Span::margin, 0.35);
  line(kQuiet, &Span::quiet, 0.5);
  p.restore();
}

}  // namespace tarvin
