#include "app/save_notice.h"

#include <QLabel>
#include <QStatusBar>
#include <QTimer>

namespace tarvin {

SaveNotice::SaveNotice(QStatusBar* bar) : QObject(bar), label_(new QLabel(bar)), timer_(new QTimer(this)) {
  label_->setObjectName("SaveNotice");
  label_->setFrameShape(QFrame::StyledPanel);
  label_->setFrameShadow(QFrame::Sunken);
  bar->addPermanentWidget(label_);
  label_->hide();
  timer_->setObjectName("SaveNoticeTimer");
  timer_->setSingleShot(true);
  timer_->setInterval(kShownMs);
  connect(timer_, &QTimer::timeout, label_, &QLabel::hide);
}

void SaveNotice::Show(const QString& file_name) {
  label_->setText(QStringLiteral("Осциллограмма сохранена: ") + file_name);
  label_->setToolTip(label_->text());
  label_->show();
  timer_->start();
}

}  // namespace tarvin
