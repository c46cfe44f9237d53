#include "bench/measure.h"

#include <psapi.h>

#include <algorithm>
#include <cstdio>

#include "app/shell.h"
#include "bench/clock.h"

PROCESS_MEMORY_COUNTERS Memory(HANDLE hProcess)
{
    PROCESS_MEMORY_COUNTERS pmc = {};
    pmc.cb = sizeof pmc;
    GetProcessMemoryInfo(hProcess, &pmc, sizeof pmc);
    return pmc;
}

namespace {

struct Sampler {
    volatile LONG bStop = 0;
    SIZE_T peak = 0;
    HANDLE hThread = NULL;
};

DWORD WINAPI SampleProc(LPVOID param)
{
    Sampler* s = static_cast<Sampler*>(param);
    while (!s->bStop) {
        s->peak = std::max(s->peak, Memory(GetCurrentProcess()).PagefileUsage);
        Sleep(1);
    }
    return 0;
}

}  // namespace

Measured Measure(const std::function<void()>& op)
{
    Measured m;
    Sampler s;
    m.before = Memory(GetCurrentProcess()).PagefileUsage;
    s.peak = m.before;
    s.hThread = CreateThread(NULL, 0, SampleProc, &s, 0, NULL);
    const double t0 = Now();
    op();
    m.ms = Now() - t0;
    s.bStop = 1;
    WaitForSingleObject(s.hThread, INFINITE);
    CloseHandle(s.hThread);
    m.peak = std::max(s.peak, Memory(GetCurrentProcess()).PagefileUsage);
    return m;
}

Measured Best(std::vector<Measured> runs)
{
    std::sort(runs.begin(), runs.end(),
              [](const Measured& a, const Measured& b) { return a.ms < b.ms; });
    Measured m = runs[0];
    for (const Measured& r : runs) {
        m.peak = std::max(m.peak, r.peak);
        m.before = std::max(m.before, r.before);
    }
    return m;
}

double MB(SIZE_T bytes)
{
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

void PumpIdle()
{
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
        HandleLoopMessage(&msg, NULL);
}

// Never 0x98 among the upper half, which Wine's Edit control cannot take
// among others.
bool MakeDocument(const std::string& path, DWORD cb)
{
    std::string text;
    text.reserve(cb);
    static const char kLine[] = "Zeile mit Umlauten \xE4\xF6\xFC\xDF und Ziffern 0123456789, "
                                "damit sie nach Text aussieht: ";
    unsigned n = 0;
    while (text.size() < cb) {
        char line[128];
        const int len = snprintf(line, sizeof line, "%s%06u\r\n", kLine, n++);
        text.append(line, static_cast<size_t>(len));
    }
    text.resize(cb);
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(h, text.data(), cb, &written, NULL);
    CloseHandle(h);
    return ok && written == cb;
}

std::string TempPath(const char* pszName)
{
    char tmp[MAX_PATH];
    GetTempPathA(MAX_PATH, tmp);
    return std::string(tmp) + pszName;
}

bool StartProgram(const std::string& cmd, PROCESS_INFORMATION* pi, HANDLE* phRead)
{
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    HANDLE hRead = NULL, hWrite = NULL;
    if (phRead) {
        SECURITY_ATTRIBUTES sa = {sizeof sa, NULL, TRUE};
        if (!CreatePipe(&hRead, &hWrite, &sa, 0))
            return false;
        SetHandleInformation(hRead, HANDLE_FLAG_INHERIT, 0);
        si.hStdOutput = hWrite;
        si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    }
    std::vector<char> buf(cmd.begin(), cmd.end());
    buf.push_back('\0');
    *pi = {};
    const BOOL started = CreateProcessA(NULL, buf.data(), NULL, NULL, phRead != nullptr, 0, NULL,
                                        NULL, &si, pi);
    if (hWrite)
        CloseHandle(hWrite);
    if (!started && hRead)
        CloseHandle(hRead);
    if (phRead)
        *phRead = started ? hRead : NULL;
    return started != FALSE;
}

std::string ReadToEnd(HANDLE hRead)
{
    std::string out;
    char chunk[256];
    DWORD got;
    while (ReadFile(hRead, chunk, sizeof chunk, &got, NULL) && got)
        out.append(chunk, got);
    CloseHandle(hRead);
    return out;
}

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t end = text.find('\n', pos);
        lines.push_back(text.substr(pos, end == std::string::npos ? end : end - pos));
        pos = end == std::string::npos ? text.size() : end + 1;
    }
    return lines;
}
