// Names from outside that are longer than the fixed buffers they pass
// through: the caption (290), the file dialogs' initial name and the save
// prompt's half (256). Each is composed whole or keeps its end behind "...",
// and nothing is written past its end.
#include "unit/document_fixture.h"

#include <cstring>
#include <cwchar>
#include <iterator>

#include "document/document.h"
#include "document/filecmd.h"
#include "res/resource.h"
#include "support/dialogs.h"
#include "support/files.h"

namespace {

class BoundsTest : public DocumentFixture {
protected:
    // A file whose own name is long enough that the folder and the name
    // together pass every buffer above, held by its whole long path.
    void UseLongNamedFile()
    {
        m_leaf = std::string(250, 'L') + ".txt";
        m_long = m_dir / m_leaf;
        ASSERT_TRUE(WriteBytes(L"\\\\?\\" + Wide(m_long), "lang"));
        UseFile(m_long);
    }
    std::string m_leaf, m_long;
};

}  // namespace

TEST_F(BoundsTest, ALongNameNeverOverrunsTheCaptionAndKeepsItsEnd)
{
    ASSERT_NO_FATAL_FAILURE(UseLongNamedFile());
    ASSERT_GE(m_long.size(), static_cast<size_t>(CAPTION_SIZE));
    for (BOOL bRecording : {FALSE, TRUE}) {
        UpdateTitle(g_hInstance, g_hwndMain, bRecording);
        const std::string prefix = bRecording ? "Tekstor [Recording] - " : "Tekstor - ";
        const std::string caption = WindowText(g_hwndMain);
        EXPECT_LT(caption.size(), static_cast<size_t>(CAPTION_SIZE));
        EXPECT_EQ(caption.rfind(prefix + "...\\", 0), 0u) << caption;
        EXPECT_EQ(caption.substr(caption.size() - m_leaf.size()), m_leaf);
    }
}

TEST_F(BoundsTest, ALongNameGoesWholeIntoTheDialogsInitialName)
{
    ASSERT_NO_FATAL_FAILURE(UseLongNamedFile());
    static wchar_t file[DOCUMENT_PATH_SIZE];
    wchar_t filter[FILTER_SIZE + 32];
    wmemset(filter, L'#', std::size(filter));
    OPENFILENAMEW ofn;
    PrepareFileDialog(&ofn, g_hInstance, g_hwndMain, file, filter, SAVE_DIALOG_FLAGS);
    EXPECT_EQ(std::wstring(file), Wide(m_long));
    EXPECT_EQ(filter[FILTER_SIZE], L'#');
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
