// The document: its file, the caption built from its name, and moving its
// text between the file and the edit pane. The text itself lives only in the
// pane; the file is reached by its exact path alone (g_wszDocumentPath), and
// g_szFileName is only what the user is shown.
#ifndef TEKSTOR_DOCUMENT_DOCUMENT_H
#define TEKSTOR_DOCUMENT_DOCUMENT_H

#include <windows.h>

#include "app/state.h"

constexpr int CAPTION_SIZE = 290;

// Makes pszPath (full, exact) the document's file: g_wszDocumentPath, the
// shown name in g_szFileName, titled. The identity is not known yet.
void SetDocumentFile(const wchar_t* pszPath);

// Reads the document's file into the pane, replacing its text (which clears
// the modification flag and the undo buffer), and keeps the file's identity.
// FALSE when the file's text could not be put into the pane; the pane is then
// unchanged. A save of the file cut short is offered to be finished first;
// a pane that does not show the file's bytes as they are is told.
BOOL LoadDocument(HWND hwndEdit);

// Writes the pane's text into the document's file: the file that was loaded
// or last saved, through the handle whose identity it checks. Where the name
// opens nothing any more (renamed, deleted), the file is made anew under it;
// where it opens another file, the user is asked first. TRUE only when every
// byte was written; only then is the modification flag cleared.
BOOL SaveDocument(HWND hwndEdit);

// The program's message box over hwndOwner, with the application's name as
// its caption; the result is the button pressed.
int ShowProgramMessage(HWND hwndOwner, const char* pszText, UINT uType);
// The same with the text idText as a format for pszName and a number.
int ShowDocumentMessage(HWND hwndOwner, UINT idText, UINT uType, const char* pszName,
                        DWORD dwNumber = 0);

// Sets the caption: application name, the recording mark when bRecording,
// "- " and the document's name as composed by ComposeShownName.
void UpdateTitle(HINSTANCE hInstance, HWND hwndMain, BOOL bRecording);

// The document's name as shown: its folder and the name the shell shows for
// the file (or the untitled name), in the code page ('?' for a character it
// lacks). When the shell gives no name, or the composition does not fit
// cchOut, pszOut holds g_szFileName (cut to cchOut) and the result is FALSE.
BOOL ComposeShownName(char* pszOut, int cchOut);

// The document's name, untitled flag and file, kept across an operation that
// adopts a new name first and may have to take it back.
struct DocumentName {
    char szFileName[MAX_PATH];
    BOOL bUntitled;
    FileIdentity file;
    wchar_t wszDocumentPath[DOCUMENT_PATH_SIZE];
};
void RememberDocumentName(DocumentName* name);
// Puts the remembered name back and recomposes the caption.
void RestoreDocumentName(const DocumentName* name, HINSTANCE hInstance, HWND hwndMain);

#endif
