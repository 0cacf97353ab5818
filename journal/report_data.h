// What a commissioning report says, gathered from journals: the runs, the
// link, the alarms with their oscillograms and the minute summaries over a
// period. Plain C++: the PDF (report/report_pdf) and the JSON are made from it.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace tarvin {

// Milliseconds since 1970 (UTC) of a journal time such as
// "2026-12-07T23:59:01.123+03:00". Without an offset ("2026-12-07 23:59",
// "2026-12-07T23:59:01", "2026-12-07") it is at `zone` seconds east of UTC,
// or without a zone the machine's local time.
std::optional<int64_t> ParseReportTime(const std::string& text, std::optional<int> zone = std::nullopt);
// The offset from UTC a journal time is written with, in seconds.
std::optional<int> ReportTimeZone(const std::string& text);

struct ReportRequest {
  std::vector<std::string> journals;
  std::string folder;  // where the oscillograms are; empty: where the journal names them
  // The period's ends as given: local time as the journal writes it (its
  // offset from UTC), or with an offset of their own. Empty: the journal's.
  std::string from, to;
  std::string site, sensor, title;
};

// One run of a program: from its `start` to its `stop`, or to its last line
// when it ended without one (a crash, a power cut, or it runs still).
struct ReportRun {
  int64_t start = 0, end = 0;
  std::string port, version, stop_reason;  // stop_reason empty: no `stop`
};

struct ReportLoss {
  int64_t begin = 0;
  double seconds = 0;
  bool ended = false;  // the link came back within the run
};

struct ReportAlarm {
  int64_t begin = 0;
  std::optional<int64_t> end;  // when it ended, or the stop when it was still on then
  bool still_on = false;       // still on when the recording stopped: `end` is the stop
  unsigned bits = 0;
  std::string file;  // the oscillogram that holds its beginning, as resolved; empty: none
  // Set when that file's save was armed by an earlier alarm (its begin), which
  // was still waiting for its second half when this one began.
  std::optional<int64_t> saved_with;
  // Its `alarm_begin` in the journal: which run and `seq`, for the save it armed.
  std::size_t run = 0;
  uint64_t seq = 0;
};

// One summary, as much of it as the report draws.
struct ReportMinute {
  int64_t at = 0;
  double seconds = 0, useful_max = 0, threshold_min = 0, margin_min = 0;
  uint64_t samples = 0, lost = 0, over = 0;
};

struct ReportFile {
  int64_t at = 0;
  std::string path;  // where the report looks for it
  std::string trigger;
};

struct ReportData {
  int64_t from = 0, to = 0;  // the period, as asked or as the journal spans
  int zone = 0;              // the journal's offset from UTC, seconds: its times are shown in it
  bool empty = true;         // no line of the journals falls in the period
  std::vector<ReportRun> runs;
  std::string port, firmware;
  nlohmann::ordered_json settings = nlohmann::ordered_json::object();  // last seen
  double up_seconds = 0;
  std::vector<ReportLoss> losses;
  uint64_t reopenings = 0, checksum_errors = 0, timeouts = 0;
  bool counters_known = false;  // some run in the period ended with `stop`
  std::vector<ReportAlarm> alarms;
  std::vector<ReportMinute> minutes;
  std::vector<ReportFile> files;
  uint64_t skipped = 0;                    // lines that are not a journal's event
  std::vector<std::string> skipped_where;  // "journal.jsonl:17", the first few

  double PeriodSeconds() const { return static_cast<double>(to - from) / 1000.0; }
  // The summary with the smallest margin; none without summaries.
  const ReportMinute* WorstMinute() const;
};

// Reads the journals in the order given. A journal that cannot be read is
// named in *error and nothing else is returned.
std::optional<ReportData> GatherReport(const ReportRequest& request, std::string* error);

// The same data for other tools: times as the journal writes them.
nlohmann::ordered_json ReportJson(const ReportData& data, const ReportRequest& request);

// "2026-12-07T23:59:01.123+03:00" at `zone` seconds east of UTC.
std::string ReportTimeText(int64_t ms, int zone);

}  // namespace tarvin
