// The byte scan and the in-memory Replace All, against the slow reference
// versions, on worked cases and many generated ones.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "find/replaceplan.h"
#include "find/scan.h"
#include "support/findref.h"

namespace {

int64_t Scan(const std::string& text, const std::string& find, int64_t p0, bool bDown, bool bMatchCase)
{
    return ScanText(text.data(), static_cast<int64_t>(text.size()), find.data(),
                    static_cast<int64_t>(find.size()), p0, bDown, bMatchCase);
}

struct PlanOutcome {
    std::string text;
    ReplacePlan plan;
};

PlanOutcome PlanAndApply(const std::string& text, int64_t lo, const std::string& find,
                         const std::string& replace, bool bDown, bool bMatchCase)
{
    ReplaceRequest r = {text.data(), static_cast<int64_t>(text.size()), find.data(),
                        static_cast<int64_t>(find.size()), replace.data(),
                        static_cast<int64_t>(replace.size()), lo, bDown, bMatchCase};
    PlanOutcome out;
    PlanReplaceAll(&r, &out.plan);
    out.text = text;
    if (out.plan.nHits > 0) {
        std::string middle(static_cast<size_t>(out.plan.cchResult), '#');
        WriteReplaceAll(&r, &out.plan, middle.empty() ? nullptr : &middle[0]);
        out.text.replace(static_cast<size_t>(out.plan.start),
                         static_cast<size_t>(out.plan.end - out.plan.start), middle);
    }
    return out;
}

}  // namespace

TEST(ScanTextTest, FoldsOnlyTheAsciiLettersWhenCaseIsIgnored)
{
    EXPECT_EQ(Scan("die strasse", "STRASSE", 0, true, false), 4);
    EXPECT_EQ(Scan("die strasse", "STRASSE", 0, true, true), -1);
    EXPECT_EQ(Scan("kein \xE4rger", "\xC4rger", 0, true, false), -1);  // Ärger / ärger
    EXPECT_EQ(Scan("kein \xC4rger", "\xC4RGER", 0, true, false), 5);
    EXPECT_EQ(Scan("`", "@", 0, true, false), -1);  // 0x60 is not the small 0x40
    EXPECT_EQ(Scan("{", "[", 0, true, false), -1);
    EXPECT_EQ(Scan("[", "{", 0, true, false), -1);
    EXPECT_EQ(Scan("@Za", "@zA", 0, true, false), 0);
}

TEST(ScanTextTest, ComparesAllBytesEvenPastAZero)
{
    const std::string text("ab\0cab\0d", 8);
    EXPECT_EQ(Scan(text, std::string("b\0d", 3), 0, true, true), 5);
    EXPECT_EQ(Scan(text, std::string("b\0d", 3), 7, false, true), 5);
    EXPECT_EQ(Scan(text, std::string("B\0C", 3), 0, true, false), 1);
}

TEST(ScanTextTest, BoundsOfTheCandidateRange)
{
    EXPECT_EQ(Scan("abc", "abcd", 0, true, false), -1);  // longer than the text
    EXPECT_EQ(Scan("", "a", 0, true, false), -1);
    EXPECT_EQ(Scan("", "a", 0, false, false), -1);
    EXPECT_EQ(Scan("abcabc", "abc", -3, false, false), -1);  // below the start
    EXPECT_EQ(Scan("abcabc", "abc", 99, false, false), 3);   // above the last start
    EXPECT_EQ(Scan("abcabc", "abc", 4, true, false), -1);
    EXPECT_EQ(Scan("abcabc", "", 4, true, false), 4);   // empty: the first candidate
    EXPECT_EQ(Scan("abcabc", "", 2, false, false), 2);
    EXPECT_EQ(Scan("abcabc", "", -1, false, false), -1);
}

// Word-sized steps, both ends, anchors anywhere in the search text: every
// result must be the one testing each position in turn gives.
TEST(ScanTextTest, AgreesWithThePlainScanOnGeneratedCases)
{
    std::mt19937 rng(1234);
    int nChecked = 0, nHits = 0;
    for (int round = 0; round < 1500; ++round) {
        const bool bWide = round % 3 != 0;
        const std::string text = RandomText(rng, round % 5 == 0 ? 200 : 40, bWide);
        std::string find;
        if (!text.empty() && round % 2 == 0) {
            std::uniform_int_distribution<size_t> at(0, text.size() - 1);
            const size_t start = at(rng);
            find = text.substr(start, std::uniform_int_distribution<size_t>(1, 6)(rng));
        } else {
            find = RandomText(rng, 4, bWide);
        }
        const int64_t n = static_cast<int64_t>(text.size());
        for (int64_t p0 = -8; p0 <= n + 2; ++p0) {
            for (int mode = 0; mode < 4; ++mode) {
                const bool bDown = mode & 1, bMatchCase = mode & 2;
                if (bDown && p0 < 0)
                    continue;  // a downward search always starts at a selection bound
                const int64_t expected = PlainScan(text, find, p0, bDown, bMatchCase);
                ASSERT_EQ(Scan(text, find, p0, bDown, bMatchCase), expected)
                    << "text '" << text << "' find '" << find << "' p0 " << p0 << " mode " << mode;
                ++nChecked;
                nHits += expected >= 0;
            }
        }
    }
    EXPECT_GT(nHits, nChecked / 4);  // the cases must find things, not only miss
}

TEST(ReplacePlanTest, WorkedCases)
{
    PlanOutcome out = PlanAndApply("a-a-a", 0, "a", "bb", true, false);
    EXPECT_EQ(out.text, "bb-bb-bb");
    EXPECT_EQ(out.plan.nHits, 3);
    EXPECT_EQ(PlanAndApply("a-a-a", 2, "a", "bb", true, false).text, "a-bb-bb");
    EXPECT_EQ(PlanAndApply("a-a", 0, "a", "aa", true, false).text, "aa-aa");
    out = PlanAndApply("a-a-a", 0, "x", "bb", true, false);
    EXPECT_EQ(out.plan.nHits, 0);
    EXPECT_EQ(out.text, "a-a-a");
    // Upwards from the end, a hit that reaches into the replacement just made
    // is taken: "aab" -> "ab" -> "b".
    out = PlanAndApply("aab", 3, "ab", "b", false, true);
    EXPECT_EQ(out.text, "b");
    EXPECT_EQ(out.plan.nHits, 2);
}

TEST(ReplacePlanTest, EndsWhereReplacingOneHitAfterTheOtherNeverWould)
{
    // Upwards, a replacement containing the search text is found again at once;
    // the run passes over it and replaces the hits before it.
    PlanOutcome out = PlanAndApply("a-a", 3, "a", "aa", false, true);
    EXPECT_EQ(out.text, "aa-aa");
    EXPECT_FALSE(ReplaceAllByLoop("a-a", 3, "a", "aa", false, true, false, 500).bEnded);
    // The same with the case ignored and the word in other capitals.
    out = PlanAndApply("wort Wort wort", 14, "wort", "WORT", false, false);
    EXPECT_EQ(out.text, "WORT WORT WORT");
    EXPECT_EQ(out.plan.nHits, 3);
    // An empty search text would hit at every caret: it finds nothing.
    for (bool bDown : {true, false}) {
        out = PlanAndApply("abc", 1, "", "x", bDown, false);
        EXPECT_EQ(out.plan.nHits, 0);
        EXPECT_EQ(out.text, "abc");
    }
}

// The in-memory plan against replacing one hit after the other, on many cases:
// both directions and case rules, replacements shorter, equal, longer, empty,
// or containing the search text, and starts inside hits. Where the plain loop
// ends, the plan gives its result; where it never would, the plan's passing
// over hits inside the text just inserted is what lets it end.
TEST(ReplacePlanTest, GivesTheResultOfReplacingOneHitAfterTheOther)
{
    std::mt19937 rng(77);
    int nNeverEnding = 0, nReplacedCases = 0;
    for (int round = 0; round < 6000; ++round) {
        const std::string text = RandomText(rng, 24, round % 2 == 0);
        std::string find = RandomText(rng, 3, round % 2 == 0);
        if (find.empty())
            find = "a";
        std::string replace;
        switch (round % 5) {
        case 0: replace = ""; break;
        case 1: replace = RandomText(rng, 2, false); break;
        case 2: replace = find; break;
        case 3: replace = "x" + find + RandomText(rng, 2, false); break;
        default: replace = RandomText(rng, 6, true); break;
        }
        const bool bDown = round & 1, bMatchCase = (round >> 1) & 1;
        const int64_t lo = std::uniform_int_distribution<int64_t>(0, static_cast<int64_t>(text.size()))(rng);
        const LoopOutcome loop = ReplaceAllByLoop(text, lo, find, replace, bDown, bMatchCase, true);
        const PlanOutcome plan = PlanAndApply(text, lo, find, replace, bDown, bMatchCase);
        ASSERT_TRUE(loop.bEnded);
        ASSERT_EQ(plan.text, loop.text) << "text '" << text << "' find '" << find << "' by '"
                                        << replace << "' lo " << lo << " down " << bDown;
        ASSERT_EQ(plan.plan.nHits, loop.nReplaced);
        ASSERT_EQ(loop.nBeeps, 1);
        // A plain run that ends takes each hit at a new position of the original
        // text, so one still finding hits after 100 replacements never ends.
        const LoopOutcome plain = ReplaceAllByLoop(text, lo, find, replace, bDown, bMatchCase,
                                                   false, 100);
        ASSERT_NE(plain.bEnded, loop.bPassedOver);
        if (plain.bEnded) {
            ASSERT_EQ(plain.text, loop.text);
        }
        nNeverEnding += !plain.bEnded;
        nReplacedCases += loop.nReplaced > 0;
    }
    EXPECT_GT(nNeverEnding, 50);
    EXPECT_GT(nReplacedCases, 1500);
}
