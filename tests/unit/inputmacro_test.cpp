// Macros on a system that refuses journal hooks: a seam refuses them here, so
// the low-level keyboard hook records and SendInput plays, under real input.
#include "support/harness.h"
#include "support/process.h"

#include <vector>

#include "app/shell.h"
#include "macro/inputmacro.h"
#include "macro/macro.h"
#include "res/resource.h"

namespace {

// What the low-level hook is shown: every key; none (a watch the system has
// dropped); or only the D key.
enum class HookSees { All, Nothing, OnlyD };
HookSees g_hookSees = HookSees::All;
int g_nDShown;
HOOKPROC g_pfnHook;
std::vector<KBDLLHOOKSTRUCT> g_ownKeys;  // what this copy's player sent

LRESULT CALLBACK GateProc(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* pKey = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
    if (code == HC_ACTION && pKey->dwExtraInfo == MACRO_INPUT_TAG)
        g_ownKeys.push_back(*pKey);
    const bool bD = code == HC_ACTION && pKey->vkCode == 'D';
    if (g_hookSees == HookSees::Nothing || (g_hookSees == HookSees::OnlyD && !bD))
        return CallNextHookEx(NULL, code, wParam, lParam);
    g_nDShown += bD;
    return g_pfnHook(code, wParam, lParam);
}

HHOOK WINAPI RefuseJournalHooks(int idHook, HOOKPROC proc, HINSTANCE hInstance, DWORD dwThread)
{
    if (idHook == WH_JOURNALRECORD || idHook == WH_JOURNALPLAYBACK)
        return NULL;
    g_pfnHook = proc;
    return SetWindowsHookExA(idHook, GateProc, hInstance, dwThread);
}

bool KeyUp(WORD vk)
{
    return !(GetAsyncKeyState(vk) & 0x8000);
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
        // A key left down would stay down for the tests that follow.
        for (WORD vk = 8; vk < 256; ++vk)
            if (!KeyUp(vk))
                SendKey(vk, false);
    }
    // A macro as a recording leaves it.
    static void MakeMacro(const std::vector<std::pair<UINT, WORD>>& events)
    {
        for (const auto& e : events) {
            EVENTMSG ev = {e.first, e.second | (MapVirtualKeyA(e.second, 0) << 8), 1, 0, g_hwndEdit};
            AppendMacroEvent(&ev);
        }
        g_pMacroPos = NULL;
    }
    static std::vector<std::pair<UINT, WORD>> Typed(WORD vk, int n)
    {
        std::vector<std::pair<UINT, WORD>> events;
        for (int i = 0; i < n; ++i)
            events.insert(events.end(), {{WM_KEYDOWN, vk}, {WM_KEYUP, vk}});
        return events;
    }
    // Ended, or a played Record command has started a recording since.
    static bool PlaybackOver() { return !g_pMacroPos && (!g_hJournalHook || g_bRecording); }
    bool WaitKeyUp(WORD vk) { return PumpUntil([vk] { return KeyUp(vk); }, 5000, m_hAccel); }
    // Records H held and repeated, Right (an extended key), Shift and H
    // again, pressed and released: a key pressed again is no repeat.
    std::vector<Recorded> RecordSampleKeys()
    {
        Command(IDM_RECORD);
        EXPECT_NE(g_hJournalHook, nullptr);
        SendKey('H', true);  // held: the next press is a repeat
        SendChord({'H'});
        SendChord({VK_RIGHT});
        SendChord({VK_SHIFT});
        SendChord({'H'});
        EXPECT_TRUE(PumpUntil([] { return CountEvents() >= 9; }, 5000, m_hAccel));
        Command(IDM_RECORD);
        return RecordedEvents();
    }
};

}  // namespace

TEST_F(InputMacroTest, BothRecordersMakeTheSameEventsFromTheSameKeys)
{
    const std::vector<Recorded> journal = RecordSampleKeys();
    ASSERT_EQ(journal.size(), 9u);
    g_pfnSetWindowsHookEx = RefuseJournalHooks;
    // A key still down when a recording ends is a fresh press in the next one.
    Command(IDM_RECORD);
    SendKey('H', true);
    ASSERT_TRUE(PumpUntil([] { return CountEvents() == 1; }, 5000, m_hAccel));
    Command(IDM_RECORD);
    SendKey('H', false);
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
    // The macro ends with the Ctrl+Shift+R that stopped it: played, it ends
    // the playback, or starts a recording once the playback has ended.
    ASSERT_TRUE(PumpUntil(PlaybackOver, 5000, m_hAccel));
    EXPECT_EQ(PaneText(), "hi");
    if (g_bRecording)
        Command(IDM_RECORD);
}

// The recorder sees the presses of the Ctrl+Shift+R that stops a recording
// before the command runs, and a person lets go of the keys only later: the
// macro ends with three presses.
TEST_F(InputMacroTest, APlayedMacroLeavesNoKeyDown)
{
    g_pfnSetWindowsHookEx = RefuseJournalHooks;
    MakeMacro({{WM_KEYDOWN, 'H'}, {WM_KEYUP, 'H'}, {WM_KEYDOWN, VK_CONTROL}, {WM_KEYDOWN, VK_SHIFT}, {WM_KEYDOWN, 'R'}});
    // A Ctrl held when the playback starts is let go first: a plain release, sent now.
    SendKey(VK_LCONTROL, true);
    g_ownKeys.clear();
    const DWORD dwStart = GetTickCount();
    SendMessageA(g_hwndMain, WMU_PLAYMACRO, 0, 0);
    ASSERT_TRUE(PumpUntil(PlaybackOver, 5000, m_hAccel));
    EXPECT_EQ(PaneText(), "h");
    ASSERT_FALSE(g_ownKeys.empty());
    EXPECT_EQ(g_ownKeys[0].vkCode, DWORD(VK_LCONTROL));
    EXPECT_NE(g_ownKeys[0].flags & LLKHF_UP, 0u);
    EXPECT_LE(g_ownKeys[0].time - dwStart, GetTickCount() - dwStart);
    // Left down, they would turn the user's next keys on the whole desktop
    // into Ctrl+Shift shortcuts.
    for (WORD vk : {WORD('R'), WORD(VK_SHIFT), WORD(VK_CONTROL)})
        EXPECT_TRUE(WaitKeyUp(vk)) << vk;
}

// Copies of the program run side by side (it starts them itself): each one
// leaves out and counts only the keys it sent itself.
TEST_F(InputMacroTest, OnlyThisCopysOwnKeysAreLeftOutOrCounted)
{
    g_pfnSetWindowsHookEx = RefuseJournalHooks;
    const ULONG_PTR otherCopy = MacroInputTag(GetCurrentProcessId() + 4);
    Command(IDM_RECORD);
    SendChord({'A'}, MACRO_INPUT_TAG);  // as this copy's player sends them
    SendChord({'B'});                   // as any other program would
    SendChord({'C'}, otherCopy);        // as another copy's player would
    ASSERT_TRUE(PumpUntil([this] { return PaneText() == "abc"; }, 5000, m_hAccel)) << PaneText();
    Command(IDM_RECORD);
    std::vector<UINT> keys;
    for (MacroEvent* p = g_pMacroHead; p; p = p->pNext)
        keys.push_back(p->paramL & 0xFF);
    EXPECT_EQ(keys, (std::vector<UINT>{'B', 'B', 'C', 'C'}));

    // The watch is shown another copy's keys only: this playback stays on
    // its first key, which the watch never saw.
    SetPaneText("");
    g_hookSees = HookSees::OnlyD;
    SendMessageA(g_hwndMain, WMU_PLAYMACRO, 0, 0);
    ASSERT_NE(g_hJournalHook, nullptr);
    SendChord({'D'}, otherCopy);
    ASSERT_TRUE(PumpUntil([this] { return g_nDShown == 2 && PaneText() == "bd"; }, 5000, m_hAccel)) << PaneText();
    Pump();
    // The stall timer alone may have ended it on a slow machine, unmoved.
    EXPECT_TRUE(g_pMacroPos == g_pMacroHead || (g_pMacroPos == nullptr && PaneText() == "bd"));
    Command(IDM_RECORD);
    EXPECT_TRUE(WaitKeyUp('B'));
}

// The keys go out one by one, so that stopping stops them.
// Record and a system cancel (Ctrl+Esc, Ctrl+Alt+Del) stop a playback at
// once: its keys go out one by one.
TEST_F(InputMacroTest, StoppingALongPlaybackLeavesTheRestUntyped)
{
    g_pfnSetWindowsHookEx = RefuseJournalHooks;
    MakeMacro(Typed('A', 300));
    const std::function<void()> stops[] = {
        [this] { Command(IDM_RECORD); },
        [this] { PostThreadMessageA(GetCurrentThreadId(), WM_CANCELJOURNAL, 0, 0); Pump(); }};
    for (const auto& stop : stops) {
        SetPaneText("");
        SendMessageA(g_hwndMain, WMU_PLAYMACRO, 0, 0);
        // One message at a time: the playback keeps the queue from ever running dry.
        for (const DWORD start = GetTickCount(); PaneText().size() < 10 && GetTickCount() - start < 5000;) {
            MSG msg;
            if (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
                HandleLoopMessage(&msg, m_hAccel);
            else
                MsgWaitForMultipleObjects(0, NULL, FALSE, 10, QS_ALLINPUT);
        }
        const size_t nBefore = PaneText().size();
        stop();
        EXPECT_EQ(g_hJournalHook, nullptr);
        EXPECT_FALSE(g_bRecording);
        // Keys arrive in order: once this one is in, so is every key that was on its way.
        SendChord({'Z'});
        ASSERT_TRUE(PumpUntil([this] { return PaneText().back() == 'z'; }, 5000, m_hAccel));
        const size_t nTyped = PaneText().size() - 1;
        EXPECT_LE(nTyped, nBefore + 1);  // at most the one key on its way
        EXPECT_LT(nTyped, 300u);
        EXPECT_TRUE(WaitKeyUp('A'));
    }
}

TEST_F(InputMacroTest, APlaybackWhoseWatchSeesNothingEndsByTheTimer)
{
    g_pfnSetWindowsHookEx = RefuseJournalHooks;
    MakeMacro(Typed('A', 3));
    g_hookSees = HookSees::Nothing;
    SendMessageA(g_hwndMain, WMU_PLAYMACRO, 0, 0);
    ASSERT_NE(g_hJournalHook, nullptr);
    EXPECT_TRUE(PumpUntil([] { return g_hJournalHook == NULL; }, MACRO_STALL_MS + 3000, m_hAccel));
    EXPECT_EQ(g_pMacroPos, nullptr);
    EXPECT_EQ(PaneText(), "a");  // the first key; the rest was never sent
    EXPECT_TRUE(WaitKeyUp('A'));
    UpdatePlayMenuItem();
    EXPECT_FALSE(GetMenuState(g_hMenu, IDM_PLAY, MF_BYCOMMAND) & MF_GRAYED);
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

    // With the watch shown nothing, the first key is the only one sent; once
    // it is typed, no key of the macro is on its way.
    SetPaneText("");
    g_hookSees = HookSees::Nothing;
    SendMessageA(g_hwndMain, WMU_PLAYMACRO, 0, 0);
    HHOOK hPlaying = g_hJournalHook;
    ASSERT_NE(hPlaying, nullptr);
    ASSERT_TRUE(PumpUntil([this] { return PaneText() == "y"; }, 5000, m_hAccel));
    DestroyWindow(g_hwndMain);
    EXPECT_EQ(g_hJournalHook, nullptr);
    EXPECT_FALSE(UnhookWindowsHookEx(hPlaying));
    EXPECT_FALSE(UnhookWindowsHookEx(hRecording));
    EXPECT_EQ(g_pMacroHead, nullptr);
    EXPECT_EQ(g_pMacroPos, nullptr);
    // The close sends the release of the key the macro had pressed, and nothing more.
    EXPECT_TRUE(WaitKeyUp('Y'));
}
