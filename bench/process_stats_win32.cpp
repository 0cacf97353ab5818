#include <windows.h>
// psapi.h needs windows.h first.
#include <psapi.h>

#include "bench/process_stats.h"

namespace tarvin::bench {
namespace {

// FILETIME counts 100 ns steps.
int64_t Hundreds(const FILETIME& t) {
  return static_cast<int64_t>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
}

PROCESS_MEMORY_COUNTERS Memory() {
  PROCESS_MEMORY_COUNTERS m{};
  m.cb = sizeof m;
  if (!::GetProcessMemoryInfo(::GetCurrentProcess(), &m, sizeof m)) m.cb = 0;
  return m;
}

}  // namespace

double ProcessCpuSeconds() {
  FILETIME creation, exit, kernel, user;
  if (!::GetProcessTimes(::GetCurrentProcess(), &creation, &exit, &kernel, &user)) return 0;
  return static_cast<double>(Hundreds(kernel) + Hundreds(user)) * 1e-7;
}

int64_t ThreadCpuNs() {
  FILETIME creation, exit, kernel, user;
  if (!::GetThreadTimes(::GetCurrentThread(), &creation, &exit, &kernel, &user)) return 0;
  return (Hundreds(kernel) + Hundreds(user)) * 100;
}

double MsSinceProcessStart() {
  FILETIME creation, exit, kernel, user, now;
  if (!::GetProcessTimes(::GetCurrentProcess(), &creation, &exit, &kernel, &user)) return 0;
  ::GetSystemTimePreciseAsFileTime(&now);
  return static_cast<double>(Hundreds(now) - Hundreds(creation)) * 1e-4;
}

long long PeakResidentKb() {
  const PROCESS_MEMORY_COUNTERS m = Memory();
  return m.cb ? static_cast<long long>(m.PeakWorkingSetSize / 1024) : -1;
}

long long ResidentKb() {
  const PROCESS_MEMORY_COUNTERS m = Memory();
  return m.cb ? static_cast<long long>(m.WorkingSetSize / 1024) : -1;
}

}  // namespace tarvin::bench
