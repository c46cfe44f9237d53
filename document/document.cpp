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
#include "document/filesave.h"
#include "document/readback.h"
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
        // Replacing the whole text also clears the modification flag.
        bLoaded = SetWindowTextA(hwndEdit, text.pszText);
        if (bLoaded) {
            SendMessageA(hwndEdit, EM_EMPTYUNDOBUFFER, 0, 0);
            *pbChanged = !PaneShowsBytes(hwndEdit, text.pszText, text.cchText);
        }
        FreeEditText(&text);
    }
    return bLoaded;
}

// The document's name as a full wide path, for the calls that take one.
static BOOL GetDocumentPath(wchar_t* pszPath)
{
    wchar_t szName[MAX_PATH];
    if (!MultiByteToWideChar(CP_ACP, 0, g_szFileName, -1, szName, MAX_PATH))
        return FALSE;
    const DWORD cch = GetFullPathNameW(szName, MAX_PATH, pszPath, NULL);
    return cch > 0 && cch < MAX_PATH;
}

BOOL LoadDocument(HWND hwndEdit)
{
    wchar_t szPath[MAX_PATH];
    if (GetDocumentPath(szPath))
        OfferToFinishSave(GetAncestor(hwndEdit, GA_ROOT), szPath);
    BOOL bChanged = FALSE;
    FileIdentity identity = {};
    const BOOL bLoaded = LoadText(hwndEdit, &bChanged, &identity);
    if (bLoaded) {
        g_documentFile = identity;
        g_bPaneChangedBytes = bChanged;
        // Told now, before a save could write the changed bytes back.
        if (bChanged)
            TellChangedBytes(hwndEdit);
    }
    return bLoaded;
}

BOOL SaveDocument(HWND hwndEdit)
{
    // A name that now opens another file is not written at all.
    if (!StoredNameOpensDocument())
        return FALSE;
    const WaitCursor wait;
    // The copy is taken first, so that nothing touches the file unless the
    // text to put there is in hand.
    TextBuffer text = {};
    if (!GetEditText(hwndEdit, &text))
        return FALSE;
    FileIdentity saved = {};
    BOOL bSaved = FALSE;
    HANDLE hFile = CreateFileA(g_szFileName, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, NULL,
                               OPEN_EXISTING, 0, NULL);
    if (hFile != INVALID_HANDLE_VALUE) {
        bSaved = ReadFileIdentity(hFile, &saved) && MaySaveChangedBytes(hwndEdit, &saved) &&
                 SaveOverFile(hFile, text.pszText, text.cchText);
        CloseHandle(hFile);
    } else if (GetLastError() == ERROR_FILE_NOT_FOUND) {
        wchar_t szPath[MAX_PATH];
        bSaved = GetDocumentPath(szPath) && SaveNewFile(szPath, text.pszText, text.cchText, &saved);
    }
    FreeEditText(&text);
    if (bSaved) {
        SendMessageA(hwndEdit, EM_SETMODIFY, FALSE, 0);
        g_documentFile = saved;
        g_bPaneChangedBytes = FALSE;
    }
    return bSaved;
}
