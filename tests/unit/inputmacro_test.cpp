// Macros the input way, as on Windows with UAC (journal hooks refused) and
// under Wine: the low-level keyboard hook records on its own thread and
// SendInput plays, under real input. A seam refuses journal hooks here.
#include "support/dialogs.h"
#include "support/harness.h"
#include "support/process.h"

#include <algorithm>
#include <tuple>
#include <vector>

#include "app/shell.h"
#include "macro/inputmacro.h"
#include "macro/macro.h"
#include "res/resource.h"

namespace {

// What the low-level hooks are shown: every key, or none (a hook the system
// has dropped). They run on the macro's hook thread.
enum class HookSees { All, Nothing };
volatile HookSees g_hookSees = HookSees::All;
HOOKPROC g_pfnHook;
HHOOK g_hLowLevelHook;          // the last one put in
volatile bool g_bRefuseLowLevel;

LRESULT CALLBACK GateProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (g_hookSees == HookSees::Nothing)
        return CallNextHookEx(NULL, code, wParam, lParam);
    return g_pfnHook(code, wParam, lParam);
}

HHOOK WINAPI RefuseJournalHooks(int idHook, HOOKPROC proc, HINSTANCE hInstance, DWORD dwThread)
{
    if (idHook == WH_JOURNALRECORD || idHook == WH_JOURNALPLAYBACK)
        return NULL;
    if (idHook != WH_KEYBOARD_LL)
        return SetWindowsHookExA(idHook, proc, hInstance, dwThread);
    if (g_bRefuseLowLevel)
        return NULL;
    g_pfnHook = proc;
    return g_hLowLevelHook = SetWindowsHookExA(idHook, GateProc, hInstance, dwThread);
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
    static bool PlaybackOver() { return GetMacroRun() == MACRO_IDLE && !g_pMacroPos; }
    bool WaitKeyUp(WORD vk) { return PumpUntil([vk] { return KeyUp(vk); }, 5000, m_hAccel); }
    // Records H held and repeated, Right (an extended key), Shift and H
    // again, pressed and released: a key pressed again is no repeat.
    std::vector<Recorded> RecordSampleKeys()
    {
        Command(IDM_RECORD);
        EXPECT_TRUE(g_bRecording);
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
    g_bJournalRecordsDesktop = TRUE;
    const std::vector<Recorded> journal = RecordSampleKeys();
    ASSERT_EQ(journal.size(), 9u);
    g_pfnSetWindowsHookEx = RefuseJournalHooks;
    // A key still down when a recording ends is a fresh press in the next one.
    Command(IDM_RECORD);
    EXPECT_EQ(GetMacroRun(), MACRO_RECORD_KEYBOARD);
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
    EXPECT_EQ(InputFromKeyEvent(WM_SYSKEYUP, 0xC03812, 1).ki.dwFlags, static_cast<DWORD>(KEYEVENTF_KEYUP));
    // A journal marks an extended key in paramH alone.
    EXPECT_EQ(InputFromKeyEvent(WM_KEYDOWN, 0x4D27, 0x8001).ki.dwFlags, static_cast<DWORD>(KEYEVENTF_EXTENDEDKEY));
}

// Keys as Windows hands them to a low-level hook (German layout): AltGr+Q
// ("@"), which the system sends as a left Ctrl and a right Alt, with the
// Alt let go last as a system key; Alt+F; and a character from the touch
// keyboard, whose 16 bits stand in the scan code. Recorded and played, each
// goes out as it came in.
TEST_F(InputMacroTest, AltGrAltAndCharacterKeysComeBackAsTyped)
{
    struct Typed {
        UINT message;
        KBDLLHOOKSTRUCT key;
        WORD wVk, wScan;
        DWORD dwFlags;
    };
    const Typed typed[] = {
        {WM_KEYDOWN, {VK_LCONTROL, 0x1D, 0, 0, 0}, VK_LCONTROL, 0x1D, 0},
        {WM_KEYDOWN, {VK_RMENU, 0x38, LLKHF_EXTENDED | LLKHF_ALTDOWN, 0, 0}, VK_RMENU, 0x38, KEYEVENTF_EXTENDEDKEY},
        {WM_KEYDOWN, {'Q', 0x10, LLKHF_ALTDOWN, 0, 0}, 'Q', 0x10, 0},
        {WM_KEYUP, {'Q', 0x10, LLKHF_UP | LLKHF_ALTDOWN, 0, 0}, 'Q', 0x10, KEYEVENTF_KEYUP},
        {WM_KEYUP, {VK_LCONTROL, 0x1D, LLKHF_UP | LLKHF_ALTDOWN, 0, 0}, VK_LCONTROL, 0x1D, KEYEVENTF_KEYUP},
        {WM_SYSKEYUP, {VK_RMENU, 0x38, LLKHF_EXTENDED | LLKHF_UP, 0, 0}, VK_RMENU, 0x38,
         KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP},
        {WM_SYSKEYDOWN, {VK_LMENU, 0x38, LLKHF_ALTDOWN, 0, 0}, VK_LMENU, 0x38, 0},
        {WM_SYSKEYDOWN, {'F', 0x21, LLKHF_ALTDOWN, 0, 0}, 'F', 0x21, 0},
        {WM_SYSKEYUP, {'F', 0x21, LLKHF_UP | LLKHF_ALTDOWN, 0, 0}, 'F', 0x21, KEYEVENTF_KEYUP},
        {WM_KEYUP, {VK_LMENU, 0x38, LLKHF_UP, 0, 0}, VK_LMENU, 0x38, KEYEVENTF_KEYUP},
        {WM_KEYDOWN, {VK_PACKET, 0x20AC, 0, 0, 0}, 0, 0x20AC, KEYEVENTF_UNICODE},
        {WM_KEYUP, {VK_PACKET, 0x20AC, LLKHF_UP, 0, 0}, 0, 0x20AC, KEYEVENTF_UNICODE | KEYEVENTF_KEYUP},
    };
    g_pfnSetWindowsHookEx = RefuseJournalHooks;
    g_hookSees = HookSees::Nothing;  // only the events below are recorded
    Command(IDM_RECORD);
    ASSERT_EQ(GetMacroRun(), MACRO_RECORD_KEYBOARD);
    for (const Typed& t : typed) {
        KBDLLHOOKSTRUCT key = t.key;
        key.time = GetTickCount();
        KeyboardRecordProc(HC_ACTION, t.message, reinterpret_cast<LPARAM>(&key));
    }
    Command(IDM_RECORD);
    size_t i = 0;
    for (const MacroEvent* p = g_pMacroHead; p; p = p->pNext, ++i) {
        ASSERT_LT(i, std::size(typed));
        EXPECT_EQ(p->message, typed[i].message) << i;
        const INPUT in = InputFromKeyEvent(p->message, p->paramL, p->paramH);
        EXPECT_EQ(in.ki.wVk, typed[i].wVk) << i;
        EXPECT_EQ(in.ki.wScan, typed[i].wScan) << i;
        EXPECT_EQ(in.ki.dwFlags, typed[i].dwFlags) << i;
    }
    EXPECT_EQ(i, std::size(typed));
}

TEST_F(InputMacroTest, RealKeysRecordedWithoutJournalHooksPlayBackTheSameText)
{
    g_pfnSetWindowsHookEx = RefuseJournalHooks;
    SendChord({VK_CONTROL, VK_SHIFT, 'R'});
    ASSERT_TRUE(PumpUntil([] { return g_bRecording != FALSE; }, 5000, m_hAccel));
    EXPECT_EQ(GetMacroRun(), MACRO_RECORD_KEYBOARD);
    EXPECT_EQ(g_hJournalHook, nullptr);
    EXPECT_EQ(WindowText(g_hwndMain), "Tekstor [Recording] - Unbenannt");
    SendChord({'H'});
    SendChord({'I'});
    // A character from an input method, beyond eight bits: the euro sign.
    INPUT euro[2] = {};
    euro[0].type = euro[1].type = INPUT_KEYBOARD;
    euro[0].ki.wScan = euro[1].ki.wScan = 0x20AC;
    euro[0].ki.dwFlags = KEYEVENTF_UNICODE;
    euro[1].ki.dwFlags = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
    SendInput(2, euro, sizeof euro[0]);
    ASSERT_TRUE(PumpUntil([this] { return PaneText() == "hi\x80"; }, 5000, m_hAccel)) << PaneText();
    SendChord({VK_CONTROL, VK_SHIFT, 'R'});
    ASSERT_TRUE(PumpUntil([] { return !g_bRecording; }, 5000, m_hAccel));
    EXPECT_EQ(GetMacroRun(), MACRO_IDLE);
    EXPECT_EQ(WindowText(g_hwndMain), "Tekstor - Unbenannt");
    UpdatePlayMenuItem();
    EXPECT_FALSE(GetMenuState(g_hMenu, IDM_PLAY, MF_BYCOMMAND) & MF_GRAYED);

    // Played twice with its own keys: the stop keys are not in the macro, so
    // neither playback starts a recording or loses the macro.
    for (const char* expected : {"hi\x80hi\x80", "hi\x80hi\x80hi\x80"}) {
        SendChord({VK_CONTROL, VK_SHIFT, 'P'});
        ASSERT_TRUE(PumpUntil([this, expected] { return PaneText() == expected && PlaybackOver(); }, 5000,
                              m_hAccel))
            << PaneText();
        EXPECT_FALSE(g_bRecording);
        EXPECT_NE(g_pMacroHead, nullptr);
    }
}

// The playback waits for the keys of the chord that asked for it to be let
// go (and for no other key: one stuck down must not hold it up), and lets go
// itself of every key it pressed: a macro made to end in Ctrl+Shift+R (typed
// into another program, say) presses Record, which ends the playback.
TEST_F(InputMacroTest, APlaybackWaitsForTheKeysThatAskedAndLeavesNoKeyDown)
{
    g_pfnSetWindowsHookEx = RefuseJournalHooks;
    MakeMacro({{WM_KEYDOWN, 'H'}, {WM_KEYUP, 'H'}, {WM_KEYDOWN, VK_CONTROL}, {WM_KEYDOWN, VK_SHIFT}, {WM_KEYDOWN, 'R'}});
    SendKey(VK_F24, true);  // stuck
    SendKey(VK_LCONTROL, true);
    SendKey(VK_LSHIFT, true);
    SendChord({'P'});
    ASSERT_TRUE(PumpUntil([] { return GetMacroRun() == MACRO_PLAY_WAITING; }, 5000, m_hAccel));
    PumpUntil([] { return false; }, 200, m_hAccel);
    EXPECT_EQ(PaneText(), "") << "played while Ctrl was held";
    SendKey(VK_LSHIFT, false);
    SendKey(VK_LCONTROL, false);
    ASSERT_TRUE(PumpUntil(PlaybackOver, 5000, m_hAccel));
    EXPECT_EQ(PaneText(), "h");
    EXPECT_FALSE(g_bRecording);
    EXPECT_NE(g_pMacroHead, nullptr);
    for (WORD vk : {WORD('R'), WORD(VK_SHIFT), WORD(VK_CONTROL)})
        EXPECT_TRUE(WaitKeyUp(vk)) << vk;
    SendKey(VK_F24, false);
}

// Copies of the program run side by side (it starts them itself): each one
// leaves out only the keys it sent itself.
TEST_F(InputMacroTest, OnlyThisCopysOwnKeysAreLeftOut)
{
    g_pfnSetWindowsHookEx = RefuseJournalHooks;
    const ULONG_PTR otherCopy = MacroInputTag(GetCurrentProcessId() + 4);
    Command(IDM_RECORD);
    SendChord({'A'}, MACRO_INPUT_TAG);  // as this copy's player sends them
    SendChord({'B'});                   // as any other program would
    SendChord({'C'}, otherCopy);        // as another copy's player would
    SendChord({'D'}, MACRO_RELEASE_TAG);
    // This copy's played keys reach no window while no playback runs.
    ASSERT_TRUE(PumpUntil([this] { return PaneText() == "bcd"; }, 5000, m_hAccel)) << PaneText();
    Command(IDM_RECORD);
    std::vector<UINT> keys;
    for (MacroEvent* p = g_pMacroHead; p; p = p->pNext)
        keys.push_back(p->paramL & 0xFF);
    EXPECT_EQ(keys, (std::vector<UINT>{'B', 'B', 'C', 'C'}));
}

// Record, a system cancel (Ctrl+Esc, Ctrl+Alt+Del) and a key of the user's
// stop a playback at once, whatever of it is already on its way; the
// macro's Shift goes up first, so the user's key arrives plain.
TEST_F(InputMacroTest, StoppingALongPlaybackLeavesTheRestUntyped)
{
    g_pfnSetWindowsHookEx = RefuseJournalHooks;
    std::vector<std::pair<UINT, WORD>> shifted = Typed('A', 300);
    shifted.insert(shifted.begin(), {WM_KEYDOWN, VK_SHIFT});
    MakeMacro(shifted);
    // The user's key or button is seen on another thread: a run already
    // queued may be typed meanwhile. The user's key itself is never lost.
    const auto sideClick = [] {
        INPUT click[2] = {{INPUT_MOUSE, {}}, {INPUT_MOUSE, {}}};
        click[0].mi = {0, 0, XBUTTON1, MOUSEEVENTF_XDOWN, 0, 0};
        click[1].mi = {0, 0, XBUTTON1, MOUSEEVENTF_XUP, 0, 0};
        SendInput(2, click, sizeof click[0]);
    };
    const std::tuple<std::function<void()>, size_t, std::string> stops[] = {
        {[this] { Command(IDM_RECORD); }, 1, "z"},
        {[this] { PostThreadMessageA(GetCurrentThreadId(), WM_CANCELJOURNAL, 0, 0); Pump(); }, 1, "z"},
        {[this] { SendChord({'X'}); ASSERT_TRUE(PumpUntil(PlaybackOver, 5000, m_hAccel)); },
         MACRO_RUN_EVENTS / 2 + 1, "xz"},
        {[&] { sideClick(); ASSERT_TRUE(PumpUntil(PlaybackOver, 5000, m_hAccel)); }, MACRO_RUN_EVENTS / 2 + 1, "z"}};
    for (const auto& [stop, nSlack, ending] : stops) {
        SetPaneText("");
        SendMessageA(g_hwndMain, WMU_PLAYMACRO, 0, 0);
        ASSERT_EQ(GetMacroRun(), MACRO_PLAY_INPUT);
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
        EXPECT_EQ(GetMacroRun(), MACRO_IDLE);
        EXPECT_FALSE(g_bRecording);
        // Keys arrive in order: once this one is in, so is every key that was on its way.
        SendChord({'Z'});
        ASSERT_TRUE(PumpUntil([this] { return PaneText().back() == 'z'; }, 5000, m_hAccel));
        const std::string text = PaneText();
        EXPECT_LE(text.size(), nBefore + nSlack + 2) << text;
        EXPECT_EQ(text.substr(std::min(text.find_first_not_of('A'), text.size())), ending) << text;
        EXPECT_TRUE(WaitKeyUp('A'));
        EXPECT_TRUE(WaitKeyUp(VK_SHIFT));
    }
}

UINT WINAPI SendHalf(UINT n, LPINPUT inputs, int cb)
{
    return SendInput(n / 2, inputs, cb);
}

// A playback whose keys do not all go in ends there, lets go of what it
// pressed, and says so: the watch saw nothing of a run (the system dropped
// the hook), or the system took only part of it (Windows does so when a
// window of higher integrity has the focus; Wine never does).
TEST_F(InputMacroTest, APlaybackTheSystemTakesOnlyInPartEndsAndSaysSo)
{
    g_pfnSetWindowsHookEx = RefuseJournalHooks;
    std::vector<std::pair<UINT, WORD>> shifted = Typed('A', 15);
    shifted.insert(shifted.begin(), {WM_KEYDOWN, VK_SHIFT});
    shifted.push_back({WM_KEYUP, VK_SHIFT});
    MakeMacro(shifted);
    for (const bool bPartial : {false, true}) {
        SetPaneText("");
        g_hookSees = bPartial ? HookSees::All : HookSees::Nothing;
        g_pfnSendInput = bPartial ? SendHalf : SendInput;
        DialogScript script({Answer(IDOK)});
        SendMessageA(g_hwndMain, WMU_PLAYMACRO, 0, 0);
        EXPECT_TRUE(PumpUntil(PlaybackOver, MACRO_STALL_MS + 3000, m_hAccel));
        ASSERT_EQ(script.Done(), 1u);
        EXPECT_EQ(script.Seen()[0].text.rfind("Die Wiedergabe des Makros wurde abgebrochen", 0), 0u);
        // The first run, unseen; of a run taken in part, the part is held
        // back like any key on its way at an end.
        EXPECT_EQ(PaneText(), std::string(bPartial ? 0 : 15, 'A'));
        EXPECT_TRUE(WaitKeyUp(VK_SHIFT));
        EXPECT_TRUE(WaitKeyUp('A'));
    }
    g_pfnSendInput = SendInput;
}

static DWORD WINAPI TypeJKProc(LPVOID)
{
    Sleep(100);
    SendChord({'J'});
    SendChord({'K'});
    return 0;
}

// A busy window delays no key of the desktop and loses no key of the
// recording: the recorder answers the system from its own thread. Wine
// gives up on a low-level hook after two seconds. A hook the system drops
// goes in again; only one it refuses ends the recording.
TEST_F(InputMacroTest, ARecordingSurvivesABlockedWindowAndADroppedHookAndEndsOnlyWhenRefused)
{
    g_pfnSetWindowsHookEx = RefuseJournalHooks;
    Command(IDM_RECORD);
    ASSERT_EQ(GetMacroRun(), MACRO_RECORD_KEYBOARD);
    HANDLE hTyper = CreateThread(NULL, 0, TypeJKProc, NULL, 0, NULL);
    ASSERT_NE(hTyper, nullptr);
    Sleep(2600);
    WaitForSingleObject(hTyper, 5000);
    CloseHandle(hTyper);
    ASSERT_TRUE(PumpUntil([this] { return PaneText() == "jk"; }, 5000, m_hAccel)) << PaneText();
    EXPECT_EQ(CountEvents(), 4);
    EXPECT_EQ(GetMacroRun(), MACRO_RECORD_KEYBOARD);
    EXPECT_TRUE(g_bRecording);

    // The system drops the hook unseen: it is put in again, and the
    // recording goes on.
    const HHOOK hDropped = g_hLowLevelHook;
    UnhookWindowsHookEx(hDropped);
    ASSERT_TRUE(PumpUntil([hDropped] { return g_hLowLevelHook != hDropped; }, 3000, m_hAccel));
    SendChord({'L'});
    ASSERT_TRUE(PumpUntil([] { return CountEvents() == 6; }, 5000, m_hAccel));
    // Refused when it goes in again, the recording ends for all to see,
    // keeping what it had.
    g_bRefuseLowLevel = true;
    {
        DialogScript script({Answer(IDOK)});
        ASSERT_TRUE(PumpUntil([] { return !g_bRecording; }, 5000, m_hAccel));
        EXPECT_EQ(script.Done(), 1u);
    }
    EXPECT_EQ(WindowText(g_hwndMain), "Tekstor - Unbenannt");
    EXPECT_EQ(CountEvents(), 6);
    UpdatePlayMenuItem();
    EXPECT_FALSE(GetMenuState(g_hMenu, IDM_PLAY, MF_BYCOMMAND) & MF_GRAYED);
}

// Wine accepts a journal playback hook and never calls it (the real hook
// here, no seam): nothing plays until the input way takes over, once per run.
TEST_F(InputMacroTest, ASilentJournalPlaybackGivesWayToTheInputWayForTheRestOfTheRun)
{
    MakeMacro(Typed('Q', 2));
    SendMessageA(g_hwndMain, WMU_PLAYMACRO, 0, 0);
    EXPECT_EQ(GetMacroRun(), MACRO_PLAY_JOURNAL);
    ASSERT_TRUE(PumpUntil([this] { return PlaybackOver() && PaneText() == "qq"; }, 5000, m_hAccel))
        << PaneText();
    SendMessageA(g_hwndMain, WMU_PLAYMACRO, 0, 0);
    EXPECT_EQ(GetMacroRun(), MACRO_PLAY_INPUT);
    ASSERT_TRUE(PumpUntil([this] { return PlaybackOver() && PaneText() == "qqqq"; }, 5000, m_hAccel))
        << PaneText();
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
    ASSERT_EQ(GetMacroRun(), MACRO_PLAY_INPUT);
    ASSERT_NE(g_pMacroPos, nullptr);
    SendMessageA(g_hwndMain, WM_COMMAND, IDM_PLAY, 0);   // Play while playing: nothing
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, g_hwndMain, WMU_PLAYMACRO, WMU_PLAYMACRO, PM_REMOVE));
    UpdatePlayMenuItem();
    EXPECT_TRUE(GetMenuState(g_hMenu, IDM_PLAY, MF_BYCOMMAND) & MF_GRAYED);

    SendMessageA(g_hwndMain, WM_COMMAND, IDM_RECORD, 0);  // Record ends the playback
    EXPECT_EQ(GetMacroRun(), MACRO_IDLE);
    EXPECT_EQ(g_pMacroPos, nullptr);
    EXPECT_FALSE(g_bRecording);
    EXPECT_EQ(g_pMacroHead, pMacro);
    Pump();

    // Played to its end, it ends through the window as a journal one does.
    SetPaneText("");
    SendMessageA(g_hwndMain, WMU_PLAYMACRO, 0, 0);
    ASSERT_TRUE(PumpUntil([this] { return PlaybackOver() && PaneText() == "x"; }, 5000, m_hAccel))
        << PaneText();
    EXPECT_EQ(CountEvents(), 2);
}

TEST_F(InputMacroTest, ClosingTheWindowDuringAPlaybackLetsGoOfItsKeys)
{
    g_pfnSetWindowsHookEx = RefuseJournalHooks;
    MakeMacro({{WM_KEYDOWN, 'Y'}});
    g_hookSees = HookSees::Nothing;  // the watch never asks for more
    SendMessageA(g_hwndMain, WMU_PLAYMACRO, 0, 0);
    ASSERT_EQ(GetMacroRun(), MACRO_PLAY_INPUT);
    ASSERT_TRUE(PumpUntil([this] { return PaneText() == "y"; }, 5000, m_hAccel));
    DestroyWindow(g_hwndMain);
    EXPECT_EQ(GetMacroRun(), MACRO_IDLE);
    EXPECT_EQ(g_pMacroHead, nullptr);
    EXPECT_EQ(g_pMacroPos, nullptr);
    EXPECT_TRUE(WaitKeyUp('Y'));
}
