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
