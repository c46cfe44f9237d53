// The editor's own start, with the moments between its steps noted: the same
// code as tekstor.exe, linked the same way (so it loads the same libraries at
// start), with window hooks of its own that see each step begin. Nothing of
// this is in tekstor.exe; the shipped start has no timing in it at all.
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

bool IsClass(HWND hwnd, const char* pszClass)
{
    char cls[64] = "";
    GetClassNameA(hwnd, cls, sizeof cls);
    return lstrcmpiA(cls, pszClass) == 0;
}

LRESULT CALLBACK CbtProc(int nCode, WPARAM wParam, LPARAM lParam)
{
    if (nCode == HCBT_CREATEWND) {
        HWND hwnd = reinterpret_cast<HWND>(wParam);
        if (IsClass(hwnd, kMainClassName))
            Note("window");
        else if (IsClass(hwnd, "Edit"))
            Note("pane");
    }
    return CallNextHookEx(NULL, nCode, wParam, lParam);
}

LRESULT CALLBACK CallWndProc(int nCode, WPARAM wParam, LPARAM lParam)
{
    const CWPSTRUCT* p = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (nCode == HC_ACTION && IsClass(p->hwnd, kMainClassName)) {
        if (p->message == WM_CREATE)
            Note("font");
        // Switching the drop target on later changes the window's style.
        else if (p->message == WM_STYLECHANGING && p->wParam == static_cast<WPARAM>(GWL_EXSTYLE))
            Note("drop");
    }
    return CallNextHookEx(NULL, nCode, wParam, lParam);
}

LRESULT CALLBACK CallWndRetProc(int nCode, WPARAM wParam, LPARAM lParam)
{
    const CWPRETSTRUCT* p = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (nCode == HC_ACTION && p->message == WM_CREATE && IsClass(p->hwnd, kMainClassName))
        Note("show");
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
    const DWORD tid = GetCurrentThreadId();
    HHOOK hooks[3] = {SetWindowsHookExA(WH_CBT, CbtProc, NULL, tid),
                      SetWindowsHookExA(WH_CALLWNDPROC, CallWndProc, NULL, tid),
                      SetWindowsHookExA(WH_CALLWNDPROCRET, CallWndRetProc, NULL, tid)};
    HACCEL hAccel;
    const BOOL bStarted = StartInstance(hInstance, hPrevInstance, GetArgumentString(), nCmdShow, &hAccel);
    // The window is built; what the hooks would see from now on is no start.
    for (HHOOK hHook : hooks)
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
