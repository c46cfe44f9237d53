// The editor's own start, with the moments between its steps noted: the same
// code as tekstor.exe, linked the same way (so it loads the same libraries at
// start). Nothing of this is in tekstor.exe; the shipped start has no timing
// in it at all.
//
// The probe must not slow what it measures: a hook that sees every message
// costs Wine a round trip to its server per message, which once doubled the
// steps it timed. So only a CBT hook watches (it is called for a handful of
// events), and the main window's procedure is wrapped, from its creation on,
// by one that notes where WM_CREATE begins and ends.
//
// At exit it writes one line per moment to its standard output, "name ms",
// in performance-counter milliseconds, which are the same in every process,
// so that tekstor_bench can add the moment it started the process.
#include <windows.h>

#include <cstdio>

#include "app/shell.h"
#include "app/state.h"
#include "bench/clock.h"

namespace {

struct Mark {
    const char* pszName;
    double ms;
};

Mark g_marks[16];
int g_nMarks;
WNDPROC g_pfnMainProc;

// Only the first time a moment comes counts: a later one is no longer start-up.
void Note(const char* pszName)
{
    for (int i = 0; i < g_nMarks; ++i) {
        if (lstrcmpA(g_marks[i].pszName, pszName) == 0)
            return;
    }
    if (g_nMarks < static_cast<int>(sizeof g_marks / sizeof g_marks[0]))
        g_marks[g_nMarks++] = {pszName, Now()};
}

LRESULT CALLBACK ProbeWndProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg != WM_CREATE)
        return CallWindowProcA(g_pfnMainProc, hwnd, uMsg, wParam, lParam);
    Note("font");
    const LRESULT lr = CallWindowProcA(g_pfnMainProc, hwnd, uMsg, wParam, lParam);
    Note("show");
    return lr;
}

// The class as the creation names it; an atom has no name to compare.
bool IsClass(const CREATESTRUCTA* pcs, const char* pszClass)
{
    return HIWORD(reinterpret_cast<ULONG_PTR>(pcs->lpszClass)) != 0 &&
           lstrcmpiA(pcs->lpszClass, pszClass) == 0;
}

LRESULT CALLBACK CbtProc(int nCode, WPARAM wParam, LPARAM lParam)
{
    if (nCode == HCBT_CREATEWND) {
        HWND hwnd = reinterpret_cast<HWND>(wParam);
        const CREATESTRUCTA* pcs = reinterpret_cast<CBT_CREATEWNDA*>(lParam)->lpcs;
        if (!g_pfnMainProc && IsClass(pcs, kMainClassName)) {
            Note("window");
            g_pfnMainProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
                hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ProbeWndProc)));
        } else if (IsClass(pcs, "Edit")) {
            Note("pane");
        }
    }
    return CallNextHookEx(NULL, nCode, wParam, lParam);
}

void WriteMarks()
{
    HANDLE hOut = GetStdHandle(STD_OUTPUT_HANDLE);
    for (int i = 0; i < g_nMarks; ++i) {
        char line[64];
        const int cch = snprintf(line, sizeof line, "%s %.4f\n", g_marks[i].pszName, g_marks[i].ms);
        DWORD written;
        if (cch > 0)
            WriteFile(hOut, line, static_cast<DWORD>(cch), &written, NULL);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR, int nCmdShow)
{
    Note("class");
    // Whether the shell library came in with the program's imports.
    if (GetModuleHandleA("shell32.dll"))
        Note("shell32");
    HHOOK hHook = SetWindowsHookExA(WH_CBT, CbtProc, NULL, GetCurrentThreadId());
    HACCEL hAccel;
    const BOOL bStarted = StartInstance(hInstance, hPrevInstance, GetArgumentString(), nCmdShow, &hAccel);
    // The window is built; what the hook would see from now on is no start.
    UnhookWindowsHookEx(hHook);
    if (!bStarted)
        return 0;
    Note("loop");
    // The loop of tekstor.exe, one step at a time, so that the end of the
    // argument string's message can be seen.
    MSG msg = {};
    while (GetMessageA(&msg, NULL, 0, 0) > 0) {
        const bool bArgs = msg.message == WMU_OPENARGS && msg.hwnd == g_hwndMain;
        if (bArgs)
            Note("args");
        HandleLoopMessage(&msg, hAccel);
        if (bArgs)
            Note("idle");
    }
    EndInstance();
    WriteMarks();
    return static_cast<int>(msg.wParam);
}
