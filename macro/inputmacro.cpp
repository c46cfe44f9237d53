// Recording through WH_KEYBOARD_LL and playing through SendInput. The hooks
// run on the hook thread, and only copy, count and post: the system drops a
// low-level hook that keeps it waiting. Each shared value is written by one
// thread only; the requests to the hook thread are sent, so a hook is in or
// out by the time its request returns.
#include "macro/inputmacro.h"

#include "app/state.h"

// Key lParam bits as a window sees them, moved up by 8 as the journal
// recorder stores them above the virtual-key byte.
constexpr UINT KEY_EXTENDED = KF_EXTENDED;
constexpr UINT KEY_ALT_DOWN = KF_ALTDOWN;
constexpr UINT KEY_WAS_DOWN = KF_REPEAT;
constexpr UINT KEY_RELEASED = KF_UP;
constexpr UINT EVENT_EXTENDED = 0x8000;  // in paramH

constexpr UINT_PTR STALL_TIMER_ID = 0x4D50;
constexpr UINT_PTR NEXT_KEY_TIMER_ID = 0x4D51;
constexpr UINT_PTR RECORD_CHECK_TIMER_ID = 0x4D52;
constexpr UINT RECORD_CHECK_MS = 1000;
// Input this much later than anything the recorder's hooks saw went past
// them: the system has dropped them.
constexpr LONG RECORD_LOST_MS = 250;

// Distinct for distinct processes (an exclusive or is one to one), and never
// 0, the mark of unmarked input: process ids are multiples of four.
ULONG_PTR MacroInputTag(DWORD dwProcessId)
{
    return static_cast<ULONG_PTR>(0x54656B73u ^ dwProcessId);  // "Teks"
}

const ULONG_PTR MACRO_INPUT_TAG = MacroInputTag(GetCurrentProcessId());
// Its low bits differ from every copy's input mark.
const ULONG_PTR MACRO_RELEASE_TAG = MACRO_INPUT_TAG ^ 1;

static BOOL IsOwnInput(ULONG_PTR extra)
{
    return extra == MACRO_INPUT_TAG || extra == MACRO_RELEASE_TAG;
}

enum HostRequest : UINT {
    HOST_RECORD = WM_APP,  // returns whether the recorder is in
    HOST_END_RECORD,
    HOST_WATCH,            // returns whether the watch is in
    HOST_END_WATCH,
    HOST_DROP_WATCH,       // posted by the watch once it has seen every key sent
};

static HWND s_hwndHost;  // the hook thread's message-only window
static HHOOK s_hRecordHook, s_hRecordMouseHook, s_hWatchHook, s_hMouseWatchHook;

// Written by the hook thread.
static BYTE s_keyDown[256];          // to tell a repeat from a first press
static volatile DWORD s_dwLastSeen;  // time of the last event the recorder saw
static volatile LONG s_cSeen;        // played events the watch has seen
// Written by the window's thread; the watch clears s_bKeysWanted too, at
// the user's first key or button.
static volatile LONG s_cSent;        // played events sent
static volatile LONG s_bPlaying;
static volatile LONG s_bKeysWanted;  // played keys may reach their windows

// The player's own, on the window's thread.
static MacroEvent* s_pNextToSend;  // the first event not yet sent
static HeldKeys s_held;            // what the sent events left down
static BOOL s_bNextDue;            // the next run waits for this thread's keys
static BOOL s_bEndReported;
static HHOOK s_hQueueHook;

EVENTMSG KeyEventFromLowLevel(UINT message, const KBDLLHOOKSTRUCT* pKey, BOOL bWasDown, HWND hwnd)
{
    EVENTMSG ev;
    ev.message = message;
    ev.time = pKey->time;
    ev.hwnd = hwnd;
    if (pKey->vkCode == VK_PACKET) {
        // A character from the touch keyboard or an input method: the
        // whole UTF-16 unit stands where a key has its scan code and flags.
        ev.paramL = VK_PACKET | ((pKey->scanCode & 0xFFFF) << 8);
        ev.paramH = 1;
        return ev;
    }
    const BOOL bExtended = (pKey->flags & LLKHF_EXTENDED) != 0;
    UINT hiword = (pKey->scanCode & 0xFF) | (bExtended ? KEY_EXTENDED : 0);
    if (pKey->flags & LLKHF_ALTDOWN)
        hiword |= KEY_ALT_DOWN;
    if (IsKeyRelease(message))
        hiword |= KEY_WAS_DOWN | KEY_RELEASED;
    else if (bWasDown)
        hiword |= KEY_WAS_DOWN;
    ev.paramL = (pKey->vkCode & 0xFF) | (hiword << 8);
    ev.paramH = 1 | (bExtended ? EVENT_EXTENDED : 0);
    return ev;
}

INPUT InputFromKeyEvent(UINT message, UINT paramL, UINT paramH)
{
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    if (EventKey(paramL) == VK_PACKET) {
        in.ki.wScan = static_cast<WORD>((paramL >> 8) & 0xFFFF);
        in.ki.dwFlags = KEYEVENTF_UNICODE;
    } else {
        in.ki.wVk = EventKey(paramL);
        in.ki.wScan = static_cast<WORD>((paramL >> 8) & 0xFF);
        if ((paramH & EVENT_EXTENDED) || ((paramL >> 8) & KEY_EXTENDED))
            in.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
    }
    if (IsKeyRelease(message))
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
    const UINT message = static_cast<UINT>(wParam);
    if (code == HC_ACTION && (IsKeyPress(message) || IsKeyRelease(message))) {
        const auto* pKey = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        s_dwLastSeen = pKey->time;
        const BYTE vk = static_cast<BYTE>(pKey->vkCode);
        const BOOL bWasDown = s_keyDown[vk];
        s_keyDown[vk] = IsKeyPress(message);
        if (!IsOwnInput(pKey->dwExtraInfo)) {
            const EVENTMSG ev = KeyEventFromLowLevel(message, pKey, bWasDown, FocusWindow());
            RecordKeyEvent(&ev);
        }
    }
    return CallNextHookEx(NULL, code, wParam, lParam);
}

// Only notes that the hooks still see input (see RecordCheckTimerProc).
static LRESULT CALLBACK MouseRecordProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION)
        s_dwLastSeen = reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam)->time;
    return CallNextHookEx(NULL, code, wParam, lParam);
}

static void StopForUser()
{
    if (InterlockedExchange(&s_bKeysWanted, FALSE))
        PostMessageA(g_hwndMain, WMU_MACROENDED, MACRO_END_USER_INPUT, 0);
}

LRESULT CALLBACK KeyboardPlaybackProc(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* pKey = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
    if (code == HC_ACTION && pKey->dwExtraInfo == MACRO_INPUT_TAG) {
        const LONG cSeen = InterlockedIncrement(&s_cSeen);
        if (!s_bKeysWanted) {
            if (!s_bPlaying && cSeen >= s_cSent)
                PostMessageA(s_hwndHost, HOST_DROP_WATCH, 0, 0);
            return 1;  // sent before the stop: it must reach no window now
        }
        // The next run is sent from the queue, not from here: sending inside
        // the hook would run it again inside itself.
        if (cSeen == s_cSent)
            PostMessageA(g_hwndMain, WMU_PLAYNEXTKEY, 0, 0);
    } else if (code == HC_ACTION && pKey->dwExtraInfo != MACRO_RELEASE_TAG
               && IsKeyPress(static_cast<UINT>(wParam))) {
        StopForUser();
    }
    return CallNextHookEx(NULL, code, wParam, lParam);
}

static LRESULT CALLBACK MousePlaybackProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION) {
        switch (wParam) {
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_XBUTTONDOWN:
            StopForUser();
            break;
        }
    }
    return CallNextHookEx(NULL, code, wParam, lParam);
}

static void Unhook(HHOOK* phHook)
{
    if (*phHook)
        UnhookWindowsHookEx(*phHook);
    *phHook = NULL;
}

static void DropWatch(HWND hwndHost)
{
    KillTimer(hwndHost, HOST_DROP_WATCH);
    Unhook(&s_hWatchHook);
    Unhook(&s_hMouseWatchHook);
}

static LRESULT CALLBACK HookHostProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg) {
    case HOST_RECORD:
        ZeroMemory(s_keyDown, sizeof s_keyDown);
        s_dwLastSeen = GetTickCount();
        s_hRecordHook = g_pfnSetWindowsHookEx(WH_KEYBOARD_LL, KeyboardRecordProc, g_hInstance, 0);
        if (s_hRecordHook)
            s_hRecordMouseHook = g_pfnSetWindowsHookEx(WH_MOUSE_LL, MouseRecordProc, g_hInstance, 0);
        return s_hRecordHook != NULL;
    case HOST_END_RECORD:
        Unhook(&s_hRecordHook);
        Unhook(&s_hRecordMouseHook);
        return 0;
    case HOST_WATCH:
        DropWatch(hwnd);
        s_cSeen = 0;
        s_hWatchHook = g_pfnSetWindowsHookEx(WH_KEYBOARD_LL, KeyboardPlaybackProc, g_hInstance, 0);
        if (s_hWatchHook)
            s_hMouseWatchHook = g_pfnSetWindowsHookEx(WH_MOUSE_LL, MousePlaybackProc, g_hInstance, 0);
        return s_hWatchHook != NULL;
    case HOST_END_WATCH:
        // Keys sent before the end may still be on their way: the watch
        // stays to hold them back until it has seen them all, or for as
        // long as a key may take.
        if (s_cSeen >= s_cSent)
            DropWatch(hwnd);
        else
            SetTimer(hwnd, HOST_DROP_WATCH, MACRO_STALL_MS, NULL);
        return 0;
    case HOST_DROP_WATCH:
    case WM_TIMER:
        if (!s_bPlaying)
            DropWatch(hwnd);
        return 0;
    }
    return DefWindowProcA(hwnd, uMsg, wParam, lParam);
}

static DWORD WINAPI HookThreadProc(LPVOID pvReady)
{
    // Above the window's thread: the system waits for this one on every key
    // of the desktop.
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = HookHostProc;
    wc.hInstance = g_hInstance;
    wc.lpszClassName = "TekstorHookHost";
    RegisterClassA(&wc);
    s_hwndHost = CreateWindowExA(0, wc.lpszClassName, NULL, 0, 0, 0, 0, 0, HWND_MESSAGE, NULL,
                                 g_hInstance, NULL);
    const BOOL bUp = s_hwndHost != NULL;
    SetEvent(static_cast<HANDLE>(pvReady));
    MSG msg;
    while (bUp && GetMessageA(&msg, NULL, 0, 0) > 0)
        DispatchMessageA(&msg);
    return 0;
}

// Started at the first recording or playback the input way, and kept for
// the run.
static BOOL StartHookThread()
{
    if (s_hwndHost)
        return TRUE;
    HANDLE hReady = CreateEventA(NULL, TRUE, FALSE, NULL);
    if (!hReady)
        return FALSE;
    HANDLE hThread = CreateThread(NULL, 0, HookThreadProc, hReady, 0, NULL);
    if (hThread) {
        WaitForSingleObject(hReady, INFINITE);
        CloseHandle(hThread);
    }
    CloseHandle(hReady);
    return s_hwndHost != NULL;
}

static LRESULT CALLBACK QueueWatchProc(int code, WPARAM wParam, LPARAM lParam)
{
    auto* pMsg = reinterpret_cast<MSG*>(lParam);
    if (code == HC_ACTION && wParam == PM_REMOVE) {
        if (pMsg->message == WM_CANCELJOURNAL && !pMsg->hwnd) {
            // A modal loop would dispatch it to no window; this one it keeps.
            PostMessageA(g_hwndMain, WMU_MACROENDED, MACRO_END_CANCEL, 0);
        } else if (pMsg->message >= WM_KEYFIRST && pMsg->message <= WM_KEYLAST) {
            if (!s_bKeysWanted && GetMessageExtraInfo() == static_cast<LPARAM>(MACRO_INPUT_TAG)) {
                pMsg->message = WM_NULL;  // played before the end, taken after it
            } else if (s_bNextDue && !HIWORD(GetQueueStatus(QS_KEY))) {
                s_bNextDue = FALSE;
                PostMessageA(g_hwndMain, WMU_PLAYNEXTKEY, 0, 0);
            }
        }
    }
    return CallNextHookEx(s_hQueueHook, code, wParam, lParam);
}

void WatchThreadQueue()
{
    if (!s_hQueueHook)
        s_hQueueHook = SetWindowsHookExA(WH_GETMESSAGE, QueueWatchProc, NULL, GetCurrentThreadId());
}

static VOID CALLBACK RecordCheckTimerProc(HWND hwnd, UINT, UINT_PTR idEvent, DWORD)
{
    // The system drops a low-level hook without a word; what it cannot hide
    // is the time of the last input, which the hooks would have seen.
    LASTINPUTINFO info = {sizeof info, 0};
    if (GetLastInputInfo(&info) && static_cast<LONG>(info.dwTime - s_dwLastSeen) > RECORD_LOST_MS) {
        KillTimer(hwnd, idEvent);
        PostMessageA(g_hwndMain, WMU_MACROENDED, MACRO_END_HOOK_LOST, 0);
    }
}

BOOL StartKeyboardRecording()
{
    if (!StartHookThread())
        return FALSE;
    if (!SendMessageA(s_hwndHost, HOST_RECORD, 0, 0))
        return FALSE;
    SetTimer(g_hwndMain, RECORD_CHECK_TIMER_ID, RECORD_CHECK_MS, RecordCheckTimerProc);
    return TRUE;
}

void StopKeyboardRecording()
{
    KillTimer(g_hwndMain, RECORD_CHECK_TIMER_ID);
    if (s_hwndHost)
        SendMessageA(s_hwndHost, HOST_END_RECORD, 0, 0);
}

static void ReportEnd(MacroEnd reason)
{
    if (s_bEndReported)
        return;
    s_bEndReported = TRUE;
    KillTimer(g_hwndMain, STALL_TIMER_ID);
    PostMessageA(g_hwndMain, WMU_MACROENDED, reason, 0);
}

static VOID CALLBACK StallTimerProc(HWND hwnd, UINT, UINT_PTR idEvent, DWORD)
{
    KillTimer(hwnd, idEvent);
    if (s_bPlaying && s_cSeen < s_cSent)
        ReportEnd(MACRO_END_HOOK_LOST);
}

static VOID CALLBACK NextKeyTimerProc(HWND hwnd, UINT, UINT_PTR idEvent, DWORD)
{
    KillTimer(hwnd, idEvent);
    PlayNextInputRun();
}

// Sends the events from the cursor on, as many as a run holds, cut after
// the last event at which no key is held, if there is one.
static BOOL SendNextRun()
{
    HeldKeys probe = s_held;
    UINT n = 0, nCut = 0;
    for (const MacroEvent* p = s_pNextToSend; p && n < MACRO_RUN_EVENTS; p = p->pNext) {
        NoteKeyEvent(&probe, *p);
        ++n;
        if (probe.cDown == 0)
            nCut = n;
    }
    if (nCut == 0 || n < MACRO_RUN_EVENTS)
        nCut = n;
    INPUT inputs[MACRO_RUN_EVENTS];
    g_pMacroPos = s_pNextToSend;
    for (UINT i = 0; i < nCut; ++i) {
        inputs[i] = InputFromKeyEvent(s_pNextToSend->message, s_pNextToSend->paramL, s_pNextToSend->paramH);
        NoteKeyEvent(&s_held, *s_pNextToSend);
        s_pNextToSend = s_pNextToSend->pNext;
    }
    // Counted first: the watch may see the keys before SendInput returns.
    InterlockedExchangeAdd(&s_cSent, static_cast<LONG>(nCut));
    if (SendInput(nCut, inputs, sizeof(INPUT)) != nCut)
        return FALSE;
    SetTimer(g_hwndMain, STALL_TIMER_ID, MACRO_STALL_MS, StallTimerProc);
    return TRUE;
}

BOOL StartInputPlayback()
{
    if (!g_pMacroHead || !StartHookThread())
        return FALSE;
    s_cSent = 0;
    s_bPlaying = TRUE;
    s_bKeysWanted = TRUE;
    s_bEndReported = FALSE;
    s_bNextDue = FALSE;
    ZeroMemory(&s_held, sizeof s_held);
    s_pNextToSend = g_pMacroHead;
    if (!SendMessageA(s_hwndHost, HOST_WATCH, 0, 0) || !SendNextRun()) {
        StopInputPlayback();
        return FALSE;
    }
    return TRUE;
}

void PlayNextInputRun()
{
    // Only once the watch has seen every key sent: a request left in the
    // queue by a playback that has ended since finds nothing to do.
    if (!s_bPlaying || !s_bKeysWanted || s_bEndReported || s_cSeen < s_cSent)
        return;
    // The watch sees a key before this thread has handled it, and this
    // request outranks key input in the queue; sent at once, the whole macro
    // would pile up ahead of a Record or a close. So the next run waits until
    // the thread has taken its waiting keys (a timer message, too, comes only
    // once no input is waiting).
    if (HIWORD(GetQueueStatus(QS_KEY))) {
        s_bNextDue = TRUE;
        SetTimer(g_hwndMain, NEXT_KEY_TIMER_ID, USER_TIMER_MINIMUM, NextKeyTimerProc);
        return;
    }
    s_bNextDue = FALSE;
    if (!s_pNextToSend)
        ReportEnd(MACRO_END_DONE);
    else if (!SendNextRun())
        ReportEnd(MACRO_END_DONE);
}

void SendKeyReleases(const HeldKeys* pHeld)
{
    INPUT releases[256];
    UINT n = 0;
    for (int vk = 255; vk >= 0; --vk) {
        if (pHeld->bDown[vk]) {
            const MacroEvent up = ReleaseOf(pHeld->press[vk]);
            releases[n] = InputFromKeyEvent(up.message, up.paramL, up.paramH);
            releases[n++].ki.dwExtraInfo = MACRO_RELEASE_TAG;
        }
    }
    if (n)
        SendInput(n, releases, sizeof(INPUT));
}

void StopInputPlayback()
{
    if (!s_bPlaying)
        return;
    s_bKeysWanted = FALSE;
    s_bPlaying = FALSE;
    s_bNextDue = FALSE;
    s_bEndReported = TRUE;
    KillTimer(g_hwndMain, STALL_TIMER_ID);
    KillTimer(g_hwndMain, NEXT_KEY_TIMER_ID);
    if (s_hwndHost)
        SendMessageA(s_hwndHost, HOST_END_WATCH, 0, 0);
    // A key left down stays down for the whole desktop, and the user's next
    // keys would become shortcuts.
    SendKeyReleases(&s_held);
    ZeroMemory(&s_held, sizeof s_held);
    s_pNextToSend = NULL;
}
