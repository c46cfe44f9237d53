// Recording through WH_KEYBOARD_LL and playing through SendInput. The hook
// procedures only copy a few fields and return: the system drops a low-level
// hook that keeps it waiting.
#include "macro/inputmacro.h"

#include "app/state.h"
#include "macro/macro.h"

// Key lParam bits as a window sees them, moved up by 8 as the journal
// recorder stores them above the virtual-key byte.
constexpr UINT KEY_EXTENDED = 0x0100;
constexpr UINT KEY_WAS_DOWN = 0x4000;
constexpr UINT KEY_RELEASED = 0x8000;
constexpr UINT EVENT_EXTENDED = 0x8000;  // in paramH

constexpr UINT_PTR STALL_TIMER_ID = 0x4D50;
constexpr UINT_PTR NEXT_KEY_TIMER_ID = 0x4D51;

// Distinct for distinct processes (an exclusive or is one to one), and never
// 0, the mark of unmarked input: process ids are multiples of four.
ULONG_PTR MacroInputTag(DWORD dwProcessId)
{
    return static_cast<ULONG_PTR>(0x54656B73u ^ dwProcessId);  // "Teks"
}

const ULONG_PTR MACRO_INPUT_TAG = MacroInputTag(GetCurrentProcessId());

static BYTE s_keyDown[256];  // to tell a repeat from a first press

// The playback through SendInput: g_pMacroPos is the event last sent.
static BOOL s_bPlaying;
static LONG s_cUnseen;  // keys sent that the watch has not seen yet
struct HeldKey {
    BOOL bDown;
    UINT paramL, paramH;
};
static HeldKey s_held[256];  // what the sent events left down, by key
static HHOOK s_hTakenHook;   // sees this thread take its messages
static BOOL s_bNextDue;      // the next key waits for this thread's keys

EVENTMSG KeyEventFromLowLevel(UINT message, const KBDLLHOOKSTRUCT* pKey, BOOL bWasDown, HWND hwnd)
{
    const BOOL bExtended = (pKey->flags & LLKHF_EXTENDED) != 0;
    UINT hiword = (pKey->scanCode & 0xFF) | (bExtended ? KEY_EXTENDED : 0);
    if (message == WM_KEYUP)
        hiword |= KEY_WAS_DOWN | KEY_RELEASED;
    else if (bWasDown)
        hiword |= KEY_WAS_DOWN;
    EVENTMSG ev;
    ev.message = message;
    ev.paramL = (pKey->vkCode & 0xFF) | (hiword << 8);
    ev.paramH = 1 | (bExtended ? EVENT_EXTENDED : 0);
    ev.time = pKey->time;
    ev.hwnd = hwnd;
    return ev;
}

INPUT InputFromKeyEvent(UINT message, UINT paramL, UINT paramH)
{
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = static_cast<WORD>(paramL & 0xFF);
    in.ki.wScan = static_cast<WORD>((paramL >> 8) & 0xFF);
    if ((paramH & EVENT_EXTENDED) || ((paramL >> 8) & KEY_EXTENDED))
        in.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
    if (message == WM_KEYUP)
        in.ki.dwFlags |= KEYEVENTF_KEYUP;
    in.ki.dwExtraInfo = MACRO_INPUT_TAG;
    return in;
}

// The window a journal recorder names: the focus of the foreground thread.
static HWND FocusWindow()
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (GetGUIThreadInfo(0, &info) && info.hwndFocus)
        return info.hwndFocus;
    return GetForegroundWindow();
}

LRESULT CALLBACK KeyboardRecordProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION && (wParam == WM_KEYDOWN || wParam == WM_KEYUP)) {
        const auto* pKey = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        const BYTE vk = static_cast<BYTE>(pKey->vkCode);
        const BOOL bWasDown = s_keyDown[vk];
        s_keyDown[vk] = wParam == WM_KEYDOWN;
        if (pKey->dwExtraInfo != MACRO_INPUT_TAG) {
            const EVENTMSG ev = KeyEventFromLowLevel(static_cast<UINT>(wParam), pKey, bWasDown, FocusWindow());
            AppendMacroEvent(&ev);
        }
    }
    return CallNextHookEx(NULL, code, wParam, lParam);
}

LRESULT CALLBACK KeyboardPlaybackProc(int code, WPARAM wParam, LPARAM lParam)
{
    // The next key is sent from the queue, not from here: sending inside the
    // hook would run it again inside itself, for the whole macro.
    const auto* pKey = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
    if (code == HC_ACTION && pKey->dwExtraInfo == MACRO_INPUT_TAG && s_bPlaying && s_cUnseen > 0
        && --s_cUnseen == 0)
        PostMessageA(g_hwndMain, WMU_PLAYNEXTKEY, 0, 0);
    return CallNextHookEx(NULL, code, wParam, lParam);
}

HHOOK StartKeyboardRecording()
{
    ZeroMemory(s_keyDown, sizeof s_keyDown);
    return g_pfnSetWindowsHookEx(WH_KEYBOARD_LL, KeyboardRecordProc, g_hInstance, 0);
}

// Modifiers still held from the keystroke that started the playback would
// turn the macro's letters into shortcuts; they are released first.
static UINT AddModifierReleases(INPUT* pInputs)
{
    static const BYTE kModifiers[] = {VK_LSHIFT, VK_RSHIFT, VK_LCONTROL, VK_RCONTROL,
                                      VK_LMENU,  VK_RMENU,  VK_LWIN,     VK_RWIN};
    UINT n = 0;
    for (BYTE vk : kModifiers) {
        if (GetAsyncKeyState(vk) & 0x8000) {
            INPUT& in = pInputs[n++];
            in = INPUT();
            in.type = INPUT_KEYBOARD;
            in.ki.wVk = vk;
            in.ki.dwFlags = KEYEVENTF_KEYUP;
            in.ki.dwExtraInfo = MACRO_INPUT_TAG;
        }
    }
    return n;
}

static UINT AddEvent(INPUT* pInputs, const MacroEvent* pEvent)
{
    HeldKey& key = s_held[pEvent->paramL & 0xFF];
    key.bDown = pEvent->message == WM_KEYDOWN;
    key.paramL = pEvent->paramL;
    key.paramH = pEvent->paramH;
    *pInputs = InputFromKeyEvent(pEvent->message, pEvent->paramL, pEvent->paramH);
    return 1;
}

// The count is set first: the system may call the watch before SendInput
// returns.
static BOOL SendCounted(INPUT* pInputs, UINT n)
{
    s_cUnseen = static_cast<LONG>(n);
    if (SendInput(n, pInputs, sizeof(INPUT)) == n)
        return TRUE;
    s_cUnseen = 0;
    return FALSE;
}

static VOID CALLBACK StallTimerProc(HWND hwnd, UINT, UINT_PTR idEvent, DWORD)
{
    KillTimer(hwnd, idEvent);
    if (s_bPlaying)
        ReleaseMacroHook();
}

static VOID CALLBACK NextKeyTimerProc(HWND hwnd, UINT, UINT_PTR idEvent, DWORD)
{
    KillTimer(hwnd, idEvent);
    PlayNextInputEvent();
}

// Asks for the next key as soon as this thread has taken the last key
// waiting for it, in whatever loop takes it; the timer is only the fallback.
static LRESULT CALLBACK TakenMessageProc(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* pMsg = reinterpret_cast<const MSG*>(lParam);
    if (code == HC_ACTION && wParam == PM_REMOVE && s_bNextDue && pMsg->message >= WM_KEYFIRST
        && pMsg->message <= WM_KEYLAST && !HIWORD(GetQueueStatus(QS_KEY))) {
        s_bNextDue = FALSE;
        PostMessageA(g_hwndMain, WMU_PLAYNEXTKEY, 0, 0);
    }
    return CallNextHookEx(s_hTakenHook, code, wParam, lParam);
}

HHOOK StartInputPlayback()
{
    HHOOK hHook = g_pfnSetWindowsHookEx(WH_KEYBOARD_LL, KeyboardPlaybackProc, g_hInstance, 0);
    if (!hHook)
        return NULL;
    ZeroMemory(s_held, sizeof s_held);
    s_bPlaying = TRUE;
    s_hTakenHook = SetWindowsHookExA(WH_GETMESSAGE, TakenMessageProc, NULL, GetCurrentThreadId());
    INPUT inputs[9];
    UINT n = AddModifierReleases(inputs);
    n += AddEvent(inputs + n, g_pMacroPos);
    if (!SendCounted(inputs, n)) {
        StopInputPlayback();
        UnhookWindowsHookEx(hHook);
        return NULL;
    }
    SetTimer(g_hwndMain, STALL_TIMER_ID, MACRO_STALL_MS, StallTimerProc);
    return hHook;
}

void PlayNextInputEvent()
{
    // Only once the watch has seen every key sent: a request left in the
    // queue by a playback that has ended since finds nothing to do.
    if (!s_bPlaying || s_cUnseen != 0 || !g_pMacroPos)
        return;
    // The watch sees a key before this thread has handled it, and this
    // request outranks key input in the queue; sent at once, the whole macro
    // would pile up ahead of a Record or a close. So the next key waits until
    // the thread has taken its waiting keys (a timer message, too, comes only
    // once no input is waiting).
    if (HIWORD(GetQueueStatus(QS_KEY))) {
        s_bNextDue = TRUE;
        SetTimer(g_hwndMain, NEXT_KEY_TIMER_ID, USER_TIMER_MINIMUM, NextKeyTimerProc);
        return;
    }
    s_bNextDue = FALSE;
    if (!g_pMacroPos->pNext) {
        ReleaseMacroHook();
        return;
    }
    g_pMacroPos = g_pMacroPos->pNext;
    INPUT in;
    AddEvent(&in, g_pMacroPos);
    if (!SendCounted(&in, 1)) {
        ReleaseMacroHook();
        return;
    }
    SetTimer(g_hwndMain, STALL_TIMER_ID, MACRO_STALL_MS, StallTimerProc);  // starts the wait afresh
}

void StopInputPlayback()
{
    if (!s_bPlaying)
        return;
    s_bPlaying = FALSE;
    s_cUnseen = 0;
    s_bNextDue = FALSE;
    if (s_hTakenHook)
        UnhookWindowsHookEx(s_hTakenHook);
    s_hTakenHook = NULL;
    KillTimer(g_hwndMain, STALL_TIMER_ID);
    KillTimer(g_hwndMain, NEXT_KEY_TIMER_ID);
    // A key left down stays down for the whole desktop: a macro recorded
    // with Ctrl+Shift+R ends with those presses, and the user's next keys
    // would become shortcuts.
    INPUT releases[256];
    UINT n = 0;
    for (int vk = 255; vk >= 0; --vk) {
        if (s_held[vk].bDown)
            releases[n++] = InputFromKeyEvent(WM_KEYUP, s_held[vk].paramL, s_held[vk].paramH);
        s_held[vk].bDown = FALSE;
    }
    if (n)
        SendInput(n, releases, sizeof(INPUT));
}
