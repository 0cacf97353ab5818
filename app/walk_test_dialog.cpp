#include "app/walk_test_dialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <chrono>
#include <cstdio>
#include <optional>

#include "app/boxes.h"
#include "app/fmain_controls.h"
#include "app/journal_words.h"
#include "app/qt_text.h"
#include "chart/fonts.h"
#include "journal/event_tracker.h"
#include "session/sensor_session.h"

namespace tarvin {

namespace {

int IntField(const nlohmann::ordered_json& event, const char* key) {
  return JournalEvent(event).Int(key).value_or(0);
}

// "02:15", or "1:02:15" past an hour (a limit may be a whole day).
std::string Elapsed(double seconds) {
  const long total = seconds > 0 ? static_cast<long>(seconds) : 0;
  char text[32];
  if (total >= 3600)
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
  else
    std::snprintf(text, sizeof text, "%02ld:%02ld", total / 60, total % 60);
  return text;
}

// "23:59:01" of the journal's moment: the test's date is today's.
std::string TimeOfDay(const nlohmann::ordered_json& event) {
  const std::string shown = ShownJournalTime(JournalEvent(event).Text("time"));
  return shown.size() == 19 ? shown.substr(11) : shown;
}

QTableWidgetItem* Cell(const std::string& text, const char* tip = nullptr) {
  auto* item = new QTableWidgetItem(Q(text));
  item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
  if (tip != nullptr) item->setToolTip(QString::fromUtf8(tip));
  return item;
}

constexpr const char* kCaption = "Проверка обнаружения";

}  // namespace

std::string WalkTestRefusalWords(WalkTestRefusal refusal) {
  switch (refusal) {
    case WalkTestRefusal::kNone:
      return "";
    case WalkTestRefusal::kRunning:
      return "проверка уже идёт";
    case WalkTestRefusal::kNotRunning:
      return "проверка не идёт";
    case WalkTestRefusal::kNoLink:
      return "нет связи с датчиком";
    case WalkTestRefusal::kNoteTooLong:
      return "примечание длиннее 200 знаков";
    case WalkTestRefusal::kNoteControl:
      return "в примечании есть управляющие символы";
    case WalkTestRefusal::kNoteNotText:
      return "в примечании есть недопустимые символы";
    case WalkTestRefusal::kPassesRange:
      return "число проходов не целое от 0 до 999";
    case WalkTestRefusal::kLimitRange:
      return "предел не целое число минут от 1 до 1440";
    case WalkTestRefusal::kNoJournal:
      return "журнал событий не ведётся";
  }
  return "";
}

WalkTestDialog::WalkTestDialog(SensorSession& session, Boxes* boxes, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
      session_(session),
      tracker_(session.Tracker()),
      own_boxes_(boxes ? nullptr : std::make_unique<QtBoxes>(this)),
      boxes_(boxes ? boxes : own_boxes_.get()) {
  setObjectName("WalkTestDialog");
  setWindowTitle(QString::fromUtf8(kCaption));
  setFont(SansFont(13));
  if (tracker_ == nullptr) {
    // Tests are made of journal events: without the journal there is none.
    auto* column = new QVBoxLayout(this);
    column->addWidget(MakeLabel(this, "WalkTestState",
                                "Для проверки обнаружения нужен журнал событий, а он выключен.", true));
    resize(520, 120);
    return;
  }
  BuildForm();
  clock_ = new QTimer(this);
  clock_->setInterval(1000);
  connect(clock_, &QTimer::timeout, this, &WalkTestDialog::ShowRunning);
  resize(760, 480);
}

WalkTestDialog::~WalkTestDialog() = default;

void WalkTestDialog::BuildForm() {
  auto* column = new QVBoxLayout(this);

  auto* note_row = new QHBoxLayout;
  QLabel* note_label = MakeLabel(this, "WalkTestNoteLabel", "&Примечание:");
  note_ = MakeEdit(this, "WalkTestNote", "");
  note_->setPlaceholderText(QStringLiteral("где и как: ворота, в полный рост"));
  note_label->setBuddy(note_);
  note_row->addWidget(note_label);
  note_row->addWidget(note_, 1);
  column->addLayout(note_row);

  auto* command_row = new QHBoxLayout;
  QLabel* limit_label = MakeLabel(this, "WalkTestLimitLabel", "П&редел:");
  limit_ = new QSpinBox(this);
  limit_->setObjectName("WalkTestLimit");
  limit_->setRange(1, kWalkTestMaxLimitMin);
  limit_->setValue(kWalkTestDefaultLimitMin);
  limit_->setSuffix(QStringLiteral(" мин"));
  limit_->setToolTip(QStringLiteral("Проверка закончится сама, если её не закончить раньше"));
  limit_label->setBuddy(limit_);
  begin_ = MakeButton(this, "WalkTestBegin", "Начать проверку");
  end_ = MakeButton(this, "WalkTestEnd", "Закончить проверку");
  connect(begin_, &QPushButton::clicked, this, &WalkTestDialog::Begin);
  connect(end_, &QPushButton::clicked, this, &WalkTestDialog::End);
  command_row->addWidget(limit_label);
  command_row->addWidget(limit_);
  command_row->addStretch(1);
  command_row->addWidget(begin_);
  command_row->addWidget(end_);
  column->addLayout(command_row);

  state_ = MakeLabel(this, "WalkTestState", "Проверка не идёт.", true);
  state_->setFont(SansFont(13, true));
  state_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  column->addWidget(state_);
  refusal_ = MakeLabel(this, "WalkTestRefusal", "", true);
  refusal_->setStyleSheet(QStringLiteral("color: #b00000"));
  refusal_->hide();
  column->addWidget(refusal_);

  QLabel* caption = MakeLabel(this, "WalkTestListLabel", "&Обнаружения:");
  table_ = new QTableWidget(0, kColumns, this);
  table_->setObjectName("WalkTestDetections");
  table_->setHorizontalHeaderLabels({QStringLiteral("№"), QStringLiteral("Время"), QStringLiteral("Пик"),
                                     QStringLiteral("Порог"), QStringLiteral("Запас"),
                                     QStringLiteral("Над порогом, с")});
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->verticalHeader()->setVisible(false);
  table_->horizontalHeaderItem(kMargin)->setToolTip(QStringLiteral("Запас обнаружения: пик − порог"));
  const QFontMetrics fm(table_->font());
  table_->setColumnWidth(kNumber, fm.horizontalAdvance(QStringLiteral("999")) + 24);
  table_->setColumnWidth(kTime, fm.horizontalAdvance(QStringLiteral("23:59:59")) + 24);
  for (const int figure : {kPeak, kThreshold, kMargin})
    table_->setColumnWidth(figure, fm.horizontalAdvance(QStringLiteral("−4095,0")) + 32);
  table_->setColumnWidth(kOver, fm.horizontalAdvance(QStringLiteral("Над порогом, с")) + 32);
  caption->setBuddy(table_);
  column->addWidget(caption);
  column->addWidget(table_, 1);
  column->addWidget(MakeLabel(this, "WalkTestHint",
                              "Пик полезного сигнала, порог в момент пика, запас (пик − порог) и время над "
                              "порогом берутся из графика: пока график не передаётся («ПУСК» на вкладке "
                              "«Осциллограф»), они не известны (—).",
                              true));
}

void WalkTestDialog::Begin() {
  if (tracker_ == nullptr) return;
  const WalkTestRefusal refusal =
      session_.BeginWalkTest(note_->text().toStdString(), limit_->value(), std::chrono::steady_clock::now());
  if (refusal != WalkTestRefusal::kNone) return Refuse("Проверка не начата", refusal);
  refusal_->hide();
}

void WalkTestDialog::End() {
  if (tracker_ == nullptr) return;
  if (!tracker_->RunningWalkTest()) return Refuse("Проверка не закончена", WalkTestRefusal::kNotRunning);
  const int number = tracker_->RunningWalkTest()->number;
  const int detections = tracker_->RunningWalkTest()->detections;
  const std::optional<int> passes =
      boxes_->AskNumber(kCaption,
                        "Сколько проходов сделано за проверку № " + std::to_string(number) +
                            "?\nОбнаружено: " + std::to_string(detections) +
                            ". Проход без тревоги будет записан как пропущенный.",
                        detections, 0, kWalkTestMaxPasses);
  if (!passes) return;  // the test goes on
  // While the question was open the test may have ended by itself (its
  // limit, the link lost): that end stands, and is shown already.
  const auto& running = tracker_->RunningWalkTest();
  if (!running || running->number != number) return;
  // A pass detected while the question was open: the count offered was one
  // behind, and taking it as it stood would call fewer passes than were seen.
  const int taken = *passes == detections ? running->detections : *passes;
  const WalkTestRefusal refusal = session_.EndWalkTest(taken, std::chrono::steady_clock::now());
  if (refusal != WalkTestRefusal::kNone) return Refuse("Проверка не закончена", refusal);
  refusal_->hide();
}

void WalkTestDialog::Refuse(const char* what, WalkTestRefusal refusal) {
  refusal_->setText(QString::fromUtf8(what) + QStringLiteral(": ") + Q(WalkTestRefusalWords(refusal)) +
                    QStringLiteral("."));
  refusal_->show();
}

void WalkTestDialog::Add(const nlohmann::ordered_json& event) {
  if (tracker_ == nullptr || !event.is_object()) return;
  const Event kind = JournalEvent(event).Kind();
  const int test = IntField(event, "walk_test");
  if (kind == Event::WalkTestBegin) {
    shown_test_ = test;
    table_->setRowCount(0);
    clock_->start();
    ShowRunning();
    return;
  }
  // Another test's alarm (one that began before this test did) is not listed.
  if (test == 0 || test != shown_test_) return;
  if (kind == Event::AlarmBegin)
    DetectionBegun(event);
  else if (kind == Event::AlarmEnd)
    DetectionEnded(event);
  else if (kind == Event::WalkTestEnd)
    TestEnded(event);
}

int WalkTestDialog::RowOf(int number) {
  const QString key = QString::number(number);
  for (int row = 0; row < table_->rowCount(); ++row)
    if (table_->item(row, kNumber)->text() == key) return row;
  const int row = table_->rowCount();
  table_->insertRow(row);
  table_->setItem(row, kNumber, Cell(key.toStdString()));
  table_->setItem(row, kTime, Cell("—"));
  for (const int figure : {kPeak, kThreshold, kMargin, kOver})
    table_->setItem(row, figure, Cell("…", "тревога ещё идёт: цифры будут по её окончании"));
  table_->scrollToItem(table_->item(row, kNumber));
  return row;
}

void WalkTestDialog::DetectionBegun(const nlohmann::ordered_json& event) {
  const int row = RowOf(IntField(event, "detection"));
  table_->item(row, kTime)->setText(Q(TimeOfDay(event)));
  ShowRunning();
}

void WalkTestDialog::DetectionEnded(const nlohmann::ordered_json& event) {
  const int row = RowOf(IntField(event, "detection"));
  const JournalEvent e(event);
  const auto figure = [&e](const char* key) { return FigureText(e.Field(key)); };
  const char* tip = e.Figure("peak") ? nullptr : "график не передавался: не измерено";
  table_->setItem(row, kPeak, Cell(figure("peak"), tip));
  table_->setItem(row, kThreshold, Cell(figure("threshold"), tip));
  table_->setItem(row, kMargin, Cell(figure("margin"), tip));
  table_->setItem(row, kOver, Cell(figure("over_threshold_s"), tip));
}

void WalkTestDialog::TestEnded(const nlohmann::ordered_json& event) {
  clock_->stop();
  const JournalEvent e(event);
  std::string text = "Проверка № " + std::to_string(shown_test_) + " (" +
                     Elapsed(e.Figure("seconds").value_or(0)) + ") " + WalkTestEndWords(e.Text("reason")) +
                     ": ";
  state_->setText(Q(text + WalkTestCountWords(event) + "."));
}

void WalkTestDialog::ShowRunning() {
  const auto& running = tracker_->RunningWalkTest();
  if (!running || running->number != shown_test_) {
    clock_->stop();
    return;
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - running->begin).count();
  std::string text = "Идёт проверка № " + std::to_string(running->number);
  if (!running->note.empty()) text += " (" + running->note + ")";
  text += ": " + Elapsed(seconds) + " из " + std::to_string(running->limit_min) +
          " мин, обнаружений: " + std::to_string(running->detections);
  state_->setText(Q(text));
}

}  // namespace tarvin
