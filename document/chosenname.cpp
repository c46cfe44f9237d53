// The dialog builds its result from its current folder and the text of its
// name field (a plain name, a relative or a full path, quoted or not, with the
// default extension added), then converts it best-fit. The same composition
// is made here in the wide form and kept only when its best-fit conversion is
// exactly the dialog's result: then it is the name the user chose.
#include "document/chosenname.h"

#include <commdlg.h>
#include <dlgs.h>
#include <shlobj.h>

#include <cwchar>

#include "app/syslib.h"
#include "document/ansipath.h"
#include "document/filecmd.h"

namespace {

struct ChosenName {
    BOOL bNoted;       // the hook saw the confirmation and could read the field
    BOOL bExact;       // folder and field hold only characters of the code page
    BOOL bKnown;       // szWide is the chosen name
    wchar_t szWide[MAX_PATH];
};
ChosenName s_chosen;

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
    return TRUE;
}

// The folder as an item list, which carries no code page; its path then comes
// from the shell in the wide form.
BOOL GetDialogFolder(HWND hwndDialog, wchar_t* pszFolder)
{
    alignas(8) BYTE idl[4096];
    const LRESULT cb = SendMessageW(hwndDialog, CDM_GETFOLDERIDLIST, sizeof idl,
                                    reinterpret_cast<LPARAM>(idl));
    auto pfnGetPath = GetPathFromIDListFunction();
    return pfnGetPath && cb > 0 && cb <= static_cast<LRESULT>(sizeof idl) &&
           pfnGetPath(reinterpret_cast<PCIDLIST_ABSOLUTE>(idl), pszFolder);
}

BOOL IsFullPath(const wchar_t* psz)
{
    return (psz[0] && psz[1] == L':') || (psz[0] == L'\\' && psz[1] == L'\\');
}

BOOL BestFitEquals(const wchar_t* pszWide, const char* pszAnsi)
{
    char szBestFit[MAX_PATH];
    return WideCharToMultiByte(CP_ACP, 0, pszWide, -1, szBestFit, MAX_PATH, NULL, NULL) &&
           lstrcmpiA(szBestFit, pszAnsi) == 0;
}

// The wide path the dialog made of folder and field, with or without the
// default extension, when its best-fit form is the dialog's result.
BOOL ComposeChosenName(const wchar_t* pszFolder, const wchar_t* pszField, const char* pszResult,
                       wchar_t* pszName)
{
    wchar_t szJoined[2 * MAX_PATH + 1] = L"";
    if (!IsFullPath(pszField) && pszFolder[0]) {
        lstrcpynW(szJoined, pszFolder, MAX_PATH);
        lstrcatW(szJoined, L"\\");
    }
    lstrcatW(szJoined, pszField);
    const DWORD cch = GetFullPathNameW(szJoined, MAX_PATH - 4, pszName, NULL);
    if (cch == 0 || cch >= MAX_PATH - 4)
        return FALSE;
    if (BestFitEquals(pszName, pszResult))
        return TRUE;
    lstrcatW(pszName, L"." DEFAULT_EXTENSION);
    return BestFitEquals(pszName, pszResult);
}

}  // namespace

void ForgetChosenName()
{
    ZeroMemory(&s_chosen, sizeof s_chosen);
}

void NoteChosenName(HWND hwndDialog, const char* pszResult)
{
    ForgetChosenName();
    wchar_t szField[MAX_PATH];
    if (!pszResult || !ReadNameField(hwndDialog, szField))
        return;
    s_chosen.bNoted = TRUE;
    wchar_t szFolder[MAX_PATH] = L"";
    const BOOL bFolder = GetDialogFolder(hwndDialog, szFolder);
    char szScratch[MAX_PATH];
    s_chosen.bExact = ConvertNameExactly(szField, szScratch, MAX_PATH) &&
                      (IsFullPath(szField) ||
                       (bFolder && ConvertNameExactly(szFolder, szScratch, MAX_PATH)));
    s_chosen.bKnown = ComposeChosenName(szFolder, szField, pszResult, s_chosen.szWide);
}

BOOL TakeChosenName(const char* pszResult, char* pszName)
{
    if (s_chosen.bKnown)
        return GetExactAnsiPath(s_chosen.szWide, pszName, MAX_PATH);
    // Made only of exact parts, the dialog's own result is exact too. Without
    // a confirmation seen there is nothing better to go by.
    if (!s_chosen.bNoted || s_chosen.bExact) {
        lstrcpynA(pszName, pszResult, MAX_PATH);
        return TRUE;
    }
    return FALSE;
}
