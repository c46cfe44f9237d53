#include "find/search.h"

#include "app/state.h"
#include "edit/textbuffer.h"
#include "find/replaceplan.h"
#include "find/scan.h"

void BeepNotFound()
{
    MessageBeep(0);
}

// The dialogs always leave a NUL, but the length never runs past the buffer.
static int BoundedLength(const char* psz)
{
    int cch = 0;
    while (cch < FIND_TEXT_SIZE && psz[cch])
        ++cch;
    return cch;
}

static int FindTextLength()
{
    return BoundedLength(g_szFindWhat);
}

static void GetPaneSelection(int* pLo, int* pHi)
{
    DWORD dwStart = 0, dwEnd = 0;
    SendMessageA(g_hwndEdit, EM_GETSEL, reinterpret_cast<WPARAM>(&dwStart),
                 reinterpret_cast<LPARAM>(&dwEnd));
    const int a = static_cast<int>(dwStart), b = static_cast<int>(dwEnd);
    *pLo = a < b ? a : b;
    *pHi = a < b ? b : a;
}

BOOL SearchText(BOOL bFromSelectionEnd)
{
    TextBuffer text = {};
    if (!GetEditText(g_hwndEdit, &text))
        return FALSE;
    int lo, hi;
    GetPaneSelection(&lo, &hi);
    const int len = FindTextLength();
    const bool bDown = (g_dwSearchFlags & FR_DOWN) != 0;
    int64_t p0 = lo;
    if (bFromSelectionEnd)
        p0 = bDown ? hi : static_cast<int64_t>(lo) - len;
    const int64_t hit = ScanText(text.pszText, text.cchText, g_szFindWhat, len, p0, bDown,
                                 (g_dwSearchFlags & FR_MATCHCASE) != 0);
    FreeEditText(&text);
    if (hit < 0) {
        BeepNotFound();
        return FALSE;
    }
    SendMessageA(g_hwndEdit, EM_SETSEL, static_cast<WPARAM>(hit), static_cast<LPARAM>(hit + len));
    SendMessageA(g_hwndEdit, EM_SCROLLCARET, 0, 0);
    return TRUE;
}

// Every replacement through the control costs it a re-layout of the whole
// text, so the result is worked out in memory and handed over as one change,
// from the first to the last replaced hit. That also makes one Undo take the
// whole Replace All back.
static BOOL ApplyReplacePlan(const ReplaceRequest* pRequest, const ReplacePlan* pPlan)
{
    const int64_t cchAfter = pRequest->cchText - (pPlan->end - pPlan->start) + pPlan->cchResult;
    if (pPlan->cchResult > kMaxText || cchAfter > kMaxText)
        return FALSE;
    char* pszResult = static_cast<char*>(GlobalAlloc(GPTR, static_cast<SIZE_T>(pPlan->cchResult) + 1));
    if (!pszResult)
        return FALSE;
    WriteReplaceAll(pRequest, pPlan, pszResult);
    SendMessageA(g_hwndEdit, EM_SETSEL, static_cast<WPARAM>(pPlan->start),
                 static_cast<LPARAM>(pPlan->end));
    SendMessageA(g_hwndEdit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(pszResult));
    GlobalFree(pszResult);
    return TRUE;
}

BOOL ReplaceAllInPane()
{
    TextBuffer text = {};
    if (!GetEditText(g_hwndEdit, &text))
        return FALSE;
    int lo, hi;
    GetPaneSelection(&lo, &hi);
    ReplaceRequest request = {};
    request.pText = text.pszText;
    request.cchText = text.cchText;
    request.pFind = g_szFindWhat;
    request.cchFind = FindTextLength();
    request.pReplace = g_szReplaceWith;
    request.cchReplace = BoundedLength(g_szReplaceWith);
    request.lo = lo;
    request.bDown = (g_dwSearchFlags & FR_DOWN) != 0;
    request.bMatchCase = (g_dwSearchFlags & FR_MATCHCASE) != 0;
    ReplacePlan plan;
    PlanReplaceAll(&request, &plan);
    BOOL bDone = FALSE;
    if (plan.nHits == 0)
        BeepNotFound();
    else
        bDone = ApplyReplacePlan(&request, &plan);
    FreeEditText(&text);
    if (!bDone)
        return FALSE;
    SendMessageA(g_hwndEdit, EM_SETSEL, 0, 0);
    SendMessageA(g_hwndEdit, EM_SCROLLCARET, 0, 0);
    // The search after the last replacement finds nothing, and says so.
    BeepNotFound();
    return TRUE;
}
