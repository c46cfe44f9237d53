// Keystroke macros: Record and Play, and the one state they share. A macro
// is recorded and played one of two ways (journal hooks; a low-level hook
// and SendInput), chosen by what the system allows; the state is the same.
#ifndef TEKSTOR_MACRO_MACRO_H
#define TEKSTOR_MACRO_MACRO_H

#include <windows.h>

#include "macro/macroevents.h"

// What runs now, and how.
enum MacroRun {
    MACRO_IDLE,             // also a recording the system cancelled
    MACRO_RECORD_JOURNAL,
    MACRO_RECORD_KEYBOARD,
    MACRO_PLAY_WAITING,     // for the keys that asked for the playback to be let go
    MACRO_PLAY_JOURNAL,
    MACRO_PLAY_INPUT,
};
MacroRun GetMacroRun();

void StartRecording();
// Ends a recording, and serves as well to end a playback.
void StopRecording();
void StartPlayback();

// The Record and Play commands, as the menu and the accelerators give them.
void RunRecordCommand();
void RunPlayCommand(HWND hwndMain);
void UpdatePlayMenuItem();

// WMU_MACROENDED: a way reports why its recording or playback ended.
void OnMacroEnded(WPARAM reason);
// The system's WM_CANCELJOURNAL: the hook is gone; a recording stays marked
// until the next Record, a playback ends.
void CancelMacroRun();
// Called before the program shows a window of its own (a prompt, a file
// dialog, the context menu): a playback ends, so that no played key answers it.
void EndPlaybackBeforeOwnWindow();
// For the main window's end: no hook may outlive the list it reads.
void ReleaseMacro();

// Whether journal hooks act on the whole desktop here. Wine calls a journal
// record hook only for its own thread's keys; tests set it to act out a
// system where they do.
extern BOOL g_bJournalRecordsDesktop;

#endif
