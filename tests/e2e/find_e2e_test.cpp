// Find and replace in tekstor.exe, driven from outside with real keystrokes
// and the common dialogs' own controls.
#include <windows.h>

#include <gtest/gtest.h>

#include "res/resource.h"
#include "support/process.h"

namespace {

std::pair<DWORD, DWORD> RemoteSel(HWND hwndPane)
{
    const LRESULT r = SendMessageA(hwndPane, EM_GETSEL, 0, 0);
    return {LOWORD(r), HIWORD(r)};
}

HWND WaitForDialog(DWORD pid, HWND hwndNot = NULL)
{
    HWND hwnd = NULL;
    WaitUntil([&] {
        hwnd = FindProcessWindow(pid, "#32770");
        return hwnd && hwnd != hwndNot && IsWindowVisible(hwnd);
    });
    return hwnd;
}

}  // namespace

TEST(FindE2E, FindWithTheDialogThenF3ThenReplaceAll)
{
    EditorProcess editor;
    ASSERT_TRUE(editor.Start());
    HWND hwndPane = editor.Pane();
    ASSERT_TRUE(BringToFront(editor.Main()));
    TypeText("Rot gelb ROT blau rot");
    ASSERT_TRUE(WaitUntil([&] { return RemoteWindowText(hwndPane) == "Rot gelb ROT blau rot"; }));
    SendChord({VK_CONTROL, VK_HOME});
    ASSERT_TRUE(WaitUntil([&] { return RemoteSel(hwndPane) == std::make_pair(0ul, 0ul); }));

    SendChord({VK_CONTROL, 'F'});
    HWND hwndDlg = WaitForDialog(editor.Pid());
    ASSERT_NE(hwndDlg, nullptr);
    SetDlgItemTextA(hwndDlg, 0x480, "rot");
    SendDlgItemMessageA(hwndDlg, 0x411, BM_CLICK, 0, 0);  // match case
    SendDlgItemMessageA(hwndDlg, IDOK, BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return RemoteSel(hwndPane) == std::make_pair(18ul, 21ul); }));

    // Escape closes the dialog; the focus is back in the pane, where F3
    // (down) and Shift+F3 (up) repeat the search with its case rule.
    ASSERT_TRUE(BringToFront(hwndDlg));
    SendChord({VK_ESCAPE});
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(hwndDlg); }));
    SendChord({VK_CONTROL, VK_HOME});
    SendChord({VK_F3});
    ASSERT_TRUE(WaitUntil([&] { return RemoteSel(hwndPane) == std::make_pair(18ul, 21ul); }));
    TypeText("gruen");
    ASSERT_TRUE(WaitUntil([&] { return RemoteWindowText(hwndPane) == "Rot gelb ROT blau gruen"; }));

    SendChord({VK_CONTROL, 'R'});
    hwndDlg = WaitForDialog(editor.Pid());
    ASSERT_NE(hwndDlg, nullptr);
    SetDlgItemTextA(hwndDlg, 0x480, "rot");
    SetDlgItemTextA(hwndDlg, 0x481, "lila");
    if (IsDlgButtonChecked(hwndDlg, 0x411) == BST_CHECKED)
        SendDlgItemMessageA(hwndDlg, 0x411, BM_CLICK, 0, 0);
    SendMessageA(hwndPane, EM_SETSEL, 0, 0);
    SendDlgItemMessageA(hwndDlg, 0x401, BM_CLICK, 0, 0);  // Replace All
    ASSERT_TRUE(WaitUntil([&] { return RemoteWindowText(hwndPane) == "lila gelb lila blau gruen"; }))
        << RemoteWindowText(hwndPane);
    EXPECT_EQ(RemoteSel(hwndPane), std::make_pair(0ul, 0ul));
    SendDlgItemMessageA(hwndDlg, IDCANCEL, BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(hwndDlg); }));

    // One Undo takes the whole Replace All back.
    PostMessageA(editor.Main(), WM_COMMAND, IDM_UNDO, 0);
    ASSERT_TRUE(WaitUntil([&] { return RemoteWindowText(hwndPane) == "Rot gelb ROT blau gruen"; }))
        << RemoteWindowText(hwndPane);

    SendMessageA(hwndPane, EM_SETMODIFY, FALSE, 0);  // no save prompt on the way out
    PostMessageA(editor.Main(), WM_CLOSE, 0, 0);
    EXPECT_EQ(editor.WaitForExit(), 1);
}
