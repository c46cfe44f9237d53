// What the parts of tekstor_bench share: one measurement's time and memory,
// the best of several runs, the sample document, and starting a program
// whose standard output is read back.
#ifndef TEKSTOR_BENCH_MEASURE_H
#define TEKSTOR_BENCH_MEASURE_H

#include <windows.h>
#include <psapi.h>

#include <functional>
#include <string>
#include <vector>

struct Measured {
    double ms = 0;
    SIZE_T before = 0;  // commit charge just before the operation
    SIZE_T peak = 0;    // highest commit charge seen while it ran
};

// Commit charge of a process. (Wine 8 reports PrivateUsage as 0.)
PROCESS_MEMORY_COUNTERS Memory(HANDLE hProcess);

// Times op in this process and samples the commit charge while it runs, so
// that the peak of the operation itself is seen, not one left over from before.
Measured Measure(const std::function<void()>& op);

// The fastest run: the machine is shared, and anything else running can only
// make a run slower, never faster. Memory: the worst of the runs.
Measured Best(std::vector<Measured> runs);

double MB(SIZE_T bytes);

// Handles what the editor's loop would, until nothing is left.
void PumpIdle();

// About 80 characters a line, CR LF, with some bytes of the upper half.
bool MakeDocument(const std::string& path, DWORD cb);

// A file name in the temporary folder.
std::string TempPath(const char* pszName);

// Starts the command line cmd. With phRead, its standard output is a pipe
// whose reading end *phRead gets; without, it gets no standard output at all,
// so that what it would write costs nothing and shows nowhere.
bool StartProgram(const std::string& cmd, PROCESS_INFORMATION* pi, HANDLE* phRead = nullptr);

// All the program wrote to the pipe until it closed it; closes hRead.
std::string ReadToEnd(HANDLE hRead);

std::vector<std::string> SplitLines(const std::string& text);

// The parts of tekstor_bench, by what they measure.
int RunStartupBench(int nStarts);
int RunStartup(const char* pszExe, const char* pszClass, int nRuns);
int RunLoadSaveBench(bool bQuick);
int MeasureSaveWays(const char* pszFile, const char* pszOut, int nRuns);
int RunChild(const std::string& mode, const char* pszFile);

#endif
