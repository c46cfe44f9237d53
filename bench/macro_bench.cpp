// Prints how long a played macro takes per key in the real edit pane, next to
// its floor measured in the same run: the same key events sent in one
// SendInput call, which is as fast as the system can type them.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/shell.h"
#include "app/state.h"
#include "bench/clock.h"
#include "macro/inputmacro.h"
#include "macro/macro.h"

namespace {

constexpr int kKeys = 1000;
constexpr int kKeysPerLine = 50;  // the pane lays out one line again per key
constexpr int kChars = kKeys + kKeys / kKeysPerLine;  // a Return types CR LF

void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
        HandleLoopMessage(&msg, NULL);
}

int PaneLength()
{
    return GetWindowTextLengthA(g_hwndEdit);
}

void ClearPane()
{
    SetWindowTextA(g_hwndEdit, "");
    Pump();
}

// Pumps until the pane holds n characters; milliseconds from start, or -1.
double WaitForLength(int n, double start)
{
    while (PaneLength() < n) {
        if (Now() - start > 60000)
            return -1;
        Pump();
        MsgWaitForMultipleObjects(0, NULL, FALSE, 1, QS_ALLINPUT);
    }
    return Now() - start;
}

// Lines of letters, each key pressed and released, as a recording leaves them.
void MakeMacro()
{
    for (int i = 0; i < kKeys; ++i) {
        const UINT vk = (i + 1) % kKeysPerLine == 0 ? VK_RETURN : 'A' + i % 26;
        const UINT scan = MapVirtualKeyA(vk, 0);
        EVENTMSG down = {WM_KEYDOWN, vk | (scan << 8), 1, 0, g_hwndEdit};
        EVENTMSG up = {WM_KEYUP, vk | ((scan | KF_REPEAT | KF_UP) << 8), 1, 0, g_hwndEdit};
        AppendMacroEvent(&down);
        AppendMacroEvent(&up);
    }
    g_pMacroPos = NULL;
}

double PlayMacro()
{
    ClearPane();
    const double start = Now();
    PostMessageA(g_hwndMain, WMU_PLAYMACRO, 0, 0);
    const double ms = WaitForLength(kChars, start);
    while (GetMacroRun() != MACRO_IDLE)
        Pump();
    return ms;
}

double SendAtOnce()
{
    std::vector<INPUT> inputs;
    for (const MacroEvent* p = g_pMacroHead; p; p = p->pNext) {
        INPUT in = InputFromKeyEvent(p->message, p->paramL, p->paramH);
        in.ki.dwExtraInfo = 0;
        inputs.push_back(in);
    }
    ClearPane();
    const double start = Now();
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    return WaitForLength(kChars, start);
}

}  // namespace

int main()
{
    static wchar_t szArgs[] = L"";
    HACCEL hAccel;
    if (!StartInstance(GetModuleHandleA(NULL), NULL, szArgs, SW_SHOW, &hAccel))
        return 1;
    SetForegroundWindow(g_hwndMain);
    for (int i = 0; i < 50 && GetForegroundWindow() != g_hwndMain; ++i) {
        Pump();
        Sleep(10);
    }
    Pump();
    MakeMacro();
    std::printf("macro of %d keys (%d events), played into the edit pane\n", kKeys, 2 * kKeys);
    const double first = PlayMacro();
    std::printf("first playback (includes the journal hook's %u ms trial where it is silent): %.1f ms\n",
                250u, first);
    double bestPlay = 1e9, bestFloor = 1e9;
    for (int round = 0; round < 3; ++round) {
        const double play = PlayMacro();
        const double floor = SendAtOnce();
        if (play >= 0 && play < bestPlay)
            bestPlay = play;
        if (floor >= 0 && floor < bestFloor)
            bestFloor = floor;
    }
    std::printf("%-34s %8s %12s\n", "best of 3", "ms", "ms per key");
    std::printf("%-34s %8.1f %12.3f\n", "playback", bestPlay, bestPlay / kKeys);
    std::printf("%-34s %8.1f %12.3f\n", "floor: one SendInput of the events", bestFloor, bestFloor / kKeys);
    std::printf("ratio to the floor: %.2f\n", bestPlay / bestFloor);
    ReleaseMacro();
    DestroyWindow(g_hwndMain);
    Pump();
    EndInstance();
    return 0;
}
