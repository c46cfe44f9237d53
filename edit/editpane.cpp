// The edit pane. Word wrap is a creation style of the Edit control, so toggling
// it means building a new control and moving the document over. The new pane is
// complete before the old one goes: if anything fails on the way, the old pane
// with the user's text, selection and modification flag is simply kept.
#include "edit/editpane.h"

#include "app/state.h"
#include "edit/editcmd.h"
#include "edit/textbuffer.h"
#include "res/resource.h"

static_assert((EDIT_STYLE_WRAP | WS_HSCROLL | ES_AUTOHSCROLL) == EDIT_STYLE_NOWRAP,
              "word wrap differs from no wrap only by horizontal scrolling");

static void ShowWordWrapCheck()
{
    CheckMenuItem(g_hMenu, IDM_WORDWRAP,
                  MF_BYCOMMAND | (g_bWordWrap ? MF_CHECKED : MF_UNCHECKED));
}

// What a pane holds that the replacement must carry over.
struct PaneContent {
    TextBuffer text;
    DWORD dwSelStart;
    DWORD dwSelEnd;
    BOOL bModified;
};

static BOOL SavePaneContent(HWND hwndPane, PaneContent* content)
{
    SendMessageA(hwndPane, EM_GETSEL, reinterpret_cast<WPARAM>(&content->dwSelStart),
                 reinterpret_cast<LPARAM>(&content->dwSelEnd));
    content->bModified = SendMessageA(hwndPane, EM_GETMODIFY, 0, 0) != 0;
    content->text.cchText = 0;
    return GetEditText(hwndPane, &content->text);
}

// Puts the saved text into the new pane and checks that all of it arrived,
// because a pane that silently took less would lose the rest on the swap.
static BOOL RestorePaneText(HWND hwndPane, const PaneContent* content)
{
    if (!SetWindowTextA(hwndPane, content->text.pszText))
        return FALSE;
    // The length may overstate multi-byte text, but never understates it.
    const int cch = GetWindowTextLengthA(hwndPane);
    if (cch < 0 || static_cast<DWORD>(cch) < content->text.cchText)
        return FALSE;
    // Posted: the selection must be applied after the pane has its font, size
    // and visibility, or the control scrolls to a caret it has not laid out yet.
    PostMessageA(hwndPane, EM_SETSEL, content->dwSelStart, content->dwSelEnd);
    return TRUE;
}

static HWND CreatePaneWindow(HWND hwndParent)
{
    RECT rc;
    GetClientRect(hwndParent, &rc);
    const DWORD dwStyle = g_bWordWrap ? EDIT_STYLE_WRAP : EDIT_STYLE_NOWRAP;
    HWND hwnd = CreateWindowExA(0, "Edit", NULL, dwStyle, 0, 0, rc.right, rc.bottom,
                                hwndParent, NULL, g_hInstance, NULL);
    if (hwnd) {
        // The control's default limit (30,000 characters under Wine, 32,767 on
        // Windows) would make a longer document read-only without a word.
        SendMessageA(hwnd, EM_SETLIMITTEXT, 0, 0);
    }
    return hwnd;
}

static BOOL SubclassPane(HWND hwndPane)
{
    const LONG_PTR pfn = GetWindowLongPtrA(hwndPane, GWLP_WNDPROC);
    if (!pfn)
        return FALSE;
    g_pfnEditProc = reinterpret_cast<WNDPROC>(pfn);
    SetWindowLongPtrA(hwndPane, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(EditSubclassProc));
    return TRUE;
}

int CreateEditPane(HWND hwndParent, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    ShowWordWrapCheck();
    const DWORD dwWanted = g_bWordWrap ? EDIT_STYLE_WRAP : EDIT_STYLE_NOWRAP;
    HWND hwndOld = g_hwndEdit;
    if (hwndOld && static_cast<DWORD>(GetWindowLongA(hwndOld, GWL_STYLE)) == dwWanted)
        return 1;

    PaneContent content = {};
    if (hwndOld && !SavePaneContent(hwndOld, &content))
        return 0;

    HWND hwndNew = CreatePaneWindow(hwndParent);
    BOOL bReady = hwndNew != NULL;
    if (bReady && hwndOld)
        bReady = RestorePaneText(hwndNew, &content);
    FreeEditText(&content.text);
    if (bReady)
        bReady = SubclassPane(hwndNew);
    if (!bReady) {
        if (hwndNew)
            DestroyWindow(hwndNew);
        return 0;
    }

    SendMessageA(hwndNew, WM_SETFONT, reinterpret_cast<WPARAM>(g_hFont), 0);
    SendMessageA(hwndNew, EM_SETMODIFY, content.bModified, 0);
    PostMessageA(hwndNew, EM_SCROLLCARET, 0, 0);

    g_hwndEdit = hwndNew;
    LayoutEditPane(hwndParent, uMsg, wParam, lParam);
    ShowWindow(hwndNew, SW_SHOW);
    if (hwndOld)
        DestroyWindow(hwndOld);
    return 1;
}

void LayoutEditPane(HWND hwndParent, UINT, WPARAM, LPARAM)
{
    RECT rc;
    GetClientRect(hwndParent, &rc);
    MoveWindow(g_hwndEdit, 0, 0, rc.right, rc.bottom, TRUE);

    // The formatting rectangle keeps clear of the scroll bars by the thumb
    // sizes; these are the metrics the pane has always used for its margins.
    GetClientRect(hwndParent, &rc);
    rc.left += 1;
    rc.top += 1;
    rc.right -= GetSystemMetrics(SM_CYVTHUMB) + 1;
    rc.bottom -= g_bWordWrap ? 1 : GetSystemMetrics(SM_CXHTHUMB) + 1;
    // The pane keeps the rectangle until it is resized or given a font, and
    // either comes with a new rectangle here. Setting the same one again would
    // lay out the text and redraw the scroll bars for nothing, which the first
    // showing of the window would otherwise do once more than it must.
    static HWND s_hwndLaidOut;
    static RECT s_rcLaidOut;
    if (g_hwndEdit != s_hwndLaidOut || !EqualRect(&rc, &s_rcLaidOut)) {
        SendMessageA(g_hwndEdit, EM_SETRECT, 0, reinterpret_cast<LPARAM>(&rc));
        s_hwndLaidOut = g_hwndEdit;
        s_rcLaidOut = rc;
    }
    UpdateWindow(g_hwndEdit);
}

void ToggleWordWrap(WPARAM wParam, LPARAM lParam)
{
    g_bWordWrap = !g_bWordWrap;
    if (CreateEditPane(g_hwndMain, WM_COMMAND, wParam, lParam)) {
        SetFocus(g_hwndEdit);
        return;
    }
    g_bWordWrap = !g_bWordWrap;
    ShowWordWrapCheck();
}
