// Keystroke macros: Record and Play, and the one state they share. A macro
// is recorded and played one of two ways (journal hooks; a low-level hook
// and SendInput), chosen by what the system allows; the state is the same.
#ifndef TEKSTOR_MACRO_MACRO_H
#define TEKSTOR_MACRO_MACRO_H

#include <windows.h>

#include "macro/macroevents.h"

// What runs now, and how.
enum MacroRun {
    MACRO_IDLE,
    MACRO_RECORD_JOURNAL,
    MACRO_RECORD_KEYBOARD,
    MACRO_PLAY_WAITING,     // for the keys of the chord that asked for it to be let go
    MACRO_PLAY_JOURNAL,
    MACRO_PLAY_INPUT,
};
MacroRun GetMacroRun();

void StartPlayback();

// The Record and Play commands, as the menu and the accelerators give them.
// A chord held down gives its command once: its repeats are passed over.
void RunRecordCommand();
void RunPlayCommand(HWND hwndMain);
void UpdatePlayMenuItem();
// WM_ENTERMENULOOP: a recording stopped from the menu ends where the menu
// was opened, so that the keys that opened it are not played.
void NoteMenuOpened();

// WMU_MACROENDED: a way reports why its recording or playback ended.
void OnMacroEnded(WPARAM reason);
// For the main window's end: no hook may outlive the list it reads.
void ReleaseMacro();

// Whether journal hooks act on the whole desktop here. Wine calls a journal
// record hook only for its own thread's keys; tests set it to act out a
// system where they do.
extern BOOL g_bJournalRecordsDesktop;

#endif
