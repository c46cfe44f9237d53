// A long session on one editor: thousands of mixed commands, with the text
// the pane must hold kept alongside and compared, and the process's commit
// charge and kernel handles measured before and after. Under Wine the
// process's own handle count and private bytes read 0, so handles are counted
// by asking for each handle value in turn, and memory is the commit charge.
// The same measurement, given a deliberate leak, must see it: otherwise a
// clean soak would prove nothing.
#include "unit/document_fixture.h"

#include <psapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "document/openargs.h"
#include "edit/textbuffer.h"
#include "find/findreplace.h"
#include "res/resource.h"
#include "support/files.h"

namespace {

SIZE_T CommitCharge()
{
    PROCESS_MEMORY_COUNTERS pmc = {};
    pmc.cb = sizeof pmc;
    GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc);
    return pmc.PagefileUsage;
}

// Kernel handle values are multiples of 4 from 4 up; a value the process
// does not hold has no handle information.
int CountKernelHandles()
{
    int n = 0;
    for (ULONG_PTR v = 4; v < 0x10000; v += 4) {
        DWORD dwFlags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(v), &dwFlags))
            ++n;
    }
    return n;
}

enum class Leak { None, TextCopy, Handle };

struct Figures {
    int nCommands = 0;
    int nTextChecks = 0;
    SIZE_T commitBefore = 0, commitAfter = 0;
    int handlesBefore = 0, handlesAfter = 0;
    DWORD msTaken = 0;
    double CommitGrowthKb() const { return (double(commitAfter) - double(commitBefore)) / 1024; }
    int HandleGrowth() const { return handlesAfter - handlesBefore; }
};

// Growth that a session may show without a leak: the Edit control's and the
// heap's own bookkeeping settle within the warm-up; what remains is noise.
constexpr double kCommitBoundKb = 2048;
constexpr int kHandleBound = 8;

bool WithinBounds(const Figures& f)
{
    return f.CommitGrowthKb() <= kCommitBoundKb && f.HandleGrowth() <= kHandleBound;
}

void Print(const char* pszWhat, const Figures& f)
{
    printf("soak %s: %d commands in %lu ms, %d text checks; commit %.0f KB -> %.0f KB (%+.0f KB); "
           "kernel handles %d -> %d (%+d)\n",
           pszWhat, f.nCommands, f.msTaken, f.nTextChecks, f.commitBefore / 1024.0,
           f.commitAfter / 1024.0, f.CommitGrowthKb(), f.handlesBefore, f.handlesAfter,
           f.HandleGrowth());
}

class SoakTest : public DocumentFixture {
protected:
    void Check(const char* pszAfter)
    {
        ++m_figures.nTextChecks;
        ASSERT_TRUE(IsWindow(g_hwndMain)) << pszAfter;
        ASSERT_EQ(PaneText(), m_text) << "text lost after " << pszAfter << " at command "
                                      << m_figures.nCommands;
    }
    void CaretToEnd()
    {
        const int cch = GetWindowTextLengthA(g_hwndEdit);
        SendMessageA(g_hwndEdit, EM_SETSEL, cch, cch);
    }
    void Request(const char* pszFind, const char* pszReplace, DWORD dwFlags)
    {
        lstrcpynA(g_szFindWhat, pszFind, FIND_TEXT_SIZE);
        lstrcpynA(g_szReplaceWith, pszReplace, FIND_TEXT_SIZE);
        SendMessageA(g_hwndEdit, EM_SETSEL, 0, 0);
        g_dwSearchFlags = dwFlags | FR_DOWN | FR_MATCHCASE | FR_HIDEWHOLEWORD;
        OnFindReplaceMessage(g_hwndMain, 0);
    }
    void SaveHere()
    {
        UseFile(m_dir / "sitzung.txt");
        Command(IDM_SAVE);
        ASSERT_FALSE(Modified());
        ASSERT_EQ(ReadBytes(m_dir / "sitzung.txt"), m_text);
    }
    void RunOne(unsigned kind)
    {
        switch (kind) {
        case 0: {  // type a line at the end
            CaretToEnd();
            char line[64];
            snprintf(line, sizeof line, "alpha Zeile %d \xE4\xF6\xFC\r\n", m_figures.nCommands);
            SendMessageA(g_hwndEdit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(line));
            m_text += line;
            Check("typing");
            break;
        }
        case 1: {
            const bool bModified = Modified();
            Command(IDM_WORDWRAP);
            Check("word wrap");
            ASSERT_EQ(Modified(), bModified);
            break;
        }
        case 2:
            Request("Zeile", "", 0);
            Check("find");
            break;
        case 3: {
            Request("alpha", "beta", FR_REPLACEALL);
            for (size_t at = m_text.find("alpha"); at != std::string::npos;
                 at = m_text.find("alpha", at + 4))
                m_text.replace(at, 5, "beta");
            Check("replace all");
            break;
        }
        case 4: {
            CaretToEnd();
            Command(IDM_DATETIME);
            const std::string now = PaneText();
            ASSERT_EQ(now.compare(0, m_text.size(), m_text), 0) << "text lost by the date";
            ASSERT_GT(now.size(), m_text.size());
            m_text = now;
            break;
        }
        case 5:
            SaveHere();
            break;
        case 6:
            SaveHere();
            Command(IDM_NEW);
            m_text.clear();
            Check("new");
            break;
        case 7: {
            SaveHere();
            std::wstring path = Wide(m_dir / "offen.txt");
            m_text = ReadBytes(path);
            OpenFromArguments(g_hInstance, g_hwndMain, g_hwndEdit, &path[0]);
            Check("open");
            break;
        }
        }
    }
    void Run(int nCommands, Leak leak)
    {
        // A document of some size, so that each copy of it counts.
        std::string opened;
        for (int i = 0; opened.size() < 12000; ++i)
            opened += "alpha Zeile " + std::to_string(i) + " der offenen Datei\r\n";
        ASSERT_TRUE(WriteBytes(m_dir / "offen.txt", opened));
        const int nWarmUp = nCommands / 10;
        unsigned seed = 12345;
        const DWORD start = GetTickCount();
        for (int i = 0; i < nCommands; ++i) {
            if (i == nWarmUp) {
                m_figures.commitBefore = CommitCharge();
                m_figures.handlesBefore = CountKernelHandles();
            }
            seed = seed * 1103515245u + 12345u;
            // The Edit control takes typed text only up to its limit; a
            // long document is started afresh.
            const unsigned kind = m_text.size() > 20000 ? 6 : (seed >> 16) % 8;
            ASSERT_NO_FATAL_FAILURE(RunOne(kind));
            ++m_figures.nCommands;
            if (leak == Leak::TextCopy) {
                TextBuffer copy = {};
                GetEditText(g_hwndEdit, &copy);  // never freed, deliberately
            } else if (leak == Leak::Handle) {
                CreateEventA(NULL, FALSE, FALSE, NULL);  // never closed, deliberately
            }
        }
        Pump();
        m_figures.msTaken = GetTickCount() - start;
        m_figures.commitAfter = CommitCharge();
        m_figures.handlesAfter = CountKernelHandles();
    }
    std::string m_text;
    Figures m_figures;
};

}  // namespace

TEST_F(SoakTest, ThousandsOfMixedCommandsLoseNoTextAndLeakNothing)
{
    ASSERT_GT(CommitCharge(), 0u) << "the commit charge must be measurable here";
    ASSERT_GT(CountKernelHandles(), 0);
    Run(2000, Leak::None);
    Print("clean", m_figures);
    EXPECT_LE(m_figures.CommitGrowthKb(), kCommitBoundKb);
    EXPECT_LE(m_figures.HandleGrowth(), kHandleBound);
}

// The measurement itself: a text copy never freed once per command, or a
// handle never closed, must take the session out of its bounds.
TEST_F(SoakTest, TheMeasurementSeesALeakedTextCopy)
{
    Run(600, Leak::TextCopy);
    Print("leaking a text copy per command", m_figures);
    EXPECT_FALSE(WithinBounds(m_figures));
    EXPECT_GT(m_figures.CommitGrowthKb(), kCommitBoundKb);
}

TEST_F(SoakTest, TheMeasurementSeesALeakedHandle)
{
    Run(600, Leak::Handle);
    Print("leaking a handle per command", m_figures);
    EXPECT_FALSE(WithinBounds(m_figures));
    EXPECT_GT(m_figures.HandleGrowth(), kHandleBound);
}
