// The context menu, its graying, and the editing commands.
#include "support/harness.h"

#include <cstring>

#include "edit/editcmd.h"
#include "res/resource.h"
#include "support/process.h"

using EditCommandTest = EditorTest;

namespace {

bool Grayed(UINT uId)
{
    return (GetMenuState(g_hMenu, uId, MF_BYCOMMAND) & MF_GRAYED) != 0;
}

void PutOnClipboard(UINT uFormat, const void* data, size_t size)
{
    ASSERT_TRUE(OpenClipboard(g_hwndMain));
    EmptyClipboard();
    if (data) {
        HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, size);
        memcpy(GlobalLock(h), data, size);
        GlobalUnlock(h);
        SetClipboardData(uFormat, h);
    }
    CloseClipboard();
}

std::string ClipboardText()
{
    std::string text;
    if (OpenClipboard(g_hwndMain)) {
        if (HANDLE h = GetClipboardData(CF_TEXT)) {
            text = static_cast<const char*>(GlobalLock(h));
            GlobalUnlock(h);
        }
        CloseClipboard();
    }
    return text;
}

// What the context menu looked like while it was open.
struct MenuSeen {
    bool bShown = false;
    RECT rc = {};
    bool bCutGrayed = false, bPasteGrayed = false, bUndoGrayed = false;
};
MenuSeen g_seen;

DWORD g_dwMenuAsked;

// The popup runs a modal loop; a thread timer fires inside it, records what
// is on screen and closes the menu again, or gives up after a few seconds.
void CALLBACK WatchMenuProc(HWND, UINT, UINT_PTR idTimer, DWORD)
{
    HWND hwndMenu = FindProcessWindow(GetCurrentProcessId(), "#32768", true);
    if (!hwndMenu && GetTickCount() - g_dwMenuAsked < 5000)
        return;
    if (hwndMenu) {
        g_seen.bShown = true;
        GetWindowRect(hwndMenu, &g_seen.rc);
        g_seen.bCutGrayed = Grayed(IDM_CUT);
        g_seen.bPasteGrayed = Grayed(IDM_PASTE);
        g_seen.bUndoGrayed = Grayed(IDM_UNDO);
    }
    KillTimer(NULL, idTimer);
    EndMenu();
}

MenuSeen OpenContextMenu(LPARAM lParam)
{
    g_seen = MenuSeen();
    g_dwMenuAsked = GetTickCount();
    UINT_PTR id = SetTimer(NULL, 0, 20, WatchMenuProc);
    SendMessageA(g_hwndEdit, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(g_hwndEdit), lParam);
    KillTimer(NULL, id);
    return g_seen;
}

}  // namespace

TEST_F(EditCommandTest, TheContextMenuOpensAtTheMouseOrAtThePaneCorner)
{
    MenuSeen seen = OpenContextMenu(MAKELPARAM(150, 120));
    ASSERT_TRUE(seen.bShown);
    EXPECT_EQ(seen.rc.left, 150);
    EXPECT_EQ(seen.rc.top, 120);

    SetWindowPos(g_hwndMain, NULL, 60, 40, 500, 400, SWP_NOZORDER);
    Pump();
    RECT pane;
    GetWindowRect(g_hwndEdit, &pane);
    seen = OpenContextMenu(-1);
    ASSERT_TRUE(seen.bShown);
    EXPECT_EQ(seen.rc.left, pane.left);
    EXPECT_EQ(seen.rc.top, pane.top);
}

TEST_F(EditCommandTest, TheContextMenuGraysWhatCannotApply)
{
    PutOnClipboard(CF_TEXT, "clip", 5);
    SetPaneText("hello");
    MenuSeen seen = OpenContextMenu(MAKELPARAM(100, 100));
    ASSERT_TRUE(seen.bShown);
    EXPECT_TRUE(seen.bCutGrayed);
    EXPECT_FALSE(seen.bPasteGrayed);
    EXPECT_TRUE(seen.bUndoGrayed);

    SendMessageA(g_hwndEdit, EM_SETSEL, 0, 2);
    SendMessageA(g_hwndEdit, WM_CHAR, 'J', 1);
    SendMessageA(g_hwndEdit, EM_SETSEL, 0, 2);
    PutOnClipboard(CF_TEXT, nullptr, 0);
    seen = OpenContextMenu(MAKELPARAM(100, 100));
    ASSERT_TRUE(seen.bShown);
    EXPECT_FALSE(seen.bCutGrayed);
    EXPECT_TRUE(seen.bPasteGrayed);
    EXPECT_FALSE(seen.bUndoGrayed);
}

TEST_F(EditCommandTest, GrayingFollowsSelectionUndoAndClipboard)
{
    SetPaneText("hello");
    UpdateEditMenuItems();
    for (UINT uId : {IDM_UNDO, IDM_CUT, IDM_COPY, IDM_DELETE})
        EXPECT_TRUE(Grayed(uId)) << uId;

    Command(IDM_SELECTALL);
    UpdateEditMenuItems();
    for (UINT uId : {IDM_CUT, IDM_COPY, IDM_DELETE})
        EXPECT_FALSE(Grayed(uId)) << uId;

    // Only a picture on the clipboard: nothing to paste into text.
    const BITMAPINFOHEADER dib = {sizeof dib, 1, 1, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    char bits[sizeof dib + 4] = {};
    memcpy(bits, &dib, sizeof dib);
    PutOnClipboard(CF_DIB, bits, sizeof bits);
    UpdateEditMenuItems();
    EXPECT_TRUE(Grayed(IDM_PASTE));
    PutOnClipboard(CF_TEXT, "x", 2);
    UpdateEditMenuItems();
    EXPECT_FALSE(Grayed(IDM_PASTE));

    // Items the pane's state has nothing to do with are never grayed.
    for (UINT uId : {IDM_NEW, IDM_OPEN, IDM_SAVE, IDM_SAVEAS, IDM_SELECTALL, IDM_DATETIME,
                     IDM_RECORD, IDM_FIND, IDM_REPLACE, IDM_FINDNEXT, IDM_WORDWRAP})
        EXPECT_FALSE(Grayed(uId)) << uId;
}

TEST_F(EditCommandTest, SelectAllOnAnEmptyTextLeavesCutGrayed)
{
    Command(IDM_SELECTALL);
    UpdateEditMenuItems();
    EXPECT_TRUE(Grayed(IDM_CUT));
}

TEST_F(EditCommandTest, ASelectionBeyondSixtyFourKilobytesEnablesCut)
{
    // 65,536 characters: both 16-bit halves of the packed selection read 0.
    SetPaneText(std::string(65536, 'z'));
    SendMessageA(g_hwndEdit, EM_SETSEL, 0, 65536);
    UpdateEditMenuItems();
    EXPECT_FALSE(Grayed(IDM_CUT));
    EXPECT_FALSE(Grayed(IDM_COPY));
}

TEST_F(EditCommandTest, ClipboardCommandsMoveTheSelection)
{
    SetPaneText("alpha beta");
    SendMessageA(g_hwndEdit, EM_SETSEL, 0, 6);
    Command(IDM_COPY);
    EXPECT_EQ(ClipboardText(), "alpha ");
    EXPECT_EQ(PaneText(), "alpha beta");
    Command(IDM_CUT);
    EXPECT_EQ(PaneText(), "beta");
    SendMessageA(g_hwndEdit, EM_SETSEL, 4, 4);
    Command(IDM_PASTE);
    EXPECT_EQ(PaneText(), "betaalpha ");
    SendMessageA(g_hwndEdit, EM_SETSEL, 0, 4);
    Command(IDM_DELETE);
    EXPECT_EQ(PaneText(), "alpha ");
    Command(IDM_UNDO);
    EXPECT_EQ(PaneText(), "betaalpha ");
}

TEST_F(EditCommandTest, UndoWithNothingToUndoDoesNothing)
{
    SetPaneText("fresh");
    SendMessageA(g_hwndEdit, EM_EMPTYUNDOBUFFER, 0, 0);
    Command(IDM_UNDO);
    EXPECT_EQ(PaneText(), "fresh");
}

// The date and time come from the user's locale; the expectation is built
// from the same time with the flags each form asks for.
static std::string Expected(const SYSTEMTIME& st, DWORD dwDate, DWORD dwTime)
{
    char date[100], time[100];
    GetDateFormatA(LOCALE_USER_DEFAULT, dwDate, &st, NULL, date, sizeof date);
    GetTimeFormatA(LOCALE_USER_DEFAULT, dwTime, &st, NULL, time, sizeof time);
    return std::string(date) + " " + time;
}

static bool MatchesNow(const std::string& text, const SYSTEMTIME& before, DWORD dwDate, DWORD dwTime)
{
    SYSTEMTIME after;
    GetLocalTime(&after);
    return text == Expected(before, dwDate, dwTime) || text == Expected(after, dwDate, dwTime);
}

TEST_F(EditCommandTest, DateTimeInsertsShortOrLongFormAtTheCaret)
{
    SetPaneText("[]");
    SendMessageA(g_hwndEdit, EM_SETSEL, 1, 1);
    SYSTEMTIME st;
    GetLocalTime(&st);
    Command(IDM_DATETIME);
    std::string text = PaneText();
    ASSERT_GE(text.size(), 2u);
    EXPECT_EQ(text.front(), '[');
    EXPECT_EQ(text.back(), ']');
    EXPECT_TRUE(MatchesNow(text.substr(1, text.size() - 2), st, DATE_SHORTDATE, TIME_NOSECONDS)) << text;

    SetPaneText("replace me");
    SendMessageA(g_hwndEdit, EM_SETSEL, 0, 7);
    GetLocalTime(&st);
    Command(IDM_DATETIME_LONG);
    text = PaneText();
    ASSERT_GT(text.size(), 3u);
    EXPECT_EQ(text.substr(text.size() - 3), " me");
    EXPECT_TRUE(MatchesNow(text.substr(0, text.size() - 3), st, DATE_LONGDATE, 0)) << text;

    Command(IDM_UNDO);
    EXPECT_EQ(PaneText(), "replace me");
}

TEST(FormatDateTime, StaysInsideItsBufferAndNeverCutsAPart)
{
    const SYSTEMTIME st = {2026, 12, 2, 8, 9, 5, 7, 0};
    char full[DATETIME_SIZE];
    const int cchFull = FormatDateTime(&st, TRUE, full, DATETIME_SIZE);
    ASSERT_GT(cchFull, 0);
    ASSERT_EQ(cchFull, static_cast<int>(strlen(full)));
    char date[DATETIME_SIZE];
    const int cbDate = GetDateFormatA(LOCALE_USER_DEFAULT, DATE_LONGDATE, &st, NULL, date, sizeof date);
    ASSERT_GT(cbDate, 1);
    EXPECT_EQ(std::string(full, cbDate - 1), date);
    EXPECT_EQ(full[cbDate - 1], ' ');

    // Every size from none to enough: the text is the whole date and time,
    // the date alone, or nothing, and no byte past the size is touched.
    for (int cb = 0; cb <= cchFull + 1; ++cb) {
        char buf[DATETIME_SIZE + 8];
        memset(buf, '#', sizeof buf);
        const int n = FormatDateTime(&st, TRUE, buf, cb);
        for (int i = cb; i < static_cast<int>(sizeof buf); ++i)
            ASSERT_EQ(buf[i], '#') << "size " << cb << " wrote at " << i;
        if (cb < cbDate) {
            EXPECT_EQ(n, 0) << cb;
        } else if (cb <= cchFull) {
            EXPECT_EQ(std::string(buf, n), date) << cb;
        } else {
            EXPECT_EQ(std::string(buf, n), std::string(full)) << cb;
        }
        if (cb > 0) {
            EXPECT_EQ(buf[n], '\0');
        }
    }
}
