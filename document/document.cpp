// The document's name, the caption, and loading. A file is the text's bytes
// and nothing else, read with one read (the save is in filesave.cpp).
#include "document/document.h"

#include <shellapi.h>

#include <cstdio>
#include <cstring>

#include "app/state.h"
#include "app/syslib.h"
#include "app/waitcursor.h"
#include "document/ansipath.h"
#include "document/docfile.h"
#include "edit/textbuffer.h"
#include "res/resource.h"

// Walks by characters, not bytes: in a double-byte code page the second byte
// of a character may have the value of a backslash.
static const char* FindLastBackslash(const char* psz)
{
    const char* pszLast = NULL;
    for (; *psz; psz = CharNextA(psz)) {
        if (*psz == '\\')
            pszLast = psz;
    }
    return pszLast;
}

// The name the shell shows for the file, asked in the wide form: the ANSI
// answer for a name the code page cannot spell is a look-alike, which in the
// caption or as the dialogs' preset name would stand for another file.
static BOOL GetDisplayName(const char* pszPath, char* pszShown)
{
    wchar_t szPath[MAX_PATH];
    if (!MultiByteToWideChar(CP_ACP, 0, pszPath, -1, szPath, MAX_PATH))
        return FALSE;
    auto pfnGetFileInfo = GetFileInfoFunction();
    SHFILEINFOW info = {};
    return pfnGetFileInfo && pfnGetFileInfo(szPath, 0, &info, sizeof info, SHGFI_DISPLAYNAME) &&
           info.szDisplayName[0] && ConvertNameExactly(info.szDisplayName, pszShown, MAX_PATH);
}

BOOL ComposeShownName(char* pszOut, int cchOut)
{
    if (cchOut <= 0)
        return FALSE;
    lstrcpynA(pszOut, g_szFileName, cchOut);
    const int cchStored = lstrlenA(g_szFileName);
    const char* pszSlash = FindLastBackslash(g_szFileName);
    if (!pszSlash)
        return cchStored < cchOut;

    char szShown[MAX_PATH];
    if (!GetDisplayName(g_szFileName, szShown))
        return FALSE;
    const int cchDir = static_cast<int>(pszSlash - g_szFileName) + 1;
    const int cchShown = lstrlenA(szShown);
    // A cut name would be a different name; the stored one is at least true.
    if (cchDir + cchShown >= cchOut)
        return FALSE;
    lstrcpynA(pszOut + cchDir, szShown, cchOut - cchDir);
    return TRUE;
}

void UpdateTitle(HINSTANCE hInstance, HWND hwndMain, BOOL bRecording)
{
    char szCaption[CAPTION_SIZE] = "";
    int cch = LoadStringA(hInstance, IDS_APPNAME, szCaption, CAPTION_SIZE);
    if (bRecording && CAPTION_SIZE - cch > 1)
        cch += LoadStringA(hInstance, IDS_RECORDING, szCaption + cch, CAPTION_SIZE - cch);
    lstrcpynA(szCaption + cch, "- ", CAPTION_SIZE - cch);
    cch = lstrlenA(szCaption);
    ComposeShownName(szCaption + cch, CAPTION_SIZE - cch);
    SetWindowTextA(hwndMain, szCaption);
}

void RememberDocumentName(DocumentName* name)
{
    lstrcpynA(name->szFileName, g_szFileName, MAX_PATH);
    name->bUntitled = g_bUntitled;
    lstrcpynW(name->wszDocumentPath, g_wszDocumentPath, MAX_PATH);
}

void RestoreDocumentName(const DocumentName* name, HINSTANCE hInstance, HWND hwndMain)
{
    lstrcpynA(g_szFileName, name->szFileName, MAX_PATH);
    g_bUntitled = name->bUntitled;
    lstrcpynW(g_wszDocumentPath, name->wszDocumentPath, MAX_PATH);
    UpdateTitle(hInstance, hwndMain, g_bRecording);
}

BOOL StoredNameOpensDocument()
{
    return !g_wszDocumentPath[0] || MatchNames(g_szFileName, g_wszDocumentPath) != NAMES_DIFFER;
}

BOOL RenewDocumentName()
{
    if (StoredNameOpensDocument())
        return TRUE;
    char szStored[MAX_PATH];
    wchar_t szLong[MAX_PATH];
    if (!GetStoredName(g_wszDocumentPath, TRUE, FALSE, szStored, szLong))
        return FALSE;
    lstrcpynA(g_szFileName, szStored, MAX_PATH);
    lstrcpynW(g_wszDocumentPath, szLong, MAX_PATH);
    return TRUE;
}

HANDLE OpenDocumentToLoad(const char* pszPath)
{
    return CreateFileA(pszPath, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, NULL);
}

// The file's bytes, read at once into a zero-filled block one byte longer,
// so that the text ends at the first NUL or at the last byte read.
static BOOL ReadWholeFile(HANDLE hFile, TextBuffer* text)
{
    DWORD dwHigh = 0;
    SetLastError(NO_ERROR);
    const DWORD dwSize = GetFileSize(hFile, &dwHigh);
    if (dwSize == INVALID_FILE_SIZE && GetLastError() != NO_ERROR)
        return FALSE;
    // Beyond 4 GB the low half alone would name a few bytes of a huge file,
    // and saving them back would destroy the rest.
    if (dwHigh != 0)
        return FALSE;
    if (!AllocateText(text, dwSize))
        return FALSE;
    // A read may return less than asked (the file shrank, a network read
    // ended early); what came is read on from, and a file that ends before
    // its size is no whole text: loaded, the next save would cut it there.
    DWORD cbDone = 0;
    while (cbDone < dwSize) {
        DWORD dwRead = 0;
        if (!ReadFile(hFile, text->pszText + cbDone, dwSize - cbDone, &dwRead, NULL) ||
            dwRead == 0) {
            FreeEditText(text);
            return FALSE;
        }
        cbDone += dwRead;
    }
    return TRUE;
}

// The pane holds its text as Unicode, so the bytes go through the ANSI code
// page into it and back out at a save. In a double-byte code page, bytes that
// form no character there do not come back. Checked in pieces of at most
// PIECE bytes that end after a byte below 0x30, which no ANSI code page uses
// inside a character, so that the check needs memory for one piece only.
static BOOL SurvivesCodePage(const char* pszText, DWORD cchText)
{
    DWORD i = 0;
    while (i < cchText && static_cast<BYTE>(pszText[i]) < 0x80)
        ++i;
    // Below 0x80 every ANSI code page is ASCII.
    if (i == cchText)
        return TRUE;
    constexpr DWORD PIECE = 64 * 1024;
    char* pBlock = static_cast<char*>(GlobalAlloc(GMEM_FIXED, PIECE * (sizeof(wchar_t) + 1)));
    if (!pBlock)
        return FALSE;
    wchar_t* pszWide = reinterpret_cast<wchar_t*>(pBlock);
    char* pszBack = pBlock + PIECE * sizeof(wchar_t);
    BOOL bSame = TRUE;
    for (const char* p = pszText; bSame && p < pszText + cchText;) {
        DWORD cb = static_cast<DWORD>(pszText + cchText - p);
        if (cb > PIECE) {
            DWORD cbCut = PIECE;
            while (cbCut > 0 && static_cast<BYTE>(p[cbCut - 1]) >= 0x30)
                --cbCut;
            // No such byte in a whole piece: cut where the code page says a
            // character ends.
            if (cbCut == 0) {
                for (const char* q = p; q < p + PIECE; q = CharNextA(q))
                    cbCut = static_cast<DWORD>(q - p);
            }
            cb = cbCut ? cbCut : PIECE;
        }
        const int cchWide = MultiByteToWideChar(CP_ACP, 0, p, static_cast<int>(cb), pszWide, PIECE);
        const int cbBack =
            WideCharToMultiByte(CP_ACP, 0, pszWide, cchWide, pszBack, PIECE, NULL, NULL);
        bSame = cchWide > 0 && cbBack == static_cast<int>(cb) && memcmp(p, pszBack, cb) == 0;
        p += cb;
    }
    GlobalFree(pBlock);
    return bSame;
}

int ShowCodePageMessage(HWND hwndEdit, UINT idText, UINT uType)
{
    char szFormat[256] = "";
    char szMessage[256 + MAX_PATH + 16];
    char szCaption[32] = "";
    LoadStringA(g_hInstance, idText, szFormat, sizeof szFormat);
    snprintf(szMessage, sizeof szMessage, szFormat, g_szFileName, GetACP());
    LoadStringA(g_hInstance, IDS_APPNAME, szCaption, sizeof szCaption);
    return MessageBoxA(GetAncestor(hwndEdit, GA_ROOT), szMessage, szCaption, uType);
}

BOOL MaySaveChangedBytes(HWND hwndEdit)
{
    if (!g_codePageLossFile.bKnown)
        return TRUE;
    HANDLE hFile = CreateFileA(g_szFileName, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               NULL, OPEN_EXISTING, 0, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return TRUE;
    FileIdentity target;
    const BOOL bSame = ReadFileIdentity(hFile, &target) && IsSameFile(&target, &g_codePageLossFile);
    CloseHandle(hFile);
    return !bSame || ShowCodePageMessage(hwndEdit, IDS_CODEPAGE_SAVE,
                                         MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
}

void ForgetCodePageLoss()
{
    g_codePageLossFile.bKnown = FALSE;
}

static BOOL LoadText(HWND hwndEdit, BOOL* pbChanged, FileIdentity* pIdentity)
{
    const WaitCursor wait;
    HANDLE hFile = OpenDocumentToLoad(g_szFileName);
    if (hFile == INVALID_HANDLE_VALUE)
        return FALSE;
    TextBuffer text = {};
    BOOL bLoaded = ReadWholeFile(hFile, &text);
    ReadFileIdentity(hFile, pIdentity);
    CloseHandle(hFile);
    if (bLoaded) {
        *pbChanged = !SurvivesCodePage(text.pszText, lstrlenA(text.pszText));
        // Replacing the whole text also clears the modification flag.
        bLoaded = SetWindowTextA(hwndEdit, text.pszText);
        if (bLoaded)
            SendMessageA(hwndEdit, EM_EMPTYUNDOBUFFER, 0, 0);
        FreeEditText(&text);
    }
    return bLoaded;
}

BOOL LoadDocument(HWND hwndEdit)
{
    BOOL bChanged = FALSE;
    FileIdentity identity = {};
    const BOOL bLoaded = LoadText(hwndEdit, &bChanged, &identity);
    if (bLoaded) {
        g_codePageLossFile = identity;
        g_codePageLossFile.bKnown = bChanged && identity.bKnown;
        // Told now, before a save could write the changed bytes back.
        if (bChanged)
            ShowCodePageMessage(hwndEdit, IDS_CODEPAGE_LOAD, MB_OK | MB_ICONWARNING);
    }
    return bLoaded;
}
