// The Replace All planner against replacing one hit after the other. The
// planner sizes its result in one pass and writes it, back to front upwards,
// in a second: any input on which the written result differs from the slow
// loop's, or on which either pass reads or writes outside its buffers, is a
// finding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "find/replaceplan.h"
#include "support/findref.h"

namespace {

// A copy in a block of exactly its size, so that a step one byte past either
// end is caught.
char* ExactCopy(const uint8_t* p, size_t cb)
{
    char* pCopy = static_cast<char*>(malloc(cb));
    if (cb)
        memcpy(pCopy, p, cb);
    return pCopy;
}

}  // namespace

// Input: a control byte (direction, case rule), two bytes for the selection's
// lower bound, one each for the lengths of the search and replacement texts (at
// most 79, as the dialog's boxes hold), then those two texts, then the text.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 5)
        return 0;
    const bool bDown = data[0] & 1;
    const bool bCase = data[0] & 2;
    size_t cchRest = size - 5;
    const size_t cchFind = data[3] % 80 < cchRest ? data[3] % 80 : cchRest;
    cchRest -= cchFind;
    const size_t cchReplace = data[4] % 80 < cchRest ? data[4] % 80 : cchRest;
    const size_t cchText = cchRest - cchReplace;
    const uint8_t* pFindIn = data + 5;
    const int64_t lo = (data[1] | (data[2] << 8)) % static_cast<int64_t>(cchText + 1);

    char* pFind = ExactCopy(pFindIn, cchFind);
    char* pReplace = ExactCopy(pFindIn + cchFind, cchReplace);
    char* pText = ExactCopy(pFindIn + cchFind + cchReplace, cchText);
    const ReplaceRequest request = {pText, static_cast<int64_t>(cchText), pFind,
                                    static_cast<int64_t>(cchFind), pReplace,
                                    static_cast<int64_t>(cchReplace), lo, bDown, bCase};
    ReplacePlan plan;
    PlanReplaceAll(&request, &plan);
    if (plan.nHits < 0 || plan.cchResult < 0 || plan.start < 0 || plan.start > plan.end ||
        plan.end > static_cast<int64_t>(cchText))
        abort();
    std::string got(pText, cchText);
    if (plan.nHits > 0) {
        char* pOut = static_cast<char*>(malloc(static_cast<size_t>(plan.cchResult)));
        WriteReplaceAll(&request, &plan, pOut);
        got.replace(static_cast<size_t>(plan.start), static_cast<size_t>(plan.end - plan.start),
                    pOut, static_cast<size_t>(plan.cchResult));
        free(pOut);
    }

    // A run of the slow loop that ends takes each hit at a new position of the
    // text, so one that has not ended after that many replacements never will.
    const LoopOutcome want = ReplaceAllByLoop(std::string(pText, cchText), lo,
                                              std::string(pFind, cchFind),
                                              std::string(pReplace, cchReplace), bDown, bCase,
                                              true, static_cast<int>(cchText) + 1);
    if (!want.bEnded || got != want.text || plan.nHits != want.nReplaced)
        abort();
    free(pText);
    free(pReplace);
    free(pFind);
    return 0;
}
