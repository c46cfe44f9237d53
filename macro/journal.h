// The journal way of recording and playing keystrokes: a journal-record hook
// copies key events into the macro, a journal-playback hook hands them back
// to the system one by one. Both run on the window's thread, called by the
// system while it retrieves messages; g_hJournalHook holds either. Systems
// that refuse journal hooks, or accept them without calling them, are served
// by the input way.
#ifndef TEKSTOR_MACRO_JOURNAL_H
#define TEKSTOR_MACRO_JOURNAL_H

#include <windows.h>

#include "macro/macroevents.h"

LRESULT CALLBACK JournalRecordProc(int code, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK JournalPlaybackProc(int code, WPARAM wParam, LPARAM lParam);

// FALSE when the system refuses the hook.
BOOL StartJournalRecording();
void StopJournalRecording();
// Plays the macro from g_pMacroPos. When the system has taken the last
// event, the hook removes itself (a hook left in place shuts out the user's
// own keyboard and mouse) and the end is reported with WMU_MACROENDED.
BOOL StartJournalPlayback();
// Hands over nothing more, removes the hook, and releases every key the
// played events left down.
void StopJournalPlayback();

// Whether the system has asked for an event since the playback started:
// some systems accept the hook and never call it.
BOOL JournalPlaybackAsked();

#endif
