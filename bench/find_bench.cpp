// Prints how long Find Next and Replace All take in the real edit pane, next
// to floors measured in the same run: one SetWindowTextA of the same document
// (for Replace All) and one GetWindowTextA copy of it (for Find Next).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/shell.h"
#include "bench/clock.h"
#include "app/state.h"
#include "find/findreplace.h"
#include "find/scan.h"
#include "find/search.h"

namespace {

void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
        HandleLoopMessage(&msg, NULL);
}

// Ordinary lines of words, none of which is the needle.
std::string MakeDocument(size_t cb)
{
    static const char* kWords[] = {"der", "Hund", "und", "die", "Katze", "laufen", "schnell",
                                   "durch", "den", "Garten", "am", "Abend", "wenn", "Sonne",
                                   "untergeht", "Zeit", "zwei", "Wolken", "ziehen", "vorbei"};
    std::string doc;
    doc.reserve(cb + 100);
    unsigned seed = 12345;
    size_t col = 0;
    while (doc.size() < cb) {
        seed = seed * 1103515245u + 12345u;
        const char* w = kWords[(seed >> 16) % (sizeof kWords / sizeof kWords[0])];
        doc += w;
        col += strlen(w) + 1;
        if (col > 64) {
            doc += "\r\n";
            col = 0;
        } else {
            doc += ' ';
        }
    }
    doc.resize(cb);
    return doc;
}

// The document with nHits copies of the needle spread evenly over it.
std::string WithHits(std::string doc, const std::string& needle, int nHits)
{
    const size_t step = doc.size() / static_cast<size_t>(nHits);
    for (int i = 0; i < nHits; ++i)
        doc.replace(static_cast<size_t>(i) * step, needle.size(), needle);
    return doc;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double TimeSetText(const std::string& doc)
{
    const double t0 = Now();
    SetWindowTextA(g_hwndEdit, doc.c_str());
    return Now() - t0;
}

double TimeCopy()
{
    const int cch = GetWindowTextLengthA(g_hwndEdit);
    char* p = static_cast<char*>(GlobalAlloc(GPTR, static_cast<SIZE_T>(cch) + 1));
    const double t0 = Now();
    GetWindowTextA(g_hwndEdit, p, cch + 1);
    const double ms = Now() - t0;
    GlobalFree(p);
    return ms;
}

void Request(DWORD dwFlags)
{
    g_dwSearchFlags = dwFlags | FR_HIDEWHOLEWORD;
    OnFindReplaceMessage(g_hwndMain, 0);
}

void BenchReplaceAll(const std::string& base, int nHits)
{
    const std::string doc = WithHits(base, "Zielwort", nHits);
    lstrcpynA(g_szFindWhat, "zielwort", FIND_TEXT_SIZE);
    lstrcpynA(g_szReplaceWith, "Ersatzbegriff", FIND_TEXT_SIZE);
    std::vector<double> floor, run;
    for (int i = 0; i < 3; ++i) {
        floor.push_back(TimeSetText(doc));
        SendMessageA(g_hwndEdit, EM_SETSEL, 0, 0);
        Pump();
        const double t0 = Now();
        Request(FR_REPLACEALL | FR_DOWN);
        run.push_back(Now() - t0);
        Pump();
    }
    const int cchAfter = GetWindowTextLengthA(g_hwndEdit);
    const int cchExpected = static_cast<int>(doc.size()) + nHits * (13 - 8);
    const double f = Median(floor), r = Median(run);
    printf("Replace All, %5d hits in %4.1f MB: %8.1f ms   floor (SetWindowTextA) %7.1f ms   ratio %.2f%s\n",
           nHits, static_cast<double>(doc.size()) / 1e6, r, f, r / f,
           cchAfter == cchExpected ? "" : "   WRONG RESULT");
}

// The same replacements made one at a time through the pane, on fewer hits,
// to show what each replacement costs the control.
void BenchReplaceOneByOne(const std::string& base, int nHits)
{
    const std::string doc = WithHits(base, "Zielwort", nHits);
    TimeSetText(doc);
    SendMessageA(g_hwndEdit, EM_SETSEL, 0, 0);
    g_dwSearchFlags = FR_DOWN;
    const double t0 = Now();
    int n = 0;
    if (SearchText(FALSE)) {
        do {
            SendMessageA(g_hwndEdit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(g_szReplaceWith));
            ++n;
        } while (SearchText(TRUE));
    }
    const double ms = Now() - t0;
    printf("(one replacement at a time: %d hits in %.1f ms, %.1f ms per hit)\n", n, ms, ms / n);
}

// Selecting a hit far down costs Wine's Edit control a walk over its lines,
// whatever found the hit; measured alone so that it can be told apart.
double TimeSelect(DWORD lo, DWORD hi)
{
    SendMessageA(g_hwndEdit, EM_SETSEL, 0, 0);
    const double t0 = Now();
    SendMessageA(g_hwndEdit, EM_SETSEL, lo, hi);
    SendMessageA(g_hwndEdit, EM_SCROLLCARET, 0, 0);
    return Now() - t0;
}

void BenchFindNext(size_t cb)
{
    std::string doc = MakeDocument(cb);
    const DWORD at = static_cast<DWORD>(doc.size() - 10);
    doc.replace(at, 8, "Zielwort");
    TimeSetText(doc);
    Pump();
    std::vector<double> copy, select;
    for (int i = 0; i < 3; ++i) {
        copy.push_back(TimeCopy());
        select.push_back(TimeSelect(at, at + 8));
    }
    const double c = Median(copy), sel = Median(select);
    lstrcpynA(g_szFindWhat, "Zielwort", FIND_TEXT_SIZE);
    for (DWORD dwCase : {0ul, static_cast<DWORD>(FR_MATCHCASE)}) {
        std::vector<double> run;
        bool bOk = true;
        for (int i = 0; i < 3; ++i) {
            SendMessageA(g_hwndEdit, EM_SETSEL, 0, 0);
            const double t0 = Now();
            Request(FR_FINDNEXT | FR_DOWN | dwCase);
            run.push_back(Now() - t0);
            DWORD a = 0, b = 0;
            SendMessageA(g_hwndEdit, EM_GETSEL, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
            bOk = bOk && a == at;
        }
        // The scan alone, on memory.
        const double t0 = Now();
        const int64_t hit = ScanText(doc.data(), static_cast<int64_t>(doc.size()), "Zielwort", 8, 0,
                                     true, dwCase != 0);
        const double scan = Now() - t0;
        const double r = Median(run);
        printf("Find Next, %2.0f MB, case %-7s: %6.1f ms | copy (GetWindowTextA) %6.1f ms, ratio %5.2f"
               " | copy + selecting the hit %6.1f ms, ratio %4.2f | scan alone %5.1f ms (%.1f GB/s)%s\n",
               static_cast<double>(cb) / 1e6, dwCase ? "matched" : "ignored", r, c, r / c, c + sel,
               r / (c + sel), scan, static_cast<double>(cb) / 1e6 / scan,
               bOk && hit == at ? "" : "   WRONG RESULT");
    }
}

}  // namespace

int main()
{
    static wchar_t szArgs[] = L"";
    HACCEL hAccel = NULL;
    if (!StartInstance(GetModuleHandleA(NULL), NULL, szArgs, SW_SHOW, &hAccel)) {
        printf("the editor did not start\n");
        return 1;
    }
    Pump();
    const std::string base = MakeDocument(1000000);
    BenchReplaceAll(base, 1000);
    BenchReplaceAll(base, 10000);
    BenchReplaceOneByOne(base, 100);
    for (size_t mb : {1, 10, 50})
        BenchFindNext(mb * 1000000);
    DestroyWindow(g_hwndMain);
    Pump();
    EndInstance();
    return 0;
}
