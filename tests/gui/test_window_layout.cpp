// The window as built: names, texts, limits, focus, pages, status bar, chart.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>

#include "chart/chart_view.h"
#include "tests/gui/window_rig.h"

namespace tarvin::testing {
namespace {

QString TextOf(QWidget* w) {
  if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
  if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
  if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
  if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
  if (auto* c = qobject_cast<QComboBox*>(w)) return c->currentText();
  return QStringLiteral("<no text>");
}

TEST(WindowLayout, EveryNamedControlCarriesItsText) {
  WindowRig rig;
  const std::pair<const char*, const char*> table[] = {
      {"Label6", "Версия программы датчика"},
      {"ENSoft1", ""},
      {"ENSoft2", ""},
      {"Label40", "СОМ-порт"},
      {"ComboBox1", "COM1"},
      {"Label103", "Постоянная составл. порога"},
      {"EDirect_component", "4"},
      {"GroupBox1", "Работа с  шиной RS-485"},
      {"NetworkAdr", "1"},
      {"BitBtnWriteNetworkData", "Записать адрес"},
      {"NetworkAdrRd", "1"},
      {"BitBtnReadNetworkData", "Прочитать адрес"},
      {"Label1", "Версия программы комплекта пользователя: 4.0 от 18.06.2019 г."},
      {"LRazbalans", "                           "},
      {"EditValuePorogSaveOscill", "40"},
      {"Label107", "Уровень порога для сохранения осциллограмм"},
      {"Label76", " Х"},
      {"EditX", "1000"},
      {"Label77", "Y мин"},
      {"EditYmin", "0"},
      {"Label78", "Y макс"},
      {"EditYmax", "100"},
      {"BitBtnEnable4pF", "ПУСК"},
      {"BitBtnSave4pF", "Сохранить"},
      {"BitBtnOpen4pF", "Открыть"},
      {"BitBtn2", "Обновить"},
      {"BitBtnEnableSaveChartAlarm", "Разрешить сохранение осциллограмм по срабатыванию"},
      {"EPorog_Buffer_lenght", "56"},
      {"Label16", "Число принятых от датчика байт ="},
      {"N_rv_byte", "0"},
      {"Label23", "Число принятых от датчика пакетов ="},
      {"N_rv_frame", "0"},
      {"Label18", "Пакет данных от датчика ="},
      {"Rv_Frame", "---"},
      {"Label25", "Число переданных в датчик байт ="},
      {"N_tr_byte", "0"},
      {"Label27", "Число переданных в датчик пакетов = "},
      {"N_tr_frame", "0"},
      {"Label21", "Пакет данных в датчик ="},
      {"Tr_Frame", "---"},
      {"Label22", "Счётчик ошибок КС="},
      {"KS_ERR", "0"},
      {"Label24", "Счётчик переполнений пр.буф.="},
      {"Overflow_buffer", "0"},
      {"Label26", "Счётчик тайм-аутов="},
      {"Time_out", "0"},
      {"BitBtn12", "Сброс"},
      {"Label34", "Время (мкс) = "},
      {"Label35", "Label35"},
  };
  for (const auto& [name, text] : table) {
    QWidget* w = rig.Find<QWidget>(name);
    ASSERT_NE(w, nullptr) << name;
    EXPECT_EQ(S(TextOf(w)), text) << name;
  }
  EXPECT_EQ(rig.window->objectName(), "Fmain");
  EXPECT_EQ(S(rig.window->windowTitle()), "Программа комплекта пользователя для датчика \"Тарвин-9\"");
}

TEST(WindowLayout, LimitsFocusAndStates) {
  WindowRig rig;
  EXPECT_TRUE(rig.Find<QLineEdit>("ENSoft1")->isReadOnly());
  EXPECT_TRUE(rig.Find<QLineEdit>("ENSoft2")->isReadOnly());
  const std::pair<const char*, int> lengths[] = {{"ENSoft1", 2},
                                                 {"ENSoft2", 2},
                                                 {"NetworkAdr", 5},
                                                 {"NetworkAdrRd", 5},
                                                 {"EditValuePorogSaveOscill", 3},
                                                 {"EPorog_Buffer_lenght", 3}};
  for (const auto& [name, length] : lengths)
    EXPECT_EQ(rig.Find<QLineEdit>(name)->maxLength(), length) << name;

  // Tab never lands in the fields that act when left.
  for (const char* name : {"EditX", "EditYmin", "EditYmax", "EditValuePorogSaveOscill", "EDirect_component",
                           "ENSoft1", "ENSoft2"})
    EXPECT_EQ(rig.Find<QWidget>(name)->focusPolicy(), Qt::ClickFocus) << name;

  auto* hidden = rig.Find<QLineEdit>("EPorog_Buffer_lenght");
  EXPECT_FALSE(hidden->isEnabled());
  EXPECT_TRUE(hidden->isHidden());

  auto* combo = rig.Find<QComboBox>("ComboBox1");
  EXPECT_FALSE(combo->isEditable());
  ASSERT_EQ(combo->count(), 70);
  for (int i = 0; i < 70; ++i) EXPECT_EQ(S(combo->itemText(i)), "COM" + std::to_string(i + 1));

  // Each caption names its field for assistive tools.
  EXPECT_EQ(rig.Find<QLabel>("Label76")->buddy(), rig.Find<QWidget>("EditX"));
  EXPECT_EQ(rig.Find<QLabel>("Label40")->buddy(), combo);
  EXPECT_EQ(rig.Find<QLabel>("Label107")->buddy(), rig.Find<QWidget>("EditValuePorogSaveOscill"));
}

TEST(WindowLayout, WindowPagesAndStatusBar) {
  WindowRig rig;
  TFmain& w = *rig.window;
  EXPECT_EQ(w.size(), QSize(1217, 843));
  EXPECT_EQ(w.minimumSize(), QSize(696, 480));
  EXPECT_FALSE(w.windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(w.windowFlags() & Qt::WindowMinimizeButtonHint);

  auto* pages = rig.Find<QTabWidget>("PageControl1");
  ASSERT_EQ(pages->count(), 3);
  EXPECT_EQ(pages->currentIndex(), 0);
  EXPECT_EQ(S(pages->tabText(0)), "Осциллограф");
  EXPECT_EQ(S(pages->tabText(1)), "Диагностика работы канала связи с датчиком");
  EXPECT_EQ(S(pages->tabText(2)), "");
  EXPECT_FALSE(pages->isTabEnabled(2));
  EXPECT_TRUE(pages->widget(2)->children().isEmpty());

  auto* bar = rig.Find<QStatusBar>("StatusBar1");
  ASSERT_NE(bar, nullptr);
  const int widths[] = {150, 150, 150, 150};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(w.Controls().Panel[i]->width(), widths[i]) << i;
  EXPECT_GE(w.Controls().Panel[4]->minimumWidth(), 50);
  EXPECT_EQ(S(rig.Panel(0)), "0");
  EXPECT_EQ(S(rig.Panel(1)), "0");
  EXPECT_EQ(S(rig.Panel(3)), " Alt+X - выход");

  auto* grid = rig.Find<QTableWidget>("StringGrid4pF");
  ASSERT_EQ(grid->rowCount(), 12);
  ASSERT_EQ(grid->columnCount(), 2);
  EXPECT_EQ(grid->columnWidth(0), 190);
  EXPECT_EQ(grid->palette().color(QPalette::Base), QColor(0xF7, 0xFE, 0xC2));
  EXPECT_EQ(S(grid->item(0, 0)->text()), "Порог");
  EXPECT_EQ(S(grid->item(1, 0)->text()), "Полезный сигнал");
  EXPECT_EQ(S(grid->item(2, 0)->text()), "Вх.сигнал");
  EXPECT_TRUE(grid->item(3, 0)->text().isEmpty());

  // TimerRv, Timer1 and Timer2: the session's cadences, stepped by one timer.
  using Cadence = SessionSchedule::Cadence;
  EXPECT_FALSE(w.Session().Schedule().Running(Cadence::Tick));
  EXPECT_TRUE(w.Session().Schedule().Running(Cadence::Poll));
  EXPECT_TRUE(w.Session().Schedule().Running(Cadence::Countdown));
  EXPECT_EQ(SessionSchedule::kPoll.count(), 1000);
  EXPECT_EQ(SessionSchedule::kCountdown.count(), 500);
  EXPECT_EQ(SessionSchedule::kTick.count(), 40);
}

TEST(WindowLayout, ChartSeriesTitlesColoursAndLegend) {
  WindowRig rig;
  ChartView* chart = rig.window->Controls().Chart4;
  struct Expect {
    Series series;
    const char* title;
    QColor colour;
    bool shown;
  };
  const Expect table[] = {
      {Series::Series12, "Входной сигнал с СЗ", QColor(0, 0, 0), true},
      {Series::Series1, "Полезный сигнал", QColor(0, 0x80, 0x40), true},
      {Series::LineSeries7, "Э-К (эл. помеха)", QColor(0x80, 0, 0), false},
      {Series::LineSeries5, "Э-К (климатика)", QColor(0, 0, 0xFF), false},
  };
  for (const Expect& e : table) {
    QCPGraph* g = chart->Graph(e.series);
    EXPECT_EQ(S(g->name()), e.title);
    EXPECT_EQ(g->pen().color(), e.colour) << e.title;
    EXPECT_EQ(g->pen().width(), 2);
    EXPECT_EQ(g->visible(), e.shown) << e.title;
    EXPECT_EQ(chart->legend->hasItemWithPlottable(g), e.shown) << e.title;
  }
  EXPECT_EQ(S(chart->Graph(Series::Series8)->name()), "Порог");
  EXPECT_EQ(chart->legend->itemCount(), 3);
  EXPECT_EQ(S(chart->xAxis->label()), "Отсчёты");
  EXPECT_EQ(S(chart->yAxis->label()), "Сигнал, [дискр. АЦП]");
  EXPECT_EQ(chart->yAxis->range().lower, 0);
  EXPECT_EQ(chart->yAxis->range().upper, 100);

  // The legend's check box hides and shows its series.
  chart->ToggleSeries(Series::Series12);
  EXPECT_FALSE(chart->Graph(Series::Series12)->visible());
  chart->ToggleSeries(Series::Series12);
  EXPECT_TRUE(chart->Graph(Series::Series12)->visible());
}

}  // namespace
}  // namespace tarvin::testing
