#include "macro/journal.h"

#include "app/state.h"
#include "macro/inputmacro.h"

static BOOL s_bPlaying;     // from the start until the last event is taken
static BOOL s_bAsked;       // HC_GETNEXT has come at least once
static BOOL s_bEventTaken;  // the event at the cursor was handed over
static HeldKeys s_held;

LRESULT CALLBACK JournalRecordProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code < 0)
        return CallNextHookEx(g_hJournalHook, code, wParam, lParam);
    const auto* pEvent = reinterpret_cast<const EVENTMSG*>(lParam);
    if (code == HC_ACTION && (IsKeyPress(pEvent->message) || IsKeyRelease(pEvent->message)))
        AppendMacroEvent(pEvent);
    return 0;
}

LRESULT CALLBACK JournalPlaybackProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code < 0)
        return CallNextHookEx(g_hJournalHook, code, wParam, lParam);
    if (!g_pMacroPos || !s_bPlaying)
        return 0;
    if (code == HC_GETNEXT) {
        // The system may ask for the same event several times (it peeks
        // before it takes one); only HC_SKIP moves on.
        const MacroEvent& at = *g_pMacroPos;
        *reinterpret_cast<EVENTMSG*>(lParam) = {at.message, at.paramL, at.paramH, at.time, at.hwnd};
        s_bAsked = s_bEventTaken = TRUE;
    } else if (code == HC_SKIP && s_bEventTaken) {
        s_bEventTaken = FALSE;
        NoteKeyEvent(&s_held, *g_pMacroPos);
        if (g_pMacroPos->pNext) {
            g_pMacroPos = g_pMacroPos->pNext;
        } else {
            s_bPlaying = FALSE;
            Unhook(&g_hJournalHook);
            // The cursor stays until the end is taken: if the key just taken
            // is Record, it must find the playback running, and end it.
            PostMessageA(g_hwndMain, WMU_MACROENDED, MACRO_END_DONE, 0);
        }
    }
    return 0;  // no delay: the macro plays at the system's pace
}

BOOL StartJournalRecording()
{
    g_hJournalHook = g_pfnSetWindowsHookEx(WH_JOURNALRECORD, JournalRecordProc, g_hInstance, 0);
    return g_hJournalHook != NULL;
}

BOOL StartJournalPlayback()
{
    s_bAsked = s_bEventTaken = FALSE;
    s_held = {};
    s_bPlaying = TRUE;  // the system may ask at once
    g_hJournalHook = g_pfnSetWindowsHookEx(WH_JOURNALPLAYBACK, JournalPlaybackProc, g_hInstance, 0);
    return s_bPlaying = g_hJournalHook != NULL;
}

void StopJournal()
{
    s_bPlaying = FALSE;
    Unhook(&g_hJournalHook);
    SendKeyReleases(&s_held);
    s_held = {};
}

BOOL JournalPlaybackAsked()
{
    return s_bAsked;
}
