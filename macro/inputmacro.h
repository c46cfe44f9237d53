// The input way of recording and playing keystrokes, for systems where
// journal hooks are refused (Windows with UAC on, to programs without
// UIAccess) or do not act on the whole desktop (Wine): a low-level keyboard
// hook records, and SendInput plays. The low-level hooks live on a thread of
// their own that does nothing else, so that a busy window never delays the
// desktop's keys, nor makes the system drop the hook for answering late.
#ifndef TEKSTOR_MACRO_INPUTMACRO_H
#define TEKSTOR_MACRO_INPUTMACRO_H

#include <windows.h>

#include "macro/macroevents.h"

// The mark on the keys a copy of the program sends, so that its recorder
// passes them over and its player's watch counts them. The program starts
// copies of itself, so each process has its own: a copy must neither skip
// nor count another copy's keys as its own.
ULONG_PTR MacroInputTag(DWORD dwProcessId);
extern const ULONG_PTR MACRO_INPUT_TAG;    // played keys
extern const ULONG_PTR MACRO_RELEASE_TAG;  // releases sent after a playback

// A playback whose watch has seen none of its keys for this long ends: the
// system has dropped the hook.
constexpr UINT MACRO_STALL_MS = 1500;
// At most this many events go out in one SendInput call; a run is cut
// where no key is held, so that stopping between runs leaves none down.
constexpr UINT MACRO_RUN_EVENTS = 32;

// FALSE when the system refuses the hook.
BOOL StartKeyboardRecording();
void StopKeyboardRecording();

// Plays the macro from its first event; FALSE (nothing sent) when that
// cannot be done. Each run of keys goes out once the one before it has been
// seen by the watch and taken by this thread, so that a stop stops the keys
// at once. The end is reported with WMU_MACROENDED: the last key taken, a
// key or button of the user's, or the watch lost.
BOOL StartInputPlayback();
void PlayNextInputRun();  // WMU_PLAYNEXTKEY
// Sends nothing more, lets no key already sent reach a window, and releases
// every key the macro pressed and left down.
void StopInputPlayback();

// Releases the keys in pHeld through SendInput, marked as releases.
void SendKeyReleases(const HeldKeys* pHeld);

// Watches what this thread takes from its queue, in every loop that takes
// it (menus, message boxes, dialogs): the system's WM_CANCELJOURNAL, which
// such loops would drop, and played keys that arrive after their playback.
// Installed before the first recording or playback either way, and kept.
void WatchThreadQueue();

LRESULT CALLBACK KeyboardRecordProc(int code, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK KeyboardPlaybackProc(int code, WPARAM wParam, LPARAM lParam);

// The EVENTMSG a journal recorder receives for this low-level key event.
EVENTMSG KeyEventFromLowLevel(UINT message, const KBDLLHOOKSTRUCT* pKey, BOOL bWasDown, HWND hwnd);

// The keyboard input that plays one recorded key event.
INPUT InputFromKeyEvent(UINT message, UINT paramL, UINT paramH);

#endif
