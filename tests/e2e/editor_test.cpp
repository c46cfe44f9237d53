// tekstor.exe as a user meets it: started as its own program, typed into with
// real keystrokes, and closed.
#include <windows.h>
#include <string>

#include <gtest/gtest.h>

#include "res/resource.h"
#include "support/files.h"
#include "support/process.h"

TEST(Editor, StartsTypesTogglesWrapAndExitsWithCodeOne)
{
    EditorProcess editor;
    ASSERT_TRUE(editor.Start());
    HWND hwnd = editor.Main();
    char cls[64] = "";
    GetClassNameA(hwnd, cls, sizeof cls);
    EXPECT_STREQ(cls, "WndClassTekstor");
    EXPECT_EQ(RemoteWindowText(hwnd).rfind("Tekstor", 0), 0u) << RemoteWindowText(hwnd);
    HWND pane = editor.Pane();
    ASSERT_NE(pane, nullptr);
    EXPECT_EQ(RemoteStyle(pane), 0x50301184u);

    ASSERT_TRUE(BringToFront(hwnd));
    TypeText("Hallo Welt");
    ASSERT_TRUE(WaitUntil([&] { return RemoteWindowText(pane) == "Hallo Welt"; }))
        << RemoteWindowText(pane);

    // Ctrl+W is an accelerator: the pane is re-created wrapping, with the text.
    // (That it types no character is shown in-process, where the queue can be seen.)
    SendChord({VK_CONTROL, 'W'});
    HWND wrapped = NULL;
    ASSERT_TRUE(WaitUntil([&] {
        wrapped = editor.Pane();
        return wrapped && wrapped != pane && RemoteStyle(wrapped) == 0x50201104u;
    }));
    EXPECT_EQ(RemoteWindowText(wrapped), "Hallo Welt");
    TypeText("!");
    ASSERT_TRUE(WaitUntil([&] { return RemoteWindowText(wrapped) == "Hallo Welt!"; }))
        << RemoteWindowText(wrapped);

    // F8 selects everything the keyboard way.
    SendChord({VK_F8});
    ASSERT_TRUE(WaitUntil([&] { return SendMessageA(wrapped, EM_GETSEL, 0, 0) == MAKELRESULT(0, 11); }));

    // The typed text is unsaved: closing asks, and No lets the window go.
    PostMessageA(hwnd, WM_CLOSE, 0, 0);
    HWND box = NULL;
    ASSERT_TRUE(WaitUntil([&] { return (box = FindProcessDialog(editor.Pid())) != NULL; }));
    PostMessageA(box, WM_COMMAND, IDNO, 0);
    EXPECT_EQ(editor.WaitForExit(), 1);
}

// Run twice: in the tests' Wine prefix, which has Wine's fonts, and by ctest
// in one without them (Editor.WithoutWineFonts). Either way the pane's
// characters are cells of one width and a readable height, and a file of
// every pair of the bytes 0x80-0x9F, each pair at a line's start where a run
// of glyphs begins, opens whole and leaves the editor running.
TEST(Editor, PaneShowsEveryHighBytePairInCellsOfOneWidth)
{
    std::string text = "iiiiiiiiii|\r\nMMMMMMMMMM|\r\n";
    for (int first = 0x80; first <= 0x9F; ++first) {
        for (int second = 0x80; second <= 0x9F; ++second)
            text += {static_cast<char>(first), static_cast<char>(second), '\r', '\n'};
    }
    TempDir dir;
    ASSERT_TRUE(WriteBytes(dir / "paare.txt", text));
    EditorProcess editor;
    ASSERT_TRUE(editor.Start("paare.txt", dir.Path()));
    HWND pane = editor.Pane();
    ASSERT_TRUE(WaitUntil([&] { return RemoteWindowText(pane) == text; }));

    const auto at = [&](int i) {
        const LRESULT pos = SendMessageA(pane, EM_POSFROMCHAR, i, 0);
        return POINT{static_cast<short>(LOWORD(pos)), static_cast<short>(HIWORD(pos))};
    };
    EXPECT_GT(at(10).x - at(0).x, 0);
    EXPECT_EQ(at(10).x - at(0).x, at(23).x - at(13).x);  // ten i, ten M
    EXPECT_GE(at(13).y - at(0).y, 12);                   // one line
    EXPECT_EQ(editor.CloseDiscardingChanges(), 1);
}

namespace {

HWND VisibleMenuOf(DWORD pid)
{
    return FindProcessWindow(pid, "#32768", true);
}

RECT WindowRectOf(HWND hwnd)
{
    RECT rc = {};
    GetWindowRect(hwnd, &rc);
    return rc;
}

}  // namespace

TEST(Editor, ContextMenuOpensFromTheKeyboardAndTheMouse)
{
    EditorProcess editor;
    ASSERT_TRUE(editor.Start());
    ASSERT_TRUE(BringToFront(editor.Main()));
    const RECT pane = WindowRectOf(editor.Pane());

    // Shift+F10: at the pane's top-left corner, wherever the caret is.
    TypeText("abc");
    SendChord({VK_SHIFT, VK_F10});
    HWND menu = NULL;
    ASSERT_TRUE(WaitUntil([&] { return (menu = VisibleMenuOf(editor.Pid())) != NULL; }));
    EXPECT_EQ(WindowRectOf(menu).left, pane.left);
    EXPECT_EQ(WindowRectOf(menu).top, pane.top);
    SendChord({VK_ESCAPE});
    ASSERT_TRUE(WaitUntil([&] { return VisibleMenuOf(editor.Pid()) == NULL; }));

    // A right click: at the mouse pointer. A person's click, made on the
    // display, carries its own position; a cursor set from here could still be
    // moved back by a late pointer event of the menu that just closed.
    const POINT at = {pane.left + 120, pane.top + 90};
    ASSERT_TRUE(RunXdotool("mousemove --sync " + std::to_string(at.x) + " " + std::to_string(at.y) + " click 3"));
    ASSERT_TRUE(WaitUntil([&] { return (menu = VisibleMenuOf(editor.Pid())) != NULL; }));
    EXPECT_EQ(WindowRectOf(menu).left, at.x);
    EXPECT_EQ(WindowRectOf(menu).top, at.y);

    // Choosing "Alles auswählen" by its access key runs the command.
    SendChord({'B'});   // "&Bearbeiten"
    SendChord({'W'});   // "Alles aus&wählen"
    ASSERT_TRUE(WaitUntil([&] { return SendMessageA(editor.Pane(), EM_GETSEL, 0, 0) == MAKELRESULT(0, 3); }));
    EXPECT_EQ(RemoteWindowText(editor.Pane()), "abc");
    EXPECT_EQ(editor.CloseDiscardingChanges(), 1);
}

namespace {

// Wine prefers its built-in copy of a system library to a file of the same
// name, where Windows takes the file. Wine's per-program setting makes it take
// the file too, for the program of this name only (Windows reads no such key).
class PreferLibraryFiles {
public:
    explicit PreferLibraryFiles(const std::string& exeName)
        : m_key("Software\\Wine\\AppDefaults\\" + exeName)
    {
        HKEY hKey;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, (m_key + "\\DllOverrides").c_str(), 0, NULL, 0,
                            KEY_SET_VALUE, NULL, &hKey, NULL) == ERROR_SUCCESS) {
            static const char kOrder[] = "native,builtin";
            for (const char* name : {"shell32", "comdlg32"})
                RegSetValueExA(hKey, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(kOrder), sizeof kOrder);
            RegCloseKey(hKey);
        }
    }
    ~PreferLibraryFiles()
    {
        RegDeleteKeyA(HKEY_CURRENT_USER, (m_key + "\\DllOverrides").c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, m_key.c_str());
    }
private:
    std::string m_key;
};

// Loads a library by its bare name on a new thread of process pid, as code
// running in it late (a shell extension a dialog hosts, a delayed import)
// would; true when that thread ran. Wine's own delayed imports ignore the
// process's library search setting, so they cannot show it.
bool LoadLibraryInProcess(DWORD pid, const std::string& name)
{
    HANDLE hProcess = OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid);
    if (!hProcess)
        return false;
    bool bRan = false;
    void* pRemote = VirtualAllocEx(hProcess, NULL, name.size() + 1, MEM_COMMIT, PAGE_READWRITE);
    // kernel32 lies at the same address in every process.
    auto pfnLoad = reinterpret_cast<LPTHREAD_START_ROUTINE>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "LoadLibraryA")));
    if (pRemote && WriteProcessMemory(hProcess, pRemote, name.c_str(), name.size() + 1, NULL)) {
        HANDLE hThread = CreateRemoteThread(hProcess, NULL, 0, pfnLoad, pRemote, 0, NULL);
        if (hThread) {
            bRan = WaitForSingleObject(hThread, 10000) == WAIT_OBJECT_0;
            CloseHandle(hThread);
        }
    }
    CloseHandle(hProcess);
    return bRan;
}

}  // namespace

// A library of the system's name beside the exe (in a downloads folder, say)
// must never be loaded: the shell's and the common dialogs' libraries come
// from the system folder, also when they are first needed late in a run, and
// from the start on no library loaded by its bare name comes from the
// program's folder.
TEST(Editor, LibrariesBesideTheExeAreNotLoadedInsteadOfTheSystems)
{
    TempDir dir;
    const std::string exe = dir / "tekstor-geladen.exe";
    ASSERT_TRUE(CopyFileA(TekstorExePath().c_str(), exe.c_str(), FALSE));
    for (const char* name : {"shell32.dll", "comdlg32.dll", "tkspaet.dll"})
        ASSERT_TRUE(CopyFileA((TestExeDir() + "\\planted_library.dll").c_str(), (dir / name).c_str(), FALSE));
    WriteBytes(dir / "brief.txt", "Brief");
    PreferLibraryFiles prefer("tekstor-geladen.exe");

    EditorProcess editor;
    ASSERT_TRUE(editor.Start("brief.txt", dir.Path(), exe));
    // The caption's name of the file is the shell's.
    ASSERT_TRUE(WaitUntil([&] { return RemoteWindowText(editor.Pane()) == "Brief"; }));
    EXPECT_EQ(RemoteWindowText(editor.Main()),
              "Tekstor - " + DirectoryPart(dir / "brief.txt") + ShellDisplayName(dir / "brief.txt"));

    // The Find dialog is one of the common dialogs.
    PostMessageA(editor.Main(), WM_COMMAND, IDM_FIND, 0);
    HWND hwndFind = NULL;
    EXPECT_TRUE(WaitUntil([&] { return (hwndFind = FindProcessDialog(editor.Pid())) != NULL; }));
    if (hwndFind)
        PostMessageA(hwndFind, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(LoadLibraryInProcess(editor.Pid(), "tkspaet.dll"));

    for (const char* name : {"shell32", "comdlg32", "tkspaet"})
        EXPECT_EQ(ReadBytes(dir / (std::string(name) + ".dll.loaded")), "<missing>") << name;
    EXPECT_EQ(editor.CloseDiscardingChanges(), 1);
}
