#include "report/model/report_data.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>

#include "base/file_io.h"
#include "journal/journal.h"
#include "journal/sensor_fold.h"
#include "journal/walk_test.h"
#include "report/model/report_centre.h"

namespace tarvin {
namespace {

constexpr std::size_t kSkippedNamed = 10;
// A journal's first lines, looked at to tell it from another kind of file.
constexpr int kFirstLines = 10;

bool Exists(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error);
}

// The oscillogram a `saved` event names: in --folder when given, else where
// the journal says (as written, or beside the journal for a relative path).
std::string ResolveFile(const std::string& path, const std::string& journal, const std::string& folder) {
  namespace fs = std::filesystem;
  if (!folder.empty()) return (fs::u8path(folder) / fs::u8path(FileNameOf(path))).u8string();
  const fs::path as_written = fs::u8path(path);
  if (as_written.is_absolute() || Exists(as_written)) return path;
  const fs::path beside = fs::u8path(journal).parent_path() / as_written;
  return Exists(beside) ? beside.u8string() : path;
}

// A figure the report adds up: an absent one counts as nothing.
double Number(const JournalEvent& event, const char* key) { return event.Figure(key).value_or(0.0); }

// Walks the events in order, keeping the state a report needs.
class Gatherer {
 public:
  explicit Gatherer(const ReportRequest& request) : request_(request) {}

  void Line(const std::string& line, const std::string& journal, uint64_t number);
  ReportData Finish();

 private:
  void Take(Event kind, const JournalEvent& e, int64_t t, const std::string& journal);
  void Start(const JournalEvent& e, int64_t t);
  void LinkDown(int64_t t);
  void EndRun(int64_t t);
  void Summary(const JournalEvent& e, int64_t t);
  void WalkTestBegin(const JournalEvent& e, int64_t t);
  void WalkTestEnd(const JournalEvent& e, int64_t t);
  // The period's walk tests, and each detection to its test.
  void KeepWalkTests();
  // The link's up time in the period, and where its share is taken from.
  void TakeLinkShare();
  // A save's file to the alarm that armed it (`alarm_seq`), in this run.
  void PairWithAlarm(const JournalEvent& saved, const std::string& path, int64_t t);
  // An accepted acknowledgement to the alarm it names, in any earlier run.
  void Acknowledged(const JournalEvent& ack, int64_t t);
  void Skip(const std::string& journal, uint64_t number);
  bool InPeriod(int64_t t) const { return t >= data_.from && t <= data_.to; }
  // Settings and firmware as last seen by the period's end.
  bool Seen(int64_t t) const { return !to_ || t <= *to_; }
  void Resolve(std::optional<int> zone);

  const ReportRequest& request_;
  ReportData data_;
  std::vector<std::pair<int64_t, int64_t>> up_;  // link-up spans
  std::vector<int64_t> times_;                   // every event's time, for the period
  std::vector<int64_t> reopened_;
  std::vector<std::pair<int64_t, std::pair<double, double>>> counters_;  // stop: time, errors
  std::optional<int64_t> from_, to_;
  bool resolved_ = false;
  bool in_run_ = false, loss_open_ = false, test_open_ = false;
  // The link, the alarm and the centre's path as the events before the one
  // being taken left them.
  SensorFold fold_;
  CentreTrail centre_;
  int64_t up_since_ = 0, last_ = 0;
  int64_t down_at_ = INT64_MIN;  // the run's last loss of the link or port
};

void Gatherer::Skip(const std::string& journal, uint64_t number) {
  ++data_.skipped;
  if (data_.skipped_where.size() < kSkippedNamed)
    data_.skipped_where.push_back(FileNameOf(journal) + ":" + std::to_string(number));
}

void Gatherer::Line(const std::string& line, const std::string& journal, uint64_t number) {
  if (line.empty()) return;
  const nlohmann::ordered_json json = nlohmann::ordered_json::parse(line, nullptr, false);
  const JournalEvent e(json);
  const std::string name = e.Name();
  const std::string time = name.empty() ? std::string() : e.Text("time");
  const std::optional<int64_t> t = ParseJournalTime(time);
  const std::optional<int> zone = JournalTimeZone(time);
  if (!t || !zone) {
    Skip(journal, number);
    return;
  }
  if (!resolved_) Resolve(zone);
  data_.zone = *zone;
  // A run's events in order; a clock set back never makes a span negative.
  const Event kind = e.Kind();
  const int64_t at = std::max(*t, in_run_ && kind != Event::Start ? last_ : *t);
  times_.push_back(at);
  Take(kind, e, at, journal);
  fold_.Apply(e);
  last_ = at;
}

void Gatherer::Take(Event kind, const JournalEvent& e, int64_t t, const std::string& journal) {
  if (kind == Event::Start) return Start(e, t);
  if (!in_run_) {  // a journal that begins inside a run
    in_run_ = true;
    data_.runs.push_back(ReportRun{t, t, "", "", ""});
  }
  data_.runs.back().end = t;
  centre_.Take(e, t, fold_.CentrePath(), data_.alarms);
  if (kind == Event::LinkUp) {
    if (!fold_.LinkUp()) up_since_ = t;
    if (loss_open_)
      data_.losses.back() = {data_.losses.back().begin, (t - data_.losses.back().begin) / 1000.0, true};
    loss_open_ = false;
    if (!e.Text("firmware").empty() && Seen(t)) data_.firmware = e.Text("firmware");
  } else if (kind == Event::LinkLost || kind == Event::PortClosed) {
    down_at_ = t;
    if (fold_.LinkUp() && kind == Event::LinkLost) {
      data_.losses.push_back({t, 0, false});
      loss_open_ = true;
    }
    LinkDown(t);
  } else if (kind == Event::PortReopened) {
    reopened_.push_back(t);
  } else if (kind == Event::AlarmBegin) {
    ReportAlarm alarm;
    alarm.begin = t;
    alarm.bits = static_cast<unsigned>(Number(e, "alarm_bits"));
    alarm.run = data_.runs.size() - 1;
    alarm.seq = static_cast<uint64_t>(Number(e, "seq"));
    alarm.time = e.Text("time");
    alarm.walk_test = e.Int("walk_test");
    if (alarm.walk_test) alarm.detection = e.Int("detection");
    data_.alarms.push_back(alarm);
  } else if (kind == Event::AlarmEnd) {
    if (fold_.AlarmOpen()) {
      ReportAlarm& alarm = data_.alarms.back();
      alarm.end = t;
      alarm.peak = e.Figure("peak");
      alarm.threshold = e.Figure("threshold");
      alarm.margin = e.Figure("margin");
      alarm.over_threshold_s = e.Figure("over_threshold_s");
    }
  } else if (kind == Event::Ack || kind == Event::AckRefused) {
    data_.runs.back().control_room = true;
    if (kind == Event::Ack) Acknowledged(e, t);
  } else if (kind == Event::WalkTestBegin) {
    WalkTestBegin(e, t);
  } else if (kind == Event::WalkTestEnd) {
    WalkTestEnd(e, t);
  } else if (kind == Event::Saved) {
    const std::string path = ResolveFile(e.Text("path"), journal, request_.folder);
    data_.files.push_back({t, path, e.Text("trigger")});
    if (e.Text("trigger") == "alarm") PairWithAlarm(e, path, t);
  } else if (kind == Event::Summary) {
    Summary(e, t);
  } else if (kind == Event::Stop) {
    const JournalEvent c = e.Part("counters");
    if (c.IsObject()) counters_.push_back({t, {Number(c, "checksum_errors"), Number(c, "timeouts")}});
    data_.runs.back().stop_reason = e.Text("reason").empty() ? "stop" : e.Text("reason");
    EndRun(t);
  }
}

void Gatherer::PairWithAlarm(const JournalEvent& saved, const std::string& path, int64_t t) {
  const nlohmann::ordered_json& seq = saved.Field("alarm_seq");
  if (!seq.is_number_unsigned()) {
    // An older journal does not say which alarm armed the save: the latest one.
    if (!data_.alarms.empty() && data_.alarms.back().file.empty()) data_.alarms.back().file = path;
    return;
  }
  const std::size_t run = data_.runs.size() - 1;
  const auto armed = std::find_if(data_.alarms.rbegin(), data_.alarms.rend(), [&](const ReportAlarm& a) {
    return a.run == run && a.seq == seq.get<uint64_t>();
  });
  if (armed == data_.alarms.rend()) return;
  if (armed->file.empty()) armed->file = path;
  // Alarms begun while it was armed are in the file's second half: up to the
  // save, or to the loss of the link, which ends the samples it holds.
  const int64_t until = down_at_ > armed->begin ? down_at_ : t;
  for (auto a = armed.base(); a != data_.alarms.end(); ++a)
    if (a->file.empty() && a->begin <= until) {
      a->file = path;
      a->saved_with = armed->begin;
    }
}

void Gatherer::Acknowledged(const JournalEvent& e, int64_t t) {
  const nlohmann::ordered_json& seq = e.Field("alarm");
  const std::string time = e.Text("alarm_time");
  if (!seq.is_number_unsigned() || time.empty()) return;
  const auto alarm = std::find_if(data_.alarms.rbegin(), data_.alarms.rend(), [&](const ReportAlarm& a) {
    return a.seq == seq.get<uint64_t>() && a.time == time;
  });
  if (alarm == data_.alarms.rend() || alarm->ack) return;  // the first one stands
  const std::optional<double> seconds = e.Figure("seconds_to_ack");
  alarm->ack = ReportAck{e.Text("operator"), e.Text("comment"), t,
                         seconds.value_or(static_cast<double>(t - alarm->begin) / 1000.0)};
}

void Gatherer::WalkTestBegin(const JournalEvent& e, int64_t t) {
  if (test_open_) data_.tests.back().end = t;  // a second begin: the first one's end was lost
  ReportWalkTest test;
  test.run = data_.runs.size() - 1;
  test.number = e.Int("walk_test").value_or(0);
  test.begin = test.end = t;
  test.note = e.Text("note");
  test.limit_min = e.Figure("limit_min");
  data_.tests.push_back(test);
  test_open_ = true;
}

void Gatherer::WalkTestEnd(const JournalEvent& e, int64_t t) {
  const std::size_t run = data_.runs.size() - 1;
  const int number = e.Int("walk_test").value_or(0);
  if (!test_open_ || data_.tests.back().run != run || data_.tests.back().number != number) {
    if (test_open_) data_.tests.back().end = t;  // another test's end was lost
    // Its begin is not in these journals (one that begins inside the test): it
    // began as long before as the test ran.
    ReportWalkTest test;
    test.run = run;
    test.number = number;
    test.begin = t - std::llround(Number(e, "seconds") * 1000.0);
    data_.tests.push_back(test);
  }
  ReportWalkTest& test = data_.tests.back();
  test.end = t;
  test.ended = true;
  test.reason = e.Text("reason");
  test.detections = static_cast<int>(Number(e, "detections"));
  test.passes = e.Int("passes");
  if (test.passes) {  // counted here too: older journals say no `detected`
    const WalkTestTally tally = TallyWalkTest(*test.passes, test.detections);
    test.detected = tally.detected;
    test.missed = tally.missed;
  }
  test_open_ = false;
}

void Gatherer::Start(const JournalEvent& e, int64_t t) {
  if (in_run_) EndRun(last_);  // the run before ended without `stop`
  in_run_ = true;
  down_at_ = INT64_MIN;
  data_.runs.push_back(ReportRun{t, t, e.Text("port"), e.Text("version"), ""});
  const JournalEvent options = e.Part("options");
  const bool has_options = options.IsObject();
  // A recorder that publishes names its broker (`mqtt` null: it does not).
  if (has_options) data_.runs.back().control_room = !options.Text("mqtt").empty();
  if (!Seen(t)) return;
  if (!e.Text("port").empty()) data_.port = e.Text("port");
  if (has_options && options.Json().contains("save_level"))
    data_.settings["save_level"] = options.Field("save_level");
}

void Gatherer::LinkDown(int64_t t) {
  if (fold_.LinkUp()) up_.push_back({up_since_, t});
}

void Gatherer::EndRun(int64_t t) {
  LinkDown(t);
  centre_.EndRun(t);
  if (loss_open_) data_.losses.back().seconds = (t - data_.losses.back().begin) / 1000.0;
  if (fold_.AlarmOpen() && !data_.alarms.back().end) {
    data_.alarms.back().end = t;
    data_.alarms.back().still_on = true;
  }
  if (test_open_) data_.tests.back().end = t;  // no end journalled: up to the run's last line
  loss_open_ = test_open_ = false;
  in_run_ = false;
}

void Gatherer::Summary(const JournalEvent& e, int64_t t) {
  ReportMinute m;
  m.at = t;
  m.seconds = Number(e, "seconds");
  m.samples = static_cast<uint64_t>(Number(e, "samples"));
  m.lost = static_cast<uint64_t>(Number(e, "lost"));
  m.useful_max = Number(e.Part("useful"), "max");
  m.threshold_min = Number(e.Part("threshold"), "min");
  m.margin_min = Number(e.Part("margin"), "min");
  m.over = static_cast<uint64_t>(Number(e.Part("margin"), "over_threshold"));
  const JournalEvent quiet = e.Part("quiet");
  if (quiet.IsObject()) {
    m.has_quiet = true;
    m.quiet_samples = static_cast<uint64_t>(Number(quiet, "samples"));
    if (m.quiet_samples > 0) {
      m.quiet_margin = quiet.Figure("margin_min");
      m.quiet_useful_max = quiet.Figure("useful_max");
      m.quiet_sd = quiet.Figure("useful_sd");
      m.quiet_mean = quiet.Figure("useful_mean");
    }
  }
  data_.minutes.push_back(m);
  const nlohmann::ordered_json& settings = e.Field("settings");
  if (settings.is_object() && Seen(t))
    for (const auto& item : settings.items())
      if (!item.value().is_null()) data_.settings[item.key()] = item.value();
}

void Gatherer::KeepWalkTests() {
  for (ReportWalkTest& test : data_.tests)
    if (!test.ended)  // nothing journalled its count: the detections seen
      test.detections =
          static_cast<int>(std::count_if(data_.alarms.begin(), data_.alarms.end(), [&](const ReportAlarm& a) {
            return a.run == test.run && a.walk_test == test.number;
          }));
  data_.tests.erase(
      std::remove_if(data_.tests.begin(), data_.tests.end(),
                     [&](const ReportWalkTest& w) { return w.begin > data_.to || w.end < data_.from; }),
      data_.tests.end());
  for (ReportAlarm& a : data_.alarms) {
    if (!a.InTest()) continue;
    const auto test = std::find_if(data_.tests.begin(), data_.tests.end(), [&](const ReportWalkTest& w) {
      return w.run == a.run && w.number == *a.walk_test;
    });
    if (test != data_.tests.end()) a.test = static_cast<std::size_t>(test - data_.tests.begin());
  }
}

void Gatherer::TakeLinkShare() {
  int64_t up_ms = 0;  // summed whole: a sum of fractions would carry float noise
  data_.link_from = data_.to;
  for (const auto& [b, e] : up_) {
    up_ms += std::max<int64_t>(std::min(e, data_.to) - std::max(b, data_.from), 0);
    if (e >= data_.from && b <= data_.to)
      data_.link_from = std::min(data_.link_from, std::max(b, data_.from));
  }
  data_.up_seconds = static_cast<double>(up_ms) / 1000.0;
}

void Gatherer::Resolve(std::optional<int> zone) {
  resolved_ = true;
  if (!request_.from.empty()) from_ = ParseJournalTime(request_.from, zone);
  if (!request_.to.empty()) to_ = ParseJournalTime(request_.to, zone);
}

ReportData Gatherer::Finish() {
  if (in_run_) EndRun(last_);  // it runs still, or ended without a word: up to its last line
  if (!resolved_) {            // nothing in the journals: the period in the machine's own time
    Resolve(std::nullopt);
    data_.zone = JournalTimeZone(LocalIsoTime(std::chrono::system_clock::now())).value_or(0);
  }
  const auto [first, last] = std::minmax_element(times_.begin(), times_.end());
  data_.from = from_ ? *from_ : times_.empty() ? 0 : *first;
  data_.to = to_ ? *to_ : times_.empty() ? data_.from : *last;
  data_.empty = std::none_of(times_.begin(), times_.end(), [this](int64_t t) { return InPeriod(t); });

  TakeLinkShare();
  centre_.Finish(data_);
  TakeQuietMargins(data_.minutes, data_.alarms, data_.tests);
  KeepWalkTests();
  for (ReportAlarm& a : data_.alarms)
    a.to_acknowledge = !a.InTest() && (data_.runs[a.run].control_room || a.ack);
  const auto outside = [this](int64_t t) { return !InPeriod(t); };
  data_.losses.erase(std::remove_if(data_.losses.begin(), data_.losses.end(),
                                    [&](const ReportLoss& l) { return outside(l.begin); }),
                     data_.losses.end());
  data_.alarms.erase(std::remove_if(data_.alarms.begin(), data_.alarms.end(),
                                    [&](const ReportAlarm& a) {
                                      return a.begin > data_.to || a.end.value_or(a.begin) < data_.from;
                                    }),
                     data_.alarms.end());
  data_.minutes.erase(std::remove_if(data_.minutes.begin(), data_.minutes.end(),
                                     [&](const ReportMinute& m) { return outside(m.at); }),
                      data_.minutes.end());
  data_.files.erase(std::remove_if(data_.files.begin(), data_.files.end(),
                                   [&](const ReportFile& f) { return outside(f.at); }),
                    data_.files.end());
  data_.runs.erase(
      std::remove_if(data_.runs.begin(), data_.runs.end(),
                     [&](const ReportRun& r) { return r.start > data_.to || r.end < data_.from; }),
      data_.runs.end());
  data_.reopenings = static_cast<uint64_t>(
      std::count_if(reopened_.begin(), reopened_.end(), [this](int64_t t) { return InPeriod(t); }));
  for (const auto& [t, errors] : counters_) {
    if (!InPeriod(t)) continue;
    data_.counters_known = true;
    data_.checksum_errors += static_cast<uint64_t>(errors.first);
    data_.timeouts += static_cast<uint64_t>(errors.second);
  }
  return std::move(data_);
}

}  // namespace

const ReportMinute* ReportData::WorstMinute() const {
  const auto worst = std::min_element(
      minutes.begin(), minutes.end(),
      [](const ReportMinute& a, const ReportMinute& b) { return a.margin_min < b.margin_min; });
  return worst == minutes.end() ? nullptr : &*worst;
}

ReportTotals ReportData::MinuteTotals() const {
  ReportTotals t;
  for (const ReportMinute& m : minutes) {
    t.samples += m.samples;
    t.lost += m.lost;
    t.over += m.over;
  }
  return t;
}

std::string NotAJournal(const std::string& path) {
  std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
  if (!in) return "cannot be read";
  bool any = false;
  std::string line;
  for (int n = 0; n < kFirstLines && std::getline(in, line); ++n) {
    if (line.empty()) continue;
    any = true;
    const nlohmann::ordered_json json = nlohmann::ordered_json::parse(line, nullptr, false);
    const JournalEvent e(json);
    if (!e.Name().empty() && e.Time()) return std::string();
  }
  if (!any) return std::string();
  return "not an event journal: its first lines are not journal events";
}

std::optional<ReportData> GatherReport(const ReportRequest& request, std::string* error) {
  Gatherer gatherer(request);
  for (const std::string& journal : request.journals) {
    std::ifstream in(std::filesystem::u8path(journal), std::ios::binary);
    if (!in) {
      if (error != nullptr) *error = journal + ": cannot be read";
      return std::nullopt;
    }
    uint64_t number = 0;
    for (std::string line; std::getline(in, line);) gatherer.Line(line, journal, ++number);
    if (in.bad()) {
      if (error != nullptr) *error = journal + ": a read failed";
      return std::nullopt;
    }
  }
  return gatherer.Finish();
}

}  // namespace tarvin
