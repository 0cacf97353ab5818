#include "osc/osc_report.h"

#include <QApplication>
#include <cstdio>
#include <iostream>

#include "osc/osc_outputs.h"
#include "osc/osc_png.h"
#include "osc/osc_usage.h"
#include "report/model/report_data.h"
#include "report/report_pdf.h"

namespace tarvin::osc {
namespace {

// A time as the journal writes it, or a shorter local one.
bool Valid(const std::string& text) { return text.empty() || ParseJournalTime(text).has_value(); }

// A period that ends before it begins, with one of its ends taken from the
// journal: what to say, or empty when the period is sound.
std::string BackwardPeriod(const ReportOptions& o, const ReportData& d) {
  if (d.to >= d.from) return std::string();
  if (o.to.empty())
    return "--from " + o.from + " is after the journal's last line (" + JournalTimeText(d.to, d.zone) + ")";
  return "--to " + o.to + " is before the journal's first line (" + JournalTimeText(d.from, d.zone) + ")";
}

// The report names a missing or damaged oscillogram in its chart's place;
// standard error says it too, as every other command of the program does.
void TellUnreadableFiles(const ReportData& d) {
  for (const ReportFile& f : d.files) {
    Oscillogram o;
    const FileStatus status = ReadOscillogram(f.path, &o);
    if (status != FileStatus::Ok) std::cerr << ReadFailureLine(status, f.path) << "\n";
  }
}

int PdfToStandardOutput(const QByteArray& pdf) {
  const bool written =
      std::fwrite(pdf.constData(), 1, std::size_t(pdf.size()), stdout) == std::size_t(pdf.size());
  if (written && std::fflush(stdout) == 0) return kDone;
  std::cerr << "tarvin9-osc: report: the PDF could not be written to standard output\n";
  return kSomeFailed;
}

}  // namespace

int RunReport(const ReportOptions& o) {
  if (o.output.empty() && !o.json) return Usage("-o REPORT.pdf or --json is needed", "report");
  if (o.output == "-" && o.json)
    return Usage("--json and -o - both write to standard output: choose one", "report");
  if (const std::string refused = RefusedOutput(o.output, false); !refused.empty())
    return Usage(refused, "report");
  const ReportRequest request{o.journals, o.folder, o.from, o.to, o.site, o.sensor, o.title};
  if (!Valid(o.from))
    return Usage("--from " + o.from + ": expected a time such as 2026-12-07T23:00 or 2026-12-07", "report");
  if (!Valid(o.to))
    return Usage("--to " + o.to + ": expected a time such as 2026-12-08T07:00 or 2026-12-08", "report");
  // Both in the same zone, whichever it turns out to be.
  if (!o.from.empty() && !o.to.empty() && *ParseJournalTime(o.from, 0) > *ParseJournalTime(o.to, 0))
    return Usage("--from " + o.from + " is after --to " + o.to, "report");

  // An oscillogram given for a journal would make an empty report of 1970.
  for (const std::string& journal : o.journals)
    if (const std::string why = NotAJournal(journal); !why.empty())
      return Usage(journal + ": " + why, "report");
  std::string error;
  const std::optional<ReportData> data = GatherReport(request, &error);
  if (!data) {
    std::cerr << "tarvin9-osc: " << error << "\n";
    return kSomeFailed;
  }
  if (const std::string backward = BackwardPeriod(o, *data); !backward.empty())
    return Usage(backward, "report");
  TellUnreadableFiles(*data);
  if (o.json) {
    std::cout
        << ReportJson(*data, request).dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
        << "\n";
    // A full disk or a closed pipe under standard output is a failure, not a report.
    if (!std::cout.flush()) {
      std::cerr << "tarvin9-osc: report: the JSON could not be written to standard output\n";
      return kSomeFailed;
    }
  }
  if (o.output.empty()) return kDone;

  const std::unique_ptr<QApplication> app = OffscreenApplication();
  const QString program = QStringLiteral("tarvin9-osc " TARVIN_VERSION);
  if (o.output == "-") return PdfToStandardOutput(ReportPdf(*data, request, program));
  std::string reason;
  const FileStatus written = WriteReportPdf(*data, request, program, o.output, &reason);
  if (written == FileStatus::Ok) return kDone;
  std::cerr << WriteFailureLine(written, o.output, reason) << "\n";
  return kSomeFailed;
}

}  // namespace tarvin::osc
