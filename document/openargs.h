// Opening a document named in the argument string or dropped onto the window.
// A copy of the editor shows one document; further names in the argument
// string go to a new copy of the program, which does the same with them.
#ifndef TEKSTOR_DOCUMENT_OPENARGS_H
#define TEKSTOR_DOCUMENT_OPENARGS_H

#include <windows.h>

// Searches the wide string pszArgs (cut in place) for the first name that
// FindDocumentFile accepts, and makes it the document's file. Returns whether
// one was; *ppszRemainder receives what is to be handed on to a new copy, or
// NULL when nothing is.
BOOL FindArgumentName(wchar_t* pszArgs, wchar_t** ppszRemainder);

void OpenFromArguments(HINSTANCE hInstance, HWND hwndMain, HWND hwndEdit, LPWSTR pszArgs);
// A drop names one exact file: it is opened as it is, or refused with its
// reason; it is never searched or handed on.
void OnDropFiles(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

#endif
