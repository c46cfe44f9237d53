// The document: its name, the caption built from it, and moving its text
// between a file and the edit pane. The text itself lives only in the pane.
#ifndef TEKSTOR_DOCUMENT_DOCUMENT_H
#define TEKSTOR_DOCUMENT_DOCUMENT_H

#include <windows.h>

constexpr int CAPTION_SIZE = 290;

// Reads the file named by g_szFileName into the pane, replacing its text
// (which clears the modification flag and the undo buffer). FALSE when the
// file's text could not be put into the pane; the pane is then unchanged.
// A save of the file cut short is offered to be finished first; a pane that
// does not show the file's bytes as they are is told.
BOOL LoadDocument(HWND hwndEdit);

// The file opened as the load opens it; INVALID_HANDLE_VALUE when it cannot
// be (a directory, a file held for writing, no such file).
HANDLE OpenDocumentToLoad(const char* pszPath);

// Writes the pane's text to the file named by g_szFileName (through
// filesave.cpp), unless that name no longer opens the document's file
// (StoredNameOpensDocument). TRUE only when every byte was written; only then
// is the modification flag cleared.
BOOL SaveDocument(HWND hwndEdit);

// Sets the caption: application name, the recording mark when bRecording,
// "- " and the document's name as composed by ComposeShownName.
void UpdateTitle(HINSTANCE hInstance, HWND hwndMain, BOOL bRecording);

// Writes g_szFileName into pszOut with its last part (after the last
// backslash) replaced by the name the shell shows for the file. When the
// shell gives no name, or the composition does not fit cchOut, pszOut holds
// g_szFileName as stored (cut to cchOut) and the result is FALSE.
BOOL ComposeShownName(char* pszOut, int cchOut);

// FALSE when g_szFileName now opens another file than the name the user gave
// for the document (or one of them opens a file and the other none): a save
// would then write into a file the user never chose.
BOOL StoredNameOpensDocument();

// When g_szFileName no longer opens the document's file but the user's name
// for it still does, g_szFileName becomes a spelling of that name which opens
// it again. FALSE when the document's file cannot be named so.
BOOL RenewDocumentName();

// The document's name and untitled flag, kept across an operation that
// adopts a new name first and may have to take it back.
struct DocumentName {
    char szFileName[MAX_PATH];
    BOOL bUntitled;
    wchar_t wszDocumentPath[MAX_PATH];
};
void RememberDocumentName(DocumentName* name);
// Puts the remembered name back and recomposes the caption.
void RestoreDocumentName(const DocumentName* name, HINSTANCE hInstance, HWND hwndMain);

#endif
