// The argument string and dropped files. Names are separated by spaces only
// and may hold spaces themselves, so an unquoted string is tried prefix by
// prefix: the shortest one that names a readable file is the name.
#include "document/openargs.h"

#include <shellapi.h>

#include <cstring>

#include "app/state.h"
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

// A quoted name runs to the next quote; what is handed on starts at the quote
// after that (and keeps it), or is nothing when there is no further quote.
static BOOL FindQuotedName(char* pszArgs, char** ppszRemainder)
{
    char* pszName = pszArgs + 1;
    char* pszClose = strchr(pszName, '"');
    if (pszClose) {
        *pszClose = '\0';
        *ppszRemainder = strchr(pszClose + 1, '"');
    }
    return AdoptExistingFile(pszName);
}

static BOOL FindUnquotedName(char* pszArgs, char** ppszRemainder)
{
    for (char* pszSpace = strchr(pszArgs, ' '); pszSpace; pszSpace = strchr(pszSpace + 1, ' ')) {
        *pszSpace = '\0';
        if (AdoptExistingFile(pszArgs)) {
            *ppszRemainder = pszSpace + 1;
            return TRUE;
        }
        *pszSpace = ' ';
    }
    return AdoptExistingFile(pszArgs);
}

static BOOL IsBlank(const char* psz)
{
    for (; *psz; ++psz) {
        if (*psz != ' ' && *psz != '\t')
            return FALSE;
    }
    return TRUE;
}

BOOL FindArgumentName(char* pszArgs, char** ppszRemainder)
{
    *ppszRemainder = NULL;
    BOOL bFound = FALSE;
    if (pszArgs[0] == '"')
        bFound = FindQuotedName(pszArgs, ppszRemainder);
    else if (pszArgs[0])
        bFound = FindUnquotedName(pszArgs, ppszRemainder);
    // Handing on nothing but blanks would only open an empty window.
    if (*ppszRemainder && IsBlank(*ppszRemainder))
        *ppszRemainder = NULL;
    return bFound;
}

static void HandOnToNewCopy(HWND hwndMain, const char* pszRemainder)
{
    char szExe[MAX_PATH];
    const DWORD cch = GetModuleFileNameA(NULL, szExe, MAX_PATH);
    if (cch == 0 || cch >= MAX_PATH)
        return;
    ShellExecuteA(hwndMain, "open", szExe, pszRemainder, NULL, SW_SHOWNORMAL);
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
    char szPath[DROP_BUFFER_SIZE];
    // A path too long for the buffer would arrive cut, and a cut path can name
    // another file; such a drop opens nothing.
    const UINT cchPath = DragQueryFileA(hDrop, 0, NULL, 0);
    if (cchPath > 0 && cchPath < DROP_BUFFER_SIZE - 1 &&
        DragQueryFileA(hDrop, 0, szPath, DROP_BUFFER_SIZE - 1) != 0)
        OpenFromArguments(g_hInstance, g_hwndMain, g_hwndEdit, szPath);
    DragFinish(hDrop);
}
