// Documents as a user meets them from outside: names given at start, one copy
// of the editor per name, and the save prompt when the window is closed.
#include <windows.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

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
    return "Tekstor - " + DirectoryPart(path) + ShellDisplayName(path);
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

constexpr WPARAM kOpenCommand = 40002;  // IDM_OPEN
constexpr WPARAM kSaveCommand = 40003;  // IDM_SAVE

// Opens path through the editor's Open dialog, as a user types it there.
bool OpenThroughDialog(const EditorProcess& editor, const std::string& path)
{
    PostMessageA(editor.Main(), WM_COMMAND, kOpenCommand, 0);
    HWND dlg = NULL;
    if (!WaitUntil([&] { return (dlg = FindProcessDialog(editor.Pid())) != NULL; }))
        return false;
    SetDlgItemTextA(dlg, 0x480, path.c_str());
    PostMessageA(dlg, WM_COMMAND, IDOK, 0);
    return WaitUntil([&] { return !IsWindow(dlg); });
}

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

// Wine makes up short names from a hash, so two long names in a folder can
// share one, and a file really named like another's short name can be found
// instead of it (on Windows, a short name freed by a delete is handed out
// again). Each file, started with or opened by its own name, shows its own
// text, and Save changes that file and no other. (Which of the files a short
// name opens under Wine depends on the order of the folder's entries, which
// a save changes; so the file named like a short name is only looked at from
// the Linux side.)
TEST(Documents, FilesSharingAShortNameEachOpenAndSaveTheirOwn)
{
    TempDir dir;
    ASSERT_TRUE(WriteBytes(dir / "Notizen 00118.txt", "EINS"));
    ASSERT_TRUE(WriteBytes(dir / "Notizen 01002.txt", "ZWEI"));
    ASSERT_EQ(ShortPath(dir / "Notizen 00118.txt"), ShortPath(dir / "Notizen 01002.txt"));
    ASSERT_TRUE(WriteBytes(dir / "Brief Januar.txt", "BRIEF"));
    const std::string briefShort = ShortPath(dir / "Brief Januar.txt");
    const std::string shadow = briefShort.substr(briefShort.find_last_of('\\') + 1);
    ASSERT_TRUE(WriteBytesFromLinux(dir.Path(), shadow, "SCHATTEN"));

    std::vector<std::pair<std::string, std::string>> files = {
        {"Notizen 00118.txt", "EINS"}, {"Notizen 01002.txt", "ZWEI"}, {"Brief Januar.txt", "BRIEF"}};
    for (size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(files[i].first);
        EditorProcess editor;
        ASSERT_TRUE(editor.Start("\"" + dir / files[i].first + "\"", dir.Path()));
        const HWND pane = editor.Pane();
        EXPECT_TRUE(WaitUntil([&] { return RemoteWindowText(pane) == files[i].second; }))
            << RemoteWindowText(pane);
        files[i].second = "neu " + std::to_string(i);
        SendMessageA(pane, EM_SETSEL, 0, -1);
        SendMessageA(pane, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(files[i].second.c_str()));
        DWORD_PTR dwResult = 0;
        EXPECT_TRUE(SendMessageTimeoutA(editor.Main(), WM_COMMAND, kSaveCommand, 0, SMTO_NORMAL, 5000,
                                        &dwResult));
        for (const auto& file : files)
            EXPECT_EQ(ReadBytes(dir / file.first), file.second) << file.first;
        EXPECT_EQ(ReadBytesFromLinux(dir.Path(), shadow), "SCHATTEN");

        const auto& next = files[(i + 1) % files.size()];
        ASSERT_TRUE(OpenThroughDialog(editor, dir / next.first));
        EXPECT_TRUE(WaitUntil([&] { return RemoteWindowText(pane) == next.second; }))
            << next.first << ": " << RemoteWindowText(pane);
        EXPECT_EQ(editor.CloseDiscardingChanges(), 1);
    }
}

// Under Wine a file's rights are its Linux mode. A 2 MB file only its owner
// may read, and one its group may write, are saved (one character typed at
// the start, so that all of the text goes through the journal) while a
// watcher on the Linux side lists, as fast as it can, every file in the
// document's folder and in the journal's: no file that anyone but the owner
// could read appears at any moment, the document keeps its mode, and the
// journal's folder is the owner's alone.
TEST(Documents, ASaveLeavesNoCopyOthersCanReadAndKeepsTheLinuxMode)
{
    TempDir dir;
    std::string text;
    while (text.size() < 2 * 1024 * 1024)
        text += "Zeile " + std::to_string(text.size()) + " eines vertraulichen Textes\r\n";
    const std::string journals = LinuxPath(JournalFolder());
    ASSERT_FALSE(journals.empty());
    for (const std::string mode : {"600", "664"}) {
        SCOPED_TRACE(mode);
        const std::string name = "modus" + mode + ".txt";
        ASSERT_TRUE(WriteBytes(dir / name, text));
        const std::string linuxPath = Quoted(LinuxPath(dir / name));
        ASSERT_EQ(RunLinuxCommand("chmod " + mode + " " + linuxPath + " && stat -c %a " + linuxPath),
                  mode + "\n");
        // Any file but the document that its group or others may open, and
        // every sighting of a journal with its mode.
        const std::string log = LinuxPath(dir.Path()) + "/../watch-" + mode + ".log";
        const std::string stop = log + ".stop";
        ASSERT_NE(RunLinuxCommand("rm -f " + Quoted(stop) + "; (while [ ! -e " + Quoted(stop) +
                                  " ]; do find " + Quoted(LinuxPath(dir.Path())) + " " +
                                  Quoted(journals) + " -type f ! -name " + name +
                                  " -perm /077 -printf 'offen %m %p\\n' 2>/dev/null; find " +
                                  Quoted(journals) + " -type f -printf 'gesehen %m\\n' 2>/dev/null;"
                                  " done; echo ende) >" + Quoted(log) + " 2>&1 &"),
                  "<failed>");
        EditorProcess editor;
        ASSERT_TRUE(editor.Start(name, dir.Path()));
        const HWND pane = editor.Pane();
        ASSERT_TRUE(WaitUntil([&] { return RemoteWindowText(pane).size() == text.size(); }, 30000));
        ASSERT_TRUE(BringToFront(editor.Main()));
        std::string seen;
        for (int nSaves = 1; nSaves <= 20 && seen.find("gesehen") == std::string::npos; ++nSaves) {
            SendChord({VK_CONTROL, VK_HOME});
            TypeText("x");
            SendChord({VK_CONTROL, 'S'});
            ASSERT_TRUE(WaitUntil([&] { return ReadBytes(dir / name).size() == text.size() + nSaves; }));
            seen = RunLinuxCommand("cat " + Quoted(log));
        }
        ASSERT_NE(RunLinuxCommand("touch " + Quoted(stop)), "<failed>");
        ASSERT_TRUE(WaitUntil([&] {
            seen = RunLinuxCommand("cat " + Quoted(log));
            return seen.find("ende\n") != std::string::npos;
        }));
        EXPECT_EQ(seen.find("offen"), std::string::npos) << seen;
        EXPECT_NE(seen.find("gesehen 600"), std::string::npos) << "no journal seen, or not 600";
        EXPECT_EQ(RunLinuxCommand("stat -c %a " + linuxPath), mode + "\n");
        EXPECT_EQ(RunLinuxCommand("stat -c %a " + Quoted(journals)), "700\n");
        EXPECT_EQ(editor.CloseDiscardingChanges(), 1);
        RunLinuxCommand("rm -f " + Quoted(log) + " " + Quoted(stop));
    }
}

namespace {

// The editor at hwndMain has just loaded path, whose bytes the pane cannot
// show as they are: it says so at once, shows the text all the same, and a
// save over the file asks first; No leaves the file as it was.
void ExpectToldAtLoadAndAskedAtSave(HWND hwndMain, const std::string& path, const std::string& bytes,
                                    const std::string& said)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(hwndMain, &pid);
    HWND box = NULL;
    ASSERT_TRUE(WaitUntil([&] { return (box = FindProcessDialog(pid)) != NULL; }))
        << "nothing said at load";
    EXPECT_NE(RemoteWindowText(GetDlgItem(box, 0xFFFF)).find(said), std::string::npos)
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
    EXPECT_NE(RemoteWindowText(GetDlgItem(box, 0xFFFF)).find(said), std::string::npos);
    EXPECT_NE(GetDlgItem(box, IDNO), nullptr) << "a question";
    PostMessageA(box, WM_COMMAND, IDNO, 0);
    ASSERT_TRUE(WaitUntil([&] { return FindProcessDialog(pid) == NULL; }));
    EXPECT_TRUE(ReadBytes(path) == bytes);
    EXPECT_TRUE(CloseAnsweringNo(hwndMain));
    EXPECT_TRUE(ReadBytes(path) == bytes);
}

}  // namespace

// A UTF-16 file (an exported registry file, redirected PowerShell output)
// reaches the pane only up to its first NUL: three characters of it.
TEST(Documents, AUtf16FileIsToldAtLoadAndNotSavedUnasked)
{
    TempDir dir;
    const std::string bytes("\xFF\xFEW\0i\0n\0d\0o\0w\0s\0 \0R\0e\0g\0i\0s\0t\0r\0y\0\r\0\n\0", 38);
    ASSERT_TRUE(WriteBytes(dir / "export.reg", bytes));
    EditorProcess editor;
    ASSERT_TRUE(editor.Start("export.reg", dir.Path()));
    ExpectToldAtLoadAndAskedAtSave(editor.Main(), dir / "export.reg", bytes, "Nullbyte");
}

// In a Japanese locale Wine's ANSI code page is 932, a double-byte one in
// which the umlauts of code page 1252 start two-byte characters, so that a
// German file's bytes would not come back out of the pane.
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
    ExpectToldAtLoadAndAskedAtSave(hwndMain, dir / "umlaute.txt", bytes, "Codepage 932");
}

// A document whose path takes 257 characters, in a folder where no name
// beside it would fit a path, and one in a folder of 257 characters: each is
// saved.
TEST(Documents, ADocumentDeepInFoldersSaves)
{
    TempDir dir;
    for (const size_t cchFolder : {248, 257}) {
        SCOPED_TRACE(cchFolder);
        std::string folder = dir.Path() + "\\";
        folder += std::string(cchFolder - folder.size(), 'o');
        const std::string path = folder + "\\tief.txt";
        ASSERT_EQ(folder.size(), cchFolder);
        const std::wstring file = L"\\\\?\\" + Wide(path);
        ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + Wide(folder)).c_str(), NULL));
        ASSERT_TRUE(WriteBytes(file, "alt"));
        EditorProcess editor;
        ASSERT_TRUE(editor.Start("\"" + path + "\"", dir.Path()));
        const HWND pane = editor.Pane();
        ASSERT_TRUE(WaitUntil([&] { return RemoteWindowText(pane) == "alt"; }));
        ASSERT_TRUE(BringToFront(editor.Main()));
        TypeText("neu ");
        ASSERT_TRUE(WaitUntil([&] { return RemoteWindowText(pane) == "neu alt"; }));
        SendChord({VK_CONTROL, 'S'});
        EXPECT_TRUE(WaitUntil([&] { return ReadBytes(file) == "neu alt"; })) << ReadBytes(file);
        EXPECT_EQ(editor.CloseDiscardingChanges(), 1);
        DeleteFileW(file.c_str());
        RemoveDirectoryW((L"\\\\?\\" + Wide(folder)).c_str());
    }
}

namespace {

// A user's edit of the whole text, then Save as Ctrl+S gives it; true once
// the command has been carried out (it asks nothing on the way).
bool EditAndSave(const EditorProcess& editor, const std::string& text)
{
    SendMessageA(editor.Pane(), EM_SETSEL, 0, -1);
    SendMessageA(editor.Pane(), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
    DWORD_PTR dwResult = 0;
    return SendMessageTimeoutA(editor.Main(), WM_COMMAND, kSaveCommand, 0, SMTO_NORMAL, 10000,
                               &dwResult) &&
           FindProcessDialog(editor.Pid()) == NULL;
}

}  // namespace

// The document is the file that was loaded or last saved, whatever happens
// to its name meanwhile: renamed or deleted, the text is saved anew under the
// same long name (no other name is ever made); another file put under the
// name is overwritten only when the user says so.
TEST(Documents, ASaveGoesToTheFileThatWasLoadedOrAsksFirst)
{
    TempDir dir;
    const std::string path = dir / "brief mit leer.txt";
    ASSERT_TRUE(WriteBytes(path, "alt"));
    EditorProcess editor;
    ASSERT_TRUE(editor.Start("\"" + path + "\"", dir.Path()));
    ASSERT_TRUE(WaitUntil([&] { return PaneOf(editor.Main()) == "alt"; }));
    const std::string caption = Caption(editor.Main());

    ASSERT_TRUE(MoveFileA(path.c_str(), (dir / "umbenannt.txt").c_str()));
    EXPECT_TRUE(EditAndSave(editor, "eins"));
    EXPECT_TRUE(EditAndSave(editor, "zwei"));
    EXPECT_EQ(ReadBytes(path), "zwei");
    EXPECT_EQ(ReadBytes(dir / "umbenannt.txt"), "alt");
    ASSERT_TRUE(DeleteFileA(path.c_str()));
    EXPECT_TRUE(EditAndSave(editor, "drei"));
    EXPECT_TRUE(EditAndSave(editor, "vier"));
    EXPECT_EQ(ReadBytes(path), "vier");
    EXPECT_EQ(FilesIn(dir.Path()), (std::vector<std::string>{"brief mit leer.txt", "umbenannt.txt"}));
    EXPECT_EQ(Caption(editor.Main()), caption);

    // Another file under the name: No leaves both files as they are.
    ASSERT_TRUE(MoveFileA(path.c_str(), (dir / "weg.txt").c_str()));
    ASSERT_TRUE(WriteBytes(path, "fremd"));
    SendMessageA(editor.Pane(), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>("!"));
    for (const int answer : {IDNO, IDYES}) {
        PostMessageA(editor.Main(), WM_COMMAND, kSaveCommand, 0);
        HWND box = NULL;
        ASSERT_TRUE(WaitUntil([&] { return (box = FindProcessDialog(editor.Pid())) != NULL; }));
        EXPECT_EQ(RemoteWindowText(GetDlgItem(box, 0xFFFF)).rfind(path + "\nist nicht mehr", 0), 0u);
        PostMessageA(box, WM_COMMAND, answer, 0);
        ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); }));
        DWORD_PTR dwModified = 0;
        ASSERT_TRUE(SendMessageTimeoutA(editor.Pane(), EM_GETMODIFY, 0, 0, SMTO_NORMAL, 10000, &dwModified));
        EXPECT_EQ(dwModified != 0, answer == IDNO);
        EXPECT_EQ(ReadBytes(path), answer == IDNO ? "fremd" : "vier!");
        EXPECT_EQ(ReadBytes(dir / "weg.txt"), "vier");
    }
    EXPECT_TRUE(EditAndSave(editor, "sechs"));
    EXPECT_EQ(ReadBytes(path), "sechs");
    EXPECT_EQ(editor.CloseDiscardingChanges(), 1);
}

// Whatever the system takes for a name opens that file: a path longer than
// MAX_PATH, a name typed into the Open dialog with a trailing blank or dot; a
// shortcut opens its target and is never written.
TEST(Documents, EveryNameTheSystemTakesOpensItsFile)
{
    TempDir dir;
    const std::wstring deepFolder = L"\\\\?\\" + Wide(dir / std::string(150, 'a'));
    const std::wstring deep = deepFolder + L"\\" + std::wstring(150, L'b') + L".txt";
    ASSERT_TRUE(CreateDirectoryW(deepFolder.c_str(), NULL));
    ASSERT_TRUE(WriteBytes(deep, "tief"));
    ASSERT_TRUE(WriteBytes(dir / "b.txt", "bee"));
    ASSERT_TRUE(MakeShortcut(Wide(dir / "verkn.lnk"), Wide(dir / "b.txt")));
    const std::string link = ReadBytes(dir / "verkn.lnk");

    EditorProcess editor;
    ASSERT_TRUE(editor.Start(L"\"" + deep.substr(4) + L"\"", dir.Path()));
    ASSERT_TRUE(WaitUntil([&] { return PaneOf(editor.Main()) == "tief"; }));
    EXPECT_TRUE(EditAndSave(editor, "tiefer"));
    EXPECT_EQ(ReadBytes(deep), "tiefer");

    // ("C:b.txt" is taken too, in-process; typed into Wine's dialog it ends
    // the dialog's process inside the dialog itself.)
    for (const char* typed : {"b.txt ", "b.txt.", "verkn.lnk"}) {
        SCOPED_TRACE(typed);
        SendMessageA(editor.Pane(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
        ASSERT_TRUE(OpenThroughDialog(editor, typed));
        EXPECT_TRUE(WaitUntil([&] { return PaneOf(editor.Main()) == "bee"; })) << PaneOf(editor.Main());
    }
    EXPECT_TRUE(EditAndSave(editor, "bee!"));
    EXPECT_EQ(ReadBytes(dir / "b.txt"), "bee!");
    EXPECT_EQ(ReadBytes(dir / "verkn.lnk"), link);
    EXPECT_EQ(editor.CloseDiscardingChanges(), 1);
}
