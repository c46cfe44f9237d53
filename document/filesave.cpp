// Saving. A save leaves the document's file holding either its old content
// or the whole new text, says it is done only when the new text is there,
// and leaves it the file it was (every name, attribute and right), since it
// is written in place through the handle the caller opened: the old bytes
// go first into a file beside the document, flushed; then the part of the
// new text beyond the old end (a full disk shows before one old byte
// changes), the head, the cut to the new length, the flush; the file beside
// is removed last. Only where the disk has no room for that file, or the
// folder takes no new file, does the copy in memory alone serve to put the
// old bytes back. Each step is recorded before it is made, so that a failure
// undoes exactly those steps, newest first.
#include "document/filesave.h"

#include <cstdio>
#include <cstring>

#include "app/state.h"
#include "app/waitcursor.h"
#include "document/docfile.h"
#include "edit/textbuffer.h"
#include "res/resource.h"

const SaveCalls SYSTEM_SAVE_CALLS = {WriteFile, FlushFileBuffers, SetEndOfFile, DeleteFileA,
                                     CreateFileA};
SaveCalls g_saveCalls = SYSTEM_SAVE_CALLS;

// What a way has changed so far; each entry is undone by its exact inverse.
enum SaveStep {
    KEPT_ASIDE,     // the old bytes in a file beside: removed once the document is whole
    EXTENDED,       // the tail written past the old end: cut off again
    OVERWROTE,      // the head overwritten: the old head written back
    CUT,            // cut to the new length: the old tail written back
};

struct SaveJob {
    const TextBuffer* text;
    char szName[MAX_PATH];    // the document, in the form the save uses
    char szBeside[MAX_PATH];  // the old bytes
    HANDLE hFile;             // the document, open to write in place
    TextBuffer old;           // its old bytes, for the in-place way
    DWORD cbOld;
    SaveStep steps[8];
    int nSteps;
};

static void Record(SaveJob* job, SaveStep step)
{
    job->steps[job->nSteps++] = step;
}

static BOOL SeekTo(HANDLE hFile, DWORD cbOffset)
{
    LARGE_INTEGER pos;
    pos.QuadPart = cbOffset;
    return SetFilePointerEx(hFile, pos, NULL, FILE_BEGIN);
}

// Wine writes what fits on a full disk and reports it done; only the next
// write says the disk is full, which is what tells a caller there is no room.
static BOOL WriteAt(HANDLE hFile, DWORD cbOffset, const char* pBytes, DWORD cb)
{
    if (!SeekTo(hFile, cbOffset))
        return FALSE;
    while (cb > 0) {
        DWORD dwWritten = 0;
        if (!g_saveCalls.pfnWriteFile(hFile, pBytes, cb, &dwWritten, NULL))
            return FALSE;
        if (dwWritten == 0) {
            SetLastError(ERROR_WRITE_FAULT);
            return FALSE;
        }
        pBytes += dwWritten;
        cb -= dwWritten;
    }
    return TRUE;
}

static BOOL CutAt(HANDLE hFile, DWORD cbLength)
{
    return SeekTo(hFile, cbLength) && g_saveCalls.pfnSetEndOfFile(hFile);
}

// Writes all of a file just made, flushes and closes it. The error of the
// first step that failed, or NO_ERROR.
static DWORD FillAndClose(HANDLE hFile, const char* pBytes, DWORD cb)
{
    DWORD dwError = NO_ERROR;
    SetLastError(NO_ERROR);
    if (!WriteAt(hFile, 0, pBytes, cb) || !g_saveCalls.pfnFlushFileBuffers(hFile))
        dwError = GetLastError() != NO_ERROR ? GetLastError() : ERROR_WRITE_FAULT;
    if (!CloseHandle(hFile) && dwError == NO_ERROR)
        dwError = ERROR_WRITE_FAULT;
    return dwError;
}

// The folder part of pszPath, with its last backslash.
static BOOL GetFolder(const char* pszPath, char* pszFolder)
{
    char* pszFilePart = NULL;
    const DWORD cch = GetFullPathNameA(pszPath, MAX_PATH, pszFolder, &pszFilePart);
    if (cch == 0 || cch >= MAX_PATH || !pszFilePart)
        return FALSE;
    *pszFilePart = '\0';
    return TRUE;
}

// "tks" and four hex digits, beside the document so that a rename stays on
// one volume; numbered from the clock, so that two copies rarely collide.
static BOOL NameBeside(const char* pszDocument, UINT uTry, char* pszOut)
{
    char szFolder[MAX_PATH];
    if (!GetFolder(pszDocument, szFolder))
        return FALSE;
    const UINT uNumber = (GetTickCount() + GetCurrentProcessId() * 7919u + uTry) & 0xFFFF;
    const int cch = snprintf(pszOut, MAX_PATH, "%stks%04X.tmp", szFolder, uNumber);
    return cch > 0 && cch < MAX_PATH;
}

// A new file beside the document, open to write; INVALID_HANDLE_VALUE when
// none can be made there (no right to create files, a full disk).
static HANDLE MakeFileBeside(const char* pszDocument, char* pszBeside)
{
    for (UINT uTry = 0; uTry < 64; ++uTry) {
        if (!NameBeside(pszDocument, uTry, pszBeside))
            break;
        HANDLE hFile = g_saveCalls.pfnCreateFileA(pszBeside, GENERIC_WRITE, FILE_SHARE_READ, NULL,
                                                  CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
        if (hFile != INVALID_HANDLE_VALUE || (GetLastError() != ERROR_FILE_EXISTS &&
                                              GetLastError() != ERROR_ALREADY_EXISTS))
            return hFile;
    }
    return INVALID_HANDLE_VALUE;
}

// Undoes the recorded steps, newest first. FALSE when some step could not be
// undone; a file holding the old bytes then stays, since it is their only
// whole copy.
static BOOL UndoSteps(SaveJob* job)
{
    BOOL bUndone = TRUE;
    const DWORD cbHead = job->cbOld < job->text->cchText ? job->cbOld : job->text->cchText;
    while (job->nSteps > 0) {
        switch (job->steps[--job->nSteps]) {
        case KEPT_ASIDE:
            if (bUndone && g_saveCalls.pfnFlushFileBuffers(job->hFile))
                g_saveCalls.pfnDeleteFileA(job->szBeside);
            else
                bUndone = FALSE;
            break;
        case EXTENDED:
            bUndone = CutAt(job->hFile, job->cbOld) && bUndone;
            break;
        case OVERWROTE:
            bUndone = WriteAt(job->hFile, 0, job->old.pszText, cbHead) && bUndone;
            break;
        case CUT:
            bUndone = WriteAt(job->hFile, job->text->cchText, job->old.pszText + job->text->cchText,
                              job->cbOld - job->text->cchText) &&
                      bUndone;
            break;
        }
    }
    return bUndone;
}

// The old bytes whole in a file beside the document, flushed, before any of
// them is overwritten. FALSE stops the save; TRUE with no step recorded means
// there was no room for that file and the copy in memory must serve.
static BOOL KeepOldBytesAside(SaveJob* job)
{
    HANDLE hAside = MakeFileBeside(job->szName, job->szBeside);
    DWORD dwError = hAside == INVALID_HANDLE_VALUE ? GetLastError() : NO_ERROR;
    if (hAside != INVALID_HANDLE_VALUE) {
        Record(job, KEPT_ASIDE);
        dwError = FillAndClose(hAside, job->old.pszText, job->cbOld);
        if (dwError == NO_ERROR)
            return TRUE;
        --job->nSteps;
        g_saveCalls.pfnDeleteFileA(job->szBeside);
    }
    // A folder that takes no new file, or a disk without room for one more
    // copy: the document can still be written in place.
    return dwError == ERROR_DISK_FULL || dwError == ERROR_HANDLE_DISK_FULL ||
           dwError == ERROR_ACCESS_DENIED;
}

static BOOL ReadOldBytes(SaveJob* job)
{
    LARGE_INTEGER size;
    if (!GetFileSizeEx(job->hFile, &size) || size.QuadPart >= MAXDWORD)
        return FALSE;
    job->cbOld = static_cast<DWORD>(size.QuadPart);
    if (!AllocateText(&job->old, job->cbOld))
        return FALSE;
    DWORD dwRead = 0;
    return SeekTo(job->hFile, 0) &&
           (job->cbOld == 0 ||
            (ReadFile(job->hFile, job->old.pszText, job->cbOld, &dwRead, NULL) && dwRead == job->cbOld));
}

// The in-place way, through job->hFile, open to read and write.
static BOOL WriteInPlace(SaveJob* job)
{
    if (!ReadOldBytes(job) || !KeepOldBytesAside(job))
        return FALSE;
    const char* pszNew = job->text->pszText;
    const DWORD cbNew = job->text->cchText;
    const DWORD cbHead = job->cbOld < cbNew ? job->cbOld : cbNew;
    BOOL bWritten = TRUE;
    if (cbNew > job->cbOld) {
        Record(job, EXTENDED);
        bWritten = WriteAt(job->hFile, job->cbOld, pszNew + cbHead, cbNew - cbHead);
    }
    if (bWritten) {
        Record(job, OVERWROTE);
        bWritten = WriteAt(job->hFile, 0, pszNew, cbHead);
    }
    if (bWritten && cbNew < job->cbOld) {
        Record(job, CUT);
        bWritten = CutAt(job->hFile, cbNew);
    }
    if (!bWritten || !g_saveCalls.pfnFlushFileBuffers(job->hFile)) {
        UndoSteps(job);
        return FALSE;
    }
    // A copy of the old bytes that cannot be removed stays beside the
    // document; the document holds the new text whole either way.
    if (job->nSteps > 0 && job->steps[0] == KEPT_ASIDE)
        g_saveCalls.pfnDeleteFileA(job->szBeside);
    job->nSteps = 0;
    return TRUE;
}

BOOL SaveOverFile(HANDLE hFile, const char* pText, DWORD cbText)
{
    TextBuffer text = {const_cast<char*>(pText), cbText};
    SaveJob job = {};
    job.text = &text;
    job.hFile = hFile;
    lstrcpynA(job.szName, g_szFileName, MAX_PATH);
    const BOOL bSaved = WriteInPlace(&job);
    FreeEditText(&job.old);
    return bSaved;
}

// On any failure there is nothing to keep: the file goes again.
BOOL SaveNewFile(const wchar_t* pszPath, const char* pText, DWORD cbText, FileIdentity* pSaved)
{
    HANDLE hFile = OpenPath(pszPath, GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH);
    if (hFile == INVALID_HANDLE_VALUE)
        return FALSE;
    ReadFileIdentity(hFile, pSaved);
    if (FillAndClose(hFile, pText, cbText) != NO_ERROR) {
        hFile = OpenPath(pszPath, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE);
        if (hFile != INVALID_HANDLE_VALUE)
            CloseHandle(hFile);
        return FALSE;
    }
    return TRUE;
}
