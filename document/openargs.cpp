// The argument string and dropped files: the name search itself is in
// argsplit.*, here it meets the file system and the shell.
#include "document/openargs.h"

#include <shellapi.h>

#include "app/state.h"
#include "app/syslib.h"
#include "document/argsplit.h"
#include "document/docfile.h"
#include "document/document.h"
#include "document/filecmd.h"

static bool AdoptCandidate(const wchar_t* pszName, void*)
{
    static wchar_t s_szExact[DOCUMENT_PATH_SIZE];
    if (FindDocumentFile(pszName, s_szExact) != 0)
        return false;
    SetDocumentFile(s_szExact);
    return true;
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

// The document's file is set: its text goes into the pane. A file that
// changed since it was accepted leaves the document the untitled one, so no
// later save can write over the file.
static void LoadAdoptedFile(HINSTANCE hInstance, HWND hwndMain, HWND hwndEdit,
                            const DocumentName* untitled)
{
    if (LoadDocument(hwndEdit))
        UpdateTitle(hInstance, hwndMain, g_bRecording);
    else
        RestoreDocumentName(untitled, hInstance, hwndMain);
}

void OpenFromArguments(HINSTANCE hInstance, HWND hwndMain, HWND hwndEdit, LPWSTR pszArgs)
{
    if (!FileNew(hInstance, hwndMain, hwndEdit))
        return;
    static DocumentName s_untitled;
    RememberDocumentName(&s_untitled);
    wchar_t* pszRemainder = NULL;
    if (pszArgs && FindArgumentName(pszArgs, &pszRemainder))
        LoadAdoptedFile(hInstance, hwndMain, hwndEdit, &s_untitled);
    if (pszRemainder)
        HandOnToNewCopy(hwndMain, pszRemainder);
}

static void OpenDroppedFile(const wchar_t* pszPath)
{
    if (!FileNew(g_hInstance, g_hwndMain, g_hwndEdit))
        return;
    static wchar_t s_szExact[DOCUMENT_PATH_SIZE];
    const UINT uReason = FindDocumentFile(pszPath, s_szExact);
    if (uReason) {
        ShowOpenRefusal(g_hwndMain, pszPath, uReason);
        return;
    }
    static DocumentName s_untitled;
    RememberDocumentName(&s_untitled);
    SetDocumentFile(s_szExact);
    LoadAdoptedFile(g_hInstance, g_hwndMain, g_hwndEdit, &s_untitled);
}

void OnDropFiles(HWND, UINT, WPARAM wParam, LPARAM)
{
    HDROP hDrop = reinterpret_cast<HDROP>(wParam);
    auto pfnQueryFile = GetDragQueryFileFunction();
    auto pfnFinish = GetDragFinishFunction();
    static wchar_t s_szPath[DOCUMENT_PATH_SIZE];
    // Only a path that arrives whole is opened: a cut one can name another file.
    const UINT cchPath = pfnQueryFile ? pfnQueryFile(hDrop, 0, NULL, 0) : 0;
    if (cchPath > 0 && cchPath < DOCUMENT_PATH_SIZE &&
        pfnQueryFile(hDrop, 0, s_szPath, DOCUMENT_PATH_SIZE) == cchPath)
        OpenDroppedFile(s_szPath);
    // The drop's memory is ours to free either way; without the shell, the
    // way DragFinish frees it.
    if (pfnFinish)
        pfnFinish(hDrop);
    else
        GlobalFree(hDrop);
}
