// Replacing in the pane one hit at a time, each further search continues at the
// caret behind the inserted text (downwards) or that caret minus the search
// text's length (upwards). Downwards, everything behind the caret is therefore
// the original text, and the hits are plain, separate ranges of it. Upwards,
// everything before the last hit is the original text, but a hit may reach into
// the text just inserted. One that lies wholly inside it would be found again
// after every replacement, for ever, so the search passes over it and goes on
// before it: hits are taken only where they begin in the original text.
#include "find/replaceplan.h"

#include <cstring>

#include "find/scan.h"

namespace {

// Collects the result front to back (downwards) or back to front (upwards);
// counts only, when pOut is NULL.
struct Output {
    char* pOut;
    int64_t cch;   // bytes emitted so far
    int64_t back;  // upwards: where the next piece ends
};

void Append(Output* out, const char* p, int64_t cch)
{
    if (out->pOut && cch > 0)
        memcpy(out->pOut + out->cch, p, static_cast<size_t>(cch));
    out->cch += cch;
}

void Prepend(Output* out, const char* p, int64_t cch)
{
    out->back -= cch;
    if (out->pOut && cch > 0)
        memcpy(out->pOut + out->back, p, static_cast<size_t>(cch));
    out->cch += cch;
}

// The upward search's candidates that begin before a and reach into the
// replacement inserted at a: the text there is the original up to a and the
// replacement after it. Returns the highest hit there, or -1.
int64_t FindInSeam(const ReplaceRequest* r, int64_t a)
{
    const int64_t len = r->cchFind;
    int64_t lowest = a - len + 1;
    if (lowest < 0)
        lowest = 0;
    int64_t highest = a + r->cchReplace - len;  // the hit must end inside the replacement
    if (highest > a - 1)
        highest = a - 1;
    for (int64_t p = highest; p >= lowest; --p) {
        int64_t i = 0;
        for (; i < len; ++i) {
            const int64_t at = p + i;
            const char c = at < a ? r->pText[at] : r->pReplace[at - a];
            if (!MatchesAt(&c, r->pFind + i, 1, r->bMatchCase))
                break;
        }
        if (i == len)
            return p;
    }
    return -1;
}

void RunDownwards(const ReplaceRequest* r, int64_t q, ReplacePlan* pPlan, Output* out)
{
    pPlan->start = q;
    int64_t b = q;  // the original text from b on is still unchanged
    while (q >= 0) {
        Append(out, r->pText + b, q - b);
        Append(out, r->pReplace, r->cchReplace);
        b = q + r->cchFind;
        ++pPlan->nHits;
        q = ScanText(r->pText, r->cchText, r->pFind, r->cchFind, b, true, r->bMatchCase);
    }
    pPlan->end = b;
}

void RunUpwards(const ReplaceRequest* r, int64_t q, ReplacePlan* pPlan, Output* out)
{
    const int64_t len = r->cchFind;
    pPlan->end = q + len;
    int64_t a = q;  // the original text before a is still unchanged; the replacement follows it
    pPlan->nHits = 1;
    for (;;) {
        q = FindInSeam(r, a);
        if (q >= 0) {
            // The hit takes the front of the last replacement with it.
            Prepend(out, r->pReplace + (q + len - a), r->cchReplace - (q + len - a));
        } else {
            q = ScanText(r->pText, r->cchText, r->pFind, len, a - len, false, r->bMatchCase);
            if (q < 0)
                break;
            Prepend(out, r->pReplace, r->cchReplace);
            Prepend(out, r->pText + q + len, a - (q + len));
        }
        a = q;
        ++pPlan->nHits;
    }
    Prepend(out, r->pReplace, r->cchReplace);
    pPlan->start = a;
}

void RunReplaceAll(const ReplaceRequest* r, ReplacePlan* pPlan, Output* out)
{
    pPlan->nHits = 0;
    pPlan->start = pPlan->end = 0;
    // An empty search text would hit at every caret for ever; it finds nothing.
    if (r->cchFind <= 0)
        return;
    const int64_t q = ScanText(r->pText, r->cchText, r->pFind, r->cchFind, r->lo, r->bDown,
                               r->bMatchCase);
    if (q < 0)
        return;
    if (r->bDown)
        RunDownwards(r, q, pPlan, out);
    else
        RunUpwards(r, q, pPlan, out);
}

}  // namespace

void PlanReplaceAll(const ReplaceRequest* pRequest, ReplacePlan* pPlan)
{
    Output out = {nullptr, 0, 0};
    RunReplaceAll(pRequest, pPlan, &out);
    pPlan->cchResult = out.cch;
}

void WriteReplaceAll(const ReplaceRequest* pRequest, const ReplacePlan* pPlan, char* pOut)
{
    Output out = {pOut, 0, pPlan->cchResult};
    ReplacePlan again;
    RunReplaceAll(pRequest, &again, &out);
}
