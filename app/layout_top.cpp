// The top group, the status bar, the timers and the shared look helpers.
#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPalette>

#include "app/fmain_controls.h"
#include "app/port_list.h"
#include "chart/fonts.h"
#include "engine/engine_sink.h"

namespace tarvin {

QColor ColourFromBgr(uint32_t bgr) {
  if (bgr == kClBtnFace) return QApplication::palette().color(QPalette::Button);
  return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                static_cast<int>((bgr >> 16) & 0xFF));
}

QLabel* MakeLabel(QWidget* parent, const char* name, const char* text, bool wrap) {
  auto* l = new QLabel(QString::fromUtf8(text), parent);
  l->setObjectName(name);
  l->setWordWrap(wrap);
  return l;
}

QLineEdit* MakeEdit(QWidget* parent, const char* name, const QString& text, int max_length) {
  auto* e = new QLineEdit(text, parent);
  e->setObjectName(name);
  if (max_length > 0) e->setMaxLength(max_length);
  return e;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char* text) {
  auto* b = new QPushButton(QString::fromUtf8(text), parent);
  b->setObjectName(name);
  b->setAutoDefault(false);
  return b;
}

namespace {

// The firmware numbers: shown, never typed into, never reached by Tab.
QLineEdit* MakeFirmwareEdit(QWidget* parent, const char* name) {
  QLineEdit* e = MakeEdit(parent, name, "", 2);
  e->setReadOnly(true);
  e->setFocusPolicy(Qt::ClickFocus);
  e->setFixedWidth(34);
  e->setAlignment(Qt::AlignCenter);
  QPalette p = e->palette();
  p.setColor(QPalette::Base, ColourFromBgr(kClBtnFace));
  e->setPalette(p);
  return e;
}

void BuildNetworkGroup(FmainControls& c) {
  QGroupBox* g = c.GroupBox1;
  g->setFont(SansFont(12, true));
  auto* grid = new QGridLayout(g);
  grid->setContentsMargins(6, 4, 6, 4);
  grid->setVerticalSpacing(4);
  c.NetworkAdr = MakeEdit(g, "NetworkAdr", "1", 5);
  c.NetworkAdrRd = MakeEdit(g, "NetworkAdrRd", "1", 5);
  c.NetworkAdr->setFixedWidth(70);
  c.NetworkAdrRd->setFixedWidth(70);
  QLabel* adr = MakeLabel(g, "NetworkAdrLabel", "NetworkAdr");
  QLabel* adr_rd = MakeLabel(g, "NetworkAdrRdLabel", "NetworkAdrRd");
  adr->setBuddy(c.NetworkAdr);
  adr_rd->setBuddy(c.NetworkAdrRd);
  c.BitBtnWriteNetworkData = MakeButton(g, "BitBtnWriteNetworkData", "Записать адрес");
  c.BitBtnReadNetworkData = MakeButton(g, "BitBtnReadNetworkData", "Прочитать адрес");
  grid->addWidget(c.NetworkAdr, 0, 0);
  grid->addWidget(adr, 0, 1);
  grid->addWidget(c.BitBtnWriteNetworkData, 0, 2);
  grid->addWidget(c.NetworkAdrRd, 1, 0);
  grid->addWidget(adr_rd, 1, 1);
  grid->addWidget(c.BitBtnReadNetworkData, 1, 2);
}

}  // namespace

void BuildTopGroup(QWidget* owner, FmainControls& c) {
  c.GroupBox4 = new QGroupBox(owner);
  c.GroupBox4->setObjectName("GroupBox4");
  c.GroupBox4->setFont(SerifFont(16, true));
  c.GroupBox4->setAutoFillBackground(true);
  QPalette p = c.GroupBox4->palette();
  p.setColor(QPalette::Window, ColourFromBgr(0x00E8E8E8));
  c.GroupBox4->setPalette(p);
  c.GroupBox4->setFixedHeight(140);

  QWidget* g = c.GroupBox4;
  auto* row = new QHBoxLayout(g);
  row->setContentsMargins(8, 6, 8, 6);
  row->setSpacing(8);

  c.Label6 = MakeLabel(g, "Label6", "Версия программы датчика", true);
  c.Label6->setFixedWidth(120);
  c.ENSoft1 = MakeFirmwareEdit(g, "ENSoft1");
  c.ENSoft2 = MakeFirmwareEdit(g, "ENSoft2");
  c.Label6->setBuddy(c.ENSoft1);

  c.Label40 = MakeLabel(g, "Label40", "СОМ-порт");
  c.ComboBox1 = new PortComboBox(g);
  c.ComboBox1->setObjectName("ComboBox1");
  c.ComboBox1->setEditable(false);
  for (int i = 1; i <= 70; ++i) c.ComboBox1->addItem(QStringLiteral("COM%1").arg(i));
  c.ComboBox1->setCurrentIndex(0);
  c.ComboBox1->setMaxVisibleItems(16);
  c.Label40->setBuddy(c.ComboBox1);

  c.Label103 = MakeLabel(g, "Label103", "Постоянная составл. порога", true);
  c.Label103->setFixedWidth(120);
  c.EDirect_component = MakeEdit(g, "EDirect_component", "4");
  c.EDirect_component->setFocusPolicy(Qt::ClickFocus);
  c.EDirect_component->setFixedWidth(60);
  c.Label103->setBuddy(c.EDirect_component);

  c.GroupBox1 = new QGroupBox(QStringLiteral("Работа с  шиной RS-485"), g);
  c.GroupBox1->setObjectName("GroupBox1");
  BuildNetworkGroup(c);

  c.ImageSmile = new QLabel(g);
  c.ImageSmile->setObjectName("ImageSmile");
  c.ImageSmile->setFixedSize(120, 120);
  c.ImageSmile->setAlignment(Qt::AlignCenter);

  c.Label1 = MakeLabel(g, "Label1", "Версия программы комплекта пользователя: 4.0 от 18.06.2019 г.", true);
  c.Label1->setFont(SerifFont(15, true));
  c.Label1->setMinimumWidth(160);

  row->addWidget(c.Label6);
  row->addWidget(c.ENSoft1);
  row->addWidget(c.ENSoft2);
  row->addSpacing(8);
  row->addWidget(c.Label40);
  row->addWidget(c.ComboBox1);
  row->addSpacing(8);
  row->addWidget(c.Label103);
  row->addWidget(c.EDirect_component);
  row->addSpacing(8);
  row->addWidget(c.GroupBox1);
  row->addWidget(c.ImageSmile);
  row->addWidget(c.Label1, 1);
}

void BuildStatusBar(QStatusBar* bar, FmainControls& c) {
  c.StatusBar1 = bar;
  bar->setObjectName("StatusBar1");
  bar->setSizeGripEnabled(true);
  const int widths[5] = {150, 150, 150, 150, 50};
  for (int i = 0; i < 5; ++i) {
    auto* panel = new QLabel(bar);
    panel->setObjectName(QStringLiteral("panel%1").arg(i));
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setFrameShadow(QFrame::Sunken);
    // The last panel holds "Связь восстановлена": 50 pixels at least, and the rest of the bar.
    if (i < 4) {
      panel->setFixedWidth(widths[i]);
      bar->addWidget(panel);
    } else {
      panel->setMinimumWidth(widths[i]);
      bar->addWidget(panel, 1);
    }
    c.Panel[i] = panel;
  }
}

}  // namespace tarvin
