// The argument string and dropped files: the name search itself is in
// argsplit.*, here it meets the file system and the shell.
#include "document/openargs.h"

#include <shellapi.h>

#include "app/state.h"
#include "app/syslib.h"
#include "document/ansipath.h"
#include "document/argsplit.h"
#include "document/document.h"
#include "document/filecmd.h"

// The same request as the load itself, so that what is accepted here can
// also be loaded (a directory or a file held for writing cannot).
static BOOL AdoptStoredName(const char* pszStored, const wchar_t* pszLong)
{
    // The same request as the load itself, so that what is accepted here can
    // also be loaded (a directory or a file held for writing cannot).
    HANDLE hFile = OpenDocumentToLoad(pszStored);
    if (hFile == INVALID_HANDLE_VALUE)
        return FALSE;
    CloseHandle(hFile);
    lstrcpynA(g_szFileName, pszStored, MAX_PATH);
    lstrcpynW(g_wszDocumentPath, pszLong, MAX_PATH);
    return TRUE;
}

// Kept as a full path: the file dialogs change the current directory, and a
// relative name would then name another file the next time it is saved.
BOOL AdoptExistingFile(const char* pszPath)
{
    char szStored[MAX_PATH];
    wchar_t szLong[MAX_PATH];
    return GetStoredNameA(pszPath, TRUE, FALSE, szStored, szLong) &&
           AdoptStoredName(szStored, szLong);
}

static bool AdoptCandidate(const wchar_t* pszName, void*)
{
    char szStored[MAX_PATH];
    wchar_t szLong[MAX_PATH];
    return GetStoredName(pszName, TRUE, FALSE, szStored, szLong) &&
           AdoptStoredName(szStored, szLong);
}

BOOL FindArgumentName(wchar_t* pszArgs, wchar_t** ppszRemainder)
{
    return SplitArguments(pszArgs, AdoptCandidate, NULL, ppszRemainder) ? TRUE : FALSE;
}

// Wide throughout: the names handed on keep every character, and so does the
// program's own path.
static void HandOnToNewCopy(HWND hwndMain, const wchar_t* pszRemainder)
{
    wchar_t szExe[MAX_PATH];
    const DWORD cch = GetModuleFileNameW(NULL, szExe, MAX_PATH);
    if (cch == 0 || cch >= MAX_PATH)
        return;
    auto pfnExecute = GetShellExecuteFunction();
    if (pfnExecute)
        pfnExecute(hwndMain, L"open", szExe, pszRemainder, NULL, SW_SHOWNORMAL);
}

void OpenFromArguments(HINSTANCE hInstance, HWND hwndMain, HWND hwndEdit, LPWSTR pszArgs)
{
    if (!FileNew(hInstance, hwndMain, hwndEdit))
        return;
    DocumentName untitled;
    RememberDocumentName(&untitled);
    wchar_t* pszRemainder = NULL;
    if (pszArgs && FindArgumentName(pszArgs, &pszRemainder)) {
        g_bUntitled = FALSE;
        // The file may have changed since it was accepted; the document then
        // stays the untitled one, so no later save can write over the file.
        if (LoadDocument(hwndEdit))
            UpdateTitle(hInstance, hwndMain, g_bRecording);
        else
            RestoreDocumentName(&untitled, hInstance, hwndMain);
    }
    if (pszRemainder)
        HandOnToNewCopy(hwndMain, pszRemainder);
}

void OnDropFiles(HWND, UINT, WPARAM wParam, LPARAM)
{
    HDROP hDrop = reinterpret_cast<HDROP>(wParam);
    auto pfnQueryFile = GetDragQueryFileFunction();
    auto pfnFinish = GetDragFinishFunction();
    wchar_t szPath[DROP_BUFFER_SIZE];
    // A path too long for the buffer would arrive cut, and a cut path can name
    // another file; such a drop opens nothing. The wide path is the exact one.
    const UINT cchPath = pfnQueryFile ? pfnQueryFile(hDrop, 0, NULL, 0) : 0;
    if (cchPath > 0 && cchPath < DROP_BUFFER_SIZE - 1 &&
        pfnQueryFile(hDrop, 0, szPath, DROP_BUFFER_SIZE - 1) != 0)
        OpenFromArguments(g_hInstance, g_hwndMain, g_hwndEdit, szPath);
    // The drop's memory is ours to free either way; without the shell, the
    // way DragFinish frees it.
    if (pfnFinish)
        pfnFinish(hDrop);
    else
        GlobalFree(hDrop);
}
