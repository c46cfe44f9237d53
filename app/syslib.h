// The system libraries the program loads itself, each when it is first
// needed: imported, the common dialogs and the shell would be loaded by every
// start of the program, for dialogs and files many runs never open. Each is
// taken from the system folder only, never from beside the exe or from the
// current folder, where a file of the same name could have been put.
#ifndef TEKSTOR_APP_SYSLIB_H
#define TEKSTOR_APP_SYSLIB_H

#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

// From the very start of the run: every library loaded later by name (by the
// dialogs, the shell extensions they host, their delayed imports) comes from
// the system folder, never from the program's folder or the current one.
void RestrictLibrarySearch();

enum SystemLibrary {
    SYSLIB_COMDLG32,  // the file and find dialogs
    SYSLIB_SHELL32,   // drops, the shown name of a file, starting a new copy
    SYSLIB_OLE32,     // reading the target of a shortcut
    SYSLIB_COUNT
};

// The library from the system folder, loaded once and kept (the modeless find
// dialogs live on in it); NULL when it cannot be had.
HMODULE LoadSystemLibrary(SystemLibrary library);

// The named function of the library, or NULL when it cannot be had.
FARPROC GetSystemLibraryProc(SystemLibrary library, const char* pszFunction);

// Only for the accessors below.
template <typename Function>
Function GetSystemFunction(SystemLibrary library, const char* pszFunction)
{
    return reinterpret_cast<Function>(
        reinterpret_cast<void*>(GetSystemLibraryProc(library, pszFunction)));
}

// One accessor per function the program takes from these libraries. Its
// type is the header's own declaration of that function, named once with the
// function's name, so a call with other arguments does not compile; a type
// written by hand could differ from the header and, in the 32-bit build,
// a wrong calling convention or argument size would compile and corrupt the
// stack at run time.
#define TEKSTOR_SYSTEM_FUNCTION(library, name, accessor) \
    inline decltype(&::name) accessor() { return GetSystemFunction<decltype(&::name)>(library, #name); }

TEKSTOR_SYSTEM_FUNCTION(SYSLIB_COMDLG32, GetOpenFileNameW, GetOpenFileNameFunction)
TEKSTOR_SYSTEM_FUNCTION(SYSLIB_COMDLG32, GetSaveFileNameW, GetSaveFileNameFunction)
TEKSTOR_SYSTEM_FUNCTION(SYSLIB_COMDLG32, FindTextA, GetFindTextFunction)
TEKSTOR_SYSTEM_FUNCTION(SYSLIB_COMDLG32, ReplaceTextA, GetReplaceTextFunction)

TEKSTOR_SYSTEM_FUNCTION(SYSLIB_SHELL32, SHGetFileInfoW, GetFileInfoFunction)
TEKSTOR_SYSTEM_FUNCTION(SYSLIB_SHELL32, SHGetPathFromIDListW, GetPathFromIDListFunction)
TEKSTOR_SYSTEM_FUNCTION(SYSLIB_SHELL32, ShellExecuteW, GetShellExecuteFunction)
TEKSTOR_SYSTEM_FUNCTION(SYSLIB_SHELL32, DragQueryFileW, GetDragQueryFileFunction)
TEKSTOR_SYSTEM_FUNCTION(SYSLIB_SHELL32, DragFinish, GetDragFinishFunction)

TEKSTOR_SYSTEM_FUNCTION(SYSLIB_OLE32, CoInitializeEx, GetInitializeExFunction)
TEKSTOR_SYSTEM_FUNCTION(SYSLIB_OLE32, CoCreateInstance, GetCreateInstanceFunction)
TEKSTOR_SYSTEM_FUNCTION(SYSLIB_OLE32, CoTaskMemFree, GetTaskMemFreeFunction)
TEKSTOR_SYSTEM_FUNCTION(SYSLIB_OLE32, CoUninitialize, GetUninitializeFunction)

#undef TEKSTOR_SYSTEM_FUNCTION

#endif
