// The dialog builds its result from its current folder and the text of its
// name field (a plain name, a relative or a full path, quoted or not, with the
// default extension added; for a shortcut, the path of its target), then
// converts it best-fit. The same composition is made here in the wide form and
// taken only when its best-fit conversion is byte for byte the dialog's result:
// then it is the name the user chose. Compared any looser (ignoring case, or
// linguistically, where "Straße" equals "Strasse"), it could be another file's.
#include "document/chosenname.h"

#include <commdlg.h>
#include <dlgs.h>
#include <shlobj.h>

#include <cstring>
#include <initializer_list>
#include <cwchar>

#include "app/state.h"
#include "app/syslib.h"
#include "document/ansipath.h"
#include "document/filecmd.h"
#include "res/resource.h"

namespace {

struct ChosenName {
    BOOL bSaving;
    BOOL bNoted;   // the hook let the dialog close on szResult
    BOOL bKept;    // szName is the name to keep; else the chosen file does not exist
    char szResult[MAX_PATH];
    char szName[MAX_PATH];
    wchar_t szLong[MAX_PATH];
};
ChosenName s_chosen;

void ShowRefusal(HWND hwndOwner, UINT idText)
{
    char szCaption[256] = "";
    char szText[512] = "";
    LoadStringA(g_hInstance, IDS_APPNAME, szCaption, sizeof szCaption - 1);
    LoadStringA(g_hInstance, idText, szText, sizeof szText - 1);
    MessageBoxA(hwndOwner, szText, szCaption, MB_OK | MB_ICONEXCLAMATION);
}

// The name field: an edit control in the classic template, a combo box in
// later ones.
BOOL ReadNameField(HWND hwndDialog, wchar_t* pszField)
{
    HWND hwndField = GetDlgItem(hwndDialog, edt1);
    if (!hwndField)
        hwndField = GetDlgItem(hwndDialog, cmb13);
    if (!hwndField)
        return FALSE;
    pszField[0] = L'\0';
    GetWindowTextW(hwndField, pszField, MAX_PATH);
    // The dialog accepts one name in quotes.
    if (pszField[0] == L'"') {
        wchar_t* pszClose = wcschr(pszField + 1, L'"');
        if (pszClose)
            *pszClose = L'\0';
        MoveMemory(pszField, pszField + 1, (lstrlenW(pszField + 1) + 1) * sizeof(wchar_t));
    }
    return pszField[0] != L'\0';
}

// The folder as an item list, which carries no code page; its path then comes
// from the shell in the wide form. A library or a search result is no folder
// of the file system and has no path.
BOOL GetDialogFolder(HWND hwndDialog, wchar_t* pszFolder)
{
    alignas(8) BYTE idl[4096];
    const LRESULT cb = SendMessageW(hwndDialog, CDM_GETFOLDERIDLIST, sizeof idl,
                                    reinterpret_cast<LPARAM>(idl));
    auto pfnGetPath = GetPathFromIDListFunction();
    return pfnGetPath && cb > 0 && cb <= static_cast<LRESULT>(sizeof idl) &&
           pfnGetPath(reinterpret_cast<PCIDLIST_ABSOLUTE>(idl), pszFolder) && pszFolder[0];
}

BOOL IsFullPath(const wchar_t* psz)
{
    return (psz[0] && psz[1] == L':' && psz[2] == L'\\') || (psz[0] == L'\\' && psz[1] == L'\\');
}

// Folder and field as the dialog joins them: a full path stands alone, a
// path from the root goes on the folder's drive, anything else below the
// folder. FALSE when it cannot be joined so (no folder, or too long).
BOOL JoinFolderAndField(const wchar_t* pszFolder, const wchar_t* pszField, wchar_t* pszJoined)
{
    wchar_t szJoined[2 * MAX_PATH + 2] = L"";
    if (IsFullPath(pszField)) {
        lstrcpynW(szJoined, pszField, MAX_PATH);
    } else if (!pszFolder[0]) {
        return FALSE;
    } else if (pszField[0] == L'\\') {
        if (pszFolder[1] != L':')
            return FALSE;
        lstrcpynW(szJoined, pszFolder, 3);
        lstrcpynW(szJoined + 2, pszField, MAX_PATH);
    } else {
        lstrcpynW(szJoined, pszFolder, MAX_PATH);
        const int cch = lstrlenW(szJoined);
        if (cch > 0 && szJoined[cch - 1] != L'\\')
            lstrcpynW(szJoined + cch, L"\\", 2);
        lstrcpynW(szJoined + lstrlenW(szJoined), pszField, MAX_PATH);
    }
    const DWORD cch = GetFullPathNameW(szJoined, MAX_PATH, pszJoined, NULL);
    return cch != 0 && cch < MAX_PATH;
}

BOOL BestFitIs(const wchar_t* pszWide, const char* pszAnsi)
{
    char szBestFit[MAX_PATH];
    return WideCharToMultiByte(CP_ACP, 0, pszWide, -1, szBestFit, MAX_PATH, NULL, NULL) &&
           strcmp(szBestFit, pszAnsi) == 0;
}

BOOL AppendText(wchar_t* pszPath, const wchar_t* pszText)
{
    const int cch = lstrlenW(pszPath);
    if (cch + lstrlenW(pszText) >= MAX_PATH)
        return FALSE;
    lstrcpynW(pszPath + cch, pszText, MAX_PATH - cch);
    return TRUE;
}

// A shortcut file: its extension, compared by code point with only the
// letters A-Z folded, is .lnk.
BOOL IsShortcutFile(const wchar_t* pszPath)
{
    const int cch = lstrlenW(pszPath);
    if (cch < 4)
        return FALSE;
    const wchar_t* pszExt = pszPath + cch - 4;
    const wchar_t kLnk[] = L".lnk";
    for (int i = 0; i < 4; ++i) {
        wchar_t ch = pszExt[i];
        if (ch >= L'A' && ch <= L'Z')
            ch = static_cast<wchar_t>(ch - L'A' + L'a');
        if (ch != kLnk[i])
            return FALSE;
    }
    const DWORD dwAttributes = GetFileAttributesW(pszPath);
    return dwAttributes != INVALID_FILE_ATTRIBUTES && !(dwAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The target a shortcut names, read in the wide form from its item list:
// the path it also holds may be stored in ANSI, a look-alike of the target's
// name. Not resolved: a search for a moved target could find another file
// than the one the dialog took.
BOOL ReadShortcutTarget(const wchar_t* pszLink, wchar_t* pszTarget)
{
    static const CLSID kClsidShellLink = {0x00021401, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    static const IID kIidShellLinkW = {0x000214F9, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    static const IID kIidPersistFile = {0x0000010B, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    auto pfnGetPath = GetPathFromIDListFunction();
    auto pfnFree = GetTaskMemFreeFunction();
    auto pfnInitialize = GetInitializeExFunction();
    auto pfnCreate = GetCreateInstanceFunction();
    auto pfnUninitialize = GetUninitializeFunction();
    if (!pfnGetPath || !pfnFree || !pfnInitialize || !pfnCreate || !pfnUninitialize)
        return FALSE;
    // The dialog has the thread in its apartment already; this only counts.
    const HRESULT hrInit = pfnInitialize(NULL, COINIT_APARTMENTTHREADED);
    BOOL bRead = FALSE;
    IShellLinkW* pLink = NULL;
    if (SUCCEEDED(pfnCreate(kClsidShellLink, NULL, CLSCTX_INPROC_SERVER, kIidShellLinkW,
                            reinterpret_cast<void**>(&pLink)))) {
        IPersistFile* pFile = NULL;
        if (SUCCEEDED(pLink->QueryInterface(kIidPersistFile, reinterpret_cast<void**>(&pFile)))) {
            PIDLIST_ABSOLUTE pidl = NULL;
            pszTarget[0] = L'\0';
            bRead = SUCCEEDED(pFile->Load(pszLink, STGM_READ)) &&
                    pLink->GetIDList(&pidl) == S_OK && pidl && pfnGetPath(pidl, pszTarget) &&
                    pszTarget[0];
            pfnFree(pidl);
            pFile->Release();
        }
        pLink->Release();
    }
    if (SUCCEEDED(hrInit))
        pfnUninitialize();
    return bRead;
}

// The wide name of the file the dialog's result stands for: one of the
// compositions of folder and field (as typed, with the default extension,
// a shortcut with its hidden extension), or the target of a shortcut among
// them, whose best-fit form is the result.
BOOL FindChosenFile(const wchar_t* pszFolder, const wchar_t* pszField, const char* pszResult,
                    wchar_t* pszChosen)
{
    wchar_t szBase[MAX_PATH];
    if (!JoinFolderAndField(pszFolder, pszField, szBase))
        return FALSE;
    for (const wchar_t* pszExt : {L"", L"." DEFAULT_EXTENSION, L".lnk"}) {
        wchar_t szName[MAX_PATH];
        lstrcpynW(szName, szBase, MAX_PATH);
        if (!AppendText(szName, pszExt))
            continue;
        if (BestFitIs(szName, pszResult)) {
            lstrcpynW(pszChosen, szName, MAX_PATH);
            return TRUE;
        }
        wchar_t szTarget[MAX_PATH];
        wchar_t szFullTarget[MAX_PATH];
        if (IsShortcutFile(szName) && ReadShortcutTarget(szName, szTarget)) {
            const DWORD cch = GetFullPathNameW(szTarget, MAX_PATH, szFullTarget, NULL);
            if (cch != 0 && cch < MAX_PATH && BestFitIs(szFullTarget, pszResult)) {
                lstrcpynW(pszChosen, szFullTarget, MAX_PATH);
                return TRUE;
            }
        }
    }
    return FALSE;
}

}  // namespace

void ForgetChosenName(BOOL bSaving)
{
    ZeroMemory(&s_chosen, sizeof s_chosen);
    s_chosen.bSaving = bSaving;
}

BOOL NoteChosenName(HWND hwndDialog, const char* pszResult)
{
    ForgetChosenName(s_chosen.bSaving);
    wchar_t szField[MAX_PATH];
    wchar_t szFolder[MAX_PATH] = L"";
    wchar_t szChosen[MAX_PATH];
    if (!pszResult || lstrlenA(pszResult) >= MAX_PATH || !ReadNameField(hwndDialog, szField) ||
        (!GetDialogFolder(hwndDialog, szFolder) && !IsFullPath(szField)) ||
        !FindChosenFile(szFolder, szField, pszResult, szChosen)) {
        ShowRefusal(hwndDialog, IDS_CHOICE_UNKNOWN);
        return FALSE;
    }
    const BOOL bSaving = s_chosen.bSaving;
    s_chosen.bKept = GetStoredName(szChosen, !bSaving, bSaving, s_chosen.szName, s_chosen.szLong);
    // An Open of a name that is not there (the user agreed to the dialog's
    // offer to create it) closes the dialog and opens nothing.
    const DWORD dwAttributes = GetFileAttributesW(szChosen);
    if (!s_chosen.bKept && (bSaving || dwAttributes != INVALID_FILE_ATTRIBUTES)) {
        ShowRefusal(hwndDialog, bSaving ? IDS_SAVE_REFUSED : IDS_OPEN_REFUSED);
        return FALSE;
    }
    lstrcpynA(s_chosen.szResult, pszResult, MAX_PATH);
    s_chosen.bNoted = TRUE;
    return TRUE;
}

BOOL TakeChosenName(HWND hwndOwner, const char* pszResult, char* pszName, wchar_t* pszLong)
{
    if (!s_chosen.bNoted || strcmp(pszResult, s_chosen.szResult) != 0) {
        ShowRefusal(hwndOwner, IDS_CHOICE_UNKNOWN);
        return FALSE;
    }
    if (!s_chosen.bKept)
        return FALSE;
    lstrcpynA(pszName, s_chosen.szName, MAX_PATH);
    lstrcpynW(pszLong, s_chosen.szLong, MAX_PATH);
    return TRUE;
}
