// Load and save: the editor's LoadDocument and SaveDocument (a new file, and
// an existing one with one line changed near its end or at its start)
// against the least any program with
// its text in an Edit control must do for the same. Each load runs in a
// process of its own, so that the memory one measurement leaves behind
// cannot count toward the next. The saves share one process, whose pane is
// loaded once (the slowest step by far); a save frees all it allocates, so
// the next one starts from the same commit charge.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/shell.h"
#include "app/state.h"
#include "bench/measure.h"
#include "document/document.h"
#include "edit/editpane.h"
#include "support/programs.h"

namespace {

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

enum SaveTarget { NO_FILE, EDITED_AT_END, EDITED_AT_START };
// The floor, a new file, a file whose last tenth has one line that differs
// from the pane's text, one whose first line differs, and the floor with the
// flush every save does (under Wine the write-through flag alone leaves the
// bytes in the cache; the flush puts them on the disk).
constexpr int SAVE_WAYS = 5;

// The save target as a row needs it: a copy of the text with one byte
// changed, so that the save has one line to put back.
bool PrepareTarget(SaveTarget target, const std::string& src, const std::string& out)
{
    DeleteFileA(out.c_str());
    if (target == NO_FILE)
        return true;
    if (!CopyFileA(src.c_str(), out.c_str(), FALSE))
        return false;
    HANDLE h = CreateFileA(out.c_str(), GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
    LARGE_INTEGER size = {}, at = {};
    GetFileSizeEx(h, &size);
    at.QuadPart = target == EDITED_AT_END ? size.QuadPart / 20 * 19 : 10;
    DWORD written = 0;
    const bool bDone = SetFilePointerEx(h, at, NULL, FILE_BEGIN) && WriteFile(h, "#", 1, &written, NULL);
    CloseHandle(h);
    return bDone;
}


// The document's file, as an Open would set it.
void UseFile(const char* pszPath)
{
    wchar_t szWide[MAX_PATH];
    wchar_t szFull[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, pszPath, -1, szWide, MAX_PATH);
    GetFullPathNameW(szWide, MAX_PATH, szFull, NULL);
    SetDocumentFile(szFull);
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

}  // namespace

// The floor and the three kinds of save, measured on the same pane one
// after the other, nRuns times: loading the text into the pane is by far the
// slowest step under Wine, so it is done once. Prints "WAY MS BEFORE PEAK".
int MeasureSaveWays(const char* pszFile, const char* pszOut, int nRuns)
{
    if (!StartEditor())
        return 1;
    UseFile(pszFile);
    if (!LoadDocument(g_hwndEdit))
        return 1;
    const std::string src = pszFile, out = pszOut;
    const SaveTarget targets[SAVE_WAYS] = {NO_FILE, NO_FILE, EDITED_AT_END, EDITED_AT_START, NO_FILE};
    for (int run = 0; run < nRuns; ++run) {
        for (int way = 0; way < SAVE_WAYS; ++way) {
            if (!PrepareTarget(targets[way], src, out))
                return 1;
            UseFile(pszOut);
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
        UseFile(pszFile);
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

namespace {

bool ParseMeasured(const char* psz, Measured* m)
{
    unsigned long long before = 0, peak = 0;
    if (sscanf(psz, "%lf %llu %llu", &m->ms, &before, &peak) != 3)
        return false;
    m->before = static_cast<SIZE_T>(before);
    m->peak = static_cast<SIZE_T>(peak);
    return true;
}

// Runs tekstor_bench again as "child ARGS" and returns what it printed.
std::string RunChildProcess(const std::string& args)
{
    PROCESS_INFORMATION pi;
    HANDLE hRead;
    if (!StartProgram("\"" + TestExeDir() + "\\tekstor_bench.exe\" child " + args, &pi, &hRead))
        return std::string();
    const std::string out = ReadToEnd(hRead);
    WaitForSingleObject(pi.hProcess, INFINITE);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return out;
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
    for (const std::string& line : SplitLines(out)) {
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

void PrintRow(const char* pszWhat, const Measured& t, const Measured& f, SIZE_T cbText)
{
    const double extraT = MB(t.peak - t.before), extraF = MB(f.peak - f.before);
    printf("%-24s %9.1f ms %9.1f ms %+6.1f%%   %8.1f MB %8.1f MB %8.1f MB  %s\n", pszWhat, t.ms,
           f.ms, (t.ms / f.ms - 1.0) * 100.0, extraT, extraF, extraT - extraF,
           (t.peak - t.before) <= (f.peak - f.before) + cbText + 65536 ? "within" : "OVER");
}

}  // namespace

int RunLoadSaveBench(bool bQuick)
{
    printf("\n%-20s %12s %12s %7s   %11s %11s %11s\n", "", "tekstor", "floor", "diff",
           "mem tekstor", "mem floor", "mem diff");

    const std::string src = TempPath("tekstor_bench_in.txt");
    const std::string out = TempPath("tekstor_bench_out.txt");
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
        const char* names[SAVE_WAYS] = {"", "save new", "save edit at end", "save edit at start",
                                        "floor + flush"};
        for (int way = 1; way < SAVE_WAYS; ++way) {
            snprintf(what, sizeof what, "%s %lu MB", names[way], size.mb);
            PrintRow(what, Best(ways[way]), Best(ways[0]), cb);
        }
        fflush(stdout);
    }
    PrepareTarget(NO_FILE, src, out);
    DeleteFileA(src.c_str());
    printf("\nfloors: load one ReadFile and SetWindowTextA into the same Edit control\n"
           "(tekstor's load also reads the pane back and compares it with the file);\n"
           "save the text copied out of an Edit control (GetWindowTextA) and written\n"
           "to a new file with one write-through WriteFile. save new: no file yet;\n"
           "edit at end / at start: the file holds the text with one line changed in\n"
           "its last tenth / its first line, so the save puts back that line and what\n"
           "follows (through the journal, flushed, then the file, flushed). All saves\n"
           "and their floor run on the same pane, which is loaded once. floor + flush:\n"
           "the floor with the FlushFileBuffers every save does before it reports done.\n"
           "Times are the best of each run's repetitions. mem: the most memory (commit\n"
           "charge) the operation added while it ran; \"within\": no more than the\n"
           "floor's plus one copy of the text.\n");
    return 0;
}
