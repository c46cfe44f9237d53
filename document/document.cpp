// The document's name, the caption, and the file input/output. A file is the
// text's bytes and nothing else, moved with one read or one write.
#include "document/document.h"

#include <shellapi.h>

#include "app/state.h"
#include "app/syslib.h"
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

    auto pfnGetFileInfo =
        GetShellFunction<DWORD_PTR(WINAPI*)(LPCSTR, DWORD, SHFILEINFOA*, UINT, UINT)>("SHGetFileInfoA");
    SHFILEINFOA info = {};
    if (!pfnGetFileInfo ||
        !pfnGetFileInfo(g_szFileName, 0, &info, sizeof info, SHGFI_DISPLAYNAME) ||
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

// A new, empty file in the folder of pszPath, so that moving it over the
// document later stays on one volume and is a rename. FALSE when none can be
// made there (no right to create files, or a folder name too long for it).
static BOOL MakeFileBeside(const char* pszPath, char* pszTemp)
{
    char szDir[MAX_PATH];
    char* pszFilePart = NULL;
    const DWORD cch = GetFullPathNameA(pszPath, MAX_PATH, szDir, &pszFilePart);
    if (cch == 0 || cch >= MAX_PATH || !pszFilePart)
        return FALSE;
    *pszFilePart = '\0';
    // The temporary name adds up to 14 characters to the folder.
    if (lstrlenA(szDir) > MAX_PATH - 14)
        return FALSE;
    return GetTempFileNameA(szDir, "tks", 0, pszTemp) != 0;
}

static BOOL WriteAll(HANDLE hFile, const TextBuffer* text)
{
    DWORD dwWritten = 0;
    return WriteFile(hFile, text->pszText, text->cchText, &dwWritten, NULL) &&
           dwWritten == text->cchText;
}

// The text goes into a file of its own first and replaces the document only
// once all of it is on the disk: a full disk or a failing write then leaves
// the document's file as it was, never cut short.
static BOOL ReplaceThroughFileBeside(const char* pszTarget, const char* pszTemp,
                                     const TextBuffer* text)
{
    HANDLE hTemp = CreateFileA(pszTemp, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, NULL);
    if (hTemp == INVALID_HANDLE_VALUE) {
        DeleteFileA(pszTemp);
        return FALSE;
    }
    BOOL bWritten = WriteAll(hTemp, text) && FlushFileBuffers(hTemp);
    if (!CloseHandle(hTemp))
        bWritten = FALSE;
    if (bWritten &&
        MoveFileExA(pszTemp, pszTarget, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return TRUE;
    DeleteFileA(pszTemp);
    return FALSE;
}

// Where no file can be made beside the document, it is written in place: from
// its start, cut to the new length only once every byte is written.
static BOOL WriteInPlace(HANDLE hFile, const TextBuffer* text)
{
    return SetFilePointer(hFile, 0, NULL, FILE_BEGIN) == 0 && WriteAll(hFile, text) &&
           SetEndOfFile(hFile);
}

BOOL SaveDocument(HWND hwndEdit)
{
    HCURSOR hPrevious = ShowWaitCursor();
    // The copy is taken first, so that nothing touches the file unless the
    // text to put there is in hand.
    TextBuffer text = {};
    if (!GetEditText(hwndEdit, &text)) {
        SetCursor(hPrevious);
        return FALSE;
    }
    // Opening for writing without truncating tells whether the document may
    // be written at all (read-only, locked by another program, no folder)
    // while its content stays as it is.
    HANDLE hFile = OpenDocumentFile(g_szFileName, GENERIC_WRITE, OPEN_ALWAYS);
    const BOOL bCreated = hFile != INVALID_HANDLE_VALUE && GetLastError() != ERROR_ALREADY_EXISTS;
    BOOL bSaved = FALSE;
    if (hFile != INVALID_HANDLE_VALUE) {
        // A short (8.3) name moved over the file would become its new long
        // name; the file keeps the name it has.
        char szTarget[MAX_PATH];
        const DWORD cchLong = GetLongPathNameA(g_szFileName, szTarget, MAX_PATH);
        if (cchLong == 0 || cchLong >= MAX_PATH)
            lstrcpynA(szTarget, g_szFileName, MAX_PATH);
        char szTemp[MAX_PATH];
        if (MakeFileBeside(szTarget, szTemp)) {
            CloseHandle(hFile);
            bSaved = ReplaceThroughFileBeside(szTarget, szTemp, &text);
        } else {
            bSaved = WriteInPlace(hFile, &text);
            if (!CloseHandle(hFile))
                bSaved = FALSE;
        }
        // A file that this save created and could not fill is not left behind.
        if (!bSaved && bCreated)
            DeleteFileA(szTarget);
    }
    FreeEditText(&text);
    if (bSaved)
        SendMessageA(hwndEdit, EM_SETMODIFY, FALSE, 0);
    SetCursor(hPrevious);
    return bSaved;
}
