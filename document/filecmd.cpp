// File commands and the save prompt. Every command that would discard a
// modified document asks first; every command that adopts a new name before
// it touches a file takes the old name back when the file work fails, so the
// name in g_szFileName always belongs to the text in the pane.
#include "document/filecmd.h"

#include <cstdio>

#include "app/syslib.h"
#include "app/state.h"
#include "document/chosenname.h"
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
    LoadStringA(hInstance, IDS_APPNAME, pszSecond, PROMPT_HALF - 1);

    switch (MessageBoxA(hwndMain, pszMessage, pszSecond, MB_YESNOCANCEL | MB_ICONEXCLAMATION)) {
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

static void BuildFilterList(HINSTANCE hInstance, char* pszFilter)
{
    ZeroMemory(pszFilter, FILTER_SIZE);
    const int cchText = LoadStringA(hInstance, IDS_FILTER_TEXT, pszFilter, 100);
    char* p = pszFilter + cchText + 1;
    static const char kPattern[] = "*." DEFAULT_EXTENSION;
    lstrcpynA(p, kPattern, sizeof kPattern);
    p += sizeof kPattern;
    const int cchLeft = 100 - cchText - 1 - static_cast<int>(sizeof kPattern);
    const int cchAll = cchLeft > 1 ? LoadStringA(hInstance, IDS_FILTER_ALL, p, cchLeft) : 0;
    p += cchAll + 1;
    lstrcpynA(p, "*.*", 4);
    // The zero fill supplies the list's closing NUL.
}

// The name a file command works under; the previous one is kept so that a
// failed load or save can put it back.
static void AdoptDocumentName(DocumentName* previous, const char* pszName, const wchar_t* pszLong)
{
    RememberDocumentName(previous);
    lstrcpynA(g_szFileName, pszName, MAX_PATH);
    lstrcpynW(g_wszDocumentPath, pszLong, MAX_PATH);
    g_bUntitled = FALSE;
}

// Shown when the document's name now opens another file and its own file is
// gone.
static void ShowFileReplaced(HINSTANCE hInstance, HWND hwndMain)
{
    char szText[PROMPT_HALF] = "";
    char szCaption[PROMPT_HALF] = "";
    LoadStringA(hInstance, IDS_FILE_REPLACED, szText, PROMPT_HALF - 1);
    LoadStringA(hInstance, IDS_APPNAME, szCaption, PROMPT_HALF - 1);
    MessageBoxA(hwndMain, szText, szCaption, MB_OK | MB_ICONEXCLAMATION);
}

static BOOL RunFileDialog(decltype(&::GetOpenFileNameA) (*pfnGetDialog)(), OPENFILENAMEA* ofn,
                          BOOL bSaving)
{
    ForgetChosenName(bSaving);
    auto pfn = pfnGetDialog();
    return pfn ? pfn(ofn) : FALSE;
}

void PrepareFileDialog(OPENFILENAMEA* ofn, HINSTANCE hInstance, HWND hwndMain, char* pszFile,
                       char* pszFilter, DWORD dwFlags)
{
    // A titled document opens the dialog in its own directory, its long name
    // preselected; an untitled one offers the untitled name.
    ComposeShownName(pszFile, MAX_PATH);
    BuildFilterList(hInstance, pszFilter);
    ZeroMemory(ofn, sizeof *ofn);
    ofn->lStructSize = FILE_DIALOG_RECORD_SIZE;
    ofn->hwndOwner = hwndMain;
    ofn->hInstance = hInstance;
    ofn->lpstrFilter = pszFilter;
    ofn->lpstrFile = pszFile;
    ofn->nMaxFile = MAX_PATH;
    ofn->Flags = dwFlags;
    ofn->lpstrDefExt = DEFAULT_EXTENSION;
    ofn->lpfnHook = FileDialogHookProc;
}

BOOL FileOpen(HINSTANCE hInstance, HWND hwndMain, HWND hwndEdit)
{
    if (!QuerySaveChanges(hInstance, hwndMain, hwndEdit))
        return FALSE;
    char szFile[MAX_PATH];
    char szFilter[FILTER_SIZE];
    OPENFILENAMEA ofn;
    PrepareFileDialog(&ofn, hInstance, hwndMain, szFile, szFilter, OPEN_DIALOG_FLAGS);
    char szChosen[MAX_PATH];
    wchar_t szLong[MAX_PATH];
    if (!RunFileDialog(GetOpenFileNameFunction, &ofn, FALSE) ||
        !TakeChosenName(hwndMain, szFile, szChosen, szLong))
        return FALSE;

    DocumentName previous;
    AdoptDocumentName(&previous, szChosen, szLong);
    if (!LoadDocument(hwndEdit)) {
        RestoreDocumentName(&previous, hInstance, hwndMain);
        return FALSE;
    }
    UpdateTitle(hInstance, hwndMain, g_bRecording);
    return TRUE;
}

BOOL FileSave(HINSTANCE hInstance, HWND hwndMain, HWND hwndEdit)
{
    if (g_bUntitled)
        return FileSaveAs(hInstance, hwndMain, hwndEdit);
    // Under Wine a short name can come to open a twin when a save reorders
    // the folder; on Windows one is handed out again after a delete.
    if (!StoredNameOpensDocument()) {
        if (!RenewDocumentName()) {
            ShowFileReplaced(hInstance, hwndMain);
            return FALSE;
        }
        UpdateTitle(hInstance, hwndMain, g_bRecording);
    }
    return SaveDocument(hwndEdit);
}

BOOL FileSaveAs(HINSTANCE hInstance, HWND hwndMain, HWND hwndEdit)
{
    char szFile[MAX_PATH];
    char szFilter[FILTER_SIZE];
    OPENFILENAMEA ofn;
    PrepareFileDialog(&ofn, hInstance, hwndMain, szFile, szFilter, SAVE_DIALOG_FLAGS);
    char szChosen[MAX_PATH];
    wchar_t szLong[MAX_PATH];
    if (!RunFileDialog(GetSaveFileNameFunction, &ofn, TRUE) ||
        !TakeChosenName(hwndMain, szFile, szChosen, szLong))
        return FALSE;

    DocumentName previous;
    AdoptDocumentName(&previous, szChosen, szLong);
    if (!FileSave(hInstance, hwndMain, hwndEdit)) {
        RestoreDocumentName(&previous, hInstance, hwndMain);
        return FALSE;
    }
    UpdateTitle(hInstance, hwndMain, g_bRecording);
    return TRUE;
}

UINT_PTR CALLBACK FileDialogHookProc(HWND hdlg, UINT uMsg, WPARAM, LPARAM lParam)
{
    // The hook runs in a child of the dialog; the notification names the
    // dialog itself, which is the window to move and to read the name from.
    if (uMsg == WM_NOTIFY) {
        const OFNOTIFYA* pNotify = reinterpret_cast<const OFNOTIFYA*>(lParam);
        if (pNotify->hdr.code == static_cast<UINT>(CDN_INITDONE)) {
            CenterWindowOnScreen(pNotify->hdr.hwndFrom);
        } else if (pNotify->hdr.code == static_cast<UINT>(CDN_FILEOK) &&
                   !NoteChosenName(pNotify->hdr.hwndFrom, pNotify->lpOFN->lpstrFile)) {
            // Refused: the dialog reads the answer from the hook's own window
            // and stays open for another choice.
            SetWindowLongPtrA(hdlg, DWLP_MSGRESULT, 1);
            return 1;
        }
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
