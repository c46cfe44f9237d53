// A save as one transaction. The file is never replaced, so it keeps all
// that makes it that file: its names and links, streams, attributes, owner,
// rights, encryption, its Linux mode, the view of a program that holds it.
//
// An existing file gets only what changed: the new text from the first byte
// that differs from the file (aligned down to 4 KB, so that a torn sector
// cannot spoil a byte before it) to its new end. Those bytes first go into a
// journal, flushed, with a header that names the file by its identity and
// says where the bytes go, the old and new lengths, and checksums of the
// file's untouched head, of the bytes, and of the header itself. Then the
// file: the part past its old end first (a full disk shows before one old
// byte changes), then the rest, the cut where it shrinks, the flush; then
// the journal goes. Whenever the program or the machine stops, the file
// holds its old text (the journal is torn or whole), or the journal holds
// all that is missing from the new one, and the next open finishes it.
//
// The journal lives in the user's private folder, not beside the document,
// where the folder's rights, not the document's, would decide who reads it.
#include "document/filesave.h"

#include <cstddef>
#include <cstring>

#include "document/docfile.h"
#include "edit/textbuffer.h"
#include "res/resource.h"

const SaveCalls SYSTEM_SAVE_CALLS = {WriteFile, FlushFileBuffers, SetEndOfFile, CreateFileW,
                                     SetFileInformationByHandle};
SaveCalls g_saveCalls = SYSTEM_SAVE_CALLS;

constexpr ULONGLONG SPAN_ALIGN = 4096;
constexpr DWORD PIECE = 1024 * 1024;
constexpr char JOURNAL_MAGIC[8] = {'T', 'K', 'S', 'J', 'R', 'N', 'L', '1'};
constexpr ULONGLONG HASH_SEED = 0x9E3779B97F4A7C15ull;

struct JournalHeader {
    char magic[8];
    ULONGLONG ullVolume;  // the file's identity
    BYTE id[16];
    ULONGLONG cbOld;      // its length before the save
    ULONGLONG cbNew;      // and after it
    ULONGLONG cbStart;    // where the journal's bytes go; the bytes before stay
    ULONGLONG hashHead;   // of the file's bytes before cbStart
    ULONGLONG hashSpan;   // of the journal's bytes
    ULONGLONG hashHeader; // of all of the above
};
static_assert(sizeof(JournalHeader) == 80, "the journal's header is 80 bytes on both targets");

// Eight bytes a step; a piece that is not the last must be a multiple of
// eight long, so that a hash taken in pieces equals the one taken whole.
static ULONGLONG HashBytes(ULONGLONG h, const char* p, ULONGLONG cb)
{
    ULONGLONG i = 0;
    for (; i + 8 <= cb; i += 8) {
        ULONGLONG w;
        memcpy(&w, p + i, sizeof w);
        h = (h ^ w) * 0x100000001B3ull;
        h ^= h >> 29;
    }
    for (; i < cb; ++i)
        h = (h ^ static_cast<BYTE>(p[i])) * 0x100000001B3ull;
    return h;
}

static ULONGLONG HashHeader(const JournalHeader* header)
{
    return HashBytes(HASH_SEED, reinterpret_cast<const char*>(header),
                     offsetof(JournalHeader, hashHeader));
}

static BOOL SeekTo(HANDLE hFile, ULONGLONG cbOffset)
{
    LARGE_INTEGER pos;
    pos.QuadPart = static_cast<LONGLONG>(cbOffset);
    return SetFilePointerEx(hFile, pos, NULL, FILE_BEGIN);
}

// Wine writes what fits on a full disk and reports it done; only the next
// write says the disk is full.
static BOOL WriteAt(HANDLE hFile, ULONGLONG cbOffset, const void* pBytes, ULONGLONG cb)
{
    if (!SeekTo(hFile, cbOffset))
        return FALSE;
    const char* p = static_cast<const char*>(pBytes);
    while (cb > 0) {
        const DWORD cbStep = cb > PIECE * 64 ? PIECE * 64 : static_cast<DWORD>(cb);
        DWORD cbDone = 0;
        if (!g_saveCalls.pfnWriteFile(hFile, p, cbStep, &cbDone, NULL))
            return FALSE;
        if (cbDone == 0) {
            SetLastError(ERROR_WRITE_FAULT);
            return FALSE;
        }
        p += cbDone;
        cb -= cbDone;
    }
    return TRUE;
}

// All cb bytes, or FALSE (also when the file ends before them).
static BOOL ReadAt(HANDLE hFile, ULONGLONG cbOffset, char* p, DWORD cb)
{
    if (!SeekTo(hFile, cbOffset))
        return FALSE;
    while (cb > 0) {
        DWORD cbDone = 0;
        if (!ReadFile(hFile, p, cb, &cbDone, NULL) || cbDone == 0)
            return FALSE;
        p += cbDone;
        cb -= cbDone;
    }
    return TRUE;
}

static BOOL CutAt(HANDLE hFile, ULONGLONG cbLength)
{
    return SeekTo(hFile, cbLength) && g_saveCalls.pfnSetEndOfFile(hFile);
}

static ULONGLONG Smaller(ULONGLONG a, ULONGLONG b)
{
    return a < b ? a : b;
}

static ULONGLONG Larger(ULONGLONG a, ULONGLONG b)
{
    return a < b ? b : a;
}

// Goes through the file's first cb bytes piece by piece: how many of them
// equal pText's, or, with pText NULL, their hash into *pHash. FALSE when the
// file could not be read.
static BOOL ScanFile(HANDLE hFile, ULONGLONG cb, const char* pText, ULONGLONG* pcbSame,
                     ULONGLONG* pHash)
{
    char* pPiece = static_cast<char*>(GlobalAlloc(GMEM_FIXED, PIECE));
    if (!pPiece)
        return FALSE;
    BOOL bRead = TRUE;
    ULONGLONG cbDone = 0;
    while (bRead && cbDone < cb) {
        const DWORD cbStep = static_cast<DWORD>(Smaller(cb - cbDone, PIECE));
        bRead = ReadAt(hFile, cbDone, pPiece, cbStep);
        if (bRead && pText && memcmp(pPiece, pText + cbDone, cbStep) != 0) {
            DWORD i = 0;
            while (pPiece[i] == pText[cbDone + i])
                ++i;
            cbDone += i;
            break;
        }
        if (bRead && !pText)
            *pHash = HashBytes(*pHash, pPiece, cbStep);
        cbDone += bRead ? cbStep : 0;
    }
    if (pcbSame)
        *pcbSame = cbDone;
    GlobalFree(pPiece);
    return bRead;
}

enum SpanResult { SPAN_WRITTEN, SPAN_NOT_STARTED, SPAN_HALF_WRITTEN };

// The journal's bytes into the file. SPAN_NOT_STARTED: the file holds its
// old bytes again (only what went past its old end was written, and is cut
// off again).
static SpanResult WriteSpan(HANDLE hFile, const JournalHeader* header, const char* pSpan)
{
    const ULONGLONG cbKept = Smaller(header->cbOld, header->cbNew);
    if (header->cbNew > header->cbOld &&
        !WriteAt(hFile, header->cbOld, pSpan + (header->cbOld - header->cbStart),
                 header->cbNew - header->cbOld)) {
        const DWORD dwError = GetLastError();
        const BOOL bBack = CutAt(hFile, header->cbOld) && g_saveCalls.pfnFlushFileBuffers(hFile);
        SetLastError(dwError);
        return bBack ? SPAN_NOT_STARTED : SPAN_HALF_WRITTEN;
    }
    if (!WriteAt(hFile, header->cbStart, pSpan, cbKept - header->cbStart) ||
        (header->cbNew < header->cbOld && !CutAt(hFile, header->cbNew)) ||
        !g_saveCalls.pfnFlushFileBuffers(hFile))
        return SPAN_HALF_WRITTEN;
    return SPAN_WRITTEN;
}

static BOOL IsWine()
{
    const HMODULE hNtdll = GetModuleHandleA("ntdll.dll");
    return hNtdll && GetProcAddress(hNtdll, "wine_get_version");
}

static BOOL GetUserSid(BYTE* pSid, DWORD cbSid)
{
    HANDLE hToken = NULL;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &hToken))
        return FALSE;
    alignas(TOKEN_USER) BYTE user[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD cb = 0;
    const BOOL bDone = GetTokenInformation(hToken, TokenUser, user, sizeof user, &cb) &&
                       CopySid(cbSid, pSid, reinterpret_cast<TOKEN_USER*>(user)->User.Sid);
    CloseHandle(hToken);
    return bDone;
}

// What only the user may open: on Windows a protected DACL of the user
// alone. Under Wine rights are a Linux mode, and Wine gives the group the
// owner's bits for an entry of the running user (a DACL of the user alone
// makes a folder 770, 750 after the umask); an entry for CREATOR OWNER that
// is also the descriptor's owner maps to the owner's bits alone (700 for a
// folder, 600 for a file). The Linux owner is the process's user either way.
struct PrivateSecurity {
    SECURITY_ATTRIBUTES sa;
    SECURITY_DESCRIPTOR sd;
    alignas(DWORD) BYTE acl[128];
    alignas(DWORD) BYTE sid[SECURITY_MAX_SID_SIZE];
};

static BOOL MakePrivateSecurity(PrivateSecurity* ps, DWORD dwAccess, DWORD dwInherit)
{
    ZeroMemory(ps, sizeof *ps);
    const BOOL bWine = IsWine();
    DWORD cbSid = sizeof ps->sid;
    PACL pAcl = reinterpret_cast<PACL>(ps->acl);
    if (!(bWine ? CreateWellKnownSid(WinCreatorOwnerSid, NULL, ps->sid, &cbSid)
                : GetUserSid(ps->sid, sizeof ps->sid)) ||
        !InitializeAcl(pAcl, sizeof ps->acl, ACL_REVISION) ||
        !AddAccessAllowedAceEx(pAcl, ACL_REVISION, dwInherit, dwAccess, ps->sid) ||
        !InitializeSecurityDescriptor(&ps->sd, SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorDacl(&ps->sd, TRUE, pAcl, FALSE) ||
        !SetSecurityDescriptorControl(&ps->sd, SE_DACL_PROTECTED, SE_DACL_PROTECTED) ||
        (bWine && !SetSecurityDescriptorOwner(&ps->sd, ps->sid, FALSE)))
        return FALSE;
    ps->sa.nLength = sizeof ps->sa;
    ps->sa.lpSecurityDescriptor = &ps->sd;
    return TRUE;
}

// The user, the system and the administrators, who may read all of the
// user's files anyway (and own what an elevated program makes).
static BOOL IsTrusted(PSID pSid, PSID pUser)
{
    return EqualSid(pSid, pUser) || IsWellKnownSid(pSid, WinLocalSystemSid) ||
           IsWellKnownSid(pSid, WinBuiltinAdministratorsSid);
}

// Owned and entered by no one but those trusted.
static BOOL IsPrivateFolder(const wchar_t* pszFolder)
{
    alignas(DWORD) BYTE sd[4096];
    alignas(DWORD) BYTE user[SECURITY_MAX_SID_SIZE];
    DWORD cb = 0;
    PSID pOwner = NULL;
    PACL pAcl = NULL;
    BOOL bPresent = FALSE, bDefaulted = FALSE;
    if (!GetFileSecurityW(pszFolder, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, sd,
                          sizeof sd, &cb) ||
        !GetUserSid(user, sizeof user) || !GetSecurityDescriptorOwner(sd, &pOwner, &bDefaulted) ||
        !pOwner || !IsTrusted(pOwner, user) ||
        !GetSecurityDescriptorDacl(sd, &bPresent, &pAcl, &bDefaulted) || !bPresent || !pAcl)
        return FALSE;
    for (DWORD i = 0; i < pAcl->AceCount; ++i) {
        ACE_HEADER* pAce = NULL;
        if (!GetAce(pAcl, i, reinterpret_cast<void**>(&pAce)))
            return FALSE;
        if (pAce->AceType == ACCESS_DENIED_ACE_TYPE || (pAce->AceFlags & INHERIT_ONLY_ACE))
            continue;
        if (pAce->AceType != ACCESS_ALLOWED_ACE_TYPE ||
            !IsTrusted(&reinterpret_cast<ACCESS_ALLOWED_ACE*>(pAce)->SidStart, user))
            return FALSE;
    }
    return TRUE;
}

static BOOL MakePrivateFolder(const wchar_t* pszFolder)
{
    PrivateSecurity ps;
    if (!MakePrivateSecurity(&ps, FILE_ALL_ACCESS, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE))
        return FALSE;
    if (!CreateDirectoryW(pszFolder, &ps.sa) && GetLastError() != ERROR_ALREADY_EXISTS)
        return FALSE;
    return IsPrivateFolder(pszFolder);
}

static BOOL Append(wchar_t* pszOut, DWORD cchOut, const wchar_t* pszMore)
{
    const DWORD cch = lstrlenW(pszOut);
    if (cch + lstrlenW(pszMore) >= cchOut)
        return FALSE;
    lstrcpyW(pszOut + cch, pszMore);
    return TRUE;
}

// %LOCALAPPDATA%\Tekstor\Journal\ and the identity in hex. The folders are
// made, private, only when bMake.
static BOOL GetJournalPath(const FileIdentity* identity, BOOL bMake, wchar_t* pszPath)
{
    const DWORD cchBase = GetEnvironmentVariableW(L"LOCALAPPDATA", pszPath, MAX_PATH);
    if (cchBase == 0 || cchBase >= MAX_PATH || !Append(pszPath, MAX_PATH, L"\\Tekstor") ||
        (bMake && !MakePrivateFolder(pszPath)) || !Append(pszPath, MAX_PATH, L"\\Journal") ||
        (bMake && !MakePrivateFolder(pszPath)))
        return FALSE;
    wchar_t szName[2 + 16 + 32 + 5] = L"\\";
    BYTE bytes[sizeof identity->ullVolume + sizeof identity->id];
    memcpy(bytes, &identity->ullVolume, sizeof identity->ullVolume);
    memcpy(bytes + sizeof identity->ullVolume, identity->id, sizeof identity->id);
    for (size_t i = 0; i < sizeof bytes; ++i) {
        szName[1 + 2 * i] = L"0123456789abcdef"[bytes[i] >> 4];
        szName[2 + 2 * i] = L"0123456789abcdef"[bytes[i] & 15];
    }
    lstrcpyW(szName + 1 + 2 * sizeof bytes, L".tks");
    return Append(pszPath, MAX_PATH, szName);
}

// Through its handle, so that it is the journal that was opened which goes.
static BOOL RemoveJournal(HANDLE hJournal)
{
    FILE_DISPOSITION_INFO info = {TRUE};
    const BOOL bRemoved =
        g_saveCalls.pfnSetFileInformationByHandle(hJournal, FileDispositionInfo, &info, sizeof info);
    CloseHandle(hJournal);
    return bRemoved;
}

// Text idText, its "%s" replaced by pszPath, in a message box over hwndOwner.
static int ShowSaveMessage(HWND hwndOwner, UINT idText, const wchar_t* pszPath, UINT uType)
{
    wchar_t szFormat[512] = L"", szCaption[32] = L"";
    LoadStringW(g_hInstance, idText, szFormat, 512);
    LoadStringW(g_hInstance, IDS_APPNAME, szCaption, 32);
    const wchar_t* pszAt = wcsstr(szFormat, L"%s");
    const size_t cch = lstrlenW(szFormat) + lstrlenW(pszPath) + 1;
    wchar_t* pszText = static_cast<wchar_t*>(GlobalAlloc(GMEM_FIXED, cch * sizeof(wchar_t)));
    if (!pszText)
        return 0;
    lstrcpyW(pszText, szFormat);
    if (pszAt) {
        lstrcpyW(pszText + (pszAt - szFormat), pszPath);
        lstrcatW(pszText, pszAt + 2);
    }
    const int nAnswer = MessageBoxW(hwndOwner, pszText, szCaption, uType);
    GlobalFree(pszText);
    return nAnswer;
}

static BOOL IsNoRoom(DWORD dwError)
{
    return dwError == ERROR_DISK_FULL || dwError == ERROR_HANDLE_DISK_FULL;
}

// The journal, whole and flushed, open to be removed once the file has the
// text. *pbNoRoom: no private place took it.
static HANDLE WriteJournal(const JournalHeader* header, const char* pSpan, BOOL* pbNoRoom)
{
    *pbNoRoom = TRUE;
    wchar_t szPath[MAX_PATH];
    PrivateSecurity ps;
    FileIdentity identity = {TRUE, header->ullVolume, {}};
    memcpy(identity.id, header->id, sizeof identity.id);
    if (!GetJournalPath(&identity, TRUE, szPath) ||
        !MakePrivateSecurity(&ps, FILE_GENERIC_READ | FILE_GENERIC_WRITE | DELETE, 0))
        return INVALID_HANDLE_VALUE;
    HANDLE hJournal = g_saveCalls.pfnCreateFileW(szPath, GENERIC_READ | GENERIC_WRITE | DELETE, 0,
                                                 &ps.sa, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (hJournal == INVALID_HANDLE_VALUE) {
        *pbNoRoom = IsNoRoom(GetLastError());
        return INVALID_HANDLE_VALUE;
    }
    if (WriteAt(hJournal, 0, header, sizeof *header) &&
        WriteAt(hJournal, sizeof *header, pSpan, header->cbNew - header->cbStart) &&
        g_saveCalls.pfnFlushFileBuffers(hJournal))
        return hJournal;
    *pbNoRoom = IsNoRoom(GetLastError());
    RemoveJournal(hJournal);
    return INVALID_HANDLE_VALUE;
}

BOOL SaveOverFile(HANDLE hFile, const char* pText, DWORD cbText)
{
    LARGE_INTEGER size;
    FileIdentity identity;
    ULONGLONG cbSame = 0;
    if (!GetFileSizeEx(hFile, &size) || !ReadFileIdentity(hFile, &identity) ||
        !ScanFile(hFile, Smaller(size.QuadPart, cbText), pText, &cbSame, NULL))
        return FALSE;
    const ULONGLONG cbOld = static_cast<ULONGLONG>(size.QuadPart);
    if (cbSame == cbText && cbOld == cbText)
        return TRUE;
    JournalHeader header = {};
    memcpy(header.magic, JOURNAL_MAGIC, sizeof header.magic);
    header.ullVolume = identity.ullVolume;
    memcpy(header.id, identity.id, sizeof header.id);
    header.cbOld = cbOld;
    header.cbNew = cbText;
    header.cbStart = cbSame / SPAN_ALIGN * SPAN_ALIGN;
    header.hashHead = HashBytes(HASH_SEED, pText, header.cbStart);
    header.hashSpan = HashBytes(HASH_SEED, pText + header.cbStart, cbText - header.cbStart);
    header.hashHeader = HashHeader(&header);
    BOOL bNoRoom = FALSE;
    HANDLE hJournal = WriteJournal(&header, pText + header.cbStart, &bNoRoom);
    if (hJournal == INVALID_HANDLE_VALUE) {
        if (bNoRoom)
            ShowSaveMessage(g_hwndMain, IDS_JOURNAL_NO_ROOM, L"", MB_OK | MB_ICONWARNING);
        return FALSE;
    }
    const SpanResult result = WriteSpan(hFile, &header, pText + header.cbStart);
    // A journal that cannot be removed is found at the next open, with its
    // text already in the file, and removed then.
    if (result == SPAN_HALF_WRITTEN)
        CloseHandle(hJournal);
    else
        RemoveJournal(hJournal);
    return result == SPAN_WRITTEN;
}

BOOL SaveNewFile(const wchar_t* pszPath, const char* pText, DWORD cbText, FileIdentity* pSaved)
{
    HANDLE hFile = OpenPath(pszPath, GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ,
                            CREATE_NEW, FILE_ATTRIBUTE_NORMAL);
    if (hFile == INVALID_HANDLE_VALUE)
        return FALSE;
    const BOOL bSaved = WriteAt(hFile, 0, pText, cbText) &&
                        g_saveCalls.pfnFlushFileBuffers(hFile) && ReadFileIdentity(hFile, pSaved);
    if (!bSaved) {
        FILE_DISPOSITION_INFO info = {TRUE};
        SetFileInformationByHandle(hFile, FileDispositionInfo, &info, sizeof info);
    }
    CloseHandle(hFile);
    return bSaved;
}

enum JournalState { JOURNAL_TORN, JOURNAL_WHOLE, JOURNAL_UNREADABLE };

// The header and the bytes of the journal for the file known as identity.
static JournalState ReadJournal(HANDLE hJournal, const FileIdentity* identity,
                                JournalHeader* header, TextBuffer* span)
{
    LARGE_INTEGER size;
    if (!GetFileSizeEx(hJournal, &size))
        return JOURNAL_UNREADABLE;
    if (static_cast<ULONGLONG>(size.QuadPart) < sizeof *header ||
        !ReadAt(hJournal, 0, reinterpret_cast<char*>(header), sizeof *header) ||
        memcmp(header->magic, JOURNAL_MAGIC, sizeof header->magic) != 0 ||
        header->hashHeader != HashHeader(header) || header->ullVolume != identity->ullVolume ||
        memcmp(header->id, identity->id, sizeof header->id) != 0 || header->cbNew > kMaxText ||
        header->cbStart > Smaller(header->cbOld, header->cbNew) || header->cbStart % SPAN_ALIGN ||
        static_cast<ULONGLONG>(size.QuadPart) != sizeof *header + header->cbNew - header->cbStart)
        return JOURNAL_TORN;
    const DWORD cbSpan = static_cast<DWORD>(header->cbNew - header->cbStart);
    if (!AllocateText(span, cbSpan))
        return JOURNAL_UNREADABLE;
    if (cbSpan > 0 && !ReadAt(hJournal, sizeof *header, span->pszText, cbSpan))
        return JOURNAL_UNREADABLE;
    return HashBytes(HASH_SEED, span->pszText, cbSpan) == header->hashSpan ? JOURNAL_WHOLE
                                                                            : JOURNAL_TORN;
}

enum FileState { FILE_AS_THE_SAVE_LEFT_IT, FILE_FINISHED, FILE_CHANGED, FILE_UNREADABLE };

// Whether the file is where the journal's save left it: its length on the
// way from old to new, its head untouched; or already finished.
static FileState CompareWithJournal(HANDLE hFile, const JournalHeader* header, const char* pSpan)
{
    LARGE_INTEGER size;
    ULONGLONG hash = HASH_SEED;
    if (!GetFileSizeEx(hFile, &size))
        return FILE_UNREADABLE;
    const ULONGLONG cbFile = static_cast<ULONGLONG>(size.QuadPart);
    if (cbFile < Smaller(header->cbOld, header->cbNew) ||
        cbFile > Larger(header->cbOld, header->cbNew))
        return FILE_CHANGED;
    if (!ScanFile(hFile, header->cbStart, NULL, NULL, &hash))
        return FILE_UNREADABLE;
    if (hash != header->hashHead)
        return FILE_CHANGED;
    const ULONGLONG cbSpan = header->cbNew - header->cbStart;
    char* pPiece = static_cast<char*>(GlobalAlloc(GMEM_FIXED, PIECE));
    BOOL bSame = pPiece && cbFile == header->cbNew;
    for (ULONGLONG cbDone = 0; bSame && cbDone < cbSpan; cbDone += PIECE) {
        const DWORD cbStep = static_cast<DWORD>(Smaller(cbSpan - cbDone, PIECE));
        bSame = ReadAt(hFile, header->cbStart + cbDone, pPiece, cbStep) &&
                memcmp(pPiece, pSpan + cbDone, cbStep) == 0;
    }
    if (pPiece)
        GlobalFree(pPiece);
    return bSame ? FILE_FINISHED : FILE_AS_THE_SAVE_LEFT_IT;
}

// Finishes, keeps or removes the journal, as the user says and the file
// allows; closes it.
static void SettleJournal(HWND hwndOwner, const wchar_t* pszPath, HANDLE hFile, HANDLE hJournal,
                          const FileIdentity* identity)
{
    JournalHeader header;
    TextBuffer span = {};
    BOOL bRemove = FALSE;
    switch (ReadJournal(hJournal, identity, &header, &span)) {
    case JOURNAL_TORN:
        bRemove = TRUE;
        break;
    case JOURNAL_UNREADABLE:
        break;
    case JOURNAL_WHOLE:
        switch (CompareWithJournal(hFile, &header, span.pszText)) {
        case FILE_FINISHED:
            bRemove = TRUE;
            break;
        case FILE_AS_THE_SAVE_LEFT_IT:
            bRemove = ShowSaveMessage(hwndOwner, IDS_JOURNAL_FINISH, pszPath,
                                      MB_YESNO | MB_ICONQUESTION) == IDYES &&
                      WriteSpan(hFile, &header, span.pszText) == SPAN_WRITTEN;
            break;
        case FILE_CHANGED:
            bRemove = ShowSaveMessage(hwndOwner, IDS_JOURNAL_STALE, pszPath,
                                      MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
            break;
        case FILE_UNREADABLE:
            break;
        }
        break;
    }
    FreeEditText(&span);
    if (bRemove)
        RemoveJournal(hJournal);
    else
        CloseHandle(hJournal);
}

void OfferToFinishSave(HWND hwndOwner, const wchar_t* pszPath)
{
    // Open as a save would: a file that cannot be written now keeps its
    // journal for an open that can finish it.
    HANDLE hFile = OpenPath(pszPath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING, 0);
    if (hFile == INVALID_HANDLE_VALUE)
        return;
    FileIdentity identity;
    wchar_t szJournal[MAX_PATH];
    if (ReadFileIdentity(hFile, &identity) && GetJournalPath(&identity, FALSE, szJournal)) {
        HANDLE hJournal = CreateFileW(szJournal, GENERIC_READ | DELETE, 0, NULL, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, NULL);
        if (hJournal != INVALID_HANDLE_VALUE)
            SettleJournal(hwndOwner, pszPath, hFile, hJournal, &identity);
    }
    CloseHandle(hFile);
}
