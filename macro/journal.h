// The journal way. Both hooks run on the window's thread while it retrieves
// messages; g_hJournalHook holds either.
#ifndef TEKSTOR_MACRO_JOURNAL_H
#define TEKSTOR_MACRO_JOURNAL_H

#include <windows.h>

#include "macro/macroevents.h"

LRESULT CALLBACK JournalRecordProc(int code, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK JournalPlaybackProc(int code, WPARAM wParam, LPARAM lParam);

BOOL StartJournalRecording();
// At the last event the hook removes itself (while in, it shuts out the
// user's own keyboard and mouse).
BOOL StartJournalPlayback();
// Removes the hook; releases every key the played events left down.
void StopJournal();
// Whether the system has asked for an event yet: Wine never does.
BOOL JournalPlaybackAsked();

#endif
