// The common dialogs' library, loaded when a dialog is first opened: imported
// at start, it would cost every start of the program a fifth of its time and
// memory, for dialogs many runs never open.
#ifndef TEKSTOR_APP_COMMDLG_H
#define TEKSTOR_APP_COMMDLG_H

#include <windows.h>

// The named function of the library, or NULL when it cannot be had.
FARPROC GetCommonDialogProc(const char* pszFunction);

template <typename Function>
Function GetCommonDialogFunction(const char* pszFunction)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetCommonDialogProc(pszFunction)));
}

#endif
