// The macro's state is s_macro, and only this file changes it. The ways
// report an end with WMU_MACROENDED; the macro's one timer is this file's.
#include "macro/macro.h"

#include "app/state.h"
#include "document/document.h"
#include "macro/inputmacro.h"
#include "macro/journal.h"
#include "res/resource.h"

constexpr UINT_PTR MACRO_TIMER_ID = 0x4D53;
// A journal playback that works is asked for its first event at once.
constexpr UINT JOURNAL_SILENT_MS = 250;
constexpr UINT CHORD_POLL_MS = 15;
constexpr UINT CHORD_WAIT_MS = 1000;
constexpr UINT RECORD_RENEW_MS = 1000;

// Nothing documented tells whether a journal hook will see other threads'
// keys; Wine's own documented mark is this export of its ntdll.
BOOL g_bJournalRecordsDesktop = !GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version");

static struct {
    MacroRun run;
    BOOL bJournalPlaybackSilent;  // learnt once, kept for the run
    DWORD dwChordTime;            // when the chord that started the run was pressed
    DWORD dwMenuOpened;           // when the popup menu was last opened
    BYTE abStartKeys[256];        // recording: a StartKey for each key
    BOOL abChordKeys[256];        // waiting: the keys of the chord that asked to play
    HHOOK hModalWatch;
} s_macro;

struct MacroWay {
    BOOL (*pfnStartRecording)();
    BOOL (*pfnStartPlayback)();
    void (*pfnStop)();
};

static const MacroWay JOURNAL_WAY = {StartJournalRecording, StartJournalPlayback, StopJournal};
static const MacroWay INPUT_WAY = {StartKeyboardRecording, StartInputPlayback, StopInputWay};

static const MacroWay& WayOf(MacroRun run)
{
    return run == MACRO_RECORD_JOURNAL || run == MACRO_PLAY_JOURNAL ? JOURNAL_WAY : INPUT_WAY;
}

MacroRun GetMacroRun()
{
    return s_macro.run;
}

static BOOL IsPlaying()
{
    return s_macro.run >= MACRO_PLAY_WAITING;
}

static BOOL IsRecording()
{
    return s_macro.run == MACRO_RECORD_JOURNAL || s_macro.run == MACRO_RECORD_KEYBOARD;
}

static VOID CALLBACK MacroTimerProc(HWND hwnd, UINT, UINT_PTR idEvent, DWORD);

static void SetMacroTimer(UINT uMs)
{
    SetTimer(g_hwndMain, MACRO_TIMER_ID, uMs, MacroTimerProc);
}

static void ShowRecordingState()
{
    CheckMenuItem(g_hMenu, IDM_RECORD, MF_BYCOMMAND | (g_bRecording ? MF_CHECKED : MF_UNCHECKED));
    UpdateTitle(g_hInstance, g_hwndMain, g_bRecording);
}

// A held chord repeats its key, and each repeat is translated again.
static BOOL IsChordRepeat()
{
    return g_pAcceleratorMsg && (HIWORD(g_pAcceleratorMsg->lParam) & KF_REPEAT);
}

// The thread's key state follows the messages it has taken, so this is how
// the keys stood when the chord came.
static void NoteStartKeys()
{
    GetKeyboardState(s_macro.abStartKeys);
    for (BYTE& key : s_macro.abStartKeys)
        key = (key & 0x80) ? START_KEY_HELD : START_KEY_UP;
    if (g_pAcceleratorMsg)
        s_macro.abStartKeys[g_pAcceleratorMsg->wParam & 0xFF] = START_KEY_CHORD;
}

// Ends whatever runs; a recording keeps its events before *pdwStop (NULL:
// all of them).
static void EndMacroRun(MacroEnd reason, const DWORD* pdwStop)
{
    KillTimer(g_hwndMain, MACRO_TIMER_ID);
    const BOOL bWasRecording = IsRecording();
    if (s_macro.run != MACRO_IDLE && s_macro.run != MACRO_PLAY_WAITING)
        WayOf(s_macro.run).pfnStop();
    if (bWasRecording) {
        FinishRecordedKeys(s_macro.abStartKeys, pdwStop);
        g_bRecording = FALSE;
        ShowRecordingState();
    }
    s_macro.run = MACRO_IDLE;
    g_pMacroPos = NULL;
    // An end the user did not ask for is told, not only beeped.
    if (bWasRecording && reason == MACRO_END_CANCEL)
        ShowDocumentMessage(g_hwndMain, IDS_RECORDING_ENDED, MB_OK | MB_ICONEXCLAMATION, "");
    else if (reason == MACRO_END_BLOCKED)
        ShowDocumentMessage(g_hwndMain, IDS_PLAYBACK_BLOCKED, MB_OK | MB_ICONEXCLAMATION, "");
    else if (reason == MACRO_END_FOCUS_MOVED)
        MessageBeep(0);
}

// Every message of a modal loop passes here. The Find and Replace dialogs,
// which a macro plays into, are modeless: the main loop serves them.
static LRESULT CALLBACK ModalLoopWatchProc(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* pMsg = reinterpret_cast<const MSG*>(lParam);
    if (code == MSGF_DIALOGBOX && IsPlaying() && pMsg->hwnd) {
        const HWND hwndRoot = GetAncestor(pMsg->hwnd, GA_ROOT);
        if (hwndRoot != g_hwndMain && hwndRoot != g_hwndFindDlg) {
            EndMacroRun(MACRO_END_USER, NULL);
            if (IsPlayedKey(pMsg))
                return TRUE;
        }
    }
    return CallNextHookEx(s_macro.hModalWatch, code, wParam, lParam);
}

static void WatchOwnThread()
{
    WatchThreadQueue();
    if (!s_macro.hModalWatch)
        s_macro.hModalWatch = g_pfnSetWindowsHookEx(WH_MSGFILTER, ModalLoopWatchProc, NULL, GetCurrentThreadId());
}

static void StartRecording()
{
    WatchOwnThread();
    // Emptied first: the low-level recorder appends as soon as it is in.
    MacroEvent* pOld = g_pMacroHead;
    g_pMacroHead = NULL;
    g_pMacroPos = NULL;
    s_macro.dwChordTime = GetMessageTime();
    NoteStartKeys();
    if (g_bJournalRecordsDesktop && JOURNAL_WAY.pfnStartRecording()) {
        s_macro.run = MACRO_RECORD_JOURNAL;
    } else if (INPUT_WAY.pfnStartRecording()) {
        s_macro.run = MACRO_RECORD_KEYBOARD;
        SetMacroTimer(RECORD_RENEW_MS);
    } else {
        // Refused either way: the old macro stays, and nothing claims to record.
        g_pMacroHead = pOld;
        MessageBeep(0);
        return;
    }
    FreeMacroEvents(pOld);
    g_bRecording = TRUE;
    ShowRecordingState();
}

static void StopRecording()
{
    // Cut where the chord was pressed or the menu opened. Given any other way
    // (another program's message), the command has no time: all stays.
    const BOOL bFromMenu = !g_pAcceleratorMsg && static_cast<LONG>(s_macro.dwMenuOpened - s_macro.dwChordTime) > 0;
    const DWORD dwStop = bFromMenu ? s_macro.dwMenuOpened : GetMessageTime();
    EndMacroRun(MACRO_END_USER, g_pAcceleratorMsg || bFromMenu ? &dwStop : NULL);
}

// A timer comes only once no input waits, so whatever the last run opened
// (a menu, a dialog) is there for the next.
static void PlayNextRun()
{
    const MacroEnd end = PlayNextInputRun();
    if (end == MACRO_GOING_ON)
        SetMacroTimer(USER_TIMER_MINIMUM);
    else
        EndMacroRun(end, NULL);
}

static void BeginPlaying()
{
    if (!s_macro.bJournalPlaybackSilent && JOURNAL_WAY.pfnStartPlayback()) {
        s_macro.run = MACRO_PLAY_JOURNAL;
        SetMacroTimer(JOURNAL_SILENT_MS);
        return;
    }
    s_macro.run = MACRO_PLAY_INPUT;  // so that a start refused half way is undone
    if (INPUT_WAY.pfnStartPlayback()) {
        PlayNextRun();
    } else {
        EndMacroRun(MACRO_END_USER, NULL);
        MessageBeep(0);
    }
}

// Played under a held Ctrl+Shift, letters would be shortcuts; but a stuck
// key must not keep the macro from playing. A key once up is done with.
static void WaitForChordKeys()
{
    BOOL bHeld = FALSE;
    for (int vk = 0; vk < 256; ++vk)
        bHeld |= s_macro.abChordKeys[vk] &= (GetAsyncKeyState(vk) & 0x8000) != 0;
    if (bHeld && GetTickCount() - s_macro.dwChordTime < CHORD_WAIT_MS)
        SetMacroTimer(CHORD_POLL_MS);
    else
        BeginPlaying();
}

void StartPlayback()
{
    if (s_macro.run != MACRO_IDLE || !g_pMacroHead)
        return;
    WatchOwnThread();
    g_pMacroPos = g_pMacroHead;
    s_macro.run = MACRO_PLAY_WAITING;
    WaitForChordKeys();
}

static VOID CALLBACK MacroTimerProc(HWND hwnd, UINT, UINT_PTR idEvent, DWORD)
{
    switch (s_macro.run) {
    case MACRO_RECORD_KEYBOARD:
        // The system may have dropped the hook unseen: it goes in again.
        if (!RenewKeyboardRecording())
            EndMacroRun(MACRO_END_CANCEL, NULL);
        break;
    case MACRO_PLAY_WAITING:
        WaitForChordKeys();
        break;
    case MACRO_PLAY_JOURNAL:
        KillTimer(hwnd, idEvent);
        if (!JournalPlaybackAsked()) {
            // Accepted but never called (Wine does so): nothing has been
            // played, so the macro goes the input way, now and for the run.
            StopJournal();
            s_macro.bJournalPlaybackSilent = TRUE;
            BeginPlaying();
        }
        break;
    case MACRO_PLAY_INPUT:
        PlayNextRun();
        break;
    default:
        KillTimer(hwnd, idEvent);
        break;
    }
}

void RunRecordCommand()
{
    if (IsChordRepeat())
        return;
    if (IsRecording())
        StopRecording();
    else if (IsPlaying())
        EndMacroRun(MACRO_END_USER, NULL);
    else
        StartRecording();
}

void RunPlayCommand(HWND hwndMain)
{
    if (IsChordRepeat() || s_macro.run != MACRO_IDLE)
        return;
    ZeroMemory(s_macro.abChordKeys, sizeof s_macro.abChordKeys);
    if (g_pAcceleratorMsg) {
        s_macro.abChordKeys[g_pAcceleratorMsg->wParam & 0xFF] = TRUE;
        const int modifiers[] = {VK_SHIFT, VK_CONTROL, VK_MENU};
        for (int vk : modifiers)
            s_macro.abChordKeys[vk] = (GetKeyState(vk) & 0x8000) != 0;
    }
    s_macro.dwChordTime = GetMessageTime();
    // Once the menu or accelerator has finished with the keyboard.
    PostMessageA(hwndMain, WMU_PLAYMACRO, 0, 0);
}

void UpdatePlayMenuItem()
{
    const BOOL bPlayable = s_macro.run == MACRO_IDLE && g_pMacroHead;
    EnableMenuItem(g_hMenu, IDM_PLAY, MF_BYCOMMAND | (bPlayable ? MF_ENABLED : MF_GRAYED));
}

void NoteMenuOpened()
{
    s_macro.dwMenuOpened = GetMessageTime();
}

// A recording the input way ends on its own only when its hook is refused.
void OnMacroEnded(WPARAM reason)
{
    if (IsPlaying() || (reason == MACRO_END_CANCEL && s_macro.run == MACRO_RECORD_JOURNAL))
        EndMacroRun(static_cast<MacroEnd>(reason), NULL);
}

void ReleaseMacro()
{
    EndMacroRun(MACRO_END_USER, NULL);
    FreeMacroEvents(g_pMacroHead);
    g_pMacroHead = NULL;
}
