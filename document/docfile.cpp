#include "document/docfile.h"

#include <shlobj.h>

#include <cstring>

#include "app/syslib.h"
#include "res/resource.h"

// The record and class of Windows 8's 128-bit file ids, which the headers
// show only to programs built for Windows 8 and later; older systems refuse
// the class.
struct FileIdInfo128 {
    ULONGLONG VolumeSerialNumber;
    BYTE FileId[16];
};
static_assert(sizeof(FileIdInfo128) == 24, "FILE_ID_INFO is 24 bytes");
constexpr FILE_INFO_BY_HANDLE_CLASS FILE_ID_INFO_CLASS = static_cast<FILE_INFO_BY_HANDLE_CLASS>(18);

BOOL ReadFileIdentity(HANDLE hFile, FileIdentity* identity)
{
    ZeroMemory(identity, sizeof *identity);
    FileIdInfo128 idInfo;
    if (GetFileInformationByHandleEx(hFile, FILE_ID_INFO_CLASS, &idInfo, sizeof idInfo)) {
        identity->ullVolume = idInfo.VolumeSerialNumber;
        memcpy(identity->id, &idInfo.FileId, sizeof identity->id);
        return identity->bKnown = TRUE;
    }
    // Before Windows 8 there is only the 64-bit index.
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(hFile, &info))
        return FALSE;
    identity->ullVolume = info.dwVolumeSerialNumber;
    const ULONGLONG ullIndex = (static_cast<ULONGLONG>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    memcpy(identity->id, &ullIndex, sizeof ullIndex);
    return identity->bKnown = TRUE;
}

BOOL IsSameFile(const FileIdentity* a, const FileIdentity* b)
{
    return a->bKnown && b->bKnown && a->ullVolume == b->ullVolume &&
           memcmp(a->id, b->id, sizeof a->id) == 0;
}

HANDLE OpenPath(const wchar_t* pszPath, DWORD dwAccess, DWORD dwShare, DWORD dwDisposition,
                DWORD dwFlags)
{
    const int cch = lstrlenW(pszPath);
    if (cch < MAX_PATH - 12 || (pszPath[0] == L'\\' && pszPath[1] == L'\\' && pszPath[2] == L'?'))
        return CreateFileW(pszPath, dwAccess, dwShare, NULL, dwDisposition, dwFlags, NULL);
    // The long form takes the path as it stands: it must be full and plain
    // (GetFullPathNameW gives it so); \\server\share becomes \\?\UNC\server\share.
    const bool bUnc = pszPath[0] == L'\\' && pszPath[1] == L'\\';
    const wchar_t* pszPrefix = bUnc ? L"\\\\?\\UNC" : L"\\\\?\\";
    const wchar_t* pszRest = bUnc ? pszPath + 1 : pszPath;
    const int cchPrefix = lstrlenW(pszPrefix);
    const int cchLong = cchPrefix + lstrlenW(pszRest) + 1;
    wchar_t* pszLong = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, cchLong * sizeof(wchar_t)));
    if (!pszLong) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return INVALID_HANDLE_VALUE;
    }
    lstrcpyW(pszLong, pszPrefix);
    lstrcpyW(pszLong + cchPrefix, pszRest);
    HANDLE hFile = CreateFileW(pszLong, dwAccess, dwShare, NULL, dwDisposition, dwFlags, NULL);
    const DWORD dwError = GetLastError();
    HeapFree(GetProcessHeap(), 0, pszLong);
    SetLastError(dwError);
    return hFile;
}

HANDLE OpenDocumentToLoad(const wchar_t* pszPath)
{
    return OpenPath(pszPath, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH);
}

// A shell link begins with its header's size and the link class's id.
static BOOL IsShortcut(HANDLE hFile)
{
    static const BYTE kHeader[20] = {0x4C, 0, 0, 0, 0x01, 0x14, 0x02, 0, 0, 0,
                                     0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
    BYTE head[sizeof kHeader];
    DWORD dwRead = 0;
    return ReadFile(hFile, head, sizeof head, &dwRead, NULL) && dwRead == sizeof head &&
           memcmp(head, kHeader, sizeof head) == 0;
}

// The target a shortcut names, read in the wide form from its item list.
static BOOL ReadShortcutTarget(const wchar_t* pszLink, wchar_t* pszTarget)
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

static UINT ReasonForError(DWORD dwError)
{
    switch (dwError) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
        return IDS_NOT_FOUND;
    case ERROR_ACCESS_DENIED:
        return IDS_NO_ACCESS;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return IDS_IN_USE;
    default:
        return IDS_OPEN_FAILED;
    }
}

// What the name opens, asked with no access at all (which any program's
// sharing allows) and with backup semantics (which open a folder too).
static UINT CheckKind(const wchar_t* pszPath)
{
    HANDLE hAny = OpenPath(pszPath, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
    if (hAny == INVALID_HANDLE_VALUE)
        return ReasonForError(GetLastError());
    BY_HANDLE_FILE_INFORMATION info;
    UINT uReason = 0;
    if (GetFileType(hAny) != FILE_TYPE_DISK)
        uReason = IDS_DEVICE;
    else if (GetFileInformationByHandle(hAny, &info) &&
             (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        uReason = IDS_FOLDER;
    CloseHandle(hAny);
    return uReason;
}

static UINT FindFile(const wchar_t* pszGiven, wchar_t* pszExact, BOOL bFollowShortcut)
{
    static wchar_t s_szFull[DOCUMENT_PATH_SIZE];
    const DWORD cchFull = GetFullPathNameW(pszGiven, DOCUMENT_PATH_SIZE, s_szFull, NULL);
    if (cchFull == 0 || cchFull >= DOCUMENT_PATH_SIZE)
        return IDS_NOT_FOUND;
    // The long form: a short name stands for it, and only the long one is
    // the file's own (a made-up short name can stand for another file later).
    // Wine's GetLongPathNameW overruns its own buffers on a path longer than
    // MAX_PATH; such a path is taken as it is.
    const DWORD cchLong = cchFull < MAX_PATH ? GetLongPathNameW(s_szFull, pszExact, DOCUMENT_PATH_SIZE) : 0;
    if (cchLong == 0 || cchLong >= DOCUMENT_PATH_SIZE)
        lstrcpynW(pszExact, s_szFull, DOCUMENT_PATH_SIZE);
    UINT uReason = CheckKind(pszExact);
    if (uReason)
        return uReason;
    HANDLE hFile = OpenDocumentToLoad(pszExact);
    if (hFile == INVALID_HANDLE_VALUE)
        return ReasonForError(GetLastError());
    const BOOL bShortcut = IsShortcut(hFile);
    CloseHandle(hFile);
    if (!bShortcut)
        return 0;
    // A shortcut is never the text: it stands for its target, as in the
    // shell, and one that leads to another shortcut leads nowhere.
    wchar_t szTarget[MAX_PATH];
    if (!bFollowShortcut || !ReadShortcutTarget(pszExact, szTarget))
        return IDS_SHORTCUT;
    uReason = FindFile(szTarget, pszExact, FALSE);
    return uReason == IDS_SHORTCUT ? IDS_SHORTCUT : uReason;
}

UINT FindDocumentFile(const wchar_t* pszGiven, wchar_t* pszExact)
{
    return FindFile(pszGiven, pszExact, TRUE);
}

