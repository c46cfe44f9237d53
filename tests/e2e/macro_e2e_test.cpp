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

// Waits while this thread's own windows get their messages, taking
// msPerKey for each key, as a busy program does.
bool PumpUntil(const std::function<bool()>& pred, DWORD timeoutMs = 10000, DWORD msPerKey = 0)
{
    return WaitUntil([&] {
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_KEYDOWN)
                Sleep(msPerKey);
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

// The same with a chord typed as X keys.
void ToggleRecordingByX(const EditorProcess& editor, const std::string& keys, bool bOn)
{
    ASSERT_TRUE(BringToFront(editor.Main()));
    ASSERT_TRUE(RunXdotool(keys, editor.Main()));
    ASSERT_TRUE(WaitUntil([&] { return CaptionMarked(editor.Main()) == bOn; })) << RemoteWindowText(editor.Main());
}

// Another program's window: this test program's own, with an Edit control.
HWND CreateOtherWindow()
{
    return CreateWindowExA(0, "Edit", "", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 300, 120, NULL, NULL,
                           GetModuleHandleA(NULL), NULL);
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
    HWND hwndOther = CreateOtherWindow();
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

// Auto-repeat of a held chord is no new command, at the start or the stop;
// Shift, still held from the start chord, plays as it was typed.
TEST(Macro, HeldChordsStartAndStopOnceAndThePlaybackTypesTheMacro)
{
    EditorProcess editor;
    ASSERT_TRUE(editor.Start());
    ToggleRecordingByX(editor, "keydown ctrl+shift+r sleep 0.9 keyup r keyup ctrl key h keyup shift type allo",
                       true);
    ASSERT_TRUE(WaitUntil([&] { return PaneText(editor) == "Hallo"; })) << PaneText(editor);
    // Held as long as a person holds it: the X server repeats the R.
    ToggleRecordingByX(editor, "keydown ctrl+shift+r sleep 0.9 keyup r keyup shift keyup ctrl", false);
    ASSERT_TRUE(RunXdotool("keydown ctrl+shift+p sleep 0.5 keyup p keyup shift keyup ctrl"));
    ASSERT_TRUE(WaitUntil([&] { return PaneText(editor) == "HalloHallo"; })) << PaneText(editor);
    EXPECT_FALSE(CaptionMarked(editor.Main()));
    EXPECT_EQ(editor.CloseDiscardingChanges(), 1);
}

// The slow program: a window of this one on a thread of its own.
DWORD WINAPI SlowWindowThreadProc(LPVOID pvHwnd)
{
    const HWND hwnd = CreateOtherWindow();
    *static_cast<HWND*>(pvHwnd) = hwnd;
    PumpUntil([hwnd] { return !IsWindow(hwnd); }, 60000, 300);
    return 0;
}

// A program slow to take its keys is no sign that the recording's hook is
// gone: the recording goes on until the user stops it.
TEST(Macro, ARecordingGoesOnWhileAnotherProgramIsSlowToTakeItsKeys)
{
    HWND hwndSlow = NULL;
    HANDLE hThread = CreateThread(NULL, 0, SlowWindowThreadProc, &hwndSlow, 0, NULL);
    ASSERT_TRUE(WaitUntil([&] { return hwndSlow != NULL; }));
    EditorProcess editor;
    ASSERT_TRUE(editor.Start());
    ToggleRecordingByX(editor, "key ctrl+shift+r", true);
    ASSERT_TRUE(BringToFront(hwndSlow));
    ASSERT_TRUE(RunXdotool("type ab", hwndSlow));
    ASSERT_TRUE(WaitUntil([&] { return RemoteWindowText(hwndSlow) == "ab"; })) << RemoteWindowText(hwndSlow);
    // Longer than the editor ever took to give up on such a recording.
    Sleep(2000);
    EXPECT_TRUE(CaptionMarked(editor.Main()));
    ToggleRecordingByX(editor, "key ctrl+shift+r", false);
    ASSERT_TRUE(RunXdotool("key ctrl+shift+p", editor.Main()));
    ASSERT_TRUE(WaitUntil([&] { return PaneText(editor) == "ab"; })) << PaneText(editor);
    PostMessageA(hwndSlow, WM_CLOSE, 0, 0);
    WaitForSingleObject(hThread, 5000);
    CloseHandle(hThread);
    EXPECT_EQ(editor.CloseDiscardingChanges(), 1);
}

// Typed at once after the chord while the editor is still pasting: the keys
// wait in its queue, and they are the macro's all the same.
TEST(Macro, KeysTypedRightAfterTheChordWhileTheEditorIsBusyAreRecorded)
{
    const std::string big(2 << 20, 'w');
    ASSERT_TRUE(OpenClipboard(NULL));
    EmptyClipboard();
    HGLOBAL hText = GlobalAlloc(GMEM_MOVEABLE, big.size() + 1);
    memcpy(GlobalLock(hText), big.c_str(), big.size() + 1);
    GlobalUnlock(hText);
    SetClipboardData(CF_TEXT, hText);
    CloseClipboard();
    EditorProcess editor;
    ASSERT_TRUE(editor.Start());
    ASSERT_TRUE(BringToFront(editor.Main()));
    ASSERT_TRUE(RunXdotool("key ctrl+v key ctrl+shift+r type hello", editor.Main()));
    const auto length = [&] { return SendMessageA(editor.Pane(), WM_GETTEXTLENGTH, 0, 0); };
    ASSERT_TRUE(WaitUntil([&] { return length() == static_cast<LRESULT>(big.size() + 5); }, 30000)) << length();
    ToggleRecordingByX(editor, "key ctrl+shift+r", false);
    ASSERT_TRUE(RunXdotool("key ctrl+shift+p", editor.Main()));
    ASSERT_TRUE(WaitUntil([&] { return length() == static_cast<LRESULT>(big.size() + 10); }, 30000)) << length();
    EXPECT_EQ(PaneText(editor).substr(big.size()), "hellohello");
    EXPECT_EQ(editor.CloseDiscardingChanges(), 1);
}

// The editor's own menu and Find dialog take the played keys as they took
// the typed ones: "b" and "h" reach the menu, Escape the dialog.
TEST(Macro, AMacroThroughTheMenuAndTheFindDialogPlaysExactly)
{
    EditorProcess editor;
    ASSERT_TRUE(editor.Start());
    ToggleRecordingByX(editor, "key ctrl+shift+r", true);
    ASSERT_TRUE(RunXdotool("key a b shift+F10 sleep 0.3 key h"));
    ASSERT_TRUE(WaitUntil([&] { return FindProcessWindow(editor.Pid(), "#32770", true) != NULL; }));
    ASSERT_TRUE(RunXdotool("key Escape"));
    ASSERT_TRUE(RunXdotool("type c"));
    ASSERT_TRUE(WaitUntil([&] { return PaneText(editor) == "abc"; })) << PaneText(editor);
    ToggleRecordingByX(editor, "key ctrl+shift+r", false);
    ASSERT_TRUE(RunXdotool("key ctrl+shift+p"));
    ASSERT_TRUE(WaitUntil([&] { return PaneText(editor) == "abcabc"; })) << PaneText(editor);
    EXPECT_EQ(FindProcessWindow(editor.Pid(), "#32770", true), nullptr);
    EXPECT_EQ(editor.CloseDiscardingChanges(), 1);
}

// A window that comes forward by itself mid-playback, where the recording
// never went, ends the playback: it gets at most the run on its way.
TEST(Macro, AWindowComingForwardMidPlaybackEndsIt)
{
    EditorProcess editor;
    ASSERT_TRUE(editor.Start());
    const std::string typed(200, 'x');
    ToggleRecordingByX(editor, "key ctrl+shift+r", true);
    ASSERT_TRUE(RunXdotool("type " + typed));
    ASSERT_TRUE(WaitUntil([&] { return PaneText(editor) == typed; }, 60000)) << PaneText(editor).size();
    ToggleRecordingByX(editor, "key ctrl+shift+r", false);
    ASSERT_TRUE(RunXdotool("key ctrl+shift+p"));
    ASSERT_TRUE(WaitUntil([&] { return PaneText(editor).size() > typed.size() + 30; }, 30000));
    HWND hwndOther = CreateOtherWindow();
    SetForegroundWindow(hwndOther);
    SetFocus(hwndOther);
    // Long enough for the rest of the macro to have been played.
    PumpUntil([] { return false; }, 3000);
    EXPECT_LE(RemoteWindowText(hwndOther).size(), 16u);  // a run's keys
    EXPECT_LT(PaneText(editor).size(), 2 * typed.size());
    DestroyWindow(hwndOther);
    EXPECT_EQ(editor.CloseDiscardingChanges(), 1);
}
