// The name chosen in the Open or Save As dialog, told exactly. The ANSI
// dialogs return a best-fit name: one that the code page cannot spell comes
// back as a look-alike (another file's name) or with '?', and a shortcut
// comes back as its target's name. When the user confirms, the dialog's hook
// decides, from the folder and the name field in their wide form, which file
// was meant and under which name the program can keep it; a choice it cannot
// tell or keep is refused there, and the dialog stays open.
#ifndef TEKSTOR_DOCUMENT_CHOSENNAME_H
#define TEKSTOR_DOCUMENT_CHOSENNAME_H

#include <windows.h>

// Before a dialog opens: nothing noted yet. bSaving: for Save As, where a
// new name may be chosen and the long form is kept first.
void ForgetChosenName(BOOL bSaving);

// From the hook when the user confirms (CDN_FILEOK): hwndDialog is the file
// dialog, pszResult the path it put into its record. FALSE when the choice is
// refused: the reason has been shown over the dialog, which is to stay open.
BOOL NoteChosenName(HWND hwndDialog, const char* pszResult);

// After the dialog returned pszResult: the name to keep into pszName
// (MAX_PATH bytes) and the long form of the chosen name into pszLong
// (MAX_PATH characters). FALSE when there is none: an Open of a name that
// does not exist, or a result other than the one the hook saw (the reason is
// then shown over hwndOwner).
BOOL TakeChosenName(HWND hwndOwner, const char* pszResult, char* pszName, wchar_t* pszLong);

#endif
