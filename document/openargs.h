// Opening a document named in the argument string or dropped onto the window.
// A copy of the editor shows one document; further names in the argument
// string go to a new copy of the program, which does the same with them.
#ifndef TEKSTOR_DOCUMENT_OPENARGS_H
#define TEKSTOR_DOCUMENT_OPENARGS_H

#include <windows.h>

constexpr int DROP_BUFFER_SIZE = 256;

// TRUE when pszPath names an existing file that can be opened for reading
// and kept under a name that opens that same file (GetStoredName: its short
// form where that does); that name is then in g_szFileName. FALSE leaves
// g_szFileName alone.
BOOL AdoptExistingFile(const char* pszPath);

// Searches the wide string pszArgs (cut in place) for the first name that
// can be kept (GetStoredName) and opened for reading.
// Returns whether one was; *ppszRemainder receives what is to be handed on
// to a new copy, or NULL when nothing is.
BOOL FindArgumentName(wchar_t* pszArgs, wchar_t** ppszRemainder);

void OpenFromArguments(HINSTANCE hInstance, HWND hwndMain, HWND hwndEdit, LPWSTR pszArgs);
void OnDropFiles(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

#endif
