// The file commands, the save prompt on every path that would discard
// changes, and the file dialogs, answered from inside their modal loops.
#include "unit/document_fixture.h"

#include <dlgs.h>
#include <shlobj.h>

#include "document/chosenname.h"
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

TEST_F(FileCommandTest, OpenAdoptsTheShortNameAndTheCaptionShowsTheLongOne)
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
    const std::string shortPath = ShortPath(m_dir / "Notizen Januar.txt");
    EXPECT_EQ(std::string(g_szFileName), shortPath);
    EXPECT_FALSE(g_bUntitled);
    EXPECT_EQ(PaneText(), "Inhalt\r\n");
    EXPECT_FALSE(Modified());
    EXPECT_EQ(WindowText(g_hwndMain), "Tekstor - " + DirectoryPart(shortPath) + ShellDisplayName(shortPath));

    // The prompt names the document as stored: the short path.
    Type("geändert");
    DialogScript script({Answer(IDCANCEL)});
    Command(IDM_NEW);
    ASSERT_EQ(script.Seen().size(), 1u);
    EXPECT_EQ(script.Seen()[0].text, shortPath + kPromptTail);
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

// The dialogs return a best-fit name: a Greek capital omega comes back as the
// Latin O of another file beside it. The file chosen is opened and written by
// its short name; a name without one is refused with a message while the
// dialog stays open, and nothing changes.
TEST_F(FileCommandTest, TheDialogsTakeANameOutsideTheCodePageOnlyExactly)
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
    EXPECT_EQ(std::string(g_szFileName), ShortPath(omega));
    Type("eins");
    {
        DialogScript script({Choose(omega), Answer(IDYES)});
        Command(IDM_SAVEAS);
        EXPECT_EQ(script.Done(), 2u);
        EXPECT_EQ(script.Unexpected(), 0);
    }
    EXPECT_FALSE(Modified());
    EXPECT_EQ(ReadBytes(omega), "eins");

    const char kSaveRefused[] =
        "Unter diesem Namen kann nicht gespeichert werden.\n\nDer Name enth\xE4lt Zeichen, "
        "die Tekstor nicht verarbeiten kann. W\xE4hlen Sie einen anderen Namen.";
    const std::wstring fresh = Wide(m_dir.Path()) + L"\\\x03A9neu.txt";
    Type("zwei");
    {
        // A new file has no short name yet: refused while the dialog is open.
        DialogScript script({Choose(fresh), Answer(IDOK), CancelFileDialog()});
        Command(IDM_SAVEAS);
        ASSERT_EQ(script.Done(), 3u);
        EXPECT_EQ(script.Unexpected(), 0);
        EXPECT_EQ(script.Seen()[1].text, kSaveRefused);
        EXPECT_EQ(script.Seen()[1].caption, "Tekstor ");
        EXPECT_TRUE(script.Seen()[1].bExclamation);
    }
    EXPECT_TRUE(Modified());
    EXPECT_EQ(std::string(g_szFileName), ShortPath(omega));
    EXPECT_EQ(ReadBytes(fresh), "<missing>");
    EXPECT_EQ(ReadBytes(m_dir / "Oneu.txt"), "<missing>");

    // A new name in a folder the code page cannot spell: through the
    // folder's short name.
    const std::wstring folder = Wide(m_dir.Path()) + L"\\\x0141ukasz";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), NULL));
    CreateDirectoryA((m_dir / "Lukasz").c_str(), NULL);
    {
        DialogScript script({Choose(folder + L"\\neu.txt")});
        Command(IDM_SAVEAS);
        EXPECT_EQ(script.Done(), 1u);
        EXPECT_EQ(script.Unexpected(), 0);
    }
    EXPECT_FALSE(Modified());
    EXPECT_EQ(std::string(g_szFileName), ShortPath(folder) + "\\neu.txt");
    EXPECT_EQ(ReadBytes(folder + L"\\neu.txt"), "zwei");
    EXPECT_EQ(ReadBytes(m_dir / "Lukasz\\neu.txt"), "<missing>");

    const char kOpenRefused[] =
        "Die Datei kann nicht ge\xF6" "ffnet werden.\n\nIhr Name enth\xE4lt Zeichen, die Tekstor "
        "nicht verarbeiten kann. Benennen Sie die Datei um, und versuchen Sie es erneut.";
    ShortNamesOff off;
    ASSERT_TRUE(off.Active());
    {
        DialogScript script({Choose(omega), Answer(IDOK), CancelFileDialog()});
        Command(IDM_OPEN);
        ASSERT_EQ(script.Done(), 3u);
        EXPECT_EQ(script.Seen()[1].text, kOpenRefused);
    }
    EXPECT_EQ(PaneText(), "zwei");
    EXPECT_EQ(ReadBytes(m_dir / "Omega.txt"), "lateinisch");
}

namespace {

// The file dialog at the moment the user confirms, as the hook sees it: its
// folder (the answer to CDM_GETFOLDERIDLIST), its name field, and the result
// it put into its record. It stands in for what Wine's dialog cannot show:
// Windows' dialog returns a shortcut's target (Wine's the shortcut itself),
// and a result other than folder and field joined.
class ConfirmedDialog {
public:
    ConfirmedDialog(const std::wstring& folder, const std::wstring& field)
    {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = DialogProc;
        wc.cbWndExtra = DLGWINDOWEXTRA;
        wc.hInstance = GetModuleHandleW(NULL);
        wc.lpszClassName = L"TekstorConfirmedDialog";
        RegisterClassW(&wc);
        m_pidl = folder.empty() ? nullptr : ILCreateFromPathW(folder.c_str());
        m_hwnd = CreateWindowW(wc.lpszClassName, L"", WS_POPUP, 0, 0, 10, 10, NULL, NULL,
                               wc.hInstance, NULL);
        SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(m_pidl));
        CreateWindowW(L"Edit", field.c_str(), WS_CHILD, 0, 0, 10, 10, m_hwnd,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(edt1)), wc.hInstance, NULL);
    }
    ~ConfirmedDialog()
    {
        DestroyWindow(m_hwnd);
        ILFree(m_pidl);
    }
    // The confirmation through the hook: true when it lets the dialog close.
    bool Confirm(std::string result)
    {
        OPENFILENAMEA ofn = {};
        result.resize(MAX_PATH);
        ofn.lpstrFile = &result[0];
        OFNOTIFYA notify = {};
        notify.hdr.hwndFrom = m_hwnd;
        notify.hdr.code = static_cast<UINT>(CDN_FILEOK);
        notify.lpOFN = &ofn;
        SetWindowLongPtrA(m_hwnd, DWLP_MSGRESULT, 0);
        const UINT_PTR refused = FileDialogHookProc(m_hwnd, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&notify));
        EXPECT_EQ(refused != 0, GetWindowLongPtrA(m_hwnd, DWLP_MSGRESULT) != 0);
        return refused == 0;
    }
private:
    static LRESULT CALLBACK DialogProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
    {
        if (uMsg == CDM_GETFOLDERIDLIST) {
            // Without a folder of the file system, as in a library, no list.
            auto pidl = reinterpret_cast<PIDLIST_ABSOLUTE>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
            const UINT cb = pidl ? ILGetSize(pidl) : 0;
            if (cb <= wParam)
                CopyMemory(reinterpret_cast<void*>(lParam), pidl, cb);
            return cb;
        }
        return DefWindowProcW(hwnd, uMsg, wParam, lParam);
    }
    PIDLIST_ABSOLUTE m_pidl = nullptr;
    HWND m_hwnd = NULL;
};

const char kChoiceUnknown[] = "Tekstor kann nicht sicher feststellen, welche Datei gew\xE4hlt wurde.";

}  // namespace

// "Straße" and "Strasse" are one name to a linguistic comparison (so is a
// name with a soft hyphen in it); the dialog's result is taken only when folder
// and field make it byte for byte, or the choice is refused while the dialog
// is still open.
TEST_F(FileCommandTest, TheDialogsResultMustBeFolderAndFieldExactly)
{
    ASSERT_TRUE(WriteBytes(m_dir / "Stra\xDF" "e.txt", "scharf"));
    ASSERT_TRUE(WriteBytes(m_dir / "Strasse.txt", "doppelt"));
    ConfirmedDialog dlg(Wide(m_dir.Path()), L"Stra\xDF" L"e.txt");
    {
        ForgetChosenName(FALSE);
        DialogScript script({Answer(IDOK)});
        EXPECT_FALSE(dlg.Confirm(m_dir / "Strasse.txt"));
        ASSERT_EQ(script.Done(), 1u);
        EXPECT_EQ(script.Seen()[0].text.rfind(kChoiceUnknown, 0), 0u) << script.Seen()[0].text;
    }
    // The dialog closes on another result than the one it confirmed.
    ForgetChosenName(FALSE);
    EXPECT_TRUE(dlg.Confirm(m_dir / "Stra\xDF" "e.txt"));
    char szName[MAX_PATH];
    wchar_t szLong[MAX_PATH];
    {
        DialogScript script({Answer(IDOK)});
        EXPECT_FALSE(TakeChosenName(g_hwndMain, (m_dir / "Strasse.txt").c_str(), szName, szLong));
        EXPECT_EQ(script.Done(), 1u);
    }
    EXPECT_TRUE(TakeChosenName(g_hwndMain, (m_dir / "Stra\xDF" "e.txt").c_str(), szName, szLong));
    EXPECT_EQ(ReadBytes(szName), "scharf");

    // A view that is no folder of the file system (a library, search results).
    ConfirmedDialog nowhere(L"", L"Stra\xDF" L"e.txt");
    ForgetChosenName(FALSE);
    DialogScript script({Answer(IDOK)});
    EXPECT_FALSE(nowhere.Confirm(m_dir / "Stra\xDF" "e.txt"));
    ASSERT_EQ(script.Done(), 1u);
    EXPECT_EQ(script.Seen()[0].text.rfind(kChoiceUnknown, 0), 0u);
}

// Windows' dialog returns a shortcut's target best-fit: for a shortcut to
// "Ωmega.txt", the name of "Omega.txt" beside it. The target is read from the
// shortcut itself; a shortcut that cannot be read is refused.
TEST_F(FileCommandTest, AShortcutOpensItsTargetAndNeverALookAlike)
{
    const std::wstring omega = Wide(m_dir.Path()) + L"\\\x03A9mega.txt";
    ASSERT_TRUE(WriteBytes(omega, "griechisch"));
    ASSERT_TRUE(WriteBytes(m_dir / "Omega.txt", "lateinisch"));
    ASSERT_TRUE(MakeShortcut(Wide(m_dir / "Notizen.lnk"), omega));
    ASSERT_TRUE(WriteBytes(m_dir / "Kaputt.lnk", "keine Verkn\xFCpfung"));
    {
        // The dialog shows a shortcut's name without its extension.
        ConfirmedDialog dlg(Wide(m_dir.Path()), L"Notizen");
        ForgetChosenName(FALSE);
        EXPECT_TRUE(dlg.Confirm(m_dir / "Omega.txt"));
        char szName[MAX_PATH];
        wchar_t szLong[MAX_PATH];
        ASSERT_TRUE(TakeChosenName(g_hwndMain, (m_dir / "Omega.txt").c_str(), szName, szLong));
        EXPECT_EQ(std::string(szName), ShortPath(omega));
        EXPECT_EQ(std::wstring(szLong), omega);
    }
    ConfirmedDialog dlg(Wide(m_dir.Path()), L"Kaputt.lnk");
    ForgetChosenName(FALSE);
    DialogScript script({Answer(IDOK)});
    EXPECT_FALSE(dlg.Confirm(m_dir / "Omega.txt"));
    EXPECT_EQ(script.Done(), 1u);
}

// The document's name held in a short form that came to open another file (a
// twin under Wine; on Windows a short name handed out again after a delete):
// Save writes into the document's own file under its long name, and when that
// is gone, into no file at all.
TEST_F(FileCommandTest, SaveWritesOnlyIntoTheDocumentsOwnFile)
{
    ASSERT_TRUE(WriteBytes(m_dir / "Notizen 00118.txt", "EINS"));
    ASSERT_TRUE(WriteBytes(m_dir / "Notizen 01002.txt", "ZWEI"));
    const std::string shortName = ShortPath(m_dir / "Notizen 00118.txt");
    ASSERT_EQ(shortName, ShortPath(m_dir / "Notizen 01002.txt"));
    // The one the short name does not open now is the document's.
    const bool bFirst = ReadBytes(shortName) == "EINS";
    const std::string own = m_dir / (bFirst ? "Notizen 01002.txt" : "Notizen 00118.txt");
    const std::string other = m_dir / (bFirst ? "Notizen 00118.txt" : "Notizen 01002.txt");
    const std::string otherText = ReadBytes(other);
    UseFile(shortName);
    lstrcpynW(g_wszDocumentPath, Wide(own).c_str(), MAX_PATH);

    Type("neu");
    {
        DialogScript script({});
        Command(IDM_SAVE);
        EXPECT_TRUE(script.Seen().empty());
    }
    EXPECT_FALSE(Modified());
    EXPECT_EQ(ReadBytes(own), "neu");
    EXPECT_EQ(ReadBytes(other), otherText);
    EXPECT_EQ(std::string(g_szFileName), own);

    UseFile(shortName);
    lstrcpynW(g_wszDocumentPath, Wide(own).c_str(), MAX_PATH);
    ASSERT_TRUE(DeleteFileA(own.c_str()));
    Type("noch neuer");
    {
        DialogScript script({Answer(IDOK)});
        Command(IDM_SAVE);
        ASSERT_EQ(script.Done(), 1u);
        EXPECT_EQ(script.Seen()[0].text.rfind("Das Dokument kann nicht gespeichert werden.", 0), 0u);
    }
    EXPECT_TRUE(Modified());
    EXPECT_EQ(ReadBytes(other), otherText);
    EXPECT_EQ(ReadBytes(own), "<missing>");
}
