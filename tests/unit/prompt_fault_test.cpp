// The save prompt when the window is closed or the session ends while
// something else is going on: a Find dialog is open, keys are being
// recorded, a file dialog is waiting. Cancel keeps everything; No ends the
// editor cleanly; the text is never lost on the way.
#include "unit/document_fixture.h"

#include "res/resource.h"
#include "support/dialogs.h"
#include "support/files.h"

namespace {

class PromptFaultTest : public DocumentFixture {
protected:
    // Closing and ending the session, both refused with Cancel; then closing
    // answered No, which must end the editor without a crash.
    void CancelTwiceThenDiscard(DialogScript* script)
    {
        SendMessageA(g_hwndMain, WM_CLOSE, 0, 0);
        ASSERT_TRUE(IsWindow(g_hwndMain));
        EXPECT_EQ(PaneText(), "Entwurf");
        EXPECT_TRUE(Modified());
        EXPECT_FALSE(SendMessageA(g_hwndMain, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF));
        ASSERT_TRUE(IsWindow(g_hwndMain));
        EXPECT_EQ(PaneText(), "Entwurf");
        SendMessageA(g_hwndMain, WM_CLOSE, 0, 0);
        EXPECT_FALSE(IsWindow(g_hwndMain));
        int nQuit = 0;
        EXPECT_FALSE(PumpMessages(m_hAccel, &nQuit));
        EXPECT_EQ(nQuit, 1);
        EXPECT_EQ(script->Done(), 3u);
        EXPECT_EQ(script->Unexpected(), 0);
    }
};

// The file dialog this thread shows now, or NULL.
HWND g_hwndFileDialog;
BOOL CALLBACK FindFileDialogProc(HWND hwnd, LPARAM)
{
    char cls[16] = "";
    GetClassNameA(hwnd, cls, sizeof cls);
    if (lstrcmpA(cls, "#32770") == 0 && IsWindowVisible(hwnd) && GetDlgItem(hwnd, 0x480)) {
        g_hwndFileDialog = hwnd;
        return FALSE;
    }
    return TRUE;
}

// What the question got while the file dialog was open.
struct DuringFileDialog {
    UINT uMessage = WM_QUERYENDSESSION;
    int nAnswer = IDCANCEL;  // to the save prompt that the question brings
    bool bAsked = false;
    LRESULT result = -1;
    bool bWindowAfter = false;
    size_t nDone = 0;
    int nUnexpected = -1;
};
DuringFileDialog g_during;

// Fires inside the file dialog's modal loop: asks the main window there, as
// the system would, answers the prompt, then cancels the file dialog. The
// prompt's answer is scripted only now, so that the script does not take the
// file dialog for a dialog it did not expect.
void CALLBACK AskDuringFileDialogProc(HWND, UINT, UINT_PTR idTimer, DWORD)
{
    g_hwndFileDialog = NULL;
    EnumThreadWindows(GetCurrentThreadId(), FindFileDialogProc, 0);
    if (!g_hwndFileDialog || g_during.bAsked)
        return;
    KillTimer(NULL, idTimer);
    g_during.bAsked = true;
    const HWND hwndDialog = g_hwndFileDialog;
    DialogScript script({Answer(g_during.nAnswer)});
    script.Ignore(hwndDialog);
    g_during.result = SendMessageA(g_hwndMain, g_during.uMessage, 0, ENDSESSION_LOGOFF);
    g_during.bWindowAfter = IsWindow(g_hwndMain) != FALSE;
    g_during.nDone = script.Done();
    g_during.nUnexpected = script.Unexpected();
    if (IsWindow(hwndDialog))
        PostMessageA(hwndDialog, WM_COMMAND, IDCANCEL, 0);
}

void AskDuringFileDialog(UINT uMessage, int nAnswer)
{
    g_during = {};
    g_during.uMessage = uMessage;
    g_during.nAnswer = nAnswer;
    SetTimer(NULL, 0, 20, AskDuringFileDialogProc);
}

}  // namespace

TEST_F(PromptFaultTest, WithTheFindDialogOpen)
{
    Command(IDM_FIND);
    const HWND hwndFind = g_hwndFindDlg;
    ASSERT_TRUE(IsWindow(hwndFind));
    Type("Entwurf");
    DialogScript script({Answer(IDCANCEL), Answer(IDCANCEL), Answer(IDNO)});
    script.Ignore(hwndFind);
    CancelTwiceThenDiscard(&script);
    EXPECT_FALSE(IsWindow(hwndFind));
}

TEST_F(PromptFaultTest, DuringARecording)
{
    Command(IDM_RECORD);
    ASSERT_TRUE(g_bRecording);
    Type("Entwurf");
    DialogScript script({Answer(IDCANCEL), Answer(IDCANCEL), Answer(IDNO)});
    CancelTwiceThenDiscard(&script);
    EXPECT_FALSE(g_hJournalHook);
}

TEST_F(PromptFaultTest, TheSessionEndsWhileAFileDialogIsOpen)
{
    ASSERT_TRUE(WriteBytes(m_dir / "doc.txt", "alt"));
    UseFile(m_dir / "doc.txt");
    Type("Entwurf");
    // Cancel in the prompt: the session may not end, nothing changes.
    AskDuringFileDialog(WM_QUERYENDSESSION, IDCANCEL);
    Command(IDM_SAVEAS);
    ASSERT_TRUE(g_during.bAsked);
    EXPECT_EQ(g_during.result, FALSE);
    EXPECT_EQ(g_during.nDone, 1u);
    EXPECT_EQ(g_during.nUnexpected, 0);
    ASSERT_TRUE(IsWindow(g_hwndMain));
    EXPECT_EQ(PaneText(), "Entwurf");
    EXPECT_TRUE(Modified());
    EXPECT_EQ(ReadBytes(m_dir / "doc.txt"), "alt");

    // Yes: the document is saved under its own name while the dialog waits;
    // cancelling the dialog afterwards changes nothing more.
    AskDuringFileDialog(WM_QUERYENDSESSION, IDYES);
    Command(IDM_SAVEAS);
    ASSERT_TRUE(g_during.bAsked);
    EXPECT_NE(g_during.result, FALSE);
    EXPECT_EQ(g_during.nDone, 1u);
    EXPECT_EQ(ReadBytes(m_dir / "doc.txt"), "Entwurf");
    EXPECT_FALSE(Modified());
    EXPECT_EQ(std::string(g_szFileName), m_dir / "doc.txt");
}

TEST_F(PromptFaultTest, TheWindowIsClosedWhileAFileDialogIsOpen)
{
    Type("Entwurf");
    AskDuringFileDialog(WM_CLOSE, IDCANCEL);
    Command(IDM_SAVEAS);
    ASSERT_TRUE(g_during.bAsked);
    EXPECT_EQ(g_during.nDone, 1u);
    EXPECT_TRUE(g_during.bWindowAfter);
    ASSERT_TRUE(IsWindow(g_hwndMain));
    EXPECT_EQ(PaneText(), "Entwurf");
    EXPECT_TRUE(Modified());

    // No: the editor ends under the open dialog, which goes with it.
    AskDuringFileDialog(WM_CLOSE, IDNO);
    // Sent, not through Command: the loop's WM_QUIT is looked for below.
    SendMessageA(g_hwndMain, WM_COMMAND, IDM_SAVEAS, 0);
    ASSERT_TRUE(g_during.bAsked);
    EXPECT_EQ(g_during.nDone, 1u);
    EXPECT_FALSE(g_during.bWindowAfter);
    EXPECT_FALSE(IsWindow(g_hwndMain));
    int nQuit = 0;
    EXPECT_FALSE(PumpMessages(m_hAccel, &nQuit));
    EXPECT_EQ(nQuit, 1);
}
