// The document's caption, and its text moving between a file and the pane.
#include "unit/document_fixture.h"

#include "document/document.h"
#include "document/filecmd.h"
#include "res/resource.h"
#include "support/dialogs.h"
#include "support/files.h"

namespace {

using DocumentTest = DocumentFixture;

// Every byte but NUL, with CR LF lines, lone CR and LF, and the high half.
// 0x98 is left out: Wine's Edit control crashes on it among other 0x80-0x9F bytes.
std::string AllTextBytes()
{
    std::string bytes = "Zeile eins\r\nZeile zwei\r\n\tEinzug\rCR allein\nLF allein\r\n";
    for (int c = 1; c < 0x100; ++c) {
        if (c != 0x98)
            bytes += static_cast<char>(c);
    }
    return bytes + "\r\nEnde";
}

// A file of the given size that takes no disk space.
bool MakeSparseFile(const std::string& path, LONGLONG size)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER pos;
    pos.QuadPart = size;
    const bool ok = SetFilePointerEx(h, pos, NULL, FILE_BEGIN) && SetEndOfFile(h);
    CloseHandle(h);
    return ok;
}

}  // namespace

TEST_F(DocumentTest, LoadPutsTheFilesBytesIntoThePaneAsTheyAre)
{
    const std::string bytes = AllTextBytes();
    ASSERT_TRUE(WriteBytes(m_dir / "alle.txt", bytes));
    Type("vorher");
    ASSERT_TRUE(Modified());
    UseFile(m_dir / "alle.txt");
    const std::string caption = WindowText(g_hwndMain);

    EXPECT_TRUE(LoadDocument(g_hwndEdit));
    EXPECT_EQ(PaneText(), bytes);
    EXPECT_FALSE(Modified());
    EXPECT_FALSE(CanUndo());
    // The caller owns the name and the caption.
    EXPECT_EQ(std::string(g_szFileName), m_dir / "alle.txt");
    EXPECT_EQ(WindowText(g_hwndMain), caption);

    // Saved back unchanged, byte for byte, to another file.
    UseFile(m_dir / "kopie.txt");
    EXPECT_TRUE(SaveDocument(g_hwndEdit));
    EXPECT_EQ(ReadBytes(m_dir / "kopie.txt"), bytes);
}

// The pane ends its text at a NUL: the load says so, and a save over the
// file asks first (No keeps the file whole).
TEST_F(DocumentTest, ANulByteEndsTheLoadedTextAndIsToldBeforeTheRestIsLost)
{
    const std::string bytes("vor\0nach", 8);
    ASSERT_TRUE(WriteBytes(m_dir / "null-byte.txt", bytes));
    UseFile(m_dir / "null-byte.txt");
    for (const int nAnswer : {IDOK, IDNO, IDYES}) {
        DialogScript script({Answer(nAnswer)});
        EXPECT_EQ(nAnswer == IDOK ? LoadDocument(g_hwndEdit) : SaveDocument(g_hwndEdit),
                  nAnswer != IDNO);
        EXPECT_EQ(script.Done(), 1u) << nAnswer;
        EXPECT_EQ(PaneText(), "vor");
        EXPECT_TRUE(ReadBytes(m_dir / "null-byte.txt") == (nAnswer == IDYES ? "vor" : bytes));
    }
}

TEST_F(DocumentTest, AnEmptyFileEmptiesThePane)
{
    ASSERT_TRUE(WriteBytes(m_dir / "leer.txt", ""));
    Type("anderer Text");
    UseFile(m_dir / "leer.txt");
    EXPECT_TRUE(LoadDocument(g_hwndEdit));
    EXPECT_EQ(PaneText(), "");
    EXPECT_FALSE(Modified());
    EXPECT_FALSE(CanUndo());
}

TEST_F(DocumentTest, AFileThatCannotBeReadLeavesThePaneAlone)
{
    Type("meine Arbeit");
    UseFile(m_dir / "fehlt.txt");
    EXPECT_FALSE(LoadDocument(g_hwndEdit));

    ASSERT_TRUE(WriteBytes(m_dir / "gesperrt.txt", "fremd"));
    FileLock lock(m_dir / "gesperrt.txt");
    ASSERT_TRUE(lock.Held());
    UseFile(m_dir / "gesperrt.txt");
    EXPECT_FALSE(LoadDocument(g_hwndEdit));

    UseFile(m_dir.Path());
    EXPECT_FALSE(LoadDocument(g_hwndEdit));

    // Longer than the 2 GB a text may have (the ANSI text calls count in int).
    ASSERT_TRUE(MakeSparseFile(m_dir / "gross.txt", 0xA0000000LL));
    UseFile(m_dir / "gross.txt");
    EXPECT_FALSE(LoadDocument(g_hwndEdit));
    // Beyond 4 GB: its low 32 bits alone would say 3 bytes.
    ASSERT_TRUE(MakeSparseFile(m_dir / "riesig.txt", 0x100000003LL));
    UseFile(m_dir / "riesig.txt");
    EXPECT_FALSE(LoadDocument(g_hwndEdit));
    // Its reads end before its size: the part read is no whole text.
    const std::string shortRead = MakeShortReadFile(m_dir.Path());
    if (!shortRead.empty()) {
        UseFile(shortRead);
        EXPECT_FALSE(LoadDocument(g_hwndEdit));
    }

    EXPECT_EQ(PaneText(), "meine Arbeit");
    EXPECT_TRUE(Modified());
    EXPECT_TRUE(CanUndo());
}

TEST_F(DocumentTest, SaveWritesExactlyThePanesText)
{
    ASSERT_TRUE(WriteBytes(m_dir / "lang.txt", std::string(5000, 'x')));
    Type("kurz\r\n\xE4\xF6\xFC\xDF\r\n");
    ASSERT_TRUE(Modified());
    UseFile(m_dir / "lang.txt");
    EXPECT_TRUE(SaveDocument(g_hwndEdit));
    EXPECT_EQ(ReadBytes(m_dir / "lang.txt"), "kurz\r\n\xE4\xF6\xFC\xDF\r\n");
    EXPECT_FALSE(Modified());

    // An empty document truncates the file; a missing file is created.
    Type("");
    EXPECT_TRUE(SaveDocument(g_hwndEdit));
    EXPECT_EQ(ReadBytes(m_dir / "lang.txt"), "");
    UseFile(m_dir / "neu.txt");
    EXPECT_TRUE(SaveDocument(g_hwndEdit));
    EXPECT_EQ(ReadBytes(m_dir / "neu.txt"), "");
}

TEST_F(DocumentTest, ASaveThatFailsKeepsTheDocumentModified)
{
    Type("ungesichert");
    UseFile(m_dir / "kein Ordner\\neu.txt");
    EXPECT_FALSE(SaveDocument(g_hwndEdit));
    EXPECT_TRUE(Modified());
    EXPECT_EQ(ReadBytes(m_dir / "kein Ordner\\neu.txt"), "<missing>");

    ASSERT_TRUE(WriteBytes(m_dir / "gesperrt.txt", "alt"));
    {
        FileLock lock(m_dir / "gesperrt.txt");
        ASSERT_TRUE(lock.Held());
        UseFile(m_dir / "gesperrt.txt");
        EXPECT_FALSE(SaveDocument(g_hwndEdit));
        EXPECT_TRUE(Modified());
    }
    EXPECT_EQ(ReadBytes(m_dir / "gesperrt.txt"), "alt");
    EXPECT_EQ(PaneText(), "ungesichert");
}

// The cursor at the moment the pane is asked for or given its text.
HCURSOR g_hCursorSeen;
LRESULT CALLBACK SeeCursorProc(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPSTRUCT* p = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && p->hwnd == g_hwndEdit &&
        (p->message == WM_SETTEXT || p->message == WM_GETTEXT))
        g_hCursorSeen = GetCursor();
    return CallNextHookEx(NULL, code, wParam, lParam);
}

TEST_F(DocumentTest, TheWaitCursorShowsWhileTheTextMoves)
{
    ASSERT_TRUE(WriteBytes(m_dir / "da.txt", "da"));
    HHOOK hHook = SetWindowsHookExA(WH_CALLWNDPROC, SeeCursorProc, NULL, GetCurrentThreadId());
    UseFile(m_dir / "da.txt");
    g_hCursorSeen = NULL;
    EXPECT_TRUE(LoadDocument(g_hwndEdit));
    EXPECT_EQ(g_hCursorSeen, LoadCursorA(NULL, IDC_WAIT));
    g_hCursorSeen = NULL;
    EXPECT_TRUE(SaveDocument(g_hwndEdit));
    EXPECT_EQ(g_hCursorSeen, LoadCursorA(NULL, IDC_WAIT));
    UnhookWindowsHookEx(hHook);
}

TEST_F(DocumentTest, TheCursorComesBackAfterEveryLoadAndSave)
{
    HCURSOR hCross = LoadCursorA(NULL, IDC_CROSS);
    ASSERT_TRUE(WriteBytes(m_dir / "da.txt", "da"));
    const std::string paths[] = {m_dir / "da.txt", m_dir / "fehlt.txt", m_dir / "x\\y.txt"};
    for (const std::string& path : paths) {
        UseFile(path);
        SetCursor(hCross);
        LoadDocument(g_hwndEdit);
        EXPECT_EQ(GetCursor(), hCross) << "load " << path;
        SetCursor(hCross);
        SaveDocument(g_hwndEdit);
        EXPECT_EQ(GetCursor(), hCross) << "save " << path;
    }
}

TEST_F(DocumentTest, TheCaptionShowsTheUntitledNameAndTheRecordingMark)
{
    EXPECT_EQ(WindowText(g_hwndMain), "Tekstor - Unbenannt");
    EXPECT_STREQ(g_szFileName, "Unbenannt");
    EXPECT_TRUE(g_bUntitled);
    UpdateTitle(g_hInstance, g_hwndMain, TRUE);
    EXPECT_EQ(WindowText(g_hwndMain), "Tekstor [Recording] - Unbenannt");
    UpdateTitle(g_hInstance, g_hwndMain, FALSE);
    EXPECT_EQ(WindowText(g_hwndMain), "Tekstor - Unbenannt");
}

TEST_F(DocumentTest, TheCaptionShowsTheFolderAndTheFilesShellName)
{
    const std::string path = m_dir / "Notizen Januar.txt";
    ASSERT_TRUE(WriteBytes(path, "x"));
    UseFile(path);
    UpdateTitle(g_hInstance, g_hwndMain, FALSE);
    EXPECT_EQ(WindowText(g_hwndMain), "Tekstor - " + DirectoryPart(path) + ShellDisplayName(path));
    UpdateTitle(g_hInstance, g_hwndMain, TRUE);
    EXPECT_EQ(WindowText(g_hwndMain),
              "Tekstor [Recording] - " + DirectoryPart(path) + ShellDisplayName(path));
    EXPECT_EQ(std::string(g_szFileName), path);

    // A character the code page lacks shows as '?', never as a look-alike.
    SetDocumentFile((Wide(m_dir.Path()) + L"\\\x03A9mega.txt").c_str());
    EXPECT_EQ(std::string(g_szFileName), m_dir / "?mega.txt");
}

TEST_F(DocumentTest, WithoutAShellNameTheCaptionShowsTheStoredName)
{
    UseFile(m_dir / "nicht mehr da.txt");
    UpdateTitle(g_hInstance, g_hwndMain, FALSE);
    EXPECT_EQ(WindowText(g_hwndMain), "Tekstor - " + m_dir / "nicht mehr da.txt");
}

TEST_F(DocumentTest, TheComposedNameNeverOverrunsItsBuffer)
{
    const std::string path = m_dir / "Notizen Januar.txt";
    ASSERT_TRUE(WriteBytes(path, "x"));
    UseFile(path);

    char buf[MAX_PATH + 16];
    EXPECT_TRUE(ComposeShownName(buf, MAX_PATH));
    EXPECT_EQ(std::string(buf), DirectoryPart(path) + ShellDisplayName(path));

    // Not room for it: cut, and nothing written beyond the buffer.
    memset(buf, '#', sizeof buf);
    EXPECT_FALSE(ComposeShownName(buf, 10));
    EXPECT_EQ(std::string(buf), path.substr(0, 9));
    EXPECT_EQ(buf[10], '#');

    // A path longer than the shown name may be keeps its end.
    const std::wstring deep = L"C:\\" + std::wstring(300, L'd') + L"\\ende.txt";
    SetDocumentFile(deep.c_str());
    EXPECT_STREQ(g_szFileName, "...\\ende.txt");
}

TEST_F(DocumentTest, TheSavePromptShortensALongNameToFitItsHalf)
{
    char format[PROMPT_HALF];
    LoadStringA(g_hInstance, IDS_SAVE_PROMPT, format, PROMPT_HALF - 1);
    char out[PROMPT_HALF + 8];

    FormatSavePrompt(out, format, "Unbenannt");
    EXPECT_STREQ(out, "Unbenannt\nwurde ge\xE4ndert.\n\nM\xF6" "chten Sie die \xC4nderungen speichern?");

    const std::string name = "C:\\" + std::string(230, 'd') + "\\ende.txt";
    memset(out, '#', sizeof out);
    FormatSavePrompt(out, format, name.c_str());
    const std::string message = out;
    EXPECT_LT(message.size(), static_cast<size_t>(PROMPT_HALF));
    EXPECT_EQ(out[PROMPT_HALF], '#');
    EXPECT_EQ(message.rfind("...", 0), 0u) << message;
    EXPECT_NE(message.find("\\ende.txt\nwurde ge\xE4ndert.\n\nM\xF6"), std::string::npos);
    EXPECT_EQ(message.substr(message.size() - 10), "speichern?");

    // A message one byte too long for the half, with its end, is shortened too.
    const size_t cchRest = lstrlenA(format) - 2;  // the format without its %s
    FormatSavePrompt(out, format, std::string(PROMPT_HALF - cchRest, 'e').c_str());
    EXPECT_EQ(std::string(out).rfind("...", 0), 0u) << out;
    EXPECT_EQ(std::string(out).substr(lstrlenA(out) - 10), "speichern?");
}

TEST_F(DocumentTest, BothFileDialogsGetTheSameRecordAndFilterList)
{
    OPENFILENAMEW ofn;
    static wchar_t file[DOCUMENT_PATH_SIZE];
    wchar_t filter[FILTER_SIZE];
    PrepareFileDialog(&ofn, g_hInstance, g_hwndMain, file, filter, OPEN_DIALOG_FLAGS);
#ifdef _WIN64
    EXPECT_EQ(ofn.lStructSize, offsetof(OPENFILENAMEW, lpTemplateName) + sizeof(void*));
#else
    EXPECT_EQ(ofn.lStructSize, 76u);
#endif
    EXPECT_EQ(ofn.hwndOwner, g_hwndMain);
    EXPECT_EQ(std::wstring(filter, 38), std::wstring(L"Textdokumente\0*.txt\0Alle Dateien\0*.*\0\0", 38));
    EXPECT_EQ(ofn.lpstrFilter, filter);
    EXPECT_EQ(ofn.lpstrFile, file);
    EXPECT_EQ(ofn.nMaxFile, static_cast<DWORD>(DOCUMENT_PATH_SIZE));
    EXPECT_STREQ(file, L"Unbenannt");
    EXPECT_EQ(ofn.Flags, 0x82024u);
    EXPECT_STREQ(ofn.lpstrDefExt, L"txt");
    EXPECT_EQ(ofn.lpfnHook, FileDialogHookProc);

    PrepareFileDialog(&ofn, g_hInstance, g_hwndMain, file, filter, SAVE_DIALOG_FLAGS);
    EXPECT_EQ(ofn.Flags, 0x80826u);
}
