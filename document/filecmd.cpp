// File commands and the save prompt. Every command that would discard a
// modified document asks first; every command that adopts a new name before
// it touches a file takes the old name back when the file work fails, so the
// name in g_szFileName always belongs to the text in the pane.
#include "document/filecmd.h"

#include <cstdio>
#include <iterator>

#include "app/syslib.h"
#include "app/state.h"
#include "document/docfile.h"
#include "document/document.h"
#include "res/resource.h"

void FormatSavePrompt(char* pszOut, const char* pszFormat, const char* pszName)
{
    const int cchNeeded = snprintf(pszOut, PROMPT_HALF, pszFormat, pszName);
    if (cchNeeded < 0) {
        pszOut[0] = '\0';
        return;
    }
    if (cchNeeded < PROMPT_HALF)
        return;
    // Keep the end of the name, where the file's own name is, and mark the cut.
    const int cchCut = cchNeeded - (PROMPT_HALF - 1) + 3;
    const char* pszTail = pszName;
    while (*pszTail && pszTail - pszName < cchCut)
        pszTail = CharNextA(pszTail);
    char szShortened[MAX_PATH + 4];
    snprintf(szShortened, sizeof szShortened, "...%s", pszTail);
    snprintf(pszOut, PROMPT_HALF, pszFormat, szShortened);
}

BOOL QuerySaveChanges(HINSTANCE hInstance, HWND hwndMain, HWND hwndEdit)
{
    if (!SendMessageA(hwndEdit, EM_GETMODIFY, 0, 0))
        return TRUE;
    char area[2 * PROMPT_HALF] = "";
    char* pszMessage = area;
    char* pszSecond = area + PROMPT_HALF;
    LoadStringA(hInstance, IDS_SAVE_PROMPT, pszSecond, PROMPT_HALF - 1);
    FormatSavePrompt(pszMessage, pszSecond, g_szFileName);

    switch (ShowProgramMessage(hwndMain, pszMessage, MB_YESNOCANCEL | MB_ICONEXCLAMATION)) {
    case IDYES:
        return FileSave(hInstance, hwndMain, hwndEdit) ? TRUE : FALSE;
    case IDNO:
        return TRUE;
    default:
        // Cancel, or the box could not be shown at all (0 or -1): going on
        // would throw the user's changes away unasked.
        return FALSE;
    }
}

BOOL FileNew(HINSTANCE hInstance, HWND hwndMain, HWND hwndEdit)
{
    if (!QuerySaveChanges(hInstance, hwndMain, hwndEdit))
        return FALSE;
    LoadStringA(hInstance, IDS_UNTITLED, g_szFileName, 29);
    g_wszDocumentPath[0] = L'\0';
    g_documentFile.bKnown = FALSE;
    g_bUntitled = TRUE;
    UpdateTitle(hInstance, hwndMain, g_bRecording);
    // Replacing the whole text also clears the modification flag and the undo
    // buffer. An empty pane with neither already is what that would give, and
    // replacing its text anyway would cost every start of the program a fresh
    // layout and redraw of the pane and its scroll bars.
    if (GetWindowTextLengthA(hwndEdit) != 0 || SendMessageA(hwndEdit, EM_GETMODIFY, 0, 0) ||
        SendMessageA(hwndEdit, EM_CANUNDO, 0, 0))
        SetWindowTextA(hwndEdit, NULL);
    return TRUE;
}

static void BuildFilterList(HINSTANCE hInstance, wchar_t* pszFilter)
{
    ZeroMemory(pszFilter, FILTER_SIZE * sizeof(wchar_t));
    const int cchText = LoadStringW(hInstance, IDS_FILTER_TEXT, pszFilter, 100);
    wchar_t* p = pszFilter + cchText + 1;
    static const wchar_t kPattern[] = L"*." DEFAULT_EXTENSION;
    lstrcpynW(p, kPattern, static_cast<int>(std::size(kPattern)));
    p += std::size(kPattern);
    const int cchLeft = 100 - cchText - 1 - static_cast<int>(std::size(kPattern));
    const int cchAll = cchLeft > 1 ? LoadStringW(hInstance, IDS_FILTER_ALL, p, cchLeft) : 0;
    p += cchAll + 1;
    lstrcpynW(p, L"*.*", 4);
    // The zero fill supplies the list's closing NUL.
}

void ShowOpenRefusal(HWND hwndOwner, const wchar_t* pszGiven, UINT uReason)
{
    char szName[MAX_PATH];
    if (!WideCharToMultiByte(CP_ACP, 0, pszGiven, -1, szName, MAX_PATH, NULL, NULL))
        szName[0] = '\0';
    ShowDocumentMessage(hwndOwner, uReason, MB_OK | MB_ICONEXCLAMATION, szName);
}

static BOOL RunFileDialog(decltype(&::GetOpenFileNameW) (*pfnGetDialog)(), OPENFILENAMEW* ofn)
{
    auto pfn = pfnGetDialog();
    return pfn ? pfn(ofn) : FALSE;
}

void PrepareFileDialog(OPENFILENAMEW* ofn, HINSTANCE hInstance, HWND hwndMain, wchar_t* pszFile,
                       wchar_t* pszFilter, DWORD dwFlags)
{
    // A titled document opens the dialog in its own folder with its own name
    // preselected, extension and all: a name shown without its extension
    // would come back with the default one, which is another file.
    pszFile[0] = L'\0';
    if (!g_bUntitled && g_wszDocumentPath[0])
        lstrcpynW(pszFile, g_wszDocumentPath, DOCUMENT_PATH_SIZE);
    else
        LoadStringW(hInstance, IDS_UNTITLED, pszFile, DOCUMENT_PATH_SIZE);
    BuildFilterList(hInstance, pszFilter);
    ZeroMemory(ofn, sizeof *ofn);
    ofn->lStructSize = FILE_DIALOG_RECORD_SIZE;
    ofn->hwndOwner = hwndMain;
    ofn->hInstance = hInstance;
    ofn->lpstrFilter = pszFilter;
    ofn->lpstrFile = pszFile;
    ofn->nMaxFile = DOCUMENT_PATH_SIZE;
    ofn->Flags = dwFlags;
    ofn->lpstrDefExt = L"" DEFAULT_EXTENSION;
    ofn->lpfnHook = FileDialogHookProc;
}

// The dialog's name and list: one pair for the whole run, since a path may
// be longer than a stack frame should hold.
static wchar_t s_szDialogFile[DOCUMENT_PATH_SIZE];
static wchar_t s_szDialogFilter[FILTER_SIZE];
static wchar_t s_szChosen[DOCUMENT_PATH_SIZE];

BOOL FileOpen(HINSTANCE hInstance, HWND hwndMain, HWND hwndEdit)
{
    if (!QuerySaveChanges(hInstance, hwndMain, hwndEdit))
        return FALSE;
    OPENFILENAMEW ofn;
    PrepareFileDialog(&ofn, hInstance, hwndMain, s_szDialogFile, s_szDialogFilter,
                      OPEN_DIALOG_FLAGS);
    if (!RunFileDialog(GetOpenFileNameFunction, &ofn))
        return FALSE;
    // A name that is not there (the user agreed to the dialog's offer to
    // create it) opens nothing, as the dialog itself makes no file.
    const UINT uReason = FindDocumentFile(s_szDialogFile, s_szChosen);
    if (uReason) {
        if (uReason != IDS_NOT_FOUND)
            ShowOpenRefusal(hwndMain, s_szDialogFile, uReason);
        return FALSE;
    }
    static DocumentName s_previous;
    RememberDocumentName(&s_previous);
    SetDocumentFile(s_szChosen);
    if (!LoadDocument(hwndEdit)) {
        RestoreDocumentName(&s_previous, hInstance, hwndMain);
        return FALSE;
    }
    UpdateTitle(hInstance, hwndMain, g_bRecording);
    return TRUE;
}

BOOL FileSave(HINSTANCE hInstance, HWND hwndMain, HWND hwndEdit)
{
    if (g_bUntitled)
        return FileSaveAs(hInstance, hwndMain, hwndEdit);
    return SaveDocument(hwndEdit);
}

// The file a Save As writes: an existing one by its exact name (a shortcut's
// target, as the shell would take it), a new one by its full path.
static BOOL TakeSaveName(HWND hwndMain, const wchar_t* pszChosen, wchar_t* pszName)
{
    const UINT uReason = FindDocumentFile(pszChosen, pszName);
    if (uReason == 0)
        return TRUE;
    const DWORD cch = GetFullPathNameW(pszChosen, DOCUMENT_PATH_SIZE, pszName, NULL);
    if (uReason == IDS_NOT_FOUND && cch != 0 && cch < DOCUMENT_PATH_SIZE)
        return TRUE;
    ShowOpenRefusal(hwndMain, pszChosen, uReason);
    return FALSE;
}

BOOL FileSaveAs(HINSTANCE hInstance, HWND hwndMain, HWND hwndEdit)
{
    OPENFILENAMEW ofn;
    PrepareFileDialog(&ofn, hInstance, hwndMain, s_szDialogFile, s_szDialogFilter,
                      SAVE_DIALOG_FLAGS);
    if (!RunFileDialog(GetSaveFileNameFunction, &ofn) ||
        !TakeSaveName(hwndMain, s_szDialogFile, s_szChosen))
        return FALSE;
    // Nested in a prompt of an Open, a name of its own.
    static DocumentName s_previous;
    RememberDocumentName(&s_previous);
    SetDocumentFile(s_szChosen);
    if (!SaveDocument(hwndEdit)) {
        RestoreDocumentName(&s_previous, hInstance, hwndMain);
        return FALSE;
    }
    UpdateTitle(hInstance, hwndMain, g_bRecording);
    return TRUE;
}

UINT_PTR CALLBACK FileDialogHookProc(HWND, UINT uMsg, WPARAM, LPARAM lParam)
{
    // The hook runs in a child of the dialog; the notification names the
    // dialog itself, which is the window to move and to read the name from.
    if (uMsg == WM_NOTIFY) {
        const NMHDR* pHeader = reinterpret_cast<const NMHDR*>(lParam);
        if (pHeader->code == static_cast<UINT>(CDN_INITDONE))
            CenterWindowOnScreen(pHeader->hwndFrom);
    }
    return 0;
}

void CenterWindowOnScreen(HWND hwnd)
{
    RECT rc;
    GetWindowRect(hwnd, &rc);
    const int y = (GetSystemMetrics(SM_CYSCREEN) + rc.top - rc.bottom) / 2;
    const int x = (GetSystemMetrics(SM_CXSCREEN) + rc.left - rc.right) / 2;
    SetWindowPos(hwnd, NULL, x, y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
}
