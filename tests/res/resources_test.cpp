// The resources of the shipped tekstor.exe, read from the file itself.
#include <windows.h>

#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/process.h"
#include "res/resource.h"
#include "version.h"

namespace {

class ResourceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_hModule = LoadLibraryExA(TekstorExePath().c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    }
    static void TearDownTestSuite()
    {
        if (s_hModule)
            FreeLibrary(s_hModule);
    }
    void SetUp() override { ASSERT_NE(s_hModule, nullptr) << TekstorExePath(); }
    static HMODULE s_hModule;
};
HMODULE ResourceTest::s_hModule;

struct Item {
    const char* label;  // NULL for a separator; "" for the submenu
    UINT id;
};

// "&Öffnen" and friends as code page 1252 bytes.
const Item kMainItems[] = {
    {"&Neu\tStrg+N", IDM_NEW},
    {"&\xD6" "ffnen...\tStrg+O", IDM_OPEN},
    {"&Speichern\tStrg+S", IDM_SAVE},
    {"Speichern &Unter...\tStrg+U", IDM_SAVEAS},
    {nullptr, 0},
    {"&Bearbeiten", 0xFFFFFFFF},
    {"Suc&hen...\tStrg+F", IDM_FIND},
    {"&Ersetzen...\tStrg+R", IDM_REPLACE},
    {"&Weitersuchen\tF3", IDM_FINDNEXT},
    {nullptr, 0},
    {"&Zeilenumbruch\tStrg+W", IDM_WORDWRAP},
};

const Item kEditItems[] = {
    {"&R\xFC" "ckg\xE4" "ngig\tStrg+Z", IDM_UNDO},
    {nullptr, 0},
    {"&Ausschneiden\tStrg+X", IDM_CUT},
    {"&Kopieren\tStrg+C", IDM_COPY},
    {"&Einf\xFC" "gen\tStrg+V", IDM_PASTE},
    {"&L\xF6" "schen\tEntf", IDM_DELETE},
    {nullptr, 0},
    {"Alles aus&w\xE4" "hlen\tF8", IDM_SELECTALL},
    {"&Datum/Uhrzeit\tF5", IDM_DATETIME},
    {nullptr, 0},
    {"Auf&zeichnen\tStrg+Umsch+R", IDM_RECORD},
    {"Abs&pielen\tStrg+Umsch+P", IDM_PLAY},
};

template <size_t N>
void ExpectItems(HMENU hMenu, const Item (&items)[N])
{
    ASSERT_EQ(GetMenuItemCount(hMenu), static_cast<int>(N));
    for (size_t i = 0; i < N; ++i) {
        const UINT pos = static_cast<UINT>(i);
        const UINT state = GetMenuState(hMenu, pos, MF_BYPOSITION);
        if (!items[i].label) {
            EXPECT_TRUE(state & MF_SEPARATOR) << "item " << i;
            continue;
        }
        char label[100] = "";
        GetMenuStringA(hMenu, pos, label, sizeof label, MF_BYPOSITION);
        EXPECT_STREQ(label, items[i].label) << "item " << i;
        EXPECT_EQ(GetMenuItemID(hMenu, static_cast<int>(i)), items[i].id) << "item " << i;
        EXPECT_EQ(state & (MF_GRAYED | MF_DISABLED | MF_CHECKED), 0u) << "item " << i;
    }
}

}  // namespace

TEST_F(ResourceTest, MenuHoldsOnePopupWithEveryItemInOrder)
{
    HMENU hMenu = LoadMenuA(s_hModule, MAKEINTRESOURCEA(IDR_POPUPMENU));
    ASSERT_NE(hMenu, nullptr);
    ASSERT_EQ(GetMenuItemCount(hMenu), 1);
    char caption[64] = "";
    GetMenuStringA(hMenu, 0, caption, sizeof caption, MF_BYPOSITION);
    EXPECT_STREQ(caption, "TekstorPopupMenu");
    HMENU hPopup = GetSubMenu(hMenu, 0);
    ASSERT_NE(hPopup, nullptr);
    ExpectItems(hPopup, kMainItems);
    HMENU hEdit = GetSubMenu(hPopup, 5);
    ASSERT_NE(hEdit, nullptr);
    ExpectItems(hEdit, kEditItems);
    DestroyMenu(hMenu);
}

TEST_F(ResourceTest, AcceleratorTableIsExactlyInOrder)
{
    HACCEL hAccel = LoadAcceleratorsA(s_hModule, MAKEINTRESOURCEA(IDR_ACCEL));
    ASSERT_NE(hAccel, nullptr);
    const BYTE kCtrl = FVIRTKEY | FCONTROL | FNOINVERT;
    const BYTE kCtrlShift = FVIRTKEY | FCONTROL | FSHIFT | FNOINVERT;
    const BYTE kPlain = FVIRTKEY | FNOINVERT;
    const BYTE kShift = FVIRTKEY | FSHIFT | FNOINVERT;
    const ACCEL expected[] = {
        {kCtrl, 'F', IDM_FIND},         {kCtrl, 'N', IDM_NEW},
        {kCtrl, 'O', IDM_OPEN},         {kCtrlShift, 'P', IDM_PLAY},
        {kCtrl, 'R', IDM_REPLACE},      {kCtrlShift, 'R', IDM_RECORD},
        {kCtrl, 'S', IDM_SAVE},         {kCtrl, 'U', IDM_SAVEAS},
        {kPlain, VK_F3, IDM_FINDNEXT},  {kShift, VK_F3, IDM_FINDPREV},
        {kPlain, VK_F5, IDM_DATETIME},  {kShift, VK_F5, IDM_DATETIME_LONG},
        {kPlain, VK_F8, IDM_SELECTALL}, {kCtrl, 'W', IDM_WORDWRAP},
    };
    const int n = CopyAcceleratorTableA(hAccel, NULL, 0);
    ASSERT_EQ(n, static_cast<int>(std::size(expected)));
    std::vector<ACCEL> actual(n);
    CopyAcceleratorTableA(hAccel, actual.data(), n);
    for (int i = 0; i < n; ++i) {
        EXPECT_EQ(actual[i].fVirt & ~0x80, expected[i].fVirt) << "entry " << i;
        EXPECT_EQ(actual[i].key, expected[i].key) << "entry " << i;
        EXPECT_EQ(actual[i].cmd, expected[i].cmd) << "entry " << i;
    }
}

TEST_F(ResourceTest, StringsAreExactCodePage1252Texts)
{
    const char* expected[] = {
        "Tekstor ",
        "Unbenannt",
        "Textdokumente",
        "Alle Dateien",
        "%s\nwurde ge\xE4ndert.\n\nM\xF6" "chten Sie die \xC4nderungen speichern?",
        "[Recording] ",
        "%s\nenth\xE4lt Bytes, die das Textfeld nicht unver\xE4ndert zeigen kann: ein Nullbyte "
        "oder Zeichen, die die Codepage %u nicht darstellen kann.\n\nDer Text wird so "
        "angezeigt, wie er gelesen wurde. Beim Speichern w\xFC" "rden diese Bytes ver\xE4ndert "
        "oder abgeschnitten.",
        "%s\nenth\xE4lt Bytes, die das Textfeld nicht unver\xE4ndert zeigen konnte: ein "
        "Nullbyte oder Zeichen, die die Codepage %u nicht darstellen kann. Beim Speichern "
        "werden sie ver\xE4ndert oder abgeschnitten.\n\nTrotzdem speichern?",
        "%s\nist nicht mehr die Datei, die Tekstor ge\xF6" "ffnet hat: Unter diesem Namen steht "
        "jetzt eine andere Datei.\n\nSoll sie mit dem Text \xFC" "berschrieben werden?",
        "%s\nwurde nicht gefunden.",
        "%s\nkann nicht ge\xF6" "ffnet werden: Der Zugriff wurde verweigert.",
        "%s\nkann nicht ge\xF6" "ffnet werden: Ein anderes Programm verwendet die Datei.",
        "%s\nist ein Ordner, keine Datei.",
        "%s\nbezeichnet ein Ger\xE4t, keine Datei.",
        "%s\nist eine Verkn\xFCpfung, deren Ziel nicht ge\xF6" "ffnet werden kann.",
        "%s\nkann nicht ge\xF6" "ffnet werden.",
        "Das Dokument wurde nicht gespeichert; die Datei ist unver\xE4ndert.\n\nBevor Tekstor "
        "eine vorhandene Datei \xFC" "berschreibt, legt es eine Sicherung der neuen Daten an, die "
        "nur Sie lesen k\xF6nnen. Daf\xFCr fand sich kein Platz.",
        "%s\nwurde beim letzten Mal nicht fertig gespeichert.\n\nSoll das Speichern jetzt "
        "abgeschlossen werden? Bei \x84Nein\x93 wird die Datei so ge\xF6" "ffnet, wie sie ist, und "
        "Tekstor fragt beim n\xE4" "chsten \xD6" "ffnen wieder.",
        "%s\nwurde beim letzten Mal nicht fertig gespeichert und seither von einem anderen "
        "Programm ge\xE4ndert. Das Speichern wird daher nicht abgeschlossen.\n\nSoll das "
        "unterbrochene Speichern verworfen werden? Bei \x84Nein\x93 fragt Tekstor beim "
        "n\xE4" "chsten \xD6" "ffnen wieder.",
        "Die Aufzeichnung des Makros wurde beendet: Das System hat die Aufzeichnung der Tastatur "
        "abgebrochen.\n\nDie bis dahin aufgezeichneten Tasten sind als Makro erhalten.",
        "Die Wiedergabe des Makros wurde abgebrochen: Das System hat nicht alle Tasten angenommen.\n\n"
        "Ein Teil des Makros wurde nicht ausgef\xFChrt.",
    };
    static_assert(std::size(expected) == IDS_PLAYBACK_BLOCKED, "one text per identifier");
    for (UINT id = IDS_APPNAME; id <= IDS_PLAYBACK_BLOCKED; ++id) {
        char text[512] = "";
        LoadStringA(s_hModule, id, text, sizeof text);
        EXPECT_STREQ(text, expected[id - 1]) << "string " << id;
    }
    char none[8] = "x";
    EXPECT_EQ(LoadStringA(s_hModule, IDS_PLAYBACK_BLOCKED + 1, none, sizeof none), 0);
}

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE bWidth, bHeight, bColorCount, bReserved;
    WORD wPlanes, wBitCount;
    DWORD dwBytesInRes;
    WORD nId;
};
struct GroupIconDir {
    WORD idReserved, idType, idCount;
    GroupIconEntry entries[1];
};
#pragma pack(pop)

TEST_F(ResourceTest, EachIconGroupHasA32And16PixelImageIn16Colours)
{
    for (WORD group : {IDI_MAIN, IDI_SECOND}) {
        HRSRC hRes = FindResourceA(s_hModule, MAKEINTRESOURCEA(group), MAKEINTRESOURCEA(14));
        ASSERT_NE(hRes, nullptr) << group;
        auto* dir = static_cast<const GroupIconDir*>(LockResource(LoadResource(s_hModule, hRes)));
        ASSERT_EQ(dir->idType, 1);
        ASSERT_EQ(dir->idCount, 2) << group;
        std::vector<int> sizes;
        for (int i = 0; i < dir->idCount; ++i) {
            const GroupIconEntry& e = dir->entries[i];
            sizes.push_back(e.bWidth);
            EXPECT_EQ(e.bWidth, e.bHeight);
            EXPECT_EQ(e.bColorCount, 16);
            EXPECT_EQ(e.wBitCount, 4);
            HRSRC hImg = FindResourceA(s_hModule, MAKEINTRESOURCEA(e.nId), MAKEINTRESOURCEA(3));
            ASSERT_NE(hImg, nullptr);
            auto* bih = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(s_hModule, hImg)));
            EXPECT_EQ(bih->biWidth, e.bWidth);
            EXPECT_EQ(bih->biBitCount, 4);
        }
        EXPECT_EQ(sizes, (std::vector<int>{32, 16})) << group;
    }
}

TEST_F(ResourceTest, ResourcesAreGerman)
{
    HRSRC hMenu = FindResourceExA(s_hModule, MAKEINTRESOURCEA(4), MAKEINTRESOURCEA(IDR_POPUPMENU),
                                  MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN));
    EXPECT_NE(hMenu, nullptr);
}

TEST_F(ResourceTest, VersionInfoNamesTheProductInGerman)
{
    const std::string path = TekstorExePath();
    DWORD dwHandle = 0;
    const DWORD cb = GetFileVersionInfoSizeA(path.c_str(), &dwHandle);
    ASSERT_GT(cb, 0u);
    std::vector<char> info(cb);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, cb, info.data()));

    struct { WORD wLanguage, wCodePage; }* pTranslation = nullptr;
    UINT cbValue = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&pTranslation), &cbValue));
    ASSERT_GE(cbValue, 4u);
    EXPECT_EQ(pTranslation->wLanguage, 0x0407);
    EXPECT_EQ(pTranslation->wCodePage, 1252);

    auto value = [&](const char* name) {
        char* pText = nullptr;
        UINT cch = 0;
        const std::string key = std::string("\\StringFileInfo\\040704E4\\") + name;
        if (!VerQueryValueA(info.data(), key.c_str(), reinterpret_cast<void**>(&pText), &cch) || !pText)
            return std::string("<missing>");
        return std::string(pText);
    };
    EXPECT_EQ(value("ProductName"), "Tekstor");
    EXPECT_EQ(value("OriginalFilename"), "tekstor.exe");
    EXPECT_EQ(value("FileVersion"), TEKSTOR_VERSION_STRING);
    EXPECT_EQ(value("ProductVersion"), TEKSTOR_VERSION_STRING);
    EXPECT_NE(value("FileDescription"), "<missing>");

    VS_FIXEDFILEINFO* pFixed = nullptr;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&pFixed), &cbValue));
    EXPECT_EQ(pFixed->dwFileVersionMS, static_cast<DWORD>(MAKELONG(TEKSTOR_VERSION_MINOR, TEKSTOR_VERSION_MAJOR)));
    EXPECT_EQ(HIWORD(pFixed->dwFileVersionLS), TEKSTOR_VERSION_PATCH);
    EXPECT_EQ(pFixed->dwFileType, static_cast<DWORD>(VFT_APP));
}

TEST_F(ResourceTest, ManifestRunsAsInvokerWithTheLegacyCodePage)
{
    HRSRC hRes = FindResourceA(s_hModule, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_NE(hRes, nullptr);
    const char* p = static_cast<const char*>(LockResource(LoadResource(s_hModule, hRes)));
    const std::string manifest(p, SizeofResource(s_hModule, hRes));
    EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);
    EXPECT_NE(manifest.find(">Legacy</activeCodePage>"), std::string::npos);
    EXPECT_EQ(manifest.find("UTF-8</activeCodePage>"), std::string::npos);
    // No common-controls 6 dependency: the dialogs keep their classic look.
    EXPECT_EQ(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
    EXPECT_NE(manifest.find("{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"), std::string::npos);
}
