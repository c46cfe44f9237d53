// The system libraries the program loads itself, each when it is first
// needed: imported, the common dialogs and the shell would be loaded by every
// start of the program, for dialogs and files many runs never open. Each is
// taken from the system folder only, never from beside the exe or from the
// current folder, where a file of the same name could have been put.
#ifndef TEKSTOR_APP_SYSLIB_H
#define TEKSTOR_APP_SYSLIB_H

#include <windows.h>

// From the very start of the run: every library loaded later by name (by the
// dialogs, the shell extensions they host, their delayed imports) comes from
// the system folder, never from the program's folder or the current one.
void RestrictLibrarySearch();

enum SystemLibrary {
    SYSLIB_COMDLG32,  // the file and find dialogs
    SYSLIB_SHELL32,   // drops, the shown name of a file, starting a new copy
    SYSLIB_OLE32,     // reading a shortcut chosen in a file dialog
    SYSLIB_COUNT
};

// The library from the system folder, loaded once and kept (the modeless find
// dialogs live on in it); NULL when it cannot be had.
HMODULE LoadSystemLibrary(SystemLibrary library);

// The named function of the library, or NULL when it cannot be had.
FARPROC GetSystemLibraryProc(SystemLibrary library, const char* pszFunction);

template <typename Function>
Function GetSystemFunction(SystemLibrary library, const char* pszFunction)
{
    return reinterpret_cast<Function>(
        reinterpret_cast<void*>(GetSystemLibraryProc(library, pszFunction)));
}

template <typename Function>
Function GetCommonDialogFunction(const char* pszFunction)
{
    return GetSystemFunction<Function>(SYSLIB_COMDLG32, pszFunction);
}

template <typename Function>
Function GetShellFunction(const char* pszFunction)
{
    return GetSystemFunction<Function>(SYSLIB_SHELL32, pszFunction);
}

#endif
