// Saving when the file system says no (a file held by another program, a
// folder that is not there, a full disk, a write that fails part way) and
// saving onto a file that is more than its bytes (a second name, a symbolic
// link, attributes, a reader holding it open). Whatever happens, the editor
// keeps running with the user's text and its modified state; the file holds
// its old content, the complete new one (only then is the save done), or
// what its journal finishes at the next open; and it stays the file it was.
#include "unit/document_fixture.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

#include "document/document.h"
#include "document/filesave.h"
#include "document/filecmd.h"
#include "res/resource.h"
#include "support/dialogs.h"
#include "support/files.h"

namespace {

class SaveFaultTest : public DocumentFixture {
protected:
    // Saves through the command, as Ctrl+S does; the editor must go on with
    // the text unchanged. Returns whether the save said it was done.
    bool Save()
    {
        const std::string text = PaneText();
        Command(IDM_SAVE);
        EXPECT_TRUE(IsWindow(g_hwndMain)) << "the editor must keep running";
        EXPECT_EQ(PaneText(), text) << "the pane's text must not change";
        return !Modified();
    }
    // The promise for path, which held oldContent before: saved means the new
    // text is there whole; not saved means the old content is still there.
    void ExpectOldOrNew(const std::string& path, const std::string& oldContent, bool bSaved)
    {
        const std::string onDisk = ReadBytes(path);
        const std::string expected = bSaved ? PaneText() : oldContent;
        EXPECT_EQ(onDisk.size(), expected.size());
        EXPECT_TRUE(onDisk == expected)
            << (bSaved ? "a save called done must have written all of the text"
                       : "a failed save must leave the old content");
    }
    bool SaveAndCheck(const std::string& path, const std::string& oldContent)
    {
        const bool bSaved = Save();
        ExpectOldOrNew(path, oldContent, bSaved);
        return bSaved;
    }
    void SetUp() override
    {
        DocumentFixture::SetUp();
        RemoveJournals();
    }
    void TearDown() override
    {
        g_saveCalls = SYSTEM_SAVE_CALLS;
        RemoveJournals();
        DocumentFixture::TearDown();
    }
    static void RemoveJournals()
    {
        for (const std::string& name : JournalFiles())
            DeleteFileA((JournalFolder() + "\\" + name).c_str());
    }
};

// The name the file system gives the file that path opens: for a symbolic
// link, its target's.
std::string FinalName(const std::string& path)
{
    HANDLE h = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                           OPEN_EXISTING, 0, NULL);
    char buf[MAX_PATH + 8] = "";
    if (h != INVALID_HANDLE_VALUE) {
        GetFinalPathNameByHandleA(h, buf, sizeof buf, 0);
        CloseHandle(h);
    }
    const std::string name = buf;
    return name.rfind("\\\\?\\", 0) == 0 ? name.substr(4) : name;
}

DWORD LinkCount(const std::string& path)
{
    HANDLE h = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                           OPEN_EXISTING, 0, NULL);
    BY_HANDLE_FILE_INFORMATION info = {};
    if (h != INVALID_HANDLE_VALUE) {
        GetFileInformationByHandle(h, &info);
        CloseHandle(h);
    }
    return info.nNumberOfLinks;
}

// Wine's CreateSymbolicLinkA reports success and makes nothing, but Wine
// starts Unix programs: ln makes the link on the Linux side.
bool MakeSymbolicLink(const std::string& dir, const std::string& target, const std::string& link)
{
    std::string cmd = "/bin/ln -s " + target + " " + link;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA("Z:\\bin\\ln", &cmd[0], NULL, NULL, FALSE, 0, NULL, dir.c_str(), &si, &pi))
        return false;
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    // Wine's handle of a Unix process does not say when it has ended.
    const DWORD dwStart = GetTickCount();
    while (FinalName(dir + "\\" + link) != dir + "\\" + target) {
        if (GetTickCount() - dwStart > 10000)
            return false;
        Sleep(10);
    }
    return true;
}


// A disk that refuses one call of a save: the call numbered nFailAt (from 1)
// among those a save makes through its seams fails as a device that goes
// away would (a write takes half its bytes first). Every call also checks
// that the document is never longer than the longer of its two texts.
struct Fault {
    unsigned nCalls = 0;
    unsigned nFailAt = 0;
    DWORD dwError = ERROR_IO_DEVICE;
    const char* pszFailed = "";
    std::string document;
    size_t cbSeen = 0;
};
Fault g_fault;

bool FailsNow(const char* pszCall)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (GetFileAttributesExA(g_fault.document.c_str(), GetFileExInfoStandard, &data))
        g_fault.cbSeen = std::max<size_t>(g_fault.cbSeen, data.nFileSizeLow);
    if (++g_fault.nCalls != g_fault.nFailAt)
        return false;
    g_fault.pszFailed = pszCall;
    SetLastError(g_fault.dwError);
    return true;
}

BOOL WINAPI FaultyWriteFile(HANDLE h, LPCVOID p, DWORD cb, LPDWORD pcbDone, LPOVERLAPPED o)
{
    if (!FailsNow("WriteFile"))
        return WriteFile(h, p, cb, pcbDone, o);
    WriteFile(h, p, cb / 2, pcbDone, o);
    SetLastError(g_fault.dwError);
    return FALSE;
}

BOOL WINAPI FaultyFlushFileBuffers(HANDLE h)
{
    return !FailsNow("FlushFileBuffers") && FlushFileBuffers(h);
}

BOOL WINAPI FaultySetEndOfFile(HANDLE h)
{
    return !FailsNow("SetEndOfFile") && SetEndOfFile(h);
}

HANDLE WINAPI FaultyCreateFileW(LPCWSTR pszPath, DWORD dwAccess, DWORD dwShare,
                                LPSECURITY_ATTRIBUTES pSecurity, DWORD dwCreation, DWORD dwFlags,
                                HANDLE hTemplate)
{
    if (FailsNow("CreateFileW"))
        return INVALID_HANDLE_VALUE;
    return CreateFileW(pszPath, dwAccess, dwShare, pSecurity, dwCreation, dwFlags, hTemplate);
}

BOOL WINAPI FaultySetFileInformationByHandle(HANDLE h, FILE_INFO_BY_HANDLE_CLASS c, LPVOID p, DWORD cb)
{
    return !FailsNow("SetFileInformationByHandle") && SetFileInformationByHandle(h, c, p, cb);
}

const SaveCalls FAULTY_SAVE_CALLS = {FaultyWriteFile, FaultyFlushFileBuffers, FaultySetEndOfFile,
                                     FaultyCreateFileW, FaultySetFileInformationByHandle};

}  // namespace

TEST_F(SaveFaultTest, AFileHeldByAnotherProgramKeepsItsContentAndTheTextStaysModified)
{
    ASSERT_TRUE(WriteBytes(m_dir / "gesperrt.txt", "alter Inhalt"));
    UseFile(m_dir / "gesperrt.txt");
    Type("neuer Inhalt, l\xE4nger als der alte");
    bool bSaved = true;
    {
        FileLock lock(m_dir / "gesperrt.txt");
        ASSERT_TRUE(lock.Held());
        bSaved = Save();
        EXPECT_FALSE(bSaved);
    }
    ExpectOldOrNew(m_dir / "gesperrt.txt", "alter Inhalt", bSaved);
    // Once the other program lets go, the same save goes through.
    EXPECT_TRUE(SaveAndCheck(m_dir / "gesperrt.txt", "alter Inhalt"));
}

// A log viewer, a preview pane or an indexer reads the file and lets others
// read and write it, but not delete or rename it.
TEST_F(SaveFaultTest, AReaderThatSharesWritingButNotDeletingSeesTheNewText)
{
    ASSERT_TRUE(WriteBytes(m_dir / "gelesen.txt", "alter Inhalt"));
    HANDLE hReader = CreateFileA((m_dir / "gelesen.txt").c_str(), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(hReader, INVALID_HANDLE_VALUE);
    UseFile(m_dir / "gelesen.txt");
    Type("neu");
    EXPECT_TRUE(SaveAndCheck(m_dir / "gelesen.txt", "alter Inhalt"));
    char buf[32] = "";
    DWORD cbRead = 0;
    ReadFile(hReader, buf, sizeof buf - 1, &cbRead, NULL);
    CloseHandle(hReader);
    EXPECT_STREQ(buf, "neu") << "the reader's handle must show the saved text";
    EXPECT_EQ(FilesIn(m_dir.Path()), std::vector<std::string>{"gelesen.txt"});
}

TEST_F(SaveFaultTest, BothNamesOfAHardLinkedFileGetTheNewText)
{
    ASSERT_TRUE(WriteBytes(m_dir / "erster Name.txt", "alt"));
    ASSERT_TRUE(CreateHardLinkA((m_dir / "zweiter Name.txt").c_str(),
                                (m_dir / "erster Name.txt").c_str(), NULL));
    UseFile(m_dir / "erster Name.txt");
    Type("neu");
    EXPECT_TRUE(SaveAndCheck(m_dir / "erster Name.txt", "alt"));
    EXPECT_EQ(ReadBytes(m_dir / "zweiter Name.txt"), "neu");
    EXPECT_EQ(LinkCount(m_dir / "erster Name.txt"), 2u);
}

TEST_F(SaveFaultTest, ASymbolicLinkStaysALinkAndItsTargetGetsTheNewText)
{
    ASSERT_TRUE(WriteBytes(m_dir / "ziel.txt", "alt"));
    ASSERT_TRUE(MakeSymbolicLink(m_dir.Path(), "ziel.txt", "verweis.txt"));
    UseFile(m_dir / "verweis.txt");
    Type("neu");
    EXPECT_TRUE(SaveAndCheck(m_dir / "verweis.txt", "alt"));
    EXPECT_EQ(FinalName(m_dir / "verweis.txt"), m_dir / "ziel.txt") << "still a link";
    EXPECT_EQ(ReadBytes(m_dir / "ziel.txt"), "neu");
}

// Running as root (as the tests do under Wine here), the read-only attribute
// does not stop a write; elsewhere it does. Either way the file stays
// read-only and is never left half written.
TEST_F(SaveFaultTest, HiddenAndReadOnlyFilesKeepTheirAttributes)
{
    const struct {
        const char* pszName;
        DWORD dwAttributes;
    } files[] = {{"versteckt.txt", FILE_ATTRIBUTE_HIDDEN}, {"nurlesen.txt", FILE_ATTRIBUTE_READONLY}};
    for (const auto& file : files) {
        const std::string path = m_dir / file.pszName;
        ASSERT_TRUE(WriteBytes(path, "alt"));
        ASSERT_TRUE(SetFileAttributesA(path.c_str(), file.dwAttributes));
        UseFile(path);
        Type("neu");
        const bool bSaved = SaveAndCheck(path, "alt");
        EXPECT_TRUE(bSaved || file.dwAttributes == FILE_ATTRIBUTE_READONLY) << file.pszName;
        EXPECT_EQ(GetFileAttributesA(path.c_str()) & file.dwAttributes, file.dwAttributes)
            << file.pszName;
    }
}

// Each call of a save that can fail, failed in turn, for texts that change
// the middle of the file and end shorter, longer, or only cut it. After any
// failure the file holds its old bytes, or it has a journal, which the next
// open offers to finish and Yes finishes; the save says done only with the
// new text in the file; the file never grows past the longer text; nothing
// is left beside it, and no journal after the next open.
TEST_F(SaveFaultTest, EachStepThatFailsLeavesTheOldTextOrAJournalThatFinishesTheNewOne)
{
    std::string oldText;
    while (oldText.size() < 20000)
        oldText += "alte Zeile " + std::to_string(oldText.size()) + "\r\n";
    const std::string texts[] = {oldText.substr(0, 9000) + "k\xFCrzer",
                                 oldText.substr(0, 9000) + "l\xE4nger" + oldText.substr(8000),
                                 oldText.substr(0, 10000)};
    const std::string path = m_dir / "Notiz.txt";
    for (const std::string& newText : texts) {
        for (unsigned nFailAt = 1;; ++nFailAt) {
            RemoveJournals();
            ASSERT_TRUE(WriteBytes(path, oldText));
            UseFile(path);
            SetPaneText(newText);
            SendMessageA(g_hwndEdit, EM_SETMODIFY, TRUE, 0);
            g_fault = Fault();
            g_fault.nFailAt = nFailAt;
            g_fault.document = path;
            g_saveCalls = FAULTY_SAVE_CALLS;
            const bool bSaved = SaveDocument(g_hwndEdit) != FALSE;
            g_saveCalls = SYSTEM_SAVE_CALLS;
            SCOPED_TRACE(std::to_string(newText.size()) + " bytes, call " + std::to_string(nFailAt) +
                         " fails: " + g_fault.pszFailed);
            const std::string onDisk = ReadBytes(path);
            EXPECT_TRUE(bSaved ? onDisk == newText : onDisk == oldText || !JournalFiles().empty())
                << (bSaved ? "done, but not the new text" : "neither the old text nor a journal");
            EXPECT_LE(g_fault.cbSeen, std::max(oldText.size(), newText.size()));
            EXPECT_EQ(FilesIn(m_dir.Path()), std::vector<std::string>{"Notiz.txt"});

            DialogScript script({Answer(IDYES)});
            OfferToFinishSave(g_hwndMain, Wide(path).c_str());
            const std::string finished = ReadBytes(path);
            EXPECT_TRUE(finished == newText || (finished == oldText && script.Done() == 0))
                << finished.size() << " bytes after the next open, asked " << script.Done();
            EXPECT_TRUE(JournalFiles().empty());
            if (g_fault.nCalls < nFailAt)
                break;
        }
    }
}

// Where no private place has room for the journal, the save says so and
// writes nothing.
TEST_F(SaveFaultTest, WithoutRoomForTheJournalTheSaveSaysSoAndWritesNothing)
{
    ASSERT_TRUE(WriteBytes(m_dir / "voll.txt", "alter Inhalt"));
    UseFile(m_dir / "voll.txt");
    Type("neuer Inhalt");
    g_fault = Fault();
    g_fault.nFailAt = 1;
    g_fault.dwError = ERROR_DISK_FULL;
    g_saveCalls.pfnCreateFileW = FaultyCreateFileW;
    DialogScript script({Answer(IDOK)});
    EXPECT_FALSE(Save());
    g_saveCalls = SYSTEM_SAVE_CALLS;
    ASSERT_EQ(script.Done(), 1u);
    EXPECT_EQ(script.Seen()[0].text.rfind("Das Dokument wurde nicht gespeichert", 0), 0u);
    EXPECT_EQ(ReadBytes(m_dir / "voll.txt"), "alter Inhalt");
    EXPECT_TRUE(JournalFiles().empty());
}

// A journal kept by a save whose cut failed, then torn, or its file changed
// by another program since: the next open finishes only a whole journal of
// a file as that save left it (and asks first); a torn one goes without a
// word; for a changed file it asks whether to discard it, and never applies it.
TEST_F(SaveFaultTest, TheJournalsHeaderTellsATornJournalAndAChangedFile)
{
    std::string oldText;
    while (oldText.size() < 9000)
        oldText += "Zeile " + std::to_string(oldText.size()) + "\r\n";
    const std::string newText = oldText.substr(0, 5000);
    const std::string path = m_dir / "Brief.txt";
    enum Change { NONE, JOURNAL_CUT, HEADER_BYTE, FILE_HEAD, FILE_LONGER };
    const struct {
        Change change;
        int nAnswer;          // 0: no question
        const char* pszAsked;
        bool bFinished;
        bool bKept;
    } cases[] = {
        {NONE, IDNO, "nicht fertig gespeichert.", false, true},
        {NONE, IDYES, "nicht fertig gespeichert.", true, false},
        {JOURNAL_CUT, 0, "", false, false},
        {HEADER_BYTE, 0, "", false, false},
        {FILE_HEAD, IDNO, "von einem anderen Programm", false, true},
        {FILE_LONGER, IDYES, "von einem anderen Programm", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("case " + std::to_string(&c - cases));
        RemoveJournals();
        ASSERT_TRUE(WriteBytes(path, oldText));
        UseFile(path);
        SetPaneText(newText);
        g_fault = Fault();
        g_fault.nFailAt = 1;
        g_saveCalls.pfnSetEndOfFile = FaultySetEndOfFile;
        EXPECT_FALSE(SaveDocument(g_hwndEdit));
        g_saveCalls = SYSTEM_SAVE_CALLS;
        const std::vector<std::string> journals = JournalFiles();
        ASSERT_EQ(journals.size(), 1u);
        const std::string journal = JournalFolder() + "\\" + journals[0];
        std::string bytes = ReadBytes(journal);
        if (c.change == JOURNAL_CUT)
            bytes.pop_back();
        if (c.change == HEADER_BYTE)
            bytes[40] ^= 1;
        ASSERT_TRUE(WriteBytes(journal, bytes));
        std::string left = ReadBytes(path);
        if (c.change == FILE_HEAD)
            left[0] = '#';
        if (c.change == FILE_LONGER)
            left += "x";
        ASSERT_TRUE(WriteBytes(path, left));

        DialogScript script({Answer(c.nAnswer ? c.nAnswer : IDCANCEL)});
        OfferToFinishSave(g_hwndMain, Wide(path).c_str());
        ASSERT_EQ(script.Done(), c.nAnswer ? 1u : 0u);
        if (c.nAnswer) {
            EXPECT_NE(script.Seen()[0].text.find(c.pszAsked), std::string::npos) << script.Seen()[0].text;
        }
        EXPECT_TRUE(ReadBytes(path) == (c.bFinished ? newText : left));
        EXPECT_EQ(JournalFiles().size(), c.bKept ? 1u : 0u);
    }
}

TEST_F(SaveFaultTest, AFolderThatIsNotThereCreatesNothing)
{
    UseFile(m_dir / "kein Ordner\\neu.txt");
    Type("ungesichert");
    EXPECT_FALSE(SaveAndCheck(m_dir / "kein Ordner\\neu.txt", "<missing>"));
    EXPECT_TRUE(FilesIn(m_dir.Path()).empty());
}

TEST_F(SaveFaultTest, SavingUnderTheShortNameKeepsTheFilesLongName)
{
    ASSERT_TRUE(WriteBytes(m_dir / "langer Dateiname.txt", "alt"));
    const std::string shortPath = ShortPath(m_dir / "langer Dateiname.txt");
    ASSERT_NE(shortPath, m_dir / "langer Dateiname.txt");
    UseFile(shortPath);
    Type("neu");
    EXPECT_TRUE(SaveAndCheck(m_dir / "langer Dateiname.txt", "alt"));
    EXPECT_EQ(FilesIn(m_dir.Path()), std::vector<std::string>{"langer Dateiname.txt"});
}

TEST_F(SaveFaultTest, YesInThePromptWithASaveThatFailsKeepsTheWindowOpen)
{
    ASSERT_TRUE(WriteBytes(m_dir / "gesperrt.txt", "alt"));
    UseFile(m_dir / "gesperrt.txt");
    Type("Entwurf");
    auto lock = std::make_unique<FileLock>(m_dir / "gesperrt.txt");
    ASSERT_TRUE(lock->Held());
    {
        DialogScript script({Answer(IDYES)});
        SendMessageA(g_hwndMain, WM_CLOSE, 0, 0);
        EXPECT_EQ(script.Done(), 1u);
    }
    ASSERT_TRUE(IsWindow(g_hwndMain));
    EXPECT_EQ(PaneText(), "Entwurf");
    EXPECT_TRUE(Modified());
    {
        DialogScript script({Answer(IDYES)});
        EXPECT_FALSE(SendMessageA(g_hwndMain, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF));
        EXPECT_EQ(script.Done(), 1u);
    }
    EXPECT_TRUE(IsWindow(g_hwndMain));
    lock.reset();
    EXPECT_EQ(ReadBytes(m_dir / "gesperrt.txt"), "alt");
}

// scripts/test mounts a small volume (64 KB) and names it in
// TEKSTOR_FULL_DISK when it runs as root.
TEST_F(SaveFaultTest, AFullDiskLeavesTheOldFileWholeAndTakesATextThatFitsInPlace)
{
    const char* pszUnix = getenv("TEKSTOR_FULL_DISK");
    if (!pszUnix || !*pszUnix)
        GTEST_SKIP() << "no small volume to fill: scripts/test mounts one when run as root";
    // Wine shows the Unix root as drive Z:.
    std::string dir = std::string("Z:") + pszUnix;
    for (char& c : dir)
        c = c == '/' ? '\\' : c;
    const std::string path = dir + "\\voll.txt";
    const std::string oldContent = "alter Inhalt, der bleiben muss\r\n";
    ASSERT_TRUE(WriteBytes(path, oldContent));
    UseFile(path);

    // More than the whole volume holds.
    std::string big;
    while (big.size() < 200 * 1024)
        big += "Eine Zeile Text, die den Datentr\xE4ger f\xFCllt.\r\n";
    SetPaneText(big);
    SendMessageA(g_hwndEdit, EM_SETMODIFY, TRUE, 0);
    EXPECT_FALSE(SaveAndCheck(path, oldContent));
    EXPECT_EQ(FilesIn(dir), std::vector<std::string>{"voll.txt"});

    // The room is still there for a text that fits.
    Type("passt");
    EXPECT_TRUE(SaveAndCheck(path, oldContent));

    // Room for one copy of the text but not for two: the file, longer than
    // the text, takes it in place.
    const std::string longer = big.substr(0, 48 * 1024);
    ASSERT_TRUE(WriteBytes(path, longer));
    SetPaneText(big.substr(0, 40 * 1024));
    SendMessageA(g_hwndEdit, EM_SETMODIFY, TRUE, 0);
    EXPECT_TRUE(SaveAndCheck(path, longer));
    EXPECT_EQ(FilesIn(dir), std::vector<std::string>{"voll.txt"});
    DeleteFileA(path.c_str());
}
