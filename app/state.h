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
// The long wide form of the name the user gave for the document's file, which
// g_szFileName may hold in a short form: a save writes only while both still
// open one file. Empty when there is nothing to compare with.
extern wchar_t g_wszDocumentPath[MAX_PATH];

// The file whose bytes did not come back unchanged through the ANSI code page
// when it was loaded, by volume and file index; bKnown FALSE for none.
struct FileIdentity {
    BOOL bKnown;
    DWORD dwVolume;
    DWORD dwIndexHigh;
    DWORD dwIndexLow;
};
extern FileIdentity g_codePageLossFile;

#endif
