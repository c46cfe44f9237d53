// Keystroke macros through the real program under Wine: recorded and played
// with real keys, as a user does it.
#include <windows.h>

#include <gtest/gtest.h>

#include "support/process.h"

namespace {

bool CaptionMarked(HWND hwndMain)
{
    return RemoteWindowText(hwndMain).find("[Recording]") != std::string::npos;
}

bool KeyUp(WORD vk)
{
    return !(GetAsyncKeyState(vk) & 0x8000);
}

// Waits while this thread's own windows get their messages.
bool PumpUntil(const std::function<bool()>& pred, DWORD timeoutMs = 10000)
{
    return WaitUntil([&] {
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        return pred();
    }, timeoutMs);
}

// The editor records and stops with Ctrl+Shift+R typed into it.
void ToggleRecording(const EditorProcess& editor, bool bOn)
{
    ASSERT_TRUE(BringToFront(editor.Main()));
    SendChord({VK_CONTROL, VK_SHIFT, 'R'});
    ASSERT_TRUE(WaitUntil([&] { return CaptionMarked(editor.Main()) == bOn; }))
        << RemoteWindowText(editor.Main());
}

std::string PaneText(const EditorProcess& editor)
{
    return RemoteWindowText(editor.Pane());
}

}  // namespace

TEST(Macro, RecordedKeysPlayAgainAndAgainAndNeverStartARecording)
{
    EditorProcess editor;
    ASSERT_TRUE(editor.Start());
    ToggleRecording(editor, true);
    TypeText("ab1");
    ASSERT_TRUE(WaitUntil([&] { return PaneText(editor) == "ab1"; })) << PaneText(editor);
    ToggleRecording(editor, false);

    for (const char* expected : {"ab1ab1", "ab1ab1ab1"}) {
        SendChord({VK_CONTROL, VK_SHIFT, 'P'});
        ASSERT_TRUE(WaitUntil([&] { return PaneText(editor) == expected; })) << PaneText(editor);
    }
    // The playback is over and left nothing behind: no recording, no key
    // held, so the next key arrives plain (a held Ctrl+Shift would make R a
    // Record command).
    Sleep(300);
    EXPECT_FALSE(CaptionMarked(editor.Main()));
    for (WORD vk : {WORD(VK_CONTROL), WORD(VK_SHIFT), WORD('R')})
        EXPECT_TRUE(KeyUp(vk)) << vk;
    TypeText("r");
    ASSERT_TRUE(WaitUntil([&] { return PaneText(editor) == "ab1ab1ab1r"; })) << PaneText(editor);
    EXPECT_FALSE(CaptionMarked(editor.Main()));
    EXPECT_EQ(editor.CloseDiscardingChanges(), 1);
}

TEST(Macro, KeysTypedIntoAnotherProgramWhileRecordingPlayIntoTheEditor)
{
    // This test program is the other program: a window with an Edit control.
    HWND hwndOther = CreateWindowExA(0, "Edit", "", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 300, 120,
                                     NULL, NULL, GetModuleHandleA(NULL), NULL);
    ASSERT_NE(hwndOther, nullptr);
    EditorProcess editor;
    ASSERT_TRUE(editor.Start());
    ToggleRecording(editor, true);

    SetForegroundWindow(hwndOther);
    ASSERT_TRUE(PumpUntil([&] { return GetForegroundWindow() == hwndOther; }));
    SetFocus(hwndOther);
    TypeText("fern");
    ASSERT_TRUE(PumpUntil([&] { return RemoteWindowText(hwndOther) == "fern"; }))
        << RemoteWindowText(hwndOther);
    EXPECT_EQ(PaneText(editor), "");

    ToggleRecording(editor, false);
    SendChord({VK_CONTROL, VK_SHIFT, 'P'});
    ASSERT_TRUE(WaitUntil([&] { return PaneText(editor) == "fern"; })) << PaneText(editor);
    DestroyWindow(hwndOther);
    EXPECT_EQ(editor.CloseDiscardingChanges(), 1);
}

// "n" answers the save prompt with Nein and throws the text away: not one
// played key may reach it.
TEST(Macro, ClosingDuringAPlaybackShowsThePromptAndNoPlayedKeyAnswersIt)
{
    EditorProcess editor;
    ASSERT_TRUE(editor.Start());
    const std::string typed(150, 'n');
    ToggleRecording(editor, true);
    TypeText(typed);
    // Typing under Wine takes over 10 ms a key, more on a busy machine.
    ASSERT_TRUE(WaitUntil([&] { return PaneText(editor) == typed; }, 30000)) << PaneText(editor).size();
    ToggleRecording(editor, false);

    SendChord({VK_CONTROL, VK_SHIFT, 'P'});
    ASSERT_TRUE(WaitUntil([&] { return PaneText(editor).size() > typed.size() + 10; }, 30000));
    PostMessageA(editor.Main(), WM_CLOSE, 0, 0);
    HWND hwndBox = NULL;
    ASSERT_TRUE(WaitUntil([&] { return (hwndBox = FindProcessDialog(editor.Pid())) != NULL; }));
    const size_t nAtPrompt = PaneText(editor).size();
    EXPECT_LT(nAtPrompt, 2 * typed.size()) << "the macro ended before the close; make it longer";
    // Long enough for the rest of the macro to have been typed.
    Sleep(1500);
    EXPECT_EQ(editor.WaitForExit(0), -1) << "a played key answered the prompt";
    ASSERT_TRUE(IsWindow(hwndBox));
    EXPECT_EQ(FindProcessDialog(editor.Pid()), hwndBox);
    EXPECT_LE(PaneText(editor).size(), nAtPrompt + 1);

    PostMessageA(hwndBox, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(WaitUntil([&] { return FindProcessDialog(editor.Pid()) == NULL; }));
    Sleep(300);
    EXPECT_LE(PaneText(editor).size(), nAtPrompt + 1) << "the playback went on after the prompt";
    EXPECT_TRUE(KeyUp('N'));
    EXPECT_EQ(editor.CloseDiscardingChanges(), 1);
}
