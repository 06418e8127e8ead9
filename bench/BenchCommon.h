#pragma once

// Small shared pieces of the benchmarks: CPU clocks and one way of printing a figure against
// its bound, so scripts/bench can collect the lines as they are.

#include <QtGlobal>
#include <cstdio>
#include <ctime>

namespace rollcall::bench {

inline double processCpuSeconds()
{
    timespec ts {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// "name: value unit (bound B unit, ratio R)": the ratio is value / bound, so below 1 is within.
inline void printAgainstBound(const char *name, double value, const char *unit, double bound)
{
    std::printf("%s: %.3f %s (bound %.3f %s, ratio %.3f)\n", name, value, unit, bound, unit, value / bound);
    std::fflush(stdout);
}

} // namespace rollcall::bench
