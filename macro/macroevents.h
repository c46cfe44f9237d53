// The recorded macro: a list of key events, and the rules that keep it whole
// whichever recorder filled it and whichever player reads it. A macro never
// holds a release whose press came before it, nor a press left without its
// release, so that playing it leaves the keyboard as it found it.
#ifndef TEKSTOR_MACRO_MACROEVENTS_H
#define TEKSTOR_MACRO_MACROEVENTS_H

#include <windows.h>

// One recorded key event: a copy of the system's EVENTMSG, field for field.
// paramL holds the virtual key in its low byte and the high word of the key
// message's lParam above it; a VK_PACKET event holds its whole UTF-16
// character there instead, which needs sixteen bits.
struct MacroEvent {
    MacroEvent* pNext;
    UINT message;
    UINT paramL;
    UINT paramH;
    DWORD time;
    HWND hwnd;
};

constexpr BOOL IsKeyPress(UINT message) { return message == WM_KEYDOWN || message == WM_SYSKEYDOWN; }
constexpr BOOL IsKeyRelease(UINT message) { return message == WM_KEYUP || message == WM_SYSKEYUP; }
constexpr BYTE EventKey(UINT paramL) { return static_cast<BYTE>(paramL & 0xFF); }

// Why a recording or playback ended, as its way reports it to the main window
// (WMU_MACROENDED, wParam). Each way only reports; the state table acts.
enum MacroEnd : WPARAM {
    MACRO_END_DONE,        // a playback has handed over its last event
    MACRO_END_CANCEL,      // the system's WM_CANCELJOURNAL, seen in any loop
    MACRO_END_USER_INPUT,  // a key or button the user pressed during a playback
    MACRO_END_HOOK_LOST,   // the system dropped a hook of ours
};

// How hooks are installed; tests put a function here that refuses some
// kinds, to act out a system that allows no journal hooks.
extern HHOOK (WINAPI* g_pfnSetWindowsHookEx)(int, HOOKPROC, HINSTANCE, DWORD);

void AppendMacroEvent(const EVENTMSG* pEvent);
void FreeMacroEvents(MacroEvent* pFirst);

// The keys a recorder or a player has pressed and not yet released, each with
// the event that pressed it, so that a release can be made to match.
struct HeldKeys {
    MacroEvent press[256];
    BOOL bDown[256];
    int cDown;
};
void NoteKeyEvent(HeldKeys* pHeld, const MacroEvent& event);
// The release of a held key, as the keyboard would have sent it.
MacroEvent ReleaseOf(const MacroEvent& press);

// A recording in three steps. Begin before the recorder's hook goes in;
// record every key event the hook sees (other messages are passed over, and
// so is a release whose press the recording never saw: it belongs to the
// keystroke that started the recording); end once the hook is out: the
// presses still held at the end (the keystroke that stopped the recording)
// are cut off the end, and any other key still held gets its release.
void BeginRecordedKeys();
void RecordKeyEvent(const EVENTMSG* pEvent);
void EndRecordedKeys();

#endif
