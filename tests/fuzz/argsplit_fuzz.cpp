// The argument-string search against a reference written on std::string.
// Which candidates "name a file" is decided by the input itself, so every
// path through the search is reachable. Any difference in the candidates
// asked about, the result or the remainder, or any read outside the string,
// is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "document/argsplit.h"

namespace {

struct Rule {
    size_t len1, len2;  // candidates of these lengths are accepted
};

bool Accepts(const Rule& rule, const std::string& name)
{
    return name.size() == rule.len1 || name.size() == rule.len2;
}

struct Asked {
    Rule rule;
    const char* pBegin;
    const char* pEnd;
    std::vector<std::string> names;
};

bool TestName(const char* pszName, void* pContext)
{
    Asked* asked = static_cast<Asked*>(pContext);
    if (pszName < asked->pBegin || pszName >= asked->pEnd)
        abort();
    // strlen stops inside the buffer or the sanitizer reports the overrun.
    asked->names.emplace_back(pszName, strlen(pszName));
    return Accepts(asked->rule, asked->names.back());
}

bool Blank(const std::string& s)
{
    return s.find_first_not_of(" \t") == std::string::npos;
}

// The search as a person would describe it, without cutting anything.
bool Reference(const std::string& s, const Rule& rule, std::vector<std::string>* names,
               bool* pbHandOn, std::string* remainder)
{
    bool bFound = false;
    *pbHandOn = false;
    if (!s.empty() && s[0] == '"') {
        const size_t close = s.find('"', 1);
        names->push_back(s.substr(1, close == std::string::npos ? std::string::npos : close - 1));
        bFound = Accepts(rule, names->back());
        if (close != std::string::npos) {
            const size_t next = s.find('"', close + 1);
            if (next != std::string::npos) {
                *pbHandOn = true;
                *remainder = s.substr(next);
            }
        }
    } else if (!s.empty()) {
        for (size_t space = s.find(' '); space != std::string::npos; space = s.find(' ', space + 1)) {
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
// its first NUL, as the program receives it).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    Rule rule = {data[0], data[1]};
    const char* pArgs = reinterpret_cast<const char*>(data + 2);
    const std::string args(pArgs, strnlen(pArgs, size - 2));

    // Exactly the string and its NUL, as the caller's buffer would be.
    char* buffer = static_cast<char*>(malloc(args.size() + 1));
    memcpy(buffer, args.c_str(), args.size() + 1);
    Asked asked = {rule, buffer, buffer + args.size() + 1, {}};
    char* pszRemainder = reinterpret_cast<char*>(1);
    const bool bFound = SplitArguments(buffer, TestName, &asked, &pszRemainder);

    std::vector<std::string> names;
    bool bHandOn = false;
    std::string remainder;
    const bool bWant = Reference(args, rule, &names, &bHandOn, &remainder);
    if (bFound != bWant || asked.names != names)
        abort();
    if (bHandOn != (pszRemainder != nullptr))
        abort();
    if (pszRemainder) {
        if (pszRemainder < buffer || pszRemainder >= buffer + args.size() + 1)
            abort();
        if (remainder != std::string(pszRemainder))
            abort();
    }
    free(buffer);
    return 0;
}
