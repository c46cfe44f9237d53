// Keystroke macros the journal way: the hook procedures called as Windows
// calls them, and the Record/Play commands through their whole state table.
// Wine calls a journal record hook only for this thread's keys, which is all
// these tests type, and never calls a playback hook: the tests act out
// Windows, whose journal hooks act on the whole desktop.
#include "support/dialogs.h"
#include "support/harness.h"
#include "support/process.h"

#include <vector>

#include "app/shell.h"
#include "macro/journal.h"
#include "macro/macro.h"
#include "res/resource.h"

namespace {

class MacroTest : public EditorTest {
protected:
    void SetUp() override
    {
        g_bJournalRecordsDesktop = TRUE;
        EditorTest::SetUp();
    }
    void TearDown() override
    {
        g_pfnSetWindowsHookEx = SetWindowsHookExA;
        EditorTest::TearDown();
    }

    static EVENTMSG Key(UINT message, UINT vk, DWORD time)
    {
        EVENTMSG ev = {message, vk | (MapVirtualKeyA(vk, 0) << 8), 1, time, g_hwndEdit};
        return ev;
    }

    static LRESULT Record(const EVENTMSG& ev)
    {
        EVENTMSG copy = ev;
        return JournalRecordProc(HC_ACTION, 0, reinterpret_cast<LPARAM>(&copy));
    }

    static std::vector<UINT> RecordedMessages()
    {
        std::vector<UINT> list;
        for (MacroEvent* p = g_pMacroHead; p; p = p->pNext)
            list.push_back(p->message);
        return list;
    }

    static MacroEvent* LastEvent()
    {
        MacroEvent* p = g_pMacroHead;
        while (p && p->pNext)
            p = p->pNext;
        return p;
    }

    void RecordKeys(std::initializer_list<UINT> vks)
    {
        Command(IDM_RECORD);
        DWORD t = 100;
        for (UINT vk : vks) {
            Record(Key(WM_KEYDOWN, vk, t++));
            Record(Key(WM_KEYUP, vk, t++));
        }
        Command(IDM_RECORD);
    }

    static bool PlayGrayed()
    {
        UpdatePlayMenuItem();
        return (GetMenuState(g_hMenu, IDM_PLAY, MF_BYCOMMAND) & MF_GRAYED) != 0;
    }

    static bool RecordChecked()
    {
        return (GetMenuState(g_hMenu, IDM_RECORD, MF_BYCOMMAND) & MF_CHECKED) != 0;
    }

    // "Tekstor [Recording] - Unbenannt": the mark stands before the name.
    static bool CaptionMarked() { return WindowText(g_hwndMain).rfind("Tekstor [Recording] - ", 0) == 0; }

    static int PostedPlayRequests()
    {
        int n = 0;
        MSG msg;
        while (PeekMessageA(&msg, g_hwndMain, WMU_PLAYMACRO, WMU_PLAYMACRO, PM_REMOVE))
            ++n;
        return n;
    }

    // Wine accepts a playback hook but never calls it, so the tests play the
    // system's part as it is documented: it may ask for the event more than
    // once (HC_GETNEXT), takes it and moves the hook on (HC_SKIP), and only
    // then hands the key to the program, which dispatches it before any
    // message posted meanwhile.
    static EVENTMSG TakePlayedEvent()
    {
        EVENTMSG peek = {}, ev = {};
        EXPECT_EQ(JournalPlaybackProc(HC_GETNEXT, 0, reinterpret_cast<LPARAM>(&peek)), 0);
        JournalPlaybackProc(HC_GETNEXT, 0, reinterpret_cast<LPARAM>(&ev));
        EXPECT_TRUE(peek.message == ev.message && peek.paramL == ev.paramL && peek.time == ev.time);
        JournalPlaybackProc(HC_SKIP, 0, 0);
        return ev;
    }

    void DeliverPlayedKey(const EVENTMSG& ev)
    {
        UINT vk = LOBYTE(ev.paramL);
        if (vk == VK_LSHIFT || vk == VK_RSHIFT)
            vk = VK_SHIFT;
        if (vk == VK_LCONTROL || vk == VK_RCONTROL)
            vk = VK_CONTROL;
        BYTE keys[256];
        GetKeyboardState(keys);
        keys[vk] = ev.message == WM_KEYDOWN ? 0x80 : 0;
        SetKeyboardState(keys);
        const LPARAM lParam = 1 | (HIBYTE(ev.paramL) << 16) | (ev.message == WM_KEYUP ? 0xC0000000u : 0);
        MSG msg = {GetFocus(), ev.message, vk, lParam, ev.time, {}};
        HandleLoopMessage(&msg, m_hAccel);
        Pump();
    }
};

HHOOK WINAPI RefuseHook(int, HOOKPROC, HINSTANCE, DWORD)
{
    return NULL;
}

}  // namespace

// System keys are kept as such (Alt and AltGr come as them); a release whose
// press came before the recording is not part of it, and a key still held
// at the end is let go at the end, so that a playback leaves none down.
TEST_F(MacroTest, RecordingKeepsEveryKeyEventAndEndsWithEveryKeyReleased)
{
    Command(IDM_RECORD);
    ASSERT_TRUE(g_bRecording);
    ASSERT_NE(g_hJournalHook, nullptr);
    EXPECT_EQ(GetMacroRun(), MACRO_RECORD_JOURNAL);
    EXPECT_TRUE(RecordChecked());
    EXPECT_TRUE(CaptionMarked());
    EXPECT_TRUE(PlayGrayed());

    Record(Key(WM_KEYUP, VK_SHIFT, 999));
    const EVENTMSG down = Key(WM_KEYDOWN, 'A', 1000);
    EXPECT_EQ(Record(down), 0);
    const EVENTMSG f10 = Key(WM_SYSKEYDOWN, VK_F10, 1001);
    Record(f10);
    Record(Key(WM_SYSKEYUP, VK_MENU, 1002));
    EVENTMSG click = {WM_LBUTTONDOWN, 10, 20, 1003, g_hwndEdit};
    Record(click);
    EVENTMSG other = Key(WM_KEYDOWN, 'Z', 1004);
    JournalRecordProc(HC_SYSMODALON, 0, reinterpret_cast<LPARAM>(&other));
    Record(Key(WM_KEYUP, 'A', 1005));

    ASSERT_NE(g_pMacroHead, nullptr);
    EXPECT_EQ(g_pMacroPos, LastEvent());  // the tail while recording

    Command(IDM_RECORD);
    EXPECT_EQ(RecordedMessages(), (std::vector<UINT>{WM_KEYDOWN, WM_SYSKEYDOWN, WM_KEYUP, WM_SYSKEYUP}));
    const MacroEvent* p = g_pMacroHead;
    EXPECT_EQ(p->paramL, down.paramL);
    EXPECT_EQ(p->paramH, down.paramH);
    EXPECT_EQ(p->time, down.time);
    EXPECT_EQ(p->hwnd, down.hwnd);
    EXPECT_EQ(LastEvent()->paramL, f10.paramL | ((KF_REPEAT | KF_UP) << 8));
    EXPECT_FALSE(g_bRecording);
    EXPECT_EQ(g_hJournalHook, nullptr);
    EXPECT_EQ(g_pMacroPos, nullptr);
    EXPECT_FALSE(RecordChecked());
    EXPECT_FALSE(CaptionMarked());
    EXPECT_FALSE(PlayGrayed());
}

// A recording captures keys typed anywhere on the desktop, so its mark must
// not vanish from the caption while it goes on, whatever rewrites the caption.
TEST_F(MacroTest, AFileCommandDuringARecordingKeepsTheCaptionMark)
{
    Command(IDM_RECORD);
    ASSERT_TRUE(CaptionMarked());
    Command(IDM_NEW);   // nothing to save: no prompt
    EXPECT_EQ(WindowText(g_hwndMain), "Tekstor [Recording] - Unbenannt");
    EXPECT_TRUE(g_bRecording);
    EXPECT_TRUE(RecordChecked());
    EXPECT_NE(g_hJournalHook, nullptr);
    Command(IDM_RECORD);
    EXPECT_EQ(WindowText(g_hwndMain), "Tekstor - Unbenannt");
}

TEST_F(MacroTest, RecordTwiceWithNoKeyLeavesNoMacro)
{
    RecordKeys({'X'});
    ASSERT_NE(g_pMacroHead, nullptr);
    Command(IDM_RECORD);   // the old macro goes at once
    EXPECT_EQ(g_pMacroHead, nullptr);
    Command(IDM_RECORD);
    EXPECT_EQ(g_pMacroHead, nullptr);
    EXPECT_TRUE(PlayGrayed());
    Command(IDM_PLAY);     // only the accelerator can ask now: nothing happens
    Pump();
    EXPECT_EQ(g_hJournalHook, nullptr);
    EXPECT_EQ(g_pMacroPos, nullptr);
}

TEST_F(MacroTest, PlaybackPlaysEachEventOnceAndEndsAtTheLastSkip)
{
    RecordKeys({'H', 'I'});
    SendMessageA(g_hwndMain, WM_COMMAND, IDM_PLAY, 0);
    EXPECT_EQ(g_hJournalHook, nullptr);  // posted, not yet handled
    Pump();
    const HHOOK hPlaying = g_hJournalHook;
    ASSERT_NE(hPlaying, nullptr);
    EXPECT_EQ(g_pMacroPos, g_pMacroHead);
    EXPECT_TRUE(PlayGrayed());

    EVENTMSG ev = {};
    EXPECT_EQ(JournalPlaybackProc(HC_SKIP, 0, 0), 0);  // nothing taken yet: no move
    EXPECT_EQ(g_pMacroPos, g_pMacroHead);
    std::vector<EVENTMSG> played;
    for (int guard = 0; guard < 10 && g_hJournalHook; ++guard) {
        for (int ask = 0; ask < 3; ++ask) {  // asked again and again: the same event
            EXPECT_EQ(JournalPlaybackProc(HC_GETNEXT, 0, reinterpret_cast<LPARAM>(&ev)), 0);
            EXPECT_EQ(ev.time, g_pMacroPos->time);
        }
        played.push_back(ev);
        JournalPlaybackProc(HC_SKIP, 0, 0);
    }
    std::vector<std::pair<UINT, DWORD>> got, recorded;
    for (const EVENTMSG& e : played)
        got.push_back({e.message, e.time});
    for (MacroEvent* p = g_pMacroHead; p; p = p->pNext)
        recorded.push_back({p->message, p->time});
    EXPECT_EQ(got, recorded);

    // The hook goes at the last skip itself, with no message for a loop to
    // handle; the cursor stays until the window has taken the last key, so
    // that a last key that is Record ends the playback instead of recording.
    EXPECT_EQ(g_hJournalHook, nullptr);
    EXPECT_FALSE(UnhookWindowsHookEx(hPlaying));
    EXPECT_NE(g_pMacroPos, nullptr);
    Pump();
    EXPECT_EQ(g_pMacroPos, nullptr);
    EXPECT_NE(g_pMacroHead, nullptr);
    EXPECT_FALSE(PlayGrayed());
}

// The macro's next keys would answer the prompt (N is Nein: the text would
// be thrown away), so the playback ends before the prompt shows.
TEST_F(MacroTest, APlaybackEndsBeforeTheSavePromptShows)
{
    Command(IDM_RECORD);
    Record(Key(WM_KEYDOWN, VK_CONTROL, 1));
    Record(Key(WM_KEYDOWN, 'N', 2));  // Ctrl+N on a changed text: the save prompt
    Record(Key(WM_KEYUP, 'N', 3));
    Record(Key(WM_KEYUP, VK_CONTROL, 4));
    Record(Key(WM_KEYDOWN, 'N', 5));
    Record(Key(WM_KEYUP, 'N', 6));
    Command(IDM_RECORD);
    SetPaneText("Entwurf");
    SendMessageA(g_hwndEdit, EM_SETMODIFY, TRUE, 0);
    Command(IDM_PLAY);
    const HHOOK hPlaying = g_hJournalHook;
    ASSERT_NE(hPlaying, nullptr);

    DeliverPlayedKey(TakePlayedEvent());
    DialogScript script({Answer(IDCANCEL)});
    DeliverPlayedKey(TakePlayedEvent());
    ASSERT_EQ(script.Seen().size(), 1u);
    EXPECT_EQ(script.Seen()[0].kind, DialogKind::MessageBox);
    EXPECT_EQ(PaneText(), "Entwurf");
    EXPECT_EQ(g_hJournalHook, nullptr);
    EXPECT_FALSE(UnhookWindowsHookEx(hPlaying)) << "the playback hook outlived the prompt";
    EXPECT_EQ(g_pMacroPos, nullptr);
    EVENTMSG ev = {};
    JournalPlaybackProc(HC_GETNEXT, 0, reinterpret_cast<LPARAM>(&ev));
    EXPECT_EQ(ev.message, 0u);
}

TEST_F(MacroTest, PlayDuringRecordingOrPlaybackDoesNothing)
{
    RecordKeys({'Q'});
    MacroEvent* pMacro = g_pMacroHead;
    SendMessageA(g_hwndMain, WM_COMMAND, IDM_PLAY, 0);
    SendMessageA(g_hwndMain, WM_COMMAND, IDM_PLAY, 0);  // before the first is handled
    EXPECT_EQ(PostedPlayRequests(), 2);
    SendMessageA(g_hwndMain, WMU_PLAYMACRO, 0, 0);
    HHOOK hFirst = g_hJournalHook;
    SendMessageA(g_hwndMain, WMU_PLAYMACRO, 0, 0);
    EXPECT_EQ(g_hJournalHook, hFirst);
    HHOOK hPlaying = g_hJournalHook;
    ASSERT_NE(hPlaying, nullptr);
    EXPECT_EQ(g_pMacroPos, pMacro);

    Command(IDM_PLAY);   // while playing
    EXPECT_EQ(PostedPlayRequests(), 0);
    EXPECT_EQ(g_hJournalHook, hPlaying);

    Command(IDM_RECORD); // Record during a playback ends it; the macro stays
    EXPECT_EQ(g_hJournalHook, nullptr);
    EXPECT_FALSE(g_bRecording);
    EXPECT_EQ(g_pMacroHead, pMacro);

    Command(IDM_RECORD); // recording with a first event: Play has no effect
    Record(Key(WM_KEYDOWN, 'W', 5));
    Command(IDM_PLAY);
    EXPECT_EQ(PostedPlayRequests(), 0);
    SendMessageA(g_hwndMain, WMU_PLAYMACRO, 0, 0);
    EXPECT_TRUE(g_bRecording);
    EXPECT_EQ(RecordedMessages(), (std::vector<UINT>{WM_KEYDOWN}));
}

// A recording the system ends is ended for all to see: the mark goes and a
// message says why; what was recorded is the macro.
TEST_F(MacroTest, ASystemCancelEndsTheRecordingVisiblyAndKeepsItsKeys)
{
    Command(IDM_RECORD);
    Record(Key(WM_KEYDOWN, 'K', 1));
    Record(Key(WM_KEYUP, 'K', 2));
    // Taken by the save prompt's own loop, which dispatches it to no window.
    SetPaneText("Entwurf");
    SendMessageA(g_hwndEdit, EM_SETMODIFY, TRUE, 0);
    PostThreadMessageA(GetCurrentThreadId(), WM_CANCELJOURNAL, 0, 0);
    {
        DialogScript script({Answer(IDCANCEL), Answer(IDOK)});
        SendMessageA(g_hwndMain, WM_COMMAND, IDM_NEW, 0);
        Pump();
        // The message may come inside the prompt's loop, which took the cancel.
        ASSERT_EQ(script.Done(), 2u);
        const std::string texts = script.Seen()[0].text + script.Seen()[1].text;
        EXPECT_NE(texts.find("Die Aufzeichnung des Makros wurde beendet"), std::string::npos);
    }
    EXPECT_EQ(g_hJournalHook, nullptr);
    EXPECT_FALSE(g_bRecording);
    EXPECT_FALSE(RecordChecked());
    EXPECT_FALSE(CaptionMarked());
    EXPECT_EQ(RecordedMessages(), (std::vector<UINT>{WM_KEYDOWN, WM_KEYUP}));
    EXPECT_FALSE(PlayGrayed());
}

// Refused every kind of hook, Record and Play change nothing: no mark that
// claims a recording, the old macro kept, Play still able to try again.
TEST_F(MacroTest, RefusedHooksLeaveEverythingAsItWas)
{
    RecordKeys({'M'});
    MacroEvent* pMacro = g_pMacroHead;
    ASSERT_NE(pMacro, nullptr);
    g_pfnSetWindowsHookEx = RefuseHook;

    Command(IDM_PLAY);
    Pump();
    EXPECT_EQ(GetMacroRun(), MACRO_IDLE);
    EXPECT_EQ(g_hJournalHook, nullptr);
    EXPECT_EQ(g_pMacroPos, nullptr);
    EXPECT_FALSE(PlayGrayed());

    Command(IDM_RECORD);
    EXPECT_FALSE(g_bRecording);
    EXPECT_EQ(GetMacroRun(), MACRO_IDLE);
    EXPECT_FALSE(RecordChecked());
    EXPECT_FALSE(CaptionMarked());
    EXPECT_EQ(g_pMacroHead, pMacro);
    EXPECT_FALSE(PlayGrayed());
}

// The hook goes before the list, so no hook procedure can reach a freed node.
static void ExpectCloseReleasesHookAndList()
{
    HHOOK hHook = g_hJournalHook;
    ASSERT_NE(hHook, nullptr);
    DestroyWindow(g_hwndMain);
    EXPECT_EQ(g_hJournalHook, nullptr);
    EXPECT_FALSE(UnhookWindowsHookEx(hHook)) << "the hook outlived the window";
    EXPECT_EQ(g_pMacroHead, nullptr);
    EXPECT_EQ(g_pMacroPos, nullptr);
    EVENTMSG ev = {};
    EXPECT_EQ(JournalPlaybackProc(HC_GETNEXT, 0, reinterpret_cast<LPARAM>(&ev)), 0);
    EXPECT_EQ(ev.message, 0u);
}

TEST_F(MacroTest, ClosingTheWindowDuringARecordingRemovesTheHookFirst)
{
    Command(IDM_RECORD);
    Record(Key(WM_KEYDOWN, 'R', 1));
    ExpectCloseReleasesHookAndList();
}

TEST_F(MacroTest, ClosingTheWindowDuringAPlaybackRemovesTheHookFirst)
{
    RecordKeys({'P', 'Q'});
    Command(IDM_PLAY);
    Pump();
    ExpectCloseReleasesHookAndList();
}

// Real key presses through the system's input, recorded by the real hook.
TEST_F(MacroTest, RealKeystrokesAreRecordedAndTheirPlaybackTypesThemAgain)
{
    SetForegroundWindow(g_hwndMain);
    ASSERT_TRUE(PumpUntil([] { return GetForegroundWindow() == g_hwndMain; }));
    SendChord({VK_CONTROL, VK_SHIFT, 'R'});
    ASSERT_TRUE(PumpUntil([] { return g_bRecording != FALSE; }, 5000, m_hAccel));
    EXPECT_TRUE(CaptionMarked());
    SendChord({'H'});
    SendChord({'I'});
    ASSERT_TRUE(PumpUntil([this] { return PaneText() == "hi"; }, 5000, m_hAccel)) << PaneText();
    SendChord({VK_CONTROL, VK_SHIFT, 'R'});
    ASSERT_TRUE(PumpUntil([] { return !g_bRecording; }, 5000, m_hAccel));
    EXPECT_FALSE(CaptionMarked());
    EXPECT_FALSE(PlayGrayed());
    EXPECT_EQ(PaneText(), "hi");

    // The letters, in order, as presses and releases, and nothing of the
    // Ctrl+Shift+R that started the recording (its releases) or stopped it
    // (its presses): played, that would start a recording over the macro.
    std::vector<std::pair<UINT, UINT>> keys;
    for (MacroEvent* p = g_pMacroHead; p; p = p->pNext)
        keys.push_back({p->message, LOBYTE(p->paramL)});
    EXPECT_EQ(keys, (std::vector<std::pair<UINT, UINT>>{
                        {WM_KEYDOWN, 'H'}, {WM_KEYUP, 'H'}, {WM_KEYDOWN, 'I'}, {WM_KEYUP, 'I'}}));

    SetPaneText("");
    Command(IDM_PLAY);
    const HHOOK hPlaying = g_hJournalHook;
    ASSERT_NE(hPlaying, nullptr);
    for (int guard = 0; guard < 200 && g_pMacroPos; ++guard)
        DeliverPlayedKey(TakePlayedEvent());
    EXPECT_FALSE(UnhookWindowsHookEx(hPlaying));
    EXPECT_EQ(PaneText(), "hi");
    EXPECT_FALSE(g_bRecording);
    EXPECT_EQ(GetMacroRun(), MACRO_IDLE);
    EXPECT_FALSE(PlayGrayed());
}
