#include "document/readback.h"

#include <cstring>

#include "document/docfile.h"
#include "document/document.h"
#include "edit/textbuffer.h"
#include "res/resource.h"

// A copy that could not be had counts as a difference: asking once too
// often costs less than losing bytes without a word.
BOOL PaneShowsBytes(HWND hwndEdit, const char* pBytes, DWORD cbBytes)
{
    TextBuffer back = {};
    // One byte more than the file, so that a longer text shows as different.
    if (cbBytes >= kMaxText || !AllocateText(&back, cbBytes + 1))
        return FALSE;
    const int cch = GetWindowTextA(hwndEdit, back.pszText, static_cast<int>(cbBytes) + 2);
    const BOOL bSame = cch == static_cast<int>(cbBytes) && memcmp(back.pszText, pBytes, cbBytes) == 0;
    FreeEditText(&back);
    return bSame;
}

void TellChangedBytes(HWND hwndOwner)
{
    ShowDocumentMessage(hwndOwner, IDS_LOAD_CHANGED, MB_OK | MB_ICONWARNING, g_szFileName, GetACP());
}

BOOL MaySaveChangedBytes(HWND hwndOwner, const FileIdentity* target)
{
    return !g_bPaneChangedBytes || !IsSameFile(target, &g_documentFile) ||
           ShowDocumentMessage(hwndOwner, IDS_SAVE_CHANGED, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2,
                               g_szFileName, GetACP()) == IDYES;
}
