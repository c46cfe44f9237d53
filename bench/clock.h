// Milliseconds from the performance counter, for the benchmark programs.
#ifndef TEKSTOR_BENCH_CLOCK_H
#define TEKSTOR_BENCH_CLOCK_H

#include <windows.h>

inline double Now()
{
    static LARGE_INTEGER freq;
    if (!freq.QuadPart)
        QueryPerformanceFrequency(&freq);
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(freq.QuadPart);
}

#endif
