// Reviewing a stored oscillogram in the window: zoom about the pointer, pan,
// the whole file again, the hover readout, the file's name above the chart,
// and the exports of the chart's context menu. Offscreen, events sent directly.
#include <gtest/gtest.h>

#include <QContextMenuEvent>
#include <QImage>
#include <QLocale>
#include <QMouseEvent>
#include <QWheelEvent>
#include <filesystem>

#include "app/chart_export.h"
#include "chart/chart_cursor.h"
#include "chart/chart_view.h"
#include "scope/oscillogram_csv.h"
#include "tests/gui/window_rig.h"
#include "tests/support/session_parts.h"

namespace tarvin::testing {
namespace {

constexpr uint16_t kCount = 1000;

// A stored file whose sample i has threshold i/2, useful 1000+i, input 3000+i.
std::string StoredFile(const WindowRig& rig) {
  auto h = std::make_unique<ScopeHistoryArrays>();
  for (uint32_t i = 0; i < kCount; ++i) {
    h->threshold[i] = float(i) / 2.0f;
    h->useful[i] = 1000 + i;
    h->ekNoise[i] = 5;
    h->ekClimate[i] = 6;
    h->input[i] = 3000 + i;
  }
  const std::string path = (rig.folder.Path() / "Chart4pF" / "stored.bin").string();
  EXPECT_EQ(WriteOscillogram(path, *h, kCount), FileStatus::Ok);
  return path;
}

class WindowReview : public ::testing::Test {
 protected:
  WindowReview() {
    rig_.window->resize(1217, 843);
    rig_.window->show();
    chart_ = rig_.window->Controls().Chart4;
    rig_.boxes.open_answer = StoredFile(rig_);
    rig_.window->BitBtnOpen4pFClick();
    chart_->replot();             // lays the axis rect out now, as a shown window would
    rig_.boxes.informed.clear();  // the port's, at start-up
  }

  QPoint PixelOf(double sample) const {
    return QPoint(int(std::lround(chart_->xAxis->coordToPixel(sample))), chart_->axisRect()->center().y());
  }
  void Wheel(QPoint at, int notches) {
    QWheelEvent e(at, chart_->mapToGlobal(at), QPoint(), QPoint(0, 120 * notches), Qt::NoButton,
                  Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(chart_, &e);
  }
  void Mouse(QEvent::Type type, QPoint at, Qt::MouseButton button = Qt::LeftButton) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease || type == QEvent::MouseMove
                                      ? Qt::MouseButtons(type == QEvent::MouseMove ? button : Qt::NoButton)
                                      : Qt::MouseButtons(button);
    QMouseEvent e(type, at, chart_->mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : button, held,
                  Qt::NoModifier);
    QApplication::sendEvent(chart_, &e);
  }
  void Drag(QPoint from, QPoint to) {
    Mouse(QEvent::MouseButtonPress, from);
    Mouse(QEvent::MouseMove, to);
    Mouse(QEvent::MouseButtonRelease, to);
  }
  QCPRange X() const { return chart_->xAxis->range(); }
  QAction* Action(const char* name) const { return chart_->ContextMenu()->findChild<QAction*>(name); }

  WindowRig rig_;
  ChartView* chart_ = nullptr;
};

TEST_F(WindowReview, WheelZoomsAboutThePointerDragPansDoubleClickShowsTheWholeFile) {
  EXPECT_EQ(S(chart_->FileTitle()), "stored.bin");
  ASSERT_DOUBLE_EQ(X().lower, 0);
  ASSERT_DOUBLE_EQ(X().upper, kCount - 1);

  // Zooming in about sample 250 keeps sample 250 under the pointer.
  const QPoint at = PixelOf(250);
  Wheel(at, 3);
  const QCPRange zoomed = X();
  EXPECT_LT(zoomed.size(), 0.7 * (kCount - 1));
  EXPECT_NEAR(chart_->xAxis->pixelToCoord(at.x()), 250, 1.0);
  EXPECT_DOUBLE_EQ(chart_->yAxis->range().lower, 0);  // only the bottom axis
  EXPECT_DOUBLE_EQ(chart_->yAxis->range().upper, 100);

  // Dragging to the right shows earlier samples, never past the file's start.
  Drag(PixelOf(250), PixelOf(250) + QPoint(100, 0));
  EXPECT_LT(X().lower, zoomed.lower);
  EXPECT_NEAR(X().size(), zoomed.size(), 1e-6);
  Drag(PixelOf(X().lower), PixelOf(X().lower) + QPoint(2000, 0));
  EXPECT_DOUBLE_EQ(X().lower, 0);

  // However far the wheel goes, ten samples stay in view; zooming out stops at the whole file.
  for (int i = 0; i < 40; ++i) Wheel(PixelOf(500), 5);
  EXPECT_NEAR(X().size(), ChartView::kMinZoomSamples - 1, 1e-9);
  for (int i = 0; i < 40; ++i) Wheel(PixelOf(500), -5);
  EXPECT_DOUBLE_EQ(X().lower, 0);
  EXPECT_DOUBLE_EQ(X().upper, kCount - 1);

  Wheel(PixelOf(800), 4);
  ASSERT_LT(X().size(), kCount - 1);
  Mouse(QEvent::MouseButtonDblClick, PixelOf(800));
  EXPECT_DOUBLE_EQ(X().lower, 0);
  EXPECT_DOUBLE_EQ(X().upper, kCount - 1);
}

TEST_F(WindowReview, RunningChartIgnoresWheelAndDragAndDropsTheTitle) {
  Wheel(PixelOf(250), 3);
  ASSERT_LT(X().size(), kCount - 1);
  // The start of chart transmission, as the sensor commands make it.
  rig_.window->Sink().ShowChartRunning(true);
  EXPECT_FALSE(chart_->Reviewing());
  EXPECT_EQ(chart_->FileTitle(), QString());
  EXPECT_DOUBLE_EQ(X().upper, kCount - 1);  // the zoom forgotten

  const QCPRange before = X();
  Wheel(PixelOf(250), 3);
  Drag(PixelOf(250), PixelOf(250) + QPoint(100, 0));
  Mouse(QEvent::MouseButtonDblClick, PixelOf(250));
  EXPECT_DOUBLE_EQ(X().lower, before.lower);
  EXPECT_DOUBLE_EQ(X().upper, before.upper);

  // Samples scroll the view as they always did.
  SessionParts::Scope(rig_.window->Session()).ResetView();
  for (int i = 0; i < 20; ++i) SessionParts::Scope(rig_.window->Session()).AppendScopeSample(ScopeSample{});
  rig_.window->TimerRvTimer();
  EXPECT_DOUBLE_EQ(X().lower, 0);
  EXPECT_DOUBLE_EQ(X().upper, 19);

  rig_.window->Sink().ShowChartRunning(false);  // stopped: the live window can be reviewed too
  Wheel(PixelOf(10), 3);
  EXPECT_LT(X().size(), 19);
}

TEST_F(WindowReview, HoverShowsTheSampleAndEachVisibleSeriesValue) {
  Wheel(PixelOf(400), 6);
  Mouse(QEvent::MouseMove, PixelOf(401), Qt::NoButton);
  ChartCursor& cursor = chart_->Cursor();
  ASSERT_TRUE(cursor.Visible());
  EXPECT_EQ(cursor.Sample(), 401);
  const QString sep = QLocale::system().decimalPoint();
  EXPECT_EQ(cursor.Text(), QStringLiteral("Отсчёт 401\nПорог: 200") + sep +
                               QStringLiteral("500\nВходной сигнал с СЗ: 3401\nПолезный сигнал: 1401"));

  // A series hidden from the legend leaves the readout.
  chart_->ToggleSeries(Series::Series12);
  Mouse(QEvent::MouseMove, PixelOf(402), Qt::NoButton);
  EXPECT_EQ(cursor.Text(),
            QStringLiteral("Отсчёт 402\nПорог: 201") + sep + QStringLiteral("000\nПолезный сигнал: 1402"));

  // Outside the axis rect, or after leaving the chart: nothing.
  Mouse(QEvent::MouseMove, QPoint(2, 2), Qt::NoButton);
  EXPECT_FALSE(cursor.Visible());
  Mouse(QEvent::MouseMove, PixelOf(402), Qt::NoButton);
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(chart_, &leave);
  EXPECT_FALSE(cursor.Visible());
}

TEST_F(WindowReview, ContextMenuExportsCsvOfBothKindsAndAPicture) {
  const auto actions = chart_->ContextMenu()->actions();
  // The two exports, then the walk test, the event journal and its report behind a separator.
  ASSERT_EQ(actions.size(), 6);
  EXPECT_EQ(S(actions[0]->text()), ChartExport::kPictureAction);
  EXPECT_EQ(S(actions[1]->text()), ChartExport::kCsvAction);
  EXPECT_TRUE(actions[2]->isSeparator());
  EXPECT_EQ(S(actions[3]->text()), "Проверка обнаружения…");
  EXPECT_EQ(S(actions[4]->objectName()), "ActionJournal");
  EXPECT_EQ(S(actions[5]->text()), "Отчёт…");

  Oscillogram stored;
  ASSERT_EQ(ReadOscillogram(*rig_.boxes.open_answer, &stored), FileStatus::Ok);
  const std::string out = rig_.folder.Folder();
  for (int filter : {0, 1}) {
    rig_.boxes.save_answer = SavePick{out + "e.csv", filter};
    Action("ActionExportCsv")->trigger();
    ASSERT_EQ(rig_.boxes.save_filters, (std::vector<std::string>{"CSV для Excel (*.csv)", "CSV (*.csv)"}));
    EXPECT_EQ(rig_.boxes.save_asked.back(),
              "Экспорт в CSV|" + rig_.window->Scope().ScopeFolder() + "|stored.csv");
    const std::vector<uint8_t> bytes = ReadBytes(out + "e.csv");
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()),
              OscillogramCsv(stored, filter == 0 ? CsvKind::Excel : CsvKind::Plain));
  }

  Wheel(PixelOf(300), 3);  // the picture shows the chart as it is, zoomed
  rig_.boxes.save_answer = SavePick{out + "chart.png", 0};
  Action("ActionSavePng")->trigger();
  const QImage image(QString::fromStdString(out + "chart.png"));
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.size(), chart_->size());
  EXPECT_TRUE(rig_.boxes.informed.empty()) << rig_.boxes.informed[0].text;

  // Cancel writes nothing; an unwritable place is told in a plain box naming it.
  rig_.boxes.save_answer.reset();
  Action("ActionExportCsv")->trigger();
  const std::string bad = out + "no such folder/x.csv";
  rig_.boxes.save_answer = SavePick{bad, 1};
  Action("ActionExportCsv")->trigger();
  rig_.boxes.save_answer = SavePick{out + "no such folder/x.png", 0};
  Action("ActionSavePng")->trigger();
  ASSERT_EQ(rig_.boxes.informed.size(), 2u);
  EXPECT_EQ(rig_.boxes.informed[0].text, "Файл не удается открыть: " + bad);
  EXPECT_EQ(rig_.boxes.informed[0].caption, kAppTitle);
  EXPECT_EQ(rig_.boxes.informed[0].icon, BoxIcon::None);
  EXPECT_EQ(rig_.boxes.informed[1].text, "Файл не удается открыть: " + out + "no such folder/x.png");
  // Beside the window's own journal: the two exports, no temporary file left.
  EXPECT_EQ(rig_.folder.Files(), (std::vector<std::string>{"chart.png", "e.csv", "journal.jsonl"}));
}

TEST_F(WindowReview, LiveWindowExportsItsOwnSamplesWithTheirNumbers) {
  rig_.window->Sink().ShowChartRunning(true);
  rig_.Find<QLineEdit>("EditX")->setText("10");
  ASSERT_TRUE(rig_.window->EditXExit());
  for (uint32_t i = 0; i < 13; ++i) {
    ScopeSample s;
    s.threshold = 1.5f;
    s.useful = i;
    SessionParts::Scope(rig_.window->Session()).AppendScopeSample(s);
  }
  rig_.boxes.save_answer = SavePick{rig_.folder.Folder() + "live.csv", 1};
  Action("ActionExportCsv")->trigger();
  EXPECT_EQ(rig_.boxes.save_asked.back(), "Экспорт в CSV|" + rig_.window->Scope().ScopeFolder() + "|");
  const std::vector<uint8_t> bytes = ReadBytes(rig_.folder.Folder() + "live.csv");
  const std::string text(bytes.begin(), bytes.end());
  EXPECT_EQ(text.rfind("index,threshold,useful,ekNoise,ekClimate,input\r\n3,1.5,3,0,0,0\r\n", 0), 0u) << text;
  EXPECT_NE(text.find("\r\n12,1.5,12,0,0,0\r\n"), std::string::npos);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 11);
}

}  // namespace
}  // namespace tarvin::testing
