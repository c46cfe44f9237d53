#include "find/findreplace.h"

#include <dlgs.h>

#include "app/syslib.h"
#include "app/state.h"
#include "app/waitcursor.h"
#include "find/search.h"
#include "res/resource.h"

void InitFindReplace()
{
    ZeroMemory(&g_findReplace, sizeof g_findReplace);
    g_findReplace.lStructSize = sizeof g_findReplace;
    g_findReplace.hwndOwner = g_hwndMain;
    g_findReplace.hInstance = NULL;
    g_findReplace.Flags = FR_DOWN | FR_HIDEWHOLEWORD;
    g_findReplace.lpstrFindWhat = g_szFindWhat;
    g_findReplace.lpstrReplaceWith = g_szReplaceWith;
    g_findReplace.wFindWhatLen = FIND_TEXT_SIZE;
    g_findReplace.wReplaceWithLen = FIND_TEXT_SIZE;
    g_dwSearchFlags = 0;
}

HWND ShowFindDialog(HWND, BOOL bFind)
{
    g_findReplace.Flags &= ~static_cast<DWORD>(FR_DIALOGTERM);
    auto pfn = bFind ? GetFindTextFunction() : GetReplaceTextFunction();
    return pfn ? pfn(&g_findReplace) : NULL;
}

static void ReplaceOnce()
{
    if (!SearchText(FALSE))
        return;
    SendMessageA(g_hwndEdit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(g_szReplaceWith));
    SendMessageA(g_hwndEdit, EM_SCROLLCARET, 0, 0);
    SearchText(TRUE);
}

void RunFindReplace()
{
    if (g_dwSearchFlags & FR_FINDNEXT)
        SearchText(TRUE);
    if (g_dwSearchFlags & FR_REPLACE)
        ReplaceOnce();
    // After hits the request is spent: F3 must not silently replace everything again.
    if ((g_dwSearchFlags & FR_REPLACEALL) && ReplaceAllInPane())
        g_dwSearchFlags &= ~static_cast<DWORD>(FR_REPLACEALL);
}

void OnFindReplaceMessage(HWND, LPARAM)
{
    if (g_hwndFindDlg && (g_findReplace.Flags & FR_DIALOGTERM)) {
        g_hwndFindDlg = NULL;
        SetFocus(g_hwndEdit);
        return;
    }
    const WaitCursor wait;
    if (g_hwndFindDlg)
        g_dwSearchFlags = g_findReplace.Flags;
    RunFindReplace();
}

// The boxes of the open dialog: the search text (edt1) and, in the Replace
// dialog only, the replacement (edt2).
static BOOL IsReplaceDialog(HWND hwndDlg)
{
    return GetDlgItem(hwndDlg, edt2) != NULL;
}

static void CloseFindDialog(HWND hwndDlg)
{
    // The dialogs write their boxes into the record only on a button, so what
    // was typed but not yet used is taken over here for the next dialog.
    GetDlgItemTextA(hwndDlg, edt1, g_szFindWhat, FIND_TEXT_SIZE);
    if (IsReplaceDialog(hwndDlg))
        GetDlgItemTextA(hwndDlg, edt2, g_szReplaceWith, FIND_TEXT_SIZE);
    // Its own Cancel, so that it reports its end as a user's close would.
    SendMessageA(hwndDlg, WM_COMMAND, IDCANCEL, 0);
    if (IsWindow(hwndDlg))
        DestroyWindow(hwndDlg);
    g_hwndFindDlg = NULL;
}

// Both dialogs work on the one shared record, so only one may be open: a second
// would carry out the other's request, and g_hwndFindDlg could name only one of
// them for the message loop. The same command brings its dialog back to the
// front; the other one replaces it.
static void OpenFindDialog(BOOL bFind)
{
    const HWND hwndDlg = g_hwndFindDlg;
    if (hwndDlg && IsWindow(hwndDlg)) {
        if (IsReplaceDialog(hwndDlg) == !bFind) {
            SetActiveWindow(hwndDlg);
            // As Tab would: focus and select the search text, ready to be typed over.
            SendMessageA(hwndDlg, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(hwndDlg, edt1)),
                         TRUE);
            return;
        }
        CloseFindDialog(hwndDlg);
    }
    g_hwndFindDlg = ShowFindDialog(g_hwndMain, bFind);
}

void RunFindCommand(UINT uId, LPARAM lParam)
{
    switch (uId) {
    case IDM_FIND:
        OpenFindDialog(TRUE);
        break;
    case IDM_REPLACE:
        OpenFindDialog(FALSE);
        break;
    case IDM_FINDNEXT:
        if (g_dwSearchFlags) {
            g_dwSearchFlags |= FR_DOWN;
            OnFindReplaceMessage(g_hwndMain, lParam);
        } else {
            OpenFindDialog(TRUE);
        }
        break;
    case IDM_FINDPREV:
        if (g_dwSearchFlags) {
            g_dwSearchFlags &= ~static_cast<DWORD>(FR_DOWN);
            OnFindReplaceMessage(g_hwndMain, lParam);
        } else {
            g_findReplace.Flags &= ~static_cast<DWORD>(FR_DOWN);
            OpenFindDialog(TRUE);
        }
        break;
    }
}
