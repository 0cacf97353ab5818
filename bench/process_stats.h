// What the window harness reads about its own process: CPU time, age and
// memory. One file per platform (process_stats_linux.cpp from /proc,
// process_stats_win32.cpp from the Win32 process calls), chosen by CMake, so
// the harness is the same program on both.
#pragma once

#include <cstdint>

namespace tarvin::bench {

// User and system CPU time of the whole process so far, in seconds.
double ProcessCpuSeconds();

// CPU time of the calling thread so far, in nanoseconds.
int64_t ThreadCpuNs();

// Milliseconds from the system's record of the process's creation to now.
double MsSinceProcessStart();

// The largest resident set so far (Linux VmHWM, Windows PeakWorkingSetSize)
// and the present one, in KiB; -1 when the system does not say.
long long PeakResidentKb();
long long ResidentKb();

}  // namespace tarvin::bench
