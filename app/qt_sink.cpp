#include "app/qt_sink.h"

#include <QCoreApplication>
#include <QLocale>
#include <QPixmap>

#include "app/pictures.h"
#include "app/qt_text.h"
#include "chart/chart_view.h"
#include "words/sensor_words.h"

namespace tarvin {

QString FormatThreshold(float threshold) {
  QLocale locale = QLocale::system();
  locale.setNumberOptions(QLocale::OmitGroupSeparator);
  return locale.toString(static_cast<double>(threshold), 'f', 3);
}

int NoticeEvent(Notice notice) {
  switch (notice) {
    case Notice::LinkLost:
      return kLinkLostEvent;
    case Notice::LinkRestored:
      return kLinkRestoredEvent;
    case Notice::WrongVersion:
      return kWrongVersionEvent;
  }
  return kLinkLostEvent;
}

bool NoticeOfEvent(int type, Notice* notice) {
  for (const Notice each : {Notice::LinkLost, Notice::LinkRestored, Notice::WrongVersion}) {
    if (NoticeEvent(each) != type) continue;
    *notice = each;
    return true;
  }
  return false;
}

QtEngineSink::QtEngineSink(FmainControls& controls, Boxes& boxes, QObject* window, const bool& in_tick,
                           QString work_dir)
    : c_(controls), boxes_(boxes), window_(window), in_tick_(in_tick), work_dir_(std::move(work_dir)) {}

void QtEngineSink::Post(Notice notice) {
  QCoreApplication::postEvent(window_, new QEvent(QEvent::Type(NoticeEvent(notice))));
}

void QtEngineSink::ShowBox(const Message& message) {
  Box box = words::BoxFor(message);
  if (in_tick_) {
    QCoreApplication::postEvent(window_, new DeferredBoxEvent(std::move(box)));
    return;
  }
  boxes_.Inform(box);
}

void QtEngineSink::SetReplyCode(unsigned code) { c_.Panel[kReplyCodePanel]->setText(QString::number(code)); }

void QtEngineSink::SetPortState(const std::string& port, bool open) {
  c_.Panel[kPortPanel]->setText(Q(words::PortStateText(port, open)));
}

void QtEngineSink::SetLinkState(LinkState state) {
  c_.Panel[kLinkPanel]->setText(Q(words::LinkStateText(state)));
}

void QtEngineSink::SetBalance(Balance balance) {
  // Balanced: blue on the button face; unbalanced: yellow on red.
  const bool good = balance == Balance::Balanced;
  QPalette p = c_.LRazbalans->palette();
  p.setColor(QPalette::Window, ColourFromBgr(good ? kClBtnFace : kClRed));
  p.setColor(QPalette::WindowText, ColourFromBgr(good ? kClBlue : kClYellow));
  c_.LRazbalans->setPalette(p);
  c_.LRazbalans->setText(Q(words::BalanceLabel(balance)));
}

void QtEngineSink::SetFirmware(unsigned major, unsigned minor) {
  c_.ENSoft1->setText(QString::number(major));
  c_.ENSoft2->setText(QString::number(minor));
}

void QtEngineSink::SetDirectComponent(int value) { c_.EDirect_component->setText(QString::number(value)); }

void QtEngineSink::SetBufferLength(int value) { c_.EPorog_Buffer_lenght->setText(QString::number(value)); }

void QtEngineSink::SetNetworkAddressRead(unsigned address) {
  c_.NetworkAdrRd->setText(QString::number(address));
  c_.NetworkAdr->setText(QString::number(address));
}

void QtEngineSink::ShowLinkSign(LinkSign picture) {
  const QImage image = LoadPicture(work_dir_, picture);
  const QSize box = c_.ImageSmile->size();
  c_.ImageSmile->setPixmap(
      QPixmap::fromImage(image).scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation));
  shown_ = picture;
}

// The session's schedule (TimerRv's cadence) has already followed.
void QtEngineSink::SetTicking(bool) {
  if (ticking_changed_) ticking_changed_();
}

void QtEngineSink::ShowChartRunning(bool running) {
  c_.BitBtnEnable4pF->setText(running ? QStringLiteral("СТОП") : QStringLiteral("ПУСК"));
  // A running chart scrolls by itself: no zoom, no drag, no file's name.
  c_.Chart4->SetReviewing(!running);
}

void QtEngineSink::ShowSaveOnAlarm(bool enabled) {
  c_.BitBtnEnableSaveChartAlarm->setText(
      enabled ? QStringLiteral("Запретить сохранение осциллограмм по срабатыванию")
              : QStringLiteral("Разрешить сохранение осциллограмм по срабатыванию"));
}

void QtEngineSink::ScopeGrid(float threshold, uint32_t useful, uint32_t input) {
  grid_ = GridValues{threshold, useful, input};
  grid_pending_ = true;
  if (!in_tick_) FlushGrid();
}

void QtEngineSink::FlushGrid() {
  if (!grid_pending_) return;
  grid_pending_ = false;
  c_.StringGrid4pF->item(0, 1)->setText(FormatThreshold(grid_.threshold));
  c_.StringGrid4pF->item(1, 1)->setText(QString::number(grid_.useful));
  c_.StringGrid4pF->item(2, 1)->setText(QString::number(grid_.input));
}

void QtEngineSink::ScopeAddPoints(uint16_t x, const ScopeSample& sample) {
  ++samples_;
  c_.Chart4->AddPoints(x, sample);
}

void QtEngineSink::ScopeClear() { c_.Chart4->ClearSeries(); }

void QtEngineSink::ScopeDropOldest() { c_.Chart4->DropOldest(); }

void QtEngineSink::ScopeAxis(int32_t min, int32_t max) { c_.Chart4->SetLeftAxis(min, max); }

void QtEngineSink::ScopeShowStored(const Oscillogram& stored) {
  c_.Chart4->ShowStored(stored);
  c_.Chart4->ReplotIfDirty();
}

}  // namespace tarvin
