// Keystroke macros, recorded and played one of two ways (journal hooks; a
// low-level hook and SendInput), as the system allows.
#ifndef TEKSTOR_MACRO_MACRO_H
#define TEKSTOR_MACRO_MACRO_H

#include <windows.h>

#include "macro/macroevents.h"

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

// A chord held down gives its command once.
void RunRecordCommand();
void RunPlayCommand(HWND hwndMain);
void UpdatePlayMenuItem();
// WM_ENTERMENULOOP: a recording stopped from the menu ends there.
void NoteMenuOpened();

// WMU_MACROENDED.
void OnMacroEnded(WPARAM reason);
// No hook may outlive the list it reads.
void ReleaseMacro();

// Wine calls a journal record hook only for its own thread's keys; tests
// set it to act out a system where it acts on the whole desktop.
extern BOOL g_bJournalRecordsDesktop;

#endif
