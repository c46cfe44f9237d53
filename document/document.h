// The document: its name, the caption built from it, and moving its text
// between a file and the edit pane. The text itself lives only in the pane.
#ifndef TEKSTOR_DOCUMENT_DOCUMENT_H
#define TEKSTOR_DOCUMENT_DOCUMENT_H

#include <windows.h>

constexpr int CAPTION_SIZE = 290;

// Reads the file named by g_szFileName into the pane, replacing its text
// (which clears the modification flag and the undo buffer). FALSE when the
// file's text could not be put into the pane; the pane is then unchanged.
BOOL LoadDocument(HWND hwndEdit);

// The file opened as the load opens it; INVALID_HANDLE_VALUE when it cannot
// be (a directory, a file held for writing, no such file).
HANDLE OpenDocumentToLoad(const char* pszPath);

// Writes the pane's text to the file named by g_szFileName. TRUE only when
// every byte was written; only then is the modification flag cleared. The
// file keeps its names, links, attributes and rights, and holds either its
// old content or the whole new text (how: see the save code).
BOOL SaveDocument(HWND hwndEdit);

// The write every save goes through, so that a test can make one fail part way.
using WriteFileFunction = BOOL(WINAPI*)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
extern WriteFileFunction g_pfnWriteFile;

// Sets the caption: application name, the recording mark when bRecording,
// "- " and the document's name as composed by ComposeShownName.
void UpdateTitle(HINSTANCE hInstance, HWND hwndMain, BOOL bRecording);

// Writes g_szFileName into pszOut with its last part (after the last
// backslash) replaced by the name the shell shows for the file. When the
// shell gives no name, or the composition does not fit cchOut, pszOut holds
// g_szFileName as stored (cut to cchOut) and the result is FALSE.
BOOL ComposeShownName(char* pszOut, int cchOut);

// The document's name and untitled flag, kept across an operation that
// adopts a new name first and may have to take it back.
struct DocumentName {
    char szFileName[MAX_PATH];
    BOOL bUntitled;
};
void RememberDocumentName(DocumentName* name);
// Puts the remembered name back and recomposes the caption.
void RestoreDocumentName(const DocumentName* name, HINSTANCE hInstance, HWND hwndMain);

#endif
