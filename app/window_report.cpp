#include "app/window_report.h"

#include <QCursor>
#include <QDateTime>
#include <QGuiApplication>

#include "app/window_journal.h"
#include "report/model/report_data.h"
#include "report/report_pdf.h"
#include "words/box_words.h"

namespace tarvin {

WindowReport::WindowReport(Boxes& boxes, const WindowJournal* journal, const std::string& folder)
    : boxes_(boxes), journal_(journal), folder_(folder) {}

void WindowReport::Make() {
  if (journal_ == nullptr || !journal_->Events().IsOpen()) {
    boxes_.Inform(Box{BoxIcon::None, kAppTitle, "Журнал событий не ведётся: отчёт составить не из чего."});
    return;
  }
  const std::string name =
      "Отчёт " + QDateTime::currentDateTime().toString("yyyy.MM.dd HH-mm").toStdString() + ".pdf";
  const auto pick = boxes_.AskSaveFile("Отчёт", folder_, name, {"PDF (*.pdf)"});
  if (!pick) return;
  ReportRequest request;
  request.journals = {journal_->Events().Path()};
  std::string reason;
  const std::optional<ReportData> data = GatherReport(request, &reason);
  if (!data) {
    boxes_.Inform(Box{BoxIcon::None, kAppTitle, words::FileFailureText(true, journal_->Events().Path())});
    return;
  }
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);  // a week's journal takes a second
  const FileStatus status =
      WriteReportPdf(*data, request, QStringLiteral("Тарвин-9 %1").arg(kWindowVersion), pick->path, &reason);
  QGuiApplication::restoreOverrideCursor();
  if (status == FileStatus::Ok) return;
  boxes_.Inform(
      Box{BoxIcon::None, kAppTitle, words::FileFailureText(status == FileStatus::CannotOpen, pick->path)});
}

}  // namespace tarvin
