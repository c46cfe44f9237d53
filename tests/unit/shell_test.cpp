// Start, loop and routing of the main window, run in this process.
#include "support/harness.h"

#include "app/shell.h"
#include "edit/editpane.h"
#include "res/resource.h"

using ShellTest = EditorTest;

TEST_F(ShellTest, StartShowsTheMainWindowWithAnEmptyFocusedPane)
{
    char cls[64] = "";
    GetClassNameA(g_hwndMain, cls, sizeof cls);
    EXPECT_STREQ(cls, "WndClassTekstor");
    EXPECT_EQ(WindowText(g_hwndMain), "Tekstor - Unbenannt");
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(g_hwndMain, GWL_STYLE)) & ~WS_CLIPSIBLINGS,
              static_cast<DWORD>(WS_OVERLAPPEDWINDOW | WS_VISIBLE));
    // 0x40300, and a drop target.
    const DWORD dwExStyle = 0x40300u | WS_EX_ACCEPTFILES;
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(g_hwndMain, GWL_EXSTYLE)) & dwExStyle, dwExStyle);
    EXPECT_EQ(GetMenu(g_hwndMain), nullptr);
    EXPECT_EQ(reinterpret_cast<HICON>(GetClassLongPtrA(g_hwndMain, GCLP_HICON)),
              LoadIconA(g_hInstance, MAKEINTRESOURCEA(IDI_MAIN)));

    ASSERT_NE(g_hwndEdit, nullptr);
    EXPECT_EQ(GetParent(g_hwndEdit), g_hwndMain);
    EXPECT_EQ(GetDlgCtrlID(g_hwndEdit), 0);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(g_hwndEdit, GWL_STYLE)), EDIT_STYLE_NOWRAP | WS_VISIBLE);
    EXPECT_EQ(GetWindowLongA(g_hwndEdit, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
    EXPECT_EQ(PaneText(), "");
    EXPECT_EQ(SendMessageA(g_hwndEdit, EM_GETMODIFY, 0, 0), 0);
    EXPECT_EQ(GetFocus(), g_hwndEdit);
    EXPECT_FALSE(g_bWordWrap);
}

TEST(ShellStart, TheArgumentStringIsTheFirstPostedMessage)
{
    static wchar_t szArgs[] = L"some file.txt";
    HACCEL hAccel;
    ASSERT_TRUE(StartInstance(GetModuleHandleA(NULL), NULL, szArgs, SW_SHOW, &hAccel));
    EXPECT_NE(g_uFindReplaceMsg, 0u);
    EXPECT_EQ(g_uFindReplaceMsg, RegisterWindowMessageA("commdlg_FindReplace"));
    // The whole queue, in order: only the pane's own work (its caret scroll,
    // posted while it is built) may come before the argument string.
    // Bounded: a pane's paint message stays in the queue until it is painted.
    MSG msg = {};
    for (int i = 0; i < 20 && PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE) && msg.hwnd != g_hwndMain; ++i)
        EXPECT_EQ(msg.hwnd, g_hwndEdit) << msg.message;
    EXPECT_EQ(msg.hwnd, g_hwndMain);
    EXPECT_EQ(msg.message, static_cast<UINT>(WMU_OPENARGS));
    EXPECT_EQ(msg.lParam, reinterpret_cast<LPARAM>(szArgs));
    DestroyWindow(g_hwndMain);
    EndInstance();
}

TEST(ShellStart, FailsWithoutLoadingAnythingWhenTheClassCannotBeRegistered)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.lpszClassName = "WndClassTekstor";
    ASSERT_TRUE(RegisterClassA(&wc));
    static wchar_t szArgs[] = L"";
    HACCEL hAccel = reinterpret_cast<HACCEL>(1);
    EXPECT_FALSE(StartInstance(GetModuleHandleA(NULL), NULL, szArgs, SW_SHOW, &hAccel));
    EXPECT_EQ(hAccel, nullptr);
    EXPECT_EQ(g_hMenu, nullptr);
    EXPECT_EQ(g_hwndMain, nullptr);
}

TEST(ShellStart, APaneThatCannotBeCreatedEndsTheRunWithCodeOne)
{
    WindowCreationBlocker blocker("Edit");
    static wchar_t szArgs[] = L"";
    HACCEL hAccel;
    ASSERT_TRUE(StartInstance(GetModuleHandleA(NULL), NULL, szArgs, SW_SHOW, &hAccel));
    EXPECT_EQ(blocker.Blocked(), 1);
    EXPECT_EQ(g_hwndEdit, nullptr);
    int nCode = -1;
    PumpMessages(hAccel, &nCode);
    EXPECT_EQ(nCode, 1);
    // The posted argument string is not handled (it would hand further names
    // to new copies of the program): the caption is still the bare one.
    EXPECT_EQ(WindowText(g_hwndMain), "Tekstor");
    DestroyWindow(g_hwndMain);
    EndInstance();
}

TEST_F(ShellTest, ClosingTheWindowQuitsWithCodeOneAndReleasesTheFont)
{
    const HFONT hFont = g_hFont;
    ASSERT_EQ(GetObjectType(hFont), static_cast<DWORD>(OBJ_FONT));
    SendMessageA(g_hwndMain, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(g_hwndMain));
    EXPECT_EQ(GetObjectType(hFont), 0u);  // the GDI object itself is gone
    EXPECT_EQ(g_hwndEdit, nullptr);
    int nCode = -1;
    EXPECT_FALSE(PumpMessages(m_hAccel, &nCode));
    EXPECT_EQ(nCode, 1);
}

TEST_F(ShellTest, RunMessageLoopReturnsTheQuitCode)
{
    PostQuitMessage(1);
    EXPECT_EQ(RunMessageLoop(m_hAccel), 1);
}

TEST_F(ShellTest, TheMainWindowPassesItsFocusToThePane)
{
    SetFocus(g_hwndMain);
    EXPECT_EQ(GetFocus(), g_hwndEdit);
    SendMessageA(g_hwndMain, WM_ACTIVATE, WA_CLICKACTIVE, 0);
    EXPECT_EQ(GetFocus(), g_hwndEdit);
}

TEST_F(ShellTest, CommandsOutsideTheTableChangeNothing)
{
    SetPaneText("abc");
    SendMessageA(g_hwndEdit, EM_SETSEL, 1, 2);
    HWND hwndPane = g_hwndEdit;
    for (UINT uId : {0u, 40005u, 40010u, 40021u, 40029u, 40035u, 39999u})
        Command(uId);
    EXPECT_EQ(g_hwndEdit, hwndPane);
    EXPECT_EQ(PaneText(), "abc");
    DWORD s = 0, e = 0;
    SendMessageA(g_hwndEdit, EM_GETSEL, reinterpret_cast<WPARAM>(&s), reinterpret_cast<LPARAM>(&e));
    EXPECT_EQ(s, 1u);
    EXPECT_EQ(e, 2u);
    EXPECT_FALSE(g_bWordWrap);
}

TEST_F(ShellTest, AcceleratorsRunTheirCommandAndTypeNothing)
{
    SetPaneText("text");
    PressKey('W', true, false, m_hAccel);
    EXPECT_TRUE(g_bWordWrap);
    EXPECT_EQ(PaneText(), "text");
    PressKey(VK_F8, false, false, m_hAccel);
    DWORD s = 1, e = 0;
    SendMessageA(g_hwndEdit, EM_GETSEL, reinterpret_cast<WPARAM>(&s), reinterpret_cast<LPARAM>(&e));
    EXPECT_EQ(s, 0u);
    EXPECT_EQ(e, 4u);
    PressKey('W', true, false, m_hAccel);
    EXPECT_FALSE(g_bWordWrap);
    EXPECT_EQ(PaneText(), "text");

    // The pane drops control characters, and Ctrl+W's would go to the pane the
    // command destroys: the text cannot show a character, so the loop is watched
    // for one. Ctrl+N keeps the pane (and an unchanged text asks nothing).
    EXPECT_EQ(PressKey('N', true, false, m_hAccel), 0);
    EXPECT_EQ(PaneText(), "");
}

TEST_F(ShellTest, AKeyWithoutAcceleratorIsTranslatedIntoACharacter)
{
    EXPECT_EQ(PressKey('Q', false, false, m_hAccel), 1);
    EXPECT_EQ(PaneText(), "q");
    EXPECT_EQ(PressKey('Q', true, false, m_hAccel), 1);  // Ctrl+Q: no accelerator, 0x11
}
