// The main window procedure: the one place every message and command enters.
// It owns no state; each case hands the message to the module that owns it.
#include "app/mainwnd.h"

#include "app/state.h"
#include "document/filecmd.h"
#include "document/openargs.h"
#include "edit/editcmd.h"
#include "edit/editpane.h"
#include "find/findreplace.h"
#include "macro/macro.h"
#include "res/resource.h"

static LRESULT OnCreate(HWND hwnd, WPARAM wParam, LPARAM lParam)
{
    // The window is already a drop target: CreateMainWindow gives it the
    // style DragAcceptFiles would set, without loading the shell for it.
    g_hFont = CreatePaneFont();
    // g_hwndMain is not set until CreateWindowExA returns; only hwnd is valid.
    if (!CreateEditPane(hwnd, WM_CREATE, wParam, lParam)) {
        PostQuitMessage(1);
        return 0;
    }
    SetFocus(g_hwndEdit);
    return 0;
}

static void OnDestroy(HWND hwnd)
{
    ReleaseMacro();
    SetWindowLongPtrA(hwnd, GWL_EXSTYLE, GetWindowLongPtrA(hwnd, GWL_EXSTYLE) & ~WS_EX_ACCEPTFILES);
    DeleteObject(g_hFont);
    g_hFont = NULL;
    PostQuitMessage(1);
}

// Closing discards the document, so it asks first; a Cancel keeps the window.
static void OnClose()
{
    if (QuerySaveChanges(g_hInstance, g_hwndMain, g_hwndEdit))
        DestroyWindow(g_hwndMain);
}

// One case per command, by name: nothing here depends on the identifiers'
// values or order, so an identifier without a case (the unused values
// between the groups, or any other) simply does nothing.
static void OnCommand(WPARAM wParam, LPARAM lParam)
{
    const UINT uId = LOWORD(wParam);
    switch (uId) {
    case IDM_NEW:
        FileNew(g_hInstance, g_hwndMain, g_hwndEdit);
        break;
    case IDM_OPEN:
        FileOpen(g_hInstance, g_hwndMain, g_hwndEdit);
        break;
    case IDM_SAVE:
        FileSave(g_hInstance, g_hwndMain, g_hwndEdit);
        break;
    case IDM_SAVEAS:
        FileSaveAs(g_hInstance, g_hwndMain, g_hwndEdit);
        break;
    case IDM_UNDO:
    case IDM_CUT:
    case IDM_COPY:
    case IDM_PASTE:
    case IDM_DELETE:
    case IDM_SELECTALL:
    case IDM_DATETIME:
    case IDM_DATETIME_LONG:
        RunEditCommand(uId);
        break;
    case IDM_WORDWRAP:
        ToggleWordWrap(wParam, lParam);
        break;
    case IDM_FIND:
    case IDM_REPLACE:
    case IDM_FINDNEXT:
    case IDM_FINDPREV:
        RunFindCommand(uId, lParam);
        break;
    case IDM_RECORD:
        RunRecordCommand();
        break;
    case IDM_PLAY:
        RunPlayCommand(g_hwndMain);
        break;
    }
}

static void OnInitMenuPopup()
{
    UpdateEditMenuItems();
    UpdatePlayMenuItem();
}

LRESULT CALLBACK MainWndProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    // Registered at run time, so it cannot be a case label; 0 is no message yet.
    if (g_uFindReplaceMsg && uMsg == g_uFindReplaceMsg) {
        OnFindReplaceMessage(hwnd, lParam);
        return 0;
    }
    switch (uMsg) {
    case WM_CREATE:
        return OnCreate(hwnd, wParam, lParam);
    case WM_SETFOCUS:
        SetFocus(g_hwndEdit);
        return 0;
    case WM_DESTROY:
        OnDestroy(hwnd);
        return 0;
    case WM_SIZE:
        LayoutEditPane(hwnd, uMsg, wParam, lParam);
        return 0;
    case WM_CLOSE:
        OnClose();
        return 0;
    case WM_QUERYENDSESSION:
        return QuerySaveChanges(g_hInstance, g_hwndMain, g_hwndEdit);
    case WM_COMMAND:
        OnCommand(wParam, lParam);
        return 0;
    case WM_INITMENUPOPUP:
        OnInitMenuPopup();
        return 0;
    case WM_ENTERMENULOOP:
        NoteMenuOpened();
        return 0;
    case WM_DROPFILES:
        OnDropFiles(hwnd, uMsg, wParam, lParam);
        return 0;
    case WMU_OPENARGS:
        // Without a pane the run is already ending (WM_CREATE posted the quit);
        // it must not hand the further names to new copies on its way out.
        if (g_hwndEdit)
            OpenFromArguments(g_hInstance, g_hwndMain, g_hwndEdit, reinterpret_cast<LPWSTR>(lParam));
        return 0;
    case WMU_PLAYMACRO:
        StartPlayback();
        return 0;
    case WMU_MACROENDED:
        OnMacroEnded(wParam);
        return 0;
    }
    return DefWindowProcA(hwnd, uMsg, wParam, lParam);
}
