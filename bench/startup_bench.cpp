// Start-up: the time from CreateProcess until the editor's window is visible
// and idle, against two floors, the least a window program does before it is
// ready for the user: a bare window, and the bare window holding the same
// Edit control as the editor's pane (styles, limit and font). Then where the
// time goes, step by step, and what the pane's scroll bars cost a paint.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "bench/clock.h"
#include "bench/measure.h"
#include "edit/editpane.h"
#include "support/programs.h"

namespace {

// Moments a start-up probe noted (startup_probe, floor_window), in the
// performance counter's milliseconds, with the bench's own start and idle.
struct Moments {
    double start = 0;  // just before CreateProcess
    double idle = 0;   // window visible, nothing left to do
    std::vector<std::pair<std::string, double>> marks;
    double At(const char* pszName) const
    {
        for (const auto& m : marks) {
            if (m.first == pszName)
                return m.second;
        }
        return -1;
    }
};

// From the start of the process until its window is visible and it waits
// for input with nothing left to do. With pMoments, the program's standard
// output is read after it closed: the moments it noted.
bool MeasureStartup(const std::string& exe, const char* pszClass, Measured* m,
                    const std::string& args = "", Moments* pMoments = nullptr)
{
    std::string cmd = "\"" + exe + "\"";
    if (!args.empty())
        cmd += " " + args;
    PROCESS_INFORMATION pi;
    HANDLE hRead = NULL;
    const double t0 = Now();
    if (!StartProgram(cmd, &pi, pMoments ? &hRead : nullptr))
        return false;
    HWND hwnd = NULL;
    bool ok = true;
    for (;;) {
        WaitForInputIdle(pi.hProcess, 10000);
        hwnd = FindProcessWindow(pi.dwProcessId, pszClass, true);
        if (hwnd && WaitForInputIdle(pi.hProcess, 0) == 0)
            break;
        if (Now() - t0 > 20000) {
            ok = false;
            break;
        }
        Sleep(0);
    }
    const double tIdle = Now();
    m->ms = tIdle - t0;
    const PROCESS_MEMORY_COUNTERS pmc = Memory(pi.hProcess);
    m->before = 0;
    m->peak = pmc.PeakPagefileUsage;
    if (hwnd)
        PostMessageA(hwnd, WM_CLOSE, 0, 0);
    std::string out;
    if (hRead && ok)
        out = ReadToEnd(hRead);
    else if (hRead)
        CloseHandle(hRead);
    if (WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0)
        TerminateProcess(pi.hProcess, 99);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    if (pMoments && ok) {
        pMoments->start = t0;
        pMoments->idle = tIdle;
        pMoments->marks.clear();
        for (const std::string& line : SplitLines(out)) {
            char name[32];
            double ms;
            if (sscanf(line.c_str(), "%31s %lf", name, &ms) == 2)
                pMoments->marks.emplace_back(name, ms);
        }
    }
    return ok;
}

// The steps of a start, each from the moment it begins to the moment the
// next one begins. A step a program does not have takes no time in it.
struct Step {
    const char* pszMark;  // the moment the step begins ("" the process's start)
    const char* pszLabel;
};
const Step kSteps[] = {
    {"", "process start"},        // loader, imported libraries, runtime
    {"class", "class registration"},
    {"window", "window"},         // to its WM_CREATE
    {"font", "font"},
    {"pane", "pane"},
    {"show", "show and paint"},   // rest of the window, menu, accelerators, show
    {"loop", "other messages"},   // what the loop handles before the argument string
    {"args", "argument handling"},
    {"idle", "until idle"},
};

double MomentOf(const Moments& mo, size_t iStep)
{
    if (iStep == 0)
        return mo.start;
    for (size_t i = iStep; i < std::size(kSteps); ++i) {
        const double ms = mo.At(kSteps[i].pszMark);
        if (ms >= 0)
            return ms;
    }
    return mo.idle;
}

double StepMs(const Moments& mo, size_t iStep)
{
    return MomentOf(mo, iStep + 1) - MomentOf(mo, iStep);
}

// Where the start-up time goes: the editor's own start (startup_probe, the
// same code and libraries as tekstor.exe) without and with a file name, next
// to the bare window's and to the window with the same pane.
bool PrintStartupBreakdown(const std::string& dir, int nRuns)
{
    const std::string file = TempPath("tekstor_bench_start.txt");
    if (!MakeDocument(file, 1000))
        return false;
    const std::string probe = dir + "\\startup_probe.exe";
    const std::string floor = dir + "\\floor_window.exe";
    struct Start {
        std::string exe;
        const char* pszClass;
        std::string args;
        std::vector<Moments> runs;
    } starts[] = {{probe, "WndClassTekstor", "", {}},
                  {probe, "WndClassTekstor", "\"" + file + "\"", {}},
                  {floor, "FloorWindow", "", {}},
                  {floor, "FloorWindow", "pane", {}},
                  {floor, "FloorWindow", "shell32.dll", {}}};
    // Taken in turns, so that a busy spell of the machine hits all alike.
    for (int i = 0; i < nRuns; ++i) {
        for (Start& s : starts) {
            Measured m;
            Moments mo;
            if (MeasureStartup(s.exe, s.pszClass, &m, s.args, &mo) && !mo.marks.empty())
                s.runs.push_back(mo);
        }
    }
    DeleteFileA(file.c_str());
    for (const Start& s : starts) {
        if (s.runs.empty())
            return false;
    }
    // Each step's best over the runs: a busy spell of the machine lengthens
    // some step of most runs, but seldom the same step of all of them, so the
    // sum of the steps' bests is steadier than the best run's total.
    auto best = [](const std::vector<Moments>& runs, auto measure) {
        double ms = measure(runs[0]);
        for (const Moments& mo : runs)
            ms = std::min(ms, measure(mo));
        return ms;
    };
    auto bestStep = [&](const Start& s, size_t iStep) {
        return best(s.runs, [iStep](const Moments& mo) { return StepMs(mo, iStep); });
    };
    auto bestTotal = [&](const Start& s) {
        return best(s.runs, [](const Moments& mo) { return mo.idle - mo.start; });
    };
    const double msShell =
        best(starts[4].runs, [](const Moments& mo) { return mo.At("library"); });
    const Start& plain = starts[0];
    const Start& named = starts[1];
    const Start& bare = starts[2];
    const Start& paned = starts[3];
    double sums[4] = {};
    printf("\nstart-up breakdown (ms)     tekstor  with a name    floor  floor+pane\n");
    for (size_t i = 0; i < std::size(kSteps); ++i) {
        const double ms[4] = {bestStep(plain, i), bestStep(named, i), bestStep(bare, i),
                              bestStep(paned, i)};
        for (int k = 0; k < 4; ++k)
            sums[k] += ms[k];
        printf("  %-24s %9.1f %12.1f %8.1f %11.1f\n", kSteps[i].pszLabel, ms[0], ms[1], ms[2],
               ms[3]);
    }
    printf("  %-24s %9.1f %12.1f %8.1f %11.1f   %.3fx / %.3fx\n", "sum of the steps", sums[0],
           sums[1], sums[2], sums[3], sums[0] / sums[2], sums[0] / sums[3]);
    printf("  %-24s %9.1f %12.1f %8.1f %11.1f   %.3fx / %.3fx\n", "best run", bestTotal(plain),
           bestTotal(named), bestTotal(bare), bestTotal(paned), bestTotal(plain) / bestTotal(bare),
           bestTotal(plain) / bestTotal(paned));
    printf("  the shell library (SHELL32) alone takes %.1f ms to load into a bare window's\n"
           "  process; tekstor loads %s.\n",
           msShell, plain.runs[0].At("shell32") > 0
                                       ? "it at process start"
                                       : "it only when it first needs it");
    printf("  Each step runs from its start to the next one's; each figure is that step's\n"
           "  best of %d starts. tekstor's window step ends at its WM_CREATE, which\n"
           "  holds the font and the pane; the rest of its creation is in show and paint.\n"
           "  \"with a name\": started with a small file, whose caption needs the shell.\n"
           "  floor+pane: the bare window with the editor's Edit control, styles, limit\n"
           "  and font. Ratios: tekstor to the floor / to floor+pane.\n",
           nRuns);
    return true;
}

// What one paint of a pane costs with its two scroll bars and without them:
// the platform draws them, and under a visual theme that can be most of the
// pane's share of the start. Each pane is painted whole, frame included.
double PanePaintMs(DWORD dwStyle, int nPaints)
{
    HWND hwndFrame = CreateWindowExA(0, "Static", "", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                     CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                     NULL, NULL, GetModuleHandleA(NULL), NULL);
    RECT rc;
    GetClientRect(hwndFrame, &rc);
    HWND hwndPane = CreateWindowExA(0, "Edit", NULL, dwStyle | WS_VISIBLE, 0, 0, rc.right,
                                    rc.bottom, hwndFrame, NULL, GetModuleHandleA(NULL), NULL);
    UpdateWindow(hwndFrame);
    double best = 1e9;
    for (int i = 0; i < nPaints; ++i) {
        const double t0 = Now();
        RedrawWindow(hwndPane, NULL, NULL, RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        best = std::min(best, Now() - t0);
    }
    DestroyWindow(hwndFrame);
    return best;
}

void PrintScrollBarCost()
{
    const double msWith = PanePaintMs(EDIT_STYLE_NOWRAP, 20);
    const double msWithout = PanePaintMs(EDIT_STYLE_NOWRAP & ~(WS_HSCROLL | WS_VSCROLL), 20);
    typedef BOOL(WINAPI * IsThemeActiveFn)();
    HMODULE hTheme = LoadLibraryExA("uxtheme.dll", NULL, LOAD_LIBRARY_SEARCH_SYSTEM32);
    IsThemeActiveFn pfn =
        hTheme ? reinterpret_cast<IsThemeActiveFn>(
                     reinterpret_cast<void*>(GetProcAddress(hTheme, "IsThemeActive")))
               : NULL;
    printf("  One paint of the pane takes %.1f ms with its scroll bars, %.1f ms without\n"
           "  (a visual theme is %s).\n",
           msWith, msWithout, pfn && pfn() ? "active" : "not active");
}

void PrintStartupRow(const char* pszWhat, const Measured& t, const Measured& f)
{
    printf("%-18s %9.1f ms %9.1f ms %+6.1f%%   %8.1f MB %8.1f MB %8.1f MB  (whole process)\n",
           pszWhat, t.ms, f.ms, (t.ms / f.ms - 1.0) * 100.0, MB(t.peak), MB(f.peak),
           MB(t.peak) - MB(f.peak));
}

}  // namespace

int RunStartupBench(int nStarts)
{
    const std::string dir = TestExeDir();
    printf("%-18s %12s %12s %7s   %11s %11s %11s\n", "", "tekstor", "floor", "diff",
           "mem tekstor", "mem floor", "mem diff");
    // Time to an idle, visible window; memory is the whole peak. Taken in
    // turns, so that a busy spell of the machine hits all three alike.
    std::vector<Measured> st, sf, sp;
    for (int i = 0; i < nStarts; ++i) {
        Measured m;
        if (MeasureStartup(dir + "\\tekstor.exe", "WndClassTekstor", &m))
            st.push_back(m);
        if (MeasureStartup(dir + "\\floor_window.exe", "FloorWindow", &m))
            sf.push_back(m);
        if (MeasureStartup(dir + "\\floor_window.exe", "FloorWindow", &m, "pane"))
            sp.push_back(m);
    }
    if (st.empty() || sf.empty() || sp.empty()) {
        fprintf(stderr, "start-up could not be measured\n");
        return 1;
    }
    const Measured t = Best(st), f = Best(sf), p = Best(sp);
    PrintStartupRow("start-up", t, f);
    PrintStartupRow("  to window + pane", t, p);
    printf("start-up ratio (best of %d starts): %.3fx the bare window, %.3fx the window with\n"
           "the same pane (target: within 1.05x of the latter)\n",
           nStarts, t.ms / f.ms, t.ms / p.ms);
    if (!PrintStartupBreakdown(dir, nStarts)) {
        fprintf(stderr, "the start-up breakdown could not be measured\n");
        return 1;
    }
    PrintScrollBarCost();
    return 0;
}

// Start-up of any program: tekstor_bench startup EXE CLASS RUNS
int RunStartup(const char* pszExe, const char* pszClass, int nRuns)
{
    std::vector<Measured> runs;
    for (int i = 0; i < nRuns; ++i) {
        Measured m;
        if (MeasureStartup(pszExe, pszClass, &m))
            runs.push_back(m);
    }
    if (runs.empty())
        return 1;
    const Measured best = Best(runs);
    printf("%s: best of %d %.1f ms, peak %.1f MB\n", pszExe, nRuns, best.ms, MB(best.peak));
    return 0;
}

