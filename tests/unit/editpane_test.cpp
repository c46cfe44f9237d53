// The edit pane: font, layout, the lifted text limit, and word wrap by
// re-creating the control without losing anything.
#include "support/harness.h"

#include "edit/editcmd.h"
#include "edit/editpane.h"
#include "edit/textbuffer.h"
#include "res/resource.h"

using EditPaneTest = EditorTest;

namespace {

struct Selection {
    DWORD start, end;
    bool operator==(const Selection& o) const { return start == o.start && end == o.end; }
};

Selection GetSelection()
{
    Selection sel = {};
    SendMessageA(g_hwndEdit, EM_GETSEL, reinterpret_cast<WPARAM>(&sel.start),
                 reinterpret_cast<LPARAM>(&sel.end));
    return sel;
}

bool WordWrapChecked()
{
    return (GetMenuState(g_hMenu, IDM_WORDWRAP, MF_BYCOMMAND) & MF_CHECKED) != 0;
}

// Every byte value but NUL, in lines, so a conversion or a cut would show.
// Not 0x98 either: Wine 8's Edit control faults on it (U+02DC) among other
// high bytes, before this program is involved.
std::string SampleText(size_t size)
{
    std::string text;
    for (size_t i = 0; text.size() < size; ++i)
        text += static_cast<char>(1 + i % 255);
    text.resize(size);
    // A lone CR or LF would be rewritten by the control; keep line ends whole.
    for (char& c : text)
        if (c == '\r' || c == '\n' || c == '\x98')
            c = 'x';
    for (size_t i = 60; i + 1 < text.size(); i += 80) {
        text[i] = '\r';
        text[i + 1] = '\n';
    }
    return text;
}

// The pane covers the client area, and its formatting rectangle keeps clear
// of the scroll bars.
void ExpectPaneFillsTheClientArea()
{
    RECT client, pane, format;
    GetClientRect(g_hwndMain, &client);
    GetWindowRect(g_hwndEdit, &pane);
    MapWindowPoints(NULL, g_hwndMain, reinterpret_cast<POINT*>(&pane), 2);
    EXPECT_EQ(pane.left, 0);
    EXPECT_EQ(pane.top, 0);
    EXPECT_EQ(pane.right, client.right);
    EXPECT_EQ(pane.bottom, client.bottom);

    // The control reports the rectangle with its own margins inside it.
    SendMessageA(g_hwndEdit, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
    const LRESULT margins = SendMessageA(g_hwndEdit, EM_GETMARGINS, 0, 0);
    EXPECT_EQ(format.left, 1 + LOWORD(margins));
    EXPECT_EQ(format.top, 1);
    EXPECT_EQ(format.right, client.right - GetSystemMetrics(SM_CYVTHUMB) - 1 - HIWORD(margins));
    // The control trims the bottom to whole lines; it may only shrink.
    const LONG bottom = client.bottom - 1 - (g_bWordWrap ? 0 : GetSystemMetrics(SM_CXHTHUMB));
    EXPECT_LE(format.bottom, bottom);
    EXPECT_GT(format.bottom, bottom - 20);
}

// A new pane that keeps only half of any text it is given.
WNDPROC g_pfnHalfEdit;

LRESULT CALLBACK HalfTextProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == WM_SETTEXT && lParam) {
        std::string half(reinterpret_cast<const char*>(lParam));
        half.resize(half.size() / 2);
        return CallWindowProcA(g_pfnHalfEdit, hwnd, uMsg, wParam, reinterpret_cast<LPARAM>(half.c_str()));
    }
    return CallWindowProcA(g_pfnHalfEdit, hwnd, uMsg, wParam, lParam);
}

LRESULT CALLBACK HalveNewPanesProc(int code, WPARAM wParam, LPARAM lParam)
{
    char cls[16] = "";
    if (code == HCBT_CREATEWND && GetClassNameA(reinterpret_cast<HWND>(wParam), cls, sizeof cls) &&
        lstrcmpiA(cls, "Edit") == 0)
        g_pfnHalfEdit = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
            reinterpret_cast<HWND>(wParam), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(HalfTextProc)));
    return CallNextHookEx(NULL, code, wParam, lParam);
}

}  // namespace

TEST_F(EditPaneTest, UsesTheFixedsysFontAtNineUnits)
{
    ASSERT_NE(g_hFont, nullptr);
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(g_hwndEdit, WM_GETFONT, 0, 0)), g_hFont);
    LOGFONTA lf = {};
    ASSERT_TRUE(GetObjectA(g_hFont, sizeof lf, &lf));
    EXPECT_STREQ(lf.lfFaceName, "Fixedsys");
    EXPECT_EQ(lf.lfHeight, 9);
    EXPECT_EQ(lf.lfWeight, FW_NORMAL);
    EXPECT_EQ(lf.lfCharSet, ANSI_CHARSET);
    EXPECT_EQ(GetWindowLongPtrA(g_hwndEdit, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(EditSubclassProc));
}

TEST_F(EditPaneTest, FillsTheClientAreaAndFollowsItsSize)
{
    for (int round = 0; round < 2; ++round) {
        SetWindowPos(g_hwndMain, NULL, 0, 0, 420 + 100 * round, 300 + 50 * round,
                     SWP_NOZORDER | SWP_NOMOVE);
        Pump();
        ExpectPaneFillsTheClientArea();
        Command(IDM_WORDWRAP);
    }
}

// A minimized window has no client area; the restored one must get its whole
// layout back, the formatting rectangle included.
TEST_F(EditPaneTest, SurvivesMinimizeAndRestore)
{
    SetPaneText("kept");
    ShowWindow(g_hwndMain, SW_MINIMIZE);
    Pump();
    ShowWindow(g_hwndMain, SW_RESTORE);
    Pump();
    RECT client;
    GetClientRect(g_hwndMain, &client);
    ASSERT_GT(client.right, 0);
    ExpectPaneFillsTheClientArea();
    EXPECT_EQ(PaneText(), "kept");
}

TEST_F(EditPaneTest, ALongDocumentStillTakesTypingAndReplacements)
{
    std::string longText;
    while (longText.size() < 40000)
        longText += std::string(78, 'a') + "\r\n";
    for (int round = 0; round < 2; ++round) {
        SetPaneText(longText);
        const WPARAM end = longText.size();
        SendMessageA(g_hwndEdit, EM_SETSEL, end, end);
        SendMessageA(g_hwndEdit, WM_CHAR, 'b', 1);
        SendMessageA(g_hwndEdit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>("cd"));
        EXPECT_EQ(PaneText(), longText + "bcd");
        Command(IDM_WORDWRAP);  // the replacement pane must be just as open
    }
}

TEST_F(EditPaneTest, WordWrapSwapsTheStyleAndKeepsTextSelectionAndFlag)
{
    const std::string text = SampleText(5000);
    SetPaneText(text);
    SendMessageA(g_hwndEdit, EM_SETSEL, 17, 4321);
    SendMessageA(g_hwndEdit, EM_SETMODIFY, TRUE, 0);
    HWND hwndOld = g_hwndEdit;

    Command(IDM_WORDWRAP);
    EXPECT_TRUE(g_bWordWrap);
    EXPECT_TRUE(WordWrapChecked());
    EXPECT_NE(g_hwndEdit, hwndOld);
    EXPECT_FALSE(IsWindow(hwndOld));
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(g_hwndEdit, GWL_STYLE)), EDIT_STYLE_WRAP | WS_VISIBLE);
    EXPECT_EQ(PaneText(), text);
    EXPECT_EQ(GetSelection(), (Selection{17, 4321}));
    EXPECT_NE(SendMessageA(g_hwndEdit, EM_GETMODIFY, 0, 0), 0);
    EXPECT_EQ(SendMessageA(g_hwndEdit, EM_CANUNDO, 0, 0), 0);
    EXPECT_EQ(GetFocus(), g_hwndEdit);
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(g_hwndEdit, WM_GETFONT, 0, 0)), g_hFont);
    EXPECT_EQ(GetWindowLongPtrA(g_hwndEdit, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(EditSubclassProc));
    EXPECT_EQ(FindWindowExA(g_hwndMain, NULL, "Edit", NULL), g_hwndEdit);
    EXPECT_EQ(FindWindowExA(g_hwndMain, g_hwndEdit, "Edit", NULL), nullptr);

    SendMessageA(g_hwndEdit, EM_SETMODIFY, FALSE, 0);
    Command(IDM_WORDWRAP);
    EXPECT_FALSE(g_bWordWrap);
    EXPECT_FALSE(WordWrapChecked());
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(g_hwndEdit, GWL_STYLE)), EDIT_STYLE_NOWRAP | WS_VISIBLE);
    EXPECT_EQ(PaneText(), text);
    EXPECT_EQ(GetSelection(), (Selection{17, 4321}));
    EXPECT_EQ(SendMessageA(g_hwndEdit, EM_GETMODIFY, 0, 0), 0);
}

TEST_F(EditPaneTest, ABackwardSelectionReturnsWithTheCaretAtItsEnd)
{
    SetPaneText("one two three four");
    SendMessageA(g_hwndEdit, EM_SETSEL, 12, 4);
    Command(IDM_WORDWRAP);
    EXPECT_EQ(GetSelection(), (Selection{4, 12}));
    POINT caret;
    GetCaretPos(&caret);
    const LRESULT pos = SendMessageA(g_hwndEdit, EM_POSFROMCHAR, 12, 0);
    EXPECT_EQ(caret.x, static_cast<short>(LOWORD(pos)));
}

TEST_F(EditPaneTest, WrappedLinesBreakAtThePaneWidth)
{
    SetPaneText(std::string(2000, 'w'));
    EXPECT_EQ(SendMessageA(g_hwndEdit, EM_GETLINECOUNT, 0, 0), 1);
    Command(IDM_WORDWRAP);
    const LRESULT lines = SendMessageA(g_hwndEdit, EM_GETLINECOUNT, 0, 0);
    EXPECT_GT(lines, 1);
    SetWindowPos(g_hwndMain, NULL, 0, 0, 300, 400, SWP_NOZORDER | SWP_NOMOVE);
    Pump();
    EXPECT_GT(SendMessageA(g_hwndEdit, EM_GETLINECOUNT, 0, 0), lines);
}

TEST_F(EditPaneTest, AFailedRecreationKeepsTheOldPaneAndItsState)
{
    const std::string text = SampleText(3000);
    SetPaneText(text);
    SendMessageA(g_hwndEdit, EM_SETSEL, 5, 50);
    SendMessageA(g_hwndEdit, EM_SETMODIFY, TRUE, 0);
    HWND hwndOld = g_hwndEdit;
    {
        WindowCreationBlocker blocker("Edit");
        Command(IDM_WORDWRAP);
        EXPECT_EQ(blocker.Blocked(), 1);
    }
    EXPECT_EQ(g_hwndEdit, hwndOld);
    EXPECT_TRUE(IsWindowVisible(g_hwndEdit));
    EXPECT_FALSE(g_bWordWrap);
    EXPECT_FALSE(WordWrapChecked());
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(g_hwndEdit, GWL_STYLE)), EDIT_STYLE_NOWRAP | WS_VISIBLE);
    EXPECT_EQ(PaneText(), text);
    EXPECT_EQ(GetSelection(), (Selection{5, 50}));
    EXPECT_NE(SendMessageA(g_hwndEdit, EM_GETMODIFY, 0, 0), 0);
    EXPECT_EQ(GetWindowLongPtrA(g_hwndEdit, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(EditSubclassProc));

    // A new pane that takes only part of the text is not swapped in either.
    HHOOK hHook = SetWindowsHookExA(WH_CBT, HalveNewPanesProc, NULL, GetCurrentThreadId());
    Command(IDM_WORDWRAP);
    UnhookWindowsHookEx(hHook);
    EXPECT_EQ(g_hwndEdit, hwndOld);
    EXPECT_EQ(PaneText(), text);

    // Once creation works again, the toggle goes through as usual.
    Command(IDM_WORDWRAP);
    EXPECT_TRUE(g_bWordWrap);
    EXPECT_TRUE(WordWrapChecked());
    EXPECT_EQ(PaneText(), text);
}

// The copies the commands work on: the whole text with its NUL, or an empty
// zero-filled block of a preset size plus one.
TEST_F(EditPaneTest, TextCopiesHoldTheTextAndItsEnd)
{
    SetPaneText("abc");
    TextBuffer copy = {};
    ASSERT_TRUE(GetEditText(g_hwndEdit, &copy));
    EXPECT_STREQ(copy.pszText, "abc");
    EXPECT_EQ(copy.cchText, 3u);
    EXPECT_GE(GlobalSize(copy.pszText), 4u);
    FreeEditText(&copy);
    TextBuffer block = {NULL, 100};
    ASSERT_TRUE(GetEditText(NULL, &block));
    EXPECT_GE(GlobalSize(block.pszText), 101u);
    EXPECT_EQ(std::string(block.pszText, 101), std::string(101, '\0'));
    FreeEditText(&block);
    EXPECT_EQ(block.pszText, nullptr);
    // The block a preset size cannot ask for: an empty text (an empty file).
    ASSERT_TRUE(AllocateText(&block, 0));
    EXPECT_EQ(block.cchText, 0u);
    EXPECT_STREQ(block.pszText, "");
    FreeEditText(&block);
}

TEST_F(EditPaneTest, ALargeDocumentCrossesAToggleByteForByte)
{
    const std::string text = SampleText(120000);
    SetPaneText(text);
    Command(IDM_WORDWRAP);
    EXPECT_EQ(PaneText(), text);
}
