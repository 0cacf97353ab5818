// `tarvin9-osc report`: a commissioning report (PDF, and JSON on request)
// from journals and their oscillograms.
#pragma once

#include <string>
#include <vector>

namespace tarvin::osc {

struct ReportOptions {
  std::vector<std::string> journals;
  std::string output;  // the PDF; "-": standard output; empty: none (only --json)
  std::string folder, from, to, site, sensor, title;
  bool json = false;
};

// 0 done, 1 the PDF could not be written or a journal read, 2 bad usage;
// each failure is one line on standard error.
int RunReport(const ReportOptions& options);

}  // namespace tarvin::osc
