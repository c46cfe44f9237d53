// tekstor.exe as a user meets it: started as its own program, typed into with
// real keystrokes, and closed.
#include <windows.h>

#include <gtest/gtest.h>

#include "support/process.h"

TEST(Editor, StartsTypesTogglesWrapAndExitsWithCodeOne)
{
    EditorProcess editor;
    ASSERT_TRUE(editor.Start());
    HWND hwnd = editor.Main();
    char cls[64] = "";
    GetClassNameA(hwnd, cls, sizeof cls);
    EXPECT_STREQ(cls, "WndClassTekstor");
    EXPECT_EQ(RemoteWindowText(hwnd).rfind("Tekstor", 0), 0u) << RemoteWindowText(hwnd);
    HWND pane = editor.Pane();
    ASSERT_NE(pane, nullptr);
    EXPECT_EQ(RemoteStyle(pane), 0x50301184u);

    ASSERT_TRUE(BringToFront(hwnd));
    TypeText("Hallo Welt");
    ASSERT_TRUE(WaitUntil([&] { return RemoteWindowText(pane) == "Hallo Welt"; }))
        << RemoteWindowText(pane);

    // Ctrl+W is an accelerator: the pane is re-created wrapping, with the text.
    // (That it types no character is shown in-process, where the queue can be seen.)
    SendChord({VK_CONTROL, 'W'});
    HWND wrapped = NULL;
    ASSERT_TRUE(WaitUntil([&] {
        wrapped = editor.Pane();
        return wrapped && wrapped != pane && RemoteStyle(wrapped) == 0x50201104u;
    }));
    EXPECT_EQ(RemoteWindowText(wrapped), "Hallo Welt");
    TypeText("!");
    ASSERT_TRUE(WaitUntil([&] { return RemoteWindowText(wrapped) == "Hallo Welt!"; }))
        << RemoteWindowText(wrapped);

    // F8 selects everything the keyboard way.
    SendChord({VK_F8});
    ASSERT_TRUE(WaitUntil([&] { return SendMessageA(wrapped, EM_GETSEL, 0, 0) == MAKELRESULT(0, 11); }));

    // The typed text is unsaved: closing asks, and No lets the window go.
    PostMessageA(hwnd, WM_CLOSE, 0, 0);
    HWND box = NULL;
    ASSERT_TRUE(WaitUntil([&] { return (box = FindProcessDialog(editor.Pid())) != NULL; }));
    PostMessageA(box, WM_COMMAND, IDNO, 0);
    EXPECT_EQ(editor.WaitForExit(), 1);
}

namespace {

HWND VisibleMenuOf(DWORD pid)
{
    return FindProcessWindow(pid, "#32768", true);
}

RECT WindowRectOf(HWND hwnd)
{
    RECT rc = {};
    GetWindowRect(hwnd, &rc);
    return rc;
}

}  // namespace

TEST(Editor, ContextMenuOpensFromTheKeyboardAndTheMouse)
{
    EditorProcess editor;
    ASSERT_TRUE(editor.Start());
    ASSERT_TRUE(BringToFront(editor.Main()));
    const RECT pane = WindowRectOf(editor.Pane());

    // Shift+F10: at the pane's top-left corner, wherever the caret is.
    TypeText("abc");
    SendChord({VK_SHIFT, VK_F10});
    HWND menu = NULL;
    ASSERT_TRUE(WaitUntil([&] { return (menu = VisibleMenuOf(editor.Pid())) != NULL; }));
    EXPECT_EQ(WindowRectOf(menu).left, pane.left);
    EXPECT_EQ(WindowRectOf(menu).top, pane.top);
    SendChord({VK_ESCAPE});
    ASSERT_TRUE(WaitUntil([&] { return VisibleMenuOf(editor.Pid()) == NULL; }));

    // A right click: at the mouse pointer.
    const POINT at = {pane.left + 120, pane.top + 90};
    SetCursorPos(at.x, at.y);
    INPUT click[2] = {};
    click[0].type = click[1].type = INPUT_MOUSE;
    click[0].mi.dwFlags = MOUSEEVENTF_RIGHTDOWN;
    click[1].mi.dwFlags = MOUSEEVENTF_RIGHTUP;
    SendInput(2, click, sizeof click[0]);
    ASSERT_TRUE(WaitUntil([&] { return (menu = VisibleMenuOf(editor.Pid())) != NULL; }));
    EXPECT_EQ(WindowRectOf(menu).left, at.x);
    EXPECT_EQ(WindowRectOf(menu).top, at.y);

    // Choosing "Alles auswählen" by its access key runs the command.
    SendChord({'B'});   // "&Bearbeiten"
    SendChord({'W'});   // "Alles aus&wählen"
    ASSERT_TRUE(WaitUntil([&] { return SendMessageA(editor.Pane(), EM_GETSEL, 0, 0) == MAKELRESULT(0, 3); }));
    EXPECT_EQ(RemoteWindowText(editor.Pane()), "abc");
    EXPECT_EQ(editor.CloseDiscardingChanges(), 1);
}
