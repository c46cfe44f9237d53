// The running program against a file system that says no: names at start
// that cannot be opened (the editor starts untitled and empty, hands nothing
// on, opens no other file, and ends normally), and saves that cannot be done
// (the text stays, modified, and the file keeps its old content).
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "support/files.h"
#include "support/process.h"

namespace {

constexpr WPARAM kSaveCommand = 40003;  // IDM_SAVE

std::string PaneOf(HWND hwndMain)
{
    return RemoteWindowText(FindWindowExA(hwndMain, NULL, "Edit", NULL));
}

// Copies of the editor that process pid started: the shell starts them as its
// children, and a child is listed as soon as it exists, before any window.
int CopiesStartedBy(DWORD pid)
{
    HANDLE hSnap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    int n = 0;
    for (BOOL b = Process32First(hSnap, &entry); b; b = Process32Next(hSnap, &entry))
        n += entry.th32ParentProcessID == pid && lstrcmpiA(entry.szExeFile, "tekstor.exe") == 0;
    CloseHandle(hSnap);
    return n;
}

// Starts the editor with args in dir and checks that it comes up untitled,
// starts no further copy, and then closes with the normal exit code.
void ExpectUntitledStart(const std::string& args, const std::string& dir)
{
    SCOPED_TRACE(args.size() > 120 ? args.substr(0, 120) + "..." : args);
    NewEditorWindows copies;  // closes any copy that was started after all
    EditorProcess editor;
    ASSERT_TRUE(editor.Start(args, dir));
    ASSERT_TRUE(WaitUntil([&] { return RemoteWindowText(editor.Main()) == "Tekstor - Unbenannt"; }))
        << RemoteWindowText(editor.Main());
    // The caption is set before the names are tried; a sent message is only
    // taken once the argument string has been dealt with, copies started and all.
    DWORD_PTR dwResult = 0;
    ASSERT_TRUE(SendMessageTimeoutA(editor.Main(), WM_NULL, 0, 0, SMTO_NORMAL, 10000, &dwResult));
    EXPECT_EQ(PaneOf(editor.Main()), "");
    EXPECT_EQ(CopiesStartedBy(editor.Pid()), 0);
    EXPECT_EQ(editor.CloseDiscardingChanges(), 1);
}

}  // namespace

TEST(StartFaults, NamesThatCannotBeOpenedLeaveAnUntitledDocument)
{
    TempDir dir;
    CreateDirectoryA((dir / "ordner").c_str(), NULL);
    ExpectUntitledStart("ordner", dir.Path());
    ExpectUntitledStart("\"" + dir / "ordner" + "\"", dir.Path());
    ExpectUntitledStart("fehlt.txt", dir.Path());
    ExpectUntitledStart("\"fehlt nicht.txt", dir.Path());
    // Read in part only: what was read is not the file, and saved it would cut it.
    const std::string shortRead = MakeShortReadFile(dir.Path());
    if (!shortRead.empty())
        ExpectUntitledStart("\"" + shortRead + "\"", dir.Path());

    ASSERT_TRUE(WriteBytes(dir / "gesperrt.txt", "gesperrt"));
    FileLock lock(dir / "gesperrt.txt");
    ASSERT_TRUE(lock.Held());
    ExpectUntitledStart("gesperrt.txt", dir.Path());
}

TEST(StartFaults, NamesLongerThanAPathMayBeAreRefused)
{
    TempDir dir;
    const std::string longName = dir / (std::string(300, 'a') + ".txt");
    ExpectUntitledStart(longName, dir.Path());
    ExpectUntitledStart("\"" + longName + "\"", dir.Path());
    // Thousands of candidates, each a prefix ending before a space.
    std::string words;
    while (words.size() < 20000)
        words += "wort ";
    words += "ende";
    ExpectUntitledStart(words, dir.Path());
    // A name of exactly the longest path the buffers hold and one beyond it.
    for (size_t n : {MAX_PATH - 1, MAX_PATH, MAX_PATH + 1}) {
        std::string name = dir.Path() + "\\";
        name += std::string(n - name.size(), 'b');
        ExpectUntitledStart(name, dir.Path());
    }
}

// A name that the ANSI code page cannot spell reaches an ANSI program as a
// look-alike (a Greek capital omega as a Latin O) or with '?' (a CJK
// character): the name of another file, or of none. Started with such a name,
// quoted or not, the editor shows that file's own text and saves back into it,
// and what it hands on to a new copy keeps every character.
TEST(StartFaults, ANameOutsideTheCodePageOpensItsOwnFile)
{
    TempDir dir;
    const std::wstring omega = L"\x03A9mega.txt";
    const std::wstring cjk = L"\x6587mega.txt";
    const std::wstring wideDir = Wide(dir.Path()) + L"\\";
    ASSERT_TRUE(WriteBytes(wideDir + omega, "griechisch"));
    ASSERT_TRUE(WriteBytes(dir / "Omega.txt", "lateinisch"));
    ASSERT_TRUE(WriteBytes(wideDir + cjk, "chinesisch"));
    ASSERT_TRUE(WriteBytes(dir / "xmega.txt", "falsch"));
    {
        EditorProcess editor;
        ASSERT_TRUE(editor.Start(L"\"" + omega + L"\"", dir.Path()));
        const HWND pane = editor.Pane();
        ASSERT_TRUE(WaitUntil([&] { return RemoteWindowText(pane) == "griechisch"; }))
            << RemoteWindowText(pane);
        EXPECT_EQ(RemoteWindowText(editor.Main()).find("Omega"), std::string::npos);
        SendMessageA(pane, EM_SETSEL, 0, -1);
        SendMessageA(pane, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>("neu"));
        SendMessageA(editor.Main(), WM_COMMAND, kSaveCommand, 0);
        EXPECT_EQ(ReadBytes(wideDir + omega), "neu");
        EXPECT_EQ(editor.CloseDiscardingChanges(), 1);
    }
    {
        NewEditorWindows copies;
        EditorProcess editor;
        ASSERT_TRUE(editor.Start(L"Omega.txt " + omega, dir.Path()));
        EXPECT_TRUE(WaitUntil([&] { return PaneOf(editor.Main()) == "lateinisch"; }));
        HWND copy = NULL;
        ASSERT_TRUE(WaitUntil([&] {
            const std::vector<HWND> now = copies.Now(editor.Pid());
            copy = now.empty() ? NULL : now[0];
            return copy && PaneOf(copy) == "neu";
        })) << (copy ? PaneOf(copy) : "no copy");
        EXPECT_EQ(editor.CloseDiscardingChanges(), 1);
    }
    EditorProcess editor;
    ASSERT_TRUE(editor.Start(cjk, dir.Path()));
    EXPECT_TRUE(WaitUntil([&] { return PaneOf(editor.Main()) == "chinesisch"; }))
        << PaneOf(editor.Main());
    EXPECT_EQ(editor.CloseDiscardingChanges(), 1);
    EXPECT_EQ(ReadBytes(dir / "Omega.txt"), "lateinisch");
    EXPECT_EQ(ReadBytes(dir / "xmega.txt"), "falsch");
}

// A document of 20 MB (beyond any 16- or 24-bit count, hundreds of times the
// control's own limit) is loaded whole and closes without a prompt. Bigger
// files take the same path; under Wine the control takes about a second per MB,
// and the test must end well within ctest's limit of 120 seconds.
TEST(StartFaults, ALargeFileIsLoadedWhole)
{
    TempDir dir;
    const DWORD cbFile = 20u * 1024 * 1024;
    {
        std::string line = "Zeile mit etwas Text, damit die Datei nicht nur aus einem Zeichen besteht\r\n";
        std::string block;
        while (block.size() < 1024 * 1024)
            block += line;
        block.resize(1024 * 1024);
        HANDLE h = CreateFileA((dir / "gross.txt").c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW, 0,
                               NULL);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        for (DWORD done = 0; done < cbFile; done += static_cast<DWORD>(block.size())) {
            DWORD written = 0;
            ASSERT_TRUE(WriteFile(h, block.data(), static_cast<DWORD>(block.size()), &written, NULL));
        }
        CloseHandle(h);
    }
    EditorProcess editor;
    ASSERT_TRUE(editor.Start("gross.txt", dir.Path()));
    HWND pane = editor.Pane();
    ASSERT_TRUE(WaitUntil([&] {
        DWORD_PTR cch = 0;
        return SendMessageTimeoutA(pane, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 1000, &cch) &&
               cch == cbFile;
    }, 90000));
    EXPECT_NE(RemoteWindowText(editor.Main()).find("gross.txt"), std::string::npos);
    EXPECT_EQ(editor.CloseDiscardingChanges(), 1);
    EXPECT_EQ(ReadBytes(dir / "gross.txt").size(), cbFile);
}

namespace {

bool RemoteModified(HWND hwndPane)
{
    return SendMessageA(hwndPane, EM_GETMODIFY, 0, 0) != 0;
}

// Wine shows the Unix root as drive Z:.
std::string WindowsPathOf(const char* pszUnix)
{
    std::string path = std::string("Z:") + pszUnix;
    for (char& c : path)
        c = c == '/' ? '\\' : c;
    return path;
}

}  // namespace

// The running program, saving with Ctrl+S's command (sent, so that it is
// done when the call returns) while the file cannot take the text.
TEST(SaveFaults, TheRunningEditorKeepsTheTextWhenASaveFails)
{
    TempDir dir;
    ASSERT_TRUE(WriteBytes(dir / "doc.txt", "alt"));
    EditorProcess editor;
    ASSERT_TRUE(editor.Start("doc.txt", dir.Path()));
    const HWND pane = editor.Pane();
    ASSERT_TRUE(WaitUntil([&] { return RemoteWindowText(pane) == "alt"; }));
    SendMessageA(pane, EM_SETSEL, 0, -1);
    SendMessageA(pane, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>("neuer Text"));
    ASSERT_TRUE(RemoteModified(pane));
    {
        FileLock lock(dir / "doc.txt");
        ASSERT_TRUE(lock.Held());
        SendMessageA(editor.Main(), WM_COMMAND, kSaveCommand, 0);
        EXPECT_TRUE(IsWindow(editor.Main()));
        EXPECT_TRUE(RemoteModified(pane));
        EXPECT_EQ(RemoteWindowText(pane), "neuer Text");
    }
    EXPECT_EQ(ReadBytes(dir / "doc.txt"), "alt");
    SendMessageA(editor.Main(), WM_COMMAND, kSaveCommand, 0);
    EXPECT_FALSE(RemoteModified(pane));
    EXPECT_EQ(ReadBytes(dir / "doc.txt"), "neuer Text");

    // A full disk (the small volume scripts/test mounts when run as root),
    // filled up but for the document itself.
    const char* pszFull = getenv("TEKSTOR_FULL_DISK");
    if (pszFull && *pszFull) {
        const std::string full = WindowsPathOf(pszFull);
        ASSERT_TRUE(WriteBytes(full + "\\e2e.txt", "alt"));
        HANDLE hFiller = CreateFileA((full + "\\filler").c_str(), GENERIC_WRITE, 0, NULL,
                                     CREATE_ALWAYS, 0, NULL);
        ASSERT_NE(hFiller, INVALID_HANDLE_VALUE);
        const std::string chunk(1024, 'f');
        DWORD written = 0;
        while (WriteFile(hFiller, chunk.data(), 1024, &written, NULL) && written == 1024) {
        }
        CloseHandle(hFiller);

        EditorProcess second;
        ASSERT_TRUE(second.Start("\"" + full + "\\e2e.txt\""));
        const HWND pane2 = second.Pane();
        ASSERT_TRUE(WaitUntil([&] { return RemoteWindowText(pane2) == "alt"; }));
        const std::string text(20000, 'x');
        SendMessageA(pane2, EM_SETSEL, 0, -1);
        SendMessageA(pane2, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
        ASSERT_TRUE(RemoteModified(pane2));
        SendMessageA(second.Main(), WM_COMMAND, kSaveCommand, 0);
        EXPECT_TRUE(IsWindow(second.Main()));
        EXPECT_TRUE(RemoteModified(pane2));
        EXPECT_EQ(ReadBytes(full + "\\e2e.txt"), "alt");
        EXPECT_EQ(SendMessageA(pane2, WM_GETTEXTLENGTH, 0, 0), 20000);
        EXPECT_EQ(second.CloseDiscardingChanges(), 1);
        DeleteFileA((full + "\\e2e.txt").c_str());
        DeleteFileA((full + "\\filler").c_str());
    }
    EXPECT_EQ(editor.CloseDiscardingChanges(), 1);
}

namespace {

// Waits for the pane to hold cch characters.
bool PaneHolds(HWND hwndPane, size_t cch, DWORD timeoutMs = 30000)
{
    return WaitUntil([&] {
        DWORD_PTR dwLength = 0;
        return SendMessageTimeoutA(hwndPane, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 1000,
                                   &dwLength) &&
               dwLength == cch;
    }, timeoutMs);
}

// The size of the one journal there is, or -1 when there is none.
LONGLONG JournalSize()
{
    const std::vector<std::string> names = JournalFiles();
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (names.empty() ||
        !GetFileAttributesExA((JournalFolder() + "\\" + names[0]).c_str(), GetFileExInfoStandard, &data))
        return -1;
    return (static_cast<LONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace

// The program ended (TerminateProcess, as a crash or a power cut would end
// it) at a spread of moments of a save of a 4 MB file, growing and shrinking
// by turns: the file holds its old text or its new one, or the next start
// with it offers to finish the save, and Yes gives the whole new text. A
// journal that never got whole (the file untouched), or whose text is all in
// the file already, goes without a word. Nothing is left anywhere afterwards.
TEST(SaveFaults, ASaveEndedAtAnyMomentIsFinishedAtTheNextStart)
{
    TempDir dir;
    for (const std::string& name : JournalFiles())
        DeleteFileA((JournalFolder() + "\\" + name).c_str());
    std::string oldText;
    while (oldText.size() < 4 * 1024 * 1024)
        oldText += "Zeile " + std::to_string(oldText.size()) + " eines langen Dokuments\r\n";
    const std::string path = dir / "lang.txt";
    std::mt19937 random(28);
    DWORD msJournal = 0, msDone = 0;
    int nOffered = 0, nSilent = 0, run = 0;
    // Six ends, and on until one came while the file was written, as long as
    // ctest's limit allows on a busy machine.
    const DWORD dwStart = GetTickCount();
    for (; (run <= 6 || (nOffered == 0 && run <= 12)) && GetTickCount() - dwStart < 60000; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        const bool bGrow = run % 2 == 0;
        const std::string newText = bGrow ? "Neuer Anfang\r\n" + oldText : oldText.substr(5000);
        ASSERT_TRUE(WriteBytes(path, oldText));
        {
            EditorProcess editor;
            ASSERT_TRUE(editor.Start("lang.txt", dir.Path()));
            const HWND pane = editor.Pane();
            ASSERT_TRUE(PaneHolds(pane, oldText.size()));
            SendMessageA(pane, EM_SETSEL, 0, bGrow ? 0 : 5000);
            SendMessageA(pane, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(bGrow ? "Neuer Anfang\r\n" : ""));
            // Idle first, so that the save starts as soon as it is posted.
            DWORD_PTR dwResult = 0;
            SendMessageTimeoutA(editor.Main(), WM_NULL, 0, 0, SMTO_NORMAL, 10000, &dwResult);
            const DWORD dwPosted = GetTickCount();
            PostMessageA(editor.Main(), WM_COMMAND, kSaveCommand, 0);
            // A journal that holds as many bytes as the new text is whole.
            const LONGLONG cbWhole = static_cast<LONGLONG>(newText.size());
            if (run == 0) {
                // The first save runs whole: when its journal is whole and when
                // it goes give the span most other runs are ended in.
                while (JournalSize() < cbWhole && GetTickCount() - dwPosted < 10000) {
                }
                msJournal = GetTickCount() - dwPosted;
                while (JournalSize() >= 0 && GetTickCount() - dwPosted < 10000) {
                }
                msDone = GetTickCount() - dwPosted + 1;
                ASSERT_TRUE(WaitUntil([&] { return !RemoteModified(pane); }));
                ASSERT_TRUE(ReadBytes(path) == newText);
                EXPECT_TRUE(JournalFiles().empty());
                continue;
            }
            // Every third run ends before the journal can be whole, the others
            // once it is, while the file is written (early in that span: the
            // end takes a few milliseconds to arrive).
            DWORD msEnd = std::uniform_int_distribution<DWORD>(0, msJournal)(random);
            if (run % 3 != 0) {
                while (JournalSize() < cbWhole && GetTickCount() - dwPosted < 10000) {
                }
                msEnd = GetTickCount() - dwPosted +
                        std::uniform_int_distribution<DWORD>(0, (msDone - msJournal) / 3)(random);
            }
            while (GetTickCount() - dwPosted < msEnd) {
            }
        }  // ends the editor at once
        const std::string onDisk = ReadBytes(path);
        if (!JournalFiles().empty()) {
            EditorProcess next;
            ASSERT_TRUE(next.Start("lang.txt", dir.Path()));
            HWND box = NULL;
            const HWND pane = next.Pane();
            // The question comes before the load; without it the file loads.
            ASSERT_TRUE(WaitUntil([&] {
                box = FindProcessDialog(next.Pid());
                return box || SendMessageA(pane, WM_GETTEXTLENGTH, 0, 0) > 0;
            }, 30000));
            if (box) {
                ++nOffered;
                EXPECT_NE(RemoteWindowText(GetDlgItem(box, 0xFFFF)).find("nicht fertig gespeichert"),
                          std::string::npos);
                PostMessageA(box, WM_COMMAND, IDYES, 0);
                EXPECT_TRUE(PaneHolds(pane, newText.size()));
                EXPECT_TRUE(ReadBytes(path) == newText) << "Yes must give the whole new text";
            } else {
                // Torn (the file never touched) or finished (only its removal
                // was cut short): it goes without a word.
                ++nSilent;
                EXPECT_TRUE(onDisk == oldText || onDisk == newText) << onDisk.size() << " bytes";
                EXPECT_TRUE(PaneHolds(pane, onDisk.size()));
            }
            EXPECT_EQ(next.CloseDiscardingChanges(), 1);
        } else {
            EXPECT_TRUE(onDisk == oldText || onDisk == newText) << onDisk.size() << " bytes, no journal";
        }
        EXPECT_TRUE(JournalFiles().empty());
        EXPECT_EQ(FilesIn(dir.Path()), std::vector<std::string>{"lang.txt"});
    }
    printf("a save ran from %lu (journal whole) to %lu ms (journal gone) after it was asked for; of %d ends, %d "
           "were offered to be finished and %d left a journal that went without a word\n",
           msJournal, msDone, run - 1, nOffered, nSilent);
    EXPECT_GT(nOffered, 0) << "no end came while the file was being written";
}
