// Names at start that cannot be opened: the editor starts, stays untitled
// and empty, hands nothing on, opens no other file, and ends normally.
#include <windows.h>

#include <gtest/gtest.h>

#include "support/files.h"
#include "support/process.h"

namespace {

std::string PaneOf(HWND hwndMain)
{
    return RemoteWindowText(FindWindowExA(hwndMain, NULL, "Edit", NULL));
}

// Starts the editor with args in dir and checks that it comes up untitled,
// starts no further copy, and then closes with the normal exit code.
void ExpectUntitledStart(const std::string& args, const std::string& dir)
{
    SCOPED_TRACE(args.size() > 120 ? args.substr(0, 120) + "..." : args);
    NewEditorWindows copies;
    EditorProcess editor;
    ASSERT_TRUE(editor.Start(args, dir));
    ASSERT_TRUE(WaitUntil([&] { return RemoteWindowText(editor.Main()) == "Tekstor - Unbenannt"; }))
        << RemoteWindowText(editor.Main());
    EXPECT_EQ(PaneOf(editor.Main()), "");
    EXPECT_TRUE(copies.Now(editor.Pid()).empty());
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

// A name that the ANSI code page cannot spell reaches the program with the
// unknown characters as '?' (a CJK character here: for some others, such as
// Greek capitals, the system substitutes a look-alike Latin letter instead). It must not open some other file that the
// question mark could stand for, and the file stays reachable by its short name.
TEST(StartFaults, ANameOutsideTheCodePageOpensNoOtherFile)
{
    TempDir dir;
    std::wstring wideDir(dir.Path().begin(), dir.Path().end());
    const std::wstring wideName = wideDir + L"\\\x6587mega.txt";
    HANDLE h = CreateFileW(wideName.c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW, 0, NULL);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(h, "omega", 5, &written, NULL);
    CloseHandle(h);
    ASSERT_TRUE(WriteBytes(dir / "xmega.txt", "falsch"));

    char ansi[MAX_PATH] = "";
    WideCharToMultiByte(CP_ACP, 0, L"\x6587mega.txt", -1, ansi, MAX_PATH, NULL, NULL);
    ASSERT_EQ(std::string(ansi), "?mega.txt");
    ExpectUntitledStart(ansi, dir.Path());
    ExpectUntitledStart(std::string("\"") + ansi + "\"", dir.Path());

    wchar_t wideShort[MAX_PATH] = L"";
    ASSERT_NE(GetShortPathNameW(wideName.c_str(), wideShort, MAX_PATH), 0u);
    char shortName[MAX_PATH] = "";
    BOOL bLost = FALSE;
    WideCharToMultiByte(CP_ACP, 0, wideShort, -1, shortName, MAX_PATH, NULL, &bLost);
    if (bLost)
        GTEST_SKIP() << "this system gives the file no short name in the code page";
    EditorProcess editor;
    ASSERT_TRUE(editor.Start(std::string("\"") + shortName + "\"", dir.Path()));
    EXPECT_TRUE(WaitUntil([&] { return PaneOf(editor.Main()) == "omega"; }))
        << PaneOf(editor.Main());
    EXPECT_EQ(editor.CloseDiscardingChanges(), 1);
}

// A document of 100 MB is loaded whole and closes without a prompt.
TEST(StartFaults, AHundredMegabyteFileIsLoadedWhole)
{
    TempDir dir;
    const DWORD cbFile = 100u * 1024 * 1024;
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
    }, 240000));
    EXPECT_NE(RemoteWindowText(editor.Main()).find("gross.txt"), std::string::npos);
    EXPECT_EQ(editor.CloseDiscardingChanges(), 1);
    EXPECT_EQ(ReadBytes(dir / "gross.txt").size(), cbFile);
}
