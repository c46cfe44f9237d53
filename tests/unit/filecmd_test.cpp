// The file commands, the save prompt on every path that would discard
// changes, and the file dialogs, answered from inside their modal loops.
#include "unit/document_fixture.h"

#include <dlgs.h>
#include <shlobj.h>

#include "document/filecmd.h"
#include "res/resource.h"
#include "support/dialogs.h"
#include "support/files.h"

namespace {

const char kPromptTail[] = "\nwurde ge\xE4ndert.\n\nM\xF6" "chten Sie die \xC4nderungen speichern?";

class FileCommandTest : public DocumentFixture {
protected:
    // Opens path through the Open dialog.
    void OpenThroughDialog(const std::string& path)
    {
        DialogScript script({Choose(path)});
        Command(IDM_OPEN);
        ASSERT_EQ(script.Done(), 1u);
        ASSERT_EQ(script.Unexpected(), 0);
    }
};

bool Centred(const RECT& rc)
{
    const int x = (GetSystemMetrics(SM_CXSCREEN) - (rc.right - rc.left)) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - (rc.bottom - rc.top)) / 2;
    return rc.left == x && rc.top == y;
}

}  // namespace

TEST_F(FileCommandTest, NothingAsksWhileTheDocumentIsUnmodified)
{
    SetPaneText("unverändert");
    DialogScript script({CancelFileDialog()});
    Command(IDM_NEW);
    EXPECT_EQ(PaneText(), "");
    Command(IDM_OPEN);
    EXPECT_TRUE(SendMessageA(g_hwndMain, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF));
    SendMessageA(g_hwndMain, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(g_hwndMain));
    ASSERT_EQ(script.Seen().size(), 1u);
    EXPECT_EQ(script.Seen()[0].kind, DialogKind::FileDialog);
    EXPECT_EQ(script.Unexpected(), 0);
}

TEST_F(FileCommandTest, NewOnAModifiedDocumentAsksAndEachAnswerActs)
{
    Type("Entwurf");
    {
        DialogScript script({Answer(IDCANCEL)});
        Command(IDM_NEW);
        ASSERT_EQ(script.Seen().size(), 1u);
        const SeenDialog& box = script.Seen()[0];
        EXPECT_EQ(box.kind, DialogKind::MessageBox);
        EXPECT_EQ(box.text, std::string("Unbenannt") + kPromptTail);
        EXPECT_EQ(box.caption, "Tekstor ");
        EXPECT_TRUE(box.bExclamation);
        EXPECT_TRUE(box.bYesNoCancel);
        EXPECT_EQ(box.hwndOwner, g_hwndMain);
    }
    EXPECT_EQ(PaneText(), "Entwurf");
    EXPECT_TRUE(Modified());

    {
        DialogScript script({Answer(IDNO)});
        Command(IDM_NEW);
        EXPECT_EQ(script.Done(), 1u);
    }
    EXPECT_EQ(PaneText(), "");
    EXPECT_FALSE(Modified());
    EXPECT_EQ(WindowText(g_hwndMain), "Tekstor - Unbenannt");
    EXPECT_TRUE(g_bUntitled);

    // A pane emptied by hand is still a modified one, and New ends that too.
    Type("Entwurf");
    SendMessageA(g_hwndEdit, EM_SETSEL, 0, -1);
    SendMessageA(g_hwndEdit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(""));
    {
        DialogScript script({Answer(IDNO)});
        Command(IDM_NEW);
        EXPECT_EQ(script.Done(), 1u);
    }
    EXPECT_FALSE(Modified());
}

TEST_F(FileCommandTest, YesOnAnUntitledDocumentSavesThroughSaveAs)
{
    Type("Entwurf");
    DialogScript script({Answer(IDYES), Choose(m_dir / "gerettet")});
    Command(IDM_NEW);
    EXPECT_EQ(script.Done(), 2u);
    EXPECT_EQ(script.Unexpected(), 0);
    // The dialog added the default extension.
    EXPECT_EQ(ReadBytes(m_dir / "gerettet.txt"), "Entwurf");
    EXPECT_EQ(PaneText(), "");
    EXPECT_TRUE(g_bUntitled);
}

TEST_F(FileCommandTest, ASaveThatFailsOrIsCancelledStopsNew)
{
    Type("Entwurf");
    {
        DialogScript script({Answer(IDYES), CancelFileDialog()});
        Command(IDM_NEW);
        EXPECT_EQ(script.Done(), 2u);
    }
    EXPECT_EQ(PaneText(), "Entwurf");
    EXPECT_TRUE(Modified());

    ASSERT_TRUE(WriteBytes(m_dir / "gesperrt.txt", "alt"));
    UseFile(m_dir / "gesperrt.txt");
    FileLock lock(m_dir / "gesperrt.txt");
    {
        DialogScript script({Answer(IDYES)});
        EXPECT_FALSE(FileNew(g_hInstance, g_hwndMain, g_hwndEdit));
        EXPECT_EQ(script.Done(), 1u);
    }
    EXPECT_EQ(PaneText(), "Entwurf");
    EXPECT_TRUE(Modified());
    EXPECT_EQ(std::string(g_szFileName), m_dir / "gesperrt.txt");
}

TEST_F(FileCommandTest, APromptThatCannotBeShownDiscardsNothing)
{
    Type("Entwurf");
    WindowCreationBlocker blocker("#32770");
    EXPECT_FALSE(FileNew(g_hInstance, g_hwndMain, g_hwndEdit));
    EXPECT_GE(blocker.Blocked(), 1);
    EXPECT_EQ(PaneText(), "Entwurf");
    EXPECT_TRUE(Modified());
}

TEST_F(FileCommandTest, ClosingAModifiedDocumentAsksFirst)
{
    ASSERT_TRUE(WriteBytes(m_dir / "schluss.txt", ""));
    UseFile(m_dir / "schluss.txt");
    Type("Entwurf");
    {
        DialogScript script({Answer(IDCANCEL)});
        SendMessageA(g_hwndMain, WM_CLOSE, 0, 0);
        EXPECT_EQ(script.Done(), 1u);
    }
    ASSERT_TRUE(IsWindow(g_hwndMain));
    EXPECT_EQ(PaneText(), "Entwurf");
    {
        DialogScript script({Answer(IDYES)});
        SendMessageA(g_hwndMain, WM_CLOSE, 0, 0);
        EXPECT_EQ(script.Done(), 1u);
    }
    EXPECT_FALSE(IsWindow(g_hwndMain));
    EXPECT_EQ(ReadBytes(m_dir / "schluss.txt"), "Entwurf");
}

TEST_F(FileCommandTest, NoWhenClosingDiscardsTheChanges)
{
    ASSERT_TRUE(WriteBytes(m_dir / "schluss.txt", "gespeichert"));
    UseFile(m_dir / "schluss.txt");
    Type("Entwurf");
    DialogScript script({Answer(IDNO)});
    SendMessageA(g_hwndMain, WM_CLOSE, 0, 0);
    EXPECT_EQ(script.Done(), 1u);
    EXPECT_FALSE(IsWindow(g_hwndMain));
    EXPECT_EQ(ReadBytes(m_dir / "schluss.txt"), "gespeichert");
}

TEST_F(FileCommandTest, TheEndOfTheSessionWaitsForTheAnswer)
{
    Type("Entwurf");
    {
        DialogScript script({Answer(IDCANCEL)});
        EXPECT_EQ(SendMessageA(g_hwndMain, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), 0);
        EXPECT_EQ(script.Done(), 1u);
    }
    ASSERT_TRUE(WriteBytes(m_dir / "sitzung.txt", ""));
    UseFile(m_dir / "sitzung.txt");
    {
        DialogScript script({Answer(IDYES)});
        EXPECT_NE(SendMessageA(g_hwndMain, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), 0);
        EXPECT_EQ(script.Done(), 1u);
    }
    EXPECT_EQ(ReadBytes(m_dir / "sitzung.txt"), "Entwurf");
    EXPECT_TRUE(IsWindow(g_hwndMain));

    // No lets the session end and leaves the file as it was.
    Type("verworfen");
    {
        DialogScript script({Answer(IDNO)});
        EXPECT_NE(SendMessageA(g_hwndMain, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), 0);
        EXPECT_EQ(script.Done(), 1u);
    }
    EXPECT_EQ(ReadBytes(m_dir / "sitzung.txt"), "Entwurf");
}

TEST_F(FileCommandTest, OpenAdoptsTheLongNameAndTheCaptionShowsIt)
{
    ASSERT_TRUE(WriteBytes(m_dir / "Notizen Januar.txt", "Inhalt\r\n"));
    Type("Entwurf");
    {
        DialogScript script({Answer(IDNO), Choose(m_dir / "Notizen Januar.txt")});
        EXPECT_TRUE(FileOpen(g_hInstance, g_hwndMain, g_hwndEdit));
        ASSERT_EQ(script.Seen().size(), 2u);
        const SeenDialog& dlg = script.Seen()[1];
        EXPECT_EQ(dlg.text, "Unbenannt");
        EXPECT_EQ(dlg.types, (std::vector<std::string>{"Textdokumente", "Alle Dateien"}));
        EXPECT_TRUE(Centred(dlg.rc)) << dlg.rc.left << "," << dlg.rc.top;
    }
    const std::string path = m_dir / "Notizen Januar.txt";
    EXPECT_EQ(std::string(g_szFileName), path);
    EXPECT_FALSE(g_bUntitled);
    EXPECT_EQ(PaneText(), "Inhalt\r\n");
    EXPECT_FALSE(Modified());
    EXPECT_EQ(WindowText(g_hwndMain), "Tekstor - " + DirectoryPart(path) + ShellDisplayName(path));

    // The prompt names the document by its full path.
    Type("geändert");
    DialogScript script({Answer(IDCANCEL)});
    Command(IDM_NEW);
    ASSERT_EQ(script.Seen().size(), 1u);
    EXPECT_EQ(script.Seen()[0].text, path + kPromptTail);
}

TEST_F(FileCommandTest, OpenThatIsCancelledOrCannotLoadChangesNothing)
{
    Type("Entwurf");
    {
        // Cancel in the prompt: no dialog at all.
        DialogScript script({Answer(IDCANCEL)});
        EXPECT_FALSE(FileOpen(g_hInstance, g_hwndMain, g_hwndEdit));
        EXPECT_EQ(script.Seen().size(), 1u);
        EXPECT_EQ(script.Unexpected(), 0);
    }
    {
        DialogScript script({Answer(IDNO), CancelFileDialog()});
        EXPECT_FALSE(FileOpen(g_hInstance, g_hwndMain, g_hwndEdit));
        EXPECT_EQ(script.Done(), 2u);
    }
    EXPECT_EQ(PaneText(), "Entwurf");
    EXPECT_TRUE(Modified());

    // A new name that the dialog only offered to create.
    {
        DialogScript script({Answer(IDNO), Choose(m_dir / "neu.txt"), Answer(IDYES)});
        EXPECT_FALSE(FileOpen(g_hInstance, g_hwndMain, g_hwndEdit));
        EXPECT_EQ(script.Done(), 3u);
        EXPECT_EQ(script.Unexpected(), 0);
    }
    EXPECT_EQ(ReadBytes(m_dir / "Oneu.txt"), "<missing>");

    // A file another program holds open for writing: the name is given back,
    // so a later save cannot write this text over that file.
    ASSERT_TRUE(WriteBytes(m_dir / "gesperrt.txt", "fremd"));
    FileLock lock(m_dir / "gesperrt.txt");
    {
        DialogScript script({Answer(IDNO), Choose(m_dir / "gesperrt.txt")});
        EXPECT_FALSE(FileOpen(g_hInstance, g_hwndMain, g_hwndEdit));
        EXPECT_EQ(script.Done(), 2u);
    }
    EXPECT_EQ(PaneText(), "Entwurf");
    EXPECT_TRUE(Modified());
    EXPECT_STREQ(g_szFileName, "Unbenannt");
    EXPECT_TRUE(g_bUntitled);
    EXPECT_EQ(WindowText(g_hwndMain), "Tekstor - Unbenannt");
}

TEST_F(FileCommandTest, SaveOnANamedDocumentWritesWithoutADialog)
{
    ASSERT_TRUE(WriteBytes(m_dir / "brief.txt", "alt und lang"));
    OpenThroughDialog(m_dir / "brief.txt");
    const std::string caption = WindowText(g_hwndMain);
    Type("neu");
    DialogScript script({});
    Command(IDM_SAVE);
    EXPECT_TRUE(script.Seen().empty());
    EXPECT_EQ(ReadBytes(m_dir / "brief.txt"), "neu");
    EXPECT_FALSE(Modified());
    EXPECT_EQ(WindowText(g_hwndMain), caption);
}

TEST_F(FileCommandTest, SaveAsAdoptsTheLongNameAndStartsWhereTheDocumentIs)
{
    Type("Text");
    {
        DialogScript script({Choose(m_dir / "Langer Name")});
        Command(IDM_SAVE);
        ASSERT_EQ(script.Seen().size(), 1u);
        EXPECT_EQ(script.Seen()[0].text, "Unbenannt");
        EXPECT_TRUE(Centred(script.Seen()[0].rc));
        EXPECT_EQ(script.Seen()[0].types,
                  (std::vector<std::string>{"Textdokumente", "Alle Dateien"}));
    }
    EXPECT_EQ(std::string(g_szFileName), m_dir / "Langer Name.txt");
    EXPECT_FALSE(g_bUntitled);
    EXPECT_FALSE(Modified());
    EXPECT_EQ(ReadBytes(m_dir / "Langer Name.txt"), "Text");
    EXPECT_EQ(WindowText(g_hwndMain), "Tekstor - " + m_dir / ShellDisplayName(m_dir / "Langer Name.txt"));

    // The dialog starts in the document's folder with its name; an existing
    // name brings the overwrite question.
    ASSERT_TRUE(WriteBytes(m_dir / "da.txt", "alt"));
    Type("noch mehr");
    {
        DialogScript script({Choose(m_dir / "da.txt"), Answer(IDNO), Choose(m_dir / "da.txt"),
                             Answer(IDYES)});
        Command(IDM_SAVEAS);
        ASSERT_EQ(script.Done(), 4u);
        EXPECT_EQ(script.Unexpected(), 0);
        EXPECT_EQ(script.Seen()[0].text, ShellDisplayName(m_dir / "Langer Name.txt"));
        EXPECT_EQ(LongPath(script.Seen()[0].folder), LongPath(m_dir.Path()));
    }
    EXPECT_EQ(ReadBytes(m_dir / "da.txt"), "noch mehr");
    EXPECT_EQ(std::string(g_szFileName), m_dir / "da.txt");

    // The prompt shows the long path it was saved under.
    Type("wieder");
    DialogScript script({Answer(IDCANCEL)});
    Command(IDM_NEW);
    ASSERT_EQ(script.Seen().size(), 1u);
    EXPECT_EQ(script.Seen()[0].text, m_dir / "da.txt" + kPromptTail);
}

TEST_F(FileCommandTest, SaveAsThatCannotWriteKeepsTheOldName)
{
    ASSERT_TRUE(WriteBytes(m_dir / "mein.txt", "alt"));
    OpenThroughDialog(m_dir / "mein.txt");
    const std::string name = g_szFileName;
    const std::string caption = WindowText(g_hwndMain);
    Type("neu");

    ASSERT_TRUE(WriteBytes(m_dir / "gesperrt.txt", "fremd"));
    FileLock lock(m_dir / "gesperrt.txt");
    DialogScript script({Choose(m_dir / "gesperrt.txt"), Answer(IDYES)});
    EXPECT_FALSE(FileSaveAs(g_hInstance, g_hwndMain, g_hwndEdit));
    EXPECT_EQ(script.Done(), 2u);
    EXPECT_EQ(std::string(g_szFileName), name);
    EXPECT_FALSE(g_bUntitled);
    EXPECT_EQ(WindowText(g_hwndMain), caption);
    EXPECT_TRUE(Modified());
    EXPECT_EQ(ReadBytes(m_dir / "mein.txt"), "alt");
}

TEST_F(FileCommandTest, TheRecordingMarkStaysInTheCaption)
{
    g_bRecording = TRUE;
    Command(IDM_NEW);
    EXPECT_EQ(WindowText(g_hwndMain), "Tekstor [Recording] - Unbenannt");
    g_bRecording = FALSE;
}

// The wide dialogs give the file's exact name: a Greek capital omega is not
// the Latin O of another file beside it, in a name or a folder, new or old;
// a shortcut stands for its target.
TEST_F(FileCommandTest, TheDialogsGiveTheExactFile)
{
    const std::wstring omega = Wide(m_dir.Path()) + L"\\\x03A9mega.txt";
    ASSERT_TRUE(WriteBytes(omega, "griechisch"));
    ASSERT_TRUE(WriteBytes(m_dir / "Omega.txt", "lateinisch"));
    {
        DialogScript script({Choose(L"\"" + omega + L"\"")});  // the field takes one name in quotes
        Command(IDM_OPEN);
        ASSERT_EQ(script.Done(), 1u);
    }
    EXPECT_EQ(PaneText(), "griechisch");
    EXPECT_EQ(std::wstring(g_wszDocumentPath), omega);
    Type("eins");
    Command(IDM_SAVE);
    EXPECT_FALSE(Modified());
    EXPECT_EQ(ReadBytes(omega), "eins");

    const std::wstring folder = Wide(m_dir.Path()) + L"\\\x0141ukasz";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), NULL));
    Type("zwei");
    {
        DialogScript script({Choose(folder + L"\\\x03A9neu.txt")});
        Command(IDM_SAVEAS);
        EXPECT_EQ(script.Done(), 1u);
        EXPECT_EQ(script.Unexpected(), 0);
    }
    EXPECT_FALSE(Modified());
    EXPECT_EQ(ReadBytes(folder + L"\\\x03A9neu.txt"), "zwei");
    EXPECT_EQ(ReadBytes(m_dir / "Omega.txt"), "lateinisch");

    ASSERT_TRUE(MakeShortcut(Wide(m_dir / "Notizen.lnk"), omega));
    OpenThroughDialog(m_dir / "Notizen.lnk");
    EXPECT_EQ(PaneText(), "eins");
    EXPECT_EQ(std::wstring(g_wszDocumentPath), omega);
    EXPECT_EQ(ReadBytes(m_dir / "Notizen.lnk").rfind("L\0\0\0", 0), 0u);
}
