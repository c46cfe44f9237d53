// The argument-string search against a reference written on std::wstring.
// Which candidates "name a file" is decided by the input itself, so every
// path through the search is reachable. Any difference in the candidates
// asked about, the result or the remainder, or any read outside the string,
// is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "document/argsplit.h"

namespace {

struct Rule {
    size_t len1, len2;  // candidates of these lengths are accepted
};

bool Accepts(const Rule& rule, const std::wstring& name)
{
    return name.size() == rule.len1 || name.size() == rule.len2;
}

struct Asked {
    Rule rule;
    const wchar_t* pBegin;
    const wchar_t* pEnd;
    std::vector<std::wstring> names;
};

bool TestName(const wchar_t* pszName, void* pContext)
{
    Asked* asked = static_cast<Asked*>(pContext);
    if (pszName < asked->pBegin || pszName >= asked->pEnd)
        abort();
    // wcslen stops inside the buffer or the sanitizer reports the overrun.
    asked->names.emplace_back(pszName, wcslen(pszName));
    return Accepts(asked->rule, asked->names.back());
}

bool Blank(const std::wstring& s)
{
    return s.find_first_not_of(L" \t") == std::wstring::npos;
}

// The search as a person would describe it, without cutting anything.
bool Reference(const std::wstring& s, const Rule& rule, std::vector<std::wstring>* names,
               bool* pbHandOn, std::wstring* remainder)
{
    bool bFound = false;
    *pbHandOn = false;
    if (!s.empty() && s[0] == L'"') {
        const size_t close = s.find(L'"', 1);
        names->push_back(s.substr(1, close == std::wstring::npos ? std::wstring::npos : close - 1));
        bFound = Accepts(rule, names->back());
        if (close != std::wstring::npos) {
            const size_t next = s.find(L'"', close + 1);
            if (next != std::wstring::npos) {
                *pbHandOn = true;
                *remainder = s.substr(next);
            }
        }
    } else if (!s.empty()) {
        for (size_t space = s.find(L' '); space != std::wstring::npos;
             space = s.find(L' ', space + 1)) {
            names->push_back(s.substr(0, space));
            if (Accepts(rule, names->back())) {
                *pbHandOn = true;
                *remainder = s.substr(space + 1);
                bFound = true;
                break;
            }
        }
        if (!bFound) {
            names->push_back(s);
            bFound = Accepts(rule, s);
        }
    }
    if (*pbHandOn && Blank(*remainder))
        *pbHandOn = false;
    return bFound;
}

}  // namespace

// Input: two bytes for the accepted lengths, then the argument string (up to
// its first NUL, as the program receives it), one character per byte, with
// bytes above 0x7F standing for characters beyond the code page's.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    Rule rule = {data[0], data[1]};
    const char* pArgs = reinterpret_cast<const char*>(data + 2);
    const size_t cch = strnlen(pArgs, size - 2);
    std::wstring args;
    for (size_t i = 0; i < cch; ++i) {
        const uint8_t b = data[2 + i];
        args.push_back(b < 0x80 ? static_cast<wchar_t>(b) : static_cast<wchar_t>(0x0300 + b));
    }

    // Exactly the string and its NUL, as the caller's buffer would be.
    wchar_t* buffer = static_cast<wchar_t*>(malloc((args.size() + 1) * sizeof(wchar_t)));
    memcpy(buffer, args.c_str(), (args.size() + 1) * sizeof(wchar_t));
    Asked asked = {rule, buffer, buffer + args.size() + 1, {}};
    wchar_t* pszRemainder = reinterpret_cast<wchar_t*>(1);
    const bool bFound = SplitArguments(buffer, TestName, &asked, &pszRemainder);

    std::vector<std::wstring> names;
    bool bHandOn = false;
    std::wstring remainder;
    const bool bWant = Reference(args, rule, &names, &bHandOn, &remainder);
    if (bFound != bWant || asked.names != names)
        abort();
    if (bHandOn != (pszRemainder != nullptr))
        abort();
    if (pszRemainder) {
        if (pszRemainder < buffer || pszRemainder >= buffer + args.size() + 1)
            abort();
        if (remainder != std::wstring(pszRemainder))
            abort();
    }
    free(buffer);
    return 0;
}
