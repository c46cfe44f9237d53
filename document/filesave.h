// Writing the pane's text into a file, and the calls through which a test
// makes each step of it fail.
#ifndef TEKSTOR_DOCUMENT_FILESAVE_H
#define TEKSTOR_DOCUMENT_FILESAVE_H

#include <windows.h>

#include "app/state.h"

// The bytes over the file open in hFile (to read and write), which keeps
// every name, link, attribute and right. TRUE only when the whole new text
// is in the file and flushed; otherwise the old content is back.
BOOL SaveOverFile(HANDLE hFile, const char* pText, DWORD cbText);

// A file that does not exist yet, made, written and flushed, its identity in
// *pSaved. FALSE leaves no file.
BOOL SaveNewFile(const wchar_t* pszPath, const char* pText, DWORD cbText, FileIdentity* pSaved);

// Every call of a save that a disk can refuse, so that a test can make each
// one fail in turn. g_saveCalls starts as the system's own calls.
struct SaveCalls {
    BOOL(WINAPI* pfnWriteFile)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
    BOOL(WINAPI* pfnFlushFileBuffers)(HANDLE);
    BOOL(WINAPI* pfnSetEndOfFile)(HANDLE);
    BOOL(WINAPI* pfnDeleteFileA)(LPCSTR);
    // Only for the file a save makes beside the document.
    HANDLE(WINAPI* pfnCreateFileA)(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
};
extern SaveCalls g_saveCalls;
extern const SaveCalls SYSTEM_SAVE_CALLS;

#endif
