#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "bench/process_stats.h"

namespace tarvin::bench {
namespace {

// /proc/self/stat fields 14, 15 (utime, stime) and 22 (starttime), in clock ticks.
struct ProcTimes {
  long long utime = 0, stime = 0, starttime = 0;
};

ProcTimes ReadProcTimes() {
  ProcTimes t;
  std::ifstream in("/proc/self/stat");
  std::string line;
  std::getline(in, line);
  // The command name may hold blanks: fields are counted after its closing bracket.
  std::istringstream rest(line.substr(line.rfind(')') + 2));
  std::string field;
  for (int n = 3; rest >> field; ++n) {
    if (n == 14) t.utime = std::atoll(field.c_str());
    if (n == 15) t.stime = std::atoll(field.c_str());
    if (n == 22) {
      t.starttime = std::atoll(field.c_str());
      break;
    }
  }
  return t;
}

double ClockTicks() { return static_cast<double>(sysconf(_SC_CLK_TCK)); }

long long StatusKb(const char* key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const std::size_t n = std::strlen(key);
  while (std::getline(in, line))
    if (line.compare(0, n, key) == 0) return std::atoll(line.c_str() + n + 1);
  return -1;
}

}  // namespace

double ProcessCpuSeconds() {
  const ProcTimes t = ReadProcTimes();
  return static_cast<double>(t.utime + t.stime) / ClockTicks();
}

int64_t ThreadCpuNs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// /proc gives the start to 1/CLK_TCK s (10 ms), rounded down, so this errs on the long side.
double MsSinceProcessStart() {
  timespec now{};
  clock_gettime(CLOCK_BOOTTIME, &now);
  const double start_s = static_cast<double>(ReadProcTimes().starttime) / ClockTicks();
  return (static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9 - start_s) * 1000.0;
}

long long PeakResidentKb() { return StatusKb("VmHWM:"); }
long long ResidentKb() { return StatusKb("VmRSS:"); }

}  // namespace tarvin::bench
