// Searching and replacing in the pane, the four commands, and the real Find
// and Replace dialogs driven by their control ids.
#include "support/harness.h"

#include <random>

#include "find/findreplace.h"
#include "find/search.h"
#include "res/resource.h"
#include "support/findref.h"
#include "support/imports.h"

namespace {

// Control ids of the common Find and Replace dialogs.
constexpr int kFindWhatEdit = 0x480;
constexpr int kReplaceWithEdit = 0x481;
constexpr int kMatchCaseBox = 0x411;
constexpr int kUpButton = 0x420;
constexpr int kReplaceButton = 0x400;
constexpr int kReplaceAllButton = 0x401;

struct Sel {
    DWORD lo, hi;
    bool operator==(const Sel& o) const { return lo == o.lo && hi == o.hi; }
};
std::ostream& operator<<(std::ostream& os, const Sel& s)
{
    return os << "(" << s.lo << ", " << s.hi << ")";
}

Sel PaneSel()
{
    DWORD a = 0, b = 0;
    SendMessageA(g_hwndEdit, EM_GETSEL, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
    return {a, b};
}

void SetSel(DWORD lo, DWORD hi)
{
    SendMessageA(g_hwndEdit, EM_SETSEL, lo, hi);
}

void SetFindTexts(const std::string& find, const std::string& replace = "")
{
    lstrcpynA(g_szFindWhat, find.c_str(), FIND_TEXT_SIZE);
    lstrcpynA(g_szReplaceWith, replace.c_str(), FIND_TEXT_SIZE);
}

// The beeps the program gives, heard where it calls the system: the default
// beep (0) that says a search found nothing is counted, any other is not.
int g_nDefaultBeeps;
BOOL WINAPI CountBeepProc(UINT uType)
{
    if (uType == 0)
        ++g_nDefaultBeeps;
    return TRUE;
}

class FindTest : public EditorTest {
protected:
    // Runs one request as F3 would with no dialog open: with these flags.
    void Request(DWORD dwFlags)
    {
        g_dwSearchFlags = dwFlags | FR_HIDEWHOLEWORD;
        OnFindReplaceMessage(g_hwndMain, 0);
    }
    int Beeps() const { return g_nDefaultBeeps - m_nBeepsAtStart; }
    void ResetBeeps() { m_nBeepsAtStart = g_nDefaultBeeps; }
    void SetUp() override
    {
        EditorTest::SetUp();
        ASSERT_TRUE(m_beeps.Installed());
        ResetBeeps();
    }
    void OpenDialog(UINT uId)
    {
        Command(uId);
        ASSERT_TRUE(g_hwndFindDlg != NULL && IsWindow(g_hwndFindDlg));
    }
    void Click(int id)
    {
        SendDlgItemMessageA(g_hwndFindDlg, id, BM_CLICK, 0, 0);
        Pump();
    }
    ImportPatch m_beeps{GetModuleHandleA(NULL), "MessageBeep", reinterpret_cast<void*>(CountBeepProc)};
    int m_nBeepsAtStart = 0;
};

BOOL CALLBACK CountShownDialogsProc(HWND hwnd, LPARAM lParam)
{
    char cls[16] = "";
    GetClassNameA(hwnd, cls, sizeof cls);
    if (lstrcmpA(cls, "#32770") == 0 && IsWindowVisible(hwnd))
        ++*reinterpret_cast<int*>(lParam);
    return TRUE;
}

int ShownDialogs()
{
    int n = 0;
    EnumThreadWindows(GetCurrentThreadId(), CountShownDialogsProc, reinterpret_cast<LPARAM>(&n));
    return n;
}

}  // namespace

// Text abcABCabc, search text abc.
TEST_F(FindTest, SearchTextStartsAndContinuesAsTheSelectionSays)
{
    SetPaneText("abcABCabc");
    SetFindTexts("abc");
    struct Case {
        DWORD dwFlags;
        BOOL bFromEnd;
        Sel before, after;
        int nBeeps;
    } cases[] = {
        {FR_DOWN, TRUE, {0, 0}, {0, 3}, 0},
        {FR_DOWN, TRUE, {0, 3}, {3, 6}, 0},
        {FR_DOWN | FR_MATCHCASE, TRUE, {0, 3}, {6, 9}, 0},
        {FR_DOWN, TRUE, {6, 9}, {6, 9}, 1},
        {0, TRUE, {6, 9}, {3, 6}, 0},
        {FR_MATCHCASE, TRUE, {6, 9}, {0, 3}, 0},
        {0, TRUE, {0, 3}, {0, 3}, 1},
        {0, TRUE, {0, 0}, {0, 0}, 1},
        {0, TRUE, {9, 9}, {6, 9}, 0},
        {0, FALSE, {3, 6}, {3, 6}, 0},   // from the selection start: finds it again
        {FR_DOWN, FALSE, {5, 5}, {6, 9}, 0},
        {FR_DOWN, FALSE, {0, 0}, {0, 3}, 0},  // a hit at 0 from the caret at 0
        {FR_MATCHCASE, TRUE, {7, 7}, {0, 3}, 0},  // and upwards from a later selection
    };
    for (const Case& c : cases) {
        SetSel(c.before.lo, c.before.hi);
        g_dwSearchFlags = c.dwFlags | FR_HIDEWHOLEWORD;
        ResetBeeps();
        const BOOL bFound = SearchText(c.bFromEnd);
        EXPECT_EQ(PaneSel(), c.after) << "flags " << c.dwFlags << " from " << c.before;
        EXPECT_EQ(Beeps(), c.nBeeps) << "flags " << c.dwFlags << " from " << c.before;
        EXPECT_EQ(bFound != FALSE, c.nBeeps == 0);
    }
}

TEST_F(FindTest, SearchTextPassesOverHitsThatOverlapTheSelection)
{
    SetPaneText("xxabcxx");
    SetFindTexts("abc");
    auto run = [&](DWORD dwFlags, BOOL bFromEnd) {
        SetSel(3, 3);
        g_dwSearchFlags = dwFlags;
        return SearchText(bFromEnd);
    };
    EXPECT_FALSE(run(FR_DOWN, TRUE));
    EXPECT_FALSE(run(0, TRUE));
    EXPECT_TRUE(run(0, FALSE));
    EXPECT_EQ(PaneSel(), (Sel{2, 5}));
    EXPECT_FALSE(run(FR_DOWN, FALSE));
    EXPECT_EQ(Beeps(), 3);

    SetPaneText("aaaa");
    SetFindTexts("aa");
    SetSel(0, 2);
    g_dwSearchFlags = FR_DOWN;
    EXPECT_TRUE(SearchText(TRUE));
    EXPECT_EQ(PaneSel(), (Sel{2, 4}));
    g_dwSearchFlags = 0;
    EXPECT_TRUE(SearchText(TRUE));
    EXPECT_EQ(PaneSel(), (Sel{0, 2}));
}

TEST_F(FindTest, SearchTextMissesBeepOnceAndLeaveTheSelection)
{
    SetPaneText("abc");
    SetFindTexts("abcd");
    SetSel(1, 2);
    g_dwSearchFlags = FR_DOWN;
    EXPECT_FALSE(SearchText(FALSE));
    EXPECT_EQ(PaneSel(), (Sel{1, 2}));
    EXPECT_EQ(Beeps(), 1);

    SetPaneText("");
    SetFindTexts("a");
    for (DWORD dwFlags : {0ul, 1ul}) {
        g_dwSearchFlags = dwFlags;
        EXPECT_FALSE(SearchText(TRUE));
        EXPECT_FALSE(SearchText(FALSE));
    }
    EXPECT_EQ(Beeps(), 5);

    // The case rule is fixed: ASCII letters only.
    SetPaneText("Die STRASSE, kein \xC4rger");
    SetFindTexts("strasse");
    SetSel(0, 0);
    g_dwSearchFlags = FR_DOWN;
    EXPECT_TRUE(SearchText(TRUE));
    EXPECT_EQ(PaneSel(), (Sel{4, 11}));
    SetFindTexts("\xE4rger");
    EXPECT_FALSE(SearchText(TRUE));
}

TEST_F(FindTest, AnEmptySearchTextCollapsesTheSelectionWithoutABeep)
{
    SetPaneText("abcdef");
    SetFindTexts("");
    struct Case {
        DWORD dwFlags;
        BOOL bFromEnd;
        DWORD caret;
    } cases[] = {{FR_DOWN, TRUE, 4}, {FR_DOWN, FALSE, 2}, {0, TRUE, 2}, {0, FALSE, 2}};
    for (const Case& c : cases) {
        SetSel(2, 4);
        g_dwSearchFlags = c.dwFlags;
        EXPECT_TRUE(SearchText(c.bFromEnd));
        EXPECT_EQ(PaneSel(), (Sel{c.caret, c.caret}));
    }
    EXPECT_EQ(Beeps(), 0);
}

TEST_F(FindTest, ReplaceAllWorkedCases)
{
    SetPaneText("a-a-a");
    SetFindTexts("a", "bb");
    SetSel(0, 0);
    Request(FR_REPLACEALL | FR_DOWN);
    EXPECT_EQ(PaneText(), "bb-bb-bb");
    EXPECT_EQ(PaneSel(), (Sel{0, 0}));
    EXPECT_EQ(Beeps(), 1);
    EXPECT_EQ(g_dwSearchFlags & FR_REPLACEALL, 0u);  // spent after hits

    SetPaneText("a-a-a");
    SetSel(2, 2);
    Request(FR_REPLACEALL | FR_DOWN);
    EXPECT_EQ(PaneText(), "a-bb-bb");
    EXPECT_EQ(PaneSel(), (Sel{0, 0}));

    SetPaneText("a-a");
    SetFindTexts("a", "aa");
    SetSel(0, 0);
    Request(FR_REPLACEALL | FR_DOWN);
    EXPECT_EQ(PaneText(), "aa-aa");

    ResetBeeps();
    SetPaneText("a-a-a");
    SetFindTexts("x", "bb");
    SetSel(1, 3);
    Request(FR_REPLACEALL | FR_DOWN);
    EXPECT_EQ(PaneText(), "a-a-a");
    EXPECT_EQ(PaneSel(), (Sel{1, 3}));
    EXPECT_EQ(Beeps(), 1);
    EXPECT_NE(g_dwSearchFlags & FR_REPLACEALL, 0u);  // stays: F3 tries again

    // Shift+F3 repeats it upwards from the selection: only the hit before it.
    SetFindTexts("a", "bb");
    PressKey(VK_F3, false, true, m_hAccel);
    EXPECT_EQ(PaneText(), "bb-a-a");
    EXPECT_EQ(PaneSel(), (Sel{0, 0}));
    EXPECT_EQ(g_dwSearchFlags & (FR_REPLACEALL | FR_DOWN), 0u);
}

TEST_F(FindTest, ReplaceAllEndsUpwardsAndWithAnEmptySearchText)
{
    // Upwards the replacement is found again at once; the run passes over it
    // and goes on before it.
    SetPaneText("a-a");
    SetFindTexts("a", "aa");
    SetSel(3, 3);
    Request(FR_REPLACEALL | FR_MATCHCASE);
    EXPECT_EQ(PaneText(), "aa-aa");

    SetPaneText("wort Wort wort");
    SetFindTexts("wort", "WORT");
    SetSel(14, 14);
    ResetBeeps();
    Request(FR_REPLACEALL);
    EXPECT_EQ(PaneText(), "WORT WORT WORT");
    EXPECT_EQ(PaneSel(), (Sel{0, 0}));
    EXPECT_EQ(Beeps(), 1);

    for (DWORD dwDown : {0ul, 1ul}) {
        SetPaneText("abc");
        SetFindTexts("", "x");
        SetSel(1, 2);
        ResetBeeps();
        Request(FR_REPLACEALL | dwDown);
        EXPECT_EQ(PaneText(), "abc");
        EXPECT_EQ(PaneSel(), (Sel{1, 2}));
        EXPECT_EQ(Beeps(), 1);
    }
}

TEST_F(FindTest, OneUndoTakesBackTheWholeReplaceAllAndNoWaitCursorStays)
{
    const std::string text = "eins zwei eins drei eins\r\nvier eins";
    SetPaneText(text);
    SetFindTexts("EINS", "1");
    SetSel(0, 0);
    const HCURSOR hcurBefore = SetCursor(LoadCursorA(NULL, IDC_IBEAM));
    Request(FR_REPLACEALL | FR_DOWN);
    EXPECT_EQ(GetCursor(), LoadCursorA(NULL, IDC_IBEAM));
    SetCursor(hcurBefore);
    EXPECT_EQ(PaneText(), "1 zwei 1 drei 1\r\nvier 1");
    Command(IDM_UNDO);
    EXPECT_EQ(PaneText(), text);
}

TEST_F(FindTest, ReplaceReplacesTheHitAtTheSelectionAndSelectsTheNext)
{
    SetPaneText("a-a-a");
    SetFindTexts("a", "bcd");
    SetSel(2, 3);
    Request(FR_REPLACE | FR_DOWN);
    EXPECT_EQ(PaneText(), "a-bcd-a");
    EXPECT_EQ(PaneSel(), (Sel{6, 7}));
    EXPECT_EQ(Beeps(), 0);

    // With the caret before a hit, that hit is replaced in the same step.
    SetPaneText("x-a-a");
    SetSel(0, 0);
    Request(FR_REPLACE | FR_DOWN);
    EXPECT_EQ(PaneText(), "x-bcd-a");
    EXPECT_EQ(PaneSel(), (Sel{6, 7}));

    // The last hit: replaced, then the search for the next one beeps.
    Request(FR_REPLACE | FR_DOWN);
    EXPECT_EQ(PaneText(), "x-bcd-bcd");
    EXPECT_EQ(Beeps(), 1);
    Request(FR_REPLACE | FR_DOWN);
    EXPECT_EQ(PaneText(), "x-bcd-bcd");
    EXPECT_EQ(Beeps(), 2);
}

// The one-change Replace All against replacing hit after hit through the pane
// itself, on generated cases. Where that plain loop never ends, the reference
// is the loop that passes over hits inside the text just inserted.
TEST_F(FindTest, ReplaceAllGivesWhatReplacingEachHitInThePaneGives)
{
    std::mt19937 rng(4711);
    int nChanged = 0, nNeverEnding = 0;
    for (int round = 0; round < 80; ++round) {
        const std::string text = RandomText(rng, 20, round % 2 == 0);
        std::string find = RandomText(rng, 2, round % 2 == 0);
        if (find.empty())
            find = "A";
        const std::string replace = round % 4 == 0 ? find + "a" : RandomText(rng, 4, round % 3 == 0);
        const DWORD dwFlags = (round & 1 ? FR_DOWN : 0) | ((round >> 1) & 1 ? FR_MATCHCASE : 0);
        const DWORD a = std::uniform_int_distribution<DWORD>(0, static_cast<DWORD>(text.size()))(rng);
        const DWORD b = std::uniform_int_distribution<DWORD>(a, static_cast<DWORD>(text.size()))(rng);
        SetFindTexts(find, replace);

        // Replacing hit after hit, as the dialog's one-by-one loop would; a run
        // that ends takes each hit at a new position of the text.
        SetPaneText(text);
        SetSel(a, b);
        g_dwSearchFlags = dwFlags;
        ResetBeeps();
        bool bEnded = true;
        if (SearchText(FALSE)) {
            int nSteps = 0;
            do {
                SendMessageA(g_hwndEdit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(g_szReplaceWith));
                bEnded = ++nSteps <= 60;
            } while (bEnded && SearchText(TRUE));
            SetSel(0, 0);
        }
        std::string expectedText = PaneText();
        const Sel expectedSel = PaneSel();
        int nExpectedBeeps = Beeps();
        if (!bEnded) {
            const LoopOutcome mended = ReplaceAllByLoop(text, a, find, replace, dwFlags & FR_DOWN,
                                                        dwFlags & FR_MATCHCASE, true);
            expectedText = mended.text;
            nExpectedBeeps = mended.nBeeps;
            ++nNeverEnding;
        }

        SetPaneText(text);
        SetSel(a, b);
        ResetBeeps();
        Request(FR_REPLACEALL | dwFlags);
        ASSERT_EQ(PaneText(), expectedText) << "text '" << text << "' find '" << find << "' by '"
                                            << replace << "' sel " << a << "-" << b << " flags " << dwFlags;
        ASSERT_EQ(PaneSel(), expectedSel);
        ASSERT_EQ(Beeps(), nExpectedBeeps);
        nChanged += expectedText != text;
    }
    EXPECT_GT(nChanged, 20);
    EXPECT_GT(nNeverEnding, 3);
}

TEST_F(FindTest, F3AndShiftF3BeforeAnySearchOpenTheFindDialog)
{
    PressKey(VK_F3, false, false, m_hAccel);
    ASSERT_TRUE(g_hwndFindDlg && IsWindow(g_hwndFindDlg));
    // (Wine's dialog clears the record's flags on any notification of its
    // controls, so the record is looked at only before a dialog opens.)
    EXPECT_EQ(IsDlgButtonChecked(g_hwndFindDlg, kUpButton), BST_UNCHECKED);
    SendMessageA(g_hwndFindDlg, WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(g_hwndFindDlg, nullptr);

    g_findReplace.Flags |= FR_DOWN;
    SetFocus(g_hwndEdit);
    PressKey(VK_F3, false, true, m_hAccel);
    ASSERT_TRUE(g_hwndFindDlg && IsWindow(g_hwndFindDlg));
    EXPECT_EQ(IsDlgButtonChecked(g_hwndFindDlg, kUpButton), BST_CHECKED);
    EXPECT_EQ(g_dwSearchFlags, 0u);
}

TEST_F(FindTest, TheFindDialogSearchesAndClosingItFocusesThePane)
{
    SetPaneText("abc ABC abc ABC");
    SetSel(0, 0);
    OpenDialog(IDM_FIND);
    SetDlgItemTextA(g_hwndFindDlg, kFindWhatEdit, "ABC");
    Click(IDOK);
    EXPECT_EQ(PaneSel(), (Sel{0, 3}));
    Click(kMatchCaseBox);
    Click(IDOK);
    EXPECT_EQ(PaneSel(), (Sel{4, 7}));
    Click(IDOK);
    EXPECT_EQ(PaneSel(), (Sel{12, 15}));
    Click(kUpButton);
    Click(IDOK);
    EXPECT_EQ(PaneSel(), (Sel{4, 7}));
    EXPECT_EQ(Beeps(), 0);
    Click(IDOK);
    EXPECT_EQ(Beeps(), 1);
    EXPECT_EQ(PaneSel(), (Sel{4, 7}));
    EXPECT_EQ(g_dwSearchFlags & (FR_FINDNEXT | FR_MATCHCASE | FR_DOWN), DWORD(FR_FINDNEXT | FR_MATCHCASE));

    // Changed but not used: closing keeps the last request's case rule.
    Click(kMatchCaseBox);
    HWND hwndDlg = g_hwndFindDlg;
    SendMessageA(hwndDlg, WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(g_hwndFindDlg, nullptr);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(hwndDlg); }));
    EXPECT_EQ(GetFocus(), g_hwndEdit);

    // Closed: F3 goes down and Shift+F3 up, with the request's case rule.
    SetSel(0, 0);
    PressKey(VK_F3, false, false, m_hAccel);
    EXPECT_EQ(PaneSel(), (Sel{4, 7}));
    PressKey(VK_F3, false, false, m_hAccel);
    EXPECT_EQ(PaneSel(), (Sel{12, 15}));
    EXPECT_NE(g_dwSearchFlags & FR_DOWN, 0u);
    PressKey(VK_F3, false, true, m_hAccel);
    EXPECT_EQ(PaneSel(), (Sel{4, 7}));
    EXPECT_EQ(g_dwSearchFlags & FR_DOWN, 0u);
    EXPECT_EQ(PaneText(), "abc ABC abc ABC");  // F3 typed nothing
}

TEST_F(FindTest, WithADialogOpenF3RepeatsTheDialogsRequestInItsDirection)
{
    SetPaneText("xy xy xy");
    SetSel(8, 8);
    OpenDialog(IDM_FIND);
    SetDlgItemTextA(g_hwndFindDlg, kFindWhatEdit, "xy");
    Click(kUpButton);
    Click(IDOK);
    EXPECT_EQ(PaneSel(), (Sel{6, 8}));
    SetFocus(g_hwndEdit);
    PressKey(VK_F3, false, false, m_hAccel);  // up, as the dialog says, not down
    EXPECT_EQ(PaneSel(), (Sel{3, 5}));
}

// Never two dialogs on the one record: the same command comes back to its
// dialog, the other one takes its place with the search text typed so far.
TEST_F(FindTest, FindAndReplaceKeepOneDialogOpen)
{
    SetPaneText("xy xy");
    OpenDialog(IDM_FIND);
    const HWND hwndFind = g_hwndFindDlg;
    SetDlgItemTextA(hwndFind, kFindWhatEdit, "xy");
    SetFocus(g_hwndEdit);
    PressKey('F', true, false, m_hAccel);
    EXPECT_EQ(g_hwndFindDlg, hwndFind);
    EXPECT_EQ(GetFocus(), GetDlgItem(hwndFind, kFindWhatEdit));
    EXPECT_EQ(ShownDialogs(), 1);

    SetFocus(g_hwndEdit);
    PressKey('R', true, false, m_hAccel);
    ASSERT_TRUE(g_hwndFindDlg && GetDlgItem(g_hwndFindDlg, kReplaceWithEdit));
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(hwndFind); }));
    EXPECT_EQ(ShownDialogs(), 1);
    char szText[FIND_TEXT_SIZE] = "";
    GetDlgItemTextA(g_hwndFindDlg, kFindWhatEdit, szText, sizeof szText);
    EXPECT_STREQ(szText, "xy");

    // The remaining dialog is the loop's: its keys and its buttons work.
    SetDlgItemTextA(g_hwndFindDlg, kReplaceWithEdit, "z");
    SetSel(0, 0);
    Click(kReplaceAllButton);
    EXPECT_EQ(PaneText(), "z z");
    SetFocus(g_hwndEdit);
    PressKey('F', true, false, m_hAccel);
    ASSERT_TRUE(g_hwndFindDlg && !GetDlgItem(g_hwndFindDlg, kReplaceWithEdit));
    EXPECT_TRUE(PumpUntil([&] { return ShownDialogs() == 1; }));
    SetFocus(GetDlgItem(g_hwndFindDlg, kFindWhatEdit));
    PressKey(VK_ESCAPE, false, false, m_hAccel);
    EXPECT_TRUE(PumpUntil([&] { return g_hwndFindDlg == nullptr && ShownDialogs() == 0; }));
}

TEST_F(FindTest, TheReplaceDialogReplacesAndReplacesAll)
{
    SetPaneText("Hund und hund und HUND");
    SetSel(0, 0);
    OpenDialog(IDM_REPLACE);
    SetDlgItemTextA(g_hwndFindDlg, kFindWhatEdit, "hund");
    SetDlgItemTextA(g_hwndFindDlg, kReplaceWithEdit, "Katze");
    Click(IDOK);
    EXPECT_EQ(PaneSel(), (Sel{0, 4}));
    Click(kReplaceButton);
    EXPECT_EQ(PaneText(), "Katze und hund und HUND");
    EXPECT_EQ(PaneSel(), (Sel{10, 14}));
    Click(kMatchCaseBox);
    Click(kReplaceAllButton);
    EXPECT_EQ(PaneText(), "Katze und Katze und HUND");
    EXPECT_EQ(PaneSel(), (Sel{0, 0}));
    EXPECT_EQ(Beeps(), 1);

    // Closed after a Replace All with hits: F3 has no request left to repeat.
    SendMessageA(g_hwndFindDlg, WM_COMMAND, IDCANCEL, 0);
    ResetBeeps();
    PressKey(VK_F3, false, false, m_hAccel);
    EXPECT_EQ(PaneText(), "Katze und Katze und HUND");
    EXPECT_EQ(Beeps(), 0);
    EXPECT_EQ(g_hwndFindDlg, nullptr);
}
