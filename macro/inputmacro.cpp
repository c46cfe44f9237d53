// The hooks only copy, count and post: the system drops a low-level hook
// that keeps it waiting. Requests to the hook thread are sent, so a hook is
// in or out by the time its request returns.
#include "macro/inputmacro.h"

#include "app/state.h"

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
    HOST_RECORD = WM_APP,  // wParam: a new recording, else the same afresh; returns whether the hook is in
    HOST_WATCH,            // returns whether the watch is in
    HOST_END,
    HOST_SETTLE_WATCH,     // posted by the watch: a user's key waits, or every key sent was seen
};

// The hook thread's, but for cSent.
static struct {
    HWND hwndHost;              // message-only
    HHOOK hRecord, hWatch, hMouseWatch;
    BOOL bInRecordProc;         // a renewed hook calls the old one next
    BYTE keyDown[256];          // to tell a repeat from a first press
    volatile LONG bSawKey;      // the recorder has seen a key...
    volatile DWORD dwFirstKey;  // ...first at this time
    volatile LONG cSeen, cSent; // played events the watch has seen, and sent
    volatile LONG bKeysWanted;  // cleared at the window's request, or by the watch at the user's input
    HeldKeys passed;            // played presses the watch let through
    KBDLLHOOKSTRUCT userKey;    // the user's key that ended a playback, held back (vkCode 0: none)...
    BOOL bUserKeyUp;            // ...and its release with it
} s_hook;

// The window's thread's.
static struct {
    MacroEvent* pNextToSend;
    HeldKeys sentHeld;          // what the sent events hold down: runs are cut where nothing is
    HWND hwndRunFocus;          // the focus when the last run went out...
    DWORD dwRunSent;            // ...and the time
    HHOOK hQueueWatch;
    DWORD dwRecordStart;
    MacroEvent* pEarlyHead;     // what the window took before the hook saw any key
    MacroEvent* pEarlyTail;
} s_win;

// As the journal recorder stores it.
static EVENTMSG KeyEvent(UINT message, UINT vk, UINT hiword, DWORD time, HWND hwnd)
{
    return {message, (vk & 0xFF) | (hiword << 8), 1u | ((hiword & KF_EXTENDED) ? EVENT_EXTENDED : 0), time, hwnd};
}

static EVENTMSG KeyEventFromLowLevel(UINT message, const KBDLLHOOKSTRUCT* pKey, BOOL bWasDown, HWND hwnd)
{
    // From the touch keyboard or an input method: a UTF-16 unit.
    if (pKey->vkCode == VK_PACKET)
        return {message, VK_PACKET | ((pKey->scanCode & 0xFFFF) << 8), 1, pKey->time, hwnd};
    static_assert((LLKHF_EXTENDED << 8) == KF_EXTENDED && (LLKHF_ALTDOWN << 8) == KF_ALTDOWN, "as in lParam");
    UINT hiword = (pKey->scanCode & 0xFF) | ((pKey->flags & (LLKHF_EXTENDED | LLKHF_ALTDOWN)) << 8);
    if (IsKeyRelease(message))
        hiword |= KF_REPEAT | KF_UP;
    else if (bWasDown)
        hiword |= KF_REPEAT;
    return KeyEvent(message, pKey->vkCode, hiword, pKey->time, hwnd);
}

INPUT InputFromKeyEvent(UINT message, UINT paramL, UINT paramH, ULONG_PTR tag)
{
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    if (EventKey(paramL) == VK_PACKET) {
        in.ki.wScan = static_cast<WORD>((paramL >> 8) & 0xFFFF);
        in.ki.dwFlags = KEYEVENTF_UNICODE;
    } else {
        in.ki.wVk = EventKey(paramL);
        in.ki.wScan = static_cast<WORD>((paramL >> 8) & 0xFF);
        if ((paramH & EVENT_EXTENDED) || ((paramL >> 8) & KF_EXTENDED))
            in.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
    }
    if (IsKeyRelease(message))
        in.ki.dwFlags |= KEYEVENTF_KEYUP;
    in.ki.dwExtraInfo = tag;
    return in;
}

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
    if (code != HC_ACTION || s_hook.bInRecordProc || !(IsKeyPress(message) || IsKeyRelease(message))
        || IsOwnInput(pKey->dwExtraInfo))
        return CallNextHookEx(NULL, code, wParam, lParam);
    if (!s_hook.bSawKey) {
        s_hook.dwFirstKey = pKey->time;
        InterlockedExchange(&s_hook.bSawKey, TRUE);
    }
    const BYTE vk = static_cast<BYTE>(pKey->vkCode);
    const BOOL bWasDown = s_hook.keyDown[vk];
    s_hook.keyDown[vk] = IsKeyPress(message);
    const EVENTMSG ev = KeyEventFromLowLevel(message, pKey, bWasDown, FocusWindow());
    AppendMacroEvent(&ev);
    s_hook.bInRecordProc = TRUE;
    const LRESULT result = CallNextHookEx(NULL, code, wParam, lParam);
    s_hook.bInRecordProc = FALSE;
    return result;
}

static UINT MakeReleases(const HeldKeys* pHeld, INPUT* inputs)
{
    UINT n = 0;
    for (int vk = 255; vk >= 0; --vk) {
        if (pHeld->bDown[vk]) {
            const MacroEvent up = OppositeOf(pHeld->press[vk]);
            inputs[n++] = InputFromKeyEvent(up.message, up.paramL, up.paramH, MACRO_RELEASE_TAG);
        }
    }
    return n;
}

// Once out of the hook (input sent inside it would wait for this very
// thread): the user's key goes after the releases, so it arrives plain.
static void PassOnUserKeyPlain()
{
    INPUT inputs[258];
    UINT n = MakeReleases(&s_hook.passed, inputs);
    for (UINT message = WM_KEYDOWN; message <= (s_hook.bUserKeyUp ? WM_KEYUP : WM_KEYDOWN); ++message) {
        const EVENTMSG ev = KeyEventFromLowLevel(message, &s_hook.userKey, FALSE, NULL);
        inputs[n++] = InputFromKeyEvent(ev.message, ev.paramL, ev.paramH, MACRO_RELEASE_TAG);
    }
    s_hook.passed = {};
    s_hook.userKey = {};
    s_hook.bUserKeyUp = FALSE;
    SendInput(n, inputs, sizeof(INPUT));
}

// TRUE when the user's key has to wait for the macro's keys to go up.
static BOOL StopForUser(const KBDLLHOOKSTRUCT* pKey)
{
    if (!InterlockedExchange(&s_hook.bKeysWanted, FALSE))
        return FALSE;
    PostMessageA(g_hwndMain, WMU_MACROENDED, MACRO_END_USER, 0);
    if (!pKey || !s_hook.passed.cDown)
        return FALSE;
    s_hook.userKey = *pKey;
    PostMessageA(s_hook.hwndHost, HOST_SETTLE_WATCH, 0, 0);
    return TRUE;
}

static LRESULT CALLBACK PlayedKeyWatchProc(int code, WPARAM wParam, LPARAM lParam)
{
    const UINT message = static_cast<UINT>(wParam);
    const auto* pKey = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
    if (code == HC_ACTION && pKey->dwExtraInfo == MACRO_INPUT_TAG) {
        const LONG cSeen = InterlockedIncrement(&s_hook.cSeen);
        if (!s_hook.bKeysWanted) {
            if (cSeen >= s_hook.cSent)
                PostMessageA(s_hook.hwndHost, HOST_SETTLE_WATCH, 0, 0);
            return 1;  // sent before the stop: it must reach no window now
        }
        const EVENTMSG ev = KeyEventFromLowLevel(message, pKey, FALSE, NULL);
        NoteKeyEvent(&s_hook.passed, {NULL, ev.message, ev.paramL, ev.paramH, ev.time, NULL});
    } else if (code == HC_ACTION && pKey->dwExtraInfo != MACRO_RELEASE_TAG && IsKeyPress(message)
               && StopForUser(pKey)) {
        return 1;  // it goes in again behind the releases
    } else if (code == HC_ACTION && s_hook.userKey.vkCode && pKey->vkCode == s_hook.userKey.vkCode) {
        s_hook.bUserKeyUp = TRUE;  // and so does its release, after it
        return 1;
    }
    return CallNextHookEx(NULL, code, wParam, lParam);
}

static LRESULT CALLBACK MousePlaybackProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION && (wParam == WM_LBUTTONDOWN || wParam == WM_RBUTTONDOWN
                              || wParam == WM_MBUTTONDOWN || wParam == WM_XBUTTONDOWN))
        StopForUser(NULL);
    return CallNextHookEx(NULL, code, wParam, lParam);
}

static LRESULT PutRecordHookIn(BOOL bNewRecording)
{
    if (bNewRecording) {
        // A key held since before the start repeats as a key already down.
        for (int vk = 0; vk < 256; ++vk)
            s_hook.keyDown[vk] = (GetAsyncKeyState(vk) & 0x8000) != 0;
        s_hook.bSawKey = FALSE;
    }
    // In before the old one comes out, so that no key passes between them.
    HHOOK hHook = g_pfnSetWindowsHookEx(WH_KEYBOARD_LL, KeyboardRecordProc, g_hInstance, 0);
    if (!hHook)
        return FALSE;
    Unhook(&s_hook.hRecord);
    s_hook.hRecord = hHook;
    return TRUE;
}

static void DropWatch()
{
    Unhook(&s_hook.hWatch);
    Unhook(&s_hook.hMouseWatch);
}

static LRESULT PutWatchIn()
{
    DropWatch();
    s_hook.cSeen = 0;
    s_hook.passed = {};
    s_hook.bKeysWanted = TRUE;
    s_hook.hWatch = g_pfnSetWindowsHookEx(WH_KEYBOARD_LL, PlayedKeyWatchProc, g_hInstance, 0);
    if (s_hook.hWatch)
        s_hook.hMouseWatch = g_pfnSetWindowsHookEx(WH_MOUSE_LL, MousePlaybackProc, g_hInstance, 0);
    return s_hook.hWatch != NULL;
}

static LRESULT CALLBACK HookHostProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg) {
    case HOST_RECORD:
        return PutRecordHookIn(static_cast<BOOL>(wParam));
    case HOST_WATCH:
        return PutWatchIn();
    case HOST_END:
        Unhook(&s_hook.hRecord);
        s_hook.bKeysWanted = FALSE;
        [[fallthrough]];
    case HOST_SETTLE_WATCH:
        if (s_hook.userKey.vkCode)
            PassOnUserKeyPlain();
        // The watch holds back keys sent before the end until it has seen them all.
        if (!s_hook.bKeysWanted && s_hook.cSeen >= s_hook.cSent)
            DropWatch();
        return 0;
    }
    return DefWindowProcA(hwnd, uMsg, wParam, lParam);
}

static DWORD WINAPI HookThreadProc(LPVOID pvReady)
{
    // The system waits for this thread on every key of the desktop.
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
    const WNDCLASSA wc = {0, HookHostProc, 0, 0, g_hInstance, NULL, NULL, NULL, NULL, "TekstorHookHost"};
    RegisterClassA(&wc);
    s_hook.hwndHost = CreateWindowExA(0, wc.lpszClassName, NULL, 0, 0, 0, 0, 0, HWND_MESSAGE, NULL,
                                      g_hInstance, NULL);
    SetEvent(static_cast<HANDLE>(pvReady));
    MSG msg;
    while (s_hook.hwndHost && GetMessageA(&msg, NULL, 0, 0) > 0)
        DispatchMessageA(&msg);
    return 0;
}

// Kept from the first recording or playback on.
static BOOL StartHookThread()
{
    if (s_hook.hwndHost)
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
    return s_hook.hwndHost != NULL;
}

// Keys the window took before the hook was in (it was busy when the start
// chord came); once the hook has seen a key, every later one is the hook's.
static void TakeEarlyKey(const MSG* pMsg)
{
    if (static_cast<LONG>(pMsg->time - s_win.dwRecordStart) > 0
        && (!s_hook.bSawKey || static_cast<LONG>(pMsg->time - s_hook.dwFirstKey) < 0)) {
        const EVENTMSG ev = KeyEvent(pMsg->message, static_cast<UINT>(pMsg->wParam), HIWORD(pMsg->lParam),
                                     pMsg->time, pMsg->hwnd);
        AppendEventTo(&s_win.pEarlyHead, &s_win.pEarlyTail, &ev);
    }
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
            if (!s_hook.bKeysWanted)
                pMsg->message = WM_NULL;  // played before the end, taken after it
        } else if (s_hook.hRecord && (IsKeyPress(pMsg->message) || IsKeyRelease(pMsg->message))
                   && !IsOwnInput(static_cast<ULONG_PTR>(GetMessageExtraInfo()))) {
            TakeEarlyKey(pMsg);
        }
    }
    return CallNextHookEx(s_win.hQueueWatch, code, wParam, lParam);
}

void WatchThreadQueue()
{
    if (!s_win.hQueueWatch)
        s_win.hQueueWatch = g_pfnSetWindowsHookEx(WH_GETMESSAGE, QueueWatchProc, NULL, GetCurrentThreadId());
}

BOOL StartKeyboardRecording()
{
    if (!StartHookThread() || !SendMessageA(s_hook.hwndHost, HOST_RECORD, TRUE, 0))
        return FALSE;
    s_win.dwRecordStart = GetMessageTime();
    s_win.pEarlyHead = s_win.pEarlyTail = NULL;
    return TRUE;
}

BOOL RenewKeyboardRecording()
{
    return SendMessageA(s_hook.hwndHost, HOST_RECORD, FALSE, 0) != 0;
}

// A run ends where the recording saw the focus move, else after the last
// event at which no key is held, if there is one.
static MacroEnd SendNextRun()
{
    const HWND hwndRecorded = s_win.pNextToSend->hwnd;
    HeldKeys probe = s_win.sentHeld;
    UINT n = 0, nCut = 0;
    for (const MacroEvent* p = s_win.pNextToSend; p && p->hwnd == hwndRecorded && n < MACRO_RUN_EVENTS;
         p = p->pNext) {
        NoteKeyEvent(&probe, *p);
        ++n;
        if (probe.cDown == 0)
            nCut = n;
    }
    if (nCut == 0 || n < MACRO_RUN_EVENTS)
        nCut = n;
    INPUT inputs[MACRO_RUN_EVENTS];
    g_pMacroPos = s_win.pNextToSend;
    for (UINT i = 0; i < nCut; ++i) {
        const MacroEvent* p = s_win.pNextToSend;
        inputs[i] = InputFromKeyEvent(p->message, p->paramL, p->paramH);
        NoteKeyEvent(&s_win.sentHeld, *p);
        s_win.pNextToSend = p->pNext;
    }
    // Counted first: the watch may see the keys before SendInput returns.
    InterlockedExchangeAdd(&s_hook.cSent, static_cast<LONG>(nCut));
    const UINT nTaken = g_pfnSendInput(nCut, inputs, sizeof(INPUT));
    if (nTaken == nCut)
        return MACRO_GOING_ON;
    InterlockedExchangeAdd(&s_hook.cSent, -static_cast<LONG>(nCut - nTaken));
    return MACRO_END_BLOCKED;
}

BOOL StartInputPlayback()
{
    if (!StartHookThread())
        return FALSE;
    s_hook.cSent = 0;
    s_win.sentHeld = {};
    s_win.pNextToSend = g_pMacroHead;
    return SendMessageA(s_hook.hwndHost, HOST_WATCH, 0, 0) != 0;
}

MacroEnd PlayNextInputRun()
{
    if (!s_hook.bKeysWanted)
        return MACRO_END_USER;
    if (s_hook.cSeen < s_hook.cSent)
        return GetTickCount() - s_win.dwRunSent > MACRO_STALL_MS ? MACRO_END_BLOCKED : MACRO_GOING_ON;
    if (!s_win.pNextToSend)
        return MACRO_END_DONE;
    // A window that came forward by itself must not get the rest.
    // g_pMacroPos is the first event of the last run.
    const HWND hwndFocus = FocusWindow();
    if (g_pMacroPos != s_win.pNextToSend && s_win.pNextToSend->hwnd == g_pMacroPos->hwnd
        && hwndFocus != s_win.hwndRunFocus)
        return MACRO_END_FOCUS_MOVED;
    s_win.hwndRunFocus = hwndFocus;
    s_win.dwRunSent = GetTickCount();
    return SendNextRun();
}

void SendKeyReleases(const HeldKeys* pHeld)
{
    INPUT releases[256];
    if (const UINT n = MakeReleases(pHeld, releases))
        SendInput(n, releases, sizeof(INPUT));
}

void StopInputWay()
{
    SendMessageA(s_hook.hwndHost, HOST_END, 0, 0);
    if (s_win.pEarlyHead) {
        s_win.pEarlyTail->pNext = g_pMacroHead;
        g_pMacroHead = s_win.pEarlyHead;
    }
    s_win.pEarlyHead = s_win.pEarlyTail = NULL;
    // A key left down stays down for the whole desktop. What was sent is let
    // go, seen or not: a release of a key that is up does nothing.
    SendKeyReleases(&s_win.sentHeld);
    s_win.sentHeld = {};
    s_win.pNextToSend = NULL;
}
