// A macro never holds a release whose press came before it, nor a press
// without its release: playing it leaves the keyboard as it found it.
#ifndef TEKSTOR_MACRO_MACROEVENTS_H
#define TEKSTOR_MACRO_MACROEVENTS_H

#include <windows.h>

// The system's EVENTMSG, field for field: paramL holds the virtual key in
// its low byte and the key message's lParam high word above it (VK_PACKET:
// its UTF-16 character); hwnd is the focus.
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

// WMU_MACROENDED's wParam.
enum MacroEnd : WPARAM {
    MACRO_GOING_ON,        // not an end: the next run of keys went out
    MACRO_END_DONE,        // a playback has handed over its last event
    MACRO_END_CANCEL,      // the system took the hook: WM_CANCELJOURNAL, seen in any loop, or a refusal
    MACRO_END_USER,        // a key or button of the user's, or a window of the editor's own
    MACRO_END_FOCUS_MOVED, // a window the recording never went to took the keys
    MACRO_END_BLOCKED,     // the system took only part of the keys
};

// Tests put a function here that refuses journal hooks.
extern HHOOK (WINAPI* g_pfnSetWindowsHookEx)(int, HOOKPROC, HINSTANCE, DWORD);
void Unhook(HHOOK* phHook);

void AppendMacroEvent(const EVENTMSG* pEvent);
void AppendEventTo(MacroEvent** ppHead, MacroEvent** ppTail, const EVENTMSG* pEvent);
void FreeMacroEvents(MacroEvent* pFirst);

// Keys pressed and not yet released, each with the event that pressed it.
struct HeldKeys {
    MacroEvent press[256];
    BOOL bDown[256];
    int cDown;
};
void NoteKeyEvent(HeldKeys* pHeld, const MacroEvent& event);
// As the keyboard would have sent it.
MacroEvent OppositeOf(const MacroEvent& event);

// How a key stood when the recording started.
enum StartKey : BYTE {
    START_KEY_UP,
    START_KEY_HELD,   // down; part of the macro if another key is pressed meanwhile
    START_KEY_CHORD,  // the key that started the recording: never part of it
};

// Once the recorder is out. Events at or after *pdwStop go (NULL: all
// stay). A key held from the start goes, unless another key was pressed
// meanwhile: then it plays as typed.
void FinishRecordedKeys(const BYTE* pabStartKeys, const DWORD* pdwStop);

#endif
