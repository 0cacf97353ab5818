// Journal times: ISO 8601 with milliseconds and the offset from UTC, read and
// written without the C library's time zone (a report made elsewhere shows
// the site's own clock).
#include "journal/journal_time.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <regex>

namespace tarvin {
namespace {

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

const std::regex& TimePattern() {
  static const std::regex kTime(
      R"((\d{4})-(\d\d)-(\d\d)(?:[T ](\d\d):(\d\d)(?::(\d\d)(?:\.(\d{1,3})\d*)?)?)?(?:(Z)|([+-])(\d\d):?(\d\d))?)");
  return kTime;
}

}  // namespace

std::optional<int> JournalTimeZone(const std::string& text) {
  std::smatch m;
  if (!std::regex_match(text, m, TimePattern()) || !(m[8].matched || m[9].matched)) return std::nullopt;
  return m[9].matched ? (Field(m, 10) * 3600 + Field(m, 11) * 60) * (m[9] == "-" ? -1 : 1) : 0;
}

std::optional<int64_t> ParseJournalTime(const std::string& text, std::optional<int> zone) {
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
    const int64_t offset = JournalTimeZone(text).value_or(zone.value_or(0));
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

std::string JournalTimeText(int64_t ms, int zone) {
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

}  // namespace tarvin
