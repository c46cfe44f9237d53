// Writing a text into a file as one transaction: a new file is made whole;
// an existing one gets its changed bytes through a journal first, so that a
// save cut short at any moment is finished, not lost, at the next open.
#ifndef TEKSTOR_DOCUMENT_FILESAVE_H
#define TEKSTOR_DOCUMENT_FILESAVE_H

#include <windows.h>

#include "app/state.h"

// Puts the text into the file open through hFile (read and write, not
// shared for writing): from the first changed byte on, through a journal in
// the user's private folder. TRUE only when the whole text is in the file
// and flushed. FALSE with the file as it was, or, where a write failed
// after the file's old bytes began to change, with its journal kept, which
// OfferToFinishSave finishes. Where no private place takes the journal, the
// user is told and nothing is written.
BOOL SaveOverFile(HANDLE hFile, const char* pText, DWORD cbText);

// Makes the file (it must not exist yet), writes the text and flushes it;
// its identity goes to *pSaved. FALSE leaves no file.
BOOL SaveNewFile(const wchar_t* pszPath, const char* pText, DWORD cbText, FileIdentity* pSaved);

// Called before the file at pszPath is loaded. A save of it that was cut
// short is offered to be finished (Yes: finished before the load; No: the
// journal is kept for the next open); a journal that never got whole is
// removed without a word; one whose file has since been changed by another
// program is never applied, and the user says whether it is kept.
void OfferToFinishSave(HWND hwndOwner, const wchar_t* pszPath);

// Every call of a save that a disk can refuse, so that a test can make each
// one fail in turn. g_saveCalls starts as the system's own calls.
struct SaveCalls {
    BOOL(WINAPI* pfnWriteFile)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
    BOOL(WINAPI* pfnFlushFileBuffers)(HANDLE);
    BOOL(WINAPI* pfnSetEndOfFile)(HANDLE);
    // Only for the journal.
    HANDLE(WINAPI* pfnCreateFileW)(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
    // The journal's removal, through its handle.
    BOOL(WINAPI* pfnSetFileInformationByHandle)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD);
};
extern SaveCalls g_saveCalls;
extern const SaveCalls SYSTEM_SAVE_CALLS;

#endif
