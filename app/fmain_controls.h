// The controls of the main window by their names, built once by BuildFmain.
// Units that show the engine's state (the sink, the diagnostics) write through
// these pointers; the window owns the widgets.
#pragma once

#include <QAction>
#include <QComboBox>
#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <cstdint>

namespace tarvin {

class ChartView;
class PortComboBox;
class SensorSession;

// Colours as 0x00BBGGRR; kClBtnFace names the system colour of button faces.
constexpr uint32_t kClBtnFace = 0xFF00000Fu;
constexpr uint32_t kClBlue = 0x00FF0000u;
constexpr uint32_t kClRed = 0x000000FFu;
constexpr uint32_t kClYellow = 0x0000FFFFu;

// 0x00BBGGRR as the layout gives colours; kClBtnFace becomes the palette's button colour.
QColor ColourFromBgr(uint32_t bgr);

// Controls carry their names as objectName, so tests and tools find them.
QLabel* MakeLabel(QWidget* parent, const char* name, const char* text, bool wrap = false);
QLineEdit* MakeEdit(QWidget* parent, const char* name, const QString& text, int max_length = 0);
QPushButton* MakeButton(QWidget* parent, const char* name, const char* text);

struct FmainControls {
  // Top group.
  QGroupBox* GroupBox4 = nullptr;
  QLabel* Label6 = nullptr;
  QLineEdit* ENSoft1 = nullptr;
  QLineEdit* ENSoft2 = nullptr;
  QLabel* Label40 = nullptr;
  PortComboBox* ComboBox1 = nullptr;
  QLabel* Label103 = nullptr;
  QLineEdit* EDirect_component = nullptr;
  QGroupBox* GroupBox1 = nullptr;
  QLineEdit* NetworkAdr = nullptr;
  QPushButton* BitBtnWriteNetworkData = nullptr;
  QLineEdit* NetworkAdrRd = nullptr;
  QPushButton* BitBtnReadNetworkData = nullptr;
  QLabel* ImageSmile = nullptr;
  QLabel* Label1 = nullptr;

  // Pages.
  QTabWidget* PageControl1 = nullptr;
  QWidget* TabSheet6 = nullptr;
  QWidget* TabSheet2 = nullptr;
  QWidget* TabSheet4 = nullptr;

  // Oscilloscope page.
  QLabel* LRazbalans = nullptr;
  QLineEdit* EditValuePorogSaveOscill = nullptr;
  QLabel* Label107 = nullptr;
  QLabel* Label76 = nullptr;
  QLineEdit* EditX = nullptr;
  QLabel* Label77 = nullptr;
  QLineEdit* EditYmin = nullptr;
  QLabel* Label78 = nullptr;
  QLineEdit* EditYmax = nullptr;
  QPushButton* BitBtnEnable4pF = nullptr;
  QPushButton* BitBtnSave4pF = nullptr;
  QPushButton* BitBtnOpen4pF = nullptr;
  QPushButton* BitBtn2 = nullptr;
  QPushButton* BitBtnEnableSaveChartAlarm = nullptr;
  ChartView* Chart4 = nullptr;
  QTableWidget* StringGrid4pF = nullptr;
  QLineEdit* EPorog_Buffer_lenght = nullptr;

  // Diagnostics page.
  QLabel* N_rv_byte = nullptr;
  QLabel* N_rv_frame = nullptr;
  QLabel* Rv_Frame = nullptr;
  QLabel* N_tr_byte = nullptr;
  QLabel* N_tr_frame = nullptr;
  QLabel* Tr_Frame = nullptr;
  QLabel* KS_ERR = nullptr;
  QLabel* Overflow_buffer = nullptr;
  QLabel* Time_out = nullptr;
  QPushButton* BitBtn12 = nullptr;
  QLabel* Label35 = nullptr;

  // Status bar: five panels.
  QStatusBar* StatusBar1 = nullptr;
  QLabel* Panel[5] = {};

  // "Журнал событий…": the chart's context menu and F2.
  QAction* ActionJournal = nullptr;
  QAction* ActionReport = nullptr;  // "Отчёт…"
  // "Проверка обнаружения…": the chart's context menu and F3.
  QAction* ActionWalkTest = nullptr;
};

// Builds every control into `central` and the status bar, with names, texts,
// limits, fonts, colours, focus policies and initial states.
void BuildTopGroup(QWidget* owner, FmainControls& c);
void BuildScopePage(FmainControls& c);
void BuildDiagnosticsPage(FmainControls& c);
void BuildStatusBar(QStatusBar* bar, FmainControls& c);
// The timers' views, once the session they show is there.

}  // namespace tarvin
