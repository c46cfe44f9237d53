// The argument string and dropped files: the name search itself is in
// argsplit.*, here it meets the file system and the shell.
#include "document/openargs.h"

#include <shellapi.h>

#include "app/state.h"
#include "app/syslib.h"
#include "document/argsplit.h"
#include "document/document.h"
#include "document/filecmd.h"

BOOL AdoptExistingFile(const char* pszPath)
{
    // Kept as a full path: the file dialogs change the current directory, and
    // a relative name would then name another file the next time it is saved.
    char szFull[MAX_PATH];
    const DWORD cchFull = GetFullPathNameA(pszPath, MAX_PATH, szFull, NULL);
    if (cchFull == 0 || cchFull >= MAX_PATH)
        return FALSE;
    char szShort[MAX_PATH];
    const DWORD cchShort = GetShortPathNameA(szFull, szShort, MAX_PATH);
    if (cchShort == 0 || cchShort >= MAX_PATH)
        return FALSE;
    // The same request as the load itself, so that what is accepted here can
    // also be loaded (a directory or a file held for writing cannot).
    HANDLE hFile = CreateFileA(szShort, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return FALSE;
    CloseHandle(hFile);
    lstrcpynA(g_szFileName, szShort, MAX_PATH);
    return TRUE;
}

static bool AdoptCandidate(const char* pszName, void*)
{
    return AdoptExistingFile(pszName) != FALSE;
}

BOOL FindArgumentName(char* pszArgs, char** ppszRemainder)
{
    return SplitArguments(pszArgs, AdoptCandidate, NULL, ppszRemainder) ? TRUE : FALSE;
}

static void HandOnToNewCopy(HWND hwndMain, const char* pszRemainder)
{
    char szExe[MAX_PATH];
    const DWORD cch = GetModuleFileNameA(NULL, szExe, MAX_PATH);
    if (cch == 0 || cch >= MAX_PATH)
        return;
    auto pfnExecute =
        GetShellFunction<HINSTANCE(WINAPI*)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT)>("ShellExecuteA");
    if (pfnExecute)
        pfnExecute(hwndMain, "open", szExe, pszRemainder, NULL, SW_SHOWNORMAL);
}

void OpenFromArguments(HINSTANCE hInstance, HWND hwndMain, HWND hwndEdit, LPSTR pszArgs)
{
    if (!FileNew(hInstance, hwndMain, hwndEdit))
        return;
    DocumentName untitled;
    RememberDocumentName(&untitled);
    char* pszRemainder = NULL;
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
    auto pfnQueryFile = GetShellFunction<UINT(WINAPI*)(HDROP, UINT, LPSTR, UINT)>("DragQueryFileA");
    auto pfnFinish = GetShellFunction<void(WINAPI*)(HDROP)>("DragFinish");
    char szPath[DROP_BUFFER_SIZE];
    // A path too long for the buffer would arrive cut, and a cut path can name
    // another file; such a drop opens nothing.
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
