// Names are separated by spaces only and may hold spaces themselves, so an
// unquoted string is tried prefix by prefix: the shortest one that names a
// readable file is the name.
#include "document/argsplit.h"

#include <cstring>

namespace {

bool SplitQuoted(char* pszArgs, ArgumentNameTest pfnTest, void* pContext, char** ppszRemainder)
{
    char* pszName = pszArgs + 1;
    char* pszClose = strchr(pszName, '"');
    if (pszClose) {
        *pszClose = '\0';
        *ppszRemainder = strchr(pszClose + 1, '"');
    }
    return pfnTest(pszName, pContext);
}

bool SplitUnquoted(char* pszArgs, ArgumentNameTest pfnTest, void* pContext, char** ppszRemainder)
{
    for (char* pszSpace = strchr(pszArgs, ' '); pszSpace; pszSpace = strchr(pszSpace + 1, ' ')) {
        *pszSpace = '\0';
        if (pfnTest(pszArgs, pContext)) {
            *ppszRemainder = pszSpace + 1;
            return true;
        }
        *pszSpace = ' ';
    }
    return pfnTest(pszArgs, pContext);
}

bool IsBlank(const char* psz)
{
    for (; *psz; ++psz) {
        if (*psz != ' ' && *psz != '\t')
            return false;
    }
    return true;
}

}  // namespace

bool SplitArguments(char* pszArgs, ArgumentNameTest pfnTest, void* pContext,
                    char** ppszRemainder)
{
    *ppszRemainder = nullptr;
    bool bFound = false;
    if (pszArgs[0] == '"')
        bFound = SplitQuoted(pszArgs, pfnTest, pContext, ppszRemainder);
    else if (pszArgs[0])
        bFound = SplitUnquoted(pszArgs, pfnTest, pContext, ppszRemainder);
    // Handing on nothing but blanks would only open an empty window.
    if (*ppszRemainder && IsBlank(*ppszRemainder))
        *ppszRemainder = nullptr;
    return bFound;
}
