// The machine's local time, as file names and journal lines carry it.
#pragma once

#include <chrono>
#include <string>

namespace tarvin {

// Local date and time to the minute, as file names carry it.
struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0;
};
LocalTime LocalTimeNow();

// "2026-12-07T23:59:01.123+03:00" for `when` in the machine's local time zone.
std::string LocalIsoTime(std::chrono::system_clock::time_point when);

}  // namespace tarvin
