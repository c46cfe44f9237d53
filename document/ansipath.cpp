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

BOOL GetExactAnsiPath(const wchar_t* pszWide, char* pszAnsi, int cbAnsi)
{
    // Resolved here, in the wide form: the ANSI current directory may itself
    // be a look-alike of the real one.
    wchar_t szFull[MAX_PATH];
    const DWORD cchFull = GetFullPathNameW(pszWide, MAX_PATH, szFull, NULL);
    if (cchFull == 0 || cchFull >= MAX_PATH)
        return FALSE;
    if (ConvertNameExactly(szFull, pszAnsi, cbAnsi))
        return TRUE;
    wchar_t szShort[MAX_PATH];
    const DWORD cchShort = GetShortPathNameW(szFull, szShort, MAX_PATH);
    return cchShort != 0 && cchShort < MAX_PATH && ConvertNameExactly(szShort, pszAnsi, cbAnsi);
}

static BOOL WidenName(const char* pszAnsi, wchar_t* pszWide)
{
    return MultiByteToWideChar(CP_ACP, 0, pszAnsi, -1, pszWide, MAX_PATH) != 0;
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
