// Keystroke macros. The system calls both hook procedures on this thread while
// it retrieves messages, so they share the globals with the window procedure
// without locks. g_pMacroPos is the tail while recording, the cursor while
// playing, and NULL otherwise; the commands read it as "something is running".
#include "macro/macro.h"

#include "app/state.h"
#include "document/document.h"
#include "macro/inputmacro.h"
#include "res/resource.h"

HHOOK (WINAPI* g_pfnSetWindowsHookEx)(int, HOOKPROC, HINSTANCE, DWORD) = SetWindowsHookExA;

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

LRESULT CALLBACK JournalRecordProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code < 0)
        return CallNextHookEx(g_hJournalHook, code, wParam, lParam);
    if (code != HC_ACTION)
        return 0;
    // System keys (F10, Alt combinations) and the mouse are not part of a macro.
    const auto* pEvent = reinterpret_cast<const EVENTMSG*>(lParam);
    if (pEvent->message == WM_KEYDOWN || pEvent->message == WM_KEYUP)
        AppendMacroEvent(pEvent);
    return 0;
}

// Set when the event at the cursor has been handed over, so that an HC_SKIP
// with nothing taken yet cannot pass over an event.
static BOOL s_bEventTaken;

LRESULT CALLBACK JournalPlaybackProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code < 0)
        return CallNextHookEx(g_hJournalHook, code, wParam, lParam);
    if (!g_pMacroPos)
        return 0;
    if (code == HC_GETNEXT) {
        // The system may ask for the same event several times (it peeks
        // before it takes one); only HC_SKIP moves on.
        auto* pEvent = reinterpret_cast<EVENTMSG*>(lParam);
        pEvent->message = g_pMacroPos->message;
        pEvent->paramL = g_pMacroPos->paramL;
        pEvent->paramH = g_pMacroPos->paramH;
        pEvent->time = g_pMacroPos->time;
        pEvent->hwnd = g_pMacroPos->hwnd;
        s_bEventTaken = TRUE;
    } else if (code == HC_SKIP && s_bEventTaken) {
        s_bEventTaken = FALSE;
        // The end comes here, not by a message: a last key that opens a
        // dialog would have its modal loop drop a thread message, and while
        // the hook stays the user's own keyboard and mouse are shut out.
        if (g_pMacroPos->pNext)
            g_pMacroPos = g_pMacroPos->pNext;
        else
            ReleaseMacroHook();
    }
    return 0;  // no delay: the macro plays at the system's pace
}

static void ShowRecordingState()
{
    CheckMenuItem(g_hMenu, IDM_RECORD, MF_BYCOMMAND | (g_bRecording ? MF_CHECKED : MF_UNCHECKED));
    UpdateTitle(g_hInstance, g_hwndMain, g_bRecording);
}

void StartRecording()
{
    g_bRecording = TRUE;
    ShowRecordingState();
    FreeMacroEvents(g_pMacroHead);
    g_pMacroHead = NULL;
    g_hJournalHook = g_pfnSetWindowsHookEx(WH_JOURNALRECORD, JournalRecordProc, g_hInstance, 0);
    if (!g_hJournalHook)
        g_hJournalHook = StartKeyboardRecording();
}

void StopRecording()
{
    g_bRecording = FALSE;
    ShowRecordingState();
    ReleaseMacroHook();
}

void ReleaseMacroHook()
{
    if (g_hJournalHook)
        UnhookWindowsHookEx(g_hJournalHook);
    g_hJournalHook = NULL;
    g_pMacroPos = NULL;
    StopInputPlayback();
}

void StartPlayback()
{
    if (g_bRecording || g_hJournalHook || !g_pMacroHead)
        return;
    g_pMacroPos = g_pMacroHead;
    s_bEventTaken = FALSE;
    g_hJournalHook = g_pfnSetWindowsHookEx(WH_JOURNALPLAYBACK, JournalPlaybackProc, g_hInstance, 0);
    if (!g_hJournalHook)
        g_hJournalHook = StartInputPlayback();
}

void RunRecordCommand()
{
    if (!g_bRecording && !g_pMacroPos)
        StartRecording();
    else
        StopRecording();
}

void RunPlayCommand(HWND hwndMain)
{
    // Installed from the queue, once the menu or accelerator that asked for
    // it has finished with the keyboard.
    if (!g_pMacroPos)
        PostMessageA(hwndMain, WMU_PLAYMACRO, 0, 0);
}

void UpdatePlayMenuItem()
{
    const BOOL bPlayable = !g_bRecording && !g_hJournalHook && g_pMacroHead;
    EnableMenuItem(g_hMenu, IDM_PLAY, MF_BYCOMMAND | (bPlayable ? MF_ENABLED : MF_GRAYED));
}

void ReleaseMacro()
{
    // The hook goes first: the system could call it again while the nodes
    // it reads are being released.
    ReleaseMacroHook();
    FreeMacroEvents(g_pMacroHead);
    g_pMacroHead = NULL;
}
