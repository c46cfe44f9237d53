// Macros on a system that refuses journal hooks: a seam refuses them here, so
// the low-level keyboard hook records and SendInput plays, under real input.
#include "support/harness.h"
#include "support/process.h"

#include <vector>

#include "macro/inputmacro.h"
#include "macro/macro.h"
#include "res/resource.h"

namespace {

HHOOK WINAPI RefuseJournalHooks(int idHook, HOOKPROC proc, HINSTANCE hInstance, DWORD dwThread)
{
    if (idHook == WH_JOURNALRECORD || idHook == WH_JOURNALPLAYBACK)
        return NULL;
    return SetWindowsHookExA(idHook, proc, hInstance, dwThread);
}

int CountEvents()
{
    int n = 0;
    for (MacroEvent* p = g_pMacroHead; p; p = p->pNext)
        ++n;
    return n;
}

struct Recorded {
    UINT message, paramL, paramH;
    HWND hwnd;
    bool operator==(const Recorded& o) const
    {
        return message == o.message && paramL == o.paramL && paramH == o.paramH && hwnd == o.hwnd;
    }
};

std::vector<Recorded> RecordedEvents()
{
    std::vector<Recorded> list;
    for (MacroEvent* p = g_pMacroHead; p; p = p->pNext)
        list.push_back({p->message, p->paramL, p->paramH, p->hwnd});
    return list;
}

class InputMacroTest : public EditorTest {
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        SetForegroundWindow(g_hwndMain);
        ASSERT_TRUE(PumpUntil([] { return GetForegroundWindow() == g_hwndMain; }));
    }
    void TearDown() override
    {
        g_pfnSetWindowsHookEx = SetWindowsHookExA;
        EditorTest::TearDown();
    }
    // Records H, Right (an extended key) and Shift, pressed and released.
    std::vector<Recorded> RecordSampleKeys()
    {
        Command(IDM_RECORD);
        EXPECT_NE(g_hJournalHook, nullptr);
        SendChord({'H'});
        SendChord({VK_RIGHT});
        SendChord({VK_SHIFT});
        EXPECT_TRUE(PumpUntil([] { return CountEvents() >= 6; }, 5000, m_hAccel));
        Command(IDM_RECORD);
        return RecordedEvents();
    }
};

}  // namespace

TEST_F(InputMacroTest, BothRecordersMakeTheSameEventsFromTheSameKeys)
{
    const std::vector<Recorded> journal = RecordSampleKeys();
    ASSERT_EQ(journal.size(), 6u);
    g_pfnSetWindowsHookEx = RefuseJournalHooks;
    const std::vector<Recorded> lowLevel = RecordSampleKeys();
    EXPECT_EQ(lowLevel, journal);
}

TEST(InputFromKeyEvent, PlaysTheRecordedKeyAndMarksItAsOurs)
{
    const INPUT down = InputFromKeyEvent(WM_KEYDOWN, 0x2348, 1);
    EXPECT_EQ(down.type, static_cast<DWORD>(INPUT_KEYBOARD));
    EXPECT_EQ(down.ki.wVk, 'H');
    EXPECT_EQ(down.ki.wScan, 0x23);
    EXPECT_EQ(down.ki.dwFlags, 0u);
    EXPECT_EQ(down.ki.dwExtraInfo, MACRO_INPUT_TAG);
    const INPUT up = InputFromKeyEvent(WM_KEYUP, 0xC14D27, 0x8001);
    EXPECT_EQ(up.ki.wVk, VK_RIGHT);
    EXPECT_EQ(up.ki.wScan, 0x4D);
    EXPECT_EQ(up.ki.dwFlags, static_cast<DWORD>(KEYEVENTF_KEYUP | KEYEVENTF_EXTENDEDKEY));
}

TEST_F(InputMacroTest, RealKeysRecordedWithoutJournalHooksPlayBackTheSameText)
{
    g_pfnSetWindowsHookEx = RefuseJournalHooks;
    SendChord({VK_CONTROL, VK_SHIFT, 'R'});
    ASSERT_TRUE(PumpUntil([] { return g_bRecording != FALSE; }, 5000, m_hAccel));
    ASSERT_NE(g_hJournalHook, nullptr);
    EXPECT_EQ(WindowText(g_hwndMain), "Tekstor [Recording] - Unbenannt");
    SendChord({'H'});
    SendChord({'I'});
    ASSERT_TRUE(PumpUntil([this] { return PaneText() == "hi"; }, 5000, m_hAccel)) << PaneText();
    SendChord({VK_CONTROL, VK_SHIFT, 'R'});
    ASSERT_TRUE(PumpUntil([] { return !g_bRecording; }, 5000, m_hAccel));
    EXPECT_EQ(g_hJournalHook, nullptr);
    EXPECT_EQ(WindowText(g_hwndMain), "Tekstor - Unbenannt");
    UpdatePlayMenuItem();
    EXPECT_FALSE(GetMenuState(g_hMenu, IDM_PLAY, MF_BYCOMMAND) & MF_GRAYED);

    SetPaneText("");
    SendChord({VK_CONTROL, VK_SHIFT, 'P'});
    ASSERT_TRUE(PumpUntil([this] { return PaneText() == "hi"; }, 5000, m_hAccel)) << PaneText();
    // The macro ends with the presses of the Ctrl+Shift+R that stopped it.
    // They arrive after the playback has ended, so they start a recording.
    ASSERT_TRUE(PumpUntil([] { return g_bRecording != FALSE; }, 5000, m_hAccel));
    EXPECT_EQ(PaneText(), "hi");
    for (WORD vk : {WORD('R'), WORD(VK_SHIFT), WORD(VK_CONTROL)})
        SendKey(vk, false);
    Command(IDM_RECORD);
}

TEST_F(InputMacroTest, KeysThePlayerSendsAreNotRecorded)
{
    g_pfnSetWindowsHookEx = RefuseJournalHooks;
    Command(IDM_RECORD);
    SendChord({'A'}, MACRO_INPUT_TAG);   // as the player sends them
    SendChord({'B'});                    // as any other program would
    ASSERT_TRUE(PumpUntil([this] { return PaneText() == "ab"; }, 5000, m_hAccel));
    Command(IDM_RECORD);
    std::vector<UINT> keys;
    for (MacroEvent* p = g_pMacroHead; p; p = p->pNext)
        keys.push_back(p->paramL & 0xFF);
    EXPECT_EQ(keys, (std::vector<UINT>{'B', 'B'}));
}

TEST_F(InputMacroTest, PlaybackFollowsTheSameStateTable)
{
    g_pfnSetWindowsHookEx = RefuseJournalHooks;
    Command(IDM_RECORD);
    SendChord({'X'});
    ASSERT_TRUE(PumpUntil([] { return CountEvents() == 2; }, 5000, m_hAccel));
    Command(IDM_RECORD);
    MacroEvent* pMacro = g_pMacroHead;

    SendMessageA(g_hwndMain, WMU_PLAYMACRO, 0, 0);
    HHOOK hPlaying = g_hJournalHook;
    ASSERT_NE(hPlaying, nullptr);
    ASSERT_NE(g_pMacroPos, nullptr);
    SendMessageA(g_hwndMain, WM_COMMAND, IDM_PLAY, 0);   // Play while playing: nothing
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, g_hwndMain, WMU_PLAYMACRO, WMU_PLAYMACRO, PM_REMOVE));
    SendMessageA(g_hwndMain, WMU_PLAYMACRO, 0, 0);
    EXPECT_EQ(g_hJournalHook, hPlaying);
    UpdatePlayMenuItem();
    EXPECT_TRUE(GetMenuState(g_hMenu, IDM_PLAY, MF_BYCOMMAND) & MF_GRAYED);

    SendMessageA(g_hwndMain, WM_COMMAND, IDM_RECORD, 0);  // Record ends the playback
    EXPECT_EQ(g_hJournalHook, nullptr);
    EXPECT_EQ(g_pMacroPos, nullptr);
    EXPECT_FALSE(g_bRecording);
    EXPECT_EQ(g_pMacroHead, pMacro);
    EXPECT_FALSE(UnhookWindowsHookEx(hPlaying));
    Pump();

    // Played to its end, the playback ends through the loop as a journal one does.
    SetPaneText("");
    SendMessageA(g_hwndMain, WMU_PLAYMACRO, 0, 0);
    ASSERT_TRUE(PumpUntil([this] { return g_hJournalHook == NULL && PaneText() == "x"; }, 5000, m_hAccel))
        << PaneText();
    EXPECT_EQ(g_pMacroPos, nullptr);
    EXPECT_EQ(CountEvents(), 2);
}

TEST_F(InputMacroTest, ClosingTheWindowLeavesNoHookOnEitherPath)
{
    g_pfnSetWindowsHookEx = RefuseJournalHooks;
    Command(IDM_RECORD);
    HHOOK hRecording = g_hJournalHook;
    ASSERT_NE(hRecording, nullptr);
    SendChord({'Y'});
    ASSERT_TRUE(PumpUntil([] { return CountEvents() == 2; }, 5000, m_hAccel));
    Command(IDM_RECORD);

    SendMessageA(g_hwndMain, WMU_PLAYMACRO, 0, 0);
    HHOOK hPlaying = g_hJournalHook;
    ASSERT_NE(hPlaying, nullptr);
    DestroyWindow(g_hwndMain);
    EXPECT_EQ(g_hJournalHook, nullptr);
    EXPECT_FALSE(UnhookWindowsHookEx(hPlaying));
    EXPECT_FALSE(UnhookWindowsHookEx(hRecording));
    EXPECT_EQ(g_pMacroHead, nullptr);
    EXPECT_EQ(g_pMacroPos, nullptr);
    // The keys already sent still arrive; with no list they touch nothing.
    PumpMessages(m_hAccel);
    EXPECT_EQ(g_pMacroHead, nullptr);
}
