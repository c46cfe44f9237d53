// The program's whole run-time state. One thread owns all of it, so it is
// plain globals; each module reads them at the time of use and keeps no copies
// (the edit pane in particular is replaced on every word-wrap toggle).
#ifndef TEKSTOR_APP_STATE_H
#define TEKSTOR_APP_STATE_H

#include <windows.h>
#include <commdlg.h>

struct MacroEvent;

enum : UINT {
    WMU_OPENARGS = WM_USER,       // lParam: the argument string, wide
    WMU_PLAYMACRO = WM_USER + 1,  // no parameters
    WMU_MACROENDED = WM_USER + 3,   // wParam: a MacroEnd, why a recording or playback ended
};

constexpr int FIND_TEXT_SIZE = 80;

extern HINSTANCE g_hInstance;
extern HWND g_hwndMain;
extern HWND g_hwndEdit;
extern WNDPROC g_pfnEditProc;
extern HFONT g_hFont;
extern HMENU g_hMenu;
extern HWND g_hwndFindDlg;
extern FINDREPLACEA g_findReplace;
extern char g_szFindWhat[FIND_TEXT_SIZE];
extern char g_szReplaceWith[FIND_TEXT_SIZE];
extern DWORD g_dwSearchFlags;
extern BOOL g_bWordWrap;
extern UINT g_uFindReplaceMsg;
// The key message TranslateAcceleratorA is turning into a command, else NULL.
extern const MSG* g_pAcceleratorMsg;
extern HHOOK g_hJournalHook;
extern BOOL g_bRecording;
extern MacroEvent* g_pMacroHead;
extern MacroEvent* g_pMacroPos;
extern char g_szFileName[MAX_PATH];
extern BOOL g_bUntitled;
// The document's file: its exact full path (empty while untitled), through
// which every open, create and save of it goes, and the identity of the file
// that was loaded or last saved under it. Paths may be longer than MAX_PATH.
constexpr int DOCUMENT_PATH_SIZE = 32768;
extern wchar_t g_wszDocumentPath[DOCUMENT_PATH_SIZE];

// Volume and file id as the file system gives them: the 128-bit id where the
// volume has one, else the 64-bit index in its low half.
struct FileIdentity {
    BOOL bKnown;
    ULONGLONG ullVolume;
    BYTE id[16];
};
extern FileIdentity g_documentFile;

// The pane does not show g_documentFile's bytes as they were loaded (a NUL
// cut them short, or the code page changed some), so a save over that file
// asks first.
extern BOOL g_bPaneChangedBytes;

#endif
