#include "osc/osc_report.h"

#include <QApplication>
#include <iostream>

#include "report/report_pdf.h"
#include "journal/report_data.h"
#include "osc/osc_png.h"

namespace tarvin::osc {
namespace {

constexpr int kDone = 0, kFailed = 1, kBadUsage = 2;

int Usage(const std::string& message) {
  std::cerr << "tarvin9-osc: report: " << message << " (tarvin9-osc report --help shows the usage)\n";
  return kBadUsage;
}

// A time as the journal writes it, or a shorter local one.
bool Valid(const std::string& text) { return text.empty() || ParseReportTime(text).has_value(); }

}  // namespace

int RunReport(const ReportOptions& o) {
  if (o.output.empty() && !o.json) return Usage("-o REPORT.pdf or --json is needed");
  const ReportRequest request{o.journals, o.folder, o.from, o.to, o.site, o.sensor, o.title};
  if (!Valid(o.from))
    return Usage("--from " + o.from + ": expected a time such as 2026-12-07T23:00 or 2026-12-07");
  if (!Valid(o.to)) return Usage("--to " + o.to + ": expected a time such as 2026-12-08T07:00 or 2026-12-08");
  // Both in the same zone, whichever it turns out to be.
  if (!o.from.empty() && !o.to.empty() && *ParseReportTime(o.from, 0) > *ParseReportTime(o.to, 0))
    return Usage("--from " + o.from + " is after --to " + o.to);

  std::string error;
  const std::optional<ReportData> data = GatherReport(request, &error);
  if (!data) {
    std::cerr << "tarvin9-osc: " << error << "\n";
    return kFailed;
  }
  if (o.json) {
    std::cout
        << ReportJson(*data, request).dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
        << "\n";
    // A full disk or a closed pipe under standard output is a failure, not a report.
    if (!std::cout.flush()) {
      std::cerr << "tarvin9-osc: report: the JSON could not be written to standard output\n";
      return kFailed;
    }
  }
  if (o.output.empty()) return kDone;

  const std::unique_ptr<QApplication> app = OffscreenApplication();
  std::string reason;
  const FileStatus written =
      WriteReportPdf(*data, request, QStringLiteral("tarvin9-osc " TARVIN_VERSION), o.output, &reason);
  if (written == FileStatus::Ok) return kDone;
  std::cerr << FileFailureText(written == FileStatus::CannotOpen, o.output) << " (" << reason << ")\n";
  return kFailed;
}

}  // namespace tarvin::osc
