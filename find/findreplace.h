// The Find and Replace dialogs, the requests they send, and the commands Find,
// Replace, Find Next (F3) and Find Previous (Shift+F3).
#ifndef TEKSTOR_FIND_FINDREPLACE_H
#define TEKSTOR_FIND_FINDREPLACE_H

#include <windows.h>

// Fills the shared dialog record and forgets any earlier request; once at start.
void InitFindReplace();

// Opens the modeless Find (bFind TRUE) or Replace dialog; NULL when it failed.
HWND ShowFindDialog(HWND hwndOwner, BOOL bFind);

// A dialog's report through the registered message, or F3/Shift+F3 repeating
// the last request.
void OnFindReplaceMessage(HWND hwnd, LPARAM lParam);

// Carries out the request held in g_dwSearchFlags.
void RunFindReplace();

// IDM_FIND, IDM_REPLACE, IDM_FINDNEXT, IDM_FINDPREV.
void RunFindCommand(UINT uId, LPARAM lParam);

#endif
