#include "support/findref.h"

static unsigned char Fold(unsigned char b)
{
    return (b >= 'A' && b <= 'Z') ? static_cast<unsigned char>(b + 32) : b;
}

static bool HitAt(const std::string& text, const std::string& find, int64_t p, bool bMatchCase)
{
    const int64_t len = static_cast<int64_t>(find.size());
    if (p < 0 || p > static_cast<int64_t>(text.size()) - len)
        return false;
    for (int64_t i = 0; i < len; ++i) {
        unsigned char a = static_cast<unsigned char>(text[p + i]);
        unsigned char b = static_cast<unsigned char>(find[i]);
        if (!bMatchCase) {
            a = Fold(a);
            b = Fold(b);
        }
        if (a != b)
            return false;
    }
    return true;
}

int64_t PlainScan(const std::string& text, const std::string& find, int64_t p0, bool bDown,
                  bool bMatchCase)
{
    const int64_t last = static_cast<int64_t>(text.size()) - static_cast<int64_t>(find.size());
    if (bDown) {
        for (int64_t p = p0; p <= last; ++p)
            if (HitAt(text, find, p, bMatchCase))
                return p;
    } else {
        for (int64_t p = p0; p >= 0; --p)
            if (HitAt(text, find, p, bMatchCase))
                return p;
    }
    return -1;
}

LoopOutcome ReplaceAllByLoop(std::string text, int64_t lo, const std::string& find,
                             const std::string& replace, bool bDown, bool bMatchCase, bool bMended,
                             int maxSteps)
{
    LoopOutcome out;
    const int64_t len = static_cast<int64_t>(find.size());
    const int64_t rlen = static_cast<int64_t>(replace.size());
    if (bMended && len == 0) {
        ++out.nBeeps;
        out.text = text;
        return out;
    }
    int64_t q = PlainScan(text, find, lo, bDown, bMatchCase);
    while (q >= 0) {
        if (out.nReplaced >= maxSteps) {
            out.bEnded = false;
            break;
        }
        text.replace(static_cast<size_t>(q), static_cast<size_t>(len), replace);
        ++out.nReplaced;
        const int64_t inserted = q;
        const int64_t caret = q + rlen;
        q = PlainScan(text, find, bDown ? caret : caret - len, bDown, bMatchCase);
        while (bMended && !bDown && q >= inserted && q + len <= caret) {
            out.bPassedOver = true;
            q = PlainScan(text, find, q - 1, bDown, bMatchCase);
        }
    }
    if (q < 0)
        ++out.nBeeps;
    out.text = text;
    return out;
}

std::string RandomText(std::mt19937& rng, size_t maxLen, bool bWide)
{
    // 0x98 is left out: Wine's Edit control crashes on it among other high bytes.
    static const char kNarrow[] = "aAbB-";
    static const char kWide[] = "aAbB-zZ@[`{\xC4\xE4";
    const char* alphabet = bWide ? kWide : kNarrow;
    const size_t n = bWide ? sizeof kWide - 1 : sizeof kNarrow - 1;
    std::uniform_int_distribution<size_t> length(0, maxLen);
    std::uniform_int_distribution<size_t> pick(0, n - 1);
    std::string s(length(rng), ' ');
    for (char& c : s)
        c = alphabet[pick(rng)];
    return s;
}
