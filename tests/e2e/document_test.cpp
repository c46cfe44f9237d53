// Documents as a user meets them from outside: names given at start, one copy
// of the editor per name, and the save prompt when the window is closed.
#include <windows.h>

#include <algorithm>

#include <gtest/gtest.h>

#include "support/files.h"
#include "support/process.h"

namespace {

std::string Caption(HWND hwnd)
{
    return RemoteWindowText(hwnd);
}

std::string PaneOf(HWND hwndMain)
{
    return RemoteWindowText(FindWindowExA(hwndMain, NULL, "Edit", NULL));
}

// Names from the argument string are kept as full short paths; the caption
// shows the short directory and the shell's name of the file.
std::string ExpectedCaption(const std::string& path)
{
    const std::string shortPath = ShortPath(path);
    return "Tekstor - " + DirectoryPart(shortPath) + ShellDisplayName(shortPath);
}

// The texts the copies show, sorted.
std::vector<std::string> PaneTexts(const std::vector<HWND>& windows)
{
    std::vector<std::string> texts;
    for (HWND hwnd : windows)
        texts.push_back(PaneOf(hwnd));
    std::sort(texts.begin(), texts.end());
    return texts;
}

}  // namespace

TEST(Documents, EachFurtherNameOpensInACopyOfItsOwn)
{
    TempDir dir;
    WriteBytes(dir / "eins.txt", "eins");
    WriteBytes(dir / "drei.txt", "drei");
    WriteBytes(dir / "zwei 2.txt", "zwei");
    NewEditorWindows copies;
    EditorProcess editor;
    ASSERT_TRUE(editor.Start("eins.txt drei.txt \"zwei 2.txt\"", dir.Path()));
    ASSERT_TRUE(WaitUntil([&] { return PaneOf(editor.Main()) == "eins"; }));
    EXPECT_EQ(Caption(editor.Main()), ExpectedCaption(dir / "eins.txt"));

    // This copy hands "drei.txt \"zwei 2.txt\"" on; that one hands the quoted name on.
    const std::vector<std::string> expected = {"drei", "zwei"};
    ASSERT_TRUE(WaitUntil([&] { return PaneTexts(copies.Now(editor.Pid())) == expected; }, 30000))
        << copies.Now(editor.Pid()).size() << " copies";
    std::vector<std::string> captions;
    for (HWND hwnd : copies.Now(editor.Pid()))
        captions.push_back(Caption(hwnd));
    std::vector<std::string> expectedCaptions = {ExpectedCaption(dir / "drei.txt"),
                                                 ExpectedCaption(dir / "zwei 2.txt")};
    std::sort(captions.begin(), captions.end());
    std::sort(expectedCaptions.begin(), expectedCaptions.end());
    EXPECT_EQ(captions, expectedCaptions);
}

TEST(Documents, AMissingQuotedNameStaysUntitledAndTheNextOneOpensElsewhere)
{
    TempDir dir;
    WriteBytes(dir / "da.txt", "da");
    NewEditorWindows copies;
    EditorProcess editor;
    ASSERT_TRUE(editor.Start("\"fehlt.txt\" \"da.txt\"", dir.Path()));
    ASSERT_TRUE(WaitUntil([&] { return Caption(editor.Main()) == "Tekstor - Unbenannt"; }));
    EXPECT_EQ(PaneOf(editor.Main()), "");
    ASSERT_TRUE(WaitUntil([&] { return PaneTexts(copies.Now(editor.Pid())) ==
                                       std::vector<std::string>{"da"}; }, 30000));
}

TEST(Documents, ClosingWithUnsavedChangesAsksAndCancelKeepsTheWindow)
{
    TempDir dir;
    EditorProcess editor;
    ASSERT_TRUE(editor.Start("", dir.Path()));
    ASSERT_TRUE(WaitUntil([&] { return Caption(editor.Main()) == "Tekstor - Unbenannt"; }));
    ASSERT_TRUE(BringToFront(editor.Main()));
    TypeText("Notiz");
    ASSERT_TRUE(WaitUntil([&] { return PaneOf(editor.Main()) == "Notiz"; }));

    PostMessageA(editor.Main(), WM_CLOSE, 0, 0);
    HWND box = NULL;
    ASSERT_TRUE(WaitUntil([&] { return (box = FindProcessDialog(editor.Pid())) != NULL; }));
    EXPECT_EQ(RemoteWindowText(box), "Tekstor ");
    EXPECT_EQ(RemoteWindowText(GetDlgItem(box, 0xFFFF)).rfind("Unbenannt\n", 0), 0u);
    PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box) || !IsWindowVisible(box); }));
    EXPECT_TRUE(IsWindow(editor.Main()));
    EXPECT_EQ(PaneOf(editor.Main()), "Notiz");

    PostMessageA(editor.Main(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return (box = FindProcessDialog(editor.Pid())) != NULL; }));
    PostMessageA(box, WM_COMMAND, IDNO, 0);
    EXPECT_EQ(editor.WaitForExit(), 1);
}

namespace {

std::string Quoted(const std::string& linuxPath)
{
    return "'" + linuxPath + "'";
}

// Closes the window and answers No to whatever it asks on the way.
bool CloseAnsweringNo(HWND hwndMain)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(hwndMain, &pid);
    PostMessageA(hwndMain, WM_CLOSE, 0, 0);
    return WaitUntil([&] {
        if (HWND box = FindProcessDialog(pid))
            PostMessageA(box, WM_COMMAND, IDNO, 0);
        return !IsWindow(hwndMain);
    });
}

}  // namespace

// Under Wine a file's rights are its Linux mode. A file only its owner may
// read, and one its group may write, keep exactly that mode when the running
// editor saves them.
TEST(Documents, ASavedFileKeepsItsLinuxMode)
{
    TempDir dir;
    for (const std::string mode : {"600", "664"}) {
        const std::string name = "modus" + mode + ".txt";
        ASSERT_TRUE(WriteBytes(dir / name, "alt"));
        const std::string linuxPath = Quoted(LinuxPath(dir / name));
        ASSERT_EQ(RunLinuxCommand("chmod " + mode + " " + linuxPath + " && stat -c %a " + linuxPath),
                  mode + "\n");
        EditorProcess editor;
        ASSERT_TRUE(editor.Start(name, dir.Path()));
        const HWND pane = editor.Pane();
        ASSERT_TRUE(WaitUntil([&] { return RemoteWindowText(pane) == "alt"; }));
        ASSERT_TRUE(BringToFront(editor.Main()));
        TypeText("neu ");
        ASSERT_TRUE(WaitUntil([&] { return RemoteWindowText(pane).size() == 7; }));
        SendChord({VK_CONTROL, 'S'});
        ASSERT_TRUE(WaitUntil([&] { return ReadBytes(dir / name) == RemoteWindowText(pane); }));
        EXPECT_EQ(RunLinuxCommand("stat -c %a " + linuxPath), mode + "\n") << name;
        EXPECT_EQ(editor.CloseDiscardingChanges(), 1);
    }
}

// In a Japanese locale Wine's ANSI code page is 932, a double-byte one in
// which the umlauts of code page 1252 start two-byte characters, so that a
// German file's bytes would not come back out of the pane. The editor, started
// there, says so when it loads such a file, and a save over it asks first: No
// leaves the file as it was.
TEST(Documents, AFileTheCodePageWouldChangeIsReportedAndNotSavedUnasked)
{
    TempDir dir;
    const std::string bytes = "Gr\xFC\xDF" "e: \xE4 \xF6 \xFC \xDF \r\n";
    ASSERT_TRUE(WriteBytes(dir / "umlaute.txt", bytes));
    char szLoader[MAX_PATH] = "";
    ASSERT_TRUE(GetEnvironmentVariableA("WINELOADER", szLoader, MAX_PATH)) << "not under Wine";
    NewEditorWindows editors;
    ASSERT_NE(RunLinuxCommand("cd " + Quoted(LinuxPath(dir.Path())) + " && LC_ALL=ja_JP.UTF-8 " +
                              Quoted(szLoader) + " " + Quoted(TekstorExePath()) +
                              " umlaute.txt >/dev/null 2>&1 &"),
              "<failed>");
    HWND hwndMain = NULL;
    ASSERT_TRUE(WaitUntil([&] {
        const std::vector<HWND> now = editors.Now();
        hwndMain = now.empty() ? NULL : now[0];
        return hwndMain != NULL;
    }, 20000));
    DWORD pid = 0;
    GetWindowThreadProcessId(hwndMain, &pid);
    HWND box = NULL;
    ASSERT_TRUE(WaitUntil([&] { return (box = FindProcessDialog(pid)) != NULL; }))
        << "nothing said at load";
    EXPECT_NE(RemoteWindowText(GetDlgItem(box, 0xFFFF)).find("Codepage 932"), std::string::npos)
        << RemoteWindowText(GetDlgItem(box, 0xFFFF));
    EXPECT_NE(PaneOf(hwndMain), "") << "the text is shown all the same";
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitUntil([&] { return FindProcessDialog(pid) == NULL; }));

    ASSERT_TRUE(BringToFront(hwndMain));
    TypeText("x");
    const HWND pane = FindWindowExA(hwndMain, NULL, "Edit", NULL);
    ASSERT_TRUE(WaitUntil([&] { return SendMessageA(pane, EM_GETMODIFY, 0, 0) != 0; }));
    SendChord({VK_CONTROL, 'S'});
    ASSERT_TRUE(WaitUntil([&] { return (box = FindProcessDialog(pid)) != NULL; })) << "saved unasked";
    EXPECT_NE(RemoteWindowText(GetDlgItem(box, 0xFFFF)).find("Codepage 932"), std::string::npos);
    EXPECT_NE(GetDlgItem(box, IDNO), nullptr) << "a question";
    PostMessageA(box, WM_COMMAND, IDNO, 0);
    ASSERT_TRUE(WaitUntil([&] { return FindProcessDialog(pid) == NULL; }));
    EXPECT_TRUE(ReadBytes(dir / "umlaute.txt") == bytes);
    EXPECT_TRUE(CloseAnsweringNo(hwndMain));
    EXPECT_TRUE(ReadBytes(dir / "umlaute.txt") == bytes);
}
