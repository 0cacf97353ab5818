#include "journal/report_data.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <regex>

#include "base/file_io.h"
#include "journal/journal.h"

namespace tarvin {
namespace {

constexpr std::size_t kSkippedNamed = 10;

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

int Field(const std::smatch& m, int i) { return m[i].matched ? std::stoi(m[i].str()) : 0; }

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

double Number(const nlohmann::json& object, const char* key) {
  const auto it = object.find(key);
  return it != object.end() && it->is_number() ? it->get<double>() : 0.0;
}

double Inner(const nlohmann::json& event, const char* signal, const char* key) {
  const auto it = event.find(signal);
  return it != event.end() && it->is_object() ? Number(*it, key) : 0.0;
}

std::string Text(const nlohmann::json& event, const char* key) {
  const auto it = event.find(key);
  return it != event.end() && it->is_string() ? it->get<std::string>() : std::string();
}

// Walks the events in order, keeping the state a report needs.
class Gatherer {
 public:
  explicit Gatherer(const ReportRequest& request) : request_(request) {}

  void Line(const std::string& line, const std::string& journal, uint64_t number);
  ReportData Finish();

 private:
  void Event(const std::string& name, const nlohmann::json& e, int64_t t, const std::string& journal);
  void Start(const nlohmann::json& e, int64_t t);
  void LinkDown(int64_t t);
  void EndRun(int64_t t);
  void Summary(const nlohmann::json& e, int64_t t);
  // A save's file to the alarm that armed it (`alarm_seq`), in this run.
  void PairWithAlarm(const nlohmann::json& saved, const std::string& path, int64_t t);
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
  bool in_run_ = false, up_now_ = false, loss_open_ = false, alarm_open_ = false;
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
  const nlohmann::json e = nlohmann::json::parse(line, nullptr, false);
  const std::string name = e.is_object() ? Text(e, "event") : std::string();
  const std::string time = name.empty() ? std::string() : Text(e, "time");
  const std::optional<int64_t> t = ParseReportTime(time);
  const std::optional<int> zone = ReportTimeZone(time);
  if (!t || !zone) {
    Skip(journal, number);
    return;
  }
  if (!resolved_) Resolve(zone);
  data_.zone = *zone;
  // A run's events in order; a clock set back never makes a span negative.
  const int64_t at = std::max(*t, in_run_ && name != "start" ? last_ : *t);
  times_.push_back(at);
  Event(name, e, at, journal);
  last_ = at;
}

void Gatherer::Event(const std::string& name, const nlohmann::json& e, int64_t t,
                     const std::string& journal) {
  if (name == "start") return Start(e, t);
  if (!in_run_) {  // a journal that begins inside a run
    in_run_ = true;
    data_.runs.push_back(ReportRun{t, t, "", "", ""});
  }
  data_.runs.back().end = t;
  if (name == "link_up") {
    if (!up_now_) up_since_ = t;
    up_now_ = true;
    if (loss_open_)
      data_.losses.back() = {data_.losses.back().begin, (t - data_.losses.back().begin) / 1000.0, true};
    loss_open_ = false;
    if (!Text(e, "firmware").empty() && Seen(t)) data_.firmware = Text(e, "firmware");
  } else if (name == "link_lost" || name == "port_closed") {
    down_at_ = t;
    if (up_now_ && name == "link_lost") {
      data_.losses.push_back({t, 0, false});
      loss_open_ = true;
    }
    LinkDown(t);
  } else if (name == "port_reopened") {
    reopened_.push_back(t);
  } else if (name == "alarm_begin") {
    ReportAlarm alarm;
    alarm.begin = t;
    alarm.bits = static_cast<unsigned>(Number(e, "alarm_bits"));
    alarm.run = data_.runs.size() - 1;
    alarm.seq = static_cast<uint64_t>(Number(e, "seq"));
    data_.alarms.push_back(alarm);
    alarm_open_ = true;
  } else if (name == "alarm_end") {
    if (alarm_open_) data_.alarms.back().end = t;
    alarm_open_ = false;
  } else if (name == "saved") {
    const std::string path = ResolveFile(Text(e, "path"), journal, request_.folder);
    data_.files.push_back({t, path, Text(e, "trigger")});
    if (Text(e, "trigger") == "alarm") PairWithAlarm(e, path, t);
  } else if (name == "summary") {
    Summary(e, t);
  } else if (name == "stop") {
    const auto c = e.find("counters");
    if (c != e.end() && c->is_object())
      counters_.push_back({t, {Number(*c, "checksum_errors"), Number(*c, "timeouts")}});
    data_.runs.back().stop_reason = Text(e, "reason").empty() ? "stop" : Text(e, "reason");
    EndRun(t);
  }
}

void Gatherer::PairWithAlarm(const nlohmann::json& saved, const std::string& path, int64_t t) {
  const auto seq = saved.find("alarm_seq");
  if (seq == saved.end() || !seq->is_number_unsigned()) {
    // An older journal does not say which alarm armed the save: the latest one.
    if (!data_.alarms.empty() && data_.alarms.back().file.empty()) data_.alarms.back().file = path;
    return;
  }
  const std::size_t run = data_.runs.size() - 1;
  const auto armed = std::find_if(data_.alarms.rbegin(), data_.alarms.rend(), [&](const ReportAlarm& a) {
    return a.run == run && a.seq == seq->get<uint64_t>();
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

void Gatherer::Start(const nlohmann::json& e, int64_t t) {
  if (in_run_) EndRun(last_);  // the run before ended without `stop`
  in_run_ = true;
  down_at_ = INT64_MIN;
  data_.runs.push_back(ReportRun{t, t, Text(e, "port"), Text(e, "version"), ""});
  if (!Seen(t)) return;
  if (!Text(e, "port").empty()) data_.port = Text(e, "port");
  const auto options = e.find("options");
  if (options != e.end() && options->is_object() && options->contains("save_level"))
    data_.settings["save_level"] = (*options)["save_level"];
}

void Gatherer::LinkDown(int64_t t) {
  if (up_now_) up_.push_back({up_since_, t});
  up_now_ = false;
}

void Gatherer::EndRun(int64_t t) {
  LinkDown(t);
  if (loss_open_) data_.losses.back().seconds = (t - data_.losses.back().begin) / 1000.0;
  if (alarm_open_ && !data_.alarms.back().end) {
    data_.alarms.back().end = t;
    data_.alarms.back().still_on = true;
  }
  loss_open_ = alarm_open_ = false;
  in_run_ = false;
}

void Gatherer::Summary(const nlohmann::json& e, int64_t t) {
  ReportMinute m;
  m.at = t;
  m.seconds = Number(e, "seconds");
  m.samples = static_cast<uint64_t>(Number(e, "samples"));
  m.lost = static_cast<uint64_t>(Number(e, "lost"));
  m.useful_max = Inner(e, "useful", "max");
  m.threshold_min = Inner(e, "threshold", "min");
  m.margin_min = Inner(e, "margin", "min");
  m.over = static_cast<uint64_t>(Inner(e, "margin", "over_threshold"));
  data_.minutes.push_back(m);
  const auto settings = e.find("settings");
  if (settings != e.end() && settings->is_object() && Seen(t))
    for (const auto& item : settings->items())
      if (!item.value().is_null()) data_.settings[item.key()] = item.value();
}

void Gatherer::Resolve(std::optional<int> zone) {
  resolved_ = true;
  if (!request_.from.empty()) from_ = ParseReportTime(request_.from, zone);
  if (!request_.to.empty()) to_ = ParseReportTime(request_.to, zone);
}

ReportData Gatherer::Finish() {
  if (in_run_) EndRun(last_);  // it runs still, or ended without a word: up to its last line
  if (!resolved_) {            // nothing in the journals: the period in the machine's own time
    Resolve(std::nullopt);
    data_.zone = ReportTimeZone(LocalIsoTime(std::chrono::system_clock::now())).value_or(0);
  }
  const auto [first, last] = std::minmax_element(times_.begin(), times_.end());
  data_.from = from_ ? *from_ : times_.empty() ? 0 : *first;
  data_.to = to_ ? *to_ : times_.empty() ? data_.from : *last;
  data_.empty = std::none_of(times_.begin(), times_.end(), [this](int64_t t) { return InPeriod(t); });

  int64_t up_ms = 0;  // summed whole: a sum of fractions would carry float noise
  for (const auto& [b, e] : up_)
    up_ms += std::max<int64_t>(std::min(e, data_.to) - std::max(b, data_.from), 0);
  data_.up_seconds = static_cast<double>(up_ms) / 1000.0;
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

const std::regex& TimePattern() {
  static const std::regex kTime(
      R"((\d{4})-(\d\d)-(\d\d)(?:[T ](\d\d):(\d\d)(?::(\d\d)(?:\.(\d{1,3})\d*)?)?)?(?:(Z)|([+-])(\d\d):?(\d\d))?)");
  return kTime;
}

std::optional<int> ReportTimeZone(const std::string& text) {
  std::smatch m;
  if (!std::regex_match(text, m, TimePattern()) || !(m[8].matched || m[9].matched)) return std::nullopt;
  return m[9].matched ? (Field(m, 10) * 3600 + Field(m, 11) * 60) * (m[9] == "-" ? -1 : 1) : 0;
}

std::optional<int64_t> ParseReportTime(const std::string& text, std::optional<int> zone) {
  std::smatch m;
  if (!std::regex_match(text, m, TimePattern())) return std::nullopt;
  const int month = Field(m, 2), day = Field(m, 3), hour = Field(m, 4), minute = Field(m, 5),
            second = Field(m, 6);
  if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60)
    return std::nullopt;
  int millis = 0;
  if (m[7].matched) millis = std::stoi((m[7].str() + "00").substr(0, 3));
  int64_t seconds = 0;
  if (m[8].matched || m[9].matched || zone) {
    const int64_t offset = ReportTimeZone(text).value_or(zone.value_or(0));
    seconds = DaysFromCivil(Field(m, 1), static_cast<unsigned>(month), static_cast<unsigned>(day)) * 86400 +
              hour * 3600 + minute * 60 + second - offset;
  } else {
    std::tm local{};
    local.tm_year = Field(m, 1) - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    seconds = static_cast<int64_t>(std::mktime(&local));
  }
  return seconds * 1000 + millis;
}

std::string ReportTimeText(int64_t ms, int zone) {
  const int64_t local = ms + static_cast<int64_t>(zone) * 1000;
  const int64_t days = (local >= 0 ? local : local - 86399999) / 86400000;
  const int64_t in_day = local - days * 86400000;
  // The civil date of a day count (the inverse of DaysFromCivil).
  const int64_t z = days + 719468, era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097, yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100), mp = (5 * doy + 2) / 153;
  const int64_t day = doy - (153 * mp + 2) / 5 + 1, month = mp < 10 ? mp + 3 : mp - 9;
  const int64_t year = yoe + era * 400 + (month <= 2);
  const int offset = std::abs(zone) / 60;
  const int clock = static_cast<int>(in_day);  // milliseconds into the day
  char text[96];
  std::snprintf(text, sizeof text, "%04lld-%02d-%02dT%02d:%02d:%02d.%03d%c%02d:%02d",
                static_cast<long long>(year), static_cast<int>(month), static_cast<int>(day), clock / 3600000,
                clock / 60000 % 60, clock / 1000 % 60, clock % 1000, zone < 0 ? '-' : '+', offset / 60,
                offset % 60);
  return text;
}

const ReportMinute* ReportData::WorstMinute() const {
  const auto worst = std::min_element(
      minutes.begin(), minutes.end(),
      [](const ReportMinute& a, const ReportMinute& b) { return a.margin_min < b.margin_min; });
  return worst == minutes.end() ? nullptr : &*worst;
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
