// The byte search at the heart of Find and Replace, on plain memory. It knows
// nothing of windows, so it can be built and exercised on any platform.
#ifndef TEKSTOR_FIND_SCAN_H
#define TEKSTOR_FIND_SCAN_H

#include <cstdint>

// Looks for the cchFind bytes at pFind in the cchText bytes at pText and
// returns the position of the hit, or -1 when there is none.
// Down: the lowest hit at or after p0. Up: the highest hit at or before p0
// (a p0 beyond the last possible start counts as that start, a p0 below 0
// finds nothing). Without bMatchCase the letters A-Z and a-z match each other;
// no other byte is folded. An empty search text hits at the first candidate.
int64_t ScanText(const char* pText, int64_t cchText, const char* pFind, int64_t cchFind,
                 int64_t p0, bool bDown, bool bMatchCase);

// True when the cchFind bytes at pText equal those at pFind under the case rule.
bool MatchesAt(const char* pText, const char* pFind, int64_t cchFind, bool bMatchCase);

#endif
