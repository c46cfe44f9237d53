// The second way to record and play keystrokes, for systems that refuse
// journal hooks (Windows 11 does): a low-level keyboard hook records, and
// SendInput plays. Both fill and read the same MacroEvent list as the journal
// hooks, so either player plays what either recorder made.
#ifndef TEKSTOR_MACRO_INPUTMACRO_H
#define TEKSTOR_MACRO_INPUTMACRO_H

#include <windows.h>

// The mark on the keys a copy of the program sends, so that its recorder
// passes them over and its player's watch counts them. The program starts
// copies of itself, so each process has its own: a copy must neither skip
// nor count another copy's keys as its own.
ULONG_PTR MacroInputTag(DWORD dwProcessId);
extern const ULONG_PTR MACRO_INPUT_TAG;  // this process's mark

// A playback whose watch has seen none of its keys for this long ends: the
// system silently drops a low-level hook that once kept it waiting.
constexpr UINT MACRO_STALL_MS = 1500;

// Installs the low-level recorder; NULL when the system refuses it too.
HHOOK StartKeyboardRecording();

// Sends the first event of the macro and returns the hook that watches it go
// by, or NULL (nothing of the macro sent) when that cannot be done. Each
// later event is sent once the watch has seen the one before, so that an end
// (Record, a system cancel, closing the window) stops the keys at once.
HHOOK StartInputPlayback();

// Ends the sending, if a playback through SendInput runs, and releases every
// key that the macro pressed and left down.
void StopInputPlayback();

LRESULT CALLBACK KeyboardRecordProc(int code, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK KeyboardPlaybackProc(int code, WPARAM wParam, LPARAM lParam);

// The EVENTMSG a journal recorder receives for this low-level key event.
EVENTMSG KeyEventFromLowLevel(UINT message, const KBDLLHOOKSTRUCT* pKey, BOOL bWasDown, HWND hwnd);

// The keyboard input that plays one recorded key event.
INPUT InputFromKeyEvent(UINT message, UINT paramL, UINT paramH);

#endif
