// Reference versions of the search and of Replace All, written the slow,
// obvious way: every position in turn, and one replacement after the other.
// The program's fast versions must give exactly their results.
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
    bool bEnded = true;       // false: still finding hits after maxSteps replacements
    bool bGuardStop = false;  // stopped on a hit inside the text just inserted
};

// Replace All as one replacement per hit, each continuing search starting at the
// caret behind the inserted text (down) or there minus the search length (up).
// With bGuard it stops when an upward hit lies wholly inside the text just
// inserted (counted as the final beep); an empty search text finds nothing.
LoopOutcome ReplaceAllByLoop(std::string text, int64_t lo, int64_t hi, const std::string& find,
                             const std::string& replace, bool bDown, bool bMatchCase, bool bGuard,
                             int maxSteps = 100000);

// A short random string over a small alphabet that makes hits, case pairs,
// and the bytes next to the letter range (@ [ ` {) and high letters likely.
std::string RandomText(std::mt19937& rng, size_t maxLen, bool bWide = true);

#endif
