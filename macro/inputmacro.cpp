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

static BYTE s_keyDown[256];        // to tell a repeat from a first press
static MacroEvent* s_pPlaybackEnd; // the event whose passing ends the playback

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
    const auto* pKey = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
    if (code == HC_ACTION && pKey->dwExtraInfo == MACRO_INPUT_TAG && g_pMacroPos) {
        if (g_pMacroPos == s_pPlaybackEnd || !g_pMacroPos->pNext)
            PostMessageA(NULL, WM_CANCELJOURNAL, 0, 0);
        else
            g_pMacroPos = g_pMacroPos->pNext;
    }
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
        }
    }
    return n;
}

HHOOK StartInputPlayback()
{
    UINT cEvents = 0;
    for (const MacroEvent* p = g_pMacroHead; p; p = p->pNext)
        ++cEvents;
    constexpr UINT kMaxModifiers = 8;
    auto* pInputs = static_cast<INPUT*>(HeapAlloc(GetProcessHeap(), 0, sizeof(INPUT) * (cEvents + kMaxModifiers)));
    if (!pInputs)
        return NULL;
    HHOOK hHook = g_pfnSetWindowsHookEx(WH_KEYBOARD_LL, KeyboardPlaybackProc, g_hInstance, 0);
    if (!hHook) {
        HeapFree(GetProcessHeap(), 0, pInputs);
        return NULL;
    }
    const UINT cReleases = AddModifierReleases(pInputs);
    UINT n = cReleases;
    for (const MacroEvent* p = g_pMacroHead; p; p = p->pNext)
        pInputs[n++] = InputFromKeyEvent(p->message, p->paramL, p->paramH);

    // Until the sending returns, the end is the last event; should the system
    // take fewer, the last one it took ends the playback instead.
    s_pPlaybackEnd = NULL;
    const UINT cSent = SendInput(n, pInputs, sizeof(INPUT));
    HeapFree(GetProcessHeap(), 0, pInputs);
    if (cSent <= cReleases) {
        UnhookWindowsHookEx(hHook);
        return NULL;
    }
    if (cSent < n) {
        MacroEvent* pEnd = g_pMacroHead;
        for (UINT i = cReleases + 1; i < cSent; ++i)
            pEnd = pEnd->pNext;
        s_pPlaybackEnd = pEnd;
    }
    return hHook;
}
