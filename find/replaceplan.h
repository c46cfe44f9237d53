// Replace All worked out in memory: which part of the text changes and into
// what, with the same hits, in the same order and with the same end as replacing
// one hit after the other in the pane would give, except that an upward search
// passes over a hit lying wholly inside the text it has just inserted (which
// would otherwise be replaced again for ever). Plain memory, no windows.
#ifndef TEKSTOR_FIND_REPLACEPLAN_H
#define TEKSTOR_FIND_REPLACEPLAN_H

#include <cstdint>

struct ReplaceRequest {
    const char* pText;
    int64_t cchText;
    const char* pFind;
    int64_t cchFind;
    const char* pReplace;
    int64_t cchReplace;
    int64_t lo;  // lower bound of the selection: the first search starts there
    bool bDown;
    bool bMatchCase;
};

struct ReplacePlan {
    int64_t nHits;      // replacements; 0 means nothing is found and nothing changes
    int64_t start;      // the text from start to end (before any change) ...
    int64_t end;
    int64_t cchResult;  // ... is replaced by this many bytes
};

// First pass: counts the hits and sizes the result.
void PlanReplaceAll(const ReplaceRequest* pRequest, ReplacePlan* pPlan);

// Second pass: writes the plan's cchResult bytes to pOut.
void WriteReplaceAll(const ReplaceRequest* pRequest, const ReplacePlan* pPlan, char* pOut);

#endif
