// The journal way: a journal-record hook copies key events into the macro,
// a journal-playback hook hands them back one by one. Both run on the
// window's thread while it retrieves messages; g_hJournalHook holds either.
#ifndef TEKSTOR_MACRO_JOURNAL_H
#define TEKSTOR_MACRO_JOURNAL_H

#include <windows.h>

#include "macro/macroevents.h"

LRESULT CALLBACK JournalRecordProc(int code, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK JournalPlaybackProc(int code, WPARAM wParam, LPARAM lParam);

// FALSE when the system refuses the hook.
BOOL StartJournalRecording();
// Ends a recording; a playback's hook goes the same way.
void RemoveJournalHook();
// Plays the macro from g_pMacroPos. At the last event the hook removes
// itself (while in, it shuts out the user's own keyboard and mouse).
BOOL StartJournalPlayback();
// Removes the hook, and releases every key the played events left down.
void StopJournalPlayback();
// Whether the system has asked for an event yet: Wine never does.
BOOL JournalPlaybackAsked();

#endif
