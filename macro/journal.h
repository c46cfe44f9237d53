// The journal way of recording and playing keystrokes: a journal-record hook
// copies key events into the macro, a journal-playback hook hands them back
// to the system one by one. Both run on the window's thread, called by the
// system while it retrieves messages. Systems that refuse journal hooks, or
// accept them without calling them, are served by the input way.
#ifndef TEKSTOR_MACRO_JOURNAL_H
#define TEKSTOR_MACRO_JOURNAL_H

#include <windows.h>

#include "macro/macroevents.h"

LRESULT CALLBACK JournalRecordProc(int code, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK JournalPlaybackProc(int code, WPARAM wParam, LPARAM lParam);

// Installs the hook; NULL when the system refuses it.
HHOOK StartJournalRecording();
// Plays the macro from g_pMacroPos. When the system has taken the last
// event, the hook removes itself (a hook left in place shuts out the user's
// own keyboard and mouse) and the end is reported with WMU_MACROENDED.
HHOOK StartJournalPlayback();
// Hands over nothing more; the caller removes the hook.
void StopJournalPlayback();

// Whether the system has asked for an event since the playback started:
// some systems accept the hook and never call it.
BOOL JournalPlaybackAsked();
// The keys the played events have pressed and not released.
const HeldKeys* JournalHeldKeys();

#endif
