// The document's name, the caption, loading and saving. A file is the text's
// bytes and nothing else, read with one read; how a save writes them is in
// filesave.cpp, which file it writes them into is decided here.
#include "document/document.h"

#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <cwchar>

#include "app/state.h"
#include "app/syslib.h"
#include "app/waitcursor.h"
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

// In the code page, as the ANSI caption and message boxes show it: a
// character the code page lacks shows as '?', never as a look-alike that
// would read as another file's name. A path too long for pszOut keeps its
// end, from a backslash on, behind "...".
static void ShowInCodePage(const wchar_t* pszWide, char* pszOut, int cbOut)
{
    // Where the code page is UTF-8 the platform refuses both the flag and
    // the default character; it spells every character anyway.
    const bool bUtf8 = GetACP() == CP_UTF8;
    const DWORD dwFlags = bUtf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const char* pszDefault = bUtf8 ? NULL : "?";
    const wchar_t* psz = pszWide;
    const char* pszMark = "";
    while (WideCharToMultiByte(CP_ACP, dwFlags, psz, -1, NULL, 0, pszDefault, NULL) >
           cbOut - lstrlenA(pszMark)) {
        const wchar_t* pszNext = wcschr(psz + 1, L'\\');
        if (!pszNext) {
            pszOut[0] = '\0';
            return;
        }
        psz = pszNext;
        pszMark = "...";
    }
    const int cchMark = lstrlenA(pszMark);
    lstrcpynA(pszOut, pszMark, cbOut);
    if (!WideCharToMultiByte(CP_ACP, dwFlags, psz, -1, pszOut + cchMark, cbOut - cchMark,
                             pszDefault, NULL))
        pszOut[0] = '\0';
}

void SetDocumentFile(const wchar_t* pszPath)
{
    lstrcpynW(g_wszDocumentPath, pszPath, DOCUMENT_PATH_SIZE);
    ShowInCodePage(g_wszDocumentPath, g_szFileName, MAX_PATH);
    g_bUntitled = FALSE;
    g_documentFile.bKnown = FALSE;
}

// The name the shell shows for the file (without its extension where the
// user has extensions hidden).
static BOOL GetDisplayName(const wchar_t* pszPath, char* pszShown)
{
    auto pfnGetFileInfo = GetFileInfoFunction();
    SHFILEINFOW info = {};
    if (!pfnGetFileInfo || !pfnGetFileInfo(pszPath, 0, &info, sizeof info, SHGFI_DISPLAYNAME) ||
        !info.szDisplayName[0])
        return FALSE;
    ShowInCodePage(info.szDisplayName, pszShown, MAX_PATH);
    return pszShown[0] != '\0';
}

BOOL ComposeShownName(char* pszOut, int cchOut)
{
    if (cchOut <= 0)
        return FALSE;
    lstrcpynA(pszOut, g_szFileName, cchOut);
    const int cchStored = lstrlenA(g_szFileName);
    const char* pszSlash = FindLastBackslash(g_szFileName);
    if (!pszSlash || g_bUntitled || !g_wszDocumentPath[0])
        return cchStored < cchOut;

    char szShown[MAX_PATH];
    if (!GetDisplayName(g_wszDocumentPath, szShown))
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
    name->file = g_documentFile;
    lstrcpynW(name->wszDocumentPath, g_wszDocumentPath, DOCUMENT_PATH_SIZE);
}

void RestoreDocumentName(const DocumentName* name, HINSTANCE hInstance, HWND hwndMain)
{
    lstrcpynA(g_szFileName, name->szFileName, MAX_PATH);
    g_bUntitled = name->bUntitled;
    g_documentFile = name->file;
    lstrcpynW(g_wszDocumentPath, name->wszDocumentPath, DOCUMENT_PATH_SIZE);
    UpdateTitle(hInstance, hwndMain, g_bRecording);
}

int ShowProgramMessage(HWND hwndOwner, const char* pszText, UINT uType)
{
    char szCaption[32] = "";
    LoadStringA(g_hInstance, IDS_APPNAME, szCaption, sizeof szCaption);
    return MessageBoxA(hwndOwner, pszText, szCaption, uType);
}

int ShowDocumentMessage(HWND hwndOwner, UINT idText, UINT uType, const char* pszName,
                        DWORD dwNumber)
{
    char szFormat[512] = "";
    char szMessage[sizeof szFormat + MAX_PATH + 16];
    LoadStringA(g_hInstance, idText, szFormat, sizeof szFormat);
    snprintf(szMessage, sizeof szMessage, szFormat, pszName, dwNumber);
    return ShowProgramMessage(hwndOwner, szMessage, uType);
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
    HANDLE hFile = OpenDocumentToLoad(g_wszDocumentPath);
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

BOOL LoadDocument(HWND hwndEdit)
{
    OfferToFinishSave(GetAncestor(hwndEdit, GA_ROOT), g_wszDocumentPath);
    BOOL bChanged = FALSE;
    FileIdentity identity = {};
    const BOOL bLoaded = LoadText(hwndEdit, &bChanged, &identity);
    if (bLoaded) {
        g_documentFile = identity;
        g_bPaneChangedBytes = bChanged;
        // Told now, before a save could write the changed bytes back.
        if (bChanged)
            TellChangedBytes(GetAncestor(hwndEdit, GA_ROOT));
    }
    return bLoaded;
}

// The document's file, open to be written; INVALID_HANDLE_VALUE when
// it cannot be, or the user does not want it written; *pbMissing when the
// name opens nothing any more, so that the file is to be made anew.
static HANDLE OpenToSave(HWND hwndOwner, BOOL* pbMissing)
{
    HANDLE hFile = OpenPath(g_wszDocumentPath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH);
    *pbMissing = hFile == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_NOT_FOUND;
    if (hFile == INVALID_HANDLE_VALUE)
        return hFile;
    FileIdentity found;
    ReadFileIdentity(hFile, &found);
    // Asked on the very handle the save writes through, so that no other
    // file can take the name's place in between.
    const BOOL bOther = g_documentFile.bKnown && !IsSameFile(&found, &g_documentFile);
    if (GetFileType(hFile) != FILE_TYPE_DISK ||
        (bOther && ShowDocumentMessage(hwndOwner, IDS_OTHER_FILE,
                                       MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2,
                                       g_szFileName) != IDYES) ||
        !MaySaveChangedBytes(hwndOwner, &found)) {
        CloseHandle(hFile);
        return INVALID_HANDLE_VALUE;
    }
    return hFile;
}

BOOL SaveDocument(HWND hwndEdit)
{
    // The copy is taken first, so that nothing touches the file unless the
    // text to put there is in hand.
    TextBuffer text = {};
    {
        const WaitCursor wait;
        if (!GetEditText(hwndEdit, &text))
            return FALSE;
    }
    BOOL bMissing = FALSE;
    HANDLE hFile = OpenToSave(GetAncestor(hwndEdit, GA_ROOT), &bMissing);
    FileIdentity saved = {};
    BOOL bSaved = FALSE;
    if (bMissing || hFile != INVALID_HANDLE_VALUE) {
        const WaitCursor wait;
        if (bMissing) {
            bSaved = SaveNewFile(g_wszDocumentPath, text.pszText, text.cchText, &saved);
        } else {
            bSaved = SaveOverFile(hFile, text.pszText, text.cchText) &&
                     ReadFileIdentity(hFile, &saved);
            if (!CloseHandle(hFile))
                bSaved = FALSE;
        }
    }
    FreeEditText(&text);
    if (bSaved) {
        SendMessageA(hwndEdit, EM_SETMODIFY, FALSE, 0);
        g_documentFile = saved;
        g_bPaneChangedBytes = FALSE;
    }
    return bSaved;
}
