// Saving when the file system says no (a file held by another program, a
// folder that is not there, a full disk, a write that fails part way) and
// saving onto a file that is more than its bytes (a second name, a symbolic
// link, attributes, a reader holding it open). Whatever happens, the editor
// keeps running with the user's text and its modified state; the file holds
// either its old content or the complete new one, the latter only when the
// save said it was done; and it stays the file it was.
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
    void TearDown() override
    {
        g_saveCalls = SYSTEM_SAVE_CALLS;
        DocumentFixture::TearDown();
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
    const char* pszFailed = "";
    std::string document;
    size_t cbLongest = 0;
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
    return true;
}

BOOL WINAPI FaultyWriteFile(HANDLE h, LPCVOID p, DWORD cb, LPDWORD pcbDone, LPOVERLAPPED o)
{
    if (!FailsNow("WriteFile"))
        return WriteFile(h, p, cb, pcbDone, o);
    WriteFile(h, p, cb / 2, pcbDone, o);
    SetLastError(ERROR_IO_DEVICE);
    return FALSE;
}

BOOL WINAPI FaultyFlushFileBuffers(HANDLE h)
{
    if (!FailsNow("FlushFileBuffers"))
        return FlushFileBuffers(h);
    SetLastError(ERROR_IO_DEVICE);
    return FALSE;
}

BOOL WINAPI FaultySetEndOfFile(HANDLE h)
{
    if (!FailsNow("SetEndOfFile"))
        return SetEndOfFile(h);
    SetLastError(ERROR_IO_DEVICE);
    return FALSE;
}

BOOL WINAPI FaultyDeleteFileA(LPCSTR pszPath)
{
    if (!FailsNow("DeleteFileA"))
        return DeleteFileA(pszPath);
    SetLastError(ERROR_SHARING_VIOLATION);
    return FALSE;
}

HANDLE WINAPI FaultyCreateFileA(LPCSTR pszPath, DWORD dwAccess, DWORD dwShare,
                                LPSECURITY_ATTRIBUTES pSecurity, DWORD dwCreation, DWORD dwFlags,
                                HANDLE hTemplate)
{
    if (!FailsNow("CreateFileA"))
        return CreateFileA(pszPath, dwAccess, dwShare, pSecurity, dwCreation, dwFlags, hTemplate);
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
}

const SaveCalls FAULTY_SAVE_CALLS = {FaultyWriteFile, FaultyFlushFileBuffers, FaultySetEndOfFile,
                                     FaultyDeleteFileA, FaultyCreateFileA};

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

// Each call of a save that can fail, failed in turn, for a text longer and
// one shorter than the file, on a plain file and a hard-linked one. Whatever fails, the file holds its old bytes or
// the whole new text, the save says done only for the latter, the file is
// never longer than the longer text, and nothing is left beside it except a
// file whose removal was the refused call, which then holds a whole text.
TEST_F(SaveFaultTest, EachStepThatFailsLeavesTheOldBytesOrTheWholeNewText)
{
    std::string oldText;
    while (oldText.size() < 6000)
        oldText += "alte Zeile " + std::to_string(oldText.size()) + "\r\n";
    const std::string texts[] = {oldText.substr(0, 2500) + "k\xFCrzer", oldText + oldText + "l\xE4nger"};
    const std::string path = m_dir / "Notiz.txt";
    const std::string link = m_dir / "Verweis.txt";
    g_saveCalls = FAULTY_SAVE_CALLS;
    for (const std::string& newText : texts) {
        for (const bool bLinked : {false, true}) {
            // The failed call's name, "" when the save made fewer calls.
            auto saveFailingAt = [&](unsigned nFailAt) -> std::string {
                for (const std::string& name : FilesIn(m_dir.Path()))
                    DeleteFileA((m_dir / name).c_str());
                EXPECT_TRUE(WriteBytes(path, oldText));
                if (bLinked) {
                    EXPECT_TRUE(CreateHardLinkA(link.c_str(), path.c_str(), NULL));
                }
                UseFile(path);
                SetPaneText(newText);
                SendMessageA(g_hwndEdit, EM_SETMODIFY, TRUE, 0);
                g_fault = Fault();
                g_fault.nFailAt = nFailAt;
                g_fault.document = path;
                g_fault.cbLongest = std::max(oldText.size(), newText.size());
                const bool bSaved = SaveDocument(g_hwndEdit) != FALSE;

                SCOPED_TRACE(std::string(bLinked ? "linked" : "plain") + ", " +
                             std::to_string(newText.size()) + " bytes, call " +
                             std::to_string(nFailAt) + " fails: " + g_fault.pszFailed);
                const std::string onDisk = ReadBytes(path);
                EXPECT_TRUE(onDisk == newText || (!bSaved && onDisk == oldText))
                    << (bSaved ? "done, but not the new text" : "neither old nor new text")
                    << " (" << onDisk.size() << " bytes)";
                EXPECT_LE(g_fault.cbSeen, g_fault.cbLongest);
                if (bLinked) {
                    EXPECT_TRUE(ReadBytes(link) == onDisk) << "both names are one file";
                }
                std::vector<std::string> others;
                for (const std::string& name : FilesIn(m_dir.Path())) {
                    if (name != "Notiz.txt" && name != "Verweis.txt")
                        others.push_back(name);
                }
                const bool bDeleteRefused = std::string(g_fault.pszFailed) == "DeleteFileA";
                EXPECT_LE(others.size(), bDeleteRefused ? 1u : 0u) << "a stray file";
                for (const std::string& name : others) {
                    const std::string kept = ReadBytes(m_dir / name);
                    EXPECT_TRUE(kept == oldText || kept == newText) << name << " holds no whole text";
                }
                return g_fault.nCalls >= nFailAt ? g_fault.pszFailed : "";
            };
            for (unsigned nFailAt = 1; !saveFailingAt(nFailAt).empty(); ++nFailAt) {
            }
        }
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
