// Reference versions of the search and of Replace All, written the slow,
// obvious way: every position in turn, and one replacement after the other.
// The program's fast versions must give exactly their results. Plain C++ with
// no windows, so the unit tests and the native fuzz targets share them.
#ifndef TEKSTOR_TESTS_FINDREF_H
#define TEKSTOR_TESTS_FINDREF_H

#include <cstdint>
#include <random>
#include <string>

// Tests p = p0, p0+1, ... (down) or p0, p0-1, ... 0 (up); -1 when none hits.
int64_t PlainScan(const std::string& text, const std::string& find, int64_t p0, bool bDown,
                  bool bMatchCase);

struct LoopOutcome {
    std::string text;
    int nBeeps = 0;
    int nReplaced = 0;
    bool bEnded = true;        // false: still finding hits after maxSteps replacements
    bool bPassedOver = false;  // an upward search passed over a hit (bMended only)
};

// Replace All as one replacement per hit, the first search starting at lo and
// each continuing one at the caret behind the inserted text (down) or there
// minus the search length (up),
// until a search finds nothing (one beep) or maxSteps replacements are made.
// bMended adds the two rules that make every run end: an empty search text
// finds nothing, and an upward search that hits wholly inside the text just
// inserted passes over that hit and searches on from the position before it.
LoopOutcome ReplaceAllByLoop(std::string text, int64_t lo, const std::string& find,
                             const std::string& replace, bool bDown, bool bMatchCase, bool bMended,
                             int maxSteps = 100000);

// A short random string over a small alphabet that makes hits, case pairs,
// and the bytes next to the letter range (@ [ ` {) and high letters likely.
std::string RandomText(std::mt19937& rng, size_t maxLen, bool bWide = true);

#endif
