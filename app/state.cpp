#include "app/state.h"

HINSTANCE g_hInstance;
HWND g_hwndMain;
HWND g_hwndEdit;
WNDPROC g_pfnEditProc;
HFONT g_hFont;
HMENU g_hMenu;
HWND g_hwndFindDlg;
FINDREPLACEA g_findReplace;
char g_szFindWhat[FIND_TEXT_SIZE];
char g_szReplaceWith[FIND_TEXT_SIZE];
DWORD g_dwSearchFlags;
BOOL g_bWordWrap;
UINT g_uFindReplaceMsg;
const MSG* g_pAcceleratorMsg;
HHOOK g_hJournalHook;
BOOL g_bRecording;
MacroEvent* g_pMacroHead;
MacroEvent* g_pMacroPos;
char g_szFileName[MAX_PATH];
BOOL g_bUntitled;
wchar_t g_wszDocumentPath[DOCUMENT_PATH_SIZE];
FileIdentity g_documentFile;
BOOL g_bPaneChangedBytes;
