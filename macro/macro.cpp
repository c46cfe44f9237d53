// The macro's state table. g_pMacroPos is the tail while recording, the
// cursor while playing, and NULL otherwise; the commands read it as
// "something is running". How it runs is s_run, and only this file changes
// it: the ways install and remove their hooks when told, and report an end
// with WMU_MACROENDED, which is handled here.
#include "macro/macro.h"

#include "app/state.h"
#include "document/document.h"
#include "macro/inputmacro.h"
#include "macro/journal.h"
#include "res/resource.h"

constexpr UINT_PTR JOURNAL_WATCH_TIMER_ID = 0x4D53;
constexpr UINT_PTR RELEASE_WAIT_TIMER_ID = 0x4D54;
// A journal playback that works is asked for its first event at once.
constexpr UINT JOURNAL_SILENT_MS = 250;
constexpr UINT RELEASE_POLL_MS = 15;

static BOOL RunningOnWine()
{
    // Nothing documented tells whether a journal hook will see other
    // threads' keys; Wine's own documented mark is this export of its ntdll.
    HMODULE hNtdll = GetModuleHandleA("ntdll.dll");
    return hNtdll && GetProcAddress(hNtdll, "wine_get_version");
}

BOOL g_bJournalRecordsDesktop = !RunningOnWine();

static MacroRun s_run;
static BOOL s_bJournalPlaybackSilent;  // learnt once, kept for the run
static BOOL s_abAskingKeys[256];       // held when the playback was asked for

MacroRun GetMacroRun()
{
    return s_run;
}

static void ShowRecordingState()
{
    CheckMenuItem(g_hMenu, IDM_RECORD, MF_BYCOMMAND | (g_bRecording ? MF_CHECKED : MF_UNCHECKED));
    UpdateTitle(g_hInstance, g_hwndMain, g_bRecording);
}

// Ends whatever runs, either way, and removes its hooks; a playback lets go
// of the keys it pressed.
static void EndMacroRun()
{
    KillTimer(g_hwndMain, JOURNAL_WATCH_TIMER_ID);
    KillTimer(g_hwndMain, RELEASE_WAIT_TIMER_ID);
    switch (s_run) {
    case MACRO_RECORD_KEYBOARD:
        StopKeyboardRecording();
        break;
    case MACRO_PLAY_JOURNAL:
        StopJournalPlayback();
        break;
    case MACRO_PLAY_INPUT:
        StopInputPlayback();
        break;
    default:
        break;
    }
    if (g_hJournalHook)
        UnhookWindowsHookEx(g_hJournalHook);
    g_hJournalHook = NULL;
    if (s_run == MACRO_PLAY_JOURNAL)
        SendKeyReleases(JournalHeldKeys());
    s_run = MACRO_IDLE;
    g_pMacroPos = NULL;
}

void StartRecording()
{
    if (s_run != MACRO_IDLE)
        return;
    WatchThreadQueue();
    // The list is emptied before a hook goes in: the low-level recorder
    // appends from its own thread as soon as it is in.
    MacroEvent* pOld = g_pMacroHead;
    g_pMacroHead = NULL;
    g_pMacroPos = NULL;
    BeginRecordedKeys();
    if (g_bJournalRecordsDesktop && (g_hJournalHook = StartJournalRecording()) != NULL) {
        s_run = MACRO_RECORD_JOURNAL;
    } else if (StartKeyboardRecording()) {
        s_run = MACRO_RECORD_KEYBOARD;
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

void StopRecording()
{
    const BOOL bRecorded = g_bRecording;
    EndMacroRun();
    if (bRecorded)
        EndRecordedKeys();
    g_pMacroPos = NULL;
    g_bRecording = FALSE;
    ShowRecordingState();
}

static void PlayByInput()
{
    g_pMacroPos = g_pMacroHead;
    if (StartInputPlayback()) {
        s_run = MACRO_PLAY_INPUT;
        return;
    }
    s_run = MACRO_IDLE;
    g_pMacroPos = NULL;
    MessageBeep(0);
}

static VOID CALLBACK JournalWatchTimerProc(HWND hwnd, UINT, UINT_PTR idEvent, DWORD)
{
    KillTimer(hwnd, idEvent);
    if (s_run != MACRO_PLAY_JOURNAL || JournalPlaybackAsked())
        return;
    // Accepted but never called (Wine does so): nothing has been played, so
    // the same macro goes the input way, now and for the rest of the run.
    StopJournalPlayback();
    UnhookWindowsHookEx(g_hJournalHook);
    g_hJournalHook = NULL;
    s_bJournalPlaybackSilent = TRUE;
    PlayByInput();
}

static void BeginPlaying()
{
    WatchThreadQueue();
    if (!s_bJournalPlaybackSilent && (g_hJournalHook = StartJournalPlayback()) != NULL) {
        s_run = MACRO_PLAY_JOURNAL;
        SetTimer(g_hwndMain, JOURNAL_WATCH_TIMER_ID, JOURNAL_SILENT_MS, JournalWatchTimerProc);
        return;
    }
    PlayByInput();
}

static BOOL IsMouseButton(int vk)
{
    return vk == VK_LBUTTON || vk == VK_RBUTTON || vk == VK_MBUTTON || vk == VK_XBUTTON1 || vk == VK_XBUTTON2;
}

static BOOL AskingKeysHeld()
{
    BOOL bHeld = FALSE;
    for (int vk = 0; vk < 256; ++vk) {
        if (s_abAskingKeys[vk] && !(GetAsyncKeyState(vk) & 0x8000))
            s_abAskingKeys[vk] = FALSE;
        bHeld |= s_abAskingKeys[vk];
    }
    return bHeld;
}

static void WaitForAskingKeys();

static VOID CALLBACK ReleaseWaitTimerProc(HWND, UINT, UINT_PTR, DWORD)
{
    if (s_run == MACRO_PLAY_WAITING)
        WaitForAskingKeys();
}

// Played while the user still holds Ctrl+Shift from Ctrl+Shift+P, the
// macro's letters would be shortcuts.
static void WaitForAskingKeys()
{
    if (AskingKeysHeld()) {
        SetTimer(g_hwndMain, RELEASE_WAIT_TIMER_ID, RELEASE_POLL_MS, ReleaseWaitTimerProc);
        return;
    }
    KillTimer(g_hwndMain, RELEASE_WAIT_TIMER_ID);
    BeginPlaying();
}

void StartPlayback()
{
    if (g_bRecording || s_run != MACRO_IDLE || g_hJournalHook || !g_pMacroHead)
        return;
    g_pMacroPos = g_pMacroHead;
    s_run = MACRO_PLAY_WAITING;
    for (int vk = 0; vk < 256; ++vk)
        s_abAskingKeys[vk] = !IsMouseButton(vk) && (GetAsyncKeyState(vk) & 0x8000);
    WaitForAskingKeys();
}

void RunRecordCommand()
{
    if (!g_bRecording && !g_pMacroPos)
        StartRecording();
    else
        StopRecording();
}

void RunPlayCommand(HWND hwndMain)
{
    // Installed from the queue, once the menu or accelerator that asked for
    // it has finished with the keyboard.
    if (!g_pMacroPos)
        PostMessageA(hwndMain, WMU_PLAYMACRO, 0, 0);
}

void UpdatePlayMenuItem()
{
    const BOOL bPlayable = !g_bRecording && s_run == MACRO_IDLE && !g_hJournalHook && g_pMacroHead;
    EnableMenuItem(g_hMenu, IDM_PLAY, MF_BYCOMMAND | (bPlayable ? MF_ENABLED : MF_GRAYED));
}

static BOOL Playing()
{
    return s_run == MACRO_PLAY_WAITING || s_run == MACRO_PLAY_JOURNAL || s_run == MACRO_PLAY_INPUT;
}

void OnMacroEnded(WPARAM reason)
{
    switch (reason) {
    case MACRO_END_DONE:
    case MACRO_END_USER_INPUT:
        if (Playing())
            EndMacroRun();
        break;
    case MACRO_END_CANCEL:
        CancelMacroRun();
        break;
    case MACRO_END_HOOK_LOST:
        // A recording that goes on unseen would record nothing: it ends as
        // if Record had been pressed, with a beep.
        if (s_run == MACRO_RECORD_KEYBOARD) {
            StopRecording();
            MessageBeep(0);
        } else if (Playing()) {
            EndMacroRun();
        }
        break;
    }
}

void CancelMacroRun()
{
    if (s_run == MACRO_IDLE && !g_hJournalHook)
        return;
    EndMacroRun();
}

void EndPlaybackBeforeOwnWindow()
{
    if (Playing())
        EndMacroRun();
}

void ReleaseMacro()
{
    // The hooks go first: the system could call one again while the nodes
    // it reads are being released.
    EndMacroRun();
    FreeMacroEvents(g_pMacroHead);
    g_pMacroHead = NULL;
}
