// The pane's context menu and the editing commands behind it.
#ifndef TEKSTOR_EDIT_EDITCMD_H
#define TEKSTOR_EDIT_EDITCMD_H

#include <windows.h>

constexpr int DATETIME_SIZE = 50;

LRESULT CALLBACK EditSubclassProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

// lParam as in WM_CONTEXTMENU: the mouse position in screen coordinates, or -1
// when the menu was asked for from the keyboard.
void ShowContextMenu(HWND hwndMenuOwner, LPARAM lParam);

// Undo, Cut, Copy, Paste, Delete, Select All and the two date/time commands.
void RunEditCommand(UINT uId);

// Grays the editing items of the popup that cannot apply right now.
void UpdateEditMenuItems();

void InsertDateTime(BOOL bLong);

// Writes "date time" into buffer (cbBuffer bytes, NUL included). When the
// time does not fit after the date, the date alone; when the date does not
// fit, nothing. Returns the length of the text written (0 for none).
int FormatDateTime(const SYSTEMTIME* pTime, BOOL bLong, char* buffer, int cbBuffer);

#endif
