// Saving. A save leaves the document's file holding either its old content
// or the whole new text, says it is done only when the new text is there,
// and leaves it the file it was: the same names (every hard link; a symbolic
// link stays a link and its target gets the text), attributes, rights and
// owner, still readable through the handle of a program that holds it open.
// At every moment, also when the program or the machine stops half way, the
// old text or the new one is whole on the disk: in the document or in a file
// beside it.
//
// One of three ways, chosen afresh on every save by ChooseSaveWay:
//  - no file of that name yet: create it, write, flush.
//  - a plain file (one link, no reparse point, its long name is the file
//    itself, not read-only, free to be renamed, and a file made beside it
//    takes its owner and rights): the text goes into a file beside it, which
//    takes the document's rights and attributes and is flushed; ReplaceFileA
//    puts it in the document's place and keeps the old file under a backup
//    name until the rename is flushed. Only a rename changes a whole file at
//    once.
//  - anything else, and whenever a replace cannot finish (no file can be made
//    beside it, the disk has room for one copy of the text but not two, the
//    rights come out different, the replace is refused): in place, through
//    one handle opened without truncation. The old bytes go first into a
//    file beside the document, flushed; then the part of the new text beyond
//    the old end (a full disk shows before one old byte changes), the head,
//    the cut to the new length, the flush; the file beside is removed last.
//    Only where the disk has no room for that file either, or the folder
//    takes no new file, does the copy in memory alone serve to put the old
//    bytes back.
// Each way records every change it makes before it makes it, so that a
// failure undoes exactly those changes, newest first.
#include "document/filesave.h"

#include <cstdio>
#include <cstring>

#include "app/state.h"
#include "app/waitcursor.h"
#include "document/ansipath.h"
#include "document/document.h"
#include "edit/textbuffer.h"
#include "res/resource.h"

static BOOL RightsCanBeCarried(const char* pszDocument);

const SaveCalls SYSTEM_SAVE_CALLS = {WriteFile,   FlushFileBuffers, SetEndOfFile,
                                     ReplaceFileA, MoveFileExA,     DeleteFileA,
                                     CreateFileA, RightsCanBeCarried};
SaveCalls g_saveCalls = SYSTEM_SAVE_CALLS;

SaveChoice ChooseSaveWay(const SaveFacts* facts)
{
    if (!facts->bExists)
        return {SAVE_NEW, REASON_NO_FILE};
    SaveReason reason = REASON_PLAIN_FILE;
    if (facts->dwLinks != 1)
        reason = REASON_MORE_NAMES;
    else if (facts->bReparsePoint)
        reason = REASON_REPARSE_POINT;
    else if (!facts->bSameFile)
        reason = REASON_OTHER_FILE;
    else if (facts->bReadOnly)
        reason = REASON_READ_ONLY;
    else if (!facts->bRenamable)
        reason = REASON_IN_USE;
    else if (!facts->bRightsCarried)
        reason = REASON_RIGHTS;
    return {reason == REASON_PLAIN_FILE ? SAVE_REPLACE : SAVE_IN_PLACE, reason};
}

// What a way has changed so far; each entry is undone by its exact inverse.
enum SaveStep {
    MADE_FILE,      // the document itself, created: deleted again
    MADE_BESIDE,    // the new text's file beside: deleted again
    MARKED_BESIDE,  // that file took the document's attributes: cleared again
    REPLACED,       // document renamed to the backup name, new file to its name
    KEPT_ASIDE,     // the old bytes in a file beside: removed once the document is whole
    EXTENDED,       // the tail written past the old end: cut off again
    OVERWROTE,      // the head overwritten: the old head written back
    CUT,            // cut to the new length: the old tail written back
};

constexpr DWORD SECURITY_SIZE = 4096;

struct SaveJob {
    const TextBuffer* text;
    char szName[MAX_PATH];    // the document, in the form the save uses
    char szBeside[MAX_PATH];  // the new text (replace) or the old bytes (in place)
    char szBackup[MAX_PATH];  // the name the replace gives the old file
    DWORD dwAttributes;
    HANDLE hFile;             // the document, open to write in place
    TextBuffer old;           // its old bytes, for the in-place way
    DWORD cbOld;
    SaveStep steps[8];
    int nSteps;
    BYTE security[SECURITY_SIZE];  // the document's DACL as it was
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

// A name beside the document that no file has: where the replace puts the
// old file.
static BOOL NameBackup(const char* pszDocument, char* pszBackup)
{
    for (UINT uTry = 64; uTry < 128; ++uTry) {
        if (!NameBeside(pszDocument, uTry, pszBackup))
            return FALSE;
        if (GetFileAttributesA(pszBackup) == INVALID_FILE_ATTRIBUTES &&
            GetLastError() == ERROR_FILE_NOT_FOUND)
            return TRUE;
    }
    return FALSE;
}

// A rename or a new name lives in the folder's entry: flushing the folder
// makes it outlast a power cut where the platform allows that (a folder
// opened for writing; some file systems refuse it, which is no failure).
static void FlushFolder(const char* pszPath)
{
    char szFolder[MAX_PATH];
    if (!GetFolder(pszPath, szFolder))
        return;
    HANDLE hFolder = CreateFileA(szFolder, GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
    if (hFolder == INVALID_HANDLE_VALUE)
        return;
    g_saveCalls.pfnFlushFileBuffers(hFolder);
    CloseHandle(hFolder);
}

static BOOL ExistsByName(const char* pszPath)
{
    return GetFileAttributesA(pszPath) != INVALID_FILE_ATTRIBUTES;
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
        case MADE_FILE:
            bUndone = g_saveCalls.pfnDeleteFileA(job->szName) && bUndone;
            break;
        case MADE_BESIDE:
            bUndone = g_saveCalls.pfnDeleteFileA(job->szBeside) && bUndone;
            break;
        case MARKED_BESIDE:
            bUndone = SetFileAttributesA(job->szBeside, FILE_ATTRIBUTE_NORMAL) && bUndone;
            break;
        case REPLACED: {
            // The new text goes back under its own name, the old file under
            // the document's; should the first rename fail, the old file
            // takes the document's name all the same.
            const BOOL bMoved =
                g_saveCalls.pfnMoveFileExA(job->szName, job->szBeside, MOVEFILE_WRITE_THROUGH);
            const DWORD dwFlags = MOVEFILE_WRITE_THROUGH | (bMoved ? 0 : MOVEFILE_REPLACE_EXISTING);
            bUndone = g_saveCalls.pfnMoveFileExA(job->szBackup, job->szName, dwFlags) && bUndone;
            break;
        }
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

// The new way: on any failure there is nothing to keep.
static BOOL SaveAsNewFile(SaveJob* job)
{
    HANDLE hFile = CreateFileA(job->szName, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return FALSE;
    Record(job, MADE_FILE);
    if (FillAndClose(hFile, job->text->pszText, job->text->cchText) != NO_ERROR) {
        UndoSteps(job);
        return FALSE;
    }
    FlushFolder(job->szName);
    return TRUE;
}

static BOOL ReadRights(const char* pszPath, BYTE* pSecurity)
{
    DWORD cbNeeded = 0;
    return GetFileSecurityA(pszPath, DACL_SECURITY_INFORMATION, pSecurity, SECURITY_SIZE,
                            &cbNeeded);
}

// Equal DACLs, byte for byte; both absent counts as equal.
static BOOL SameRights(BYTE* pFirst, BYTE* pSecond)
{
    BOOL bPresent[2] = {}, bDefaulted = FALSE;
    PACL pAcl[2] = {};
    if (!GetSecurityDescriptorDacl(pFirst, &bPresent[0], &pAcl[0], &bDefaulted) ||
        !GetSecurityDescriptorDacl(pSecond, &bPresent[1], &pAcl[1], &bDefaulted))
        return FALSE;
    if (!bPresent[0] || !pAcl[0] || !bPresent[1] || !pAcl[1])
        return (!bPresent[0] || !pAcl[0]) && (!bPresent[1] || !pAcl[1]);
    ACL_SIZE_INFORMATION size[2] = {};
    for (int i = 0; i < 2; ++i) {
        if (!GetAclInformation(pAcl[i], &size[i], sizeof size[i], AclSizeInformation))
            return FALSE;
    }
    return size[0].AclBytesInUse == size[1].AclBytesInUse &&
           memcmp(pAcl[0], pAcl[1], size[0].AclBytesInUse) == 0;
}

// The document's rights on a file beside it, and read back to be sure they
// are what the document has.
static BOOL TakeRights(SaveJob* job)
{
    BYTE security[SECURITY_SIZE];
    return SetFileSecurityA(job->szBeside, DACL_SECURITY_INFORMATION, job->security) &&
           ReadRights(job->szBeside, security) && SameRights(security, job->security);
}

enum ReplaceResult { REPLACED_WHOLE, NOT_REPLACED, LEFT_BESIDE };

// After a refused replace the document's name must hold the old content:
// where the platform left the old file under the backup name only, it goes
// back. FALSE when it cannot; it then stays under the backup name.
static BOOL PutBackupBack(SaveJob* job)
{
    if (ExistsByName(job->szName) || !ExistsByName(job->szBackup))
        return TRUE;
    return g_saveCalls.pfnMoveFileExA(job->szBackup, job->szName, MOVEFILE_WRITE_THROUGH);
}

// ReplaceFileA failed: its error says where the files are now. 1177 leaves
// the old file under the backup name and the document's name free, so the
// new file is moved there to finish the job.
static ReplaceResult FinishRefusedReplace(SaveJob* job, DWORD dwError)
{
    if (dwError == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2 && !ExistsByName(job->szName) &&
        g_saveCalls.pfnMoveFileExA(job->szBeside, job->szName, MOVEFILE_WRITE_THROUGH)) {
        job->nSteps = 0;
        Record(job, REPLACED);
        return REPLACED_WHOLE;
    }
    if (!PutBackupBack(job))
        return LEFT_BESIDE;
    UndoSteps(job);
    return NOT_REPLACED;
}

// The replace way. NOT_REPLACED leaves the document as it was and nothing
// beside it; LEFT_BESIDE leaves the old content under the backup name and
// the new text beside it, which is all the platform left to work with.
static ReplaceResult ReplaceWhole(SaveJob* job)
{
    if (!ReadRights(job->szName, job->security))
        return NOT_REPLACED;
    HANDLE hBeside = MakeFileBeside(job->szName, job->szBeside);
    if (hBeside == INVALID_HANDLE_VALUE)
        return NOT_REPLACED;
    Record(job, MADE_BESIDE);
    const DWORD dwError = FillAndClose(hBeside, job->text->pszText, job->text->cchText);
    // New content is something a backup should see again.
    const DWORD dwCarried =
        FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    if (dwError != NO_ERROR || !TakeRights(job) || !NameBackup(job->szName, job->szBackup)) {
        UndoSteps(job);
        return NOT_REPLACED;
    }
    Record(job, MARKED_BESIDE);
    if (!SetFileAttributesA(job->szBeside, (job->dwAttributes & dwCarried) | FILE_ATTRIBUTE_ARCHIVE)) {
        UndoSteps(job);
        return NOT_REPLACED;
    }
    if (g_saveCalls.pfnReplaceFileA(job->szName, job->szBeside, job->szBackup, 0, NULL, NULL)) {
        job->nSteps = 0;
        Record(job, REPLACED);
    } else {
        const ReplaceResult result = FinishRefusedReplace(job, GetLastError());
        if (result != REPLACED_WHOLE)
            return result;
    }
    BYTE security[SECURITY_SIZE];
    // Rights that came out different take the replace back; in place keeps them.
    if (!ReadRights(job->szName, security) || !SameRights(security, job->security)) {
        if (!UndoSteps(job) && !PutBackupBack(job))
            return LEFT_BESIDE;
        if (ExistsByName(job->szBeside))
            g_saveCalls.pfnDeleteFileA(job->szBeside);
        return NOT_REPLACED;
    }
    FlushFolder(job->szName);
    // A backup that cannot be removed (a scanner holds it) keeps the old
    // content, in plain sight rather than hidden as the document may be; the
    // document holds the new text whole either way.
    SetFileAttributesA(job->szBackup, FILE_ATTRIBUTE_NORMAL);
    g_saveCalls.pfnDeleteFileA(job->szBackup);
    job->nSteps = 0;
    return REPLACED_WHOLE;
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

// Opens the document as the in-place write would, which also tells whether
// it may be written at all (read-only, held by a writer, a directory).
static HANDLE OpenForInPlace(const char* pszPath)
{
    return CreateFileA(pszPath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, NULL,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, NULL);
}

// Whether the long name, opened as itself rather than what it may point to,
// is the file the document's handle has open, and whether it is a reparse
// point. A symbolic link, a short name's twin, or a name the code page
// cannot spell is not.
static void InspectOwnName(HANDLE hFile, SaveJob* job, SaveFacts* facts)
{
    char szFull[MAX_PATH];
    const DWORD cchFull = GetFullPathNameA(job->szName, MAX_PATH, szFull, NULL);
    char szLong[MAX_PATH];
    if (cchFull == 0 || cchFull >= MAX_PATH || GetExactLongPath(szFull, szLong, MAX_PATH) == 0)
        return;
    HANDLE hSelf = CreateFileA(szLong, FILE_READ_ATTRIBUTES,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                               OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, NULL);
    if (hSelf == INVALID_HANDLE_VALUE)
        return;
    BY_HANDLE_FILE_INFORMATION document, self;
    FILE_ATTRIBUTE_TAG_INFO tag = {};
    if (GetFileInformationByHandle(hFile, &document) && GetFileInformationByHandle(hSelf, &self) &&
        GetFileInformationByHandleEx(hSelf, FileAttributeTagInfo, &tag, sizeof tag)) {
        facts->bReparsePoint = (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || tag.ReparseTag;
        facts->bSameFile = document.dwVolumeSerialNumber == self.dwVolumeSerialNumber &&
                           document.nFileIndexHigh == self.nFileIndexHigh &&
                           document.nFileIndexLow == self.nFileIndexLow;
        if (facts->bSameFile)
            lstrcpynA(job->szName, szLong, MAX_PATH);
    }
    CloseHandle(hSelf);
}

// A rename needs the right to delete the name and no program holding the
// file without delete sharing. Asking first spares a replace that would fail
// half way.
static BOOL MayBeRenamed(const char* pszPath)
{
    HANDLE hFile = CreateFileA(pszPath, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               NULL, OPEN_EXISTING, 0, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return FALSE;
    CloseHandle(hFile);
    return TRUE;
}

// Under Wine a file's rights are its Linux mode, which a security descriptor
// maps to only in part (the group's bits and the execute bits are lost: the
// DACL of a mode-600 file, set on a new file, gives it mode 770), so there
// no new file can take a document's rights. Elsewhere a new file takes the
// process's default owner, and its DACL is all of its rights.
static BOOL RightsCanBeCarried(const char* pszDocument)
{
    if (GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version"))
        return FALSE;
    BYTE security[SECURITY_SIZE];
    DWORD cbNeeded = 0;
    PSID pOwner = NULL;
    BOOL bDefaulted = FALSE;
    if (!GetFileSecurityA(pszDocument, OWNER_SECURITY_INFORMATION, security, sizeof security,
                          &cbNeeded) ||
        !GetSecurityDescriptorOwner(security, &pOwner, &bDefaulted) || !pOwner)
        return FALSE;
    HANDLE hToken = NULL;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &hToken))
        return FALSE;
    BYTE owner[SECURITY_MAX_SID_SIZE + sizeof(TOKEN_OWNER)];
    const BOOL bAlike = GetTokenInformation(hToken, TokenOwner, owner, sizeof owner, &cbNeeded) &&
                        EqualSid(reinterpret_cast<TOKEN_OWNER*>(owner)->Owner, pOwner);
    CloseHandle(hToken);
    return bAlike;
}

// The facts ChooseSaveWay needs. The costlier ones are asked only where the
// cheaper ones still allow a replace; the document's handle is closed then,
// since a rename needs it closed.
static SaveChoice InspectDocument(HANDLE* phFile, SaveJob* job)
{
    SaveFacts facts = {};
    if (*phFile == INVALID_HANDLE_VALUE)
        return ChooseSaveWay(&facts);
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(*phFile, &info))
        return {SAVE_IN_PLACE, REASON_OTHER_FILE};
    facts.bExists = TRUE;
    facts.dwLinks = info.nNumberOfLinks;
    facts.bReadOnly = (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
    job->dwAttributes = info.dwFileAttributes;
    InspectOwnName(*phFile, job, &facts);
    facts.bRenamable = facts.bRightsCarried = TRUE;
    if (ChooseSaveWay(&facts).way != SAVE_REPLACE)
        return ChooseSaveWay(&facts);
    CloseHandle(*phFile);
    *phFile = INVALID_HANDLE_VALUE;
    facts.bRenamable = MayBeRenamed(job->szName);
    facts.bRightsCarried = facts.bRenamable && g_saveCalls.pfnRightsCanBeCarried(job->szName);
    return ChooseSaveWay(&facts);
}

static BOOL SaveText(const TextBuffer* text)
{
    SaveJob job = {};
    job.text = text;
    job.hFile = INVALID_HANDLE_VALUE;
    lstrcpynA(job.szName, g_szFileName, MAX_PATH);
    // A name that now opens another file is not written at all.
    if (!StoredNameOpensDocument())
        return FALSE;
    HANDLE hFile = OpenForInPlace(job.szName);
    if (hFile == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_NOT_FOUND)
        return FALSE;
    switch (InspectDocument(&hFile, &job).way) {
    case SAVE_NEW:
        return SaveAsNewFile(&job);
    case SAVE_REPLACE: {
        const ReplaceResult result = ReplaceWhole(&job);
        if (result != NOT_REPLACED)
            return result == REPLACED_WHOLE;
        break;
    }
    case SAVE_IN_PLACE:
        break;
    }
    // Closed for a replace that did not happen, or found not to be possible.
    if (hFile == INVALID_HANDLE_VALUE)
        hFile = OpenForInPlace(job.szName);
    if (hFile == INVALID_HANDLE_VALUE)
        return FALSE;
    job.hFile = hFile;
    BOOL bSaved = WriteInPlace(&job);
    if (!CloseHandle(hFile))
        bSaved = FALSE;
    FreeEditText(&job.old);
    return bSaved;
}

BOOL SaveDocument(HWND hwndEdit)
{
    if (!MaySaveChangedBytes(hwndEdit))
        return FALSE;
    const WaitCursor wait;
    // The copy is taken first, so that nothing touches the file unless the
    // text to put there is in hand.
    TextBuffer text = {};
    BOOL bSaved = GetEditText(hwndEdit, &text) && SaveText(&text);
    FreeEditText(&text);
    if (bSaved) {
        SendMessageA(hwndEdit, EM_SETMODIFY, FALSE, 0);
        ForgetCodePageLoss();
    }
    return bSaved;
}
