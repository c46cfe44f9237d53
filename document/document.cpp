// The document's name, the caption, and the file input/output. A file is the
// text's bytes and nothing else, read with one read and written with one
// write (two when written in place, tail first).
#include "document/document.h"

#include <shellapi.h>

#include "app/state.h"
#include "app/syslib.h"
#include "app/waitcursor.h"
#include "document/ansipath.h"
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
}

void RestoreDocumentName(const DocumentName* name, HINSTANCE hInstance, HWND hwndMain)
{
    lstrcpynA(g_szFileName, name->szFileName, MAX_PATH);
    g_bUntitled = name->bUntitled;
    UpdateTitle(hInstance, hwndMain, g_bRecording);
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
    DWORD dwRead = 0;
    if (dwSize && !ReadFile(hFile, text->pszText, dwSize, &dwRead, NULL)) {
        FreeEditText(text);
        return FALSE;
    }
    return TRUE;
}

BOOL LoadDocument(HWND hwndEdit)
{
    const WaitCursor wait;
    HANDLE hFile = OpenDocumentToLoad(g_szFileName);
    if (hFile == INVALID_HANDLE_VALUE)
        return FALSE;
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
    return bLoaded;
}

// Saving. A save leaves the document's file holding either its old content
// or the whole new text, never a mixture, and leaves it the file it was: the
// same names (every hard link; a symbolic link stays a link and its target
// gets the text), attributes, rights, owner and streams, still readable
// through the handle of a program that holds it open. One of three ways,
// chosen afresh on every save:
//  (a) No file of that name yet: create it, write, flush; delete it again if
//      any of that fails.
//  (b) A plain file: one link, no reparse point, opened under its own long
//      name (so a symbolic link, a short name or another spelling is not
//      renamed over), not read-only, free to be renamed now (no program holds
//      it without delete sharing), and a new file beside it gets the same
//      owner. The text goes into a file beside it, is flushed, takes the
//      document's attributes, and ReplaceFileA puts it in the document's
//      place; the platform carries over creation time, short name, object
//      id, rights, encryption, compression and named streams (the file
//      index is the new file's). Only a rename changes a whole file at once.
//      (Wine's ReplaceFileA is a bare rename that keeps none of that, which
//      is why the attributes are set here.)
//  (c) Anything else, and whenever (b) cannot finish (no file can be made
//      beside it, the disk has room for one copy of the text but not two,
//      the replace is refused): write in place through one handle opened
//      without truncation. The part of the new text beyond the old end is
//      written first, so a full disk shows before one old byte changes; the
//      old bytes about to be overwritten are read aside and written back if
//      the write fails part way; the file is cut to the new length last.
// A failed save leaves the pane's text and modification flag alone, and no
// file of its own behind.

WriteFileFunction g_pfnWriteFile = WriteFile;

static BOOL SeekTo(HANDLE hFile, ULONGLONG cbOffset)
{
    LARGE_INTEGER pos;
    pos.QuadPart = static_cast<LONGLONG>(cbOffset);
    return SetFilePointerEx(hFile, pos, NULL, FILE_BEGIN);
}

static BOOL WriteAt(HANDLE hFile, ULONGLONG cbOffset, const char* pBytes, DWORD cb)
{
    DWORD dwWritten = 0;
    return SeekTo(hFile, cbOffset) &&
           (cb == 0 || (g_pfnWriteFile(hFile, pBytes, cb, &dwWritten, NULL) && dwWritten == cb));
}

static BOOL CutAt(HANDLE hFile, ULONGLONG cbLength)
{
    return SeekTo(hFile, cbLength) && SetEndOfFile(hFile);
}

// (a): the file is new, so on any failure there is nothing to keep.
static BOOL SaveAsNewFile(const char* pszPath, const TextBuffer* text)
{
    HANDLE hFile = CreateFileA(pszPath, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return FALSE;
    BOOL bSaved = WriteAt(hFile, 0, text->pszText, text->cchText) && FlushFileBuffers(hFile);
    if (!CloseHandle(hFile))
        bSaved = FALSE;
    if (!bSaved)
        DeleteFileA(pszPath);
    return bSaved;
}

// What a save needs to know about the existing document to choose its way.
struct DocumentFile {
    char szLongPath[MAX_PATH];  // the name ReplaceFileA may use; empty when none
    DWORD dwAttributes;
    BOOL bPlain;  // one link, no reparse point, not read-only, under its own long name
};

// The long full form of pszName when it is exactly the name the file system
// itself gives the open file: a symbolic link resolves to its target's name,
// and a short name, a drive alias or another spelling differs too. A long name
// the code page cannot spell is none: its ANSI form names another file.
static BOOL IsOwnLongName(HANDLE hFile, const char* pszName, char* pszLong)
{
    char szFull[MAX_PATH];
    char szFinal[MAX_PATH + 8];
    const DWORD cchFull = GetFullPathNameA(pszName, MAX_PATH, szFull, NULL);
    if (cchFull == 0 || cchFull >= MAX_PATH)
        return FALSE;
    const DWORD cchLong = GetExactLongPath(szFull, pszLong, MAX_PATH);
    if (cchLong == 0 || cchLong >= MAX_PATH)
        return FALSE;
    const DWORD cchFinal = GetFinalPathNameByHandleA(hFile, szFinal, sizeof szFinal, 0);
    if (cchFinal == 0 || cchFinal >= sizeof szFinal)
        return FALSE;
    const char* pszFinal = szFinal;
    if (CompareStringA(LOCALE_INVARIANT, 0, pszFinal, 4, "\\\\?\\", 4) == CSTR_EQUAL)
        pszFinal += 4;
    return lstrcmpA(pszFinal, pszLong) == 0;
}

// Opens the document as the in-place write would, which also tells whether
// it may be written at all (read-only, held by a writer, a directory).
static HANDLE OpenForInPlace(const char* pszPath)
{
    return CreateFileA(pszPath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, NULL,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, NULL);
}

static BOOL InspectDocument(HANDLE hFile, const char* pszName, DocumentFile* doc)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(hFile, &info))
        return FALSE;
    doc->dwAttributes = info.dwFileAttributes;
    doc->szLongPath[0] = '\0';
    const DWORD dwKept = FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_READONLY;
    doc->bPlain = info.nNumberOfLinks == 1 && !(info.dwFileAttributes & dwKept) &&
                  IsOwnLongName(hFile, pszName, doc->szLongPath);
    return TRUE;
}

// A rename needs the right to delete the name and no program holding the
// file without delete sharing. Asking first spares a replace that would fail
// half way (Wine's leaves a stray file of its own behind).
static BOOL MayBeRenamed(const char* pszPath)
{
    HANDLE hFile = CreateFileA(pszPath, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               NULL, OPEN_EXISTING, 0, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return FALSE;
    CloseHandle(hFile);
    return TRUE;
}

// FALSE when the file's owner cannot be read; *ppOwner is NULL for a file
// that has none (a volume without security, or Wine).
static BOOL ReadOwner(const char* pszPath, BYTE* pSecurity, DWORD cbSecurity, PSID* ppOwner)
{
    DWORD cbNeeded = 0;
    BOOL bDefaulted = FALSE;
    *ppOwner = NULL;
    return GetFileSecurityA(pszPath, OWNER_SECURITY_INFORMATION, pSecurity, cbSecurity,
                            &cbNeeded) &&
           GetSecurityDescriptorOwner(pSecurity, ppOwner, &bDefaulted);
}

// A replaced file takes the owner of the file that replaces it: a file beside
// the document must be owned as the document is, or the document is written
// in place.
static BOOL OwnedAlike(const char* pszDocument, const char* pszBeside)
{
    BYTE securityDocument[512], securityBeside[512];
    PSID pDocument = NULL, pBeside = NULL;
    if (!ReadOwner(pszDocument, securityDocument, sizeof securityDocument, &pDocument) ||
        !ReadOwner(pszBeside, securityBeside, sizeof securityBeside, &pBeside))
        return FALSE;
    if (!pDocument || !pBeside)
        return !pDocument && !pBeside;
    return EqualSid(pDocument, pBeside);
}

// A new, empty file in the folder of pszPath, so that the replace stays on
// one volume. FALSE when none can be made there (no right to create files,
// or a folder name too long for it).
static BOOL MakeFileBeside(const char* pszPath, char* pszBeside)
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
    return GetTempFileNameA(szDir, "tks", 0, pszBeside) != 0;
}

enum ReplaceResult { REPLACED, NOT_REPLACED, DOCUMENT_GONE };

// (b). NOT_REPLACED leaves the document as it was and no file beside it;
// DOCUMENT_GONE is a replace that removed the document and then could not
// rename the new file: the text is kept under the name beside it, the only
// place it is on the disk.
static ReplaceResult ReplaceThroughFileBeside(const DocumentFile* doc, const TextBuffer* text)
{
    char szBeside[MAX_PATH];
    if (!MakeFileBeside(doc->szLongPath, szBeside))
        return NOT_REPLACED;
    BOOL bReady = OwnedAlike(doc->szLongPath, szBeside);
    if (bReady) {
        HANDLE hBeside = CreateFileA(szBeside, GENERIC_WRITE, 0, NULL, TRUNCATE_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, NULL);
        bReady = hBeside != INVALID_HANDLE_VALUE;
        if (bReady) {
            bReady = WriteAt(hBeside, 0, text->pszText, text->cchText) && FlushFileBuffers(hBeside);
            if (!CloseHandle(hBeside))
                bReady = FALSE;
        }
    }
    // New content is something a backup should see again.
    const DWORD dwCarried = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                            FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    if (bReady)
        bReady = SetFileAttributesA(szBeside, (doc->dwAttributes & dwCarried) | FILE_ATTRIBUTE_ARCHIVE);
    if (bReady && ReplaceFileA(doc->szLongPath, szBeside, NULL, 0, NULL, NULL))
        return REPLACED;
    if (bReady && GetLastError() == ERROR_UNABLE_TO_MOVE_REPLACEMENT) {
        if (MoveFileExA(szBeside, doc->szLongPath, MOVEFILE_WRITE_THROUGH))
            return REPLACED;
        return DOCUMENT_GONE;
    }
    DeleteFileA(szBeside);
    return NOT_REPLACED;
}

// Puts the old bytes back after a failed in-place write and cuts the file to
// its old length; what was beyond the new text was never touched.
static void RestoreInPlace(HANDLE hFile, const TextBuffer* old, ULONGLONG cbOld)
{
    WriteAt(hFile, 0, old->pszText, old->cchText);
    CutAt(hFile, cbOld);
    FlushFileBuffers(hFile);
}

// (c), through hFile, which is open for reading and writing.
static BOOL WriteInPlace(HANDLE hFile, const TextBuffer* text)
{
    LARGE_INTEGER size;
    if (!GetFileSizeEx(hFile, &size))
        return FALSE;
    const ULONGLONG cbOld = static_cast<ULONGLONG>(size.QuadPart);
    const DWORD cbNew = text->cchText;
    const DWORD cbOverwritten = cbOld < cbNew ? static_cast<DWORD>(cbOld) : cbNew;

    TextBuffer old = {};
    if (cbOverwritten) {
        if (!AllocateText(&old, cbOverwritten))
            return FALSE;
        DWORD dwRead = 0;
        if (!SeekTo(hFile, 0) ||
            !ReadFile(hFile, old.pszText, cbOverwritten, &dwRead, NULL) || dwRead != cbOverwritten) {
            FreeEditText(&old);
            return FALSE;
        }
    }
    BOOL bSaved = TRUE;
    // The tail first: it only lengthens the file, and it is where the disk
    // runs full if the text does not fit.
    if (cbNew > cbOld &&
        !WriteAt(hFile, cbOld, text->pszText + cbOverwritten, cbNew - cbOverwritten)) {
        CutAt(hFile, cbOld);
        bSaved = FALSE;
    } else if (!WriteAt(hFile, 0, text->pszText, cbOverwritten) ||
               (cbNew < cbOld && !CutAt(hFile, cbNew)) || !FlushFileBuffers(hFile)) {
        RestoreInPlace(hFile, &old, cbOld);
        bSaved = FALSE;
    }
    FreeEditText(&old);
    return bSaved;
}

// (b) where the document allows it, else or failing that (c).
static BOOL SaveOverExistingFile(HANDLE hFile, const char* pszName, const TextBuffer* text)
{
    DocumentFile doc;
    if (!InspectDocument(hFile, pszName, &doc)) {
        CloseHandle(hFile);
        return FALSE;
    }
    if (doc.bPlain) {
        // The replace needs the document closed; the in-place write opens it
        // again if the replace does not happen.
        CloseHandle(hFile);
        hFile = INVALID_HANDLE_VALUE;
        if (MayBeRenamed(doc.szLongPath)) {
            const ReplaceResult result = ReplaceThroughFileBeside(&doc, text);
            if (result != NOT_REPLACED)
                return result == REPLACED;
        }
        hFile = OpenForInPlace(doc.szLongPath);
        if (hFile == INVALID_HANDLE_VALUE)
            return FALSE;
    }
    BOOL bSaved = WriteInPlace(hFile, text);
    if (!CloseHandle(hFile))
        bSaved = FALSE;
    return bSaved;
}

BOOL SaveDocument(HWND hwndEdit)
{
    const WaitCursor wait;
    // The copy is taken first, so that nothing touches the file unless the
    // text to put there is in hand.
    TextBuffer text = {};
    if (!GetEditText(hwndEdit, &text))
        return FALSE;
    BOOL bSaved = FALSE;
    HANDLE hFile = OpenForInPlace(g_szFileName);
    if (hFile != INVALID_HANDLE_VALUE)
        bSaved = SaveOverExistingFile(hFile, g_szFileName, &text);
    else if (GetLastError() == ERROR_FILE_NOT_FOUND)
        bSaved = SaveAsNewFile(g_szFileName, &text);
    FreeEditText(&text);
    if (bSaved)
        SendMessageA(hwndEdit, EM_SETMODIFY, FALSE, 0);
    return bSaved;
}
