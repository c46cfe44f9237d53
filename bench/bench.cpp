// Figures for start-up, load and save, each measured against a floor: the
// least any program must do for the same job under the same system. Run by
// scripts/bench; prints a table and asserts nothing. (Find and Replace have
// their own program, find_bench, run by scripts/bench-find.)
//
//   tekstor_bench [--quick] [--startup] [--starts N]
//                                   the whole table, or start-up only; N starts
//                                   of each program (3 quick, else 9)
//   tekstor_bench startup EXE CLASS RUNS
//                                   the start-up of any program
//   tekstor_bench child MODE ARGS   one measurement in a fresh process (the
//                                   save ways: several, on one loaded pane)
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "bench/measure.h"

int main(int argc, char** argv)
{
    if (argc >= 5 && strcmp(argv[1], "startup") == 0)
        return RunStartup(argv[2], argv[3], atoi(argv[4]));
    if (argc >= 6 && strcmp(argv[1], "child") == 0 && strcmp(argv[2], "save-ways") == 0)
        return MeasureSaveWays(argv[3], argv[4], atoi(argv[5]));
    if (argc >= 3 && strcmp(argv[1], "child") == 0)
        return RunChild(argv[2], argc > 3 ? argv[3] : "");
    bool bQuick = false, bStartupOnly = false;
    int nStartRuns = 0;
    for (int i = 1; i < argc; ++i) {
        bQuick = bQuick || strcmp(argv[i], "--quick") == 0;
        bStartupOnly = bStartupOnly || strcmp(argv[i], "--startup") == 0;
        if (strcmp(argv[i], "--starts") == 0 && i + 1 < argc)
            nStartRuns = atoi(argv[++i]);
    }
    const int nStarts = nStartRuns > 0 ? nStartRuns : bQuick ? 3 : 9;
    if (const int nFailed = RunStartupBench(nStarts))
        return nFailed;
    return bStartupOnly ? 0 : RunLoadSaveBench(bQuick);
}
