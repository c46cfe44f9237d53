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
    HWND pane = editor.Pane();
    ASSERT_NE(pane, nullptr);
    EXPECT_EQ(RemoteStyle(pane), 0x50301184u);

    ASSERT_TRUE(BringToFront(hwnd));
    TypeText("Hallo Welt");
    ASSERT_TRUE(WaitUntil([&] { return RemoteWindowText(pane) == "Hallo Welt"; }))
        << RemoteWindowText(pane);

    // Ctrl+W is an accelerator: the pane is re-created wrapping, and no 'w' appears.
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
    ASSERT_TRUE(WaitUntil([&] {
        DWORD s = 1, e = 0;
        SendMessageA(wrapped, EM_GETSEL, 0, 0);
        const LRESULT r = SendMessageA(wrapped, EM_GETSEL, 0, 0);
        s = LOWORD(r);
        e = HIWORD(r);
        return s == 0 && e == 11;
    }));

    // The typed text is unsaved: closing asks, and No lets the window go.
    PostMessageA(hwnd, WM_CLOSE, 0, 0);
    HWND box = NULL;
    ASSERT_TRUE(WaitUntil([&] { return (box = FindProcessDialog(editor.Pid())) != NULL; }));
    PostMessageA(box, WM_COMMAND, IDNO, 0);
    EXPECT_EQ(editor.WaitForExit(), 1);
}
