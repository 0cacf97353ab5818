// The three pages: the oscilloscope, the link diagnostics and the empty third one.
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QStyle>
#include <QVBoxLayout>

#include "app/fmain_controls.h"
#include "chart/chart_render.h"
#include "chart/chart_view.h"
#include "chart/fonts.h"
#include "scope/scope_model.h"

namespace tarvin {

namespace {

// A field whose value takes effect when it is left: entered by clicking, never by Tab.
QLineEdit* MakeExitField(QWidget* parent, const char* name, const QString& text, int max_length, int width) {
  QLineEdit* e = MakeEdit(parent, name, text, max_length);
  e->setFocusPolicy(Qt::ClickFocus);
  e->setFixedWidth(width);
  return e;
}

QTableWidget* MakeGrid(QWidget* parent) {
  auto* grid = new QTableWidget(12, 2, parent);
  grid->setObjectName("StringGrid4pF");
  grid->horizontalHeader()->setVisible(false);
  grid->verticalHeader()->setVisible(false);
  grid->setColumnWidth(0, 190);
  grid->setColumnWidth(1, 190);
  grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  QPalette p = grid->palette();
  p.setColor(QPalette::Base, ColourFromBgr(0x00C2FEF7));
  grid->setPalette(p);
  grid->setFixedWidth(190 * 2 + 2 * grid->frameWidth() + 2);
  for (int r = 0; r < 12; ++r)
    for (int col = 0; col < 2; ++col) grid->setItem(r, col, new QTableWidgetItem());
  return grid;
}

}  // namespace

void BuildScopePage(FmainControls& c) {
  QWidget* page = c.TabSheet6;
  auto* column = new QVBoxLayout(page);
  column->setContentsMargins(6, 6, 6, 6);

  c.LRazbalans = MakeLabel(page, "LRazbalans", "                           ");  // 27 blanks
  c.LRazbalans->setFont(SerifFont(19, true));
  c.LRazbalans->setAutoFillBackground(true);
  QPalette p = c.LRazbalans->palette();
  p.setColor(QPalette::WindowText, QColor(0, 0, 255));
  c.LRazbalans->setPalette(p);

  c.EditValuePorogSaveOscill =
      MakeExitField(page, "EditValuePorogSaveOscill", QString::number(kSaveLevelDefault), 3, 50);
  c.Label107 = MakeLabel(page, "Label107", "Уровень порога для сохранения осциллограмм");
  c.Label107->setBuddy(c.EditValuePorogSaveOscill);
  c.BitBtnEnableSaveChartAlarm =
      MakeButton(page, "BitBtnEnableSaveChartAlarm", "Разрешить сохранение осциллограмм по срабатыванию");

  auto* first = new QHBoxLayout();
  first->addWidget(c.LRazbalans);
  first->addSpacing(12);
  first->addWidget(c.EditValuePorogSaveOscill);
  first->addWidget(c.Label107);
  first->addStretch(1);
  first->addWidget(c.BitBtnEnableSaveChartAlarm);
  column->addLayout(first);

  c.Label76 = MakeLabel(page, "Label76", " Х");
  c.EditX = MakeExitField(page, "EditX", QString::number(kWindowDefault), 0, 70);
  c.Label77 = MakeLabel(page, "Label77", "Y мин");
  c.EditYmin = MakeExitField(page, "EditYmin", "0", 0, 70);
  c.Label78 = MakeLabel(page, "Label78", "Y макс");
  c.EditYmax = MakeExitField(page, "EditYmax", "100", 0, 70);
  c.Label76->setBuddy(c.EditX);
  c.Label77->setBuddy(c.EditYmin);
  c.Label78->setBuddy(c.EditYmax);
  c.BitBtnEnable4pF = MakeButton(page, "BitBtnEnable4pF", "ПУСК");
  c.BitBtnEnable4pF->setFont(SerifFont(16, true));
  c.BitBtnEnable4pF->setMinimumWidth(90);
  c.BitBtnSave4pF = MakeButton(page, "BitBtnSave4pF", "Сохранить");
  c.BitBtnOpen4pF = MakeButton(page, "BitBtnOpen4pF", "Открыть");
  c.BitBtn2 = MakeButton(page, "BitBtn2", "Обновить");

  auto* second = new QHBoxLayout();
  for (QWidget* w :
       std::initializer_list<QWidget*>{c.Label76, c.EditX, c.Label77, c.EditYmin, c.Label78, c.EditYmax})
    second->addWidget(w);
  second->addSpacing(16);
  for (QWidget* w :
       std::initializer_list<QWidget*>{c.BitBtnEnable4pF, c.BitBtnSave4pF, c.BitBtnOpen4pF, c.BitBtn2})
    second->addWidget(w);
  second->addStretch(1);
  column->addLayout(second);

  c.Chart4 = new ChartView(page);
  c.StringGrid4pF = MakeGrid(page);
  c.StringGrid4pF->setFont(SansFont(13));
  StyleLikeWindow(*c.Chart4);
  // The grid is as tall as its twelve rows.
  c.StringGrid4pF->setFixedHeight(12 * c.StringGrid4pF->verticalHeader()->defaultSectionSize() +
                                  2 * c.StringGrid4pF->frameWidth());
  auto* chart_row = new QHBoxLayout();
  chart_row->addWidget(c.Chart4, 1);
  chart_row->addWidget(c.StringGrid4pF, 0, Qt::AlignTop);
  column->addLayout(chart_row, 1);

  // Sent with the threshold constant; the operator never edits it.
  c.EPorog_Buffer_lenght = MakeExitField(page, "EPorog_Buffer_lenght", "56", 3, 40);
  c.EPorog_Buffer_lenght->setEnabled(false);
  c.EPorog_Buffer_lenght->setVisible(false);
}

void BuildDiagnosticsPage(FmainControls& c) {
  QWidget* page = c.TabSheet2;
  auto* outer = new QVBoxLayout(page);
  auto* grid = new QGridLayout();
  grid->setHorizontalSpacing(12);
  grid->setVerticalSpacing(8);
  outer->addLayout(grid);
  outer->addStretch(1);

  struct Row {
    const char* caption_name;
    const char* caption;
    const char* value_name;
    const char* initial;
    QLabel** value;
  };
  const Row rows[] = {
      {"Label16", "Число принятых от датчика байт =", "N_rv_byte", "0", &c.N_rv_byte},
      {"Label23", "Число принятых от датчика пакетов =", "N_rv_frame", "0", &c.N_rv_frame},
      {"Label18", "Пакет данных от датчика =", "Rv_Frame", "---", &c.Rv_Frame},
      {"Label25", "Число переданных в датчик байт =", "N_tr_byte", "0", &c.N_tr_byte},
      {"Label27", "Число переданных в датчик пакетов = ", "N_tr_frame", "0", &c.N_tr_frame},
      {"Label21", "Пакет данных в датчик =", "Tr_Frame", "---", &c.Tr_Frame},
      {"Label22", "Счётчик ошибок КС=", "KS_ERR", "0", &c.KS_ERR},
      {"Label24", "Счётчик переполнений пр.буф.=", "Overflow_buffer", "0", &c.Overflow_buffer},
      {"Label26", "Счётчик тайм-аутов=", "Time_out", "0", &c.Time_out},
  };
  int r = 0;
  for (const Row& row : rows) {
    QLabel* caption = MakeLabel(page, row.caption_name, row.caption);
    *row.value = MakeLabel(page, row.value_name, row.initial);
    caption->setBuddy(*row.value);
    grid->addWidget(caption, r, 0, Qt::AlignRight);
    grid->addWidget(*row.value, r, 1);
    ++r;
  }
  // The frames keep a fixed width so a long line does not push the page about.
  // The sent frame ends in CR LF: one line high, the break shows nothing.
  for (QLabel* frame : {c.Rv_Frame, c.Tr_Frame}) {
    frame->setFixedWidth(700);
    frame->setFixedHeight(frame->fontMetrics().height() + 2);
    frame->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    frame->setTextFormat(Qt::PlainText);
  }
  c.BitBtn12 = MakeButton(page, "BitBtn12", "Сброс");
  // The style looks this icon up in the desktop's icon theme, 10 to 20 ms of the
  // start-up; the page is hidden at start, so it is fetched when first shown.
  QObject::connect(c.PageControl1, &QTabWidget::currentChanged, c.BitBtn12,
                   [tabs = c.PageControl1, page, button = c.BitBtn12](int index) {
                     if (index != tabs->indexOf(page) || !button->icon().isNull()) return;
                     button->setIcon(page->style()->standardIcon(QStyle::SP_BrowserReload));
                   });
  grid->addWidget(c.BitBtn12, r++, 0, Qt::AlignRight);
  QLabel* caption = MakeLabel(page, "Label34", "Время (мкс) = ");
  c.Label35 = MakeLabel(page, "Label35", "Label35");
  grid->addWidget(caption, r, 0, Qt::AlignRight);
  grid->addWidget(c.Label35, r, 1);
  grid->setColumnStretch(2, 1);
}

}  // namespace tarvin
