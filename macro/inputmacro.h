// The input way, where journal hooks are refused (Windows with UAC on, to
// programs without UIAccess) or do not act on the whole desktop (Wine). Its
// hooks live on a thread of their own, which a busy window never delays.
#ifndef TEKSTOR_MACRO_INPUTMACRO_H
#define TEKSTOR_MACRO_INPUTMACRO_H

#include <windows.h>

#include "macro/macroevents.h"

// The mark on the keys a copy of the program sends; each copy has its own.
ULONG_PTR MacroInputTag(DWORD dwProcessId);
extern const ULONG_PTR MACRO_INPUT_TAG;    // played keys
extern const ULONG_PTR MACRO_RELEASE_TAG;  // releases, and a user's key passed on after them

// A run of keys the watch has not seen within this time never went in.
constexpr UINT MACRO_STALL_MS = 1500;
// At most this many events go out in one SendInput call.
constexpr UINT MACRO_RUN_EVENTS = 32;

// Tests put a function here that takes only part of a run, as Windows does
// when a window of higher integrity has the focus.
extern UINT (WINAPI* g_pfnSendInput)(UINT, LPINPUT, int);

BOOL StartKeyboardRecording();
// A hook the system dropped unseen is back.
BOOL RenewKeyboardRecording();

BOOL StartInputPlayback();
// Sends the next run once the watch has seen the last.
MacroEnd PlayNextInputRun();
// Holds back what is on its way, and releases every key left down.
void StopInputWay();
BOOL IsPlayedKey(const MSG* pMsg);
void SendKeyReleases(const HeldKeys* pHeld);

// Watches this thread's queue in every loop (menus, dialogs): for
// WM_CANCELJOURNAL, which such loops would drop, played keys late for their
// playback, and keys a recording's hook came too late for.
void WatchThreadQueue();

LRESULT CALLBACK KeyboardRecordProc(int code, WPARAM wParam, LPARAM lParam);
INPUT InputFromKeyEvent(UINT message, UINT paramL, UINT paramH, ULONG_PTR tag = MACRO_INPUT_TAG);

#endif
