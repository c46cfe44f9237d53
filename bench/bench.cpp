// Figures for start-up, load and save, each measured against a floor: the
// least any program must do for the same job under the same system. Run by
// scripts/bench; prints a table and asserts nothing.
//
//   tekstor_bench [--quick] [--startup] [--starts N]
//                                   the whole table, or start-up only; N starts
//                                   of each program (3 quick, else 9)
//   tekstor_bench child MODE ARGS   one measurement in a fresh process (the
//                                   save ways: several, on one loaded pane)
//
// Each load runs in a process of its own, so that the memory one measurement
// leaves behind cannot count toward the next. The saves share one process,
// whose pane is loaded once (the slowest step by far); a save frees all it
// allocates, so the next one starts from the same commit charge.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "app/shell.h"
#include "bench/clock.h"
#include "app/state.h"
#include "document/document.h"
#include "document/filesave.h"
#include "edit/editpane.h"

namespace {

// Commit charge of a process. (Wine 8 reports PrivateUsage as 0.)
PROCESS_MEMORY_COUNTERS Memory(HANDLE hProcess)
{
    PROCESS_MEMORY_COUNTERS pmc = {};
    pmc.cb = sizeof pmc;
    GetProcessMemoryInfo(hProcess, &pmc, sizeof pmc);
    return pmc;
}

// Samples this process's commit charge while an operation runs, so that the
// peak of the operation itself is seen, not one left over from before it.
struct Sampler {
    volatile LONG bStop = 0;
    SIZE_T peak = 0;
    HANDLE hThread = NULL;
};

DWORD WINAPI SampleProc(LPVOID param)
{
    Sampler* s = static_cast<Sampler*>(param);
    while (!s->bStop) {
        s->peak = std::max(s->peak, Memory(GetCurrentProcess()).PagefileUsage);
        Sleep(1);
    }
    return 0;
}

struct Measured {
    double ms = 0;
    SIZE_T before = 0;  // commit charge just before the operation
    SIZE_T peak = 0;    // highest commit charge seen while it ran
};

template <typename Op>
Measured Measure(Op op)
{
    Measured m;
    Sampler s;
    m.before = Memory(GetCurrentProcess()).PagefileUsage;
    s.peak = m.before;
    s.hThread = CreateThread(NULL, 0, SampleProc, &s, 0, NULL);
    const double t0 = Now();
    op();
    m.ms = Now() - t0;
    s.bStop = 1;
    WaitForSingleObject(s.hThread, INFINITE);
    CloseHandle(s.hThread);
    m.peak = std::max(s.peak, Memory(GetCurrentProcess()).PagefileUsage);
    return m;
}

void PumpIdle()
{
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
        HandleLoopMessage(&msg, NULL);
}

// The editor as it starts, its document untitled.
bool StartEditor()
{
    static wchar_t szArgs[] = L"";
    HACCEL hAccel;
    if (!StartInstance(GetModuleHandleA(NULL), NULL, szArgs, SW_SHOW, &hAccel))
        return false;
    PumpIdle();
    return true;
}

// The floor's pane: the same kind of Edit control, style, limit and font.
HWND CreateFloorPane()
{
    HWND hwndParent = CreateWindowExA(0, "STATIC", "", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                      CW_USEDEFAULT, CW_USEDEFAULT, 800, 600, NULL, NULL,
                                      NULL, NULL);
    RECT rc;
    GetClientRect(hwndParent, &rc);
    HWND hwnd = CreateWindowExA(0, "Edit", NULL, EDIT_STYLE_NOWRAP | WS_VISIBLE, 0, 0, rc.right,
                                rc.bottom, hwndParent, NULL, NULL, NULL);
    SendMessageA(hwnd, EM_SETLIMITTEXT, 0, 0);
    SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(CreatePaneFont()), 0);
    return hwnd;
}

char* ReadAll(const char* pszPath, DWORD* pcb)
{
    HANDLE h = CreateFileA(pszPath, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, NULL);
    const DWORD cb = GetFileSize(h, NULL);
    char* p = static_cast<char*>(GlobalAlloc(GMEM_FIXED, cb + 1));
    DWORD got = 0;
    ReadFile(h, p, cb, &got, NULL);
    p[got] = '\0';
    CloseHandle(h);
    *pcb = got;
    return p;
}

enum SaveTarget { NO_FILE, PLAIN_FILE, LINKED_FILE };
// The floor, a new file, a replaced one, one written in place, and the floor
// with the flush every save does (under Wine the write-through flag alone
// leaves the bytes in the cache; the flush puts them on the disk).
constexpr int SAVE_WAYS = 5;

// The save target as a row needs it; a second name sits beside it.
bool PrepareTarget(SaveTarget target, const std::string& src, const std::string& out)
{
    const std::string link = out + ".link";
    DeleteFileA(link.c_str());
    DeleteFileA(out.c_str());
    if (target == NO_FILE)
        return true;
    if (!CopyFileA(src.c_str(), out.c_str(), FALSE))
        return false;
    return target == PLAIN_FILE || CreateHardLinkA(link.c_str(), out.c_str(), NULL);
}

BOOL RightsCarried(const char*)
{
    return TRUE;
}

// Any program whose text lives in an Edit control must copy it out before it
// can write it: the floor for saving from a pane.
void SavePaneFloor(HWND hwndPane, const char* pszOut, bool bFlush)
{
    const int cch = GetWindowTextLengthA(hwndPane);
    char* pText = static_cast<char*>(GlobalAlloc(GMEM_FIXED, cch + 1));
    const int got = GetWindowTextA(hwndPane, pText, cch + 1);
    HANDLE h = CreateFileA(pszOut, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, NULL);
    DWORD written;
    WriteFile(h, pText, got, &written, NULL);
    if (bFlush)
        FlushFileBuffers(h);
    CloseHandle(h);
    GlobalFree(pText);
}

// The floor and the three ways a save can go, measured on the same pane one
// after the other, nRuns times: loading the text into the pane is by far the
// slowest step under Wine, so it is done once. Prints "WAY MS BEFORE PEAK".
int MeasureSaveWays(const char* pszFile, const char* pszOut, int nRuns)
{
    if (!StartEditor())
        return 1;
    lstrcpynA(g_szFileName, pszFile, MAX_PATH);
    if (!LoadDocument(g_hwndEdit))
        return 1;
    const std::string src = pszFile, out = pszOut;
    const SaveTarget targets[SAVE_WAYS] = {NO_FILE, NO_FILE, PLAIN_FILE, LINKED_FILE, NO_FILE};
    for (int run = 0; run < nRuns; ++run) {
        for (int way = 0; way < SAVE_WAYS; ++way) {
            if (!PrepareTarget(targets[way], src, out))
                return 1;
            lstrcpynA(g_szFileName, pszOut, MAX_PATH);
            // Under Wine no new file can take a document's rights, so every
            // save of an existing file goes in place there; the replace row
            // lets it go ahead as it would on Windows.
            g_saveCalls.pfnRightsCanBeCarried = targets[way] == PLAIN_FILE
                                                    ? RightsCarried
                                                    : SYSTEM_SAVE_CALLS.pfnRightsCanBeCarried;
            BOOL ok = TRUE;
            const Measured m = Measure([&] {
                if (way == 0 || way == 4)
                    SavePaneFloor(g_hwndEdit, pszOut, way == 4);
                else
                    ok = SaveDocument(g_hwndEdit);
            });
            if (!ok)
                return 1;
            printf("%d %.3f %llu %llu\n", way, m.ms, static_cast<unsigned long long>(m.before),
                   static_cast<unsigned long long>(m.peak));
        }
    }
    return 0;
}

int RunChild(const std::string& mode, const char* pszFile)
{
    Measured m;
    if (mode == "load-tekstor") {
        if (!StartEditor())
            return 1;
        lstrcpynA(g_szFileName, pszFile, MAX_PATH);
        BOOL ok = FALSE;
        m = Measure([&] { ok = LoadDocument(g_hwndEdit); });
        if (!ok)
            return 1;
    } else if (mode == "load-floor") {
        HWND hwndPane = CreateFloorPane();
        m = Measure([&] {
            DWORD cb;
            char* p = ReadAll(pszFile, &cb);
            SetWindowTextA(hwndPane, p);
            GlobalFree(p);
        });
    } else {
        return 2;
    }
    printf("%.3f %llu %llu\n", m.ms, static_cast<unsigned long long>(m.before),
           static_cast<unsigned long long>(m.peak));
    return 0;
}

std::string ExeDir()
{
    char path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(NULL, path, MAX_PATH);
    std::string dir(path, n);
    return dir.substr(0, dir.find_last_of('\\'));
}

// Runs one child and returns what it printed.
std::string RunChildProcess(const std::string& args)
{
    SECURITY_ATTRIBUTES sa = {sizeof sa, NULL, TRUE};
    HANDLE hRead, hWrite;
    if (!CreatePipe(&hRead, &hWrite, &sa, 0))
        return std::string();
    SetHandleInformation(hRead, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = hWrite;
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION pi = {};
    std::string cmd = "\"" + ExeDir() + "\\tekstor_bench.exe\" child " + args;
    std::vector<char> buf(cmd.begin(), cmd.end());
    buf.push_back('\0');
    const BOOL started = CreateProcessA(NULL, buf.data(), NULL, NULL, TRUE, 0, NULL, NULL, &si, &pi);
    CloseHandle(hWrite);
    std::string out;
    if (started) {
        char chunk[256];
        DWORD got;
        while (ReadFile(hRead, chunk, sizeof chunk, &got, NULL) && got)
            out.append(chunk, got);
        WaitForSingleObject(pi.hProcess, INFINITE);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
    CloseHandle(hRead);
    return out;
}

bool ParseMeasured(const char* psz, Measured* m)
{
    unsigned long long before = 0, peak = 0;
    if (sscanf(psz, "%lf %llu %llu", &m->ms, &before, &peak) != 3)
        return false;
    m->before = static_cast<SIZE_T>(before);
    m->peak = static_cast<SIZE_T>(peak);
    return true;
}

// Runs one child measurement and reads back its line.
bool RunMeasurement(const std::string& args, Measured* m)
{
    return ParseMeasured(RunChildProcess(args).c_str(), m);
}

// The child's lines "WAY MS BEFORE PEAK", sorted by way.
bool RunSaveWays(const std::string& files, int nRuns, std::vector<Measured> (&ways)[SAVE_WAYS])
{
    const std::string out = RunChildProcess("save-ways " + files + " " + std::to_string(nRuns));
    size_t pos = 0;
    while (pos < out.size()) {
        const size_t end = out.find('\n', pos);
        const std::string line = out.substr(pos, end == std::string::npos ? end : end - pos);
        pos = end == std::string::npos ? out.size() : end + 1;
        int way = -1, cch = 0;
        Measured m;
        if (sscanf(line.c_str(), "%d %n", &way, &cch) == 1 && way >= 0 && way < SAVE_WAYS &&
            ParseMeasured(line.c_str() + cch, &m))
            ways[way].push_back(m);
    }
    for (const auto& runs : ways) {
        if (static_cast<int>(runs.size()) != nRuns)
            return false;
    }
    return true;
}

struct Found {
    DWORD pid;
    const char* pszClass;
    HWND hwnd;
};

BOOL CALLBACK FindVisibleProc(HWND hwnd, LPARAM lParam)
{
    Found* f = reinterpret_cast<Found*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    char cls[64] = "";
    GetClassNameA(hwnd, cls, sizeof cls);
    if (pid == f->pid && lstrcmpA(cls, f->pszClass) == 0 && IsWindowVisible(hwnd)) {
        f->hwnd = hwnd;
        return FALSE;
    }
    return TRUE;
}

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
    // Without pMoments, the program gets no standard output at all, so that
    // what it would write costs nothing and shows nowhere.
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    HANDLE hRead = NULL, hWrite = NULL;
    if (pMoments) {
        SECURITY_ATTRIBUTES sa = {sizeof sa, NULL, TRUE};
        if (!CreatePipe(&hRead, &hWrite, &sa, 0))
            return false;
        SetHandleInformation(hRead, HANDLE_FLAG_INHERIT, 0);
        si.hStdOutput = hWrite;
        si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    }
    PROCESS_INFORMATION pi = {};
    std::string cmd = "\"" + exe + "\"";
    if (!args.empty())
        cmd += " " + args;
    std::vector<char> buf(cmd.begin(), cmd.end());
    buf.push_back('\0');
    const double t0 = Now();
    const BOOL started = CreateProcessA(NULL, buf.data(), NULL, NULL, pMoments != nullptr, 0,
                                        NULL, NULL, &si, &pi);
    if (hWrite)
        CloseHandle(hWrite);
    if (!started) {
        if (hRead)
            CloseHandle(hRead);
        return false;
    }
    Found f = {pi.dwProcessId, pszClass, NULL};
    bool ok = true;
    for (;;) {
        WaitForInputIdle(pi.hProcess, 10000);
        f.hwnd = NULL;
        EnumWindows(FindVisibleProc, reinterpret_cast<LPARAM>(&f));
        if (f.hwnd && WaitForInputIdle(pi.hProcess, 0) == 0)
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
    if (f.hwnd)
        PostMessageA(f.hwnd, WM_CLOSE, 0, 0);
    std::string out;
    if (hRead) {
        char chunk[256];
        DWORD got;
        while (ok && ReadFile(hRead, chunk, sizeof chunk, &got, NULL) && got)
            out.append(chunk, got);
        CloseHandle(hRead);
    }
    if (WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0)
        TerminateProcess(pi.hProcess, 99);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    if (pMoments && ok) {
        pMoments->start = t0;
        pMoments->idle = tIdle;
        pMoments->marks.clear();
        size_t pos = 0;
        while (pos < out.size()) {
            const size_t end = out.find('\n', pos);
            const std::string line = out.substr(pos, end == std::string::npos ? end : end - pos);
            char name[32];
            double ms;
            if (sscanf(line.c_str(), "%31s %lf", name, &ms) == 2)
                pMoments->marks.emplace_back(name, ms);
            pos = end == std::string::npos ? out.size() : end + 1;
        }
    }
    return ok;
}

// The fastest run: the machine is shared, and anything else running can only
// make a run slower, never faster.
Measured Best(std::vector<Measured> runs)
{
    std::sort(runs.begin(), runs.end(),
              [](const Measured& a, const Measured& b) { return a.ms < b.ms; });
    Measured m = runs[0];
    // Memory: the worst of the runs.
    for (const Measured& r : runs) {
        m.peak = std::max(m.peak, r.peak);
        m.before = std::max(m.before, r.before);
    }
    return m;
}

double MB(SIZE_T bytes)
{
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

void PrintRow(const char* pszWhat, const Measured& t, const Measured& f, SIZE_T cbText)
{
    const double extraT = MB(t.peak - t.before), extraF = MB(f.peak - f.before);
    printf("%-18s %9.1f ms %9.1f ms %+6.1f%%   %8.1f MB %8.1f MB %8.1f MB  %s\n", pszWhat, t.ms,
           f.ms, (t.ms / f.ms - 1.0) * 100.0, extraT, extraF, extraT - extraF,
           (t.peak - t.before) <= (f.peak - f.before) + cbText + 65536 ? "within" : "OVER");
}

// About 80 characters a line, CR LF, with some bytes of the upper half
// (never 0x98, which Wine's Edit control cannot take among others).
bool MakeDocument(const std::string& path, DWORD cb)
{
    std::string text;
    text.reserve(cb);
    static const char kLine[] = "Zeile mit Umlauten \xE4\xF6\xFC\xDF und Ziffern 0123456789, "
                                "damit sie nach Text aussieht: ";
    unsigned n = 0;
    while (text.size() < cb) {
        char line[128];
        const int len = snprintf(line, sizeof line, "%s%06u\r\n", kLine, n++);
        text.append(line, static_cast<size_t>(len));
    }
    text.resize(cb);
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(h, text.data(), cb, &written, NULL);
    CloseHandle(h);
    return ok && written == cb;
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
// to the bare window's.
bool PrintStartupBreakdown(const std::string& dir, int nRuns)
{
    char tmp[MAX_PATH];
    GetTempPathA(MAX_PATH, tmp);
    const std::string file = std::string(tmp) + "tekstor_bench_start.txt";
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
        best(starts[3].runs, [](const Moments& mo) { return mo.At("library"); });
    const Start& plain = starts[0];
    const Start& named = starts[1];
    const Start& bare = starts[2];
    double sums[3] = {};
    printf("\nstart-up breakdown (ms)     tekstor  with a name    floor\n");
    for (size_t i = 0; i < std::size(kSteps); ++i) {
        const double ms[3] = {bestStep(plain, i), bestStep(named, i), bestStep(bare, i)};
        for (int k = 0; k < 3; ++k)
            sums[k] += ms[k];
        printf("  %-24s %9.1f %12.1f %8.1f\n", kSteps[i].pszLabel, ms[0], ms[1], ms[2]);
    }
    printf("  %-24s %9.1f %12.1f %8.1f   %+.1f%%\n", "sum of the steps", sums[0], sums[1],
           sums[2], (sums[0] / sums[2] - 1.0) * 100.0);
    printf("  %-24s %9.1f %12.1f %8.1f   %+.1f%%\n", "best run", bestTotal(plain),
           bestTotal(named), bestTotal(bare), (bestTotal(plain) / bestTotal(bare) - 1.0) * 100.0);
    printf("  the shell library (SHELL32) alone takes %.1f ms to load into a bare window's\n"
           "  process; tekstor loads %s.\n",
           msShell, plain.runs[0].At("shell32") > 0
                                       ? "it at process start"
                                       : "it only when it first needs it");
    printf("  Each step runs from its start to the next one's; each figure is that step's\n"
           "  best of %d starts. tekstor's window step ends at its WM_CREATE, which\n"
           "  holds the font and the pane; the rest of its creation is in show and paint.\n"
           "  \"with a name\": started with a small file, whose caption needs the shell.\n",
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

int RunAll(bool bQuick, bool bStartupOnly, int nStartRuns)
{
    const std::string dir = ExeDir();
    printf("%-18s %12s %12s %7s   %11s %11s %11s\n", "", "tekstor", "floor", "diff",
           "mem tekstor", "mem floor", "mem diff");

    // Start-up: time to an idle, visible window; memory is the whole peak.
    const int nStarts = nStartRuns > 0 ? nStartRuns : bQuick ? 3 : 9;
    std::vector<Measured> st, sf;
    for (int i = 0; i < nStarts; ++i) {
        Measured m;
        if (MeasureStartup(dir + "\\tekstor.exe", "WndClassTekstor", &m))
            st.push_back(m);
        if (MeasureStartup(dir + "\\floor_window.exe", "FloorWindow", &m))
            sf.push_back(m);
    }
    if (st.empty() || sf.empty()) {
        fprintf(stderr, "start-up could not be measured\n");
        return 1;
    }
    const Measured t = Best(st), f = Best(sf);
    printf("%-18s %9.1f ms %9.1f ms %+6.1f%%   %8.1f MB %8.1f MB %8.1f MB  (whole process)\n",
           "start-up", t.ms, f.ms, (t.ms / f.ms - 1.0) * 100.0, MB(t.peak), MB(f.peak),
           MB(t.peak) - MB(f.peak));
    if (!PrintStartupBreakdown(dir, nStarts)) {
        fprintf(stderr, "the start-up breakdown could not be measured\n");
        return 1;
    }
    PrintScrollBarCost();
    if (bStartupOnly)
        return 0;
    printf("\n%-14s %12s %12s %7s   %11s %11s %11s\n", "", "tekstor", "floor", "diff",
           "mem tekstor", "mem floor", "mem diff");

    char tmp[MAX_PATH];
    GetTempPathA(MAX_PATH, tmp);
    const std::string src = std::string(tmp) + "tekstor_bench_in.txt";
    const std::string out = std::string(tmp) + "tekstor_bench_out.txt";
    struct Size {
        DWORD mb;
        int nRuns;
    };
    const std::vector<Size> sizes = bQuick ? std::vector<Size>{{1, 1}, {10, 1}}
                                           : std::vector<Size>{{1, 5}, {10, 3}, {50, 1}};
    for (const Size& size : sizes) {
        const DWORD cb = size.mb * 1024 * 1024;
        if (!MakeDocument(src, cb)) {
            fprintf(stderr, "could not write %s\n", src.c_str());
            return 1;
        }
        const std::string files = "\"" + src + "\" \"" + out + "\"";
        std::vector<Measured> lt, lf;
        for (int i = 0; i < size.nRuns; ++i) {
            Measured m;
            if (RunMeasurement("load-tekstor " + files, &m))
                lt.push_back(m);
            if (RunMeasurement("load-floor " + files, &m))
                lf.push_back(m);
        }
        std::vector<Measured> ways[SAVE_WAYS];
        if (lt.empty() || lf.empty() || !RunSaveWays(files, bQuick ? 2 : 5, ways)) {
            fprintf(stderr, "%lu MB could not be measured\n", size.mb);
            return 1;
        }
        char what[32];
        snprintf(what, sizeof what, "load %lu MB", size.mb);
        PrintRow(what, Best(lt), Best(lf), cb);
        const char* names[SAVE_WAYS] = {"", "save new", "save replace", "save in place",
                                        "floor + flush"};
        for (int way = 1; way < SAVE_WAYS; ++way) {
            snprintf(what, sizeof what, "%s %lu MB", names[way], size.mb);
            PrintRow(what, Best(ways[way]), Best(ways[0]), cb);
        }
        fflush(stdout);
    }
    PrepareTarget(NO_FILE, src, out);
    DeleteFileA(src.c_str());
    printf("\nfloors: start-up a bare window; load one ReadFile and SetWindowTextA into\n"
           "the same Edit control (tekstor's load also checks that the bytes come back\n"
           "unchanged through the code page); save the text copied out of an Edit control\n"
           "(GetWindowTextA) and written to a new file with one write-through WriteFile.\n"
           "save new: no file yet; replace: a plain file, replaced by one written beside\n"
           "it (under Wine, where a save writes every existing file in place because no\n"
           "new file can take its rights, the bench lets the replace go ahead as on\n"
           "Windows); in place: a file with a second name, written in place, its old\n"
           "bytes kept in a file beside it until the new text is flushed. All saves and\n"
           "their floor run on the same pane, which is loaded once. floor + flush: the\n"
           "floor with the FlushFileBuffers every save does before it reports done.\n"
           "Times are the best of each run's repetitions. mem: the most memory (commit\n"
           "charge) the operation added while it ran; \"within\": no more than the\n"
           "floor's plus one copy of the text.\n");
    return 0;
}

}  // namespace

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
    return RunAll(bQuick, bStartupOnly, nStartRuns);
}
