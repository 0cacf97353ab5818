// What a commissioning report says, gathered from journals: the runs, the
// link, the walk tests and their detections, the alarms with their
// oscillograms, the minute summaries and the quiet state over a period.
// Plain C++ over the core: the PDF (report/report_pdf) and the JSON are made
// from it; its times are read as the journal writes them (journal/journal_time).
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "journal/journal_time.h"

namespace tarvin {

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
  // A control room could acknowledge its alarms: its `start` names a broker,
  // or an acknowledgement (accepted or refused) came in it.
  bool control_room = false;
};

struct ReportLoss {
  int64_t begin = 0;
  double seconds = 0;
  bool ended = false;  // the link came back within the run
};

// An alarm's accepted acknowledgement, from its `ack`.
struct ReportAck {
  std::string operator_name, comment;
  int64_t at = 0;      // when the recorder took it
  double seconds = 0;  // from the alarm's begin
};

struct ReportAlarm {
  int64_t begin = 0;
  std::string time;            // its `alarm_begin`'s time as journalled: with `seq`, what an `ack` names
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
  // Begun in a walk test: a detection of that test (its number in the run),
  // however long it lasts. None: an alarm outside every test.
  std::optional<int> walk_test, detection;
  std::optional<std::size_t> test;  // its test in ReportData::tests, when that is in the period
  // From its `alarm_end`: the useful signal's peak, the threshold at the
  // peak, peak − threshold, and how long the signal stayed at or over the
  // threshold. None: no chart sample came in it, or an older journal.
  std::optional<double> peak, threshold, margin, over_threshold_s;
  // The first acknowledgement accepted for it, in these journals; none: not acknowledged.
  std::optional<ReportAck> ack;
  // An alarm a control room was asked to acknowledge: outside the walk tests
  // (a detection is the engineer's own), in a run a control room could see.
  bool to_acknowledge = false;
  // When the alarm receiving centre acknowledged its begin (the first such
  // `dc09_acked`, in any later run too); none: not, in these journals.
  std::optional<int64_t> centre_acked;

  bool InTest() const { return walk_test.has_value(); }
};

// A walk test, from its `walk_test_begin` to its `walk_test_end`.
struct ReportWalkTest {
  std::size_t run = 0;  // as ReportAlarm::run
  int number = 0;       // as journalled: from 1 within a run
  int64_t begin = 0;
  int64_t end = 0;  // its `walk_test_end`, or without one the run's last line
  std::string note;
  std::optional<double> limit_min;
  bool ended = false;  // by its `walk_test_end`
  std::string reason;  // operator, limit, stop, link_lost as its end says
  // The passes the operator said were made, those that raised an alarm (a
  // pass that raised two is one) and those that raised none; none when
  // nobody said (ended by its limit, the stop, the link's loss).
  std::optional<int> passes, detected, missed;
  int detections = 0;  // alarms, as its end says, or counted when it has none
};

// One summary, as much of it as the report draws.
struct ReportMinute {
  int64_t at = 0;
  double seconds = 0, useful_max = 0, threshold_min = 0, margin_min = 0;
  uint64_t samples = 0, lost = 0, over = 0;
  bool has_quiet = false;  // it carries `quiet` (older journals' summaries do not)
  uint64_t quiet_samples = 0;
  std::optional<double> quiet_useful_max, quiet_mean, quiet_sd;
  // Its quiet margin as the report takes it: its `quiet` figures', or for a
  // summary without them its margin when no alarm or walk test (nor the 10 s
  // after one) fell in it. None: no quiet sample in it.
  std::optional<double> quiet_margin;
  double quiet_seconds = 0;  // the time its quiet samples stand for
};

// The summaries' counts added up over the period.
struct ReportTotals {
  uint64_t samples = 0, lost = 0, over = 0;
};

// How the quiet figures were taken.
enum class QuietSource {
  None,                    // no summary gave any
  QuietSamples,            // the summaries' `quiet` figures
  SummariesWithoutAlarms,  // older summaries: those with no alarm in them
  Both,                    // journals of both kinds
};

// The quiet state over the period: the samples outside alarms, walk tests
// and the 10 s after either, with the link up.
struct ReportQuiet {
  QuietSource source = QuietSource::None;
  double seconds = 0;
  std::size_t summaries = 0;  // those that gave a quiet margin
  uint64_t samples = 0;       // counted by the summaries with `quiet` figures
  // The smallest quiet margin and the time of its summary; none: no quiet sample.
  std::optional<double> margin_min;
  int64_t margin_min_at = 0;
  std::optional<double> useful_max;
  // The useful signal's deviation over all quiet samples when every summary
  // gave its mean (useful_sd_exact), else within the summaries, pooled over
  // their quiet samples; and the largest one summary had, with its time.
  std::optional<double> useful_sd, useful_sd_max;
  bool useful_sd_exact = false;
  int64_t useful_sd_max_at = 0;
};

// A time no path to the alarm receiving centre answered, within the period:
// from a `dc09_path_down` (or the period's start) to the next `dc09_path_up`,
// or to the end of its run or of the period when none came by then.
struct ReportCentreOutage {
  enum class Since { PathDown, PeriodStart };
  enum class Until { PathUp, RunEnd, PeriodEnd };
  int64_t begin = 0, end = 0;
  Since since = Since::PathDown;
  Until until = Until::PathUp;
  std::string reason;  // the `dc09_path_down`'s, as written

  double Seconds() const { return static_cast<double>(end - begin) / 1000.0; }
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
  // The link's share is taken from here to the period's end: the first time
  // the sensor answered (the time before it, the port opening and the first
  // replies, is no loss); the period's end when it never did.
  int64_t link_from = 0;
  std::vector<ReportLoss> losses;
  uint64_t reopenings = 0, checksum_errors = 0, timeouts = 0;
  bool counters_known = false;  // some run in the period ended with `stop`
  std::vector<ReportAlarm> alarms;
  std::vector<ReportWalkTest> tests;
  std::vector<ReportMinute> minutes;
  std::vector<ReportFile> files;
  // The recorder reported to an alarm receiving centre in the period: one of
  // its `dc09_…` events falls in it, or a time the centre was away covers it.
  bool centre = false;
  std::vector<ReportCentreOutage> centre_outages;
  uint64_t skipped = 0;                    // lines that are not a journal's event
  std::vector<std::string> skipped_where;  // "journal.jsonl:17", the first few

  double PeriodSeconds() const { return static_cast<double>(to - from) / 1000.0; }
  double LinkSeconds() const { return static_cast<double>(to - link_from) / 1000.0; }
  // The summary with the smallest margin; none without summaries.
  const ReportMinute* WorstMinute() const;
  ReportTotals MinuteTotals() const;
  // The detection with the smallest margin; none without a journalled margin.
  const ReportAlarm* WeakestDetection() const;
  std::size_t AlarmsOutsideTests() const;
  ReportQuiet Quiet() const;
  // Some run in the period could be seen by a control room.
  bool ControlRoom() const;
  // Of the alarms to acknowledge: how many, how many were, and the median
  // and longest time to it (none without one).
  std::size_t ToAcknowledge() const;
  std::size_t Acknowledged() const;
  std::optional<double> MedianSecondsToAck() const, LongestSecondsToAck() const;
  // The centre's outages added up.
  double CentreDownSeconds() const;
};

// Each summary's quiet margin as the report takes it (ReportMinute::quiet_margin),
// from the alarms and walk tests around it. Before the period is cut, so an
// alarm just before it still counts.
void TakeQuietMargins(std::vector<ReportMinute>& minutes, const std::vector<ReportAlarm>& alarms,
                      const std::vector<ReportWalkTest>& tests);

// Empty for a file that reads as a journal; else why not, for one whose first
// lines are none of a journal's events (an oscillogram given by mistake). An
// empty file is an empty journal.
std::string NotAJournal(const std::string& path);

// Reads the journals in the order given. A journal that cannot be read is
// named in *error and nothing else is returned.
std::optional<ReportData> GatherReport(const ReportRequest& request, std::string* error);

// The same data for other tools: times as the journal writes them.
nlohmann::ordered_json ReportJson(const ReportData& data, const ReportRequest& request);

}  // namespace tarvin
