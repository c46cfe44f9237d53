#include "document/ansipath.h"

#include <cwchar>

BOOL ConvertNameExactly(const wchar_t* pszWide, char* pszAnsi, int cbAnsi)
{
    // Where the code page is UTF-8 the platform refuses the default-character
    // flag; the way back below still catches what does not survive.
    const bool bUtf8 = GetACP() == CP_UTF8;
    BOOL bUsedDefault = FALSE;
    if (!WideCharToMultiByte(CP_ACP, bUtf8 ? 0 : WC_NO_BEST_FIT_CHARS, pszWide, -1, pszAnsi, cbAnsi,
                             NULL, bUtf8 ? NULL : &bUsedDefault) ||
        bUsedDefault)
        return FALSE;
    wchar_t szBack[MAX_PATH];
    return MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, pszAnsi, -1, szBack, MAX_PATH) &&
           wcscmp(szBack, pszWide) == 0;
}

namespace {

struct FileIdentity {
    DWORD dwVolume;
    DWORD dwIndexHigh;
    DWORD dwIndexLow;
};

// Asking for no access at all opens a file whatever another program holds it
// with; backup semantics open a folder too.
BOOL IdentifyOpenFile(HANDLE hFile, FileIdentity* id)
{
    if (hFile == INVALID_HANDLE_VALUE)
        return FALSE;
    BY_HANDLE_FILE_INFORMATION info;
    const BOOL bKnown = GetFileInformationByHandle(hFile, &info);
    CloseHandle(hFile);
    if (!bKnown)
        return FALSE;
    id->dwVolume = info.dwVolumeSerialNumber;
    id->dwIndexHigh = info.nFileIndexHigh;
    id->dwIndexLow = info.nFileIndexLow;
    return TRUE;
}

constexpr DWORD kAnySharing = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

BOOL IdentifyFile(const wchar_t* pszPath, FileIdentity* id)
{
    return IdentifyOpenFile(CreateFileW(pszPath, 0, kAnySharing, NULL, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS, NULL), id);
}

// Through the ANSI call, as the program itself will open the name.
BOOL IdentifyFile(const char* pszPath, FileIdentity* id)
{
    return IdentifyOpenFile(CreateFileA(pszPath, 0, kAnySharing, NULL, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS, NULL), id);
}

BOOL IsSameFile(const FileIdentity& a, const FileIdentity& b)
{
    return a.dwVolume == b.dwVolume && a.dwIndexHigh == b.dwIndexHigh &&
           a.dwIndexLow == b.dwIndexLow;
}

// A name that opens no file yet, in a folder that exists: its own long form
// when exact, else the folder's kept form and the leaf, which must be exact.
BOOL GetNewFileName(const wchar_t* pszFull, char* pszStored, wchar_t* pszLong)
{
    if (ConvertNameExactly(pszFull, pszStored, MAX_PATH)) {
        lstrcpynW(pszLong, pszFull, MAX_PATH);
        return TRUE;
    }
    const wchar_t* pszLeaf = wcsrchr(pszFull, L'\\');
    if (!pszLeaf || !pszLeaf[1])
        return FALSE;
    ++pszLeaf;
    wchar_t szFolder[MAX_PATH];
    lstrcpynW(szFolder, pszFull, static_cast<int>(pszLeaf - pszFull) + 1);
    char szLeaf[MAX_PATH];
    char szFolderStored[MAX_PATH];
    wchar_t szFolderLong[MAX_PATH];
    if (!ConvertNameExactly(pszLeaf, szLeaf, MAX_PATH) ||
        !GetStoredName(szFolder, TRUE, FALSE, szFolderStored, szFolderLong))
        return FALSE;
    // The folder's forms end in a backslash only at a root.
    int cchFolder = lstrlenA(szFolderStored);
    int cchFolderLong = lstrlenW(szFolderLong);
    if (cchFolder == 0 || cchFolderLong == 0)
        return FALSE;
    if (szFolderStored[cchFolder - 1] != '\\')
        szFolderStored[cchFolder++] = '\\';
    if (szFolderLong[cchFolderLong - 1] != L'\\')
        szFolderLong[cchFolderLong++] = L'\\';
    const int cchLeaf = lstrlenW(pszLeaf);
    if (cchFolder + lstrlenA(szLeaf) >= MAX_PATH || cchFolderLong + cchLeaf >= MAX_PATH)
        return FALSE;
    szFolderStored[cchFolder] = '\0';
    szFolderLong[cchFolderLong] = L'\0';
    lstrcpynA(pszStored, szFolderStored, MAX_PATH);
    lstrcpynA(pszStored + cchFolder, szLeaf, MAX_PATH - cchFolder);
    lstrcpynW(pszLong, szFolderLong, MAX_PATH);
    lstrcpynW(pszLong + cchFolderLong, pszLeaf, MAX_PATH - cchFolderLong);
    return TRUE;
}

}  // namespace

BOOL GetStoredName(const wchar_t* pszGiven, BOOL bPreferShort, BOOL bMayBeNew, char* pszStored,
                   wchar_t* pszLong)
{
    wchar_t szFull[MAX_PATH];
    const DWORD cchFull = GetFullPathNameW(pszGiven, MAX_PATH, szFull, NULL);
    if (cchFull == 0 || cchFull >= MAX_PATH)
        return FALSE;
    FileIdentity given;
    if (!IdentifyFile(szFull, &given))
        return bMayBeNew && GetLastError() == ERROR_FILE_NOT_FOUND &&
               GetNewFileName(szFull, pszStored, pszLong);

    wchar_t szLong[MAX_PATH];
    const DWORD cchLong = GetLongPathNameW(szFull, szLong, MAX_PATH);
    if (cchLong == 0 || cchLong >= MAX_PATH)
        lstrcpynW(szLong, szFull, MAX_PATH);
    wchar_t szShort[MAX_PATH];
    const DWORD cchShort = GetShortPathNameW(szFull, szShort, MAX_PATH);
    if (cchShort == 0 || cchShort >= MAX_PATH)
        szShort[0] = L'\0';
    const wchar_t* const forms[] = {bPreferShort ? szShort : szLong, bPreferShort ? szLong : szShort};
    for (const wchar_t* pszForm : forms) {
        FileIdentity kept;
        if (pszForm[0] && ConvertNameExactly(pszForm, pszStored, MAX_PATH) &&
            IdentifyFile(pszStored, &kept) && IsSameFile(kept, given)) {
            lstrcpynW(pszLong, szLong, MAX_PATH);
            return TRUE;
        }
    }
    return FALSE;
}

static BOOL WidenName(const char* pszAnsi, wchar_t* pszWide)
{
    return MultiByteToWideChar(CP_ACP, 0, pszAnsi, -1, pszWide, MAX_PATH) != 0;
}

BOOL GetStoredNameA(const char* pszGiven, BOOL bPreferShort, BOOL bMayBeNew, char* pszStored,
                    wchar_t* pszLong)
{
    wchar_t szGiven[MAX_PATH];
    return WidenName(pszGiven, szGiven) &&
           GetStoredName(szGiven, bPreferShort, bMayBeNew, pszStored, pszLong);
}

NameMatch MatchNames(const char* pszStored, const wchar_t* pszLong)
{
    FileIdentity stored, named;
    const BOOL bStored = IdentifyFile(pszStored, &stored);
    const BOOL bNamed = IdentifyFile(pszLong, &named);
    if (!bStored && !bNamed)
        return NAMES_NO_FILE;
    return bStored && bNamed && IsSameFile(stored, named) ? NAMES_SAME_FILE : NAMES_DIFFER;
}

DWORD GetExactLongPath(const char* pszPath, char* pszLong, DWORD cchLong)
{
    wchar_t szPath[MAX_PATH];
    wchar_t szLong[MAX_PATH];
    if (!WidenName(pszPath, szPath))
        return 0;
    const DWORD cch = GetLongPathNameW(szPath, szLong, MAX_PATH);
    if (cch == 0 || cch >= MAX_PATH ||
        !ConvertNameExactly(szLong, pszLong, static_cast<int>(cchLong)))
        return 0;
    return static_cast<DWORD>(lstrlenA(pszLong));
}
