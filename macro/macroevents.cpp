#include "macro/macroevents.h"

#include "app/state.h"

// The release flags of a key message's lParam (previous state, transition),
// as they stand in paramL above the virtual key.
constexpr UINT EVENT_RELEASE_BITS = (KF_REPEAT | KF_UP) << 8;

HHOOK (WINAPI* g_pfnSetWindowsHookEx)(int, HOOKPROC, HINSTANCE, DWORD) = SetWindowsHookExA;

// Not on the stack: recording runs on the hook thread, which keeps its
// stack small, and only one recording runs at a time.
static HeldKeys s_recorded;

void AppendMacroEvent(const EVENTMSG* pEvent)
{
    // Without a tail to link to, an event cannot join the list without
    // breaking it; so it is dropped, like one that finds no memory.
    if (g_pMacroHead && !g_pMacroPos)
        return;
    auto* pNode = static_cast<MacroEvent*>(HeapAlloc(GetProcessHeap(), 0, sizeof(MacroEvent)));
    if (!pNode)
        return;
    pNode->pNext = NULL;
    pNode->message = pEvent->message;
    pNode->paramL = pEvent->paramL;
    pNode->paramH = pEvent->paramH;
    pNode->time = pEvent->time;
    pNode->hwnd = pEvent->hwnd;
    if (!g_pMacroHead)
        g_pMacroHead = pNode;
    else
        g_pMacroPos->pNext = pNode;
    g_pMacroPos = pNode;
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

MacroEvent ReleaseOf(const MacroEvent& press)
{
    MacroEvent release = press;
    release.pNext = NULL;
    release.message = press.message == WM_SYSKEYDOWN ? WM_SYSKEYUP : WM_KEYUP;
    // A character event has its character where a key has its flags.
    if (EventKey(press.paramL) != VK_PACKET)
        release.paramL |= EVENT_RELEASE_BITS;
    return release;
}

static MacroEvent FromEventMsg(const EVENTMSG* pEvent)
{
    MacroEvent event = {NULL, pEvent->message, pEvent->paramL, pEvent->paramH, pEvent->time, pEvent->hwnd};
    return event;
}

static void AppendEvent(const MacroEvent& event)
{
    EVENTMSG ev = {event.message, event.paramL, event.paramH, event.time, event.hwnd};
    AppendMacroEvent(&ev);
}

void BeginRecordedKeys()
{
    ZeroMemory(&s_recorded, sizeof s_recorded);
}

void RecordKeyEvent(const EVENTMSG* pEvent)
{
    const MacroEvent event = FromEventMsg(pEvent);
    if (IsKeyRelease(event.message) && !s_recorded.bDown[EventKey(event.paramL)])
        return;
    if (!IsKeyPress(event.message) && !IsKeyRelease(event.message))
        return;
    NoteKeyEvent(&s_recorded, event);
    AppendEvent(event);
}

void EndRecordedKeys()
{
    // The last event that is not a press of a key still held: everything
    // after it is the stopping keystroke (with its repeats).
    MacroEvent* pKeep = NULL;
    for (MacroEvent* p = g_pMacroHead; p; p = p->pNext)
        if (!IsKeyPress(p->message) || !s_recorded.bDown[EventKey(p->paramL)])
            pKeep = p;
    if (pKeep) {
        FreeMacroEvents(pKeep->pNext);
        pKeep->pNext = NULL;
    } else {
        FreeMacroEvents(g_pMacroHead);
        g_pMacroHead = NULL;
    }
    // What is still held in what is left (a Ctrl pressed before an earlier
    // key and held through the stop) is let go at the end.
    ZeroMemory(&s_recorded, sizeof s_recorded);
    for (MacroEvent* p = g_pMacroHead; p; p = p->pNext)
        NoteKeyEvent(&s_recorded, *p);
    g_pMacroPos = pKeep;
    for (int vk = 255; vk >= 0; --vk) {
        if (s_recorded.bDown[vk]) {
            MacroEvent release = ReleaseOf(s_recorded.press[vk]);
            release.time = pKeep->time;  // something is held, so something was kept
            AppendEvent(release);
        }
    }
    ZeroMemory(&s_recorded, sizeof s_recorded);
}
