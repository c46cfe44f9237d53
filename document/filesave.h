// Saving the pane's text into the document's file: which way a save takes,
// and the calls through which a test makes each step of it fail.
#ifndef TEKSTOR_DOCUMENT_FILESAVE_H
#define TEKSTOR_DOCUMENT_FILESAVE_H

#include <windows.h>

// The three ways a save can go. A new file is made when there is none; a
// plain file is replaced whole by a copy written beside it; any other file is
// written in place.
enum SaveWay { SAVE_NEW, SAVE_REPLACE, SAVE_IN_PLACE };

// Why: the first fact that ruled out a replace, or REASON_PLAIN_FILE.
enum SaveReason {
    REASON_NO_FILE,
    REASON_PLAIN_FILE,
    REASON_MORE_NAMES,      // a hard link: every name must keep the same file
    REASON_REPARSE_POINT,   // a symbolic link, junction target or other reparse point
    REASON_OTHER_FILE,      // the name a replace would use is not the file itself
    REASON_READ_ONLY,
    REASON_IN_USE,          // a program holds it and does not let it be renamed
    REASON_RIGHTS,          // a new file would not get its owner and rights
};

// What the disk says about the document, gathered before anything is written.
struct SaveFacts {
    BOOL bExists;       // the document's name opens a file to write
    DWORD dwLinks;      // its hard links
    BOOL bReparsePoint; // the name, opened as itself, is a reparse point
    BOOL bSameFile;     // the long name, opened as itself, is the same volume and file index
    BOOL bReadOnly;
    BOOL bRenamable;
    BOOL bRightsCarried;  // a file made beside it would take its owner and rights
};

struct SaveChoice {
    SaveWay way;
    SaveReason reason;
};

// The way for a document with these facts; a file that cannot be replaced,
// or whose replace does not go through, is written in place.
SaveChoice ChooseSaveWay(const SaveFacts* facts);

// Every call of a save that a disk can refuse, so that a test can make each
// one fail in turn. g_saveCalls starts as the system's own calls.
struct SaveCalls {
    BOOL(WINAPI* pfnWriteFile)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
    BOOL(WINAPI* pfnFlushFileBuffers)(HANDLE);
    BOOL(WINAPI* pfnSetEndOfFile)(HANDLE);
    BOOL(WINAPI* pfnReplaceFileA)(LPCSTR, LPCSTR, LPCSTR, DWORD, LPVOID, LPVOID);
    BOOL(WINAPI* pfnMoveFileExA)(LPCSTR, LPCSTR, DWORD);
    BOOL(WINAPI* pfnDeleteFileA)(LPCSTR);
    // Only for the files a save makes beside the document.
    HANDLE(WINAPI* pfnCreateFileA)(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
    // Whether a file made beside pszDocument would be owned as the document
    // is, and whether its security descriptor holds all of its rights.
    BOOL (*pfnRightsCanBeCarried)(const char* pszDocument);
};
extern SaveCalls g_saveCalls;
extern const SaveCalls SYSTEM_SAVE_CALLS;

#endif
