// The scan tests eight positions at a time for two anchor bytes of the search
// text (its two rarest) and compares the whole search text only where both are
// there. Its hits are exactly those of testing every position in turn; it only
// gets there sooner.
#include "find/scan.h"

#include <cstring>

namespace {

inline unsigned char FoldByte(unsigned char b)
{
    return (b >= 'A' && b <= 'Z') ? static_cast<unsigned char>(b + 0x20) : b;
}

// How common a byte is in ordinary text, most common first. The anchor is the
// byte of the search text that is least common, so that the fast part of the
// scan stops as seldom as possible on a position that is no hit.
const char kCommonBytes[] = " etnaisrhodlucmgfwbpkzyv\n\r,.ETNAISRHODLUCMGFWBPKZYV";

int RarityOf(unsigned char b)
{
    const char* pFound = static_cast<const char*>(memchr(kCommonBytes, b, sizeof kCommonBytes - 1));
    return pFound ? static_cast<int>(pFound - kCommonBytes) : static_cast<int>(sizeof kCommonBytes);
}

// The rarest position of the search text, leaving out one position (or none
// when skip is -1).
int64_t ChooseAnchor(const char* pFind, int64_t cchFind, bool bMatchCase, int64_t skip)
{
    int64_t best = -1;
    int bestRarity = -1;
    for (int64_t i = 0; i < cchFind; ++i) {
        unsigned char b = static_cast<unsigned char>(pFind[i]);
        if (!bMatchCase)
            b = FoldByte(b);
        const int rarity = RarityOf(b);
        if (i != skip && rarity > bestRarity) {
            bestRarity = rarity;
            best = i;
        }
    }
    return best < 0 ? skip : best;
}

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
constexpr bool kWordScan = false;  // the byte order of the masks below is little-endian
#else
constexpr bool kWordScan = true;
#endif

constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
constexpr uint64_t kOnes = 0x0101010101010101ULL;

inline uint64_t LoadWord(const unsigned char* p)
{
    uint64_t v;
    memcpy(&v, p, sizeof v);
    return v;
}

// 0x80 in exactly the bytes of v that are zero (no carries between bytes).
inline uint64_t ZeroBytes(uint64_t v)
{
    return ~(((v & kLow7) + kLow7) | v | kLow7);
}

inline int LowestByte(uint64_t m)
{
    return __builtin_ctzll(m) >> 3;
}

inline int HighestByte(uint64_t m)
{
    return (63 - __builtin_clzll(m)) >> 3;
}

// One byte of the search text as the fast part of the scan looks for it.
struct Anchor {
    int64_t at;            // position in the search text
    unsigned char b1, b2;  // the byte in its two cases (equal when it has one)
    uint64_t w1, w2;
};

void MakeAnchor(Anchor* a, const char* pFind, int64_t at, bool bMatchCase)
{
    a->at = at;
    a->b1 = a->b2 = static_cast<unsigned char>(pFind[at]);
    if (!bMatchCase) {
        a->b1 = FoldByte(a->b1);
        a->b2 = (a->b1 >= 'a' && a->b1 <= 'z') ? static_cast<unsigned char>(a->b1 - 0x20) : a->b1;
    }
    a->w1 = kOnes * a->b1;
    a->w2 = kOnes * a->b2;
}

// Two anchors: a position p is compared in full only where both of its
// anchor bytes are there, which in ordinary text is seldom a miss.
struct Scan {
    const unsigned char* pText;
    const char* pFind;
    int64_t cchFind;
    bool bMatchCase;
    Anchor a, b;

    bool AnchorsAt(int64_t p) const
    {
        const unsigned char x = pText[p + a.at], y = pText[p + b.at];
        return (x == a.b1 || x == a.b2) && (y == b.b1 || y == b.b2);
    }
    // One bit per position p .. p + 7 where both anchors are.
    uint64_t AnchorMask(int64_t p) const
    {
        const uint64_t va = LoadWord(pText + p + a.at), vb = LoadWord(pText + p + b.at);
        return (ZeroBytes(va ^ a.w1) | ZeroBytes(va ^ a.w2)) &
               (ZeroBytes(vb ^ b.w1) | ZeroBytes(vb ^ b.w2));
    }
    bool HitAt(int64_t p) const
    {
        return MatchesAt(reinterpret_cast<const char*>(pText) + p, pFind, cchFind, bMatchCase);
    }
};

// Positions p run from first up to last; a word read at p + 7 plus an anchor
// stays below last + cchFind, inside the text.
int64_t ScanForward(const Scan& s, int64_t first, int64_t last)
{
    int64_t p = first;
    if (kWordScan) {
        for (; last - p >= 7; p += 8) {
            uint64_t m = s.AnchorMask(p);
            while (m) {
                const int64_t c = p + LowestByte(m);
                if (s.HitAt(c))
                    return c;
                m &= m - 1;
            }
        }
    }
    for (; p <= last; ++p) {
        if (s.AnchorsAt(p) && s.HitAt(p))
            return p;
    }
    return -1;
}

// Positions p run from first down to 0.
int64_t ScanBackward(const Scan& s, int64_t first)
{
    int64_t p = first;
    if (kWordScan) {
        for (; p >= 7; p -= 8) {
            uint64_t m = s.AnchorMask(p - 7);
            while (m) {
                const int byte = HighestByte(m);
                const int64_t c = p - 7 + byte;
                if (s.HitAt(c))
                    return c;
                m &= ~(0xFFULL << (byte * 8));
            }
        }
    }
    for (; p >= 0; --p) {
        if (s.AnchorsAt(p) && s.HitAt(p))
            return p;
    }
    return -1;
}

}  // namespace

bool MatchesAt(const char* pText, const char* pFind, int64_t cchFind, bool bMatchCase)
{
    // An empty search text may come without any storage behind it, and
    // memcmp must not be handed a null pointer even for no bytes.
    if (cchFind <= 0)
        return true;
    if (bMatchCase)
        return memcmp(pText, pFind, static_cast<size_t>(cchFind)) == 0;
    for (int64_t i = 0; i < cchFind; ++i) {
        if (FoldByte(static_cast<unsigned char>(pText[i])) != FoldByte(static_cast<unsigned char>(pFind[i])))
            return false;
    }
    return true;
}

int64_t ScanText(const char* pText, int64_t cchText, const char* pFind, int64_t cchFind,
                 int64_t p0, bool bDown, bool bMatchCase)
{
    if (cchFind < 0 || cchText < 0 || cchFind > cchText)
        return -1;
    const int64_t last = cchText - cchFind;  // the highest position that can hold a hit
    int64_t first;
    if (bDown) {
        first = p0 < 0 ? 0 : p0;
        if (first > last)
            return -1;
    } else {
        if (p0 < 0)
            return -1;
        first = p0 > last ? last : p0;
    }
    if (cchFind == 0)
        return first;

    Scan s;
    s.pText = reinterpret_cast<const unsigned char*>(pText);
    s.pFind = pFind;
    s.cchFind = cchFind;
    s.bMatchCase = bMatchCase;
    const int64_t rarest = ChooseAnchor(pFind, cchFind, bMatchCase, -1);
    MakeAnchor(&s.a, pFind, rarest, bMatchCase);
    MakeAnchor(&s.b, pFind, ChooseAnchor(pFind, cchFind, bMatchCase, rarest), bMatchCase);
    if (bDown)
        return ScanForward(s, first, last);
    return ScanBackward(s, first);
}
