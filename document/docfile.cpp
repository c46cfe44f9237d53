#include "document/docfile.h"

#include <cstring>

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
