// The context menu and the editing commands. The clipboard, undo and caret work
// is the Edit control's own; these only ask it, and gray what cannot apply.
#include "edit/editcmd.h"

#include <windowsx.h>

#include "app/state.h"
#include "res/resource.h"

LRESULT CALLBACK EditSubclassProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg) {
    case WM_CONTEXTMENU:
        // Never passed on: the control would show its own English menu.
        ShowContextMenu(g_hwndMain, lParam);
        return 0;
    case WM_NCDESTROY:
        // The pane goes with the main window without being told; leave no
        // handle behind that a late caller could use.
        if (hwnd == g_hwndEdit)
            g_hwndEdit = NULL;
        break;
    }
    // Forward to the window the message was meant for: during a word-wrap swap
    // two panes exist and g_hwndEdit names only the new one.
    return CallWindowProcA(g_pfnEditProc, hwnd, uMsg, wParam, lParam);
}

void ShowContextMenu(HWND hwndMenuOwner, LPARAM lParam)
{
    POINT pt;
    if (static_cast<DWORD>(lParam) == 0xFFFFFFFFu) {
        RECT rc;
        GetWindowRect(g_hwndEdit, &rc);
        pt.x = rc.left;
        pt.y = rc.top;
    } else {
        // Signed: on a second monitor left of or above the first the
        // coordinates are negative.
        pt.x = GET_X_LPARAM(lParam);
        pt.y = GET_Y_LPARAM(lParam);
    }
    TrackPopupMenu(GetSubMenu(g_hMenu, 0), TPM_RIGHTBUTTON, pt.x, pt.y, 0, hwndMenuOwner, NULL);
}

static void UndoEdit()
{
    if (SendMessageA(g_hwndEdit, EM_CANUNDO, 0, 0))
        SendMessageA(g_hwndEdit, WM_UNDO, 0, 0);
}

void RunEditCommand(UINT uId)
{
    switch (uId) {
    case IDM_UNDO:          UndoEdit(); break;
    case IDM_CUT:           SendMessageA(g_hwndEdit, WM_CUT, 0, 0); break;
    case IDM_COPY:          SendMessageA(g_hwndEdit, WM_COPY, 0, 0); break;
    case IDM_PASTE:         SendMessageA(g_hwndEdit, WM_PASTE, 0, 0); break;
    case IDM_DELETE:        SendMessageA(g_hwndEdit, WM_CLEAR, 0, 0); break;
    case IDM_SELECTALL:     SendMessageA(g_hwndEdit, EM_SETSEL, 0, -1); break;
    case IDM_DATETIME:      InsertDateTime(FALSE); break;
    case IDM_DATETIME_LONG: InsertDateTime(TRUE); break;
    }
}

static void EnableItem(UINT uId, BOOL bEnable)
{
    EnableMenuItem(g_hMenu, uId, MF_BYCOMMAND | (bEnable ? MF_ENABLED : MF_GRAYED));
}

void UpdateEditMenuItems()
{
    // The full 32-bit positions: the 16-bit halves of the packed result wrap
    // beyond 65,535 characters and would gray Cut for a real selection.
    DWORD dwStart = 0, dwEnd = 0;
    SendMessageA(g_hwndEdit, EM_GETSEL, reinterpret_cast<WPARAM>(&dwStart),
                 reinterpret_cast<LPARAM>(&dwEnd));
    const BOOL bSelection = dwStart != dwEnd;
    EnableItem(IDM_UNDO, SendMessageA(g_hwndEdit, EM_CANUNDO, 0, 0) != 0);
    EnableItem(IDM_CUT, bSelection);
    EnableItem(IDM_COPY, bSelection);
    EnableItem(IDM_DELETE, bSelection);
    EnableItem(IDM_PASTE, IsClipboardFormatAvailable(CF_TEXT));
}

int FormatDateTime(const SYSTEMTIME* pTime, BOOL bLong, char* buffer, int cbBuffer)
{
    if (cbBuffer < 1)
        return 0;
    buffer[0] = '\0';
    const int cbDate = GetDateFormatA(LOCALE_USER_DEFAULT, bLong ? DATE_LONGDATE : DATE_SHORTDATE,
                                      pTime, NULL, buffer, cbBuffer);
    if (cbDate <= 0 || cbDate > cbBuffer) {
        buffer[0] = '\0';
        return 0;
    }
    // A room of 0 would not fail but ask for the size and write nothing, so
    // the time is only formatted when at least its NUL fits after the blank.
    const int cbRoom = cbBuffer - cbDate;
    if (cbRoom > 0) {
        buffer[cbDate - 1] = ' ';
        const int cbTime = GetTimeFormatA(LOCALE_USER_DEFAULT, bLong ? 0 : TIME_NOSECONDS,
                                          pTime, NULL, buffer + cbDate, cbRoom);
        if (cbTime > 0 && cbTime <= cbRoom)
            return cbDate + cbTime - 1;
    }
    buffer[cbDate - 1] = '\0';
    return cbDate - 1;
}

void InsertDateTime(BOOL bLong)
{
    SYSTEMTIME st;
    GetLocalTime(&st);
    char buffer[DATETIME_SIZE];
    if (FormatDateTime(&st, bLong, buffer, DATETIME_SIZE) > 0)
        SendMessageA(g_hwndEdit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(buffer));
}
