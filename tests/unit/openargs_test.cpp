// Opening from the argument string and from dropped files. Handing names on
// starts a new copy of the running program, which in a test process would be
// the test program itself: here the search is checked on its own, and the
// hand-off end to end in the e2e tests.
#include "unit/document_fixture.h"

#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "app/shell.h"
#include "document/filecmd.h"
#include "document/docfile.h"
#include "document/openargs.h"
#include "res/resource.h"
#include "support/dialogs.h"
#include "support/files.h"
#include "support/imports.h"

namespace {

const std::wstring kOmega = L"\x03A9mega.txt";

// DragFinish gives the drop's memory back to the system: the shell hands the
// drop handle to GlobalFree. Watched there, a released handle is never
// touched again, and how the program reaches DragFinish does not matter.
std::vector<HGLOBAL> g_released;
void* g_pfnGlobalFree;

HGLOBAL WINAPI WatchedGlobalFree(HGLOBAL h)
{
    g_released.push_back(h);
    return reinterpret_cast<HGLOBAL(WINAPI*)(HGLOBAL)>(g_pfnGlobalFree)(h);
}

class ReleaseWatch {
public:
    ReleaseWatch()
        : m_patch(LoadLibraryA("shell32.dll"), "GlobalFree",
                  reinterpret_cast<void*>(WatchedGlobalFree))
    {
        g_pfnGlobalFree = m_patch.Original();
        g_released.clear();
    }
    bool Installed() const { return m_patch.Installed(); }
private:
    ImportPatch m_patch;
};

// Released since the last look, exactly once.
bool Released(HGLOBAL h)
{
    const auto n = std::count(g_released.begin(), g_released.end(), h);
    g_released.clear();
    return n == 1;
}

class OpenArgsTest : public DocumentFixture {
protected:
    void SetUp() override
    {
        DocumentFixture::SetUp();
        GetCurrentDirectoryA(MAX_PATH, m_szOldDir);
        // Relative names in the argument strings below are found in the folder.
        SetCurrentDirectoryA(m_dir.Path().c_str());
        for (const char* name : {"eins.txt", "zwei.txt", "brief", "brief x.txt", "mit leer.txt"})
            WriteBytes(m_dir / name, std::string("Inhalt von ") + name);
        CreateDirectoryA((m_dir / "ordner").c_str(), NULL);
        ASSERT_TRUE(m_releases.Installed());
    }
    void TearDown() override
    {
        SetCurrentDirectoryA(m_szOldDir);
        DocumentFixture::TearDown();
    }
    std::wstring Full(const std::string& name) const { return Wide(m_dir / name); }
    std::wstring WideIn(const std::wstring& name) const
    {
        return Wide(m_dir.Path()) + L"\\" + name;
    }
    // A name the ANSI code page cannot spell, beside the file its best-fit
    // look-alike names.
    void WriteOmegaPair()
    {
        ASSERT_TRUE(WriteBytes(WideIn(kOmega), "griechisch"));
        ASSERT_TRUE(WriteBytes(m_dir / "Omega.txt", "lateinisch"));
        ASSERT_NE(ShortPath(WideIn(kOmega)), "");
    }
    struct Found {
        bool bAccepted;
        std::wstring name;       // g_wszDocumentPath when accepted
        std::wstring remainder;  // "<none>" when nothing is handed on
    };
    Found Search(const std::string& args) { return Search(Wide(args)); }
    Found Search(std::wstring args)
    {
        lstrcpyW(g_wszDocumentPath, L"vorher");
        args.push_back(L'\0');
        wchar_t* pszRemainder = nullptr;
        Found found;
        found.bAccepted = FindArgumentName(&args[0], &pszRemainder) != FALSE;
        found.name = found.bAccepted ? g_wszDocumentPath : L"";
        if (!found.bAccepted) {
            EXPECT_STREQ(g_wszDocumentPath, L"vorher");
        }
        found.remainder = pszRemainder ? pszRemainder : L"<none>";
        return found;
    }
    void Drop(std::initializer_list<std::string> paths, HGLOBAL* phDrop = nullptr)
    {
        std::wstring list;
        for (const std::string& p : paths)
            list += Wide(p) + L'\0';
        DropList(list, phDrop);
    }
    // The shell's own form of a drop: wide names, each ended by a NUL.
    void DropList(std::wstring list, HGLOBAL* phDrop = nullptr)
    {
        list += L'\0';
        const size_t cbList = list.size() * sizeof(wchar_t);
        HGLOBAL h = GlobalAlloc(GHND, sizeof(DROPFILES) + cbList);
        DROPFILES* df = static_cast<DROPFILES*>(GlobalLock(h));
        df->pFiles = sizeof(DROPFILES);
        df->fWide = TRUE;
        memcpy(reinterpret_cast<char*>(df) + sizeof(DROPFILES), list.data(), cbList);
        GlobalUnlock(h);
        if (phDrop)
            *phDrop = h;
        // A handle freed earlier may come back with this value.
        g_released.clear();
        SendMessageA(g_hwndMain, WM_DROPFILES, reinterpret_cast<WPARAM>(h), 0);
        Pump();
    }
    char m_szOldDir[MAX_PATH] = "";
    ReleaseWatch m_releases;
};

}  // namespace

// Any spelling the system takes names the file by its exact long path; what
// cannot be the document says why.
TEST_F(OpenArgsTest, AFileIsFoundByItsExactNameOrRefusedWithItsReason)
{
    ASSERT_TRUE(WriteBytes(m_dir / "verkn.lnk", "nur Text"));
    ASSERT_TRUE(MakeShortcut(Wide(m_dir / "echt.lnk"), Full("zwei.txt")));
    FileLock lock(m_dir / "eins.txt");
    const struct {
        std::wstring given;
        UINT uReason;
        std::wstring exact;
    } cases[] = {
        {L"fehlt.txt", IDS_NOT_FOUND, L""},
        {L"ordner", IDS_FOLDER, L""},
        {L"", IDS_NOT_FOUND, L""},
        {L"eins.txt", IDS_IN_USE, L""},
        {L"NUL", IDS_DEVICE, L""},
        {Full("mit leer.txt"), 0, Full("mit leer.txt")},
        {Wide(ShortPath(m_dir / "mit leer.txt")), 0, Full("mit leer.txt")},
        {L"zwei.txt ", 0, Full("zwei.txt")},
        {L"zwei.txt.", 0, Full("zwei.txt")},
        {L"C:zwei.txt", 0, Full("zwei.txt")},
        {L"verkn.lnk", 0, Full("verkn.lnk")},  // a text, whatever its name
        {L"echt.lnk", 0, Full("zwei.txt")},    // a shortcut is its target
    };
    for (const auto& c : cases) {
        static wchar_t szExact[DOCUMENT_PATH_SIZE];
        szExact[0] = L'\0';
        EXPECT_EQ(FindDocumentFile(c.given.c_str(), szExact), c.uReason) << Narrow(c.given);
        if (c.uReason == 0) {
            EXPECT_EQ(std::wstring(szExact), c.exact) << Narrow(c.given);
        }
    }
}

TEST_F(OpenArgsTest, UnquotedNamesAreFoundByTheirShortestReadablePrefix)
{
    Found f = Search("");
    EXPECT_FALSE(f.bAccepted);
    EXPECT_EQ(f.remainder, L"<none>");

    // A path with spaces whose first word names nothing: the whole path.
    f = Search(m_dir / "mit leer.txt");
    EXPECT_TRUE(f.bAccepted);
    EXPECT_EQ(f.name, Full("mit leer.txt"));
    EXPECT_EQ(f.remainder, L"<none>");

    f = Search("eins.txt zwei.txt");
    EXPECT_TRUE(f.bAccepted);
    EXPECT_EQ(f.name, Full("eins.txt"));
    EXPECT_EQ(f.remainder, L"zwei.txt");

    // The shortest readable prefix wins, even over a longer file name.
    f = Search("brief x.txt");
    EXPECT_TRUE(f.bAccepted);
    EXPECT_EQ(f.name, Full("brief"));
    EXPECT_EQ(f.remainder, L"x.txt");

    f = Search("eins.txt zwei.txt \"drei vier\"");
    EXPECT_EQ(f.name, Full("eins.txt"));
    EXPECT_EQ(f.remainder, L"zwei.txt \"drei vier\"");

    // Only spaces separate names: a tab belongs to the name.
    f = Search("eins.txt\tzwei.txt");
    EXPECT_FALSE(f.bAccepted);
    EXPECT_EQ(f.remainder, L"<none>");

    // Candidates are prefixes only: a missing first name takes the rest with it.
    f = Search("fehlt.txt eins.txt");
    EXPECT_FALSE(f.bAccepted);
    EXPECT_EQ(f.remainder, L"<none>");

    f = Search("fehlt ordner");
    EXPECT_FALSE(f.bAccepted);
    EXPECT_EQ(f.remainder, L"<none>");
}

TEST_F(OpenArgsTest, AQuotedNameIsTestedOnceAndOnlyAQuoteStartsTheRemainder)
{
    Found f = Search("\"eins.txt\" \"zwei.txt\"");
    EXPECT_EQ(f.name, Full("eins.txt"));
    EXPECT_EQ(f.remainder, L"\"zwei.txt\"");

    f = Search("\"mit leer.txt\" zwei.txt eins.txt");
    EXPECT_TRUE(f.bAccepted);
    EXPECT_EQ(f.name, Full("mit leer.txt"));
    EXPECT_EQ(f.remainder, L"<none>");

    f = Search("\"fehlt.txt\" \"zwei.txt\"");
    EXPECT_FALSE(f.bAccepted);
    EXPECT_EQ(f.remainder, L"\"zwei.txt\"");

    f = Search("\"mit leer.txt");
    EXPECT_TRUE(f.bAccepted);
    EXPECT_EQ(f.name, Full("mit leer.txt"));
    EXPECT_EQ(f.remainder, L"<none>");

    f = Search("\"eins.txt\"x\"zwei.txt\"");
    EXPECT_EQ(f.name, Full("eins.txt"));
    EXPECT_EQ(f.remainder, L"\"zwei.txt\"");

    f = Search("\"brief x.txt\"");
    EXPECT_EQ(f.name, Full("brief x.txt"));
}

TEST_F(OpenArgsTest, ABlankRemainderIsNotHandedOn)
{
    Found f = Search("eins.txt ");
    EXPECT_EQ(f.name, Full("eins.txt"));
    EXPECT_EQ(f.remainder, L"<none>");
    f = Search("eins.txt  \t ");
    EXPECT_EQ(f.remainder, L"<none>");
    f = Search("\"eins.txt\" \"");
    EXPECT_EQ(f.remainder, L"\"");
}

TEST_F(OpenArgsTest, ANameOutsideTheCodePageIsTakenExactlyAndHandedOnWhole)
{
    WriteOmegaPair();
    Found f = Search(L"\"" + kOmega + L"\" \"Omega.txt\"");
    EXPECT_EQ(f.name, WideIn(kOmega));
    EXPECT_EQ(f.remainder, L"\"Omega.txt\"");
    f = Search(kOmega + L" Omega.txt");
    EXPECT_EQ(f.name, WideIn(kOmega));
    EXPECT_EQ(f.remainder, L"Omega.txt");
    f = Search(L"Omega.txt " + kOmega);
    EXPECT_EQ(f.name, Full("Omega.txt"));
    EXPECT_EQ(f.remainder, kOmega);
}

TEST_F(OpenArgsTest, AnAcceptedNameIsLoadedAndShownInTheCaption)
{
    std::wstring args = Wide(m_dir / "mit leer.txt");
    OpenFromArguments(g_hInstance, g_hwndMain, g_hwndEdit, &args[0]);
    const std::string path = m_dir / "mit leer.txt";
    EXPECT_EQ(std::string(g_szFileName), path);
    EXPECT_FALSE(g_bUntitled);
    EXPECT_EQ(PaneText(), "Inhalt von mit leer.txt");
    EXPECT_FALSE(Modified());
    EXPECT_EQ(WindowText(g_hwndMain), "Tekstor - " + DirectoryPart(path) + ShellDisplayName(path));
}

TEST_F(OpenArgsTest, NoAcceptedNameLeavesAnUntitledDocumentThatSaveAsksANameFor)
{
    SetPaneText("alt");
    std::wstring args = L"ordner";
    OpenFromArguments(g_hInstance, g_hwndMain, g_hwndEdit, &args[0]);
    EXPECT_EQ(PaneText(), "");
    EXPECT_TRUE(g_bUntitled);
    EXPECT_EQ(WindowText(g_hwndMain), "Tekstor - Unbenannt");
    DialogScript script({CancelFileDialog()});
    Command(IDM_SAVE);
    EXPECT_EQ(script.Done(), 1u);
}

TEST_F(OpenArgsTest, AFileThatCannotBeLoadedAfterAllLeavesTheDocumentUntitled)
{
    // Accepted (it opens), but too large to load.
    HANDLE h = CreateFileA("gross.txt", GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    LARGE_INTEGER size;
    size.QuadPart = 0x100000005LL;
    ASSERT_TRUE(SetFilePointerEx(h, size, NULL, FILE_BEGIN) && SetEndOfFile(h));
    CloseHandle(h);
    std::wstring args = L"gross.txt";
    OpenFromArguments(g_hInstance, g_hwndMain, g_hwndEdit, &args[0]);
    EXPECT_STREQ(g_szFileName, "Unbenannt");
    EXPECT_TRUE(g_bUntitled);
    EXPECT_EQ(WindowText(g_hwndMain), "Tekstor - Unbenannt");
    EXPECT_EQ(PaneText(), "");
}

TEST_F(OpenArgsTest, ARelativeNameStillNamesItsFileAfterADialogMovedTheCurrentDirectory)
{
    CreateDirectoryA((m_dir / "anderswo").c_str(), NULL);
    ASSERT_TRUE(WriteBytes(m_dir / "anderswo\\eins.txt", "fremd"));
    std::wstring args = L"eins.txt";
    OpenFromArguments(g_hInstance, g_hwndMain, g_hwndEdit, &args[0]);
    ASSERT_EQ(PaneText(), "Inhalt von eins.txt");
    Type("neu");
    {
        // The user goes to another folder in the Open dialog, which moves the
        // current directory there; the file chosen there cannot be loaded, so
        // the document stays what it was, and the user is told why.
        FileLock lock(m_dir / "anderswo\\eins.txt");
        DialogScript script({Answer(IDNO), Choose("anderswo"), Choose("eins.txt"), Answer(IDOK)});
        EXPECT_FALSE(FileOpen(g_hInstance, g_hwndMain, g_hwndEdit));
        EXPECT_EQ(script.Done(), 4u);
        EXPECT_NE(script.Seen()[3].text.find("Ein anderes Programm verwendet die Datei."),
                  std::string::npos);
        EXPECT_EQ(script.Unexpected(), 0);
    }
    char szCwd[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, szCwd);
    EXPECT_EQ(LongPath(szCwd), LongPath(m_dir / "anderswo"));
    Command(IDM_SAVE);
    EXPECT_EQ(ReadBytes(m_dir / "eins.txt"), "neu");
    EXPECT_EQ(ReadBytes(m_dir / "anderswo\\eins.txt"), "fremd");
}

TEST(OpenArgsStart, TheArgumentStringOpensItsFileAtStart)
{
    TempDir dir;
    WriteBytes(dir / "start.txt", "Start");
    std::wstring args = Wide(dir / "start.txt");
    HACCEL hAccel;
    ASSERT_TRUE(StartInstance(GetModuleHandleA(NULL), NULL, &args[0], SW_SHOW, &hAccel));
    EXPECT_EQ(WindowText(g_hwndMain), "Tekstor");
    PumpMessages(hAccel);
    EXPECT_EQ(WindowText(g_hwndEdit), "Start");
    EXPECT_EQ(std::string(g_szFileName), dir / "start.txt");
    EXPECT_FALSE(g_bUntitled);
    DestroyWindow(g_hwndMain);
    PumpMessages(hAccel);
    EndInstance();
}

TEST_F(OpenArgsTest, OnlyTheFirstDroppedFileIsOpened)
{
    HGLOBAL hDrop;
    Drop({m_dir / "zwei.txt", m_dir / "eins.txt"}, &hDrop);
    EXPECT_EQ(PaneText(), "Inhalt von zwei.txt");
    EXPECT_EQ(std::string(g_szFileName), m_dir / "zwei.txt");
    EXPECT_FALSE(g_bUntitled);
    EXPECT_TRUE(Released(hDrop));
}

TEST_F(OpenArgsTest, ADropOnAModifiedDocumentAsksFirst)
{
    Drop({m_dir / "eins.txt"});
    const std::string caption = WindowText(g_hwndMain);
    const std::string name = g_szFileName;
    Type("Entwurf");

    HGLOBAL hDrop;
    {
        DialogScript script({Answer(IDCANCEL)});
        Drop({m_dir / "zwei.txt"}, &hDrop);
        ASSERT_EQ(script.Done(), 1u);
        EXPECT_EQ(script.Seen()[0].text.rfind(name + "\n", 0), 0u);
    }
    EXPECT_TRUE(Released(hDrop));
    EXPECT_EQ(PaneText(), "Entwurf");
    EXPECT_TRUE(Modified());
    EXPECT_EQ(std::string(g_szFileName), name);
    EXPECT_EQ(WindowText(g_hwndMain), caption);

    {
        DialogScript script({Answer(IDNO)});
        Drop({m_dir / "zwei.txt"}, &hDrop);
        ASSERT_EQ(script.Done(), 1u);
    }
    EXPECT_TRUE(Released(hDrop));
    EXPECT_EQ(PaneText(), "Inhalt von zwei.txt");
    EXPECT_FALSE(Modified());
    EXPECT_EQ(std::string(g_szFileName), m_dir / "zwei.txt");
    EXPECT_EQ(ReadBytes(m_dir / "eins.txt"), "Inhalt von eins.txt");
}

TEST_F(OpenArgsTest, ADropWithoutAUsablePathLeavesTheDocumentAlone)
{
    Drop({m_dir / "eins.txt"});
    Type("Entwurf");
    const std::string name = g_szFileName;
    DialogScript script({});
    HGLOBAL hDrop;
    Drop({}, &hDrop);
    EXPECT_TRUE(Released(hDrop));
    EXPECT_TRUE(script.Seen().empty());
    EXPECT_EQ(PaneText(), "Entwurf");
    EXPECT_EQ(std::string(g_szFileName), name);
}

// A drop names one exact file, whatever its characters or length: never a
// shorter prefix of it, never the rest in another copy.
TEST_F(OpenArgsTest, ADropOpensExactlyTheDroppedFile)
{
    ASSERT_TRUE(WriteBytes(m_dir / "Neu", "nur der Anfang"));
    ASSERT_TRUE(WriteBytes(m_dir / "Neu Text.txt", "der ganze Name"));
    Drop({m_dir / "Neu Text.txt"});
    EXPECT_EQ(PaneText(), "der ganze Name");
    EXPECT_EQ(std::wstring(g_wszDocumentPath), Full("Neu Text.txt"));

    WriteOmegaPair();
    DropList(WideIn(kOmega) + L'\0');
    EXPECT_EQ(PaneText(), "griechisch");
    Type("neu");
    Command(IDM_SAVE);
    EXPECT_FALSE(Modified());
    EXPECT_EQ(ReadBytes(WideIn(kOmega)), "neu");
    EXPECT_EQ(ReadBytes(m_dir / "Omega.txt"), "lateinisch");

    const std::wstring deep = L"\\\\?\\" + Full(std::string(150, 'a')) + L"\\" + std::wstring(150, L'b');
    ASSERT_TRUE(CreateDirectoryW(deep.substr(0, deep.rfind(L'\\')).c_str(), NULL));
    ASSERT_TRUE(WriteBytes(deep, "tief"));
    DropList(deep.substr(4) + L'\0');
    EXPECT_EQ(PaneText(), "tief");

    DialogScript script({Answer(IDOK)});
    Drop({m_dir / "fehlt.txt"});
    ASSERT_EQ(script.Done(), 1u);
    EXPECT_EQ(script.Seen()[0].text, m_dir / "fehlt.txt\nwurde nicht gefunden.");
}

// Under Wine two long names can share one short name (see the e2e test of
// starting with such names): a dropped one opens and saves its own file.
TEST_F(OpenArgsTest, DroppedFilesSharingAShortNameEachOpenAndSaveTheirOwn)
{
    ASSERT_TRUE(WriteBytes(m_dir / "Notizen 00118.txt", "EINS"));
    ASSERT_TRUE(WriteBytes(m_dir / "Notizen 01002.txt", "ZWEI"));
    ASSERT_EQ(ShortPath(m_dir / "Notizen 00118.txt"), ShortPath(m_dir / "Notizen 01002.txt"));
    Drop({m_dir / "Notizen 00118.txt"});
    EXPECT_EQ(PaneText(), "EINS");
    Type("neu");
    Command(IDM_SAVE);
    Drop({m_dir / "Notizen 01002.txt"});
    EXPECT_EQ(PaneText(), "ZWEI");
    EXPECT_EQ(ReadBytes(m_dir / "Notizen 00118.txt"), "neu");
}
