// Names from outside that are longer than the fixed buffers they pass
// through: the caption (290), the file dialogs' initial name (260) and the
// save prompt's half (256). Each is composed whole or falls back to a
// shorter true form, and nothing is written past its end.
#include "unit/document_fixture.h"

#include <cstring>
#include <cwchar>

#include "document/document.h"
#include "document/filecmd.h"
#include "res/resource.h"
#include "support/dialogs.h"
#include "support/files.h"

namespace {

class BoundsTest : public DocumentFixture {
protected:
    // A file whose own name is long enough that the folder and the name
    // together pass every buffer above; the document holds it by its short name.
    void UseLongNamedFile()
    {
        // The whole path is longer than the ANSI calls take, so the file is
        // made and its short name asked for through the wide ones.
        m_long = m_dir / (std::string(240, 'L') + ".txt");
        const std::wstring wide = L"\\\\?\\" + std::wstring(m_long.begin(), m_long.end());
        HANDLE h = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW, 0, NULL);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        CloseHandle(h);
        wchar_t wideShort[MAX_PATH] = L"";
        const DWORD cch = GetShortPathNameW(wide.c_str(), wideShort, MAX_PATH);
        ASSERT_TRUE(cch > 0 && cch < MAX_PATH);
        const wchar_t* pShort = wideShort;
        if (wcsncmp(pShort, L"\\\\?\\", 4) == 0)
            pShort += 4;
        m_short.assign(pShort, pShort + wcslen(pShort));
        ASSERT_LT(m_short.size(), static_cast<size_t>(MAX_PATH));
        UseFile(m_short);
        m_shown = DirectoryPart(m_short) + ShellDisplayName(m_short);
    }
    std::string m_long, m_short, m_shown;
};

}  // namespace

TEST_F(BoundsTest, ALongDisplayNameNeverOverrunsTheCaption)
{
    ASSERT_NO_FATAL_FAILURE(UseLongNamedFile());
    for (BOOL bRecording : {FALSE, TRUE}) {
        UpdateTitle(g_hInstance, g_hwndMain, bRecording);
        const std::string prefix = bRecording ? "Tekstor [Recording] - " : "Tekstor - ";
        const std::string caption = WindowText(g_hwndMain);
        EXPECT_LT(caption.size(), static_cast<size_t>(CAPTION_SIZE));
        // The long form whole when it fits, else the stored name: never a cut name.
        const std::string expected =
            prefix.size() + m_shown.size() < CAPTION_SIZE ? prefix + m_shown : prefix + m_short;
        EXPECT_EQ(caption, expected);
    }
}

TEST_F(BoundsTest, ALongDisplayNameNeverOverrunsTheDialogsInitialName)
{
    ASSERT_NO_FATAL_FAILURE(UseLongNamedFile());
    ASSERT_GE(m_shown.size(), static_cast<size_t>(MAX_PATH)) << m_shown;
    char file[MAX_PATH + 32];
    char filter[FILTER_SIZE + 32];
    memset(file, '#', sizeof file);
    memset(filter, '#', sizeof filter);
    OPENFILENAMEA ofn;
    PrepareFileDialog(&ofn, g_hInstance, g_hwndMain, file, filter, SAVE_DIALOG_FLAGS);
    EXPECT_EQ(std::string(file), m_short);
    EXPECT_EQ(file[MAX_PATH], '#');
    EXPECT_EQ(filter[FILTER_SIZE], '#');
}

TEST_F(BoundsTest, TheSavePromptForALongNameFitsItsBox)
{
    // Save As keeps the long name as the dialog returned it.
    Type("Entwurf");
    {
        DialogScript script({Choose(m_dir / (std::string(200, 'p') + ".txt"))});
        Command(IDM_SAVEAS);
        ASSERT_EQ(script.Done(), 1u);
    }
    ASSERT_GT(lstrlenA(g_szFileName), 200);
    ASSERT_EQ(ReadBytes(g_szFileName), "Entwurf");
    Type("ge\xE4ndert");
    DialogScript script({Answer(IDCANCEL)});
    SendMessageA(g_hwndMain, WM_CLOSE, 0, 0);
    ASSERT_EQ(script.Seen().size(), 1u);
    const std::string text = script.Seen()[0].text;
    EXPECT_LT(text.size(), static_cast<size_t>(PROMPT_HALF));
    EXPECT_EQ(text.rfind("...", 0), 0u) << text;
    EXPECT_NE(text.find("pppp.txt\nwurde ge\xE4ndert."), std::string::npos) << text;
    EXPECT_TRUE(IsWindow(g_hwndMain));
}
