// The name chosen in the Open or Save As dialog, told exactly. The ANSI
// dialogs return a best-fit name: one that the code page cannot spell comes
// back as a look-alike (another file's name) or with '?'. When the user
// confirms, the dialog's hook notes the folder and the name field in their
// wide form; the command then takes the name as the program can hold it.
#ifndef TEKSTOR_DOCUMENT_CHOSENNAME_H
#define TEKSTOR_DOCUMENT_CHOSENNAME_H

#include <windows.h>

// Before a dialog opens: nothing noted yet.
void ForgetChosenName();

// From the hook when the user confirms (CDN_FILEOK): hwndDialog is the file
// dialog, pszResult the path it put into its record.
void NoteChosenName(HWND hwndDialog, const char* pszResult);

// The confirmed name as ANSI bytes naming that same file (the dialog's result
// where it is exact, else the short form) into pszName (MAX_PATH bytes).
// FALSE when the name cannot be had so: it is then refused.
BOOL TakeChosenName(const char* pszResult, char* pszName);

#endif
