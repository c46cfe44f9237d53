// The second way to record and play keystrokes, for systems that refuse
// journal hooks (Windows 11 does): a low-level keyboard hook records, and
// SendInput plays. Both fill and read the same MacroEvent list as the journal
// hooks, so either player plays what either recorder made.
#ifndef TEKSTOR_MACRO_INPUTMACRO_H
#define TEKSTOR_MACRO_INPUTMACRO_H

#include <windows.h>

// Marks the keys the player sends, so that the recorder can pass them over.
constexpr ULONG_PTR MACRO_INPUT_TAG = 0x54656B73;  // "Teks"

// Installs the low-level recorder; NULL when the system refuses it too.
HHOOK StartKeyboardRecording();

// Sends the whole macro to the system's input and returns the hook that
// watches it go by, or NULL (nothing sent) when that cannot be done. The
// playback ends the way a journal playback does: with WM_CANCELJOURNAL.
HHOOK StartInputPlayback();

LRESULT CALLBACK KeyboardRecordProc(int code, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK KeyboardPlaybackProc(int code, WPARAM wParam, LPARAM lParam);

// The EVENTMSG a journal recorder receives for this low-level key event.
EVENTMSG KeyEventFromLowLevel(UINT message, const KBDLLHOOKSTRUCT* pKey, BOOL bWasDown, HWND hwnd);

// The keyboard input that plays one recorded key event.
INPUT InputFromKeyEvent(UINT message, UINT paramL, UINT paramH);

#endif
