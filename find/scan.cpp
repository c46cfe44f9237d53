// The scan looks for one anchor byte of the search text eight bytes at a time
// and compares the whole search text only where the anchor occurs. Its hits are
// exactly those of testing every position in turn; it only gets there sooner.
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

int64_t ChooseAnchor(const char* pFind, int64_t cchFind, bool bMatchCase)
{
    int64_t best = 0;
    int bestRarity = -1;
    for (int64_t i = 0; i < cchFind; ++i) {
        unsigned char b = static_cast<unsigned char>(pFind[i]);
        if (!bMatchCase)
            b = FoldByte(b);
        const int rarity = RarityOf(b);
        if (rarity > bestRarity) {
            bestRarity = rarity;
            best = i;
        }
    }
    return best;
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

struct Scan {
    const unsigned char* pText;
    const char* pFind;
    int64_t cchFind;
    int64_t anchor;
    bool bMatchCase;
    unsigned char b1, b2;  // the anchor byte in its two cases (equal when it has one)
    uint64_t w1, w2;

    bool IsAnchor(unsigned char b) const { return b == b1 || b == b2; }
    uint64_t AnchorMask(uint64_t v) const { return ZeroBytes(v ^ w1) | ZeroBytes(v ^ w2); }
    bool HitAt(int64_t q) const
    {
        return MatchesAt(reinterpret_cast<const char*>(pText) + (q - anchor), pFind, cchFind, bMatchCase);
    }
};

// Anchor positions q run from qFirst up to qLast; returns the hit's start or -1.
int64_t ScanForward(const Scan& s, int64_t qFirst, int64_t qLast)
{
    int64_t q = qFirst;
    if (kWordScan) {
        for (; qLast - q >= 7; q += 8) {
            uint64_t m = s.AnchorMask(LoadWord(s.pText + q));
            while (m) {
                const int64_t c = q + LowestByte(m);
                if (s.HitAt(c))
                    return c - s.anchor;
                m &= m - 1;
            }
        }
    }
    for (; q <= qLast; ++q) {
        if (s.IsAnchor(s.pText[q]) && s.HitAt(q))
            return q - s.anchor;
    }
    return -1;
}

// Anchor positions q run from qFirst down to qLast.
int64_t ScanBackward(const Scan& s, int64_t qFirst, int64_t qLast)
{
    int64_t q = qFirst;
    if (kWordScan) {
        for (; q - qLast >= 7; q -= 8) {
            uint64_t m = s.AnchorMask(LoadWord(s.pText + q - 7));
            while (m) {
                const int byte = HighestByte(m);
                const int64_t c = q - 7 + byte;
                if (s.HitAt(c))
                    return c - s.anchor;
                m &= ~(0xFFULL << (byte * 8));
            }
        }
    }
    for (; q >= qLast; --q) {
        if (s.IsAnchor(s.pText[q]) && s.HitAt(q))
            return q - s.anchor;
    }
    return -1;
}

}  // namespace

bool MatchesAt(const char* pText, const char* pFind, int64_t cchFind, bool bMatchCase)
{
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
    s.anchor = ChooseAnchor(pFind, cchFind, bMatchCase);
    s.b1 = static_cast<unsigned char>(pFind[s.anchor]);
    s.b2 = s.b1;
    if (!bMatchCase) {
        s.b1 = FoldByte(s.b1);
        s.b2 = (s.b1 >= 'a' && s.b1 <= 'z') ? static_cast<unsigned char>(s.b1 - 0x20) : s.b1;
    }
    s.w1 = kOnes * s.b1;
    s.w2 = kOnes * s.b2;
    if (bDown)
        return ScanForward(s, first + s.anchor, last + s.anchor);
    return ScanBackward(s, first + s.anchor, s.anchor);
}
