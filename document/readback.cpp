#include "document/readback.h"

#include <cstdio>
#include <cstring>

#include "document/docfile.h"
#include "edit/textbuffer.h"
#include "macro/macro.h"
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

// The message idText is a format with the document's name and the code
// page's number; the result is the button pressed.
static int ShowChangedBytesMessage(HWND hwndEdit, UINT idText, UINT uType)
{
    EndPlaybackBeforeOwnWindow();
    char szFormat[256] = "";
    char szMessage[256 + MAX_PATH + 16];
    char szCaption[32] = "";
    LoadStringA(g_hInstance, idText, szFormat, sizeof szFormat);
    snprintf(szMessage, sizeof szMessage, szFormat, g_szFileName, GetACP());
    LoadStringA(g_hInstance, IDS_APPNAME, szCaption, sizeof szCaption);
    return MessageBoxA(GetAncestor(hwndEdit, GA_ROOT), szMessage, szCaption, uType);
}

void TellChangedBytes(HWND hwndEdit)
{
    ShowChangedBytesMessage(hwndEdit, IDS_LOAD_CHANGED, MB_OK | MB_ICONWARNING);
}

BOOL MaySaveChangedBytes(HWND hwndEdit, const FileIdentity* target)
{
    return !g_bPaneChangedBytes || !IsSameFile(target, &g_documentFile) ||
           ShowChangedBytesMessage(hwndEdit, IDS_SAVE_CHANGED,
                                   MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
}
