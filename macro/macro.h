// Keystroke macros: a desktop-wide journal-record hook copies key presses and
// releases into a list; a journal-playback hook feeds them back in order.
#ifndef TEKSTOR_MACRO_MACRO_H
#define TEKSTOR_MACRO_MACRO_H

#include <windows.h>

// One recorded key event: a copy of the system's EVENTMSG, field for field.
struct MacroEvent {
    MacroEvent* pNext;
    UINT message;
    UINT paramL;
    UINT paramH;
    DWORD time;
    HWND hwnd;
};

void AppendMacroEvent(const EVENTMSG* pEvent);
void FreeMacroEvents(MacroEvent* pFirst);
LRESULT CALLBACK JournalRecordProc(int code, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK JournalPlaybackProc(int code, WPARAM wParam, LPARAM lParam);
void StartRecording();
void StopRecording();
void StartPlayback();

// The Record and Play commands, as the menu and the accelerators give them.
void RunRecordCommand();
void RunPlayCommand(HWND hwndMain);
void UpdatePlayMenuItem();

// Sends the next key of a playback through SendInput (WMU_PLAYNEXTKEY).
void PlayNextInputEvent();

// Removes the hook of a recording or playback and ends it: the cursor goes,
// and a playback through SendInput sends nothing more and leaves no key of
// its own held. The system's WM_CANCELJOURNAL comes here too.
void ReleaseMacroHook();

// For the main window's end: no hook may outlive the list it reads.
void ReleaseMacro();

// How hooks are installed; tests put a refusing function here to act out a
// system that no longer allows journal hooks.
extern HHOOK (WINAPI* g_pfnSetWindowsHookEx)(int, HOOKPROC, HINSTANCE, DWORD);

#endif
