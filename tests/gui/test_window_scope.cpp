// The oscilloscope page: samples on the chart and in the grid, the fields that
// act when left, the manual save's dialog and the opening of a file.
#include <gtest/gtest.h>

#include <QLocale>
#include <filesystem>

#include "app/qt_sink.h"
#include "chart/chart_view.h"
#include "tests/gui/window_rig.h"
#include "tests/support/session_parts.h"

namespace tarvin::testing {
namespace {

ScopeSample Sample(int i) {
  ScopeSample s;
  s.threshold = 10.5f + static_cast<float>(i);
  s.useful = 100u + static_cast<uint32_t>(i);
  s.ekNoise = 7;
  s.ekClimate = static_cast<uint32_t>(i);
  s.input = 4000000000u;
  return s;
}

LocalTime FixedMoment() { return LocalTime{2019, 6, 18, 14, 5}; }

void Append(WindowRig& rig, int first, int count) {
  for (int i = first; i < first + count; ++i)
    SessionParts::Scope(rig.window->Session()).AppendScopeSample(Sample(i));
}

TEST(WindowScope, SamplesFillTheGridAndTheChart) {
  WindowRig rig;
  Append(rig, 0, 3);
  auto* grid = rig.Find<QTableWidget>("StringGrid4pF");
  const QString sep = QLocale::system().decimalPoint();
  EXPECT_EQ(grid->item(0, 1)->text(), QStringLiteral("12") + sep + QStringLiteral("500"));
  EXPECT_EQ(S(grid->item(1, 1)->text()), "102");
  EXPECT_EQ(S(grid->item(2, 1)->text()), "4000000000");  // unsigned, not wrapped to negative
  EXPECT_TRUE(grid->item(3, 1)->text().isEmpty());

  ChartView* chart = rig.window->Controls().Chart4;
  for (Series s :
       {Series::Series8, Series::Series12, Series::Series1, Series::LineSeries7, Series::LineSeries5})
    EXPECT_EQ(chart->PointsOf(s), 3);
  EXPECT_DOUBLE_EQ(chart->Graph(Series::Series12)->data()->at(2)->value, 4000000000.0);
  EXPECT_DOUBLE_EQ(chart->Graph(Series::Series8)->data()->at(0)->value, 10.5);
  // Drawn with the next tick, once.
  EXPECT_TRUE(chart->Dirty());
  rig.window->TimerRvTimer();
  EXPECT_FALSE(chart->Dirty());
}

TEST(WindowScope, ThresholdKeepsThreeDecimalsWithoutGrouping) {
  EXPECT_EQ(FormatThreshold(1234.5f), QStringLiteral("1234") + QLocale::system().decimalPoint() + "500");
  EXPECT_EQ(FormatThreshold(0.0f), QStringLiteral("0") + QLocale::system().decimalPoint() + "000");
}

TEST(WindowScope, ChartNeverHoldsMoreThanTheWindow) {
  WindowRig rig;
  rig.Find<QLineEdit>("EditX")->setText("10");
  ASSERT_TRUE(rig.window->EditXExit());
  ChartView* chart = rig.window->Controls().Chart4;
  for (int i = 0; i < 25; ++i) {
    SessionParts::Scope(rig.window->Session()).AppendScopeSample(Sample(i));
    ASSERT_LE(chart->PointsOf(Series::Series1), 10) << i;
    ASSERT_LE(chart->PointsOf(Series::LineSeries5), 10) << i;
  }
  EXPECT_EQ(chart->PointsOf(Series::Series8), 10);
  // The window shows the newest ten: X from PointCount-10 to PointCount-1.
  EXPECT_DOUBLE_EQ(chart->Graph(Series::Series1)->data()->constBegin()->key, 15);
  EXPECT_DOUBLE_EQ((chart->Graph(Series::Series1)->data()->constEnd() - 1)->key, 24);
  rig.window->TimerRvTimer();
  EXPECT_DOUBLE_EQ(chart->xAxis->range().lower, 15);
  EXPECT_DOUBLE_EQ(chart->xAxis->range().upper, 24);

  // Long after the dropped points have been compacted (every series in its
  // own turn), each series still holds exactly the newest ten, in order.
  for (int i = 25; i < 20000; ++i) SessionParts::Scope(rig.window->Session()).AppendScopeSample(Sample(i));
  for (Series s :
       {Series::Series8, Series::Series12, Series::Series1, Series::LineSeries7, Series::LineSeries5}) {
    const auto data = chart->Graph(s)->data();
    ASSERT_EQ(data->size(), 10);
    for (int k = 0; k < 10; ++k) EXPECT_DOUBLE_EQ((data->constBegin() + k)->key, 19990 + k);
  }
  EXPECT_DOUBLE_EQ((chart->Graph(Series::LineSeries5)->data()->constEnd() - 1)->value, 19999);
}

TEST(WindowScope, FieldsRefuseWrongNumbersAndTakeGoodOnes) {
  WindowRig rig;
  rig.boxes.informed.clear();
  struct Case {
    const char* field;
    const char* text;
    bool accepted;
    const char* message;
  };
  const Case cases[] = {
      {"EditX", "abc", false, "Вы ввели ошибочное число; повторите ввод"},
      {"EditX", "9", false, "Вы ввели ошибочное число. Допуск: 10-5000. Повторите ввод"},
      {"EditX", "5000", true, ""},
      {"EditYmin", "4096", false, "Вы ввели ошибочное число. Допуск:0-4095. Повторите ввод"},
      {"EditYmin", "5", true, ""},
      {"EditYmax", "65536", false, "Вы ввели ошибочное число. Допуск: 0-65535. Повторите ввод"},
      {"EditYmax", "40000", true, ""},
      {"EditValuePorogSaveOscill", "3.9", false, "Число вне допуска (4-4095); повторите ввод"},
      {"EditValuePorogSaveOscill", "4.5", true, ""},
  };
  for (const Case& c : cases) {
    rig.boxes.informed.clear();
    rig.Find<QLineEdit>(c.field)->setText(QString::fromUtf8(c.text));
    bool accepted = false;
    const std::string field = c.field;
    if (field == "EditX") accepted = rig.window->EditXExit();
    if (field == "EditYmin") accepted = rig.window->EditYminExit();
    if (field == "EditYmax") accepted = rig.window->EditYmaxExit();
    if (field == "EditValuePorogSaveOscill") accepted = rig.window->EditValuePorogSaveOscillExit();
    EXPECT_EQ(accepted, c.accepted) << c.field << " " << c.text;
    if (c.accepted) {
      EXPECT_TRUE(rig.boxes.informed.empty()) << c.field << " " << c.text;
    } else {
      ASSERT_EQ(rig.boxes.informed.size(), 1u) << c.field << " " << c.text;
      EXPECT_EQ(rig.boxes.informed[0].text, c.message);
      EXPECT_EQ(rig.boxes.informed[0].caption, kAppTitle);
      EXPECT_EQ(rig.boxes.informed[0].icon, BoxIcon::None);
    }
  }
  EXPECT_EQ(rig.window->Scope().WindowLength(), 5000);
  EXPECT_EQ(rig.window->Controls().Chart4->yAxis->range().lower, 5);
  EXPECT_EQ(rig.window->Controls().Chart4->yAxis->range().upper, 40000);
  EXPECT_FLOAT_EQ(rig.window->Scope().SaveLevel(), 4.5f);
}

TEST(WindowScope, LeavingAFieldForAnotherRunsItsHandler) {
  WindowRig rig;
  rig.window->show();
  rig.window->activateWindow();
  QApplication::setActiveWindow(rig.window.get());
  auto* edit_x = rig.Find<QLineEdit>("EditX");
  auto* edit_ymax = rig.Find<QLineEdit>("EditYmax");
  edit_x->setFocus(Qt::MouseFocusReason);
  if (!edit_x->hasFocus()) GTEST_SKIP() << "the platform gives no focus to an inactive window";
  rig.boxes.informed.clear();
  edit_x->setText("9");
  edit_ymax->setFocus(Qt::MouseFocusReason);
  ASSERT_EQ(rig.boxes.informed.size(), 1u);
  EXPECT_EQ(rig.boxes.informed[0].text, "Вы ввели ошибочное число. Допуск: 10-5000. Повторите ввод");
  QCoreApplication::processEvents();
  EXPECT_TRUE(edit_x->hasFocus());           // put back into the refused field
  EXPECT_EQ(rig.boxes.informed.size(), 1u);  // and EditYmax was not "left"
}

TEST(WindowScope, ManualSaveCancelWritesNothingAndOkWritesTheFile) {
  WindowRig rig;
  rig.window->SetLocalTime(FixedMoment);
  rig.Find<QLineEdit>("EditX")->setText("10");
  ASSERT_TRUE(rig.window->EditXExit());
  Append(rig, 0, 10);
  const auto folder = rig.folder.Path() / "Chart4pF";

  rig.boxes.text_answer.reset();
  rig.window->BitBtnSave4pFClick();
  ASSERT_EQ(rig.boxes.text_asked.size(), 1u);
  EXPECT_EQ(rig.boxes.text_asked[0], "Пожалуйста, назовите сохраняемый файл|Укажите имя файла|");
  EXPECT_TRUE(std::filesystem::is_empty(folder));

  rig.boxes.text_answer = "проба";
  rig.window->BitBtnSave4pFClick();
  EXPECT_EQ(rig.window->Scope().LastSaveName(), "проба");
  const auto file = folder / std::filesystem::u8path("2019.06.18  14 час. 05 мин.  проба.bin");
  ASSERT_TRUE(std::filesystem::exists(file));
  EXPECT_EQ(std::filesystem::file_size(file), 3u + 20u * 10u);

  // The name is offered again next time.
  rig.boxes.text_answer.reset();
  rig.window->BitBtnSave4pFClick();
  EXPECT_EQ(rig.boxes.text_asked.back(), "Пожалуйста, назовите сохраняемый файл|Укажите имя файла|проба");
}

TEST(WindowScope, SaveRefusedBeforeAWholeWindowIsDrawn) {
  WindowRig rig;
  rig.Find<QLineEdit>("EditX")->setText("10");
  ASSERT_TRUE(rig.window->EditXExit());
  Append(rig, 0, 9);
  rig.boxes.informed.clear();
  rig.window->BitBtnSave4pFClick();
  EXPECT_TRUE(rig.boxes.text_asked.empty());
  ASSERT_EQ(rig.boxes.informed.size(), 1u);
  EXPECT_EQ(rig.boxes.informed[0].text, "Число точек, прорисованных на экране, меньше заданному в поле <Х>");
}

TEST(WindowScope, OpeningAFileDrawsItWholeAndStopsTheChart) {
  WindowRig rig;
  rig.window->SetLocalTime(FixedMoment);
  rig.Find<QLineEdit>("EditX")->setText("12");
  ASSERT_TRUE(rig.window->EditXExit());
  Append(rig, 0, 12);
  rig.boxes.text_answer = "a";
  rig.window->BitBtnSave4pFClick();
  rig.Find<QLineEdit>("EditX")->setText("10");
  ASSERT_TRUE(rig.window->EditXExit());

  rig.boxes.open_answer.reset();
  rig.window->BitBtnOpen4pFClick();  // cancelled: nothing happens
  ASSERT_EQ(rig.boxes.open_dirs.size(), 1u);
  EXPECT_EQ(rig.boxes.open_dirs[0], rig.window->Scope().ScopeFolder());
  EXPECT_EQ(rig.window->Controls().Chart4->PointsOf(Series::Series1), 0);

  rig.boxes.open_answer =
      (rig.folder.Path() / "Chart4pF" / std::filesystem::u8path("2019.06.18  14 час. 05 мин.  a.bin"))
          .u8string();
  rig.window->BitBtnOpen4pFClick();
  EXPECT_EQ(rig.window->Controls().Chart4->PointsOf(Series::Series1), 12);
  EXPECT_EQ(S(rig.Find<QPushButton>("BitBtnEnable4pF")->text()), "ПУСК");
  EXPECT_EQ(rig.window->Scope().WindowLength(), 10);
}

}  // namespace
}  // namespace tarvin::testing
