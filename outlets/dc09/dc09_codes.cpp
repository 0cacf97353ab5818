#include "outlets/dc09/dc09_codes.h"

#include <regex>

namespace tarvin {

Dc09Codes::Dc09Codes() {
  codes_[static_cast<std::size_t>(Report::AlarmBegin)] = {"BA", "E131"};
  codes_[static_cast<std::size_t>(Report::AlarmEnd)] = {"BH", "R131"};
  codes_[static_cast<std::size_t>(Report::Detection)] = {"BX", "E613"};
  codes_[static_cast<std::size_t>(Report::LinkLost)] = {"BT", "E380"};
  codes_[static_cast<std::size_t>(Report::LinkRestored)] = {"BJ", "R380"};
  codes_[static_cast<std::size_t>(Report::WalkTestBegin)] = {"TS", "E607"};
  codes_[static_cast<std::size_t>(Report::WalkTestEnd)] = {"TE", "R607"};
  codes_[static_cast<std::size_t>(Report::Stopped)] = {"YX", "E308"};
  codes_[static_cast<std::size_t>(Report::Started)] = {"YZ", "R308"};
}

bool Dc09Codes::Set(const std::string& entry, std::string* error) {
  static const std::regex form("([a-z_]+)=([A-Z]{2})/([ER][0-9]{3})");
  std::smatch match;
  if (!std::regex_match(entry, match, form)) {
    *error = "\"" + entry + "\" is not REPORT=SIA/CID, as alarm=BA/E131";
    return false;
  }
  const auto report = ValueIn(kReportNames, match[1].str());
  if (!report) {
    *error = "\"" + match[1].str() +
             "\" is no report: alarm, alarm_end, detection, link_lost, "
             "link_restored, walk_test_begin, walk_test_end, stopped, started";
    return false;
  }
  codes_[static_cast<std::size_t>(*report)] = {match[2].str(), match[3].str()};
  return true;
}

std::optional<Report> ReportOf(const JournalEvent& event) {
  const bool in_walk_test = event.Has("walk_test");
  switch (event.Kind()) {
    case Event::AlarmBegin:
      return in_walk_test ? Report::Detection : Report::AlarmBegin;
    case Event::AlarmEnd:
      if (in_walk_test) return std::nullopt;
      return Report::AlarmEnd;
    case Event::LinkLost:
      return Report::LinkLost;
    case Event::LinkUp:
      return Report::LinkRestored;
    case Event::WalkTestBegin:
      return Report::WalkTestBegin;
    case Event::WalkTestEnd:
      return Report::WalkTestEnd;
    case Event::Stop:
      return Report::Stopped;
    case Event::Start:
      return Report::Started;
    default:
      return std::nullopt;
  }
}

}  // namespace tarvin
