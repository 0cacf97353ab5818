#include "base/local_time.h"

#include <cstdio>
#include <ctime>

namespace tarvin {
namespace {

// Seconds east of UTC of the local time `local` at the moment `t`.
long UtcOffsetSeconds(std::time_t t, const std::tm& local) {
#ifdef _WIN32
  std::tm copy = local;
  const std::time_t as_utc = _mkgmtime(&copy);
  return static_cast<long>(as_utc - t);
#else
  (void)t;
  return local.tm_gmtoff;
#endif
}

}  // namespace

LocalTime LocalTimeNow() {
  const std::time_t now = std::time(nullptr);
  std::tm parts{};
#ifdef _WIN32
  localtime_s(&parts, &now);
#else
  localtime_r(&now, &parts);
#endif
  LocalTime t;
  t.year = parts.tm_year + 1900;
  t.month = parts.tm_mon + 1;
  t.day = parts.tm_mday;
  t.hour = parts.tm_hour;
  t.minute = parts.tm_min;
  return t;
}

std::string LocalIsoTime(std::chrono::system_clock::time_point when) {
  using namespace std::chrono;
  const std::time_t t = system_clock::to_time_t(when);
  auto millis = duration_cast<milliseconds>(when.time_since_epoch()).count() % 1000;
  if (millis < 0) millis += 1000;
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &t);
#else
  localtime_r(&t, &local);
#endif
  const long offset = UtcOffsetSeconds(t, local);
  const long offset_minutes = (offset < 0 ? -offset : offset) / 60;
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02ld:%02ld", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                static_cast<int>(millis), offset < 0 ? '-' : '+', offset_minutes / 60, offset_minutes % 60);
  return text;
}

}  // namespace tarvin
