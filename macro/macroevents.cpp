#include "macro/macroevents.h"

#include "app/state.h"

// Previous state and transition, in paramL.
constexpr UINT EVENT_RELEASE_BITS = (KF_REPEAT | KF_UP) << 8;

HHOOK (WINAPI* g_pfnSetWindowsHookEx)(int, HOOKPROC, HINSTANCE, DWORD) = SetWindowsHookExA;

void Unhook(HHOOK* phHook)
{
    if (*phHook)
        UnhookWindowsHookEx(*phHook);
    *phHook = NULL;
}

static MacroEvent* NewEvent(const MacroEvent& event)
{
    auto* pNode = static_cast<MacroEvent*>(HeapAlloc(GetProcessHeap(), 0, sizeof(MacroEvent)));
    if (pNode)
        *pNode = event;
    return pNode;
}

void AppendEventTo(MacroEvent** ppHead, MacroEvent** ppTail, const EVENTMSG* pEvent)
{
    // No tail to link to: dropped, like an event that finds no memory.
    if (*ppHead && !*ppTail)
        return;
    MacroEvent* pNode = NewEvent({NULL, pEvent->message, pEvent->paramL, pEvent->paramH, pEvent->time, pEvent->hwnd});
    if (!pNode)
        return;
    if (!*ppHead)
        *ppHead = pNode;
    else
        (*ppTail)->pNext = pNode;
    *ppTail = pNode;
}

void AppendMacroEvent(const EVENTMSG* pEvent)
{
    AppendEventTo(&g_pMacroHead, &g_pMacroPos, pEvent);
}

void FreeMacroEvents(MacroEvent* pFirst)
{
    while (pFirst) {
        MacroEvent* pNext = pFirst->pNext;
        HeapFree(GetProcessHeap(), 0, pFirst);
        pFirst = pNext;
    }
}

void NoteKeyEvent(HeldKeys* pHeld, const MacroEvent& event)
{
    const BYTE vk = EventKey(event.paramL);
    const BOOL bDown = IsKeyPress(event.message);
    if (!bDown && !IsKeyRelease(event.message))
        return;
    if (bDown != pHeld->bDown[vk])
        pHeld->cDown += bDown ? 1 : -1;
    pHeld->bDown[vk] = bDown;
    if (bDown)
        pHeld->press[vk] = event;
}

MacroEvent OppositeOf(const MacroEvent& event)
{
    // A character event has its character where a key has its flags.
    const UINT flags = EventKey(event.paramL) != VK_PACKET ? EVENT_RELEASE_BITS : 0;
    MacroEvent other = event;
    other.pNext = NULL;
    static_assert((WM_KEYDOWN ^ 1) == WM_KEYUP && (WM_SYSKEYDOWN ^ 1) == WM_SYSKEYUP, "a press and its release");
    other.message ^= 1;
    other.paramL = IsKeyPress(event.message) ? event.paramL | flags : event.paramL & ~flags;
    return other;
}

static void CutFrom(MacroEvent** ppFirst)
{
    FreeMacroEvents(*ppFirst);
    *ppFirst = NULL;
}

// Puts a press at the front for each key held from the start that took part.
static void KeepStartKeys(const BYTE* pabStartKeys)
{
    BYTE state[256];
    CopyMemory(state, pabStartKeys, sizeof state);
    BOOL abUsed[256] = {};
    HeldKeys down = {};
    for (MacroEvent** pp = &g_pMacroHead; *pp;) {
        MacroEvent* p = *pp;
        const BYTE vk = EventKey(p->paramL);
        BOOL bKeep = FALSE;
        // A press that is no repeat: the key was let go before the recorder saw it.
        if (IsKeyPress(p->message) && !(p->paramL & (KF_REPEAT << 8)))
            state[vk] = START_KEY_UP;
        if (IsKeyPress(p->message) && state[vk] == START_KEY_UP) {
            bKeep = TRUE;
            if (!down.bDown[vk])
                for (int k = 0; k < 256; ++k)
                    abUsed[k] |= state[k] == START_KEY_HELD;
        } else if (IsKeyRelease(p->message)) {
            bKeep = down.bDown[vk] || abUsed[vk];
            if (abUsed[vk] && state[vk] != START_KEY_UP) {
                MacroEvent* pPress = NewEvent(OppositeOf(*p));
                bKeep = pPress != NULL;  // no press, no release
                if (pPress) {
                    pPress->pNext = g_pMacroHead;
                    if (pp == &g_pMacroHead)
                        pp = &pPress->pNext;
                    g_pMacroHead = pPress;
                }
            }
            state[vk] = START_KEY_UP;
        }
        if (bKeep) {
            NoteKeyEvent(&down, *p);
            pp = &p->pNext;
        } else {
            *pp = p->pNext;
            HeapFree(GetProcessHeap(), 0, p);
        }
    }
}

void FinishRecordedKeys(const BYTE* pabStartKeys, const DWORD* pdwStop)
{
    MacroEvent** pp = &g_pMacroHead;
    while (*pp && (!pdwStop || static_cast<LONG>((*pp)->time - *pdwStop) < 0))
        pp = &(*pp)->pNext;
    CutFrom(pp);
    KeepStartKeys(pabStartKeys);

    // Past the last release, every press is of a key still held at the end:
    // the stopping chord's.
    MacroEvent** ppKeepEnd = &g_pMacroHead;
    for (pp = &g_pMacroHead; *pp; pp = &(*pp)->pNext)
        if (IsKeyRelease((*pp)->message))
            ppKeepEnd = &(*pp)->pNext;
    CutFrom(ppKeepEnd);

    // A Ctrl pressed before an earlier key and held through the stop.
    HeldKeys held = {};
    g_pMacroPos = NULL;
    for (MacroEvent* p = g_pMacroHead; p; p = p->pNext) {
        NoteKeyEvent(&held, *p);
        g_pMacroPos = p;
    }
    for (int vk = 255; vk >= 0; --vk) {
        if (held.bDown[vk]) {
            const MacroEvent up = OppositeOf(held.press[vk]);
            // Something is held, so something was kept to take the time of.
            const EVENTMSG ev = {up.message, up.paramL, up.paramH, g_pMacroPos->time, up.hwnd};
            AppendMacroEvent(&ev);
        }
    }
    g_pMacroPos = NULL;
}
