// The document's name, the caption, and the file input/output. A file is the
// text's bytes and nothing else, moved with one read or one write.
#include "document/document.h"

#include <shellapi.h>

#include "app/state.h"
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

BOOL ComposeShownName(char* pszOut, int cchOut)
{
    if (cchOut <= 0)
        return FALSE;
    lstrcpynA(pszOut, g_szFileName, cchOut);
    const int cchStored = lstrlenA(g_szFileName);
    const char* pszSlash = FindLastBackslash(g_szFileName);
    if (!pszSlash)
        return cchStored < cchOut;

    SHFILEINFOA info = {};
    if (!SHGetFileInfoA(g_szFileName, 0, &info, sizeof info, SHGFI_DISPLAYNAME) ||
        !info.szDisplayName[0])
        return FALSE;
    const int cchDir = static_cast<int>(pszSlash - g_szFileName) + 1;
    const int cchShown = lstrlenA(info.szDisplayName);
    // A cut name would be a different name; the stored one is at least true.
    if (cchDir + cchShown >= cchOut)
        return FALSE;
    lstrcpynA(pszOut + cchDir, info.szDisplayName, cchOut - cchDir);
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
}

void RestoreDocumentName(const DocumentName* name, HINSTANCE hInstance, HWND hwndMain)
{
    lstrcpynA(g_szFileName, name->szFileName, MAX_PATH);
    g_bUntitled = name->bUntitled;
    UpdateTitle(hInstance, hwndMain, g_bRecording);
}

// The wait cursor for the length of one file operation; the previous cursor
// comes back on every path through the operation.
static HCURSOR ShowWaitCursor()
{
    return SetCursor(LoadCursorA(NULL, IDC_WAIT));
}

static HANDLE OpenDocumentFile(const char* pszPath, DWORD dwAccess, DWORD dwCreation)
{
    return CreateFileA(pszPath, dwAccess, FILE_SHARE_READ, NULL, dwCreation,
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
    // A preset size of 0 would copy the pane's own text instead of giving an
    // empty block; an empty file simply is an empty text.
    text->cchText = dwSize ? dwSize : 1;
    if (!GetEditText(NULL, text))
        return FALSE;
    DWORD dwRead = 0;
    if (dwSize && !ReadFile(hFile, text->pszText, dwSize, &dwRead, NULL)) {
        FreeEditText(text);
        return FALSE;
    }
    return TRUE;
}

BOOL LoadDocument(HWND hwndEdit)
{
    HCURSOR hPrevious = ShowWaitCursor();
    HANDLE hFile = OpenDocumentFile(g_szFileName, GENERIC_READ, OPEN_EXISTING);
    if (hFile == INVALID_HANDLE_VALUE) {
        SetCursor(hPrevious);
        return FALSE;
    }
    TextBuffer text = {};
    BOOL bLoaded = ReadWholeFile(hFile, &text);
    CloseHandle(hFile);
    if (bLoaded) {
        // Replacing the whole text also clears the modification flag.
        bLoaded = SetWindowTextA(hwndEdit, text.pszText);
        if (bLoaded)
            SendMessageA(hwndEdit, EM_EMPTYUNDOBUFFER, 0, 0);
        FreeEditText(&text);
    }
    SetCursor(hPrevious);
    return bLoaded;
}

BOOL SaveDocument(HWND hwndEdit)
{
    HCURSOR hPrevious = ShowWaitCursor();
    // The copy is taken first: creating the file truncates it, and a copy that
    // failed after that would leave the user with neither old nor new text.
    TextBuffer text = {};
    if (!GetEditText(hwndEdit, &text)) {
        SetCursor(hPrevious);
        return FALSE;
    }
    BOOL bSaved = FALSE;
    HANDLE hFile = OpenDocumentFile(g_szFileName, GENERIC_WRITE, CREATE_ALWAYS);
    if (hFile != INVALID_HANDLE_VALUE) {
        DWORD dwWritten = 0;
        bSaved = WriteFile(hFile, text.pszText, text.cchText, &dwWritten, NULL) &&
                 dwWritten == text.cchText;
        if (!CloseHandle(hFile))
            bSaved = FALSE;
    }
    FreeEditText(&text);
    if (bSaved)
        SendMessageA(hwndEdit, EM_SETMODIFY, FALSE, 0);
    SetCursor(hPrevious);
    return bSaved;
}
