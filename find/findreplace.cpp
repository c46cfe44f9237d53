#include "find/findreplace.h"

#include "app/syslib.h"
#include "app/state.h"
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
    auto pfn = GetCommonDialogFunction<HWND(WINAPI*)(LPFINDREPLACEA)>(bFind ? "FindTextA" : "ReplaceTextA");
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
    HCURSOR hcurPrevious = SetCursor(LoadCursorA(NULL, IDC_WAIT));
    if (g_hwndFindDlg)
        g_dwSearchFlags = g_findReplace.Flags;
    RunFindReplace();
    SetCursor(hcurPrevious);
}

void RunFindCommand(UINT uId, LPARAM lParam)
{
    switch (uId) {
    case IDM_FIND:
        g_hwndFindDlg = ShowFindDialog(g_hwndMain, TRUE);
        break;
    case IDM_REPLACE:
        g_hwndFindDlg = ShowFindDialog(g_hwndMain, FALSE);
        break;
    case IDM_FINDNEXT:
        if (g_dwSearchFlags) {
            g_dwSearchFlags |= FR_DOWN;
            OnFindReplaceMessage(g_hwndMain, lParam);
        } else {
            g_hwndFindDlg = ShowFindDialog(g_hwndMain, TRUE);
        }
        break;
    case IDM_FINDPREV:
        if (g_dwSearchFlags) {
            g_dwSearchFlags &= ~static_cast<DWORD>(FR_DOWN);
            OnFindReplaceMessage(g_hwndMain, lParam);
        } else {
            g_findReplace.Flags &= ~static_cast<DWORD>(FR_DOWN);
            g_hwndFindDlg = ShowFindDialog(g_hwndMain, TRUE);
        }
        break;
    }
}
