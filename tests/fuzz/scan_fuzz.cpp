// The byte scan against the plainest scan there is: every position in turn,
// compared byte by byte. Any input on which the two differ, or on which the
// scan reads outside the text or the search text, is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "find/scan.h"
#include "support/findref.h"

// Input: a control byte (direction, case rule), two bytes for the start
// position, one for the search text's length (at most 79, as the find box
// holds), then the search text, then the text.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4)
        return 0;
    const bool bDown = data[0] & 1;
    const bool bCase = data[0] & 2;
    int64_t cchFind = data[3] % 80;
    const uint8_t* rest = data + 4;
    size_t cchRest = size - 4;
    if (static_cast<size_t>(cchFind) > cchRest)
        cchFind = static_cast<int64_t>(cchRest);
    const int64_t cchText = static_cast<int64_t>(cchRest) - cchFind;
    // The start may lie before the text, inside it, or past its end.
    const int64_t p0 = static_cast<int16_t>(data[1] | (data[2] << 8)) % (cchText + 20);

    // Exactly sized copies, so that a read one byte beyond either is caught.
    std::vector<unsigned char> find(rest, rest + cchFind);
    unsigned char* pText = static_cast<unsigned char*>(malloc(cchText ? cchText : 1));
    memcpy(pText, rest + cchFind, static_cast<size_t>(cchText));

    const int64_t got = ScanText(reinterpret_cast<const char*>(pText), cchText,
                                 reinterpret_cast<const char*>(find.data()), cchFind, p0, bDown, bCase);
    const std::string text(reinterpret_cast<const char*>(pText), static_cast<size_t>(cchText));
    const std::string findText(find.begin(), find.end());
    const int64_t want = PlainScan(text, findText, p0, bDown, bCase);
    if (got != want)
        abort();
    if (got >= 0 && !MatchesAt(reinterpret_cast<const char*>(pText) + got,
                               reinterpret_cast<const char*>(find.data()), cchFind, bCase))
        abort();
    free(pText);
    return 0;
}
