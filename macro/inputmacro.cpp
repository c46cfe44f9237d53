// Recording through WH_KEYBOARD_LL and playing through SendInput. The hooks
// run on the hook thread, and only copy, count and post: the system drops a
// low-level hook that keeps it waiting. The requests to the hook thread are
// sent, so a hook is in or out by the time its request returns.
#include "macro/inputmacro.h"

#include "app/state.h"

// Key lParam bits as a window sees them, moved up by 8 as the journal
// recorder stores them above the virtual-key byte.
constexpr UINT KEY_EXTENDED = KF_EXTENDED;
constexpr UINT KEY_ALT_DOWN = KF_ALTDOWN;
constexpr UINT KEY_WAS_DOWN = KF_REPEAT;
constexpr UINT KEY_RELEASED = KF_UP;
constexpr UINT EVENT_EXTENDED = 0x8000;  // in paramH

UINT (WINAPI* g_pfnSendInput)(UINT, LPINPUT, int) = SendInput;

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
    HOST_RENEW_RECORD,     // the same
    HOST_END_RECORD,
    HOST_WATCH,            // returns whether the watch is in
    HOST_END_WATCH,
    HOST_DROP_WATCH,       // posted by the watch once it has seen every key sent
    HOST_PASS_ON_USER_KEY, // posted by the watch
};

static HWND s_hwndHost;  // the hook thread's message-only window
static HHOOK s_hRecordHook, s_hWatchHook, s_hMouseWatchHook;

// Written by the hook thread.
static BOOL s_bInRecordProc;             // a renewed hook calls the old one next
static BYTE s_keyDown[256];              // to tell a repeat from a first press
static volatile LONG s_bHookSawKey;      // the recorder has seen a key...
static volatile DWORD s_dwFirstHooked;   // ...first at this time
static volatile LONG s_cSeen;            // played events the watch has seen
static HeldKeys s_passed;                // played presses the watch let through
static KBDLLHOOKSTRUCT s_userKey;        // the user's key that ended a playback...
static BOOL s_bUserKeyHeldBack;          // ...held back until the macro's keys are up
static BOOL s_bUserKeyUp;                // ...and its release with it
// Written by the window's thread.
static volatile LONG s_cSent;            // played events sent
// Both: the window's thread holds keys back, the watch at the user's input.
static volatile LONG s_bKeysWanted;

// The window's thread's own.
static MacroEvent* s_pNextToSend;  // the first event not yet sent
static const MacroEvent* s_pLastSent;
static HeldKeys s_sentHeld;        // what the sent events hold down: runs are cut where nothing is
static HWND s_hwndRunFocus;        // the focus when the last run went out
static HHOOK s_hQueueHook;
static BOOL s_bTakingEarlyKeys;    // a recording has begun and its hook has not caught up
static DWORD s_dwRecordStart;
static MacroEvent* s_pEarlyHead;   // what the window took before the hook saw any key
static MacroEvent* s_pEarlyTail;

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

// The window the keys go to: the focus of the foreground thread.
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
    const auto* pKey = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
    if (code != HC_ACTION || s_bInRecordProc || !(IsKeyPress(message) || IsKeyRelease(message))
        || IsOwnInput(pKey->dwExtraInfo))
        return CallNextHookEx(NULL, code, wParam, lParam);
    if (!s_bHookSawKey) {
        s_dwFirstHooked = pKey->time;
        InterlockedExchange(&s_bHookSawKey, TRUE);
    }
    const BYTE vk = static_cast<BYTE>(pKey->vkCode);
    const BOOL bWasDown = s_keyDown[vk];
    s_keyDown[vk] = IsKeyPress(message);
    const EVENTMSG ev = KeyEventFromLowLevel(message, pKey, bWasDown, FocusWindow());
    AppendMacroEvent(&ev);
    s_bInRecordProc = TRUE;
    const LRESULT result = CallNextHookEx(NULL, code, wParam, lParam);
    s_bInRecordProc = FALSE;
    return result;
}

static void Unhook(HHOOK* phHook)
{
    if (*phHook)
        UnhookWindowsHookEx(*phHook);
    *phHook = NULL;
}

static void DropWatch()
{
    Unhook(&s_hWatchHook);
    Unhook(&s_hMouseWatchHook);
}

// The releases of the keys in pHeld, marked as releases, into inputs.
static UINT MakeReleases(const HeldKeys* pHeld, INPUT* inputs)
{
    UINT n = 0;
    for (int vk = 255; vk >= 0; --vk) {
        if (pHeld->bDown[vk]) {
            const MacroEvent up = ReleaseOf(pHeld->press[vk]);
            inputs[n] = InputFromKeyEvent(up.message, up.paramL, up.paramH);
            inputs[n++].ki.dwExtraInfo = MACRO_RELEASE_TAG;
        }
    }
    return n;
}

// On the hook thread, once out of the hook (input sent inside it would
// wait for this very thread): lets go of what the played keys hold down,
// and then passes on the user's key, so that it arrives plain.
static void PassOnUserKeyPlain()
{
    INPUT inputs[258];
    UINT n = MakeReleases(&s_passed, inputs);
    const UINT messages[] = {WM_KEYDOWN, WM_KEYUP};
    for (UINT i = 0; i < (s_bUserKeyUp ? 2u : 1u); ++i) {
        const EVENTMSG ev = KeyEventFromLowLevel(messages[i], &s_userKey, FALSE, NULL);
        inputs[n] = InputFromKeyEvent(ev.message, ev.paramL, ev.paramH);
        inputs[n++].ki.dwExtraInfo = MACRO_RELEASE_TAG;
    }
    s_passed = {};
    s_bUserKeyHeldBack = s_bUserKeyUp = FALSE;
    SendInput(n, inputs, sizeof(INPUT));
}

// The user's key or button: the playback ends. TRUE when the key has to
// wait for the macro's keys to go up.
static BOOL StopForUser(const KBDLLHOOKSTRUCT* pKey)
{
    if (!InterlockedExchange(&s_bKeysWanted, FALSE))
        return FALSE;
    PostMessageA(g_hwndMain, WMU_MACROENDED, MACRO_END_USER, 0);
    if (!pKey || !s_passed.cDown)
        return FALSE;
    s_userKey = *pKey;
    s_bUserKeyHeldBack = TRUE;
    PostMessageA(s_hwndHost, HOST_PASS_ON_USER_KEY, 0, 0);
    return TRUE;
}

LRESULT CALLBACK PlayedKeyWatchProc(int code, WPARAM wParam, LPARAM lParam)
{
    const UINT message = static_cast<UINT>(wParam);
    const auto* pKey = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
    if (code == HC_ACTION && pKey->dwExtraInfo == MACRO_INPUT_TAG) {
        const LONG cSeen = InterlockedIncrement(&s_cSeen);
        if (!s_bKeysWanted) {
            if (cSeen >= s_cSent)
                PostMessageA(s_hwndHost, HOST_DROP_WATCH, 0, 0);
            return 1;  // sent before the stop: it must reach no window now
        }
        const EVENTMSG ev = KeyEventFromLowLevel(message, pKey, FALSE, NULL);
        NoteKeyEvent(&s_passed, {NULL, ev.message, ev.paramL, ev.paramH, ev.time, NULL});
    } else if (code == HC_ACTION && pKey->dwExtraInfo != MACRO_RELEASE_TAG && IsKeyPress(message)
               && StopForUser(pKey)) {
        return 1;  // it goes in again behind the releases
    } else if (code == HC_ACTION && s_bUserKeyHeldBack && pKey->vkCode == s_userKey.vkCode) {
        s_bUserKeyUp = TRUE;  // and so does its release, after it
        return 1;
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
            StopForUser(NULL);
            break;
        }
    }
    return CallNextHookEx(NULL, code, wParam, lParam);
}

static LRESULT RenewRecordHook()
{
    // The new hook goes in before the old one comes out, so that no key
    // passes between them; the old one passes on what the new one saw.
    HHOOK hHook = g_pfnSetWindowsHookEx(WH_KEYBOARD_LL, KeyboardRecordProc, g_hInstance, 0);
    if (!hHook)
        return FALSE;
    Unhook(&s_hRecordHook);
    s_hRecordHook = hHook;
    return TRUE;
}

static LRESULT CALLBACK HookHostProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg) {
    case HOST_RECORD:
        // A key held since before the start repeats as a key already down.
        for (int vk = 0; vk < 256; ++vk)
            s_keyDown[vk] = (GetAsyncKeyState(vk) & 0x8000) != 0;
        s_bHookSawKey = FALSE;
        return RenewRecordHook();
    case HOST_RENEW_RECORD:
        return RenewRecordHook();
    case HOST_END_RECORD:
        Unhook(&s_hRecordHook);
        return 0;
    case HOST_WATCH:
        DropWatch();
        s_cSeen = 0;
        s_passed = {};
        s_bKeysWanted = TRUE;
        s_hWatchHook = g_pfnSetWindowsHookEx(WH_KEYBOARD_LL, PlayedKeyWatchProc, g_hInstance, 0);
        if (s_hWatchHook)
            s_hMouseWatchHook = g_pfnSetWindowsHookEx(WH_MOUSE_LL, MousePlaybackProc, g_hInstance, 0);
        return s_hWatchHook != NULL;
    case HOST_END_WATCH:
        // Keys sent before the end may still be on their way: the watch
        // stays to hold them back until it has seen them all.
        s_bKeysWanted = FALSE;
        if (s_bUserKeyHeldBack)
            PassOnUserKeyPlain();
        s_passed = {};
        if (s_cSeen >= s_cSent)
            DropWatch();
        return 0;
    case HOST_DROP_WATCH:
        if (!s_bKeysWanted && !s_bUserKeyHeldBack)
            DropWatch();
        return 0;
    case HOST_PASS_ON_USER_KEY:
        if (s_bUserKeyHeldBack)
            PassOnUserKeyPlain();
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

// A key that reached this thread's queue before the recorder's hook was in
// (the window was busy when the start chord came) is the recording's too;
// once the hook has seen a key, every later one is the hook's.
static void TakeEarlyKey(const MSG* pMsg)
{
    if (static_cast<LONG>(pMsg->time - s_dwRecordStart) <= 0)
        return;
    if (s_bHookSawKey && static_cast<LONG>(pMsg->time - s_dwFirstHooked) >= 0) {
        s_bTakingEarlyKeys = FALSE;
        return;
    }
    const UINT hiword = HIWORD(pMsg->lParam);
    const EVENTMSG ev = {pMsg->message, static_cast<UINT>((pMsg->wParam & 0xFF) | (hiword << 8)),
                         1u | ((hiword & KEY_EXTENDED) ? EVENT_EXTENDED : 0), pMsg->time, pMsg->hwnd};
    AppendEventTo(&s_pEarlyHead, &s_pEarlyTail, &ev);
}

BOOL IsPlayedKey(const MSG* pMsg)
{
    return pMsg->message >= WM_KEYFIRST && pMsg->message <= WM_KEYLAST
           && GetMessageExtraInfo() == static_cast<LPARAM>(MACRO_INPUT_TAG);
}

static LRESULT CALLBACK QueueWatchProc(int code, WPARAM wParam, LPARAM lParam)
{
    auto* pMsg = reinterpret_cast<MSG*>(lParam);
    if (code == HC_ACTION && wParam == PM_REMOVE) {
        if (pMsg->message == WM_CANCELJOURNAL && !pMsg->hwnd) {
            // A modal loop would dispatch it to no window; this one it keeps.
            PostMessageA(g_hwndMain, WMU_MACROENDED, MACRO_END_CANCEL, 0);
        } else if (IsPlayedKey(pMsg)) {
            if (!s_bKeysWanted)
                pMsg->message = WM_NULL;  // played before the end, taken after it
        } else if (s_bTakingEarlyKeys && (IsKeyPress(pMsg->message) || IsKeyRelease(pMsg->message))
                   && !IsOwnInput(static_cast<ULONG_PTR>(GetMessageExtraInfo()))) {
            TakeEarlyKey(pMsg);
        }
    }
    return CallNextHookEx(s_hQueueHook, code, wParam, lParam);
}

void WatchThreadQueue()
{
    if (!s_hQueueHook)
        s_hQueueHook = g_pfnSetWindowsHookEx(WH_GETMESSAGE, QueueWatchProc, NULL, GetCurrentThreadId());
}

BOOL StartKeyboardRecording(DWORD dwStart)
{
    if (!StartHookThread() || !SendMessageA(s_hwndHost, HOST_RECORD, 0, 0))
        return FALSE;
    s_dwRecordStart = dwStart;
    s_pEarlyHead = s_pEarlyTail = NULL;
    s_bTakingEarlyKeys = TRUE;
    return TRUE;
}

BOOL RenewKeyboardRecording()
{
    return SendMessageA(s_hwndHost, HOST_RENEW_RECORD, 0, 0) != 0;
}

void StopKeyboardRecording()
{
    SendMessageA(s_hwndHost, HOST_END_RECORD, 0, 0);
    s_bTakingEarlyKeys = FALSE;
    if (s_pEarlyHead) {
        s_pEarlyTail->pNext = g_pMacroHead;
        g_pMacroHead = s_pEarlyHead;
    }
    s_pEarlyHead = s_pEarlyTail = NULL;
}

// Sends the events from the cursor on, as many as a run holds: up to where
// the recording saw the focus move, else cut after the last event at which
// no key is held, if there is one.
static MacroEnd SendNextRun()
{
    HeldKeys probe = s_sentHeld;
    UINT n = 0, nCut = 0;
    BOOL bFocusMoves = FALSE;
    for (const MacroEvent* p = s_pNextToSend; p && n < MACRO_RUN_EVENTS; p = p->pNext) {
        if (n > 0 && p->hwnd != s_pNextToSend->hwnd) {
            bFocusMoves = TRUE;
            break;
        }
        NoteKeyEvent(&probe, *p);
        ++n;
        if (probe.cDown == 0)
            nCut = n;
    }
    if (bFocusMoves || nCut == 0 || n < MACRO_RUN_EVENTS)
        nCut = n;
    INPUT inputs[MACRO_RUN_EVENTS];
    g_pMacroPos = s_pNextToSend;
    for (UINT i = 0; i < nCut; ++i) {
        inputs[i] = InputFromKeyEvent(s_pNextToSend->message, s_pNextToSend->paramL, s_pNextToSend->paramH);
        NoteKeyEvent(&s_sentHeld, *s_pNextToSend);
        s_pLastSent = s_pNextToSend;
        s_pNextToSend = s_pNextToSend->pNext;
    }
    // Counted first: the watch may see the keys before SendInput returns.
    InterlockedExchangeAdd(&s_cSent, static_cast<LONG>(nCut));
    const UINT nTaken = g_pfnSendInput(nCut, inputs, sizeof(INPUT));
    if (nTaken == nCut)
        return MACRO_GOING_ON;
    InterlockedExchangeAdd(&s_cSent, -static_cast<LONG>(nCut - nTaken));
    return MACRO_END_BLOCKED;
}

BOOL StartInputPlayback()
{
    if (!g_pMacroHead || !StartHookThread())
        return FALSE;
    s_cSent = 0;
    s_sentHeld = {};
    s_pNextToSend = g_pMacroHead;
    s_pLastSent = NULL;
    return SendMessageA(s_hwndHost, HOST_WATCH, 0, 0) != 0;
}

BOOL InputRunSeen()
{
    return s_cSeen >= s_cSent;
}

MacroEnd PlayNextInputRun()
{
    if (!s_bKeysWanted)
        return MACRO_END_USER;
    if (!s_pNextToSend)
        return MACRO_END_DONE;
    // Keys follow the focus only where the recording saw it move; a window
    // that came forward by itself must not get the rest.
    const HWND hwndFocus = FocusWindow();
    if (s_pLastSent && s_pNextToSend->hwnd == s_pLastSent->hwnd && hwndFocus != s_hwndRunFocus)
        return MACRO_END_FOCUS_MOVED;
    s_hwndRunFocus = hwndFocus;
    return SendNextRun();
}

void SendKeyReleases(const HeldKeys* pHeld)
{
    INPUT releases[256];
    if (const UINT n = MakeReleases(pHeld, releases))
        SendInput(n, releases, sizeof(INPUT));
}

void StopInputPlayback()
{
    SendMessageA(s_hwndHost, HOST_END_WATCH, 0, 0);
    // A key left down stays down for the whole desktop, and the user's next
    // keys would be shortcuts. What was sent is let go, whether the watch saw
    // it go in or not; a release of a key that is up does nothing.
    SendKeyReleases(&s_sentHeld);
    s_sentHeld = {};
    s_pNextToSend = NULL;
    s_pLastSent = NULL;
}
