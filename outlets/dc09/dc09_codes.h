// What the recorder tells an alarm receiving centre, and in which code: each
// report a journal event makes, with its SIA code and its Contact ID event.
// A site may change any of them in its settings (a centre's own table), so
// the defaults below are only where a table starts.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "base/name_table.h"
#include "journal/journal_event.h"

namespace tarvin {

enum class Report {
  AlarmBegin,
  AlarmEnd,
  Detection,  // an alarm inside a walk test: the zone was walked, not broken
  LinkLost,
  LinkRestored,
  WalkTestBegin,
  WalkTestEnd,
  Stopped,  // the recorder stopped by its operator or the service manager
  Started,
};
inline constexpr std::size_t kReportCount = 9;

// The names a settings file gives them (dc09-code=alarm=BA/E131).
inline constexpr NameTable<Report, kReportCount> kReportNames = {{
    {Report::AlarmBegin, "alarm"},
    {Report::AlarmEnd, "alarm_end"},
    {Report::Detection, "detection"},
    {Report::LinkLost, "link_lost"},
    {Report::LinkRestored, "link_restored"},
    {Report::WalkTestBegin, "walk_test_begin"},
    {Report::WalkTestEnd, "walk_test_end"},
    {Report::Stopped, "stopped"},
    {Report::Started, "started"},
}};

// A report's two codes: SIA's two letters ("BA"), Contact ID's qualifier
// and event ("E131": E new, R restore).
struct ReportCode {
  std::string sia;
  std::string cid;
};

class Dc09Codes {
 public:
  Dc09Codes();
  // "alarm=BA/E131": false, with why, for an unknown report or a code that
  // is not two upper-case letters / E or R and three digits.
  bool Set(const std::string& entry, std::string* error);
  const ReportCode& Of(Report report) const { return codes_[static_cast<std::size_t>(report)]; }

 private:
  std::array<ReportCode, kReportCount> codes_;
};

// The report a journal event makes, if any: an alarm inside a walk test is
// a detection, and its end is not reported (the walk is the test).
std::optional<Report> ReportOf(const JournalEvent& event);

}  // namespace tarvin
