// Names are separated by spaces only and may hold spaces themselves, so an
// unquoted string is tried prefix by prefix: the shortest one that names a
// readable file is the name.
#include "document/argsplit.h"

#include <cwchar>

namespace {

bool SplitQuoted(wchar_t* pszArgs, ArgumentNameTest pfnTest, void* pContext,
                 wchar_t** ppszRemainder)
{
    wchar_t* pszName = pszArgs + 1;
    wchar_t* pszClose = wcschr(pszName, L'"');
    if (pszClose) {
        *pszClose = L'\0';
        *ppszRemainder = wcschr(pszClose + 1, L'"');
    }
    return pfnTest(pszName, pContext);
}

bool SplitUnquoted(wchar_t* pszArgs, ArgumentNameTest pfnTest, void* pContext,
                   wchar_t** ppszRemainder)
{
    for (wchar_t* pszSpace = wcschr(pszArgs, L' '); pszSpace;
         pszSpace = wcschr(pszSpace + 1, L' ')) {
        *pszSpace = L'\0';
        if (pfnTest(pszArgs, pContext)) {
            *ppszRemainder = pszSpace + 1;
            return true;
        }
        *pszSpace = L' ';
    }
    return pfnTest(pszArgs, pContext);
}

bool IsBlank(const wchar_t* psz)
{
    for (; *psz; ++psz) {
        if (*psz != L' ' && *psz != L'\t')
            return false;
    }
    return true;
}

}  // namespace

bool SplitArguments(wchar_t* pszArgs, ArgumentNameTest pfnTest, void* pContext,
                    wchar_t** ppszRemainder)
{
    *ppszRemainder = nullptr;
    bool bFound = false;
    if (pszArgs[0] == L'"')
        bFound = SplitQuoted(pszArgs, pfnTest, pContext, ppszRemainder);
    else if (pszArgs[0])
        bFound = SplitUnquoted(pszArgs, pfnTest, pContext, ppszRemainder);
    // Handing on nothing but blanks would only open an empty window.
    if (*ppszRemainder && IsBlank(*ppszRemainder))
        *ppszRemainder = nullptr;
    return bFound;
}
